#include "Services/APIClient.h"

#include "support/DemoCatalogue.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"

#include <QCoroNetworkReply>
#include <QDir>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryFile>
#include <QThread>
#include <gtest/gtest.h>

using namespace standin;
using testing_support::runTask;

namespace {

// Opens the primitives to the tests; the operations that other code adds are built the same way.
class TestClient : public APIClient
{
public:
    using APIClient::APIClient;
    using APIClient::decodeReply;
    using APIClient::del;
    using APIClient::endpoint;
    using APIClient::get;
    using APIClient::mapReply;
    using APIClient::Method;
    using APIClient::post;
    using APIClient::put;
    using APIClient::Query;
    using APIClient::RawReply;
};

APIClient::Options optionsFor(const QUrl &base)
{
    APIClient::Options o;
    o.baseURL = base;
    // Generous: the machine may be loaded; timeout tests set their own.
    o.catalogueIdleTimeoutMs = 20'000;
    o.requestIdleTimeoutMs = 20'000;
    o.totalTimeoutMs = 60'000;
    return o;
}

class APIClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0);
        client = std::make_unique<TestClient>(optionsFor(server.baseUrl()));
    }

    RecordedRequest only(const QString &path)
    {
        const auto seen = server.requestsTo(path);
        EXPECT_EQ(seen.size(), 1) << path.toStdString();
        return seen.value(0);
    }

    StandInServer server;
    std::unique_ptr<TestClient> client;
};

QByteArray stationsBody(int count, int tracksPerStation = 0)
{
    QJsonArray stations;
    for (int i = 0; i < count; ++i) {
        QJsonArray tracks;
        for (int t = 0; t < tracksPerStation; ++t)
            tracks.append(QJsonObject{{"id", t}, {"title", QStringLiteral("Track %1").arg(t)},
                                      {"artist", "Someone"}, {"duration", 200}});
        QJsonObject s{{"genre", QStringLiteral("g%1").arg(i)}, {"title", "Artist - Song"}};
        if (tracksPerStation)
            s.insert("tracks", tracks);
        stations.append(s);
    }
    return QJsonDocument(QJsonObject{{"code", 200}, {"data", stations}}).toJson(QJsonDocument::Compact);
}

// Records the thread it was decoded on.
struct ThreadProbe {
    QThread *thread = nullptr;
    static ThreadProbe fromJson(const QJsonValue &) { return ThreadProbe{QThread::currentThread()}; }
};

QCoro::Task<QByteArray> fetchBytes(QUrl url)
{
    QNetworkAccessManager nam;
    std::unique_ptr<QNetworkReply> reply(nam.get(QNetworkRequest(url)));
    co_await reply.get();
    if (reply->error() != QNetworkReply::NoError)
        throw TransportError(reply->error(), reply->errorString());
    co_return reply->readAll();
}

} // namespace

// ------------------------------------------------------------------ absolute

TEST(APIClientAbsolute, ResolvesBackendAddresses)
{
    APIClient::Options o;
    o.baseURL = QUrl("https://api.melodrift.app");
    APIClient client(o);
    EXPECT_FALSE(client.absolute(QString()));
    EXPECT_FALSE(client.absolute(std::optional<QString>()));
    EXPECT_FALSE(client.absolute(QStringLiteral("")));
    EXPECT_EQ(client.absolute(QStringLiteral("https://cdn.example.com/a/b.jpg?x=1")),
              QUrl("https://cdn.example.com/a/b.jpg?x=1"));
    EXPECT_EQ(client.absolute(QStringLiteral("http://other.example/live")), QUrl("http://other.example/live"));
    EXPECT_EQ(client.absolute(QStringLiteral("/artwork/jazz.jpg")),
              QUrl("https://api.melodrift.app/artwork/jazz.jpg"));
    EXPECT_EQ(client.absolute(QStringLiteral("/stream/jazz?track=3")),
              QUrl("https://api.melodrift.app/stream/jazz?track=3"));
    EXPECT_EQ(client.absolute(QStringLiteral("artwork/x.jpg")), QUrl("https://api.melodrift.app/artwork/x.jpg"));

    QTemporaryFile file(QDir::tempPath() + "/melodrift-XXXXXX.mp3");
    ASSERT_TRUE(file.open());
    const QString fileUrl = QUrl::fromLocalFile(file.fileName()).toString();
    const auto local = client.absolute(fileUrl);
    ASSERT_TRUE(local);
    EXPECT_TRUE(local->isLocalFile());
    EXPECT_EQ(local->toLocalFile(), file.fileName());

    EXPECT_FALSE(client.absolute(QStringLiteral("http://[broken")));

    // A base with a path keeps it for relative text and loses it for text that begins with '/'.
    o.baseURL = QUrl("https://host.example/v1/");
    APIClient withPath(o);
    EXPECT_EQ(withPath.absolute(QStringLiteral("artwork/x.jpg")), QUrl("https://host.example/v1/artwork/x.jpg"));
    EXPECT_EQ(withPath.absolute(QStringLiteral("/artwork/x.jpg")), QUrl("https://host.example/artwork/x.jpg"));
}

