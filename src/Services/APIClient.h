#pragma once

#include "Platform/WorkerTask.h"

#include "Models/APIModels.h"
#include "Models/AppError.h"
#include "Models/Envelope.h"
#include "Models/JsonCoding.h"
#include "Models/Station.h"
#include "Models/UrlEncoding.h"

#include <QByteArray>
#include <QFuture>
#include <QJsonObject>
#include <QList>
#include <QNetworkReply>
#include <QPromise>
#include <QString>
#include <QThreadPool>
#include <QUrl>
#include <QCoroFuture>
#include <QCoroTask>

#include <exception>
#include <memory>
#include <optional>
#include <utility>

class QNetworkAccessManager;
class QNetworkRequest;

// ------------------------------------------------------------------ errors

// A backend reply that is not what the operation accepts. Descriptions are shown to the listener.
class APIError : public AppError
{
public:
    enum class Kind { Http, BadURL, Decoding };

    static APIError http(int status) { return APIError(Kind::Http, status); }
    static APIError badURL() { return APIError(Kind::BadURL, -1); }
    static APIError decoding() { return APIError(Kind::Decoding, -1); }

    Kind kind() const { return m_kind; }
    // The HTTP status of an `http` error (-1 when the reply was not an HTTP reply).
    int status() const { return m_status; }
    QString errorDescription() const override;
    bool operator==(const APIError &other) const
    {
        return m_kind == other.m_kind && m_status == other.m_status;
    }

private:
    APIError(Kind kind, int status) : m_kind(kind), m_status(status) {}
    Kind m_kind;
    int m_status;
};

// An error reply whose body carried a message: the message is shown unchanged.
class ServerError : public AppError
{
public:
    ServerError(QString message, int code) : m_message(std::move(message)), m_code(code) {}
    const QString &message() const { return m_message; }
    // The HTTP status of the reply (-1 when not HTTP), or the envelope's code where an operation
    // builds the error from an envelope.
    int code() const { return m_code; }
    QString errorDescription() const override { return m_message; }

private:
    QString m_message;
    int m_code;
};

// The request never got a complete HTTP reply: no connection, DNS, TLS, a dropped or truncated
// transfer, a timeout. Carries Qt's own description.
class TransportError : public AppError
{
public:
    TransportError(QNetworkReply::NetworkError code, QString description)
        : m_code(code), m_description(std::move(description)) {}
    QNetworkReply::NetworkError code() const { return m_code; }
    bool isTimeout() const { return m_code == QNetworkReply::TimeoutError; }
    QString errorDescription() const override { return m_description; }

private:
    QNetworkReply::NetworkError m_code;
    QString m_description;
};

// The reply record of operations whose reply carries no data, and the record error replies are read
// in.
struct SimpleMessage {
    std::optional<qint64> code;
    std::optional<QString> message;

    static SimpleMessage fromJson(const QJsonValue &value);
    QJsonObject toJson() const;
};

// ------------------------------------------------------------------ client

// The one client of the backend. Every request to the backend is one operation of this class.
//
// Threading: the client and its QNetworkAccessManager live on the GUI thread; start operations
// there (every store does). Results come back on the GUI thread; replies over 256 KiB are decoded
// on the thread pool.
//
// Adding an operation (the pattern every backend call follows):
//   1. Declare a public member coroutine in the "operations" section below, parameters by value:
//        QCoro::Task<PlaylistsResponse> fetchPlaylists(QString token);
//   2. Define it (in APIClient.cpp or its own APIClient*.cpp) on one of the four primitives, naming
//      the envelope record it decodes into (any type with `static T fromJson(const QJsonValue &)`,
//      usually `Envelope<Data>` or a record of Models/):
//        QCoro::Task<PlaylistsResponse> APIClient::fetchPlaylists(QString token) {
//            co_return co_await get<PlaylistsResponse>(QStringLiteral("api/playlists"), {}, token);
//        }
//      Ids and other values that go into the path are wrapped in url::pathSegment():
//        co_await del<SimpleMessage>(QStringLiteral("api/playlists/") + url::pathSegment(id), token);
//      Query items are (name, value) pairs; the primitive encodes them.
//   3. The primitive throws TransportError, DecodingError, APIError or ServerError as the reply
//      mapping says; the operation adds only its own rules on the envelope ("data" absent, ...).
// A request that does not fit the primitives (a multipart upload) builds its QNetworkRequest with
// makeRequest(), sends it through network(), and awaits perform() for status and body.
class APIClient
{
public:
    // The backend base address; MELODRIFT_API_BASE_URL overrides it (tests and the demo only).
    static constexpr const char *kBaseURL = "https://api.melodrift.app";
    static QUrl defaultBaseURL();

