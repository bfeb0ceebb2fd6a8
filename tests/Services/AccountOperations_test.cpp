#include "Services/APIClient.h"

#include "support/AccountRoutes.h"
#include "support/AccountState.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace standin;
using testing_support::runTask;

namespace {

APIClient::Options optionsFor(const QUrl &base)
{
    APIClient::Options o;
    o.baseURL = base;
    o.requestIdleTimeoutMs = 20'000;
    o.totalTimeoutMs = 60'000;
    return o;
}

QJsonObject jsonBody(const RecordedRequest &request)
{
    return QJsonDocument::fromJson(request.body).object();
}

Station liveStation()
{
    Station s;
    s.genre = QStringLiteral("pop-live");
    s.title = QStringLiteral("Some Artist - Some Song");
    s.serverName = QStringLiteral("Pop FM");
    return s;
}

PlaylistTrack track(const QString &id, std::optional<qint64> duration)
{
    PlaylistTrack t;
    t.trackType = QStringLiteral("library");
    t.trackID = id;
    t.title = QStringLiteral("Title ") + id;
    t.artist = QStringLiteral("Artist ") + id;
    t.streamURL = QStringLiteral("/media/library/%1.wav").arg(id);
    t.artworkURL = QStringLiteral("/media/library/%1.jpg").arg(id);
    t.duration = duration;
    return t;
}

class AccountOperationsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0);
        state = &installAccountRoutes(server);
        state->printCodes = false;
        client = std::make_unique<APIClient>(optionsFor(server.baseUrl()));
        const std::optional<AccountUser> demo = state->userNamed(AccountState::demoUsername);
        ASSERT_TRUE(demo);
        demoID = demo->id;
        demoToken = state->issueToken(demoID);
    }

    RecordedRequest last(const QString &path)
    {
        const auto seen = server.requestsTo(path);
        EXPECT_FALSE(seen.isEmpty()) << path.toStdString();
        return seen.isEmpty() ? RecordedRequest() : seen.last();
    }

    StandInServer server;
    AccountState *state = nullptr;
    std::unique_ptr<APIClient> client;
    qint64 demoID = 0;
    QString demoToken;
};

// The exception a void task ended with, as `E`.
template<typename E>
std::optional<E> errorAs(const std::exception_ptr &error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const E &e) {
        return e;
    } catch (...) {
    }
    return std::nullopt;
}

template<typename T>
QString errorText(const testing_support::Outcome<T> &outcome)
{
    if (!outcome.error)
        return QStringLiteral("<no error>");
    try {
        std::rethrow_exception(outcome.error);
    } catch (const AppError &e) {
        return e.errorDescription();
    } catch (...) {
    }
    return QStringLiteral("<not an AppError>");
}

} // namespace

