#include "Platform/AudioPlayer.h"
#include "support/HostileRoutes.h"
#include "support/PlaybackTestSupport.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"

#include <QCoroTask>
#include <QFile>
#include <QTemporaryDir>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cmath>

using namespace standin;
using testsupport::spin;
using testsupport::waitUntil;
using Status = AudioPlayer::TimeControlStatus;

namespace {

class AudioPlayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0);
        installAudioRoutes(server);
        sink = testsupport::makeFakeAudioSink();
        player = std::make_unique<AudioPlayer>(nullptr, sink);
        QObject::connect(player.get(), &AudioPlayer::itemDidPlayToEnd, player.get(),
                         [this](PlayerItemPtr item) { ended.append(item); });
    }

    QUrl url(const QString &pathAndQuery) const { return server.baseUrl().resolved(QUrl(pathAndQuery)); }

    PlayerItemPtr playUrl(const QUrl &address)
    {
        PlayerItemPtr item = PlayerItem::create(address);
        player->replaceCurrentItem(item);
        player->play();
        return item;
    }

    bool waitPlaying() { return waitUntil([&] { return player->timeControlStatus() == Status::Playing; }); }

    StandInServer server;
    GstElement *sink = nullptr; // owned by the player
    std::unique_ptr<AudioPlayer> player;
    QList<PlayerItemPtr> ended;
};

// The loudness of what the player sends to its output, seen through a tap.
struct LevelMeter {
    std::atomic<double> lastRms{0};
    std::atomic<int> buffers{0};
    std::atomic<int> prepares{0};
    std::atomic<int> unprepares{0};
    std::atomic<int> finalized{0};
    std::atomic<int> channels{0};

    AudioProcessingTapPtr makeTap()
    {
        AudioProcessingTapCallbacks callbacks;
        callbacks.clientInfo = this;
        callbacks.init = [](AudioProcessingTap *, void *info, void **storage) { *storage = info; };
        callbacks.finalize = [](AudioProcessingTap *tap) { meter(tap)->finalized++; };
        callbacks.prepare = [](AudioProcessingTap *tap, long, const AudioStreamDescription *format) {
            meter(tap)->prepares++;
            meter(tap)->channels = int(format->channelsPerFrame);
        };
        callbacks.unprepare = [](AudioProcessingTap *tap) { meter(tap)->unprepares++; };
        callbacks.process = [](AudioProcessingTap *tap, long frames, uint32_t, AudioBufferList *list, long *framesOut,
                               uint32_t *flagsOut) {
            if (tap->getSourceAudio(frames, list, flagsOut, framesOut) != 0)
                return;
            const auto *samples = static_cast<const float *>(list->buffers[0].data);
            const size_t count = list->buffers[0].dataByteSize / sizeof(float);
            double sum = 0;
            for (size_t i = 0; i < count; ++i)
                sum += double(samples[i]) * samples[i];
            meter(tap)->lastRms = count ? std::sqrt(sum / double(count)) : 0.0;
            meter(tap)->buffers++;
        };
        AudioProcessingTapPtr tap;
        EXPECT_EQ(AudioProcessingTap::create(callbacks, AudioTapCreationFlag::PostEffects, &tap), 0);
        return tap;
    }
    static LevelMeter *meter(AudioProcessingTap *tap) { return static_cast<LevelMeter *>(tap->storage()); }
};

} // namespace

