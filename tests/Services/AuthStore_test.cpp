#include "Services/AuthStore.h"

#include "Services/APIClient.h"
#include "Services/Keychain.h"
#include "support/AccountRoutes.h"
#include "support/AccountState.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

using namespace standin;
using testing_support::runTask;

namespace {

constexpr int kWaitMs = 20'000;

APIClient::Options optionsFor(const QUrl &base)
{
    APIClient::Options o;
    o.baseURL = base;
    o.requestIdleTimeoutMs = 20'000;
    o.totalTimeoutMs = 60'000;
    return o;
}

// The client, with the requests it has sent and not yet heard back from in view.
class ObservedClient : public APIClient
{
public:
    using APIClient::APIClient;
    qsizetype requestsOut() const
    {
        const QList<QNetworkReply *> replies = network().findChildren<QNetworkReply *>(Qt::FindDirectChildrenOnly);
        return std::count_if(replies.begin(), replies.end(), [](const QNetworkReply *r) { return !r->isFinished(); });
    }
};

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

class AuthStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0);
        state = &installAccountRoutes(server);
        state->printCodes = false;
        client = std::make_unique<ObservedClient>(optionsFor(server.baseUrl()));
        keychain = std::make_shared<InMemoryKeychainBackend>();
        demoID = state->userNamed(AccountState::demoUsername)->id;
    }

    std::unique_ptr<AuthStore> makeStore(APIClient *with = nullptr)
    {
        return std::make_unique<AuthStore>(keychain, with ? with : client.get());
    }

    std::unique_ptr<AuthStore> signedInStore()
    {
        auto store = makeStore();
        auto outcome = runTask(store->login(AccountState::demoUsername, AccountState::demoPassword));
        EXPECT_TRUE(outcome.ok());
        EXPECT_TRUE(store->isAuthed());
        EXPECT_EQ(store->playlists().size(), 2);
        return store;
    }

    // Every request the client was asked for since the server had seen `before`: each one either
    // reached the server or is still out, so nothing has to be waited for.
    qsizetype requestsSince(qsizetype before) const { return server.requests().size() - before + client->requestsOut(); }

    std::optional<QString> savedToken() const
    {
        const auto it = keychain->items().constFind(AuthStore::tokenKey);
        if (it == keychain->items().cend())
            return std::nullopt;
        return QString::fromUtf8(*it);
    }

    StandInServer server;
    AccountState *state = nullptr;
    std::unique_ptr<ObservedClient> client;
    std::shared_ptr<InMemoryKeychainBackend> keychain;
    qint64 demoID = 0;
};

Station likedLive()
{
    Station s;
    s.genre = QStringLiteral("pop-live");
    s.title = QStringLiteral("Some Artist - Some Song");
    return s;
}

} // namespace

