#include "support/ModelRows.h"
#include "ShellFixture.h"
#include "SoundCloudCardModel.h"
#include "SoundCloudSearchViewModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <gtest/gtest.h>

// The search screen's model and the library card's model over a stand-in search route that
// answers by query: "none" gives no stations, "fail" a 500, "nodata" an envelope without data;
// any other query one station "sc-<query>", and a query starting with "slow" answers late.

using quickhost::waitFor;

namespace {

const QString searchPath = QStringLiteral("/api/soundcloud/search");

standin::Reply searchReply(const standin::RecordedRequest &r)
{
    const QString q = r.queryItems().queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
    if (q == QLatin1String("fail"))
        return standin::Reply::json(R"({"message":"down"})", 500);
    if (q == QLatin1String("nodata"))
        return standin::Reply::json("{}");
    QJsonArray data;
    if (q != QLatin1String("none"))
        data.append(QJsonObject{{"genre", "sc-" + q}, {"title", q}, {"artist", ""}, {"artwork_url", "/artwork/" + q + ".jpg"},
                                {"track_index", 3}, {"tracks", QJsonArray{QJsonObject{{"title", "t"}}}}});
    standin::Reply reply = standin::Reply::json(QJsonDocument(QJsonObject{{"data", data}}).toJson());
    if (q.startsWith(QLatin1String("slow")))
        reply.delayMs = 300; // only to order two answers, never waited on
    return reply;
}

class SoundCloudSearch : public ShellFixture
{
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        server.route("GET", searchPath, searchReply);
    }

    QString lastSent() const
    {
        return server.requestsTo(searchPath).last().queryItems().queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
    }

    // Waits until the screen or the card has answered.
    template <typename Model>
    void waitDone(Model &m)
    {
        ASSERT_TRUE(waitFor([&] { return !m.isLoading(); }));
    }
};

struct Case {
    const char *name;
    QString typed;
    QString sent;        // empty: nothing is sent
    int rows;            // rows after the answer (the card; the screen keeps the previous row on failure)
    bool failure;
    bool cardNoResults;  // the card's line reads "no result"
};

} // namespace

