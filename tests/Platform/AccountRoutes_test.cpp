#include "Models/APIModels.h"
#include "support/AccountRoutes.h"
#include "support/AccountState.h"
#include "support/StandInServer.h"

#include <QEventLoop>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>

using namespace standin;
using json::decode;

namespace {

struct Answer {
    int status = 0;
    QByteArray body;
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
    QString message() const { return json().value(QStringLiteral("message")).toString(); }
    QJsonValue data() const { return json().value(QStringLiteral("data")); }
};

// The stand-in with its account routes, called over real HTTP.
class AccountRoutesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0);
        state = &installAccountRoutes(server);
        state->printCodes = false;
    }

    // `path` may carry a query and percent-encoded segments; it is sent as it is.
    Answer call(const QByteArray &method, const QString &path, const QJsonObject &body = {},
                const QString &token = {}, const QByteArray &rawBody = {}, const QByteArray &contentType = "application/json")
    {
        QNetworkRequest request(QUrl(server.baseUrl().toString() + path, QUrl::StrictMode));
        if (!token.isEmpty())
            request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
        QByteArray payload = rawBody;
        if (method == "POST" || method == "PUT") {
            request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
            if (payload.isEmpty())
                payload = QJsonDocument(body).toJson(QJsonDocument::Compact);
        }
        QNetworkReply *reply = nam.sendCustomRequest(request, method, payload);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        Answer a{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
        reply->deleteLater();
        return a;
    }

    QString signIn(const QString &username, const QString &password)
    {
        const Answer a = call("POST", "/api/auth/login", {{"username", username}, {"password", password}});
        return decode<AuthEnvelope>(a.body).data.value_or(AuthData{}).token.value_or(QString());
    }

    QJsonObject track(const QString &trackID, const QString &title = QStringLiteral("T"))
    {
        return {{"track_type", "radio"}, {"track_id", trackID}, {"title", title}, {"artist", "A"},
                {"stream_url", "/stream/x"}, {"artwork_url", ""}, {"duration", 120}};
    }

    StandInServer server;
    AccountState *state = nullptr;
    QNetworkAccessManager nam;
};

} // namespace

TEST_F(AccountRoutesTest, SignUpWithTheBotCodeThenMeAndLogout)
{
    QSignalSpy sent(state, &AccountState::codeSent);
    const Answer started = call("POST", "/api/auth/telegram/init-signup",
                                {{"username", "newbie"}, {"password", "pass1"}, {"display_name", "تازهوارد"}});
    ASSERT_EQ(started.status, 200) << started.body.constData();
    const std::optional<AuthSessionInfo> session = decode<SessionInfoEnvelope>(started.body).resolved();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->expiresIn, 300);
    EXPECT_EQ(session->botUsername, "MelodriftBot");
    EXPECT_TRUE(session->botLink->endsWith("?start=" + session->sessionID));
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent.at(0).at(0).toString(), session->sessionID);
    const QString code = state->codeFor(session->sessionID);
    EXPECT_EQ(code, sent.at(0).at(1).toString());
    EXPECT_EQ(code, state->lastCode());
    EXPECT_EQ(code.size(), 6);
    EXPECT_FALSE(state->userNamed("newbie")); // the account exists only once confirmed

    const QString wrong = code == "000000" ? "111111" : "000000";
    const Answer refused = call("POST", "/api/auth/telegram/verify-signup-otp", {{"session_id", session->sessionID}, {"otp_code", wrong}});
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.message(), QStringLiteral("کد تایید نامعتبر است"));

    const Answer confirmed = call("POST", "/api/auth/telegram/verify-signup-otp", {{"session_id", session->sessionID}, {"otp_code", code}});
    ASSERT_EQ(confirmed.status, 200) << confirmed.body.constData();
    const AuthData auth = *decode<AuthEnvelope>(confirmed.body).data;
    ASSERT_TRUE(auth.token && auth.user);
    EXPECT_EQ(auth.user->username, "newbie");
    EXPECT_EQ(auth.user->displayName, QStringLiteral("تازهوارد"));
    EXPECT_FALSE(auth.user->avatarURL);

    // The session is used up.
    EXPECT_EQ(call("POST", "/api/auth/telegram/verify-signup-otp", {{"session_id", session->sessionID}, {"otp_code", code}}).status, 404);

    const Answer me = call("GET", "/api/auth/me", {}, *auth.token);
    ASSERT_EQ(me.status, 200);
    EXPECT_EQ(decode<AuthEnvelope>(me.body).data->user, auth.user);
    EXPECT_EQ(signIn("NEWBIE", "pass1").isEmpty(), false); // user names ignore case

    EXPECT_EQ(call("POST", "/api/auth/logout", {}, *auth.token).status, 200);
    EXPECT_EQ(call("GET", "/api/auth/me", {}, *auth.token).status, 401);
    EXPECT_EQ(call("GET", "/api/auth/me").status, 401);
}