TEST_F(AuthStoreTest, StartWithoutASavedTokenStaysSignedOut)
{
    auto store = makeStore();
    EXPECT_FALSE(store->token());
    EXPECT_FALSE(store->isAuthed());
    EXPECT_TRUE(runTask(store->restoreSession()).ok());
    EXPECT_TRUE(runTask(store->loadLibrary()).ok());
    EXPECT_FALSE(store->isLoadingLibrary());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(AuthStoreTest, StartWithAValidTokenRestoresTheSessionAndLibrary)
{
    const QString token = state->issueToken(demoID);
    keychain->put(AuthStore::tokenKey, token.toUtf8());

    auto store = makeStore();
    EXPECT_EQ(store->token(), token); // read at once; the user comes later
    EXPECT_FALSE(store->isAuthed());
    ASSERT_TRUE(QTest::qWaitFor([&] { return store->favorites().size() == 2 && !store->isLoadingLibrary(); }, kWaitMs));

    ASSERT_TRUE(store->user());
    EXPECT_EQ(store->user()->username, AccountState::demoUsername);
    EXPECT_TRUE(store->isAuthed());
    EXPECT_EQ(store->playlists().size(), 2);
    EXPECT_EQ(sorted(store->property("favoriteIDs").toStringList()),
              (QStringList{QStringLiteral("lib-baran"), QStringLiteral("lib-paper-planes")}));
    EXPECT_EQ(savedToken(), token);

    QStringList paths;
    for (const RecordedRequest &r : server.requests()) {
        paths << r.path;
        EXPECT_EQ(r.header("Authorization"), "Bearer " + token.toUtf8());
    }
    EXPECT_EQ(paths, (QStringList{"/api/auth/me", "/api/playlists", "/api/favorites"}));

    // What QML reads.
    EXPECT_EQ(store->property("user").toMap().value("username").toString(), AccountState::demoUsername);
    EXPECT_EQ(store->property("playlists").toList().size(), 2);
    EXPECT_TRUE(store->property("isAuthed").toBool());
}

TEST_F(AuthStoreTest, AFailedRestoreForgetsTheToken)
{
    // Rejected by the server.
    keychain->put(AuthStore::tokenKey, "revoked");
    auto store = makeStore();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->token(); }, kWaitMs));
    EXPECT_FALSE(store->user());
    EXPECT_FALSE(savedToken());
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/playlists")), 0);

    // A null reply, and a server nobody listens on: the same.
    server.script("GET", QStringLiteral("/api/auth/me"), Reply::json("null"), 1);
    keychain->put(AuthStore::tokenKey, state->issueToken(demoID).toUtf8());
    store = makeStore();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->token(); }, kWaitMs));
    EXPECT_FALSE(savedToken());

    APIClient unreachable(optionsFor(QUrl(QStringLiteral("http://127.0.0.1:1"))));
    keychain->put(AuthStore::tokenKey, state->issueToken(demoID).toUtf8());
    store = makeStore(&unreachable);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->token(); }, kWaitMs));
    EXPECT_FALSE(store->isAuthed());
    EXPECT_FALSE(savedToken());
}

TEST_F(AuthStoreTest, SignInAndSignUpSaveTheTokenAndLoadTheLibrary)
{
    auto store = makeStore();
    QSignalSpy authed(store.get(), &AuthStore::isAuthedChanged);

    // Refusals reach the caller and change nothing.
    auto refused = runTask(store->login(QStringLiteral("demo"), QStringLiteral("wrong")));
    ASSERT_TRUE(refused.error);
    EXPECT_FALSE(store->token());
    EXPECT_EQ(keychain->writes(), 0);
    // A reply whose token is missing or empty signs nobody in and sends nothing with it.
    struct Tokenless
    {
        const char *kind;
        QString path;
        QByteArray reply;
    };
    const QList<Tokenless> tokenlessReplies = {
        {"sign-in, no token", QStringLiteral("/api/auth/login"), R"({"data":{"user":{"username":"x"}}})"},
        {"sign-in, empty token", QStringLiteral("/api/auth/login"), R"({"data":{"token":"","user":{"username":"x"}}})"},
        {"sign-up, empty token", QStringLiteral("/api/auth/telegram/verify-signup-otp"),
         R"({"data":{"token":"","user":{"username":"x"}}})"},
    };
    for (const Tokenless &c : tokenlessReplies) {
        SCOPED_TRACE(c.kind);
        const qsizetype requestsBefore = server.requests().size();
        server.script("POST", c.path, Reply::json(c.reply), 1);
        const std::exception_ptr tokenless =
            (c.path.endsWith(u"login") ? runTask(store->login("x", "y"))
                                       : runTask(store->completeTelegramSignup("s", "123456")))
                .error;
        ASSERT_TRUE(tokenless) << "a reply without a token must fail";
        try {
            std::rethrow_exception(tokenless);
        } catch (const APIError &e) {
            EXPECT_EQ(e, APIError::decoding());
            EXPECT_EQ(e.errorDescription(), QStringLiteral("خطا در پردازش پاسخ سرور"));
        } catch (...) {
            ADD_FAILURE() << "not an APIError";
        }
        EXPECT_FALSE(store->token());
        EXPECT_FALSE(store->user());
        EXPECT_EQ(keychain->writes(), 0);
        EXPECT_EQ(authed.count(), 0);
        EXPECT_EQ(requestsSince(requestsBefore), 1) << "a request followed the tokenless reply";
    }

    ASSERT_TRUE(runTask(store->login(AccountState::demoUsername, AccountState::demoPassword)).ok());
    EXPECT_TRUE(store->isAuthed());
    EXPECT_EQ(savedToken(), store->token());
    EXPECT_EQ(state->userForToken(*store->token()), demoID);
    EXPECT_EQ(store->playlists().size(), 2);
    EXPECT_EQ(store->favorites().size(), 2);
    EXPECT_GT(authed.count(), 0);

    // A Telegram sign-up replaces the session.
    auto session = runTask(client->initTelegramSignup(QStringLiteral("newbie"), QStringLiteral("secret1"), QString()));
    ASSERT_TRUE(session.ok());
    ASSERT_TRUE(runTask(store->completeTelegramSignup(session.value->sessionID,
                                                      state->codeFor(session.value->sessionID)))
                    .ok());
    EXPECT_EQ(store->user()->username, QStringLiteral("newbie"));
    EXPECT_EQ(savedToken(), store->token());
    EXPECT_TRUE(store->playlists().isEmpty());
    EXPECT_TRUE(store->favorites().isEmpty());

    // A sign-in reply without a user keeps the token but is not signed in.
    server.script("POST", QStringLiteral("/api/auth/login"),
                  Reply::json(QStringLiteral(R"({"data":{"token":"%1"}})").arg(state->issueToken(demoID)).toUtf8()), 1);
    ASSERT_TRUE(runTask(store->login("demo", "x")).ok());
    EXPECT_TRUE(store->token());
    EXPECT_FALSE(store->user());
    EXPECT_FALSE(store->isAuthed());
    EXPECT_EQ(store->playlists().size(), 2);
}

