#include "Services/APIClient.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkRequest>

// The backend's account, library and media operations, on the frame of APIClient.cpp.

namespace {

QString segment(qint64 id)
{
    return QString::number(id);
}

bool isLocalFile(const QString &address)
{
    return address.startsWith(QLatin1StringView("file:"), Qt::CaseInsensitive);
}

// The address when it is given and may be sent to the backend (not a local file).
std::optional<QString> remote(const std::optional<QString> &address)
{
    if (!address || isLocalFile(*address))
        return std::nullopt;
    return address;
}

QString firstOf(std::initializer_list<std::optional<QString>> candidates, const QString &fallback)
{
    for (const std::optional<QString> &candidate : candidates) {
        if (candidate)
            return *candidate;
    }
    return fallback;
}

// What the station plays now as a server address. A rotation's track that plays from a local file
// falls back to the server's stream path of that track; a live station with a local address has
// none.
std::optional<QString> remoteStreamURL(const Station &station)
{
    if (!station.hasTracks())
        return remote(station.streamURL);
    const PlaylistTrack *track = station.currentTrack();
    if (track->streamURL && isLocalFile(*track->streamURL)) {
        Station withoutFile = station;
        (*withoutFile.tracks)[withoutFile.normalizedTrackIndex()].streamURL.reset();
        return withoutFile.currentStreamURL();
    }
    return station.currentStreamURL();
}

// The artwork of what the station plays now, as the server gave it: the current track's own
// artwork, else the station's (a live station's with the playing title added, so that caches see
// a new address for each song). Local artwork files never count.
std::optional<QString> remoteArtworkURL(const Station &station)
{
    if (station.hasTracks()) {
        const std::optional<QString> own = remote(station.currentTrack()->artworkURL);
        if (own && !own->isEmpty())
            return own;
    }
    const std::optional<QString> artwork = remote(station.artworkURL);
    if (!artwork || artwork->isEmpty())
        return std::nullopt;
    if (station.hasTracks())
        return artwork;
    const QChar separator = artwork->contains(u'?') ? u'&' : u'?';
    return *artwork + separator + QStringLiteral("v=") + url::queryComponent(station.displayTrackTitle());
}

// Some replies (of logout and me) are the bare JSON null.
bool isJsonNull(const QByteArray &body)
{
    return body.trimmed() == "null";
}

} // namespace

// ------------------------------------------------------------------ bodies

QJsonObject APIClient::playlistTrackBody(const Station &station)
{
    const PlaylistTrack *t = station.currentTrack();
    const auto field = [t](OptionalText PlaylistTrack::*member) -> std::optional<QString> {
        return t ? std::optional<QString>(t->*member) : std::nullopt;
    };
    QJsonObject body;
    body.insert(QStringLiteral("track_type"),
                firstOf({field(&PlaylistTrack::trackType), station.source}, QStringLiteral("radio")));
    body.insert(QStringLiteral("track_id"), firstOf({field(&PlaylistTrack::trackID)}, station.currentTrackID()));
    body.insert(QStringLiteral("title"), firstOf({field(&PlaylistTrack::title)}, station.displayTrackTitle()));
    body.insert(QStringLiteral("artist"), firstOf({field(&PlaylistTrack::artist)}, station.displayArtist()));
    body.insert(QStringLiteral("stream_url"),
                firstOf({remote(field(&PlaylistTrack::streamURL)), remoteStreamURL(station)}, QString()));
    body.insert(QStringLiteral("artwork_url"),
                firstOf({remote(field(&PlaylistTrack::artworkURL)), remoteArtworkURL(station)}, QString()));
    body.insert(QStringLiteral("duration"), t && t->duration ? *t->duration : qint64(0));
    return body;
}

QJsonObject APIClient::favoriteBody(const Station &station)
{
    QJsonObject body;
    body.insert(QStringLiteral("track_type"), firstOf({station.source}, QStringLiteral("live")));
    body.insert(QStringLiteral("track_id"), station.currentTrackID());
    body.insert(QStringLiteral("title"), station.displayTrackTitle());
    body.insert(QStringLiteral("artist"), station.displayArtist());
    body.insert(QStringLiteral("stream_url"), firstOf({remoteStreamURL(station)}, QString()));
    body.insert(QStringLiteral("artwork_url"), firstOf({remote(station.artworkURL)}, QString()));
    body.insert(QStringLiteral("duration"), 0);
    return body;
}