TEST_F(AccountRoutesTest, SignUpRefusals)
{
    const auto start = [this](const QString &username, const QString &password) {
        return call("POST", "/api/auth/telegram/init-signup", {{"username", username}, {"password", password}, {"display_name", ""}});
    };
    EXPECT_EQ(start("demo", "whatever").status, 409); // taken
    EXPECT_EQ(start("DEMO", "whatever").status, 409);
    EXPECT_EQ(start("ab", "whatever").status, 422);
    EXPECT_EQ(start("has space", "whatever").status, 422);
    const Answer shortPassword = start("okname", "abc");
    EXPECT_EQ(shortPassword.status, 422);
    EXPECT_FALSE(shortPassword.message().isEmpty());
    EXPECT_EQ(call("POST", "/api/auth/telegram/init-signup", {}, {}, "not json").status, 400);
    EXPECT_EQ(call("POST", "/api/auth/telegram/init-signup", {{"username", 5}, {"password", "abcd"}}).status, 422);

    // A session expires, and too many wrong codes close it.
    ASSERT_EQ(start("late", "abcd").status, 200);
    const QString late = state->lastSessionID();
    state->expireSessions();
    EXPECT_EQ(call("POST", "/api/auth/telegram/verify-signup-otp", {{"session_id", late}, {"otp_code", state->codeFor(late)}}).status, 410);

    state->setNextCode("123456");
    ASSERT_EQ(start("guesser", "abcd").status, 200);
    const QString guessed = state->lastSessionID();
    EXPECT_EQ(state->codeFor(guessed), "123456");
    for (int i = 1; i < AccountState::maxCodeAttempts; ++i)
        EXPECT_EQ(call("POST", "/api/auth/telegram/verify-signup-otp", {{"session_id", guessed}, {"otp_code", "999999"}}).status, 400);
    EXPECT_EQ(call("POST", "/api/auth/telegram/verify-signup-otp", {{"session_id", guessed}, {"otp_code", "999999"}}).status, 429);
    EXPECT_EQ(call("POST", "/api/auth/telegram/verify-signup-otp", {{"session_id", guessed}, {"otp_code", "123456"}}).status, 404);
}

TEST_F(AccountRoutesTest, PasswordResetThroughTheBot)
{
    const QString oldToken = signIn(AccountState::demoUsername, AccountState::demoPassword);
    ASSERT_FALSE(oldToken.isEmpty());
    EXPECT_EQ(call("POST", "/api/auth/login", {{"username", "demo"}, {"password", "nope"}}).status, 401);
    EXPECT_EQ(call("POST", "/api/auth/telegram/forgot-password", {{"identifier", "nobody"}}).status, 404);

    const Answer started = call("POST", "/api/auth/telegram/forgot-password", {{"identifier", "@Melodrift_Demo"}});
    ASSERT_EQ(started.status, 200);
    const SessionInfoEnvelope envelope = decode<SessionInfoEnvelope>(started.body);
    EXPECT_TRUE(envelope.sessionID && envelope.data && envelope.data->sessionID); // both levels
    const AuthSessionInfo session = *envelope.resolved();
    EXPECT_EQ(session.telegramUsername, "melodrift_demo");

    const QString code = state->codeFor(session.sessionID);
    EXPECT_EQ(call("POST", "/api/auth/telegram/reset-password",
                   {{"session_id", session.sessionID}, {"otp_code", code}, {"new_password", "abc"}}).status, 422);
    const Answer reset = call("POST", "/api/auth/telegram/reset-password",
                              {{"session_id", session.sessionID}, {"otp_code", code}, {"new_password", "fresh-pass"}});
    ASSERT_EQ(reset.status, 200);
    EXPECT_FALSE(reset.message().isEmpty());

    EXPECT_TRUE(signIn("demo", AccountState::demoPassword).isEmpty());
    EXPECT_FALSE(signIn("demo", "fresh-pass").isEmpty());
    EXPECT_EQ(call("GET", "/api/auth/me", {}, oldToken).status, 401); // a reset signs out everywhere
}