TEST(APIClientBaseURL, ConstantIsAValidHttpsAddressWithoutPath)
{
    const QUrl constant(QString::fromLatin1(APIClient::kBaseURL));
    EXPECT_TRUE(constant.isValid());
    EXPECT_EQ(constant.scheme(), "https");
    EXPECT_TRUE(constant.path().isEmpty());
}

// ------------------------------------------------------------------ request building

TEST_F(APIClientTest, GetBuildsPathAndQuery)
{
    server.route("GET", ".*", [](const RecordedRequest &) { return Reply::json("{}"); });

    ASSERT_TRUE(runTask(client->get<SimpleMessage>("api/plain")).ok());
    const RecordedRequest plain = only("/api/plain");
    EXPECT_FALSE(plain.hasQuery);
    EXPECT_TRUE(plain.header("Authorization").isEmpty());
    EXPECT_TRUE(plain.header("Content-Type").isEmpty());

    const TestClient::Query query{{"q", "C++"}, {"pair", "a&b=c#d"}, {"space", "a b"}, {"fa", "آهنگ"},
                                  {"keep", "a/b?c:d@e"}, {"pct", "100%"}};
    ASSERT_TRUE(runTask(client->get<SimpleMessage>("api/search", query, QStringLiteral("tok"))).ok());
    const RecordedRequest searched = only("/api/search");
    EXPECT_EQ(searched.query.toStdString(),
              "q=C%2B%2B&pair=a%26b%3Dc%23d&space=a%20b&fa=%D8%A2%D9%87%D9%86%DA%AF&keep=a/b?c:d@e&pct=100%25");
    // In order, and each value arrives exactly as given.
    const auto items = searched.queryItems().queryItems(QUrl::FullyDecoded);
    ASSERT_EQ(items.size(), query.size());
    for (qsizetype i = 0; i < query.size(); ++i) {
        EXPECT_EQ(items[i].first, query[i].first);
        EXPECT_EQ(items[i].second, query[i].second);
    }
    EXPECT_EQ(searched.header("Authorization"), "Bearer tok");
}

TEST_F(APIClientTest, PathValuesStayOneSegment)
{
    server.route("GET", ".*", [](const RecordedRequest &) { return Reply::json("{}"); });
    const QString id = QStringLiteral("a/b?c#d %e");
    ASSERT_TRUE(runTask(client->get<SimpleMessage>("api/playlists/" + url::pathSegment(id) + "/tracks")).ok());
    ASSERT_EQ(server.requests().size(), 1);
    const RecordedRequest r = server.requests().first();
    EXPECT_EQ(r.rawPath, "/api/playlists/a%2Fb%3Fc%23d%20%25e/tracks");
    EXPECT_FALSE(r.hasQuery);

    // A raw path with characters a path does not allow is still sent, percent-encoded.
    server.clearRequests();
    ASSERT_TRUE(runTask(client->get<SimpleMessage>(QStringLiteral("api/x y/آ"))).ok());
    EXPECT_EQ(server.requests().value(0).rawPath, "/api/x%20y/%D8%A2");
}

