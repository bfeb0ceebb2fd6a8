#include "OfflineTestSupport.h"
#include "Services/APIClient.h"
#include "Services/ArtworkFile.h"
#include "Services/AuthStore.h"
#include "Services/Keychain.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayerServices.h"
#include "Views/ArtworkPicture.h"
#include "support/AccountRoutes.h"
#include "support/AccountState.h"
#include "support/HostileRoutes.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"

#include <QCoroSignal>
#include <QBuffer>
#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

// The client against a backend that misbehaves: redirects elsewhere, endless bodies, device
// files, dotted path values; and the keychain when it takes its time.

using namespace standin;
using testing_support::runTask;

namespace {

APIClient::Options optionsFor(const QUrl &base)
{
    APIClient::Options o;
    o.baseURL = base;
    return o;
}

// A time limit no run reaches: where a reply is to end at its size cap, no time limit may end it
// first on a machine too busy to give the network thread its turn.
constexpr int Untimed = 24 * 60 * 60 * 1000;

APIClient::Options untimedOptionsFor(const QUrl &base)
{
    APIClient::Options o = optionsFor(base);
    o.catalogueIdleTimeoutMs = o.requestIdleTimeoutMs = o.recognitionIdleTimeoutMs = o.totalTimeoutMs = Untimed;
    return o;
}

class HostileServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(backend.listen(), 0);
        ASSERT_NE(elsewhere.listen(), 0);
        installHostileRoutes(backend);
        installAudioRoutes(backend);
        // Made once, here, so that no request's deadline runs while the server draws it.
        giantJpeg();
        client = std::make_unique<APIClient>(optionsFor(backend.baseUrl()));
    }

    static Reply redirect(int code, const QUrl &to)
    {
        Reply reply = Reply::text("moved\n", code);
        reply.headers.append({"Location", to.toEncoded()});
        return reply;
    }

    StandInServer backend;
    StandInServer elsewhere;
    std::unique_ptr<APIClient> client;
};

struct RedirectCase {
    const char *method;
    const char *path;
    std::function<QCoro::Task<void>(APIClient &)> call;
    QByteArray reply; // what the moved resource answers
};

QCoro::Task<void> callLoadLibrary(APIClient &c) { co_await c.loadLibrary(QStringLiteral("secret-token")); }
QCoro::Task<void> callLogin(APIClient &c) { co_await c.login(QStringLiteral("u"), QStringLiteral("secret-password")); }
QCoro::Task<void> callRename(APIClient &c) { co_await c.updatePlaylist(5, "t", "d", QStringLiteral("secret-token")); }
QCoro::Task<void> callRemove(APIClient &c) { co_await c.deletePlaylist(5, QStringLiteral("secret-token")); }

} // namespace