TEST_F(AccountRoutesTest, PlaylistsCreateEditAndDelete)
{
    state->clear();
    const qint64 me = state->addUser("owner", "secret");
    const QString token = state->issueToken(me);
    const QString stranger = state->issueToken(state->addUser("stranger", "secret"));

    EXPECT_EQ(call("GET", "/api/playlists").status, 401);
    EXPECT_EQ(call("POST", "/api/playlists", {{"title", "x"}, {"description", ""}}, "bad-token").status, 401);
    EXPECT_EQ(call("POST", "/api/playlists", {{"title", "  "}, {"description", ""}}, token).status, 422);

    const Answer created = call("POST", "/api/playlists", {{"title", "شبانه"}, {"description", ""}}, token);
    ASSERT_EQ(created.status, 201);
    const PlaylistSummary summary = *decode<PlaylistCreateEnvelope>(created.body).data;
    EXPECT_EQ(summary.title, QStringLiteral("شبانه"));
    EXPECT_EQ(summary.trackCount, 0);
    const QString base = "/api/playlists/" + QString::number(summary.id);

    // Track ids may hold "#" and "/": the client sends them as one percent-encoded segment.
    ASSERT_EQ(call("POST", base + "/tracks", track("pop#3", "Three"), token).status, 201);
    ASSERT_EQ(call("POST", base + "/tracks", track("a/b?c", "Odd"), token).status, 201);
    EXPECT_EQ(call("POST", base + "/tracks", track("pop#3"), token).status, 409);
    EXPECT_EQ(call("POST", base + "/tracks", track("x"), stranger).status, 404);
    QJsonObject badDuration = track("y");
    badDuration.insert("duration", "120");
    EXPECT_EQ(call("POST", base + "/tracks", badDuration, token).status, 422);

    const PlaylistsData listed = *decode<PlaylistsEnvelope>(call("GET", "/api/playlists", {}, token).body).data;
    ASSERT_EQ(listed.playlists->size(), 1);
    EXPECT_EQ(listed.playlists->first().trackCount, 2);
    EXPECT_EQ(listed.favoritesCount, 0);

    QJsonObject detail = call("GET", base).data().toObject(); // no token needed to read
    QJsonArray tracks = detail.value("tracks").toArray();
    ASSERT_EQ(tracks.size(), 2);
    EXPECT_EQ(tracks.at(0)["track_id"].toString(), "pop#3");
    EXPECT_EQ(tracks.at(0)["duration"].toInt(), 120);
    const QString firstRow = QString::number(tracks.at(0)["id"].toInteger());

    // Edit by row id, and by track id (percent-encoded).
    ASSERT_EQ(call("PUT", base + "/tracks/" + firstRow, {{"title", "Renamed"}, {"artist", "B"}}, token).status, 200);
    ASSERT_EQ(call("PUT", base + "/tracks/a%2Fb%3Fc", {{"title", "Odd 2"}, {"artist", ""}}, token).status, 200);
    EXPECT_EQ(call("PUT", base + "/tracks/nothing", {{"title", "x"}, {"artist", ""}}, token).status, 404);
    tracks = call("GET", base, {}, token).data()["tracks"].toArray();
    EXPECT_EQ(tracks.at(0)["title"].toString(), "Renamed");
    EXPECT_EQ(tracks.at(1)["title"].toString(), "Odd 2");

    ASSERT_EQ(call("DELETE", base + "/tracks/pop%233", {}, token).status, 200);
    EXPECT_EQ(call("DELETE", base + "/tracks/pop%233", {}, token).status, 404);
    EXPECT_EQ(state->playlist(summary.id)->tracks.size(), 1);

    EXPECT_EQ(call("PUT", base, {{"title", "New name"}, {"description", "d"}}, stranger).status, 404);
    ASSERT_EQ(call("PUT", base, {{"title", "New name"}, {"description", "d"}}, token).status, 200);
    EXPECT_EQ(state->playlist(summary.id)->title, "New name");
    EXPECT_EQ(state->playlist(summary.id)->description, "d");

    EXPECT_EQ(call("DELETE", base, {}, stranger).status, 404);
    const Answer deleted = call("DELETE", base, {}, token);
    ASSERT_EQ(deleted.status, 200);
    EXPECT_FALSE(deleted.message().isEmpty());
    EXPECT_EQ(call("GET", base).status, 404);
    EXPECT_EQ(call("GET", "/api/playlists/abc").status, 404);
    EXPECT_TRUE(decode<PlaylistsEnvelope>(call("GET", "/api/playlists", {}, token).body).data->playlists->isEmpty());
}