TEST_F(SoundCloudSearch, ScreenAndCardAnswers)
{
    const QList<Case> cases = {
        {"spaces and tabs only", " \t ", {}, 0, false, false},
        {"trimmed before sending", "  Aria\t", "Aria", 1, false, false},
        {"line breaks are kept", "\nAria ", "\nAria", 1, false, false},
        {"empty answer", "none", "none", 0, false, true},
        {"answer without data", "nodata", "nodata", 0, false, true},
        {"failure", "fail", "fail", 0, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SoundCloudSearchViewModel screen(player.get(), client.get());
        SoundCloudCardModel card(player.get(), client.get());
        // A previous answer, to see what a failure keeps.
        for (QObject *m : {static_cast<QObject *>(&screen), static_cast<QObject *>(&card)})
            m->setProperty("query", QStringLiteral("before"));
        screen.search();
        card.search();
        waitDone(screen);
        waitDone(card);
        const int before = server.countRequests(searchPath);

        screen.setQuery(c.typed);
        card.setQuery(c.typed);
        EXPECT_EQ(screen.canSearch(), !c.sent.isEmpty());
        EXPECT_EQ(card.canSearch(), !c.sent.isEmpty());
        screen.search();
        EXPECT_EQ(screen.isLoading(), !c.sent.isEmpty());
        EXPECT_TRUE(screen.errorMessage().isEmpty());
        EXPECT_EQ(screen.resultStations().size(), 1); // kept until the answer
        waitDone(screen);
        card.search();
        waitDone(card);

        EXPECT_EQ(screen.query(), c.typed);
        if (c.sent.isEmpty()) {
            EXPECT_EQ(server.countRequests(searchPath), before);
            continue;
        }
        EXPECT_EQ(server.countRequests(searchPath), before + 2);
        EXPECT_EQ(lastSent(), c.sent);
        EXPECT_TRUE(screen.searched());
        EXPECT_EQ(screen.resultStations().size(), c.failure ? 1 : c.rows);
        EXPECT_EQ(card.resultStations().size(), c.rows);
        EXPECT_EQ(screen.errorMessage().isEmpty(), !c.failure);
        EXPECT_EQ(card.errorMessage(), c.cardNoResults ? SoundCloudCardModel::NoResultsText : screen.errorMessage());
    }
}

TEST_F(SoundCloudSearch, ScreenRefusesReturnWhileLoadingAndShowsRows)
{
    SoundCloudSearchViewModel screen(player.get(), client.get());
    EXPECT_FALSE(screen.searched());
    screen.setQuery(QStringLiteral("slow one"));
    screen.search();
    screen.search();
    waitDone(screen);
    EXPECT_EQ(server.countRequests(searchPath), 1);

    const QVariantMap row = rowRoles(screen.results(), 0);
    EXPECT_EQ(row.value("genre"), QStringLiteral("sc-slow one"));
    EXPECT_EQ(row.value("artist"), QStringLiteral("SoundCloud"));
    EXPECT_EQ(row.value("artworkURL"), QStringLiteral("/artwork/slow one.jpg"));
    EXPECT_EQ(screen.bottomPadding(), SoundCloudSearchViewModel::BottomPaddingWithoutPlayer);
}

TEST_F(SoundCloudSearch, CardShowsOnlyTheLatestAnswer)
{
    SoundCloudCardModel card(player.get(), client.get());
    // An older, slower request is overtaken by a newer one: its answer is dropped.
    card.setQuery(QStringLiteral("slow old"));
    card.search();
    card.setQuery(QStringLiteral("new"));
    card.search();
    waitDone(card);
    EXPECT_EQ(card.resultStations().at(0).genre, QStringLiteral("sc-new"));
    // A probe sent after the old request, with the same delay, ends after it.
    EXPECT_TRUE(testing_support::runTask(client->soundcloudSearch(QStringLiteral("slow probe"))).ok());
    EXPECT_EQ(card.resultStations().size(), 1);
    EXPECT_EQ(card.resultStations().at(0).genre, QStringLiteral("sc-new"));
    EXPECT_FALSE(card.isLoading());

    // A newer, slower request keeps the spinner after the older one has ended.
    card.setQuery(QStringLiteral("quick"));
    card.search();
    card.setQuery(QStringLiteral("slow latest"));
    card.search();
    EXPECT_TRUE(testing_support::runTask(client->soundcloudSearch(QStringLiteral("quick probe"))).ok());
    EXPECT_TRUE(card.isLoading());
    waitDone(card);
    EXPECT_EQ(card.resultStations().at(0).genre, QStringLiteral("sc-slow latest"));
    EXPECT_EQ(server.countRequests(searchPath), 6);
}

TEST_F(SoundCloudSearch, RowTapPlaysTheStationUnchangedAndOpensThePlayerAtOnce)
{
    SoundCloudSearchViewModel screen(player.get(), client.get());
    SoundCloudCardModel card(player.get(), client.get());
    screen.setQuery(QStringLiteral("Aria"));
    card.setQuery(QStringLiteral("Bria"));
    screen.search();
    card.search();
    waitDone(screen);
    waitDone(card);

    QSignalSpy current(&screen, &SoundCloudSearchViewModel::currentGenreChanged);
    for (auto [play, station] : {std::pair{std::function<void()>([&] { screen.play(0); }), screen.resultStations().at(0)},
                                 std::pair{std::function<void()>([&] { card.play(0); }), card.resultStations().at(0)}}) {
        player->setFullPlayerPresented(false);
        play();
        EXPECT_TRUE(player->isFullPlayerPresented());
        ASSERT_TRUE(waitFor([&] { return player->currentStation() && player->currentStation()->genre == station.genre; }));
        EXPECT_EQ(player->currentStation()->trackIndex, station.trackIndex);
        EXPECT_EQ(player->currentStation()->tracks, station.tracks);
        EXPECT_EQ(screen.currentGenre(), station.genre);
    }
    EXPECT_GE(current.count(), 2);
    EXPECT_EQ(screen.bottomPadding(), SoundCloudSearchViewModel::BottomPaddingWithPlayer);
    screen.play(7); // out of range: nothing
}