TEST_F(AudioPlayerTest, PlaysOverHttpAndReportsTimeDurationAndTracks)
{
    QList<double> ticks;
    QObject context;
    player->addPeriodicTimeObserver(0.5, &context, [&](double t) { ticks.append(t); });

    const PlayerItemPtr item = playUrl(url("/stream/pop?track=1"));
    EXPECT_EQ(player->timeControlStatus(), Status::WaitingToPlay);
    ASSERT_TRUE(waitPlaying());
    EXPECT_EQ(item->status(), PlayerItem::Status::ReadyToPlay);
    EXPECT_TRUE(item->errorString().isEmpty());

    const auto tracks = QCoro::waitFor(item->loadAudioTracks());
    ASSERT_TRUE(tracks.has_value());
    ASSERT_EQ(tracks->size(), 1);
    EXPECT_EQ(tracks->first().trackID, 1);

    ASSERT_TRUE(waitUntil([&] { return item->duration() > 0; }));
    EXPECT_NEAR(item->duration(), DefaultTrackSeconds, 0.5);

    const double start = player->currentTime();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > start + 1.0; }));
    ASSERT_TRUE(waitUntil([&] { return ticks.size() >= 3; }));
    EXPECT_GT(ticks.last(), 0.0);
    EXPECT_TRUE(ended.isEmpty());

    player->pause();
    EXPECT_EQ(player->timeControlStatus(), Status::Paused);
    spin(300); // the output stops shortly after
    const double pausedAt = player->currentTime();
    const qsizetype ticksWhenPaused = ticks.size();
    spin(1200);
    EXPECT_NEAR(player->currentTime(), pausedAt, 0.05);
    // One tick announces the stop; no periodic ticks while paused.
    EXPECT_LE(ticks.size(), ticksWhenPaused + 1);
}

// Held, the observers hear of starts and stops but not of the time running on; released, at once.
TEST_F(AudioPlayerTest, HeldObserversAreCalledOnlyAtEvents)
{
    QList<double> ticks;
    QObject context;
    player->addPeriodicTimeObserver(0.5, &context, [&](double t) { ticks.append(t); });
    player->setPeriodicTimeHeld(true);
    playUrl(url("/stream/pop?track=1"));
    ASSERT_TRUE(waitPlaying());
    spin(200);
    const qsizetype whenPlaying = ticks.size();
    EXPECT_GE(whenPlaying, 1); // the start
    spin(1600);
    // The length learnt may still come in; three periodic ticks would have.
    EXPECT_LE(ticks.size(), whenPlaying + 1);
    player->pause();
    ASSERT_TRUE(waitUntil([&] { return ticks.size() > whenPlaying; }));
    player->play();
    ASSERT_TRUE(waitPlaying());
    spin(200);
    const qsizetype beforeRelease = ticks.size();
    player->setPeriodicTimeHeld(false);
    ASSERT_TRUE(waitUntil([&] { return ticks.size() > beforeRelease; }, 300));
    EXPECT_GT(ticks.last(), 0.0);
    ASSERT_TRUE(waitUntil([&] { return ticks.size() >= beforeRelease + 3; }));
}

TEST_F(AudioPlayerTest, SeeksWithCompletionOverRangeRequests)
{
    // A seek asked for before the item is open waits for it.
    const PlayerItemPtr item = playUrl(url("/stream/jazz?track=2"));
    int early = -1;
    player->seek(6.0, [&](bool finished) { early = finished; });
    EXPECT_DOUBLE_EQ(player->currentTime(), 6.0);
    ASSERT_TRUE(waitUntil([&] { return early != -1; }));
    EXPECT_EQ(early, 1);
    ASSERT_TRUE(waitPlaying());
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > 6.2; }));
    EXPECT_LT(player->currentTime(), 9.0);

    int later = -1;
    player->seek(2.0, [&](bool finished) { later = finished; });
    ASSERT_TRUE(waitUntil([&] { return later != -1; }));
    EXPECT_EQ(later, 1);
    ASSERT_TRUE(waitUntil([&] { return player->timeControlStatus() == Status::Playing; }));
    EXPECT_GE(player->currentTime(), 2.0);
    EXPECT_LT(player->currentTime(), 5.0);

    // The seeks are served from the ring buffer or by range requests, whichever the buffer
    // chooses; either way the server was asked for the track with byte ranges allowed.
    EXPECT_FALSE(server.requestsTo("/stream/jazz").isEmpty());

    // A second seek interrupts the first; a seek on nothing is refused.
    QList<bool> outcomes;
    player->seek(3.0, [&](bool finished) { outcomes.append(finished); });
    player->seek(4.0, [&](bool finished) { outcomes.append(finished); });
    ASSERT_TRUE(waitUntil([&] { return outcomes.size() == 2; }));
    EXPECT_EQ(outcomes, (QList<bool>{false, true}));
    player->replaceCurrentItem(nullptr);
    int none = -1;
    player->seek(1.0, [&](bool finished) { none = finished; });
    ASSERT_TRUE(waitUntil([&] { return none != -1; }));
    EXPECT_EQ(none, 0);
}

