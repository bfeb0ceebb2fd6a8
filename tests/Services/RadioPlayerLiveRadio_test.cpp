#include "Platform/MprisService.h"
#include "Platform/NowPlayingInfo.h"
#include "Platform/RemoteCommandCenter.h"
#include "Services/APIClient.h"
#include "Services/GstPlaybackEngine.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "support/DemoCatalogue.h"
#include "support/IcecastServer.h"
#include "support/PlaybackTestSupport.h"
#include "support/Playerctl.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <iostream>

using testsupport::IcecastServer;
using testsupport::MountFormat;
using testsupport::waitUntil;
using Recovery = RadioPlayer::Recovery;

namespace {

// What happens to the station while it plays.
enum class Fault {
    None,
    SourceGoneAndBack,   // the source client is killed, then starts again
    ServerGoneAndBack,   // the server stops, then starts again (its sources with it)
    ServerFrozen,        // the server is stopped (SIGSTOP) until the player notices, then goes on
    PlayWhileMountGone,  // paused; the source goes; play is pressed; the source comes back
    MountNeverBack,      // the source goes for longer than the player tries
};

struct LiveRow {
    const char *name;
    MountFormat format;
    Fault fault;
    // How much sound first counts as playing: a chained stream must play through its joins.
    double hearSeconds = 1.5;
};

void PrintTo(const LiveRow &row, std::ostream *os)
{
    *os << row.name;
}

const QString Mount = QStringLiteral("/radio");
const QString Genre = QStringLiteral("icecast-live");
// Short waits between tries, and a limit that the faults above stay within (but for the last).
const ReconnectSchedule::Options Reconnect{{200, 400, 800, 1000}, 8000};

// The whole player against a real radio server: the catalogue comes from the stand-in backend,
// its live station streams from icecast2, the audio goes through GStreamer into a fake output
// that consumes in real time and counts what it renders, and the system media controls are
// read with playerctl over the session bus.
class LiveRadioTest : public ::testing::TestWithParam<LiveRow>
{
protected:
    void SetUp() override
    {
        const QString missing = IcecastServer::missingTools();
        ASSERT_TRUE(missing.isEmpty()) << qPrintable(missing);
        ASSERT_TRUE(icecast.start()) << qPrintable(icecast.log());
        ASSERT_TRUE(icecast.startSource(Mount, GetParam().format)) << qPrintable(icecast.log());

        ASSERT_NE(backend.listen(), 0);
        catalogue = standin::installDemoCatalogue(backend);
        QJsonObject station{{"genre", Genre}, {"server_name", "Icecast"}, {"title", "Tone - Live"},
                            {"stream_url", icecast.url(Mount).toString()}};
        catalogue->replaceStation(station);
        ASSERT_TRUE(m_dir.isValid());
        APIClient::Options options;
        options.baseURL = backend.baseUrl();
        client = std::make_unique<APIClient>(options);
        source = std::make_unique<APIStationSource>(client.get());
        offline = std::make_unique<OfflineStore>(m_dir.path(), client.get());
        lookup = std::make_unique<OfflineStoreLookup>(offline.get());

        GstElement *sink = testsupport::makeFakeAudioSink(true);
        g_object_set(sink, "signal-handoffs", TRUE, nullptr);
        g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement *, GstBuffer *buffer, GstPad *, gpointer data) {
            if (GST_BUFFER_DURATION_IS_VALID(buffer))
                static_cast<std::atomic<qint64> *>(data)->fetch_add(qint64(GST_BUFFER_DURATION(buffer)));
        }), &renderedNs);
        engine = std::make_unique<GstPlaybackEngine>(nullptr, sink);
        RadioPlayer::Dependencies deps;
        deps.engine = engine.get();
        deps.stations = source.get();
        deps.offline = lookup.get();
        deps.commands = &commands;
        deps.nowPlaying = &nowPlaying;
        deps.reconnect = Reconnect;
        player = std::make_unique<RadioPlayer>(deps);

        if (playerctl::available()) {
            bus = playerctl::privateSessionConnection();
            mpris = std::make_unique<MprisService>(&commands, &nowPlaying);
            if (mpris->registerOn(bus, playerctl::uniqueServiceName()))
                mprisPlayer = playerctl::playerName(mpris->serviceName());
        }
        ASSERT_FALSE(mprisPlayer.isEmpty()) << "needs a session bus and playerctl";
    }

    void TearDown() override
    {
        player.reset();
        mpris.reset();
        if (bus.isConnected())
            QDBusConnection::disconnectFromBus(bus.name());
    }

    Station station()
    {
        auto outcome = testing_support::runTask(client->fetchStations());
        for (const Station &s : outcome.value.value_or(QList<Station>{}))
            if (s.genre == Genre)
                return s;
        ADD_FAILURE() << "no live station in the catalogue";
        return {};
    }

    QString mprisStatus() { return playerctl::run(mprisPlayer, {QStringLiteral("status")}).out; }

    // Sound comes out: the output renders `seconds` more of audio while the player says it plays.
    bool hearsAudio(double seconds = 1.5, int timeoutMs = 20000)
    {
        const qint64 from = renderedNs;
        return waitUntil([&] {
            return player->isPlaying() && !player->isBuffering() && player->recovery() == Recovery::None
                   && renderedNs - from >= qint64(seconds * 1e9);
        }, timeoutMs);
    }

    bool waitRecovery(Recovery recovery, int timeoutMs = 20000)
    {
        return waitUntil([&] { return player->recovery() == recovery; }, timeoutMs);
    }

    // While the player tries again it says so, means to play and shows no silence as playing.
    void expectReconnecting()
    {
        EXPECT_EQ(player->recovery(), Recovery::Reconnecting);
        EXPECT_TRUE(player->statusText().endsWith(QStringLiteral("در حال اتصال دوباره…")))
            << qPrintable(player->statusText());
        EXPECT_TRUE(player->isBuffering());
        EXPECT_EQ(mprisStatus(), QStringLiteral("Playing"));
    }

    void report(const char *what, const QElapsedTimer &since)
    {
        std::cout << "[ live radio ] " << GetParam().name << ": " << what << " " << since.elapsed() << " ms\n";
    }

    IcecastServer icecast;
    standin::StandInServer backend;
    std::shared_ptr<standin::DemoCatalogue> catalogue;
    QTemporaryDir m_dir;
    std::unique_ptr<APIClient> client;
    std::unique_ptr<APIStationSource> source;
    std::unique_ptr<OfflineStore> offline;
    std::unique_ptr<OfflineLookup> lookup;
    std::atomic<qint64> renderedNs{0};
    std::unique_ptr<GstPlaybackEngine> engine;
    RemoteCommandCenter commands;
    NowPlayingInfoCenter nowPlaying;
    std::unique_ptr<RadioPlayer> player;
    QDBusConnection bus{QString()};
    std::unique_ptr<MprisService> mpris;
    QString mprisPlayer;
};

} // namespace