TEST_F(AccountOperationsTest, SignInSignUpAndPasswordResetRequests)
{
    auto signedIn = runTask(client->login(AccountState::demoUsername, AccountState::demoPassword));
    ASSERT_TRUE(signedIn.ok()) << errorText(signedIn).toStdString();
    EXPECT_TRUE(signedIn.value->token);
    ASSERT_TRUE(signedIn.value->user);
    EXPECT_EQ(signedIn.value->user->username, AccountState::demoUsername);
    RecordedRequest r = last(QStringLiteral("/api/auth/login"));
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.header("Content-Type"), "application/json");
    EXPECT_TRUE(r.header("Authorization").isEmpty());
    EXPECT_EQ(jsonBody(r), (QJsonObject{{"username", "demo"}, {"password", "demo1234"}}));

    auto refused = runTask(client->login(QStringLiteral("demo"), QStringLiteral("wrong")));
    auto serverError = refused.errorAs<ServerError>();
    ASSERT_TRUE(serverError);
    EXPECT_EQ(serverError->code(), 401);
    EXPECT_EQ(serverError->errorDescription(), QStringLiteral("نام کاربری یا رمز عبور اشتباه است"));

    // Sign-up: the session, then the code the bot "sent".
    auto session = runTask(client->initTelegramSignup(QStringLiteral("newbie"), QStringLiteral("secret1"),
                                                      QStringLiteral("تازه‌وارد")));
    ASSERT_TRUE(session.ok()) << errorText(session).toStdString();
    EXPECT_FALSE(session.value->sessionID.isEmpty());
    EXPECT_EQ(session.value->expiresIn, 300);
    EXPECT_EQ(jsonBody(last(QStringLiteral("/api/auth/telegram/init-signup"))),
              (QJsonObject{{"username", "newbie"}, {"password", "secret1"}, {"display_name", "تازه‌وارد"}}));

    auto wrongCode = runTask(client->verifySignupOTP(session.value->sessionID, QStringLiteral("000000x")));
    EXPECT_EQ(errorText(wrongCode), QStringLiteral("کد تایید نامعتبر است"));
    auto confirmed = runTask(client->verifySignupOTP(session.value->sessionID, state->codeFor(session.value->sessionID)));
    ASSERT_TRUE(confirmed.ok()) << errorText(confirmed).toStdString();
    EXPECT_TRUE(confirmed.value->token);
    EXPECT_EQ(jsonBody(last(QStringLiteral("/api/auth/telegram/verify-signup-otp"))),
              (QJsonObject{{"session_id", session.value->sessionID},
                           {"otp_code", state->lastCode()}}));

    // Reset: the session comes at the top level and inside "data".
    auto reset = runTask(client->forgotPassword(QStringLiteral("@melodrift_demo")));
    ASSERT_TRUE(reset.ok()) << errorText(reset).toStdString();
    EXPECT_EQ(reset.value->telegramUsername, QStringLiteral("melodrift_demo"));
    EXPECT_EQ(jsonBody(last(QStringLiteral("/api/auth/telegram/forgot-password"))),
              (QJsonObject{{"identifier", "@melodrift_demo"}}));
    auto changed = runTask(client->resetPassword(reset.value->sessionID, state->codeFor(reset.value->sessionID),
                                                 QStringLiteral("fresh-pass")));
    ASSERT_TRUE(changed.ok()) << errorText(changed).toStdString();
    EXPECT_EQ(*changed.value, QStringLiteral("رمز عبور تغییر کرد"));
    EXPECT_EQ(jsonBody(last(QStringLiteral("/api/auth/telegram/reset-password"))).value("new_password"),
              QStringLiteral("fresh-pass"));
    EXPECT_TRUE(state->checkPassword(QStringLiteral("demo"), QStringLiteral("fresh-pass")));

    // Sign-out: the token as bearer and an empty object as the body.
    const QString token = state->issueToken(demoID);
    ASSERT_TRUE(runTask(client->logout(token)).ok());
    r = last(QStringLiteral("/api/auth/logout"));
    EXPECT_EQ(r.header("Authorization"), "Bearer " + token.toUtf8());
    EXPECT_EQ(r.body, "{}");
    EXPECT_FALSE(state->userForToken(token));
}