QJsonObject APIClient::downloadTokenBody(const Station &station)
{
    const QString genre = url::pathSegment(station.genre);
    const QString artist = station.displayArtist();
    const PlaylistTrack *track = station.currentTrack();
    const qint64 seconds = track && track->duration && *track->duration >= 1 ? *track->duration : 180;

    QJsonObject body;
    body.insert(QStringLiteral("track_type"), firstOf({station.source}, QStringLiteral("radio")));
    body.insert(QStringLiteral("track_id"), station.genre);
    body.insert(QStringLiteral("title"), station.displayTrackTitle());
    body.insert(QStringLiteral("artist"), artist.isEmpty() ? station.displayName() : artist);
    body.insert(QStringLiteral("stream_url"), firstOf({remoteStreamURL(station), remote(station.streamURL)},
                                                      QStringLiteral("/stream/") + genre));
    body.insert(QStringLiteral("artwork_url"),
                firstOf({remoteArtworkURL(station)}, QStringLiteral("/artwork/") + genre + QStringLiteral(".jpg")));
    body.insert(QStringLiteral("seconds"), seconds);
    return body;
}

// ------------------------------------------------------------------ accounts

QCoro::Task<AuthData> APIClient::login(QString username, QString password)
{
    const QJsonObject body{{QStringLiteral("username"), username}, {QStringLiteral("password"), password}};
    AuthEnvelope reply = co_await post<AuthEnvelope>(QStringLiteral("api/auth/login"), body);
    if (!reply.data)
        throw APIError::decoding();
    co_return std::move(*reply.data);
}

QCoro::Task<AuthSessionInfo> APIClient::initTelegramSignup(QString username, QString password,
                                                           QString displayName)
{
    const QJsonObject body{{QStringLiteral("username"), username},
                           {QStringLiteral("password"), password},
                           {QStringLiteral("display_name"), displayName}};
    const SessionInfoEnvelope reply =
        co_await post<SessionInfoEnvelope>(QStringLiteral("api/auth/telegram/init-signup"), body);
    if (std::optional<AuthSessionInfo> session = reply.resolved())
        co_return std::move(*session);
    throw ServerError(reply.message.value_or(QStringLiteral("خطا در شروع ثبتنام")), int(reply.code.value_or(-1)));
}

QCoro::Task<AuthEnvelope> APIClient::verifySignupReply(QString sessionID, QString code)
{
    const QJsonObject body{{QStringLiteral("session_id"), sessionID}, {QStringLiteral("otp_code"), code}};
    co_return co_await post<AuthEnvelope>(QStringLiteral("api/auth/telegram/verify-signup-otp"), body);
}

QCoro::Task<AuthData> APIClient::verifySignupOTP(QString sessionID, QString code)
{
    AuthEnvelope reply = co_await verifySignupReply(std::move(sessionID), std::move(code));
    if (!reply.data || !reply.data->token)
        throw ServerError(reply.message.value_or(QStringLiteral("کد تایید نامعتبر است")), int(reply.code.value_or(-1)));
    co_return std::move(*reply.data);
}

QCoro::Task<AuthSessionInfo> APIClient::forgotPassword(QString identifier)
{
    const QJsonObject body{{QStringLiteral("identifier"), identifier}};
    const SessionInfoEnvelope reply =
        co_await post<SessionInfoEnvelope>(QStringLiteral("api/auth/telegram/forgot-password"), body);
    if (std::optional<AuthSessionInfo> session = reply.resolved())
        co_return std::move(*session);
    throw ServerError(reply.message.value_or(QStringLiteral("خطا در ارسال کد بازیابی")), int(reply.code.value_or(-1)));
}

QCoro::Task<std::optional<QString>> APIClient::resetPassword(QString sessionID, QString code,
                                                              QString newPassword)
{
    const QJsonObject body{{QStringLiteral("session_id"), sessionID},
                           {QStringLiteral("otp_code"), code},
                           {QStringLiteral("new_password"), newPassword}};
    const SimpleMessage reply =
        co_await post<SimpleMessage>(QStringLiteral("api/auth/telegram/reset-password"), body);
    co_return reply.message;
}