TEST_F(AccountRoutesTest, FavouriteToggleLikesAndUnlikes)
{
    const QString token = signIn("demo", "demo1234");
    QList<FavoriteTrack> likes = *decode<FavoritesEnvelope>(call("GET", "/api/favorites", {}, token).body).data;
    ASSERT_EQ(likes.size(), 2); // the demo account's

    EXPECT_EQ(call("POST", "/api/favorites/toggle", track("jazz#1")).status, 401);
    Answer toggled = call("POST", "/api/favorites/toggle", track("jazz#1", "Blue"), token);
    ASSERT_EQ(toggled.status, 200);
    EXPECT_EQ(decode<ToggleResult>(toggled.body).data->favorited, true);
    likes = *decode<FavoritesEnvelope>(call("GET", "/api/favorites", {}, token).body).data;
    ASSERT_EQ(likes.size(), 3);
    EXPECT_EQ(likes.first().trackID, "jazz#1"); // most recent first
    EXPECT_EQ(likes.first().title, "Blue");
    EXPECT_EQ(likes.first().duration, 120);
    EXPECT_EQ(decode<PlaylistsEnvelope>(call("GET", "/api/playlists", {}, token).body).data->favoritesCount, 3);

    toggled = call("POST", "/api/favorites/toggle", track("jazz#1"), token);
    EXPECT_EQ(decode<ToggleResult>(toggled.body).data->favorited, false);
    EXPECT_EQ(decode<FavoritesEnvelope>(call("GET", "/api/favorites", {}, token).body).data->size(), 2);
    EXPECT_EQ(call("POST", "/api/favorites/toggle", track(""), token).status, 422);
}