    struct Options {
        QUrl baseURL = defaultBaseURL();
        int catalogueIdleTimeoutMs = 30'000; // the two catalogue requests
        int requestIdleTimeoutMs = 60'000;   // every request of the four primitives
        int recognitionIdleTimeoutMs = 25'000;
        int totalTimeoutMs = 120'000;        // any request as a whole
    };

    // The single instance, created on first use (on the GUI thread) and kept for the whole process.
    static APIClient &shared();

    APIClient();
    explicit APIClient(Options options);
    virtual ~APIClient();
    APIClient(const APIClient &) = delete;
    APIClient &operator=(const APIClient &) = delete;

    QUrl baseURL() const { return m_options.baseURL; }
    // Points the client at another backend. Only tests use this (the shared client is created
    // once per process, while each test starts its own stand-in backend).
    void setBaseURL(const QUrl &url) { m_options.baseURL = url; }
    const Options &options() const { return m_options; }

    // Resolves an address given by the backend or a record: empty text gives nullopt; text that
    // begins with "http" is parsed as is; a parsable "file://" address is returned as is; anything
    // else is resolved against the base URL ("/artwork/x.jpg" replaces the base's path).
    std::optional<QUrl> absolute(const QString &path) const;
    std::optional<QUrl> absolute(const std::optional<QString> &path) const;

    // ---- operations
    // The catalogue: GET api/stations. "data" absent: APIError::decoding().
    QCoro::Task<QList<Station>> fetchStations();
    // The track list of a "songsara" station: every "songsara-" is removed from `genre` to make the
    // list key. Returns the first station of the reply carrying `genre` unchanged; an absent or
    // empty list is APIError::decoding().
    QCoro::Task<Station> hydrateSongsara(QString genre);

    // ---- account, library and media operations (APIClientOperations.cpp)
    // Every one throws as the reply mapping says, plus its own rules given here. "token" parameters
    // are sent as "Authorization: Bearer <token>"; an optional token only when given.

    // The user's playlists and liked tracks, in the server's order.
    struct UserLibrary {
        QList<PlaylistSummary> playlists;
        QList<FavoriteTrack> favorites;
    };

    // POST api/auth/login. "data" absent: APIError::decoding(). The token may be absent: the
    // caller checks it.
    QCoro::Task<AuthData> login(QString username, QString password);
    // POST api/auth/telegram/init-signup. No session in the reply: ServerError with the reply's
    // message (else "خطا در شروع ثبتنام") and code (else -1).
    QCoro::Task<AuthSessionInfo> initTelegramSignup(QString username, QString password, QString displayName);
    // POST api/auth/telegram/verify-signup-otp. No "data" or no token in it: ServerError with the
    // reply's message (else "کد تایید نامعتبر است") and code (else -1).
    QCoro::Task<AuthData> verifySignupOTP(QString sessionID, QString code);
    // The same request, answering its whole reply: its data may carry no token.
    QCoro::Task<AuthEnvelope> verifySignupReply(QString sessionID, QString code);
    // POST api/auth/telegram/forgot-password. No session: ServerError (else "خطا در ارسال کد بازیابی").
    QCoro::Task<AuthSessionInfo> forgotPassword(QString identifier);
    // POST api/auth/telegram/reset-password. The reply's message, when it has one.
    QCoro::Task<std::optional<QString>> resetPassword(QString sessionID, QString code, QString newPassword);
    // POST api/auth/logout with an empty object; a JSON null reply is accepted. Callers start it
    // without waiting and ignore its failures.
    QCoro::Task<void> logout(QString token);
    // GET api/auth/me: the current user, or none for any failure at all (never throws).
    QCoro::Task<std::optional<User>> me(QString token);
    // GET api/playlists, then GET api/favorites (only when the first succeeded). Either failure
    // fails the whole.
    QCoro::Task<UserLibrary> loadLibrary(QString token);
    // The two halves of it: GET api/playlists and GET api/favorites (an absent list is empty).
    QCoro::Task<QList<PlaylistSummary>> playlists(QString token);
    QCoro::Task<QList<FavoriteTrack>> favorites(QString token);

