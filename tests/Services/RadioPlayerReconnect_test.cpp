#include "RadioPlayerFixture.h"

#include "Services/ReconnectSchedule.h"

using namespace radio_test;
using Failure = PlaybackEngine::Failure;
using Recovery = RadioPlayer::Recovery;

TEST(ReconnectSchedule, BacksOffThenRepeatsTheLastWaitUntilTheOutageIsTooLong)
{
    const ReconnectSchedule schedule;
    const struct {
        int attempt;
        qint64 outageMs;
        Failure failure;
        std::optional<int> delay;
    } rows[] = {
        {0, 0, Failure::Unreachable, 1000},       {1, 1000, Failure::NotFound, 2000},
        {2, 3000, Failure::Stalled, 4000},        {3, 7000, Failure::ConnectionLost, 8000},
        {4, 15000, Failure::ServerError, 10000},  {12, 100000, Failure::Unreachable, 10000},
        {13, 180000, Failure::Unreachable, {}},   {0, 0, Failure::Unplayable, {}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(schedule.delayBefore(row.attempt, row.outageMs, row.failure), row.delay)
            << row.attempt << " " << row.outageMs;
    EXPECT_EQ(ReconnectSchedule({{}, 1000}).delayBefore(0, 0, Failure::Unreachable), std::nullopt);
}

namespace {

class RadioPlayerReconnectTest : public RadioPlayerTest
{
protected:
    static constexpr int DelayMs = 20;

    void SetUp() override
    {
        RadioPlayerTest::SetUp();
        createPlayer(15'000, {{DelayMs}, 60'000});
    }

    NowPlayingState shownState() const { return nowPlaying.nowPlayingInfo().state; }

    // Waits for the next try: a new item of the same address.
    bool waitForNewItem(qsizetype before)
    {
        return waitUntil([&] { return engine.items().size() > before; }, 5000);
    }
};

struct Breakage {
    const char *what;
    bool rotation;
    Failure cause;
    // How it breaks: the item fails, or (live) the server ends the stream.
    bool ends;
};

} // namespace

TEST_F(RadioPlayerReconnectTest, ABrokenStreamIsTriedAgainByItselfAndTheListenerIsTold)
{
    const Breakage rows[] = {
        {"a live server that cannot be reached", false, Failure::Unreachable, false},
        {"a live mount that is gone", false, Failure::NotFound, false},
        {"a live server that closes the stream", false, Failure::ConnectionLost, true},
        {"a live stream that stalls", false, Failure::Stalled, false},
        {"a rotation's server that goes away mid-track", true, Failure::ConnectionLost, false},
    };
    for (const Breakage &row : rows) {
        SCOPED_TRACE(row.what);
        select(row.rotation ? rotation(QStringLiteral("jazz"), 3, 1)
                            : live(QStringLiteral("pop"), QStringLiteral("t"), QStringLiteral("/live/pop")));
        becomePlaying(42.0, row.rotation ? 200.0 : 0.0);
        const QUrl address = engine.currentUrl();
        const qsizetype items = engine.items().size();
        if (row.ends)
            engine.finish(engine.currentItem());
        else
            engine.failCurrent(row.cause);

        EXPECT_EQ(player->recovery(), Recovery::Reconnecting);
        EXPECT_EQ(player->statusText(), RadioPlayer::reconnectingText(row.cause));
        EXPECT_TRUE(player->isBuffering());
        EXPECT_TRUE(player->isPlaying()); // the button still offers to pause, which ends the tries
        EXPECT_EQ(shownState(), NowPlayingState::Playing);
        EXPECT_EQ(nowPlaying.nowPlayingInfo().playbackRate, 0.0);

        ASSERT_TRUE(waitForNewItem(items));
        EXPECT_EQ(engine.currentUrl(), address);
        // A track goes on where it broke off; a live stream starts where the station is now.
        EXPECT_EQ(engine.seeks.isEmpty() ? 0.0 : engine.seeks.last(), row.rotation ? 42.0 : 0.0);
        engine.seeks.clear();

        becomePlaying(row.rotation ? 42.5 : 1.0);
        EXPECT_EQ(player->recovery(), Recovery::None);
        EXPECT_EQ(player->statusText(), QString());
        EXPECT_FALSE(player->isBuffering());
        EXPECT_EQ(nowPlaying.nowPlayingInfo().playbackRate, 1.0);
    }
}

TEST_F(RadioPlayerReconnectTest, TriesUntilTheOutageIsTooLongThenSaysWhyAndAPressTriesAgain)
{
    createPlayer(15'000, {{DelayMs}, 300});
    select(live(QStringLiteral("pop"), QStringLiteral("t"), QStringLiteral("/live/pop")));
    // The mount is gone from the first press on: every try is answered 404.
    int tries = 0;
    ASSERT_TRUE(waitUntil([&] {
        if (player->recovery() == Recovery::GaveUp)
            return true;
        if (!player->isReconnectPending() && !engine.current()->error) {
            ++tries;
            engine.failCurrent(Failure::NotFound);
        }
        return false;
    }, 10000));
    EXPECT_GT(tries, 2);
    EXPECT_EQ(player->statusText(), RadioPlayer::gaveUpText(Failure::NotFound));
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(player->isBuffering());
    EXPECT_FALSE(player->wantsPlayback());
    EXPECT_EQ(shownState(), NowPlayingState::Stopped);

    // Play builds a new item at once, and so does every press while the tries run.
    for (int press = 0; press < 2; ++press) {
        const qsizetype items = engine.items().size();
        player->togglePlayPause();
        EXPECT_EQ(engine.items().size(), items + 1);
        EXPECT_EQ(player->recovery(), Recovery::None);
        EXPECT_EQ(player->statusText(), RadioPlayer::ConnectingText);
        EXPECT_EQ(shownState(), NowPlayingState::Playing);
        engine.failCurrent(Failure::NotFound);
        EXPECT_EQ(player->recovery(), Recovery::Reconnecting);
    }
    becomePlaying();
    EXPECT_EQ(player->recovery(), Recovery::None);
}

TEST_F(RadioPlayerReconnectTest, AStreamThatIsNoAudioIsGivenUpAtOnce)
{
    select(live(QStringLiteral("pop"), QStringLiteral("t"), QStringLiteral("/live/pop")));
    engine.failCurrent(Failure::Unplayable);
    EXPECT_EQ(player->recovery(), Recovery::GaveUp);
    EXPECT_FALSE(player->isReconnectPending());
    EXPECT_EQ(player->statusText(), RadioPlayer::gaveUpText(Failure::Unplayable));
    EXPECT_EQ(shownState(), NowPlayingState::Stopped);
}

TEST_F(RadioPlayerReconnectTest, APauseOrAnotherStationEndsTheTries)
{
    select(live(QStringLiteral("pop"), QStringLiteral("t"), QStringLiteral("/live/pop")));
    becomePlaying();
    engine.failCurrent(Failure::Stalled);
    ASSERT_TRUE(player->isReconnectPending());
    player->togglePlayPause();
    EXPECT_FALSE(player->isReconnectPending());
    EXPECT_EQ(player->recovery(), Recovery::None);
    EXPECT_EQ(player->statusText(), QString());
    EXPECT_FALSE(player->isBuffering());
    EXPECT_EQ(shownState(), NowPlayingState::Paused);
    // Play after the pause: the failed item is not asked to play again, a new one is made.
    const qsizetype items = engine.items().size();
    player->togglePlayPause();
    EXPECT_EQ(engine.items().size(), items + 1);

    engine.failCurrent(Failure::Unreachable);
    ASSERT_TRUE(player->isReconnectPending());
    select(live(QStringLiteral("rock"), QStringLiteral("r"), QStringLiteral("/live/rock")));
    EXPECT_FALSE(player->isReconnectPending());
    EXPECT_EQ(player->recovery(), Recovery::None);
    EXPECT_EQ(player->statusText(), RadioPlayer::ConnectingText);
    // The end of a rotation's track is no breakage: the next track plays.
    select(rotation(QStringLiteral("jazz"), 3, 0));
    becomePlaying();
    engine.finish(engine.currentItem());
    EXPECT_EQ(player->currentStation()->trackIndex, 1);
    EXPECT_EQ(player->recovery(), Recovery::None);
}

TEST_F(RadioPlayerReconnectTest, PlayAfterAPauseStartsALiveStreamFromNowAndATrackWhereItWas)
{
    const struct {
        Station station;
        bool newItem;
    } rows[] = {
        {live(QStringLiteral("pop"), QStringLiteral("t"), QStringLiteral("/live/pop")), true},
        {rotation(QStringLiteral("jazz"), 3, 1), false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.station.genre.toStdString());
        select(row.station);
        becomePlaying(30.0);
        player->togglePlayPause();
        const qsizetype items = engine.items().size();
        const QUrl address = engine.currentUrl();
        player->togglePlayPause();
        EXPECT_EQ(engine.items().size(), items + (row.newItem ? 1 : 0));
        EXPECT_EQ(engine.currentUrl(), address);
        EXPECT_TRUE(engine.seeks.isEmpty());
        EXPECT_TRUE(player->isBuffering());
        becomePlaying(31.0);
        EXPECT_TRUE(player->isPlaying());
    }
}