TEST_F(AccountRoutesTest, LyricsSearchSpotifyTelegramAndRecognition)
{
    // Lyrics: a catalogue song with translations; a live title gets lines and the server's clock;
    // an instrumental gets none.
    Answer a = call("GET", "/api/lyrics?genre=pop&title=Night%20Drive&artist=Aria%20Sky&duration=72");
    LyricsData lyrics = *decode<LyricsEnvelope>(a.body).data;
    EXPECT_EQ(lyrics.found, true);
    ASSERT_TRUE(lyrics.lines && lyrics.lines->size() > 3);
    EXPECT_TRUE(lyrics.lines->first().translation);
    EXPECT_FALSE(lyrics.lines->last().translation);
    EXPECT_FALSE(lyrics.elapsedSeconds);
    lyrics = *decode<LyricsEnvelope>(call("GET", "/api/lyrics?genre=live&title=Song&artist=Artist&duration=").body).data;
    EXPECT_EQ(lyrics.found, true);
    EXPECT_TRUE(lyrics.elapsedSeconds && *lyrics.elapsedSeconds > 0);
    lyrics = *decode<LyricsEnvelope>(call("GET", "/api/lyrics?genre=instrumental&title=Still%20Water&artist=&duration=56").body).data;
    EXPECT_EQ(lyrics.found, false);
    EXPECT_FALSE(lyrics.lines);

    // SoundCloud: stations with a one-track list whose numbers come as strings.
    a = call("GET", "/api/soundcloud/search?q=low%20tide");
    QJsonArray results = a.data().toArray();
    ASSERT_EQ(results.size(), 2);
    EXPECT_TRUE(results.at(0)["genre"].toString().startsWith("soundcloud-"));
    EXPECT_TRUE(results.at(0)["tracks"][0]["duration"].isString());
    EXPECT_TRUE(call("GET", "/api/soundcloud/search?q=%20").data().toArray().isEmpty());

    // Spotify: a playlist link and an album link (which uses the older key names).
    a = call("GET", "/api/spotify/resolve?url=" + QUrl::toPercentEncoding("https://open.spotify.com/playlist/37i9dQZF1DX4?si=abc"));
    SpotifyEntity entity = *decode<EntityEnvelope>(a.body).data;
    EXPECT_EQ(entity.id, "37i9dQZF1DX4");
    EXPECT_EQ(entity.type, "playlist");
    EXPECT_TRUE(entity.coverURL);
    ASSERT_TRUE(entity.tracks);
    EXPECT_EQ(entity.trackCount, entity.tracks->size());
    a = call("GET", "/api/spotify/resolve?url=spotify%3Aalbum%3Aabc123");
    EXPECT_TRUE(a.data()["kind"].isString());
    entity = *decode<EntityEnvelope>(a.body).data;
    EXPECT_EQ(entity.type, "album");
    EXPECT_TRUE(entity.coverURL);
    EXPECT_FALSE(entity.tracks->first().artworkURL);
    EXPECT_EQ(call("GET", "/api/spotify/resolve?url=https%3A%2F%2Fexample.com%2Fx").status, 422);

    const QString token = signIn("demo", "demo1234");
    const QJsonObject import{{"url", "https://open.spotify.com/album/abc123"}, {"title", "Imported"}, {"description", "d"}};
    EXPECT_EQ(call("POST", "/api/spotify/import", import).status, 401);
    a = call("POST", "/api/spotify/import", import, token);
    ASSERT_EQ(a.status, 201);
    EXPECT_TRUE(a.message().contains("Imported"));
    const QList<Playlist> mine = state->playlistsOf(state->userNamed("demo")->id);
    EXPECT_EQ(mine.first().title, "Imported");
    EXPECT_EQ(mine.first().tracks.size(), entity.tracks->size());

    // Telegram download link.
    a = call("POST", "/api/telegram/download-token",
             {{"track_type", "radio"}, {"track_id", "live"}, {"title", "Song"}, {"artist", "Artist"},
              {"stream_url", "/stream/live"}, {"artwork_url", "/artwork/live.jpg"}, {"seconds", 180}});
    const TelegramTokenData link = *decode<TelegramTokenEnvelope>(a.body).data;
    EXPECT_EQ(link.botURL, "https://t.me/MelodriftBot?start=dl_" + *link.token);
    EXPECT_EQ(state->downloadTokens, QStringList{*link.token});

    // Recognition: any recording gives a catalogue track; an empty one is refused.
    a = call("POST", "/api/shazam", {}, {}, QByteArray(4096, 'a'), "audio/mp4");
    const ShazamData found = *decode<ShazamEnvelope>(a.body).data;
    EXPECT_TRUE(found.title && found.streamURL && found.duration);
    EXPECT_EQ(state->recognitions, 1);
    a = call("POST", "/api/shazam", {}, {}, QByteArray(" "), "audio/mp4");
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(call("POST", "/api/shazam", {{"x", 1}}, {}, {}, "application/json").status, 415);
}

TEST_F(AccountRoutesTest, ServesTheLibraryAudioAndArtwork)
{
    const CatalogueTrack t = state->catalogue().first();
    Answer audio = call("GET", t.streamURL);
    ASSERT_EQ(audio.status, 200);
    // MP3 at 128 kbit/s: about 16 kB per second of the track's duration.
    EXPECT_NEAR(double(audio.body.size()), 16000.0 * double(t.duration), 16000.0 * 2);

    Answer art = call("GET", t.artworkURL);
    ASSERT_EQ(art.status, 200);
    EXPECT_FALSE(QImage::fromData(art.body, "JPG").isNull());
    EXPECT_EQ(call("GET", "/media/library/unknown.mp3").status, 404);
}