TEST_F(AccountOperationsTest, SessionRepliesWithoutASessionOrTokenBecomeServerErrors)
{
    const QString init = QStringLiteral("/api/auth/telegram/init-signup");
    server.script("POST", init, Reply::json(R"({"data":{"session_id":""}})"), 1);
    auto noSession = runTask(client->initTelegramSignup("a", "b", "c"));
    auto error = noSession.errorAs<ServerError>();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->errorDescription(), QStringLiteral("خطا در شروع ثبتنام"));
    EXPECT_EQ(error->code(), -1);

    server.script("POST", init, Reply::json(R"({"code":422,"message":"name taken"})"), 1);
    error = runTask(client->initTelegramSignup("a", "b", "c")).errorAs<ServerError>();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->errorDescription(), QStringLiteral("name taken"));
    EXPECT_EQ(error->code(), 422);

    server.script("POST", QStringLiteral("/api/auth/telegram/forgot-password"), Reply::json("{}"), 1);
    EXPECT_EQ(errorText(runTask(client->forgotPassword("x"))), QStringLiteral("خطا در ارسال کد بازیابی"));

    const QString verify = QStringLiteral("/api/auth/telegram/verify-signup-otp");
    for (const QByteArray &body : {QByteArray("{}"), QByteArray(R"({"data":{"user":{"id":1}}})")}) {
        server.script("POST", verify, Reply::json(body), 1);
        error = runTask(client->verifySignupOTP("s", "1")).errorAs<ServerError>();
        ASSERT_TRUE(error) << body.constData();
        EXPECT_EQ(error->errorDescription(), QStringLiteral("کد تایید نامعتبر است"));
        EXPECT_EQ(error->code(), -1);
    }
    server.script("POST", verify, Reply::json(R"({"code":7,"message":"expired","data":{}})"), 1);
    error = runTask(client->verifySignupOTP("s", "1")).errorAs<ServerError>();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->errorDescription(), QStringLiteral("expired"));
    EXPECT_EQ(error->code(), 7);

    // Sign-in hands a reply without a token to its caller; without "data" it fails.
    const QString login = QStringLiteral("/api/auth/login");
    server.script("POST", login, Reply::json(R"({"data":{"user":{"username":"x"}}})"), 1);
    auto tokenless = runTask(client->login("x", "y"));
    ASSERT_TRUE(tokenless.ok());
    EXPECT_FALSE(tokenless.value->token);
    server.script("POST", login, Reply::json(R"({"message":"ok"})"), 1);
    EXPECT_EQ(runTask(client->login("x", "y")).errorAs<APIError>(), APIError::decoding());
}

TEST_F(AccountOperationsTest, CurrentUserNeverFails)
{
    auto user = runTask(client->me(demoToken));
    ASSERT_TRUE(user.ok());
    ASSERT_TRUE(*user.value);
    EXPECT_EQ((*user.value)->username, AccountState::demoUsername);
    RecordedRequest r = last(QStringLiteral("/api/auth/me"));
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.header("Authorization"), "Bearer " + demoToken.toUtf8());
    EXPECT_FALSE(r.hasQuery);

    // A rejected token, a null reply, a reply without a user, garbage: no user and no error.
    const auto rejected = runTask(client->me(QStringLiteral("not-a-token")));
    ASSERT_TRUE(rejected.ok());
    EXPECT_FALSE(*rejected.value);
    const QString me = QStringLiteral("/api/auth/me");
    for (const QByteArray &body : {QByteArray("null"), QByteArray(R"({"data":{}})"), QByteArray(R"({"data":null})"),
                                  QByteArray("<html>"), QByteArray(R"({"data":{"user":{"id":"seven"}}})")}) {
        server.script("GET", me, Reply::json(body), 1);
        auto outcome = runTask(client->me(demoToken));
        ASSERT_TRUE(outcome.ok()) << body.constData();
        EXPECT_FALSE(*outcome.value) << body.constData();
    }

    // Nobody listening.
    APIClient unreachable(optionsFor(QUrl(QStringLiteral("http://127.0.0.1:1"))));
    auto offline = runTask(unreachable.me(demoToken));
    ASSERT_TRUE(offline.ok());
    EXPECT_FALSE(*offline.value);

    // Sign-out accepts a null reply too.
    server.script("POST", QStringLiteral("/api/auth/logout"), Reply::json("null"), 1);
    EXPECT_TRUE(runTask(client->logout(demoToken)).ok());
}