TEST_P(LiveRadioTest, PlaysAndComesBackByItself)
{
    const LiveRow &row = GetParam();
    QElapsedTimer clock;
    clock.start();
    player->select(station());
    const PlayerItemPtr firstItem = engine->player().currentItem();
    ASSERT_TRUE(hearsAudio(row.hearSeconds, 20000 + int(row.hearSeconds * 1000))) << qPrintable(player->statusText());
    report("plays after", clock);
    EXPECT_TRUE(player->isLive());
    EXPECT_EQ(player->statusText(), QString());
    EXPECT_EQ(mprisStatus(), QStringLiteral("Playing"));

    switch (row.fault) {
    case Fault::None: {
        // Once it plays it goes on: no pause to buffer again, and one connection all along (no
        // join of a chained stream ended the item).
        int rebuffered = 0;
        QObject::connect(player.get(), &RadioPlayer::isBufferingChanged, player.get(), [&] {
            rebuffered += player->isBuffering() ? 1 : 0;
        });
        ASSERT_TRUE(hearsAudio(3.0));
        EXPECT_EQ(rebuffered, 0);
        EXPECT_EQ(engine->player().currentItem(), firstItem);
        return;
    }
    case Fault::SourceGoneAndBack:
        ASSERT_TRUE(icecast.killSource(Mount));
        ASSERT_TRUE(waitRecovery(Recovery::Reconnecting));
        expectReconnecting();
        ASSERT_TRUE(icecast.startSource(Mount, row.format));
        break;
    case Fault::ServerGoneAndBack:
        icecast.stop();
        ASSERT_TRUE(waitRecovery(Recovery::Reconnecting));
        expectReconnecting();
        ASSERT_TRUE(icecast.start()) << qPrintable(icecast.log());
        break;
    case Fault::ServerFrozen:
        icecast.freeze();
        // The connection stays open and silent: the player notices the stall by itself.
        ASSERT_TRUE(waitRecovery(Recovery::Reconnecting));
        expectReconnecting();
        icecast.thaw();
        ASSERT_TRUE(icecast.reviveSources()) << qPrintable(icecast.log());
        break;
    case Fault::PlayWhileMountGone:
        player->togglePlayPause();
        ASSERT_TRUE(waitUntil([&] { return mprisStatus() == QStringLiteral("Paused"); }));
        ASSERT_TRUE(icecast.killSource(Mount));
        player->togglePlayPause();
        // Answered: play connects again, the server says the mount is not there, and the
        // player says it tries again.
        ASSERT_TRUE(waitUntil([&] {
            return player->statusText() == RadioPlayer::reconnectingText(PlaybackEngine::Failure::NotFound);
        }));
        expectReconnecting();
        ASSERT_TRUE(icecast.startSource(Mount, row.format));
        break;
    case Fault::MountNeverBack:
        ASSERT_TRUE(icecast.killSource(Mount));
        ASSERT_TRUE(waitRecovery(Recovery::GaveUp, Reconnect.giveUpAfterMs + 20000));
        EXPECT_EQ(player->statusText(), RadioPlayer::gaveUpText(PlaybackEngine::Failure::NotFound));
        EXPECT_FALSE(player->isPlaying());
        EXPECT_FALSE(player->isBuffering());
        EXPECT_EQ(mprisStatus(), QStringLiteral("Stopped"));
        // Play is ready: once the mount is back, one press plays.
        ASSERT_TRUE(icecast.startSource(Mount, row.format));
        player->togglePlayPause();
        break;
    }
    clock.restart();
    ASSERT_TRUE(hearsAudio()) << qPrintable(player->statusText());
    report("plays again after the mount is back", clock);
    EXPECT_EQ(player->statusText(), QString());
    EXPECT_EQ(mprisStatus(), QStringLiteral("Playing"));
}