    // GET api/playlists/<id>. "data" absent: APIError::decoding().
    QCoro::Task<PlaylistDetail> playlistDetail(qint64 id, std::optional<QString> token = std::nullopt);
    // POST api/playlists {title, description: ""}. "data" absent: APIError::decoding().
    QCoro::Task<PlaylistSummary> createPlaylist(QString title, QString token);
    // PUT api/playlists/<id> {title, description}.
    QCoro::Task<void> updatePlaylist(qint64 id, QString title, QString description, QString token);
    // DELETE api/playlists/<id>.
    QCoro::Task<void> deletePlaylist(qint64 id, QString token);
    // POST api/playlists/<id>/tracks with the station's current track (playlistTrackBody()).
    QCoro::Task<void> addTrackToPlaylist(qint64 playlistId, Station station, QString token);
    // PUT api/playlists/<id>/tracks/<trackId> {title, artist}; trackId is one path segment.
    QCoro::Task<void> updatePlaylistTrack(qint64 playlistId, QString trackId, QString title, QString artist,
                                          QString token);
    // DELETE api/playlists/<id>/tracks/<trackId>.
    QCoro::Task<void> deletePlaylistTrack(qint64 playlistId, QString trackId, QString token);
    // POST api/favorites/toggle with what the station plays now (favoriteBody()).
    QCoro::Task<ToggleResult> toggleFavorite(Station station, QString token);

    // GET api/lyrics?genre=&title=&artist=&duration= (duration in whole seconds when at least 1,
    // else empty). The envelope is returned as it is; its data may be absent.
    QCoro::Task<LyricsEnvelope> lyrics(QString genre, QString title, QString artist,
                                       std::optional<double> duration);
    // GET api/soundcloud/search?q=. No "data": an empty list.
    QCoro::Task<QList<Station>> soundcloudSearch(QString query);
    // GET api/spotify/resolve?url=. "data" absent: APIError::decoding().
    QCoro::Task<SpotifyEntity> spotifyResolve(QString link);
    // POST api/spotify/import {url, title, description}; the backend's reply.
    QCoro::Task<SimpleMessage> importSpotify(QString url, QString title, QString description, QString token);
    // POST api/telegram/download-token (downloadTokenBody()): the bot link to open. No data, no
    // "bot_url" or text that is not a URL: APIError::decoding().
    QCoro::Task<QUrl> telegramDownloadToken(Station station);
    // POST api/shazam with the recording (Content-Type audio/mp4, no token, the recognition idle
    // timeout).
    // Error replies with a "message" give ServerError(message, status); "data" absent in a 2xx
    // reply: APIError::decoding().
    QCoro::Task<ShazamData> recognize(QByteArray audioData);

    // Request bodies built from a station. A local "file://" address (a downloaded track's file or
    // artwork) is never sent: the track's remote address or the server's own path stands in.
    static QJsonObject playlistTrackBody(const Station &station);
    static QJsonObject favoriteBody(const Station &station);
    static QJsonObject downloadTokenBody(const Station &station);

    // What a reply body may hold at most, by kind; a longer body fails the request while it is
    // being read, like a transfer that broke off (TransportError with bodyTooLargeText()).
    enum class BodyKind { Json, Catalogue, Recognition };
    static constexpr qint64 maxBodyBytes(BodyKind kind)
    {
        switch (kind) {
        case BodyKind::Catalogue: return 8 * 1024 * 1024;
        case BodyKind::Recognition: return 1024 * 1024;
        case BodyKind::Json: break;
        }
        return 4 * 1024 * 1024;
    }
    static QString bodyTooLargeText(); // "پاسخ سرور بیش از اندازه بزرگ است"