TEST_F(AccountOperationsTest, LibraryLoadsPlaylistsThenFavoritesAndFailsAsAWhole)
{
    auto library = runTask(client->loadLibrary(demoToken));
    ASSERT_TRUE(library.ok()) << errorText(library).toStdString();
    EXPECT_EQ(library.value->playlists.size(), 2);
    ASSERT_EQ(library.value->favorites.size(), 2);
    EXPECT_EQ(library.value->favorites.first().trackID, QStringLiteral("lib-baran")); // most recent first
    const QList<RecordedRequest> seen = server.requests();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].path, QStringLiteral("/api/playlists"));
    EXPECT_EQ(seen[1].path, QStringLiteral("/api/favorites"));
    for (const RecordedRequest &r : seen) {
        EXPECT_EQ(r.method, "GET");
        EXPECT_EQ(r.header("Authorization"), "Bearer " + demoToken.toUtf8());
    }

    // The first failing: the second is never asked.
    server.clearRequests();
    EXPECT_EQ(runTask(client->loadLibrary(QStringLiteral("nope"))).errorAs<APIError>(), APIError::http(401));
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/favorites")), 0);

    // The second failing fails the whole.
    server.script("GET", QStringLiteral("/api/favorites"), Reply::json(R"({"data":[{"title":"no id"}]})"), 1);
    EXPECT_TRUE(runTask(client->loadLibrary(demoToken)).errorAs<DecodingError>());
    server.script("GET", QStringLiteral("/api/favorites"), Reply::withStatus(503), 1);
    EXPECT_EQ(runTask(client->loadLibrary(demoToken)).errorAs<APIError>(), APIError::http(503));

    // Absent lists are empty ones.
    server.script("GET", QStringLiteral("/api/playlists"), Reply::json(R"({"data":{}})"), 1);
    server.script("GET", QStringLiteral("/api/favorites"), Reply::json(R"({"code":200})"), 1);
    library = runTask(client->loadLibrary(demoToken));
    ASSERT_TRUE(library.ok());
    EXPECT_TRUE(library.value->playlists.isEmpty());
    EXPECT_TRUE(library.value->favorites.isEmpty());
}

TEST_F(AccountOperationsTest, PlaylistEditsReachTheServer)
{
    auto created = runTask(client->createPlaylist(QStringLiteral("سفر"), demoToken));
    ASSERT_TRUE(created.ok()) << errorText(created).toStdString();
    const qint64 id = created.value->id;
    EXPECT_EQ(created.value->title, QStringLiteral("سفر"));
    EXPECT_EQ(jsonBody(last(QStringLiteral("/api/playlists"))), (QJsonObject{{"title", "سفر"}, {"description", ""}}));
    const QString path = QStringLiteral("/api/playlists/%1").arg(id);

    ASSERT_TRUE(runTask(client->updatePlaylist(id, QStringLiteral("Trip"), QStringLiteral("roads"), demoToken)).ok());
    RecordedRequest r = last(path);
    EXPECT_EQ(r.method, "PUT");
    EXPECT_EQ(r.header("Content-Type"), "application/json");
    EXPECT_EQ(jsonBody(r), (QJsonObject{{"title", "Trip"}, {"description", "roads"}}));

    // A rotation's current track goes in as it is.
    Station rotation;
    rotation.genre = QStringLiteral("rot");
    rotation.source = QStringLiteral("library");
    rotation.tracks = QList<PlaylistTrack>{track("a/b?c#d", 200), track("lib-baran", 90)};
    rotation.trackIndex = 0;
    ASSERT_TRUE(runTask(client->addTrackToPlaylist(id, rotation, demoToken)).ok());
    r = last(path + QStringLiteral("/tracks"));
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.header("Authorization"), "Bearer " + demoToken.toUtf8());
    EXPECT_EQ(jsonBody(r), (QJsonObject{{"track_type", "library"},
                                        {"track_id", "a/b?c#d"},
                                        {"title", "Title a/b?c#d"},
                                        {"artist", "Artist a/b?c#d"},
                                        {"stream_url", "/media/library/a/b?c#d.wav"},
                                        {"artwork_url", "/media/library/a/b?c#d.jpg"},
                                        {"duration", 200}}));

    // A track id with '/', '?' and '#' stays one path segment.
    ASSERT_TRUE(runTask(client->updatePlaylistTrack(id, QStringLiteral("a/b?c#d"), QStringLiteral("New"),
                                                     QStringLiteral("Someone"), demoToken))
                    .ok());
    r = server.requests().last();
    EXPECT_EQ(r.method, "PUT");
    EXPECT_EQ(r.rawPath, QStringLiteral("/api/playlists/%1/tracks/a%2Fb%3Fc%23d").arg(id).toUtf8());
    EXPECT_FALSE(r.hasQuery);
    EXPECT_EQ(jsonBody(r), (QJsonObject{{"title", "New"}, {"artist", "Someone"}}));

    auto detail = runTask(client->playlistDetail(id));
    ASSERT_TRUE(detail.ok()) << errorText(detail).toStdString();
    EXPECT_TRUE(last(path).header("Authorization").isEmpty());
    EXPECT_EQ(detail.value->title, QStringLiteral("Trip"));
    ASSERT_TRUE(detail.value->tracks);
    ASSERT_EQ(detail.value->tracks->size(), 1);
    EXPECT_EQ(detail.value->tracks->first().title, QStringLiteral("New"));

    ASSERT_TRUE(runTask(client->deletePlaylistTrack(id, QStringLiteral("a/b?c#d"), demoToken)).ok());
    EXPECT_EQ(server.requests().last().method, "DELETE");
    EXPECT_EQ(server.requests().last().rawPath, QStringLiteral("/api/playlists/%1/tracks/a%2Fb%3Fc%23d").arg(id).toUtf8());
    detail = runTask(client->playlistDetail(id, demoToken));
    ASSERT_TRUE(detail.ok());
    EXPECT_EQ(last(path).header("Authorization"), "Bearer " + demoToken.toUtf8());
    EXPECT_TRUE(detail.value->tracks->isEmpty());

    ASSERT_TRUE(runTask(client->deletePlaylist(id, demoToken)).ok());
    EXPECT_EQ(last(path).method, "DELETE");
    EXPECT_FALSE(state->playlist(id));

    // A refusal carries the server's text and status.
    auto gone = errorAs<ServerError>(runTask(client->deletePlaylist(id, demoToken)).error);
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->code(), 404);
    EXPECT_EQ(gone->errorDescription(), QStringLiteral("پلیلیست پیدا نشد"));
    EXPECT_EQ(runTask(client->playlistDetail(id)).errorAs<APIError>(), APIError::http(404));
    server.script("GET", path, Reply::json(R"({"code":200})"), 1);
    EXPECT_EQ(runTask(client->playlistDetail(id)).errorAs<APIError>(), APIError::decoding());
    server.script("POST", QStringLiteral("/api/playlists"), Reply::json(R"({"code":201})", 201), 1);
    EXPECT_EQ(runTask(client->createPlaylist("x", demoToken)).errorAs<APIError>(), APIError::decoding());
}