TEST_F(APIClientTest, PostPutAndDeleteSendMethodHeadersAndBody)
{
    for (const char *method : {"POST", "PUT", "DELETE"})
        server.route(method, ".*", [](const RecordedRequest &) { return Reply::json(R"({"message":"ok"})"); });

    const QJsonObject body{{"name", "Mix"}, {"track_id", "t-1"}, {"count", 3}};
    ASSERT_TRUE(runTask(client->post<SimpleMessage>("api/playlists", body, QStringLiteral("tok"))).ok());
    ASSERT_TRUE(runTask(client->put<SimpleMessage>("api/playlists/7", body, QStringLiteral(""))).ok());
    ASSERT_TRUE(runTask(client->del<SimpleMessage>("api/playlists/7")).ok());

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/api/playlists");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/json");
    EXPECT_EQ(requests[0].header("Authorization"), "Bearer tok");
    EXPECT_EQ(QJsonDocument::fromJson(requests[0].body).object(), body);

    EXPECT_EQ(requests[1].method, "PUT");
    EXPECT_EQ(requests[1].header("Content-Type"), "application/json");
    // An empty token is still sent.
    EXPECT_EQ(requests[1].header("Authorization"), "Bearer");
    EXPECT_EQ(QJsonDocument::fromJson(requests[1].body).object(), body);

    EXPECT_EQ(requests[2].method, "DELETE");
    EXPECT_EQ(requests[2].path, "/api/playlists/7");
    EXPECT_TRUE(requests[2].header("Authorization").isEmpty());
    EXPECT_TRUE(requests[2].body.isEmpty());
}

// ------------------------------------------------------------------ reply mapping

TEST_F(APIClientTest, ReplyMappingTable)
{
    struct Case {
        const char *method;
        int status;
        QByteArray body;
        const char *expect; // "ok", "server:<text>", "http", "decoding"
    };
    const QByteArray withMessage = R"({"code": 17, "message": "نام تکراری است"})";
    const QList<Case> cases = {
        {"GET", 200, R"({"message": "hi"})", "ok"},
        {"GET", 299, R"({})", "ok"},
        {"GET", 401, withMessage, "http"},
        {"GET", 500, "oops", "http"},
        {"GET", 200, "<html>not json</html>", "decoding"},
        {"GET", 204, "", "decoding"},
        {"POST", 201, R"({"message": "made"})", "ok"},
        {"POST", 400, withMessage, "server:نام تکراری است"},
        {"POST", 400, R"({"message": ""})", "server:"},
        {"POST", 400, "not json", "http"},
        {"POST", 400, R"({"error": "x"})", "http"},
        {"POST", 400, R"({"message": 5})", "http"},
        {"POST", 400, R"({"message": "m", "code": "x"})", "http"},
        {"POST", 300, withMessage, "server:نام تکراری است"},
        {"PUT", 409, withMessage, "server:نام تکراری است"},
        {"PUT", 503, "", "http"},
        {"DELETE", 404, withMessage, "server:نام تکراری است"},
        {"DELETE", 404, "[]", "http"},
        {"DELETE", 200, R"({"code": 1})", "ok"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.method) + " " + std::to_string(c.status) + " " + c.body.toStdString());
        server.script(c.method, "/api/op", Reply::json(c.body, c.status), 1);
        testing_support::Outcome<SimpleMessage> outcome;
        const QJsonObject body{{"k", "v"}};
        if (qstrcmp(c.method, "GET") == 0)
            outcome = runTask(client->get<SimpleMessage>("api/op"));
        else if (qstrcmp(c.method, "POST") == 0)
            outcome = runTask(client->post<SimpleMessage>("api/op", body));
        else if (qstrcmp(c.method, "PUT") == 0)
            outcome = runTask(client->put<SimpleMessage>("api/op", body));
        else
            outcome = runTask(client->del<SimpleMessage>("api/op"));

        const QString expect = QString::fromUtf8(c.expect);
        if (expect == "ok") {
            EXPECT_TRUE(outcome.ok());
        } else if (expect.startsWith("server:")) {
            const auto error = outcome.errorAs<ServerError>();
            ASSERT_TRUE(error);
            EXPECT_EQ(error->errorDescription(), expect.mid(7));
            EXPECT_EQ(error->code(), c.status);
        } else if (expect == "http") {
            const auto error = outcome.errorAs<APIError>();
            ASSERT_TRUE(error);
            EXPECT_EQ(*error, APIError::http(c.status));
            EXPECT_EQ(error->errorDescription(), QStringLiteral("خطای سرور (%1)").arg(c.status));
        } else {
            EXPECT_TRUE(outcome.errorAs<DecodingError>());
            EXPECT_FALSE(outcome.errorAs<APIError>());
        }
    }
}

