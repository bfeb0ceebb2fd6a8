#include "ShellFixture.h"

#include "LyricsSheetModel.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QSignalSpy>

// The lyrics sheet's model over the stand-in backend and a real player (on a fake platform
// player): which line is sung when, the request, the content states, stale replies, the live
// clock on an injected clock, and taps.

using quickhost::waitFor;
using TCS = PlaybackEngine::TimeControlStatus;

namespace {

LyricsLine line(std::optional<double> time, const char *text = "x")
{
    return LyricsLine{time, QString::fromUtf8(text), std::nullopt};
}

Station stationFrom(const char *json)
{
    return Station::fromJson(QJsonDocument::fromJson(json).object());
}

// A rotation whose current track lasts 215 s, and a live stream.
const char *rotationJson = R"({"genre": "night", "title": "Night Drive", "artist": "Nova",
    "tracks": [{"track_id": "a", "title": "Night Drive", "artist": "Nova", "duration": 215,
                "stream_url": "/audio/a.mp3"},
               {"track_id": "b", "title": "Second Song", "artist": "Nova", "duration": 100,
                "stream_url": "/audio/b.mp3"}], "track_index": 0})";
const char *liveJson = R"({"genre": "pop-live", "title": "Singer - Live Song", "stream_url": "/live/pop-live"})";

class LyricsSheetModelTest : public ShellFixture
{
protected:
    std::unique_ptr<LyricsSheetModel> makeSheet()
    {
        auto sheet = std::make_unique<LyricsSheetModel>(player.get(), client.get(), [this] { return nowMs; });
        return sheet;
    }
    // Plays `station` on the fake platform player at `time` seconds.
    void play(const Station &station, double time = 1.0)
    {
        player->select(station);
        settle();
        engine.status = TCS::Playing;
        engine.tick(time);
        ASSERT_TRUE(player->isPlaying());
    }
    bool loaded(LyricsSheetModel &sheet)
    {
        return waitFor([&] { return sheet.content() != LyricsSheetModel::Content::Loading; });
    }
    void scriptLyrics(const QByteArray &body, int status = 200, int delayMs = 0, int times = -1)
    {
        standin::Reply reply = standin::Reply::json(body, status);
        reply.delayMs = delayMs;
        server.script("GET", QStringLiteral("/api/lyrics"), reply, times);
    }

    qint64 nowMs = 1'000'000;
};

// The backend client with its network manager in view, to tell when a reply has landed.
class WatchedClient : public APIClient
{
public:
    using APIClient::APIClient;
    using APIClient::network;
};

} // namespace

TEST(LyricsLines, TheSungLineIsTheLastOfTheWalkThatPassed)
{
    struct Case {
        QList<LyricsLine> lines;
        double position;
        int active;
    };
    const Case cases[] = {
        {{line(0), line(5), line(std::nullopt), line(12)}, 20.0, 1}, // the walk stops at the untimed line
        {{line(0), line(5), line(12)}, 4.85 + LyricsSheetModel::LeadSeconds, 1},
        {{line(0), line(5), line(12)}, 4.7, 0},
        {{line(2), line(5)}, 1.0, -1},
        {{line(std::nullopt), line(1), line(2)}, 50.0, -1}, // an untimed first line: never any
        {{line(0), line(10), line(4), line(20)}, 6.0, 0},    // unsorted: the walk stops at 10
        {{line(0), line(10), line(4), line(20)}, 15.0, 2},
        {{line(0), line(5), line(12)}, 12.0, 2},
        {{}, 3.0, -1},
    };
    LyricsLinesModel model;
    for (const Case &c : cases) {
        model.setLines(c.lines);
        EXPECT_EQ(model.activeIndexAt(c.position), c.active) << c.position << " over " << c.lines.size() << " lines";
    }
}

TEST(LyricsLines, MovingTheHighlightChangesOnlyTheTwoRows)
{
    LyricsLinesModel model;
    model.setLines({line(0), line(5), line(10), line(15)});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setActiveIndex(1);
    model.setActiveIndex(1);
    model.setActiveIndex(2);
    ASSERT_EQ(changed.size(), 3);
    const QList<int> rows{changed[0][0].toModelIndex().row(), changed[1][0].toModelIndex().row(),
                          changed[2][0].toModelIndex().row()};
    EXPECT_EQ(rows, (QList<int>{1, 1, 2}));
    for (const auto &signal : changed)
        EXPECT_EQ(signal[0].toModelIndex(), signal[1].toModelIndex());
    EXPECT_TRUE(model.data(model.index(2), LyricsLinesModel::ActiveRole).toBool());
    EXPECT_FALSE(model.data(model.index(1), LyricsLinesModel::ActiveRole).toBool());
}