QCoro::Task<void> APIClient::logout(QString token)
{
    const QByteArray body =
        co_await send(Method::Post, QStringLiteral("api/auth/logout"), {}, QJsonObject(), std::move(token));
    // The reply is checked for its shape and dropped; a JSON null is accepted too.
    if (!isJsonNull(body))
        json::decode<SimpleMessage>(body);
}

QCoro::Task<std::optional<User>> APIClient::me(QString token)
{
    try {
        const QByteArray body =
            co_await send(Method::Get, QStringLiteral("api/auth/me"), {}, std::nullopt, std::move(token));
        if (isJsonNull(body)) // a valid "nobody"
            co_return std::nullopt;
        AuthEnvelope reply = json::decode<AuthEnvelope>(body);
        if (!reply.data)
            co_return std::nullopt;
        co_return std::move(reply.data->user);
    } catch (const std::exception &) {
        co_return std::nullopt;
    }
}

QCoro::Task<APIClient::UserLibrary> APIClient::loadLibrary(QString token)
{
    UserLibrary library;
    library.playlists = co_await playlists(token);
    library.favorites = co_await favorites(token);
    co_return library;
}

QCoro::Task<QList<PlaylistSummary>> APIClient::playlists(QString token)
{
    PlaylistsEnvelope reply = co_await get<PlaylistsEnvelope>(QStringLiteral("api/playlists"), {}, std::move(token));
    if (reply.data && reply.data->playlists)
        co_return std::move(*reply.data->playlists);
    co_return QList<PlaylistSummary>();
}

QCoro::Task<QList<FavoriteTrack>> APIClient::favorites(QString token)
{
    FavoritesEnvelope reply = co_await get<FavoritesEnvelope>(QStringLiteral("api/favorites"), {}, std::move(token));
    if (reply.data)
        co_return std::move(*reply.data);
    co_return QList<FavoriteTrack>();
}

// ------------------------------------------------------------------ playlists and favourites

QCoro::Task<PlaylistDetail> APIClient::playlistDetail(qint64 id, std::optional<QString> token)
{
    PlaylistEnvelope reply =
        co_await get<PlaylistEnvelope>(QStringLiteral("api/playlists/") + segment(id), {}, std::move(token));
    if (!reply.data)
        throw APIError::decoding();
    co_return std::move(*reply.data);
}

QCoro::Task<PlaylistSummary> APIClient::createPlaylist(QString title, QString token)
{
    const QJsonObject body{{QStringLiteral("title"), title}, {QStringLiteral("description"), QString()}};
    PlaylistCreateEnvelope reply =
        co_await post<PlaylistCreateEnvelope>(QStringLiteral("api/playlists"), body, std::move(token));
    if (!reply.data)
        throw APIError::decoding();
    co_return std::move(*reply.data);
}

QCoro::Task<void> APIClient::updatePlaylist(qint64 id, QString title, QString description, QString token)
{
    const QJsonObject body{{QStringLiteral("title"), title}, {QStringLiteral("description"), description}};
    co_await put<SimpleMessage>(QStringLiteral("api/playlists/") + segment(id), body, std::move(token));
}

QCoro::Task<void> APIClient::deletePlaylist(qint64 id, QString token)
{
    co_await del<SimpleMessage>(QStringLiteral("api/playlists/") + segment(id), std::move(token));
}

QCoro::Task<void> APIClient::addTrackToPlaylist(qint64 playlistId, Station station, QString token)
{
    co_await post<SimpleMessage>(QStringLiteral("api/playlists/") + segment(playlistId) + QStringLiteral("/tracks"),
                                 playlistTrackBody(station), std::move(token));
}

QCoro::Task<void> APIClient::updatePlaylistTrack(qint64 playlistId, QString trackId, QString title,
                                                 QString artist, QString token)
{
    const QJsonObject body{{QStringLiteral("title"), title}, {QStringLiteral("artist"), artist}};
    co_await put<SimpleMessage>(QStringLiteral("api/playlists/") + segment(playlistId) + QStringLiteral("/tracks/")
                                    + url::pathSegment(trackId),
                                body, std::move(token));
}

