#pragma once

#include "Models/APIModels.h"
#include "Kit/KeyedRows.h"

class AuthStore;

// The signed-in listener's playlists as rows keyed by their id, following the store: a reload, a
// rename or a deletion changes only the rows concerned. Roles: id, title (`untitled` when the
// playlist has none), coverURL, trackCountText, summary (the store's map of the playlist).
//     PlaylistRows rows(&AuthStore::shared(), QString());
class PlaylistRows : public KeyedRows<PlaylistSummary>
{
public:
    enum Role { IdRole = Qt::UserRole + 1, TitleRole, CoverRole, TrackCountRole, SummaryRole };

    // `auth` must outlive the rows.
    PlaylistRows(AuthStore *auth, const QString &untitled, QObject *parent = nullptr);

private:
    void follow();

    AuthStore *m_auth;
};
