#pragma once

#include "Kit/KeyedRows.h"
#include "Models/APIModels.h"

#include <optional>

// The tracks of a playlist's or a station's page as rows keyed by the track's identifier. Roles:
// title ("—" without one), artist, artworkURL (the page's picture for a track without its own),
// durationText, and the page's own roles, numbered from FirstOwnRole and read through `ownData`.
//     TrackRows rows({{FirstOwnRole, "offlineKey"}}, [](const PlaylistTrack &t, int) { ... }, this);
//     rows.show(detail.tracks, detail.coverURL);
class TrackRows : public KeyedRows<PlaylistTrack>
{
public:
    enum Role { TitleRole = Qt::UserRole + 1, ArtistRole, ArtworkRole, DurationRole, FirstOwnRole };
    using OwnData = std::function<QVariant(const PlaylistTrack &, int role)>;

    TrackRows(QHash<int, QByteArray> ownRoles, OwnData ownData, QObject *parent = nullptr);
    explicit TrackRows(QObject *parent = nullptr) : TrackRows({}, {}, parent) {}

    // A track's identifier on the backend: its numeric id, else its textual one; empty without
    // either.
    static QString identifier(const PlaylistTrack &track);

    // Shows `tracks`, with `pageArtwork` for those without artwork of their own.
    void show(const QList<PlaylistTrack> &tracks, const std::optional<QString> &pageArtwork);

private:
    QVariant rowData(const PlaylistTrack &track, int role) const;

    OwnData m_ownData;
    std::optional<QString> m_pageArtwork;
};