QCoro::Task<void> APIClient::deletePlaylistTrack(qint64 playlistId, QString trackId, QString token)
{
    co_await del<SimpleMessage>(QStringLiteral("api/playlists/") + segment(playlistId) + QStringLiteral("/tracks/")
                                    + url::pathSegment(trackId),
                                std::move(token));
}

QCoro::Task<ToggleResult> APIClient::toggleFavorite(Station station, QString token)
{
    co_return co_await post<ToggleResult>(QStringLiteral("api/favorites/toggle"), favoriteBody(station),
                                          std::move(token));
}

// ------------------------------------------------------------------ lyrics, search, imports

QCoro::Task<LyricsEnvelope> APIClient::lyrics(QString genre, QString title, QString artist,
                                              std::optional<double> duration)
{
    const QString seconds = duration && *duration >= 1 ? QString::number(qint64(*duration)) : QString();
    // Built before the co_await: g++ 12 cannot take a braced list inside a coroutine's await.
    Query query;
    query.append({QStringLiteral("genre"), genre});
    query.append({QStringLiteral("title"), title});
    query.append({QStringLiteral("artist"), artist});
    query.append({QStringLiteral("duration"), seconds});
    co_return co_await get<LyricsEnvelope>(QStringLiteral("api/lyrics"), std::move(query));
}

QCoro::Task<QList<Station>> APIClient::soundcloudSearch(QString query)
{
    Query items;
    items.append({QStringLiteral("q"), query});
    StationsResponse reply = co_await get<StationsResponse>(QStringLiteral("api/soundcloud/search"), std::move(items));
    co_return reply.data.value_or(QList<Station>());
}

QCoro::Task<SpotifyEntity> APIClient::spotifyResolve(QString link)
{
    Query items;
    items.append({QStringLiteral("url"), link});
    EntityEnvelope reply = co_await get<EntityEnvelope>(QStringLiteral("api/spotify/resolve"), std::move(items));
    if (!reply.data)
        throw APIError::decoding();
    co_return std::move(*reply.data);
}

QCoro::Task<SimpleMessage> APIClient::importSpotify(QString url, QString title, QString description, QString token)
{
    const QJsonObject body{{QStringLiteral("url"), url},
                           {QStringLiteral("title"), title},
                           {QStringLiteral("description"), description}};
    co_return co_await post<SimpleMessage>(QStringLiteral("api/spotify/import"), body, std::move(token));
}

QCoro::Task<QUrl> APIClient::telegramDownloadToken(Station station)
{
    const TelegramTokenEnvelope reply =
        co_await post<TelegramTokenEnvelope>(QStringLiteral("api/telegram/download-token"), downloadTokenBody(station));
    if (!reply.data || !reply.data->botURL)
        throw APIError::decoding();
    const QUrl link(*reply.data->botURL, QUrl::StrictMode);
    if (reply.data->botURL->isEmpty() || !link.isValid())
        throw APIError::decoding();
    co_return link;
}

// ------------------------------------------------------------------ recognition

QCoro::Task<ShazamData> APIClient::recognize(QByteArray audioData)
{
    const QUrl url = endpoint(QStringLiteral("api/shazam"));
    if (!url.isValid())
        throw APIError::badURL();
    QNetworkRequest request = makeRequest(url, m_options.recognitionIdleTimeoutMs);
    request.setRawHeader("Content-Type", "audio/mp4");
    const RawReply raw = co_await perform(network().post(request, audioData), BodyKind::Recognition);

    if (raw.status == -1)
        throw APIError::http(-1);
    if (raw.status < 200 || raw.status > 299) {
        std::optional<ShazamEnvelope> refusal;
        try {
            refusal = json::decode<ShazamEnvelope>(raw.body);
        } catch (const DecodingError &) {
        }
        if (refusal && refusal->message)
            throw ServerError(*refusal->message, raw.status);
        throw APIError::http(raw.status);
    }
    ShazamEnvelope reply = co_await decodeReply<ShazamEnvelope>(raw.body);
    if (!reply.data)
        throw APIError::decoding();
    co_return std::move(*reply.data);
}