    // Replies larger than this are decoded on the thread pool.
    static constexpr qsizetype kOffThreadDecodeBytes = 256 * 1024;

protected:
    enum class Method { Get, Post, Put, Delete };
    using Query = QList<std::pair<QString, QString>>;

    struct RawReply {
        int status = -1; // -1: not an HTTP reply
        QByteArray body;
    };

    // ---- the four primitives: build, send, map the reply, decode `T` from a 2xx body.
    template<json::Decodable T>
    QCoro::Task<T> get(QString path, Query query = {}, std::optional<QString> token = std::nullopt)
    {
        QByteArray body = co_await send(Method::Get, std::move(path), std::move(query), std::nullopt,
                                        std::move(token));
        co_return co_await decodeReply<T>(std::move(body));
    }

    template<json::Decodable T>
    QCoro::Task<T> post(QString path, QJsonObject body, std::optional<QString> token = std::nullopt)
    {
        QByteArray reply = co_await send(Method::Post, std::move(path), {}, std::move(body), std::move(token));
        co_return co_await decodeReply<T>(std::move(reply));
    }

    template<json::Decodable T>
    QCoro::Task<T> put(QString path, QJsonObject body, std::optional<QString> token = std::nullopt)
    {
        QByteArray reply = co_await send(Method::Put, std::move(path), {}, std::move(body), std::move(token));
        co_return co_await decodeReply<T>(std::move(reply));
    }

    template<json::Decodable T>
    QCoro::Task<T> del(QString path, std::optional<QString> token = std::nullopt)
    {
        QByteArray reply = co_await send(Method::Delete, std::move(path), {}, std::nullopt, std::move(token));
        co_return co_await decodeReply<T>(std::move(reply));
    }

    // ---- the frame under the primitives, for operations that need their own request.
    // The base URL with `path` appended (segments kept, characters a path does not allow
    // percent-encoded, existing %XX escapes kept) and the query encoded item by item in order;
    // no '?' when the query is empty. An invalid result is returned as an invalid QUrl, and so is
    // a path with a "." or ".." segment (a server id made only of dots), which no server could
    // receive as it is meant.
    QUrl endpoint(const QString &path, const Query &query = {}) const;
    // A request for `url` with caching off and the given idle timeout. Redirects are followed
    // only to the same scheme, host and port, so a token, a password or a body never reaches
    // another origin; any other redirect ends as its 3xx status.
    QNetworkRequest makeRequest(const QUrl &url, int idleTimeoutMs) const;
    QNetworkAccessManager &network() const { return *m_network; }
    // Awaits a sent reply (taking ownership) under the whole-request limit, reading at most the
    // kind's body cap. Throws TransportError when no complete HTTP reply arrived or the body ran
    // past the cap; otherwise returns its status and body.
    QCoro::Task<RawReply> perform(QNetworkReply *reply, BodyKind kind = BodyKind::Json);
    // Builds, sends and maps one request of a primitive; returns the 2xx body or throws.
    QCoro::Task<QByteArray> send(Method method, QString path, Query query,
                                 std::optional<QJsonObject> body, std::optional<QString> token);
    // The mapping table: returns the body for 2xx, throws APIError or ServerError otherwise.
    static QByteArray mapReply(Method method, const RawReply &reply);

    // Decodes a 2xx body into `T`, on the thread pool when it is large.
    template<json::Decodable T>
    static QCoro::Task<T> decodeReply(QByteArray body)
    {
        if (body.size() <= kOffThreadDecodeBytes)
            co_return json::decode<T>(body);
        std::function<T()> work = [body = std::move(body)] { return json::decode<T>(body); };
        co_return co_await onWorker<T>(std::move(work));
    }

private:
    // GET for the two catalogue operations: no headers, the catalogue idle timeout.
    QCoro::Task<StationsResponse> getCatalogue(QString path);

    Options m_options;
    std::unique_ptr<QNetworkAccessManager> m_network;
};
