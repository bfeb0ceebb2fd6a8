#include "TrackRows.h"

#include "NumberTexts.h"

namespace {

QHash<int, QByteArray> withTrackRoles(QHash<int, QByteArray> roles)
{
    roles.insert(TrackRows::TitleRole, "title");
    roles.insert(TrackRows::ArtistRole, "artist");
    roles.insert(TrackRows::ArtworkRole, "artworkURL");
    roles.insert(TrackRows::DurationRole, "durationText");
    return roles;
}

} // namespace

TrackRows::TrackRows(QHash<int, QByteArray> ownRoles, OwnData ownData, QObject *parent)
    : KeyedRows<PlaylistTrack>(withTrackRoles(std::move(ownRoles)), &TrackRows::identifier,
                               [this](const PlaylistTrack &track, int role) { return rowData(track, role); }, parent)
    , m_ownData(std::move(ownData))
{
}

QString TrackRows::identifier(const PlaylistTrack &track)
{
    if (track.id)
        return QString::number(*track.id);
    return track.trackID.value_or(QString());
}

void TrackRows::show(const QList<PlaylistTrack> &tracks, const std::optional<QString> &pageArtwork)
{
    const bool artworkChanged = pageArtwork != m_pageArtwork;
    m_pageArtwork = pageArtwork;
    merge(tracks);
    if (artworkChanged)
        refreshAll({ArtworkRole});
}

QVariant TrackRows::rowData(const PlaylistTrack &track, int role) const
{
    switch (role) {
    case TitleRole:
        return track.title.value_or(QStringLiteral("—"));
    case ArtistRole:
        return track.artist.value_or(QString());
    case ArtworkRole:
        if (track.artworkURL)
            return *track.artworkURL;
        return m_pageArtwork ? QVariant(*m_pageArtwork) : QVariant();
    case DurationRole:
        return NumberTexts::duration(track.duration);
    default:
        return m_ownData ? m_ownData(track, role) : QVariant();
    }
}
