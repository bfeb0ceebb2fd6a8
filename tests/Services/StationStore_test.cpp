#include "Services/StationStore.h"

#include "Services/APIClient.h"
#include "support/DemoCatalogue.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace standin;
using testing_support::runTask;

namespace {

class StationStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0);
        APIClient::Options o;
        o.baseURL = server.baseUrl();
        o.catalogueIdleTimeoutMs = 20'000;
        client = std::make_unique<APIClient>(o);
        store = std::make_unique<StationStore>(client.get());
    }

    void serve(const QJsonArray &stations)
    {
        const QJsonObject reply{{"code", 200}, {"data", stations}};
        server.script("GET", "/api/stations", Reply::json(QJsonDocument(reply).toJson()));
    }

    void load(bool force) { ASSERT_TRUE(runTask(store->load(force)).ok()); }

    QStringList genres(const QList<Station> &stations)
    {
        QStringList out;
        for (const Station &s : stations)
            out.append(s.genre);
        return out;
    }

    StandInServer server;
    std::unique_ptr<APIClient> client;
    std::unique_ptr<StationStore> store;
};

QJsonObject station(const char *genre, std::optional<QJsonArray> tracks = std::nullopt)
{
    QJsonObject s{{"genre", genre}};
    if (tracks)
        s.insert("tracks", *tracks);
    return s;
}

QJsonArray tracks(std::initializer_list<const char *> titles)
{
    QJsonArray out;
    for (const char *t : titles)
        out.append(QJsonObject{{"title", t}});
    return out;
}

QStringList titles(const Station &s)
{
    QStringList out;
    for (const PlaylistTrack &t : s.tracks.value_or(QList<PlaylistTrack>()))
        out.append(t.title.value_or(QString()));
    return out;
}

} // namespace

TEST_F(StationStoreTest, LoadPublishesTheCatalogueAndClearsTheFlagLast)
{
    installDemoCatalogue(server);
    QSignalSpy stationsSpy(store.get(), &StationStore::stationsChanged);
    QStringList order;
    QObject::connect(store.get(), &StationStore::stationsChanged, [&] { order << "stations"; });
    QObject::connect(store.get(), &StationStore::isLoadingChanged,
                     [&] { order << (store->isLoading() ? "loading" : "idle"); });
    QObject::connect(store.get(), &StationStore::errorMessageChanged, [&] { order << "error"; });

    EXPECT_FALSE(store->isLoading());
    load(false);
    EXPECT_FALSE(store->isLoading());
    EXPECT_FALSE(store->errorMessage());
    EXPECT_EQ(store->stations().size(), DemoCatalogue::standard().stations.size());
    EXPECT_EQ(store->stations().first().genre, "persian");
    EXPECT_EQ(stationsSpy.count(), 1);
    EXPECT_EQ(order, (QStringList{"loading", "error", "stations", "idle"}));
    EXPECT_EQ(server.countRequests("/api/stations"), 1);

    // QML sees the same list.
    const QVariantList published = store->property("stations").toList();
    ASSERT_EQ(published.size(), store->stations().size());
    EXPECT_EQ(published.first().value<Station>().genre, "persian");
}

TEST_F(StationStoreTest, RefreshCarriesTrackListsOverByGenre)
{
    serve({station("a", tracks({"a1", "a2"})), station("b", tracks({"b1"})), station("c"),
           station("d", tracks({"d1"}))});
    load(false);

    // The server now sends a with an empty list, b without "tracks", c with an empty list (it had
    // none before), d with a new list, and a new station e with an empty list.
    serve({station("d", tracks({"d9"})), station("a", QJsonArray()), station("b"), station("c", QJsonArray()),
           station("e", QJsonArray())});
    load(false);

    const QList<Station> &s = store->stations();
    EXPECT_EQ(genres(s), (QStringList{"d", "a", "b", "c", "e"}));
    EXPECT_EQ(titles(s[0]), QStringList{"d9"});
    EXPECT_EQ(titles(s[1]), (QStringList{"a1", "a2"}));
    EXPECT_FALSE(s[2].tracks);
    ASSERT_TRUE(s[3].tracks);
    EXPECT_TRUE(s[3].tracks->isEmpty());
    ASSERT_TRUE(s[4].tracks);
    EXPECT_TRUE(s[4].tracks->isEmpty());

    // Carried lists survive a further refresh that again sends empty lists.
    serve({station("a", QJsonArray())});
    load(false);
    EXPECT_EQ(titles(store->stations().first()), (QStringList{"a1", "a2"}));
}

TEST_F(StationStoreTest, DuplicateGenresInThePreviousListDoNotFailTheLoad)
{
    serve({station("x", tracks({"first"})), station("x", tracks({"second"}))});
    load(false);
    serve({station("x", QJsonArray())});
    load(false);
    ASSERT_EQ(store->stations().size(), 1);
    EXPECT_EQ(titles(store->stations().first()), QStringList{"first"});
}