TEST_F(AccountOperationsTest, StationBodiesFollowTheirFallbacks)
{
    // A live station: everything from the station and its title.
    Station live = liveStation();
    EXPECT_EQ(APIClient::playlistTrackBody(live),
              (QJsonObject{{"track_type", "radio"}, {"track_id", "pop-live#Some Song"}, {"title", "Some Song"},
                           {"artist", "Some Artist"}, {"stream_url", ""}, {"artwork_url", ""}, {"duration", 0}}));
    EXPECT_EQ(APIClient::favoriteBody(live),
              (QJsonObject{{"track_type", "live"}, {"track_id", "pop-live#Some Song"}, {"title", "Some Song"},
                           {"artist", "Some Artist"}, {"stream_url", ""}, {"artwork_url", ""}, {"duration", 0}}));
    EXPECT_EQ(APIClient::downloadTokenBody(live),
              (QJsonObject{{"track_type", "radio"}, {"track_id", "pop-live"}, {"title", "Some Song"},
                           {"artist", "Some Artist"}, {"stream_url", "/stream/pop-live"},
                           {"artwork_url", "/artwork/pop-live.jpg"}, {"seconds", 180}}));

    // With its own addresses, the live artwork carries the playing title.
    live.source = QStringLiteral("icecast");
    live.streamURL = QStringLiteral("https://cdn.example/live");
    live.artworkURL = QStringLiteral("/artwork/pop-live.jpg?size=2");
    const QJsonObject download = APIClient::downloadTokenBody(live);
    EXPECT_EQ(download.value("stream_url"), QStringLiteral("https://cdn.example/live"));
    EXPECT_EQ(download.value("artwork_url"), QStringLiteral("/artwork/pop-live.jpg?size=2&v=Some%20Song"));
    EXPECT_EQ(APIClient::favoriteBody(live).value("artwork_url"), QStringLiteral("/artwork/pop-live.jpg?size=2"));
    EXPECT_EQ(APIClient::favoriteBody(live).value("track_type"), QStringLiteral("icecast"));

    // An empty artist falls back to the display name.
    Station unnamed;
    unnamed.genre = QStringLiteral("jazz");
    unnamed.serverName = QStringLiteral("Jazz 24");
    EXPECT_EQ(APIClient::downloadTokenBody(unnamed).value("artist"), QStringLiteral("Jazz 24"));

    // A rotation: seconds only for a duration of at least 1.
    Station rotation;
    rotation.genre = QStringLiteral("jazz");
    rotation.tracks = QList<PlaylistTrack>{track("t0", std::nullopt), track("t1", 0), track("t2", 241)};
    for (const auto &[index, seconds] : std::initializer_list<std::pair<int, int>>{{0, 180}, {1, 180}, {2, 241}}) {
        rotation.trackIndex = index;
        EXPECT_EQ(APIClient::downloadTokenBody(rotation).value("seconds"), seconds) << index;
    }
    // A track without its own stream address plays the server's path of its index.
    (*rotation.tracks)[2].streamURL.reset();
    EXPECT_EQ(APIClient::favoriteBody(rotation).value("stream_url"), QStringLiteral("/stream/jazz?track=2"));
    EXPECT_EQ(APIClient::favoriteBody(rotation).value("track_id"), QStringLiteral("jazz#2"));
}