TEST_F(AuthStoreTest, SignOutClearsEverythingWithOrWithoutAToken)
{
    auto store = signedInStore();
    const QString token = *store->token();
    store->logout();
    EXPECT_FALSE(store->token());
    EXPECT_FALSE(store->user());
    EXPECT_TRUE(store->playlists().isEmpty());
    EXPECT_TRUE(store->favorites().isEmpty());
    EXPECT_TRUE(store->favoriteIDs().isEmpty());
    EXPECT_FALSE(store->favoritesStation());
    EXPECT_FALSE(savedToken());
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/api/auth/logout"), kWaitMs));
    const RecordedRequest sent = server.requestsTo(QStringLiteral("/api/auth/logout")).first();
    EXPECT_EQ(sent.header("Authorization"), "Bearer " + token.toUtf8());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !state->userForToken(token) && client->requestsOut() == 0; }, kWaitMs));

    // Without a token nothing is sent, and the keychain item is deleted all the same.
    server.clearRequests();
    const int removals = keychain->removals();
    store->logout();
    EXPECT_EQ(keychain->removals(), removals + 1);
    EXPECT_EQ(requestsSince(0), 0);

    // A failing sign-out request does not matter.
    store = signedInStore();
    server.script("POST", QStringLiteral("/api/auth/logout"), Reply::withStatus(500));
    store->logout();
    EXPECT_FALSE(store->token());
    EXPECT_TRUE(server.waitForRequest(QStringLiteral("/api/auth/logout"), kWaitMs));
}

