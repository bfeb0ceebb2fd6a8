#pragma once

#include "Models/APIModels.h"
#include "Kit/KeyedRows.h"

class AuthStore;

// The signed-in listener's playlists as rows keyed by their id, following the store: a reload, a
// rename or a deletion changes only the rows concerned. One set per store, which the playlists
// grid and the add-to-playlist sheet both show, so a change of the store is merged once. Roles:
// id, title (empty when the playlist has none), listedTitle (the title, else "پلیلیست"), coverURL,
// trackCountText, summary (the store's map of the playlist).
//     QAbstractItemModel *rows = PlaylistRows::of(&AuthStore::shared());
class PlaylistRows : public KeyedRows<PlaylistSummary>
{
public:
    enum Role { IdRole = Qt::UserRole + 1, TitleRole, ListedTitleRole, CoverRole, TrackCountRole, SummaryRole };

    static const QString UntitledPlaylist; // "پلیلیست"

    // The rows of `auth`'s playlists, made on the first call; they go with the store.
    static PlaylistRows *of(AuthStore *auth);

private:
    explicit PlaylistRows(AuthStore *auth);

    void follow();

    AuthStore *m_auth;
};