INSTANTIATE_TEST_SUITE_P(
    Icecast, LiveRadioTest,
    ::testing::Values(LiveRow{"Mp3", MountFormat::Mp3, Fault::None},
                      LiveRow{"OggVorbis", MountFormat::OggVorbis, Fault::None},
                      LiveRow{"OggOpus", MountFormat::OggOpus, Fault::None},
                      LiveRow{"OggFlac", MountFormat::OggFlac, Fault::None},
                      LiveRow{"Aac", MountFormat::Aac, Fault::None},
                      LiveRow{"ChainedOgg", MountFormat::ChainedOgg, Fault::None, 3.5 * IcecastServer::ChainSeconds},
                      LiveRow{"Mp3SourceGoneAndBack", MountFormat::Mp3, Fault::SourceGoneAndBack},
                      LiveRow{"OggVorbisSourceGoneAndBack", MountFormat::OggVorbis, Fault::SourceGoneAndBack},
                      LiveRow{"Mp3ServerGoneAndBack", MountFormat::Mp3, Fault::ServerGoneAndBack},
                      LiveRow{"Mp3ServerFrozen", MountFormat::Mp3, Fault::ServerFrozen},
                      LiveRow{"Mp3PlayWhileMountGone", MountFormat::Mp3, Fault::PlayWhileMountGone},
                      LiveRow{"OggVorbisMountNeverBack", MountFormat::OggVorbis, Fault::MountNeverBack}),
    [](const ::testing::TestParamInfo<LiveRow> &info) { return std::string(info.param.name); });