TEST_F(AudioPlayerTest, EndOfItemNamesTheItemAndStops)
{
    const PlayerItemPtr item = playUrl(url("/audio/short.mp3?seconds=1.5"));
    ASSERT_TRUE(waitUntil([&] { return !ended.isEmpty(); }));
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(ended.first(), item);
    EXPECT_EQ(player->rate(), 0.0f);
    EXPECT_EQ(player->timeControlStatus(), Status::Paused);
    EXPECT_NEAR(player->currentTime(), 1.5, 0.3);

    // Playing an ended item plays it again from its start.
    player->play();
    ASSERT_TRUE(waitUntil([&] { return ended.size() == 2; }));
    EXPECT_EQ(ended.last(), item);
}

// Every track's source, parser and decoder go once the next track plays: a message the bus
// handler kept would keep its element, and the whole track's pipeline with it.
TEST_F(AudioPlayerTest, APlayedTrackLeavesNothingOfItsPipelineBehind)
{
    struct Sources {
        std::atomic<int> created{0};
        std::atomic<int> finalized{0};
    } sources;
    auto onSetup = +[](GstElement *, GstElement *source, gpointer data) {
        auto *counts = static_cast<Sources *>(data);
        counts->created++;
        g_object_weak_ref(G_OBJECT(source), [](gpointer d, GObject *) { static_cast<Sources *>(d)->finalized++; },
                          counts);
    };
    g_signal_connect(player->pipeline(), "source-setup", G_CALLBACK(onSetup), &sources);
    for (int track = 0; track < 4; ++track) {
        playUrl(url(QStringLiteral("/stream/rotation?track=%1&seconds=0.5").arg(track)));
        ASSERT_TRUE(waitUntil([&] { return ended.size() == track + 1; })) << track;
    }
    playUrl(url(QStringLiteral("/stream/rotation?track=4&seconds=3")));
    ASSERT_TRUE(waitPlaying());
    EXPECT_EQ(sources.created, 5);
    // Only the playing track's source is left.
    EXPECT_TRUE(waitUntil([&] { return sources.finalized == 4; })) << sources.finalized;
    player.reset();
    EXPECT_TRUE(waitUntil([&] { return sources.finalized == 5; })) << sources.finalized;
}

TEST_F(AudioPlayerTest, PlaysLocalFilesInBothFormats)
{
    QTemporaryDir dir;
    const QString mp3 = dir.filePath("a.mp3");
    const QString ogg = dir.filePath("b.ogg");
    ASSERT_TRUE(writeToneFile(mp3, AudioFormat::Mp3, 440, 1.0));
    ASSERT_TRUE(writeToneFile(ogg, AudioFormat::Ogg, 660, 1.0));
    for (const QString &path : {mp3, ogg}) {
        const PlayerItemPtr item = playUrl(QUrl::fromLocalFile(path));
        ASSERT_TRUE(waitUntil([&] { return !ended.isEmpty() && ended.last() == item; })) << qPrintable(path);
        EXPECT_NEAR(item->duration(), 1.0, 0.15);
    }
}