TEST_F(AccountOperationsTest, LocalFileAddressesAreNeverSent)
{
    // The downloads pseudo-station: tracks that play from local files.
    Station offline;
    offline.genre = QStringLiteral("offline-library");
    offline.source = QStringLiteral("custom");
    PlaylistTrack downloaded = track("lib-baran", 120);
    downloaded.streamURL = QStringLiteral("file:///home/u/.local/share/OfflineTracks/A.mp3");
    downloaded.artworkURL = QStringLiteral("file:///home/u/.local/share/OfflineTracks/A.art");
    offline.tracks = QList<PlaylistTrack>{downloaded};
    offline.trackIndex = 0;

    const QJsonObject add = APIClient::playlistTrackBody(offline);
    EXPECT_EQ(add.value("stream_url"), QStringLiteral("/stream/offline-library?track=0"));
    EXPECT_EQ(add.value("artwork_url"), QString());
    EXPECT_EQ(add.value("track_id"), QStringLiteral("lib-baran"));
    const QJsonObject download = APIClient::downloadTokenBody(offline);
    EXPECT_EQ(download.value("stream_url"), QStringLiteral("/stream/offline-library?track=0"));
    EXPECT_EQ(download.value("artwork_url"), QStringLiteral("/artwork/offline-library.jpg"));
    EXPECT_EQ(APIClient::favoriteBody(offline).value("stream_url"), QStringLiteral("/stream/offline-library?track=0"));

    // A station whose own addresses are local: its remote artwork stands in, else nothing.
    offline.artworkURL = QStringLiteral("FILE:///tmp/cover.jpg");
    EXPECT_EQ(APIClient::favoriteBody(offline).value("artwork_url"), QString());
    offline.tracks->first().artworkURL = QStringLiteral("https://cdn.example/baran.jpg");
    EXPECT_EQ(APIClient::playlistTrackBody(offline).value("artwork_url"), QStringLiteral("https://cdn.example/baran.jpg"));
    EXPECT_EQ(APIClient::downloadTokenBody(offline).value("artwork_url"), QStringLiteral("https://cdn.example/baran.jpg"));

    Station liveFile = liveStation();
    liveFile.streamURL = QStringLiteral("file:///tmp/live.mp3");
    EXPECT_EQ(APIClient::downloadTokenBody(liveFile).value("stream_url"), QStringLiteral("/stream/pop-live"));
    EXPECT_EQ(APIClient::favoriteBody(liveFile).value("stream_url"), QString());

    // And the whole request says so too.
    auto added = runTask(client->addTrackToPlaylist(state->playlistsOf(demoID).first().id, offline, demoToken));
    ASSERT_TRUE(added.ok()) << errorText(added).toStdString();
    EXPECT_FALSE(server.requests().last().body.contains("file:"));
}