TEST(APIClientMapping, RepliesThatAreNotHttp)
{
    using M = TestClient::Method;
    const TestClient::RawReply noStatus{-1, R"({"message": "gone"})"};
    EXPECT_THROW(
        {
            try {
                TestClient::mapReply(M::Get, noStatus);
            } catch (const APIError &e) {
                EXPECT_EQ(e, APIError::http(-1));
                EXPECT_EQ(e.errorDescription(), QStringLiteral("خطای سرور (-1)"));
                throw;
            }
        },
        APIError);
    EXPECT_THROW(TestClient::mapReply(M::Post, noStatus), APIError);
    EXPECT_THROW(TestClient::mapReply(M::Put, noStatus), APIError);
    try {
        TestClient::mapReply(M::Delete, noStatus);
        ADD_FAILURE() << "no error";
    } catch (const ServerError &e) {
        EXPECT_EQ(e.message(), "gone");
        EXPECT_EQ(e.code(), -1);
    }
    EXPECT_THROW(TestClient::mapReply(M::Delete, {-1, "{}"}), APIError);
    EXPECT_EQ(TestClient::mapReply(M::Get, {200, "body"}), "body");
}

TEST(APIClientErrors, DescriptionsAreTheListenersTexts)
{
    EXPECT_EQ(APIError::http(404).errorDescription(), QStringLiteral("خطای سرور (404)"));
    EXPECT_EQ(APIError::badURL().errorDescription(), QStringLiteral("آدرس سرور نامعتبر است"));
    EXPECT_EQ(APIError::decoding().errorDescription(), QStringLiteral("خطا در پردازش پاسخ سرور"));
    EXPECT_EQ(ServerError("متن", 400).errorDescription(), QStringLiteral("متن"));
    const AppError &base = APIError::decoding();
    EXPECT_STREQ(base.what(), "خطا در پردازش پاسخ سرور");
}

TEST_F(APIClientTest, TransportFailuresCarryQtsDescription)
{
    // Connection refused: a port that was listened on and is closed again.
    quint16 closedPort = 0;
    {
        StandInServer gone;
        closedPort = gone.listen();
    }
    TestClient refused(optionsFor(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closedPort))));
    auto outcome = runTask(refused.fetchStations());
    auto error = outcome.errorAs<TransportError>();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), QNetworkReply::ConnectionRefusedError);
    EXPECT_FALSE(error->errorDescription().isEmpty());

    // A 200 whose body breaks off is a transport failure, not a decoding one.
    Reply truncated = Reply::json(R"({"data": [)");
    truncated.declaredLength = 5000;
    server.script("GET", "/api/stations", truncated, 1);
    outcome = runTask(client->fetchStations());
    EXPECT_TRUE(outcome.errorAs<TransportError>());
}

TEST_F(APIClientTest, IdleAndWholeRequestTimeouts)
{
    // Idle: nothing arrives for longer than the idle timeout.
    APIClient::Options o = optionsFor(server.baseUrl());
    o.catalogueIdleTimeoutMs = 300;
    o.requestIdleTimeoutMs = 300;
    TestClient impatient(o);
    Reply slow = Reply::json(R"({"data": []})");
    slow.delayMs = 3000;
    server.script("GET", "/api/stations", slow, 1);
    auto outcome = runTask(impatient.fetchStations());
    auto error = outcome.errorAs<TransportError>();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->isTimeout());
    // A listener reads it on every screen that waits: Persian, not the network stack's English.
    EXPECT_EQ(error->errorDescription(), QStringLiteral("زمان انتظار برای پاسخ سرور به پایان رسید"));

    server.script("GET", "/api/slow", slow, 1);
    EXPECT_TRUE(runTask(impatient.get<SimpleMessage>("api/slow")).errorAs<TransportError>());

    // Whole request: bytes keep coming, so the idle timeout never fires.
    o.catalogueIdleTimeoutMs = 20'000;
    o.totalTimeoutMs = 500;
    TestClient limited(o);
    Reply trickle;
    trickle.stream = [] { return QByteArray(" "); };
    trickle.streamIntervalMs = 20;
    server.script("GET", "/api/stations", trickle, 1);
    outcome = runTask(limited.fetchStations());
    error = outcome.errorAs<TransportError>();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->isTimeout());
    EXPECT_EQ(error->errorDescription(), QStringLiteral("زمان انتظار برای پاسخ سرور به پایان رسید"));
}

