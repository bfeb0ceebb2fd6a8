#include "Models/APIModels.h"
#include "Models/UrlEncoding.h"
#include "Services/APIClient.h"
#include "support/AccountRoutes.h"
#include "support/AccountState.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"

#include <gtest/gtest.h>

using namespace standin;
using testing_support::runTask;

// The account records and the stand-in's account routes through the real client frame: the
// requests the operations will send decode into the records, and refusals map to the errors the
// screens show.

namespace {

class AccountClient : public APIClient
{
public:
    using APIClient::APIClient;
    using APIClient::del;
    using APIClient::get;
    using APIClient::post;
    using APIClient::put;
    using APIClient::Query;
};

class AccountRecordsOverClient : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0);
        state = &installAccountRoutes(server);
        state->printCodes = false;
        APIClient::Options options;
        options.baseURL = server.baseUrl();
        options.requestIdleTimeoutMs = 20'000;
        options.totalTimeoutMs = 60'000;
        client = std::make_unique<AccountClient>(options);
    }

    StandInServer server;
    AccountState *state = nullptr;
    std::unique_ptr<AccountClient> client;
};

} // namespace

TEST_F(AccountRecordsOverClient, SignUpSignInAndLibrary)
{
    auto started = runTask(client->post<SessionInfoEnvelope>(
        "api/auth/telegram/init-signup", {{"username", "reza"}, {"password", "abcd"}, {"display_name", ""}}));
    ASSERT_TRUE(started.ok());
    const std::optional<AuthSessionInfo> session = started.value->resolved();
    ASSERT_TRUE(session);

    auto confirmed = runTask(client->post<AuthEnvelope>(
        "api/auth/telegram/verify-signup-otp",
        {{"session_id", session->sessionID}, {"otp_code", state->codeFor(session->sessionID)}}));
    ASSERT_TRUE(confirmed.ok());
    const QString token = *confirmed.value->data->token;

    auto me = runTask(client->get<AuthEnvelope>("api/auth/me", {}, token));
    ASSERT_TRUE(me.ok());
    EXPECT_EQ(me.value->data->user->username, "reza");

    auto created = runTask(client->post<PlaylistCreateEnvelope>("api/playlists", {{"title", "Mix"}, {"description", ""}}, token));
    ASSERT_TRUE(created.ok());
    const qint64 id = created.value->data->id;
    const QString playlistPath = "api/playlists/" + url::pathSegment(QString::number(id));

    const QJsonObject track{{"track_type", "radio"}, {"track_id", "rock/1#2"}, {"title", "T"}, {"artist", "A"},
                            {"stream_url", ""}, {"artwork_url", ""}, {"duration", 0}};
    ASSERT_TRUE(runTask(client->post<SimpleMessage>(playlistPath + "/tracks", track, token)).ok());

    // A second add of the same track is refused with the server's own text.
    auto again = runTask(client->post<SimpleMessage>(playlistPath + "/tracks", track, token));
    const std::optional<ServerError> refused = again.errorAs<ServerError>();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->code(), 409);
    EXPECT_EQ(refused->errorDescription(), QStringLiteral("این آهنگ از قبل در پلیلیست هست"));

    auto detail = runTask(client->get<PlaylistEnvelope>(playlistPath, {}, token));
    ASSERT_TRUE(detail.ok());
    ASSERT_EQ(detail.value->data->tracks->size(), 1);
    EXPECT_EQ(detail.value->data->tracks->first().trackID, "rock/1#2");

    ASSERT_TRUE(runTask(client->put<SimpleMessage>(playlistPath + "/tracks/" + url::pathSegment("rock/1#2"),
                                                   {{"title", "T2"}, {"artist", "A"}}, token))
                    .ok());
    EXPECT_EQ(state->playlist(id)->tracks.first().title, "T2");
    ASSERT_TRUE(runTask(client->del<SimpleMessage>(playlistPath + "/tracks/" + url::pathSegment("rock/1#2"), token)).ok());
    EXPECT_TRUE(state->playlist(id)->tracks.isEmpty());

    auto toggled = runTask(client->post<ToggleResult>("api/favorites/toggle", track, token));
    ASSERT_TRUE(toggled.ok());
    EXPECT_EQ(toggled.value->data->favorited, true);
    auto playlists = runTask(client->get<PlaylistsEnvelope>("api/playlists", {}, token));
    auto favorites = runTask(client->get<FavoritesEnvelope>("api/favorites", {}, token));
    ASSERT_TRUE(playlists.ok() && favorites.ok());
    EXPECT_EQ(playlists.value->data->playlists->size(), 1);
    EXPECT_EQ(favorites.value->data->first().trackID, "rock/1#2");

    ASSERT_TRUE(runTask(client->post<SimpleMessage>("api/auth/logout", {}, token)).ok());
    auto after = runTask(client->get<AuthEnvelope>("api/auth/me", {}, token));
    EXPECT_EQ(after.errorAs<APIError>(), APIError::http(401));
}

TEST_F(AccountRecordsOverClient, QueriesAndRefusals)
{
    const AccountClient::Query lyricsQuery{{"genre", "pop"}, {"title", "Night Drive"}, {"artist", "Aria Sky"}, {"duration", ""}};
    auto lyrics = runTask(client->get<LyricsEnvelope>("api/lyrics", lyricsQuery));
    ASSERT_TRUE(lyrics.ok());
    EXPECT_EQ(lyrics.value->data->found, true);
    EXPECT_TRUE(lyrics.value->data->elapsedSeconds);

    auto search = runTask(client->get<StationsResponse>("api/soundcloud/search", {{"q", "Aria"}}));
    ASSERT_TRUE(search.ok());
    ASSERT_EQ(search.value->data->size(), 2);
    const Station &first = search.value->data->first();
    ASSERT_TRUE(first.currentTrack());
    EXPECT_EQ(first.currentTrack()->duration, 72); // sent as a string, read leniently

    auto entity = runTask(client->get<EntityEnvelope>("api/spotify/resolve", {{"url", "https://open.spotify.com/album/x1"}}));
    ASSERT_TRUE(entity.ok());
    EXPECT_EQ(entity.value->data->type, "album");
    auto badLink = runTask(client->get<EntityEnvelope>("api/spotify/resolve", {{"url", "nope"}}));
    EXPECT_EQ(badLink.errorAs<APIError>(), APIError::http(422));

    auto wrongLogin = runTask(client->post<AuthEnvelope>("api/auth/login", {{"username", "demo"}, {"password", "x"}}));
    ASSERT_TRUE(wrongLogin.errorAs<ServerError>());
    EXPECT_EQ(wrongLogin.errorAs<ServerError>()->errorDescription(), QStringLiteral("نام کاربری یا رمز عبور اشتباه است"));
    EXPECT_EQ(wrongLogin.errorAs<ServerError>()->code(), 401);

    auto link = runTask(client->post<TelegramTokenEnvelope>(
        "api/telegram/download-token", {{"track_type", "radio"}, {"track_id", "pop-live"}, {"title", "Song"},
                                        {"artist", "Artist"}, {"stream_url", "/stream/pop-live"},
                                        {"artwork_url", "/artwork/pop-live.jpg"}, {"seconds", 180}}));
    ASSERT_TRUE(link.ok());
    EXPECT_TRUE(link.value->data->botURL->startsWith("https://t.me/MelodriftBot?start=dl_"));
}