TEST_F(AudioPlayerTest, BadItemsFailWithTextAndTheNextItemPlays)
{
    QTemporaryDir dir;
    const QString notAudio = dir.filePath("notes.mp3");
    QFile text(notAudio);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray("this is not audio at all\n").repeated(200));
    text.close();
    const QString truncated = dir.filePath("cut.ogg");
    QFile cut(truncated);
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(toneAudio(AudioFormat::Ogg, 500, 3.0).left(4000));
    cut.close();

    // A port nobody listens on.
    quint16 closedPort = 0;
    {
        StandInServer gone;
        closedPort = gone.listen();
    }

    server.script("GET", "/audio/short-body.mp3", [] {
        Reply r;
        r.contentType = "audio/mpeg";
        r.body = toneAudio(AudioFormat::Mp3, 300, 3.0).left(3000);
        r.declaredLength = 200000;
        return r;
    }());

    const QList<QUrl> bad{
        url("/audio/missing.mp3/404"),
        QUrl(QStringLiteral("http://127.0.0.1:%1/stream/pop?track=0").arg(closedPort)),
        QUrl::fromLocalFile(notAudio),
        QUrl::fromLocalFile(truncated),
        QUrl::fromLocalFile(dir.filePath("does-not-exist.mp3")),
        QUrl(QStringLiteral("ftp://127.0.0.1/a.mp3")),
    };
    for (const QUrl &address : bad) {
        QList<PlayerItemPtr> failed;
        const auto connection = QObject::connect(player.get(), &AudioPlayer::itemFailed, player.get(),
                                                 [&](PlayerItemPtr item) { failed.append(item); });
        const PlayerItemPtr item = playUrl(address);
        ASSERT_TRUE(waitUntil([&] { return item->status() == PlayerItem::Status::Failed; }))
            << qPrintable(address.toString());
        EXPECT_FALSE(item->errorString().isEmpty()) << qPrintable(address.toString());
        EXPECT_FALSE(QCoro::waitFor(item->loadAudioTracks()).has_value());
        spin(300);
        EXPECT_EQ(failed.size(), 1) << "only the first error of an item counts: " << qPrintable(address.toString());
        EXPECT_TRUE(ended.isEmpty());
        QObject::disconnect(connection);

        const PlayerItemPtr next = playUrl(url("/stream/rock?track=0"));
        ASSERT_TRUE(waitPlaying()) << "after " << qPrintable(address.toString());
        EXPECT_EQ(next->status(), PlayerItem::Status::ReadyToPlay);
    }

    // A body cut short of its declared length ends the item one way or the other, and the
    // player goes on.
    const PlayerItemPtr shortBody = playUrl(url("/audio/short-body.mp3"));
    ASSERT_TRUE(waitUntil([&] {
        return shortBody->status() == PlayerItem::Status::Failed || ended.contains(shortBody);
    }));
    playUrl(url("/stream/rock?track=1"));
    ASSERT_TRUE(waitPlaying());
}

TEST_F(AudioPlayerTest, ReplacingTheItemNeverCreditsTheOldItemsEnd)
{
    // The first item ends while being replaced: its end must not reach the second one.
    const PlayerItemPtr first = playUrl(url("/audio/first.mp3?seconds=1.2"));
    ASSERT_TRUE(waitPlaying());
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > 1.0 || !ended.isEmpty(); }));
    const PlayerItemPtr second = PlayerItem::create(url("/stream/soul?track=4"));
    player->replaceCurrentItem(second);
    EXPECT_EQ(player->currentItem(), second);
    ASSERT_TRUE(waitPlaying());
    spin(800);
    EXPECT_FALSE(ended.contains(second));
    EXPECT_GE(server.countRequests("/stream/soul"), 1);
    EXPECT_LT(player->currentTime(), 3.0);

    // Replacing an item whose tracks are still loading ends the wait.
    const PlayerItemPtr third = PlayerItem::create(url("/stream/soul?track=5"));
    player->replaceCurrentItem(third);
    auto tracks = third->loadAudioTracks();
    player->replaceCurrentItem(PlayerItem::create(url("/stream/soul?track=6")));
    EXPECT_FALSE(QCoro::waitFor(std::move(tracks)).has_value());
    ASSERT_TRUE(waitPlaying());
}