TEST_F(LyricsSheetModelTest, RequestCarriesTheFourItemsInOrderAndNoToken)
{
    play(stationFrom(rotationJson));
    auto sheet = makeSheet();
    sheet->appear();
    ASSERT_TRUE(loaded(*sheet));
    const auto requests = server.requestsTo(QStringLiteral("/api/lyrics"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].query, QStringLiteral("genre=night&title=Night%20Drive&artist=Nova&duration=215"));
    EXPECT_TRUE(requests[0].header("Authorization").isEmpty());
    EXPECT_EQ(sheet->content(), LyricsSheetModel::Content::List);
    EXPECT_EQ(sheet->trackTitle(), QStringLiteral("Night Drive"));
    EXPECT_EQ(sheet->subtitle(), QStringLiteral("Nova"));

    // No current track and a player duration under a second: the item goes with an empty value.
    Station live = stationFrom(liveJson);
    play(live);
    engine.current()->duration = 0.9;
    engine.tick(1.0);
    ASSERT_TRUE(waitFor([&] { return server.countRequests(QStringLiteral("/api/lyrics")) == 2; }));
    EXPECT_EQ(server.requestsTo(QStringLiteral("/api/lyrics")).last().query,
              QStringLiteral("genre=pop-live&title=Live%20Song&artist=Singer&duration="));
}

TEST_F(LyricsSheetModelTest, ContentStatesFollowTheReply)
{
    struct Case {
        const char *name;
        QByteArray body;
        int status;
        LyricsSheetModel::Content content;
    };
    const Case cases[] = {
        {"not found status", R"({"code":404,"message":"nope"})", 404, LyricsSheetModel::Content::Failed},
        {"not JSON", "<html>oops</html>", 200, LyricsSheetModel::Content::Failed},
        {"found false", R"({"code":200,"data":{"found":false}})", 200, LyricsSheetModel::Content::NoLyrics},
        {"empty lines", R"({"code":200,"data":{"found":true,"lines":[]}})", 200, LyricsSheetModel::Content::NoLyrics},
        {"found absent", R"({"code":200,"data":{"lines":[{"time":1,"text":"a"}]}})", 200,
         LyricsSheetModel::Content::NoLyrics},
        {"no data", R"({"code":500,"message":"x"})", 200, LyricsSheetModel::Content::NoLyrics},
        {"lines", R"({"code":200,"data":{"found":true,"lines":[{"time":1,"text":"a"},{"text":"b"}]}})", 200,
         LyricsSheetModel::Content::List},
    };
    play(stationFrom(rotationJson));
    for (const Case &c : cases) {
        scriptLyrics(c.body, c.status);
        auto sheet = makeSheet();
        sheet->appear();
        EXPECT_EQ(sheet->content(), LyricsSheetModel::Content::Loading) << c.name;
        ASSERT_TRUE(loaded(*sheet)) << c.name;
        EXPECT_EQ(sheet->content(), c.content) << c.name;
        EXPECT_EQ(sheet->lines()->rowCount(), c.content == LyricsSheetModel::Content::List ? 2 : 0) << c.name;
    }
}

TEST_F(LyricsSheetModelTest, TrackChangesReloadAndALateReplyForAnEarlierTrackIsDropped)
{
    Station rotation = stationFrom(rotationJson);
    play(rotation);
    // The first track's reply is slow and says something the second track's does not.
    scriptLyrics(R"({"data":{"found":true,"lines":[{"time":0,"text":"first track"}]}})", 200, 400, 1);
    auto sheet = makeSheet();
    sheet->appear();
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/api/lyrics")));
    player->nextTrack();
    settle();
    ASSERT_TRUE(waitFor([&] { return server.countRequests(QStringLiteral("/api/lyrics")) == 2; }));
    EXPECT_TRUE(server.requestsTo(QStringLiteral("/api/lyrics")).last().query.contains(QStringLiteral("Second%20Song")));
    ASSERT_TRUE(loaded(*sheet));
    ASSERT_EQ(sheet->content(), LyricsSheetModel::Content::List);
    // Wait out the slow reply: it changes nothing.
    quickhost::settle(600);
    EXPECT_NE(sheet->lines()->data(sheet->lines()->index(0), LyricsLinesModel::TextRole).toString(),
              QStringLiteral("first track"));

    // Back to the first track: loads again; the same identity again loads nothing.
    player->previousTrack();
    settle();
    ASSERT_TRUE(waitFor([&] { return server.countRequests(QStringLiteral("/api/lyrics")) == 3; }));
    emit player->currentStationChanged();
    quickhost::settle(50);
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/lyrics")), 3);
}