TEST_F(AccountOperationsTest, FavouriteToggleLikesAndUnlikes)
{
    Station live = liveStation();
    auto liked = runTask(client->toggleFavorite(live, demoToken));
    ASSERT_TRUE(liked.ok()) << errorText(liked).toStdString();
    ASSERT_TRUE(liked.value->data);
    EXPECT_EQ(liked.value->data->favorited, true);
    RecordedRequest r = last(QStringLiteral("/api/favorites/toggle"));
    EXPECT_EQ(r.header("Authorization"), "Bearer " + demoToken.toUtf8());
    EXPECT_EQ(jsonBody(r), APIClient::favoriteBody(live));
    EXPECT_EQ(state->favoritesOf(demoID).first().trackID, QStringLiteral("pop-live#Some Song"));

    liked = runTask(client->toggleFavorite(live, demoToken));
    ASSERT_TRUE(liked.ok());
    EXPECT_EQ(liked.value->data->favorited, false);
    const auto refused = runTask(client->toggleFavorite(live, QStringLiteral("bad"))).errorAs<ServerError>();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code(), 401);
}

TEST_F(AccountOperationsTest, LyricsSearchAndSpotifyQueries)
{
    auto lyrics = runTask(client->lyrics(QStringLiteral("persian"), QStringLiteral("C++ & Co = #1"),
                                         QStringLiteral("آرش"), std::nullopt));
    ASSERT_TRUE(lyrics.ok()) << errorText(lyrics).toStdString();
    RecordedRequest r = last(QStringLiteral("/api/lyrics"));
    EXPECT_EQ(r.query, QStringLiteral("genre=persian&title=C%2B%2B%20%26%20Co%20%3D%20%231&artist=%D8%A2%D8%B1%D8%B4&duration="));
    EXPECT_TRUE(r.header("Authorization").isEmpty());
    ASSERT_TRUE(lyrics.value->data);
    EXPECT_EQ(lyrics.value->data->found, true);
    EXPECT_TRUE(lyrics.value->data->elapsedSeconds);

    using Sent = std::pair<std::optional<double>, const char *>;
    for (const auto &[duration, sent] : std::initializer_list<Sent>{{0.5, ""}, {1.0, "1"}, {215.8, "215"}, {std::nullopt, ""}}) {
        ASSERT_TRUE(runTask(client->lyrics("g", "t", "a", duration)).ok());
        EXPECT_EQ(last(QStringLiteral("/api/lyrics")).queryItems().queryItemValue("duration"), QString::fromLatin1(sent));
    }
    server.script("GET", QStringLiteral("/api/lyrics"), Reply::json(R"({"code":404})"), 1);
    lyrics = runTask(client->lyrics("g", "t", "a", 10.0));
    ASSERT_TRUE(lyrics.ok());
    EXPECT_FALSE(lyrics.value->data);

    auto found = runTask(client->soundcloudSearch(QStringLiteral("Neon River")));
    ASSERT_TRUE(found.ok()) << errorText(found).toStdString();
    ASSERT_FALSE(found.value->isEmpty());
    EXPECT_EQ(found.value->first().source, QStringLiteral("soundcloud"));
    EXPECT_EQ(found.value->first().currentTrack()->duration, 70); // a number written as a string
    EXPECT_EQ(last(QStringLiteral("/api/soundcloud/search")).query, QStringLiteral("q=Neon%20River"));
    server.script("GET", QStringLiteral("/api/soundcloud/search"), Reply::json(R"({"code":200})"), 1);
    found = runTask(client->soundcloudSearch(QStringLiteral("x")));
    ASSERT_TRUE(found.ok());
    EXPECT_TRUE(found.value->isEmpty());

    const QString album = QStringLiteral("https://open.spotify.com/album/4aawyAB9vmqN3uQ7FjRGTy?si=a&b=c");
    auto entity = runTask(client->spotifyResolve(album));
    ASSERT_TRUE(entity.ok()) << errorText(entity).toStdString();
    EXPECT_EQ(entity.value->type, QStringLiteral("album")); // sent as "kind"
    EXPECT_TRUE(entity.value->coverURL);                    // sent as "artwork_url"
    EXPECT_EQ(last(QStringLiteral("/api/spotify/resolve")).queryItems().queryItemValue("url", QUrl::FullyDecoded), album);
    EXPECT_EQ(runTask(client->spotifyResolve(QStringLiteral("nonsense"))).errorAs<APIError>(), APIError::http(422));
    server.script("GET", QStringLiteral("/api/spotify/resolve"), Reply::json(R"({"code":200})"), 1);
    EXPECT_EQ(runTask(client->spotifyResolve(album)).errorAs<APIError>(), APIError::decoding());

    const qsizetype before = state->playlistsOf(demoID).size();
    ASSERT_TRUE(runTask(client->importSpotify(album, QStringLiteral("Imported"), QString(), demoToken)).ok());
    r = last(QStringLiteral("/api/spotify/import"));
    EXPECT_EQ(r.header("Authorization"), "Bearer " + demoToken.toUtf8());
    EXPECT_EQ(jsonBody(r), (QJsonObject{{"url", album}, {"title", "Imported"}, {"description", ""}}));
    EXPECT_EQ(state->playlistsOf(demoID).size(), before + 1);
}