// ------------------------------------------------------------------ catalogue operations

TEST_F(APIClientTest, FetchStationsDecodesTheDemoCatalogue)
{
    installDemoCatalogue(server);
    const auto outcome = runTask(client->fetchStations());
    ASSERT_TRUE(outcome.ok());
    const QList<Station> &stations = *outcome.value;
    ASSERT_GE(stations.size(), 6);
    const RecordedRequest r = only("/api/stations");
    EXPECT_EQ(r.method, "GET");
    EXPECT_FALSE(r.hasQuery);
    EXPECT_TRUE(r.header("Authorization").isEmpty());
    EXPECT_TRUE(r.header("Content-Type").isEmpty());

    QSet<QString> categories;
    for (const Station &s : stations)
        categories.insert(s.category.value_or(QString()));
    EXPECT_TRUE(categories.contains("iranian"));
    EXPECT_TRUE(categories.contains("international"));
    EXPECT_TRUE(categories.contains("instrumental"));
    const auto persian = std::find_if(stations.begin(), stations.end(),
                                      [](const Station &s) { return s.genre == "persian"; });
    ASSERT_NE(persian, stations.end());
    EXPECT_TRUE(persian->hasTracks());
    EXPECT_EQ(persian->currentStreamURL(), "/stream/persian?track=2");
}

TEST_F(APIClientTest, FetchStationsEnvelopeRules)
{
    server.script("GET", "/api/stations", Reply::json(R"({"code": 200, "data": []})"), 1);
    auto outcome = runTask(client->fetchStations());
    ASSERT_TRUE(outcome.ok());
    EXPECT_TRUE(outcome.value->isEmpty());

    for (const QByteArray &noData : {QByteArray(R"({"code": 200})"), QByteArray(R"({"data": null})")}) {
        server.script("GET", "/api/stations", Reply::json(noData), 1);
        EXPECT_EQ(runTask(client->fetchStations()).errorAs<APIError>(), APIError::decoding());
    }

    server.script("GET", "/api/stations", Reply::json(R"({"message": "down"})", 503), 1);
    EXPECT_EQ(runTask(client->fetchStations()).errorAs<APIError>(), APIError::http(503));

    server.script("GET", "/api/stations", Reply::text("<html>maintenance</html>", 200, "text/html"), 1);
    outcome = runTask(client->fetchStations());
    EXPECT_TRUE(outcome.errorAs<DecodingError>());
    EXPECT_FALSE(outcome.errorAs<APIError>());
}

TEST_F(APIClientTest, LargeCataloguesDecodeOffTheGuiThreadWithTheSameResult)
{
    const QByteArray big = stationsBody(400, 20);
    ASSERT_GT(big.size(), APIClient::kOffThreadDecodeBytes);
    server.script("GET", "/api/stations", Reply::json(big), 1);
    const auto outcome = runTask(client->fetchStations());
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.value->size(), 400);
    EXPECT_EQ(outcome.value->at(399).genre, "g399");
    EXPECT_EQ(outcome.value->at(399).tracks->size(), 20);
    // Kept in storage of its own, with every value as decoded and repeated texts held once.
    const QList<Station> direct = *json::decode<StationsResponse>(big).data;
    for (qsizetype i = 0; i < direct.size(); ++i)
        ASSERT_EQ(outcome.value->at(i).toJson(), direct.at(i).toJson()) << i;
    EXPECT_EQ(outcome.value->at(0).tracks->at(0).artist->constData(),
              outcome.value->at(399).tracks->at(5).artist->constData());

    const QByteArray small = stationsBody(2);
    const auto smallProbe = runTask(TestClient::decodeReply<ThreadProbe>(small));
    ASSERT_TRUE(smallProbe.ok());
    EXPECT_EQ(smallProbe.value->thread, QThread::currentThread());
    const auto probe = runTask(TestClient::decodeReply<ThreadProbe>(big));
    ASSERT_TRUE(probe.ok());
    EXPECT_NE(probe.value->thread, QThread::currentThread());

    // A failure found on the worker reaches the caller as the same error.
    QByteArray broken = big;
    broken.replace(R"("genre":"g250")", R"("genre":250)");
    server.script("GET", "/api/stations", Reply::json(broken), 1);
    const auto failed = runTask(client->fetchStations());
    const auto error = failed.errorAs<DecodingError>();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->detail().startsWith("data[250].genre")) << error->detail().toStdString();
}

