#include "support/BulkLibrary.h"

#include "support/AccountState.h"
#include "support/DemoCatalogue.h"
#include "support/StandInServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace standin {

namespace {

QString artwork(const char *kind, int n)
{
    return BulkLibrary::artworkPrefix + QLatin1String(kind) + QLatin1Char('-') + QString::number(n)
        + QStringLiteral(".jpg");
}

LibraryTrack libraryTrack(int n)
{
    LibraryTrack t;
    t.trackType = QStringLiteral("music");
    t.trackID = QStringLiteral("bulk-%1").arg(n);
    t.title = QStringLiteral("Bulk track %1").arg(n);
    t.artist = QStringLiteral("Bulk artist %1").arg(n % 97);
    t.artworkURL = artwork("track", n);
    t.streamURL = QStringLiteral("/audio/bulk-%1.mp3").arg(n);
    t.duration = 120 + n % 180;
    return t;
}

QByteArray searchReply(int count)
{
    QJsonArray results;
    for (int n = 1; n <= count; ++n) {
        const QString id = QString::number(n);
        const QJsonObject track{{QStringLiteral("id"), id},
                                {QStringLiteral("track_type"), QStringLiteral("soundcloud")},
                                {QStringLiteral("track_id"), QStringLiteral("sc-bulk-") + id},
                                {QStringLiteral("title"), QStringLiteral("Bulk result ") + id},
                                {QStringLiteral("artist"), QStringLiteral("Bulk artist")},
                                {QStringLiteral("artwork_url"), artwork("result", n)},
                                {QStringLiteral("stream_url"), QStringLiteral("/audio/sc-bulk-%1.mp3").arg(n)},
                                {QStringLiteral("duration"), QStringLiteral("180")}};
        results.append(QJsonObject{{QStringLiteral("genre"), QStringLiteral("soundcloud-bulk-") + id},
                                   {QStringLiteral("title"), QStringLiteral("Bulk artist - Bulk result ") + id},
                                   {QStringLiteral("artist"), QStringLiteral("Bulk artist")},
                                   {QStringLiteral("server_name"), QStringLiteral("SoundCloud")},
                                   {QStringLiteral("artwork_url"), artwork("result", n)},
                                   {QStringLiteral("source"), QStringLiteral("soundcloud")},
                                   {QStringLiteral("category"), QStringLiteral("soundcloud")},
                                   {QStringLiteral("track_index"), 0},
                                   {QStringLiteral("track_count"), 1},
                                   {QStringLiteral("tracks"), QJsonArray{track}}});
    }
    const QJsonObject reply{{QStringLiteral("code"), 200}, {QStringLiteral("message"), QStringLiteral("ok")},
                            {QStringLiteral("data"), results}};
    return QJsonDocument(reply).toJson(QJsonDocument::Compact);
}

} // namespace

BulkLibrary installBulkLibrary(StandInServer &server, AccountState &state,
                               const std::shared_ptr<DemoCatalogue> &catalogue, int count)
{
    BulkLibrary bulk;
    bulk.count = count;
    const std::optional<AccountUser> demo = state.userNamed(AccountState::demoUsername);
    if (demo) {
        for (int n = 1; n <= count; ++n) {
            const qint64 id = state.addPlaylist(demo->id, QStringLiteral("Bulk list %1").arg(n));
            LibraryTrack cover = libraryTrack(n);
            cover.artworkURL = artwork("cover", n);
            state.addPlaylistTrack(id, cover);
        }
        bulk.bigPlaylistID = state.addPlaylist(demo->id, BulkLibrary::bulkPlaylistTitle);
        for (int n = 1; n <= count; ++n)
            state.addPlaylistTrack(bulk.bigPlaylistID, libraryTrack(n));
    }

    QJsonArray tracks;
    for (int n = 1; n <= count; ++n) {
        tracks.append(QJsonObject{{QStringLiteral("id"), 900000 + n},
                                  {QStringLiteral("track_type"), QStringLiteral("music")},
                                  {QStringLiteral("track_id"), QStringLiteral("bulk-%1").arg(n)},
                                  {QStringLiteral("title"), QStringLiteral("Bulk track %1").arg(n)},
                                  {QStringLiteral("artist"), QStringLiteral("Bulk artist")},
                                  {QStringLiteral("artwork_url"), artwork("station", n)},
                                  {QStringLiteral("stream_url"), QStringLiteral("/audio/bulk-%1.mp3").arg(n)},
                                  {QStringLiteral("duration"), 180}});
    }
    catalogue->songsaraStations.insert(BulkLibrary::stationKey,
                                       QJsonObject{{QStringLiteral("genre"), BulkLibrary::stationKey},
                                                   {QStringLiteral("title"), QStringLiteral("Bulk station")},
                                                   {QStringLiteral("source"), QStringLiteral("songsara")},
                                                   {QStringLiteral("artwork_url"), artwork("station", 0)},
                                                   {QStringLiteral("track_index"), 0},
                                                   {QStringLiteral("track_count"), count},
                                                   {QStringLiteral("tracks"), tracks}});

    catalogue->stations.append(QJsonObject{{QStringLiteral("genre"), QStringLiteral("songsara-") + BulkLibrary::stationKey},
                                           {QStringLiteral("server_name"), QStringLiteral("Bulk station")},
                                           {QStringLiteral("category"), QStringLiteral("instrumental")},
                                           {QStringLiteral("source"), QStringLiteral("songsara")},
                                           {QStringLiteral("artwork_url"), artwork("station", 0)}});

    server.script("GET", QStringLiteral("/api/soundcloud/search"), Reply::json(searchReply(count)));
    return bulk;
}

} // namespace standin