TEST_F(AuthStoreTest, ToggleFavouriteAnswersFromTheReloadedLibrary)
{
    auto signedOut = makeStore();
    auto outcome = runTask(signedOut->toggleFavorite(likedLive()));
    ASSERT_TRUE(outcome.ok());
    EXPECT_FALSE(*outcome.value);
    EXPECT_TRUE(server.requests().isEmpty());

    auto store = signedInStore();
    outcome = runTask(store->toggleFavorite(likedLive()));
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(*outcome.value, true);
    EXPECT_TRUE(store->favoriteIDs().contains(QStringLiteral("pop-live#Some Song")));
    EXPECT_TRUE(store->isFavorite(QStringLiteral("pop-live#Some Song")));
    const QJsonObject body =
        QJsonDocument::fromJson(server.requestsTo(QStringLiteral("/api/favorites/toggle")).last().body).object();
    EXPECT_EQ(body.value("track_type"), QStringLiteral("live"));
    EXPECT_EQ(body.value("track_id"), QStringLiteral("pop-live#Some Song"));

    outcome = runTask(store->toggleFavorite(likedLive()));
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(*outcome.value, false);
    EXPECT_FALSE(store->favoriteIDs().contains(QStringLiteral("pop-live#Some Song")));

    // A failed request answers none and reloads nothing.
    server.script("POST", QStringLiteral("/api/favorites/toggle"), Reply::withStatus(500), 1);
    const int loads = server.countRequests(QStringLiteral("/api/playlists"));
    outcome = runTask(store->toggleFavorite(likedLive()));
    ASSERT_TRUE(outcome.ok());
    EXPECT_FALSE(*outcome.value);
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/playlists")), loads);
}

TEST_F(AuthStoreTest, LikedTracksStation)
{
    auto store = makeStore();
    EXPECT_FALSE(store->favoritesStation());
    EXPECT_FALSE(store->property("favoritesStation").isValid());

    server.script("POST", QStringLiteral("/api/auth/login"),
                  Reply::json(QStringLiteral(R"({"data":{"token":"%1","user":{"username":"demo","display_name":""}}})")
                                  .arg(state->issueToken(demoID))
                                  .toUtf8()),
                  1);
    server.script("GET", QStringLiteral("/api/favorites"), Reply::json(R"({"data":[
        {"id":3,"track_type":"library","track_id":"t3","title":"Three","duration":30,"stream_url":"/s/3"},
        {"id":1,"title":"No id"},
        {"id":2,"track_id":"t2","artist":"Two","artwork_url":"/a/2.jpg"}]})"), 1);
    ASSERT_TRUE(runTask(store->login("demo", "x")).ok());

    EXPECT_EQ(store->favorites().size(), 3);
    EXPECT_EQ(store->favoriteIDs(), (QSet<QString>{QStringLiteral("t3"), QStringLiteral("t2")}));
    const std::optional<Station> liked = store->favoritesStation();
    ASSERT_TRUE(liked);
    EXPECT_EQ(liked->genre, QStringLiteral("custom-favorites"));
    EXPECT_EQ(liked->title, QStringLiteral("آهنگهای پسندیده"));
    EXPECT_EQ(liked->serverName, QStringLiteral("آهنگهای پسندیده"));
    EXPECT_EQ(liked->artist, QString()); // an empty display name, not the user name
    EXPECT_EQ(liked->source, QStringLiteral("custom"));
    EXPECT_EQ(liked->category, QStringLiteral("playlists"));
    EXPECT_FALSE(liked->streamURL);
    EXPECT_FALSE(liked->artworkURL);
    EXPECT_FALSE(liked->displayGenre);
    EXPECT_FALSE(liked->elapsedSeconds);
    EXPECT_EQ(liked->trackIndex, 0);
    EXPECT_EQ(liked->trackCount, 3);
    ASSERT_EQ(liked->tracks->size(), 3);
    const PlaylistTrack &first = liked->tracks->at(0);
    EXPECT_EQ(first.id, 3);
    EXPECT_EQ(first.trackType, QStringLiteral("library"));
    EXPECT_EQ(first.trackID, QStringLiteral("t3"));
    EXPECT_EQ(first.duration, 30);
    EXPECT_EQ(first.streamURL, QStringLiteral("/s/3"));
    EXPECT_EQ(liked->tracks->at(1).title, QStringLiteral("No id"));
    EXPECT_FALSE(liked->tracks->at(1).trackID);
    EXPECT_EQ(liked->tracks->at(2).artworkURL, QStringLiteral("/a/2.jpg"));
    EXPECT_EQ(store->property("favoritesStation").value<Station>().genre, QStringLiteral("custom-favorites"));

    // Without a display name the user name stands in.
    server.script("GET", QStringLiteral("/api/auth/me"), Reply::json(R"({"data":{"user":{"username":"demo"}}})"), 1);
    keychain->put(AuthStore::tokenKey, state->issueToken(demoID).toUtf8());
    auto restored = makeStore();
    ASSERT_TRUE(QTest::qWaitFor([&] { return restored->favoritesStation().has_value(); }, kWaitMs));
    EXPECT_EQ(restored->favoritesStation()->artist, QStringLiteral("demo"));
}