TEST_F(LyricsSheetModelTest, LiveClockStartsAtTheElapsedTimeAndStandsStillWhilePaused)
{
    play(stationFrom(liveJson));
    scriptLyrics(R"({"data":{"found":true,"elapsed_seconds":42,
        "lines":[{"time":40,"text":"a"},{"time":45,"text":"b"},{"time":90,"text":"c"},{"time":95,"text":"d"}]}})");
    auto sheet = makeSheet();
    sheet->appear();
    ASSERT_TRUE(loaded(*sheet));
    EXPECT_EQ(sheet->livePosition(), 42.0);
    EXPECT_EQ(sheet->activeIndex(), 0);
    QSignalSpy moved(sheet.get(), &LyricsSheetModel::activeLineMoved);
    nowMs += 2'900; // 44.9 s, lit 0.2 s early
    sheet->tick();
    EXPECT_EQ(sheet->activeIndex(), 1);
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(moved[0][0].toInt(), 1);

    // Paused at 90 s for a minute: stands at 90; resumed: runs on from 90.
    nowMs += 45'100;
    EXPECT_DOUBLE_EQ(*sheet->livePosition(), 90.0);
    player->togglePlayPause();
    nowMs += 60'000;
    EXPECT_DOUBLE_EQ(sheet->currentPosition(), 90.0);
    player->togglePlayPause();
    engine.status = TCS::Playing;
    engine.tick(2.0);
    ASSERT_TRUE(player->isPlaying());
    nowMs += 5'000;
    EXPECT_DOUBLE_EQ(*sheet->livePosition(), 95.0);
    // A tap on a line of a live stream does nothing.
    const auto seeks = engine.seeks.size();
    sheet->seekTo(0);
    EXPECT_EQ(engine.seeks.size(), seeks);
}

TEST_F(LyricsSheetModelTest, PausedLiveStreamStandsStillWhenTheSheetOpensAndItsLoadEnds)
{
    play(stationFrom(liveJson));
    player->togglePlayPause();
    ASSERT_FALSE(player->isPlaying());
    auto sheet = makeSheet();

    // A reply without an elapsed time: 0 from the start of the load, and still while paused.
    scriptLyrics(R"({"data":{"found":true,"lines":[{"time":0,"text":"a"}]}})", 200, 0, 1);
    sheet->appear();
    nowMs += 3'000;
    ASSERT_TRUE(loaded(*sheet));
    nowMs += 10'000;
    EXPECT_EQ(sheet->livePosition(), 0.0);

    // With an elapsed time: that time, standing still.
    scriptLyrics(R"({"data":{"found":true,"elapsed_seconds":30,"lines":[{"time":0,"text":"a"}]}})");
    sheet->load();
    ASSERT_TRUE(loaded(*sheet));
    nowMs += 10'000;
    EXPECT_EQ(sheet->livePosition(), 30.0);

    // Resumed: runs from there.
    player->togglePlayPause();
    engine.status = TCS::Playing;
    engine.tick(2.0);
    nowMs += 1'500;
    EXPECT_DOUBLE_EQ(*sheet->livePosition(), 31.5);
}

TEST_F(LyricsSheetModelTest, ATapOnATimedLineSeeksTheRotation)
{
    play(stationFrom(rotationJson));
    engine.current()->duration = 215;
    engine.tick(1.0);
    scriptLyrics(R"({"data":{"found":true,"lines":[{"time":0,"text":"a"},{"text":"untimed"},{"time":30.5,"text":"c"}]}})");
    auto sheet = makeSheet();
    sheet->appear();
    ASSERT_TRUE(loaded(*sheet));
    EXPECT_FALSE(sheet->livePosition().has_value());
    sheet->seekTo(2);
    ASSERT_FALSE(engine.seeks.isEmpty());
    EXPECT_EQ(engine.seeks.last(), 30.5);
    EXPECT_EQ(player->currentTime(), 30.5);
    const auto seeks = engine.seeks.size();
    sheet->seekTo(1);
    sheet->seekTo(7);
    EXPECT_EQ(engine.seeks.size(), seeks);
}

TEST_F(LyricsSheetModelTest, AReplyAfterTheSheetWentAwayChangesNothing)
{
    play(stationFrom(rotationJson));
    scriptLyrics(R"({"data":{"found":true,"lines":[{"time":0,"text":"a"}]}})", 200, 200);
    APIClient::Options options;
    options.baseURL = server.baseUrl();
    WatchedClient watched(options);
    QSignalSpy replies(&watched.network(), &QNetworkAccessManager::finished);
    auto sheet = std::make_unique<LyricsSheetModel>(player.get(), &watched, [this] { return nowMs; });
    sheet->appear();
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/api/lyrics")));
    // Besides the sheet itself, a reply could reach the player (its station, clock and seeks)
    // and the backend (a retry).
    const auto outside = [&] {
        return QVariantList{player->currentStation() ? player->currentStation()->genre : QString(),
                            player->currentTime(), player->isPlaying(), engine.seeks.size(),
                            server.countRequests(QStringLiteral("/api/lyrics"))};
    };
    const QVariantList before = outside();
    sheet.reset();
    // The reply lands and the load resumes with the sheet gone: a sanitizer build reports any
    // use of the freed sheet here.
    ASSERT_TRUE(waitFor([&] { return replies.count() == 1; }, 30000));
    quickhost::settle(50);
    EXPECT_EQ(outside(), before);
}