TEST_F(AudioPlayerTest, BufferingWhileTheOpeningCompletesStillEndsPlaying)
{
    // The item opens while the player is slow to hear of it: playbin has prerolled and is about
    // to continue to PLAYING on its own when buffering news makes the player pause and resume.
    // Asking playbin for a state while that continuation is pending cancels the continuation
    // without redoing it, so the player must leave a state change in progress alone.
    // Holding playbin's state lock holds the continuation back (the lock is recursive, so the
    // player on this thread still gets through).
    QTemporaryDir dir;
    const QString path = dir.filePath("tone.ogg");
    ASSERT_TRUE(writeToneFile(path, AudioFormat::Ogg, 440, 4.0));
    GstElement *playbin = player->pipeline();
    auto continuationPending = [playbin] {
        GST_OBJECT_LOCK(playbin);
        const bool prerolledAndContinuing = GST_STATE(playbin) == GST_STATE_PAUSED
                                            && GST_STATE_PENDING(playbin) == GST_STATE_PLAYING;
        GST_OBJECT_UNLOCK(playbin);
        return prerolledAndContinuing;
    };
    auto post = [playbin](GstMessage *message) { gst_element_post_message(playbin, message); };

    GST_STATE_LOCK(playbin);
    // Playing already, so the new item is asked for PLAYING at once.
    player->play();
    const PlayerItemPtr item = PlayerItem::create(QUrl::fromLocalFile(path));
    player->replaceCurrentItem(item);
    const bool continuing = waitUntil(
        [&] { return continuationPending() && item->status() == PlayerItem::Status::ReadyToPlay; });
    post(gst_message_new_buffering(GST_OBJECT(playbin), 10));
    post(gst_message_new_buffering(GST_OBJECT(playbin), 100));
    // The bus hands messages to the player in queued calls: once this one ran, so had they.
    bool handled = false;
    QMetaObject::invokeMethod(player.get(), [&] { handled = true; }, Qt::QueuedConnection);
    const bool buffered = waitUntil([&] { return handled; });
    EXPECT_EQ(player->timeControlStatus(), Status::WaitingToPlay);
    GST_STATE_UNLOCK(playbin);
    ASSERT_TRUE(continuing);
    ASSERT_TRUE(buffered);

    ASSERT_TRUE(waitPlaying());
    const double start = player->currentTime();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > start + 0.5; }));
}

TEST_F(AudioPlayerTest, VolumeReachesTheOutputAndTapsFollowTheirItem)
{
    LevelMeter meter;
    const PlayerItemPtr item = playUrl(url("/stream/blues?track=0"));
    item->setAudioMix(AudioMix{{AudioMixInputParameters{1, meter.makeTap()}}});
    ASSERT_TRUE(waitPlaying());
    ASSERT_TRUE(waitUntil([&] { return meter.buffers > 20; }));
    EXPECT_EQ(meter.prepares, 1);
    EXPECT_EQ(meter.channels, 2);
    const double full = meter.lastRms;
    EXPECT_GT(full, 0.05);

    player->setVolume(0.25f);
    EXPECT_FLOAT_EQ(player->volume(), 0.25f);
    double volumeProperty = 0;
    g_object_get(player->pipeline(), "volume", &volumeProperty, nullptr);
    EXPECT_DOUBLE_EQ(volumeProperty, 0.25);
    // The output applies the volume (a real sound server does it in its stream volume).
    ASSERT_TRUE(waitUntil([&] {
        double sinkVolume = 0;
        g_object_get(sink, "volume", &sinkVolume, nullptr);
        return std::abs(sinkVolume - 0.25) < 1e-6;
    }));
    player->setVolume(3.0f);
    EXPECT_FLOAT_EQ(player->volume(), 1.0f);

    // The tap goes with its item: unprepared when the stream stops, finalised once nothing
    // holds it any more, and the next item plays without it.
    player->replaceCurrentItem(PlayerItem::create(url("/stream/blues?track=1")));
    EXPECT_EQ(meter.unprepares, 1);
    item->setAudioMix({});
    ASSERT_TRUE(waitUntil([&] { return meter.finalized == 1; }));
    const int before = meter.buffers;
    ASSERT_TRUE(waitPlaying());
    spin(500);
    EXPECT_EQ(meter.buffers, before);
}