// Same scheme, host and port: followed, token and body included; a write only by 307 or 308,
// which keep its method and body (Qt would turn a 301, 302 or 303 into a GET whose answer then
// counted as the write's). Anywhere else, or a write's 301/302/303: not followed, mapped as the
// redirect's status, and the moved resource never hears of the request.
TEST_F(HostileServerTest, RedirectsAreFollowedOnlyWithinTheOriginAndWritesKeepTheirMethod)
{
    const RedirectCase calls[] = {
        {"GET", "/api/playlists", callLoadLibrary, "{}"},
        {"POST", "/api/auth/login", callLogin, R"({"data":{"token":"t"}})"},
        {"PUT", "/api/playlists/5", callRename, "{}"},
        {"DELETE", "/api/playlists/5", callRemove, "{}"},
    };
    backend.script("GET", "/api/favorites", Reply::json("{}"));
    for (const RedirectCase &c : calls) {
        const bool isWrite = QByteArray(c.method) != "GET";
        for (const int code : {301, 302, 303, 307, 308}) {
            for (const bool sameOrigin : {true, false}) {
                SCOPED_TRACE(std::string(c.method) + ' ' + c.path + ' ' + std::to_string(code)
                             + (sameOrigin ? " same origin" : " elsewhere"));
                backend.clearRequests();
                elsewhere.clearRequests();
                const QString moved = QStringLiteral("/moved") + QString::fromLatin1(c.path);
                const QUrl target = (sameOrigin ? backend.baseUrl() : elsewhere.baseUrl()).resolved(QUrl(moved));
                backend.script(c.method, QString::fromLatin1(c.path), redirect(code, target), 1);
                // Whatever method arrives at the new address would succeed.
                for (const char *method : {"GET", "POST", "PUT", "DELETE"}) {
                    backend.script(method, moved, Reply::json(c.reply), 1);
                    elsewhere.script(method, moved, Reply::json(c.reply), 1);
                }

                const auto outcome = runTask(c.call(*client));
                const bool followed = sameOrigin && (!isWrite || code == 307 || code == 308);
                if (followed) {
                    EXPECT_TRUE(outcome.ok());
                    const auto requests = backend.requestsTo(moved);
                    ASSERT_EQ(requests.size(), 1);
                    EXPECT_EQ(requests.first().method, QByteArray(c.method));
                    if (QByteArray(c.path) != "/api/auth/login") {
                        EXPECT_EQ(requests.first().header("Authorization"), "Bearer secret-token");
                    } else {
                        EXPECT_TRUE(requests.first().body.contains("secret-password"));
                    }
                } else {
                    const auto error = outcome.errorAs<APIError>();
                    ASSERT_TRUE(error.has_value());
                    EXPECT_EQ(*error, APIError::http(code));
                    EXPECT_EQ(error->errorDescription(), QStringLiteral("خطای سرور (%1)").arg(code));
                    EXPECT_TRUE(backend.requestsTo(moved).isEmpty());
                    EXPECT_TRUE(elsewhere.requests().isEmpty());
                }
                for (const char *method : {"GET", "POST", "PUT", "DELETE"}) {
                    backend.unscript(method, moved);
                    elsewhere.unscript(method, moved);
                }
            }
        }
    }
    // The same server under another name is another origin too.
    QUrl renamed = backend.baseUrl();
    renamed.setHost(QStringLiteral("localhost"));
    backend.script("POST", "/api/auth/login", redirect(307, renamed.resolved(QUrl("/moved/login"))), 1);
    EXPECT_EQ(runTask(callLogin(*client)).errorAs<APIError>(), APIError::http(307));
    EXPECT_EQ(backend.countRequests("/moved/login"), 0);
}

// "." and ".." from the server never become relative steps: deleting track ".." of playlist 2
// must not address the playlist itself. Such a request is refused before anything is sent.
TEST_F(HostileServerTest, DottedPathValuesNeverClimbThePath)
{
    const struct {
        QString id;
        QByteArray rawPath; // empty: refused
    } cases[] = {
        {QStringLiteral("."), {}},
        {QStringLiteral(".."), {}},
        {QStringLiteral("..."), "/api/playlists/2/tracks/..."},
        {QStringLiteral("a..b"), "/api/playlists/2/tracks/a..b"},
        {QStringLiteral("../1"), "/api/playlists/2/tracks/..%2F1"},
        {QStringLiteral("%2E%2E"), "/api/playlists/2/tracks/%252E%252E"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id.toStdString());
        backend.clearRequests();
        const auto outcome = runTask(client->deletePlaylistTrack(2, c.id, QStringLiteral("t")));
        if (c.rawPath.isEmpty()) {
            EXPECT_EQ(outcome.errorAs<APIError>(), APIError::badURL());
            EXPECT_TRUE(backend.requests().isEmpty());
        } else {
            ASSERT_EQ(backend.requests().size(), 1);
            EXPECT_EQ(backend.requests().first().rawPath, c.rawPath);
        }
    }
}

// Endless bodies and bodies announced too large fail like a broken transfer, at the cap of their
// kind, instead of filling memory.
TEST_F(HostileServerTest, EveryReplyKindStopsAtItsCap)
{
    const QString tooLarge = APIClient::bodyTooLargeText();
    for (const char *base : {"/hostile/endless/", "/hostile/huge/"}) {
        SCOPED_TRACE(base);
        APIClient hostile(untimedOptionsFor(backend.baseUrl().resolved(QUrl(QString::fromLatin1(base)))));
        const auto catalogue = runTask(hostile.fetchStations());
        ASSERT_TRUE(catalogue.errorAs<TransportError>().has_value());
        EXPECT_EQ(catalogue.errorAs<TransportError>()->errorDescription(), tooLarge);
        const auto search = runTask(hostile.soundcloudSearch(QStringLiteral("x")));
        ASSERT_TRUE(search.errorAs<TransportError>().has_value());
        EXPECT_EQ(search.errorAs<TransportError>()->errorDescription(), tooLarge);
        const auto recognition = runTask(hostile.recognize(QByteArray("recording")));
        ASSERT_TRUE(recognition.errorAs<TransportError>().has_value());
        EXPECT_EQ(recognition.errorAs<TransportError>()->errorDescription(), tooLarge);
    }
    EXPECT_LT(APIClient::maxBodyBytes(APIClient::BodyKind::Json), APIClient::maxBodyBytes(APIClient::BodyKind::Catalogue));
}