TEST_F(AuthStoreTest, ALibraryLoadFailureKeepsThePreviousListsOrSaysWhyThereAreNone)
{
    const QString playlists = QStringLiteral("/api/playlists");
    const QString favorites = QStringLiteral("/api/favorites");
    // More than the 4 MiB a JSON reply may hold.
    const Reply overCap = Reply::json(QByteArray(APIClient::maxBodyBytes(APIClient::BodyKind::Json) + 1024, ' '));
    const struct {
        const char *name;
        bool earlierLists; // a load succeeded before in this session
        QString failingPath;
        Reply reply;
        qsizetype playlistsAfter;
        QString error;
    } rows[] = {
        {"liked tracks fail after a load", true, favorites, Reply::withStatus(500), 2, {}},
        {"playlists fail after a load", true, playlists, Reply::withStatus(500), 2, {}},
        {"playlists over the cap on the first load", false, playlists, overCap, 0, APIClient::bodyTooLargeText()},
        {"playlists refused on the first load", false, playlists, Reply::withStatus(503), 0, QStringLiteral("خطای سرور (503)")},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<AuthStore> store;
        if (row.earlierLists) {
            store = signedInStore();
            server.script("GET", row.failingPath, row.reply, 1);
            QSignalSpy loading(store.get(), &AuthStore::isLoadingLibraryChanged);
            ASSERT_TRUE(runTask(store->loadLibrary()).ok());
            EXPECT_EQ(loading.count(), 2); // on, then off
        } else {
            server.script("GET", row.failingPath, row.reply, 1);
            store = makeStore();
            ASSERT_TRUE(runTask(store->login(AccountState::demoUsername, AccountState::demoPassword)).ok());
        }
        EXPECT_FALSE(store->isLoadingLibrary());
        EXPECT_EQ(store->playlists().size(), row.playlistsAfter);
        EXPECT_EQ(store->libraryError(), row.error);
        // The liked tracks are asked for and shown whatever the playlists' answer.
        EXPECT_EQ(store->favorites().size(), 2);
        if (row.error.isEmpty()) {
            store->logout(); // the next store starts without a saved session
            continue;
        }
        // Another try that succeeds shows the lists and no error.
        ASSERT_TRUE(runTask(store->loadLibrary()).ok());
        EXPECT_EQ(store->playlists().size(), 2);
        EXPECT_TRUE(store->libraryError().isEmpty());
        // Signing out forgets the error with the lists.
        server.script("GET", playlists, Reply::withStatus(500), 1);
        store->logout();
        ASSERT_TRUE(runTask(store->login(AccountState::demoUsername, AccountState::demoPassword)).ok());
        EXPECT_EQ(store->libraryError(), QStringLiteral("خطای سرور (500)"));
        store->logout();
        EXPECT_TRUE(store->libraryError().isEmpty());
    }
}