TEST_F(AudioPlayerTest, LiveStreamHasNoDurationAndPausesWhileStarved)
{
    // A stream 1.5 s ahead of real time that the test starves once it plays, and that comes back
    // once the player shows it waiting, sending at once what it held back (as a server that was
    // stopped and catches up does). One that came back only at its own pace would take the ring
    // buffer longer to fill than a stream may wait, and be failed. The starve follows the
    // player, not the server's clock: when playback starts depends on how much the type finder
    // reads and on whether the source's queue fills twice, and a starve timed from the request
    // can pass wholly before the first note.
    struct Feed {
        QElapsedTimer clock;
        qint64 sent = 0;
        bool holding = false;
    };
    auto feed = std::make_shared<Feed>();
    const QByteArray loop = toneAudio(AudioFormat::Mp3, 350, 4.0);
    server.route("GET", "/live/starving", [=](const RecordedRequest &) {
        feed->clock.start();
        feed->sent = 0;
        Reply reply;
        reply.contentType = "audio/mpeg";
        reply.streamIntervalMs = 50;
        reply.stream = [=]() -> QByteArray {
            const qint64 due = qint64((feed->clock.elapsed() / 1000.0 + 1.5) * LiveBytesPerSecond);
            // Held back, a byte a tick: an empty chunk would end the reply.
            const qint64 size = feed->holding ? 1 : std::max<qint64>(due - feed->sent, 1);
            QByteArray chunk;
            while (chunk.size() < size)
                chunk.append(loop.mid((feed->sent + chunk.size()) % loop.size(), size - chunk.size()));
            feed->sent += size;
            return chunk;
        };
        return reply;
    });

    QList<Status> seen;
    QObject::connect(player.get(), &AudioPlayer::timeControlStatusChanged, player.get(),
                     [&] { seen.append(player->timeControlStatus()); });
    const PlayerItemPtr item = playUrl(url("/live/starving"));
    ASSERT_TRUE(waitPlaying());
    EXPECT_EQ(item->duration(), 0.0);
    feed->holding = true;
    const double heldAt = feed->sent / double(LiveBytesPerSecond);
    // What the player already holds plays out (no more than what was sent), then it waits.
    ASSERT_TRUE(waitUntil([&] { return player->timeControlStatus() == Status::WaitingToPlay; }, 30000));
    EXPECT_EQ(player->rate(), 1.0f);
    EXPECT_LE(player->currentTime(), heldAt + 0.1);
    feed->holding = false;
    ASSERT_TRUE(waitPlaying());
    EXPECT_EQ(item->duration(), 0.0);
    EXPECT_EQ(item->status(), PlayerItem::Status::ReadyToPlay);
    EXPECT_GE(seen.count(Status::WaitingToPlay), 2);
    const double resumedAt = player->currentTime();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > resumedAt + 1.0; }));
}

TEST_F(AudioPlayerTest, EndlessLiveRouteStreams)
{
    const PlayerItemPtr item = playUrl(url("/live/persian"));
    ASSERT_TRUE(waitPlaying());
    const double start = player->currentTime();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > start + 2.0; }));
    EXPECT_EQ(item->duration(), 0.0);
    EXPECT_EQ(player->timeControlStatus(), Status::Playing);
    int refused = -1;
    player->seek(1.0, [&](bool finished) { refused = finished; });
    ASSERT_TRUE(waitUntil([&] { return refused != -1; }));
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(player->timeControlStatus(), Status::Playing);
}