TEST_F(APIClientTest, HydrateSongsaraKeysAndIdentity)
{
    auto catalogue = installDemoCatalogue(server);
    auto outcome = runTask(client->hydrateSongsara(QStringLiteral("songsara-piano")));
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.value->genre, "songsara-piano");
    EXPECT_TRUE(outcome.value->hasTracks());
    EXPECT_EQ(outcome.value->title, catalogue->songsaraStations.value("piano").value("title").toString());
    EXPECT_EQ(only("/api/songsara/playlist/piano").method, "GET");

    // Every "songsara-" goes, wherever it stands; a genre without it is used unchanged.
    server.route("GET", "/api/songsara/playlist/(.*)", [](const RecordedRequest &) {
        return Reply::json(R"({"data": [{"genre": "server-side", "title": "T", "tracks": [{}]}]})");
    });
    for (const auto &[genre, rawPath] :
         {std::pair{"mood-songsara-calm", "/api/songsara/playlist/mood-calm"},
          std::pair{"songsara-songsara-x", "/api/songsara/playlist/x"},
          std::pair{"piano", "/api/songsara/playlist/piano"},
          std::pair{"songsara-a/b#c", "/api/songsara/playlist/a%2Fb%23c"}}) {
        server.clearRequests();
        outcome = runTask(client->hydrateSongsara(QString::fromUtf8(genre)));
        ASSERT_TRUE(outcome.ok()) << genre;
        EXPECT_EQ(outcome.value->genre, QString::fromUtf8(genre));
        EXPECT_EQ(outcome.value->title, "T");
        ASSERT_EQ(server.requests().size(), 1);
        EXPECT_EQ(server.requests().first().rawPath, rawPath);
    }

    server.script("GET", "/api/songsara/playlist/empty", Reply::json(R"({"data": []})"), 1);
    EXPECT_EQ(runTask(client->hydrateSongsara("songsara-empty")).errorAs<APIError>(), APIError::decoding());
    server.script("GET", "/api/songsara/playlist/none", Reply::json(R"({"code": 200})"), 1);
    EXPECT_EQ(runTask(client->hydrateSongsara("songsara-none")).errorAs<APIError>(), APIError::decoding());
    server.script("GET", "/api/songsara/playlist/missing", Reply::json(R"({"message": "no"})", 404), 1);
    EXPECT_EQ(runTask(client->hydrateSongsara("songsara-missing")).errorAs<APIError>(), APIError::http(404));
}

TEST_F(APIClientTest, DemoArtworkIsAJpegWhoseColoursDifferByName)
{
    installDemoCatalogue(server);
    const auto fetch = [&](const QString &name) {
        return runTask(fetchBytes(server.baseUrl().resolved(QUrl("/artwork/" + name + ".jpg"))));
    };
    const auto persian = fetch("persian");
    const auto jazz = fetch("jazz");
    ASSERT_TRUE(persian.ok());
    ASSERT_TRUE(jazz.ok());
    const QImage a = QImage::fromData(*persian.value, "JPEG");
    const QImage b = QImage::fromData(*jazz.value, "JPEG");
    ASSERT_FALSE(a.isNull());
    ASSERT_FALSE(b.isNull());
    EXPECT_NE(a.pixelColor(10, 10).hue(), b.pixelColor(10, 10).hue());
    EXPECT_EQ(*persian.value, artworkJpeg("persian"));
}