TEST_F(AuthStoreTest, ALibraryReplyForAnEndedSessionIsDropped)
{
    const QByteArray oldPlaylists = R"({"data":{"playlists":[{"id":900,"title":"Old user's list"}]}})";
    const QByteArray oldFavorites = R"({"data":[{"id":901,"track_id":"old-like"}]})";

    // Signed out while the load was out.
    auto store = signedInStore();
    Reply held = Reply::json(oldPlaylists);
    held.heldBy = std::make_shared<ReplyHold>();
    server.script("GET", QStringLiteral("/api/playlists"), held, 1);
    server.script("GET", QStringLiteral("/api/favorites"), Reply::json(oldFavorites), 1);
    auto load = store->loadLibrary();
    ASSERT_TRUE(store->isLoadingLibrary());
    store->logout();
    held.heldBy->release();
    QCoro::waitFor(load);
    EXPECT_FALSE(store->isLoadingLibrary());
    EXPECT_TRUE(store->playlists().isEmpty());
    EXPECT_TRUE(store->favoriteIDs().isEmpty());

    // Another user signed in meanwhile: their own library shows up, never the old one.
    store = signedInStore();
    const qint64 other = state->addUser(QStringLiteral("other"), QStringLiteral("pass1234"));
    state->addPlaylist(other, QStringLiteral("Other's list"));
    held.heldBy = std::make_shared<ReplyHold>();
    server.script("GET", QStringLiteral("/api/playlists"), held, 1);
    server.script("GET", QStringLiteral("/api/favorites"), Reply::json(oldFavorites), 1);
    auto staleLoad = store->loadLibrary();
    store->logout();
    ASSERT_TRUE(runTask(store->login(QStringLiteral("other"), QStringLiteral("pass1234"))).ok());
    ASSERT_TRUE(store->isLoadingLibrary());
    held.heldBy->release();
    QCoro::waitFor(staleLoad);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isLoadingLibrary(); }, kWaitMs));
    ASSERT_EQ(store->playlists().size(), 1);
    EXPECT_EQ(store->playlists().first().title, QStringLiteral("Other's list"));
    EXPECT_FALSE(store->favoriteIDs().contains(QStringLiteral("old-like")));
    EXPECT_EQ(store->user()->username, QStringLiteral("other"));
}

// An edit asks for a reload while an older load is out: that older answer must not be the last
// one published. However many ask meanwhile, one load follows.
TEST_F(AuthStoreTest, AReloadAskedDuringALoadRunsOnceMoreAfterIt)
{
    auto store = signedInStore();
    const QString playlists = QStringLiteral("/api/playlists");
    for (const int asked : {0, 1, 3}) {
        SCOPED_TRACE(asked);
        Reply stale = Reply::json(R"({"data":{"playlists":[{"id":900,"title":"Deleted meanwhile"}]}})");
        stale.delayMs = 300;
        server.script("GET", playlists, stale, 1);
        const int before = server.countRequests(playlists);
        auto load = store->loadLibrary();
        ASSERT_TRUE(store->isLoadingLibrary());
        for (int i = 0; i < asked; ++i)
            EXPECT_TRUE(runTask(store->loadLibrary()).ok()); // returns at once
        QCoro::waitFor(load);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isLoadingLibrary(); }, kWaitMs));
        EXPECT_EQ(server.countRequests(playlists) - before, asked ? 2 : 1);
        ASSERT_FALSE(store->playlists().isEmpty());
        EXPECT_EQ(store->playlists().first().id == 900, asked == 0);
    }
}

TEST_F(AuthStoreTest, ARestoreThatAnswersAfterAnotherSignInLeavesThatSessionAlone)
{
    Reply held = Reply::withStatus(401);
    held.heldBy = std::make_shared<ReplyHold>();
    server.script("GET", QStringLiteral("/api/auth/me"), held, 1);
    keychain->put(AuthStore::tokenKey, "old-token");
    auto store = makeStore();
    ASSERT_TRUE(runTask(store->login(AccountState::demoUsername, AccountState::demoPassword)).ok());
    const std::optional<QString> fresh = store->token();
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/api/auth/me"), kWaitMs));
    ASSERT_TRUE(store->isRestoring());
    held.heldBy->release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store->isRestoring(); }, kWaitMs));
    EXPECT_EQ(store->token(), fresh);
    EXPECT_TRUE(store->isAuthed());
    EXPECT_EQ(savedToken(), fresh);
}