TEST_F(AccountOperationsTest, TelegramDownloadLink)
{
    auto link = runTask(client->telegramDownloadToken(liveStation()));
    ASSERT_TRUE(link.ok()) << errorText(link).toStdString();
    EXPECT_EQ(link.value->scheme(), QStringLiteral("https"));
    EXPECT_EQ(link.value->host(), QStringLiteral("t.me"));
    RecordedRequest r = last(QStringLiteral("/api/telegram/download-token"));
    EXPECT_TRUE(r.header("Authorization").isEmpty());
    EXPECT_EQ(jsonBody(r), APIClient::downloadTokenBody(liveStation()));

    const QString path = QStringLiteral("/api/telegram/download-token");
    for (const QByteArray &body : {QByteArray(R"({"code":200})"), QByteArray(R"({"data":{"token":"t"}})"),
                                  QByteArray(R"({"data":{"bot_url":""}})"), QByteArray(R"({"data":{"bot_url":"http://[::1"}})")}) {
        server.script("POST", path, Reply::json(body), 1);
        EXPECT_EQ(runTask(client->telegramDownloadToken(liveStation())).errorAs<APIError>(), APIError::decoding())
            << body.constData();
    }
}

TEST_F(AccountOperationsTest, RecognitionUploadsTheRecording)
{
    const QByteArray recording = QByteArray("\x00\x00\x00\x18" "ftypM4A ", 12) + QByteArray(4096, '\x5a');
    auto song = runTask(client->recognize(recording));
    ASSERT_TRUE(song.ok()) << errorText(song).toStdString();
    EXPECT_TRUE(song.value->title);
    EXPECT_TRUE(song.value->streamURL);
    RecordedRequest r = last(QStringLiteral("/api/shazam"));
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.header("Content-Type"), "audio/mp4");
    EXPECT_TRUE(r.header("Authorization").isEmpty());
    EXPECT_EQ(r.body, recording);
    EXPECT_EQ(state->recognitions, 1);

    const QString path = QStringLiteral("/api/shazam");
    server.script("POST", path, Reply::json(R"({"message":"آهنگی پیدا نشد"})", 404), 1);
    auto refused = runTask(client->recognize(recording)).errorAs<ServerError>();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->errorDescription(), QStringLiteral("آهنگی پیدا نشد"));
    EXPECT_EQ(refused->code(), 404);

    server.script("POST", path, Reply::text("<html>busy</html>", 500, "text/html"), 1);
    EXPECT_EQ(runTask(client->recognize(recording)).errorAs<APIError>(), APIError::http(500));
    server.script("POST", path, Reply::json(R"({"code":200,"message":"nothing"})"), 1);
    EXPECT_EQ(runTask(client->recognize(recording)).errorAs<APIError>(), APIError::decoding());
    server.script("POST", path, Reply::json(R"({"data":{"title":5}})"), 1);
    EXPECT_TRUE(runTask(client->recognize(recording)).errorAs<DecodingError>());
}