TEST_F(StationStoreTest, FailureShowsOnlyWhenEmptyOrForced)
{
    // Empty list, not forced: shown.
    server.script("GET", "/api/stations", Reply::json("{}", 500), 1);
    load(false);
    EXPECT_EQ(store->errorMessage(), QStringLiteral("خطای سرور (500)"));
    EXPECT_EQ(store->property("errorMessage").toString(), QStringLiteral("خطای سرور (500)"));
    EXPECT_TRUE(store->stations().isEmpty());

    // A successful retry hides the error.
    serve({station("a", tracks({"a1"}))});
    load(true);
    EXPECT_FALSE(store->errorMessage());
    EXPECT_TRUE(store->property("errorMessage").toString().isEmpty());
    ASSERT_EQ(store->stations().size(), 1);

    // Stations on screen, background refresh fails: silent, list unchanged.
    server.script("GET", "/api/stations", Reply::json(R"({"code": 200})"), 1);
    load(false);
    EXPECT_FALSE(store->errorMessage());
    EXPECT_EQ(genres(store->stations()), QStringList{"a"});

    // The same failure forced: shown, list still unchanged.
    server.script("GET", "/api/stations", Reply::json(R"({"code": 200})"), 1);
    load(true);
    EXPECT_EQ(store->errorMessage(), QStringLiteral("خطا در پردازش پاسخ سرور"));
    EXPECT_EQ(titles(store->stations().first()), QStringList{"a1"});

    // A decoding failure shows the decoder's own description.
    server.script("GET", "/api/stations", Reply::text("<html>", 200, "text/html"), 1);
    load(true);
    EXPECT_EQ(store->errorMessage(), DecodingError(QString()).errorDescription());
}

TEST_F(StationStoreTest, TransportFailureWhileEmptyIsShown)
{
    quint16 closedPort = 0;
    {
        StandInServer gone;
        closedPort = gone.listen();
    }
    client->setBaseURL(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closedPort)));
    load(false);
    ASSERT_TRUE(store->errorMessage());
    EXPECT_FALSE(store->errorMessage()->isEmpty());
    EXPECT_FALSE(store->isLoading());
}

TEST_F(StationStoreTest, ALoadWhileOneRunsDoesNothing)
{
    Reply slow = Reply::json(R"({"data": [{"genre": "late"}]})");
    slow.delayMs = 400;
    server.script("GET", "/api/stations", slow, 1);

    QCoro::Task<> first = store->load(false);
    EXPECT_TRUE(store->isLoading());
    QSignalSpy loadingSpy(store.get(), &StationStore::isLoadingChanged);
    // Returns at once and changes nothing.
    QCoro::Task<> second = store->load(true);
    EXPECT_TRUE(second.isReady());
    EXPECT_EQ(loadingSpy.count(), 0);

    ASSERT_TRUE(runTask(std::move(first)).ok());
    EXPECT_FALSE(store->isLoading());
    EXPECT_EQ(server.countRequests("/api/stations"), 1);
    EXPECT_EQ(genres(store->stations()), QStringList{"late"});
}

TEST_F(StationStoreTest, RequestLoadRunsInTheBackground)
{
    installDemoCatalogue(server);
    store->requestLoad(false);
    EXPECT_TRUE(store->isLoading());
    QDeadlineTimer deadline(30'000);
    while (store->isLoading() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(store->isLoading());
    EXPECT_FALSE(store->stations().isEmpty());
}

TEST_F(StationStoreTest, FilteredStationsFollowTheChosenCategory)
{
    QJsonArray stations;
    for (const auto &[genre, category] :
         {std::pair{"ir1", "iranian"}, std::pair{"int1", "international"}, std::pair{"pl", "playlists"},
          std::pair{"ir-upper", "Iranian"}, std::pair{"none", ""}, std::pair{"ins1", "instrumental"},
          std::pair{"ir2", "iranian"}}) {
        QJsonObject s{{"genre", genre}};
        if (*category)
            s.insert("category", category);
        stations.append(s);
    }
    serve(stations);
    load(false);

    QSignalSpy filteredSpy(store.get(), &StationStore::filteredStationsChanged);
    EXPECT_EQ(store->filteredStations().size(), 7);
    store->setSelectedCategory(StationStore::Category::Iranian);
    EXPECT_EQ(genres(store->filteredStations()), (QStringList{"ir1", "ir2"}));
    EXPECT_EQ(filteredSpy.count(), 1);
    store->setProperty("selectedCategory", QVariant::fromValue(StationStore::Category::International));
    EXPECT_EQ(genres(store->filteredStations()), QStringList{"int1"});
    store->setSelectedCategory(StationStore::Category::Instrumental);
    EXPECT_EQ(store->property("filteredStations").toList().size(), 1);
    store->setSelectedCategory(StationStore::Category::All);
    EXPECT_EQ(genres(store->filteredStations()), genres(store->stations()));
}

TEST(StationStoreCategory, ChipLabelsAndOrder)
{
    using C = StationStore::Category;
    EXPECT_EQ(StationStore::allCategories(), (QList<C>{C::All, C::Iranian, C::International, C::Instrumental}));
    EXPECT_EQ(StationStore::label(C::All), QStringLiteral("همه"));
    EXPECT_EQ(StationStore::label(C::Iranian), QStringLiteral("ایرانی"));
    EXPECT_EQ(StationStore::label(C::International), QString::fromUtf8("\u0628\u06cc\u0646\u200c\u0627\u0644\u0645\u0644\u0644\u06cc"));
    EXPECT_EQ(StationStore::label(C::Instrumental), QString::fromUtf8("\u0628\u06cc\u200c\u06a9\u0644\u0627\u0645"));
    StationStore store(&APIClient::shared());
    const QVariantList chips = store.property("categories").toList();
    ASSERT_EQ(chips.size(), 4);
    EXPECT_EQ(chips[2].toMap().value("label").toString(), StationStore::label(C::International));
    EXPECT_EQ(store.selectedCategory(), C::All);
}