// Over HTTP every format reports its whole length and seeks where asked: Ogg (Vorbis, Opus)
// through the ring buffer as MP3, FLAC and AAC do.
TEST_F(AudioPlayerTest, SeeksLandWhereAskedOverHttpInEveryFormat)
{
    for (const char *address : {"/audio/ambient-1.ogg?seconds=12", "/audio/jazz-1.mp3?seconds=12",
                                "/audio/night-1.opus?seconds=12", "/audio/rock-1.flac?seconds=12",
                                "/audio/pop-1.aac?seconds=12"}) {
        SCOPED_TRACE(address);
        const PlayerItemPtr item = playUrl(url(QString::fromLatin1(address)));
        ASSERT_TRUE(waitPlaying());
        ASSERT_TRUE(waitUntil([&] { return item->duration() > 0; }));
        EXPECT_NEAR(item->duration(), 12.0, 0.2);
        for (const double target : {9.0, 4.0}) {
            int finished = -1;
            player->seek(target, [&](bool done) { finished = done; });
            ASSERT_TRUE(waitUntil([&] { return finished != -1; }));
            EXPECT_EQ(finished, 1);
            ASSERT_TRUE(waitPlaying());
            ASSERT_TRUE(waitUntil([&] { return player->currentTime() > target + 0.2; }));
            EXPECT_LT(player->currentTime(), target + 2.5);
        }
    }
}

// A track whose server stops sending plays what came, then shows as waiting, not as playing on,
// and fails when the data never comes back. Its server refuses the source's attempt to resume by
// a byte range, which comes after the queue ran dry (a quarter of the track sent) or while half of
// it is still to be played: either way the track must not start over.
class StalledTrackTest : public AudioPlayerTest, public ::testing::WithParamInterface<std::pair<std::string, double>>
{
};

INSTANTIATE_TEST_SUITE_P(AudioPlayer, StalledTrackTest,
                         ::testing::Values(std::pair{std::string("quiet"), 10.0}, std::pair{std::string("late-quiet"), 25.0}),
                         [](const auto &info) { return QString::fromStdString(info.param.first).remove(u'-').toStdString(); });

TEST_P(StalledTrackTest, WaitsAndThenFails)
{
    installHostileRoutes(server);
    player->setStallFailureSeconds(3);
    QList<PlayerItemPtr> failed;
    QObject::connect(player.get(), &AudioPlayer::itemFailed, player.get(), [&](PlayerItemPtr item) { failed.append(item); });
    QList<Status> seen;
    QObject::connect(player.get(), &AudioPlayer::timeControlStatusChanged, player.get(),
                     [&] { seen.append(player->timeControlStatus()); });
    // As with no window on screen: nobody asks for the time while the track plays.
    QObject context;
    player->addPeriodicTimeObserver(0.5, &context, [](double) {});
    player->setPeriodicTimeHeld(true);
    const auto [name, playedAtLeast] = GetParam();
    const QString path = QStringLiteral("/hostile/stall/%1.mp3").arg(QString::fromStdString(name));
    const PlayerItemPtr item = playUrl(url(path));
    ASSERT_TRUE(waitPlaying());
    ASSERT_TRUE(waitUntil([&] { return player->timeControlStatus() == Status::WaitingToPlay; }, 40000))
        << "statuses " << seen.size() << " item " << int(item->status()) << ' ' << item->errorString().toStdString();
    const double stoppedAt = player->currentTime();
    EXPECT_GT(stoppedAt, playedAtLeast) << "what had come did not play out";
    EXPECT_EQ(item->status(), PlayerItem::Status::ReadyToPlay);
    const qsizetype waitedAt = seen.size();
    ASSERT_TRUE(waitUntil([&] { return !failed.isEmpty(); }, 40000));
    EXPECT_FALSE(seen.mid(waitedAt).contains(Status::Playing)) << "the track played again after it stalled";
    EXPECT_EQ(server.countRequests(path), 2) << "the track was opened again";
    EXPECT_EQ(failed.value(0), item);
    EXPECT_EQ(item->status(), PlayerItem::Status::Failed);
    EXPECT_FALSE(item->errorString().isEmpty());
    // What the sink still held may play out after the wait began (more of it on a busy machine),
    // but not the three seconds until the failure.
    EXPECT_LT(player->currentTime(), stoppedAt + 2.0);
}