// The player's artwork: endless bodies stop at the cap; "file:" addresses are read only for
// regular files inside the offline folder; huge pictures are decoded at the size shown.
TEST_F(HostileServerTest, PlayerArtworkIsBoundedAndReadOnlyFromTheOfflineFolder)
{
    QTemporaryDir offline;
    QTemporaryDir outside;
    const QByteArray jpeg = artworkJpeg(QStringLiteral("cover"));
    ASSERT_TRUE(offline_test::writeFile(QDir(offline.path()).filePath("A.art"), jpeg));
    ASSERT_TRUE(offline_test::writeFile(QDir(outside.path()).filePath("B.art"), jpeg));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), QDir(offline.path()).filePath("zero.art")));
    APIStationSource source(client.get(), offline.path());
    source.setFetchTimes(Untimed, Untimed);

    const struct {
        QUrl url;
        bool readable;
    } cases[] = {
        {QUrl::fromLocalFile(QDir(offline.path()).filePath("A.art")), true},
        {QUrl::fromLocalFile(QDir(outside.path()).filePath("B.art")), false},
        {QUrl::fromLocalFile(QDir(offline.path()).filePath("../" + QFileInfo(outside.path()).fileName() + "/B.art")), false},
        {QUrl::fromLocalFile(QDir(offline.path()).filePath("zero.art")), false},
        {QUrl(QStringLiteral("file:///dev/zero")), false},
        {QUrl::fromLocalFile(offline.path()), false},
        {backend.baseUrl().resolved(QUrl("/hostile/endless/cover.jpg")), false},
        {backend.baseUrl().resolved(QUrl("/hostile/giant.jpg")), true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url.toString().toStdString());
        const auto bytes = runTask(source.download(c.url));
        EXPECT_EQ(bytes.ok(), c.readable);
        if (bytes.ok()) {
            EXPECT_LE(bytes.value->size(), artwork::MaxBytes);
        }
    }

    const auto giantBytes = runTask(source.download(backend.baseUrl().resolved(QUrl("/hostile/giant.jpg"))));
    ASSERT_TRUE(giantBytes.ok());
    const QImage giant = artwork::decodeScaled(*giantBytes.value, 512);
    EXPECT_EQ(giant.size(), QSize(512, 512));
    EXPECT_EQ(artwork::decodeScaled(jpeg, 512).size(), QSize(300, 300)); // smaller ones keep their size
    EXPECT_TRUE(artwork::decodeScaled("no picture", 512).isNull());
}

