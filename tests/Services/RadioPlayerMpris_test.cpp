#include "OfflineTestSupport.h"

#include "Platform/MprisService.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "support/FakePlaybackEngine.h"
#include "support/FakeStationSource.h"
#include "support/Playerctl.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using offline_test::waitUntil;
using TCS = PlaybackEngine::TimeControlStatus;

namespace {

// The player with a fake engine, exported on the session bus and driven by playerctl.
class RadioPlayerMprisTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!playerctl::available())
            GTEST_SKIP() << "needs a session bus and playerctl";
        ASSERT_TRUE(m_dir.isValid());
        APIClient::Options options;
        options.baseURL = QUrl(QStringLiteral("http://backend.test"));
        m_client = std::make_unique<APIClient>(options);
        m_offline = std::make_unique<OfflineStore>(m_dir.path(), m_client.get());
        m_lookup = std::make_unique<OfflineStoreLookup>(m_offline.get());
        RadioPlayer::Dependencies deps;
        deps.engine = &engine;
        deps.stations = &source;
        deps.offline = m_lookup.get();
        deps.commands = &commands;
        deps.nowPlaying = &nowPlaying;
        player = std::make_unique<RadioPlayer>(deps);
        bus = playerctl::privateSessionConnection();
        mpris = std::make_unique<MprisService>(&commands, &nowPlaying);
        ASSERT_TRUE(mpris->registerOn(bus, playerctl::uniqueServiceName()));
        name = playerctl::playerName(mpris->serviceName());
    }

    void TearDown() override
    {
        mpris.reset();
        player.reset();
        if (bus.isConnected())
            QDBusConnection::disconnectFromBus(bus.name());
    }

    playerctl::Result ctl(const QStringList &args) { return playerctl::run(name, args); }

    void playing(double at, double duration)
    {
        engine.current()->duration = duration;
        engine.status = TCS::Playing;
        engine.tick(at);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<APIClient> m_client;
    std::unique_ptr<OfflineStore> m_offline;
    std::unique_ptr<OfflineLookup> m_lookup;
    FakePlaybackEngine engine;
    FakeStationSource source;
    RemoteCommandCenter commands;
    NowPlayingInfoCenter nowPlaying;
    std::unique_ptr<RadioPlayer> player;
    QDBusConnection bus{QString()};
    std::unique_ptr<MprisService> mpris;
    QString name;
};

Station jazz()
{
    Station s;
    s.genre = QStringLiteral("jazz");
    s.serverName = QStringLiteral("Late Night Jazz");
    QList<PlaylistTrack> tracks;
    for (const char *title : {"Blue Corner", "Smoke Rings", "Last Tram Home"}) {
        PlaylistTrack t;
        t.title = QString::fromUtf8(title);
        t.artist = QStringLiteral("The Night Owls");
        tracks << t;
    }
    s.tracks = tracks;
    return s;
}

} // namespace

TEST_F(RadioPlayerMprisTest, PlayerctlSeesAndControlsThePlayer)
{
    EXPECT_EQ(ctl({QStringLiteral("status")}).out, QStringLiteral("Stopped"));

    player->select(jazz());
    playing(3.0, 180.0);
    EXPECT_EQ(ctl({QStringLiteral("status")}).out, QStringLiteral("Playing"));
    const auto meta = ctl({QStringLiteral("metadata"), QStringLiteral("--format"),
                           QStringLiteral("{{artist}}|{{title}}|{{album}}|{{mpris:length}}")});
    EXPECT_EQ(meta.out, QStringLiteral("The Night Owls|Blue Corner|Late Night Jazz|180000000"));

    // play-pause pauses by intent.
    EXPECT_EQ(ctl({QStringLiteral("play-pause")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return !player->isPlaying(); }));
    EXPECT_FALSE(player->wantsPlayback());
    EXPECT_EQ(ctl({QStringLiteral("status")}).out, QStringLiteral("Paused"));
    EXPECT_EQ(ctl({QStringLiteral("play-pause")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return player->wantsPlayback(); }));

    // next: the second track.
    EXPECT_EQ(ctl({QStringLiteral("next")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return player->currentStation()->trackIndex == 1; }));
    playing(1.0, 200.0);
    EXPECT_EQ(ctl({QStringLiteral("metadata"), QStringLiteral("title")}).out, QStringLiteral("Smoke Rings"));

    // position: absolute and relative; past the end is clamped by the player.
    EXPECT_EQ(ctl({QStringLiteral("position"), QStringLiteral("42")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return !engine.seeks.isEmpty(); }));
    EXPECT_EQ(engine.seeks.last(), 42.0);
    const double reported = ctl({QStringLiteral("position")}).out.toDouble();
    EXPECT_GE(reported, 42.0);
    EXPECT_LT(reported, 50.0);
    EXPECT_EQ(ctl({QStringLiteral("position"), QStringLiteral("10+")}).exitCode, 0);
    ASSERT_TRUE(waitUntil([&] { return engine.seeks.size() == 2; }));
    EXPECT_EQ(engine.seeks.last(), 52.0);
}

TEST_F(RadioPlayerMprisTest, ALiveStationRefusesSeekingAndSkipping)
{
    Station s;
    s.genre = QStringLiteral("pop-live");
    s.serverName = QStringLiteral("Pulse FM");
    s.title = QStringLiteral("Nova Lane - Golden Hour");
    s.streamURL = QStringLiteral("/live/pop-live");
    player->select(s);
    playing(5.0, std::numeric_limits<double>::infinity());
    EXPECT_EQ(ctl({QStringLiteral("metadata"), QStringLiteral("--format"), QStringLiteral("{{artist}}|{{title}}")}).out,
              QStringLiteral("Nova Lane|Golden Hour"));
    EXPECT_NE(ctl({QStringLiteral("metadata"), QStringLiteral("mpris:length")}).exitCode, 0);

    const auto next = ctl({QStringLiteral("next")});
    const auto seek = ctl({QStringLiteral("position"), QStringLiteral("10+")});
    EXPECT_FALSE(next.exitCode == 0 && next.err.isEmpty());
    EXPECT_FALSE(seek.exitCode == 0 && seek.err.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_TRUE(engine.seeks.isEmpty());
    EXPECT_EQ(engine.items().size(), 1);
}