// Replies under every byte cap whose work would still be unbounded: a lyrics line of 1.9 million
// letters, a 20 KB GIF of 5000 x 5000, pictures sent a byte a second. Each is cut or ends in its
// bounded failure while the rest goes on.
TEST_F(HostileServerTest, RepliesUnderTheCapsStillCostOnlyBoundedWork)
{
    QTemporaryDir folder;
    const auto at = [this](const char *path) { return backend.baseUrl().resolved(QUrl(QString::fromLatin1(path))); };
    const struct {
        const char *name;
        std::function<void()> check;
    } cases[] = {
        {"a lyrics line of 1.9 M letters is cut",
         [&] {
             APIClient hostile(optionsFor(at("/hostile/long-lyrics/")));
             const auto reply = runTask(hostile.lyrics("g", "t", "a", 60.0));
             ASSERT_TRUE(reply.ok());
             const QList<LyricsLine> lines = reply.value->data->lines.value_or(QList<LyricsLine>());
             ASSERT_EQ(lines.size(), 2);
             EXPECT_EQ(lines[0].text->size(), LyricsLine::MaxTextLength + 1);
             EXPECT_TRUE(lines[0].text->endsWith(QChar(0x2026)));
             EXPECT_EQ(lines[1].text, QStringLiteral("short"));
         }},
        {"a 5000 x 5000 GIF gives the placeholder, a giant JPEG still decodes small",
         [&] {
             APIStationSource source(client.get(), folder.path());
             const auto gif = runTask(source.download(at("/hostile/giant-cover.gif")));
             ASSERT_TRUE(gif.ok());
             EXPECT_LT(gif.value->size(), 32 * 1024);
             QByteArray bytes = *gif.value;
             QBuffer buffer(&bytes);
             QImageReader header(&buffer);
             EXPECT_EQ(header.format(), "gif");
             EXPECT_EQ(header.size(), QSize(5000, 5000));
             EXPECT_FALSE(artwork::isDecodablePicture(*gif.value));
             EXPECT_TRUE(artwork::decodeScaled(*gif.value, 512).isNull());
             const auto jpeg = runTask(source.download(at("/hostile/giant.jpg")));
             ASSERT_TRUE(jpeg.ok());
             EXPECT_TRUE(artwork::isDecodablePicture(*jpeg.value));

             ArtworkCache cache;
             QSignalSpy finished(&cache, &ArtworkCache::finished);
             cache.request(at("/hostile/giant-grid.gif"), 192);
             ASSERT_TRUE(finished.wait(20000));
             EXPECT_EQ(finished.first().value(1).toBool(), false);
         }},
        {"a trickling picture fails at its deadline while the others load",
         [&] {
             ArtworkCache cache;
             cache.setFetchTimes(200, 5000);
             QStringList order;
             QObject::connect(&cache, &ArtworkCache::finished, &cache, [&](const QUrl &url, bool ok) {
                 order.append(url.path().section(u'/', 1, 1) + (ok ? "+" : "-"));
             });
             // More trickling pictures than Qt opens connections to one host.
             for (int i = 0; i < 8; ++i)
                 cache.request(at("/hostile/trickle/cover.bmp").resolved(QUrl(QStringLiteral("?n=%1").arg(i))));
             backend.script("GET", "/fine/cover.jpg", Reply::text(artworkJpeg(QStringLiteral("fine")), 200, "image/jpeg"));
             for (int i = 0; i < 3; ++i)
                 cache.request(at("/fine/cover.jpg").resolved(QUrl(QStringLiteral("?n=%1").arg(i))));
             ASSERT_TRUE(offline_test::waitUntil([&] { return order.size() == 11; }, 30000)) << order.join(' ').toStdString();
             EXPECT_EQ(order.mid(0, 3), QStringList(3, QStringLiteral("fine+")));
             EXPECT_EQ(order.mid(3), QStringList(8, QStringLiteral("hostile-")));
         }},
        {"a download's trickling artwork is left out at its own deadline",
         [&] {
             OfflineStore store(folder.path(), client.get());
             OfflineDownload::Limits limits;
             limits.artworkTimeoutMs = 1500;
             store.setDownloadLimits(limits);
             PlaylistTrack t;
             t.trackType = QStringLiteral("music");
             t.trackID = QStringLiteral("trickle");
             t.streamURL = QStringLiteral("/audio/trickle.mp3");
             t.artworkURL = QStringLiteral("/hostile/trickle/download.bmp");
             store.download(t);
             ASSERT_TRUE(offline_test::waitUntil([&] { return store.isDownloaded(t); }, 20000));
             EXPECT_FALSE(store.entries().first().artworkFileName.has_value());
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        c.check();
    }
}

// Downloads stop cleanly past the size limit or when the disk would be nearly full, and leave
// nothing behind.
TEST_F(HostileServerTest, DownloadsStopAtTheSizeLimitAndBeforeTheDiskFills)
{
    QTemporaryDir folder;
    OfflineStore store(folder.path(), client.get());
    const QString downloads = store.downloadsFolder();
    const auto attempt = [&](const QString &stream) {
        PlaylistTrack t;
        t.trackType = QStringLiteral("music");
        t.trackID = stream;
        t.streamURL = stream;
        store.download(t);
        return offline_test::waitUntil([&] { return store.activeProgress().isEmpty(); });
    };
    ASSERT_TRUE(attempt(QStringLiteral("/hostile/huge/t.mp3")));
    EXPECT_EQ(store.lastError(), OfflineStore::downloadErrorPrefix() + OfflineDownload::tooLargeText());
    EXPECT_TRUE(offline_test::filesIn(downloads).isEmpty());

    OfflineDownload::Limits limits;
    limits.minFreeDiskBytes = std::numeric_limits<qint64>::max() / 2;
    store.setDownloadLimits(limits);
    ASSERT_TRUE(attempt(QStringLiteral("/audio/a1.mp3")));
    EXPECT_EQ(store.lastError(), OfflineStore::downloadErrorPrefix() + OfflineDownload::diskFullText());
    EXPECT_TRUE(offline_test::filesIn(downloads).isEmpty());
    EXPECT_TRUE(store.entries().isEmpty());
}

// A key made from server text with a lone UTF-16 surrogate reads back from the index as the
// same key, so the download is still found after a restart.
TEST_F(HostileServerTest, OfflineKeysSurviveTheIndexByteForByte)
{
    QTemporaryDir folder;
    PlaylistTrack t;
    t.trackType = QStringLiteral("music");
    t.trackID = QString(QChar(0xD83C)) + QStringLiteral("-lone-") + QChar(0xDC00) + QStringLiteral("-") + QChar(0xD83C) + QChar(0xDFB5);
    t.streamURL = QStringLiteral("/audio/surrogate.mp3");
    {
        OfflineStore store(folder.path(), client.get());
        store.download(t);
        ASSERT_TRUE(offline_test::waitUntil([&] { return store.isDownloaded(t); }));
        store.waitForIndexWrites();
    }
    OfflineStore restarted(folder.path(), client.get());
    ASSERT_TRUE(restarted.isDownloaded(t));
    EXPECT_EQ(restarted.entries().size(), 1);
    EXPECT_EQ(restarted.entries().first().key, offlineKey(t));
    EXPECT_TRUE(offlineKey(t).endsWith(QString(QChar(0xD83C)) + QChar(0xDFB5))); // a whole pair stays
}

// ------------------------------------------------------------------ a keychain that takes its time

namespace {

// Holds every read until the test lets it answer, as a keyring waiting to be unlocked does.
class SlowKeychainBackend final : public QObject, public KeychainBackend
{
    Q_OBJECT
public:
    QCoro::Task<std::optional<QByteArray>> read(QString key) override
    {
        ++reads;
        co_await qCoro(this, &SlowKeychainBackend::unlocked);
        co_return co_await memory.read(std::move(key));
    }
    QCoro::Task<void> write(QString key, QByteArray value) override { co_await memory.write(std::move(key), std::move(value)); }
    QCoro::Task<void> remove(QString key) override { co_await memory.remove(std::move(key)); }

    InMemoryKeychainBackend memory;
    int reads = 0;

signals:
    void unlocked();
};

} // namespace

TEST(SlowKeychain, StartUpWaitsForTheKeychainBeforeCallingTheListenerSignedOut)
{
    StandInServer server;
    ASSERT_NE(server.listen(), 0);
    AccountState &state = installAccountRoutes(server);
    state.printCodes = false;
    APIClient client(optionsFor(server.baseUrl()));
    const qint64 demo = state.userNamed(AccountState::demoUsername)->id;

    const struct {
        bool signOutMeanwhile;
    } cases[] = {{false}, {true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.signOutMeanwhile ? "signed out while waiting" : "waiting");
        server.clearRequests();
        auto keychain = std::make_shared<SlowKeychainBackend>();
        keychain->memory.put(AuthStore::tokenKey, state.issueToken(demo).toUtf8());
        AuthStore store(keychain, &client);
        QCoreApplication::processEvents();
        EXPECT_EQ(keychain->reads, 1);
        EXPECT_TRUE(store.isRestoring());
        EXPECT_FALSE(store.token());
        EXPECT_EQ(server.countRequests("/api/auth/me"), 0);
        EXPECT_TRUE(keychain->memory.items().contains(AuthStore::tokenKey)); // nothing given up

        if (c.signOutMeanwhile)
            store.logout();
        emit keychain->unlocked();
        ASSERT_TRUE(offline_test::waitUntil([&] { return !store.isRestoring(); }));
        if (c.signOutMeanwhile) {
            EXPECT_FALSE(store.token());
            EXPECT_EQ(server.countRequests("/api/auth/me"), 0);
        } else {
            EXPECT_TRUE(store.isAuthed());
            EXPECT_EQ(server.countRequests("/api/auth/me"), 1);
        }
    }
}

#include "HostileServer_test.moc"
