#include "Platform/MprisService.h"
#include "support/Playerctl.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusArgument>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

template <typename Pred>
bool waitFor(Pred pred, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Collects the Player interface's PropertiesChanged signals as another client sees them.
class PropertiesWatcher : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    bool listen(QDBusConnection bus, const QString &service)
    {
        return bus.connect(service, QStringLiteral("/org/mpris/MediaPlayer2"),
                           QStringLiteral("org.freedesktop.DBus.Properties"),
                           QStringLiteral("PropertiesChanged"), this,
                           SLOT(onChanged(QString, QVariantMap, QStringList)));
    }
    bool sawChange(const QString &property) const
    {
        for (const QVariantMap &c : changes)
            if (c.contains(property))
                return true;
        return false;
    }
public slots:
    void onChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == QStringLiteral("org.mpris.MediaPlayer2.Player"))
            changes << changed;
    }
};

class MprisServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!playerctl::available())
            GTEST_SKIP() << "needs a session bus and playerctl";
        bus = playerctl::privateSessionConnection();
        ASSERT_TRUE(bus.isConnected());
        auto record = [this](const RemoteCommandEvent &e) {
            events << e;
            return RemoteCommandStatus::Success;
        };
        for (RemoteCommand c : {RemoteCommand::Play, RemoteCommand::Pause, RemoteCommand::TogglePlayPause,
                                RemoteCommand::ChangeVolume})
            commands.setHandler(c, record);
        auto tracks = [this] { return canSkipTracks; };
        auto seekable = [this] { return canSeek; };
        commands.setHandler(RemoteCommand::NextTrack, [this, record](const RemoteCommandEvent &e) {
            record(e);
            return canSkipTracks ? RemoteCommandStatus::Success : RemoteCommandStatus::CommandFailed;
        }, tracks);
        commands.setHandler(RemoteCommand::PreviousTrack, record, tracks);
        for (RemoteCommand c : {RemoteCommand::SkipForward, RemoteCommand::SkipBackward,
                                RemoteCommand::ChangePlaybackPosition})
            commands.setHandler(c, [this, record](const RemoteCommandEvent &e) {
                if (!canSeek)
                    return RemoteCommandStatus::CommandFailed;
                return record(e);
            }, seekable);
        service = std::make_unique<MprisService>(&commands, &info);
        ASSERT_TRUE(service->registerOn(bus, playerctl::uniqueServiceName()));
        player = playerctl::playerName(service->serviceName());
    }

    void TearDown() override
    {
        service.reset();
        if (bus.isConnected())
            QDBusConnection::disconnectFromBus(bus.name());
    }

    static NowPlayingInfo rotationInfo()
    {
        NowPlayingInfo i;
        i.identifier = QStringLiteral("jazz#3");
        i.title = QStringLiteral("Blue Train");
        i.artist = QStringLiteral("John Coltrane");
        i.albumTitle = QStringLiteral("Jazz FM");
        i.playbackRate = 1.0;
        i.playbackDuration = 200.0;
        i.elapsedPlaybackTime = 42.0;
        return i;
    }

    playerctl::Result ctl(const QStringList &args) { return playerctl::run(player, args); }

    QDBusConnection bus{QString()};
    RemoteCommandCenter commands;
    NowPlayingInfoCenter info;
    std::unique_ptr<MprisService> service;
    QString player;
    QList<RemoteCommandEvent> events;
    bool canSkipTracks = true;
    bool canSeek = true;
};

} // namespace

TEST_F(MprisServiceTest, PublishesMetadataStatusAndPosition)
{
    NowPlayingInfo i = rotationInfo();
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    i.artwork = NowPlayingArtwork{QStringLiteral("/artwork/jazz.jpg"), picture, {}};
    info.setNowPlayingInfo(i);
    ASSERT_TRUE(waitFor([&] { return !service->artworkUrl().isEmpty(); }));

    const auto meta = ctl({QStringLiteral("metadata"), QStringLiteral("--format"),
                           QStringLiteral("{{title}}|{{artist}}|{{album}}|{{mpris:length}}|{{mpris:trackid}}")});
    ASSERT_EQ(meta.exitCode, 0) << meta.err.toStdString();
    const QStringList parts = meta.out.split(QLatin1Char('|'));
    ASSERT_EQ(parts.size(), 5) << meta.out.toStdString();
    EXPECT_EQ(parts[0], QStringLiteral("Blue Train"));
    EXPECT_EQ(parts[1], QStringLiteral("John Coltrane"));
    EXPECT_EQ(parts[2], QStringLiteral("Jazz FM"));
    EXPECT_EQ(parts[3], QStringLiteral("200000000"));
    // playerctl prints an object path in quotes.
    EXPECT_EQ(parts[4], QLatin1Char('\'') + MprisService::trackPath(QStringLiteral("jazz#3")).path() + QLatin1Char('\''));
    EXPECT_TRUE(parts[4].startsWith(QStringLiteral("'/org/melodrift/Radio/Track/")));

    const auto art = ctl({QStringLiteral("metadata"), QStringLiteral("mpris:artUrl")});
    ASSERT_EQ(art.exitCode, 0);
    const QUrl artUrl(art.out);
    EXPECT_TRUE(artUrl.isLocalFile()) << art.out.toStdString();
    EXPECT_TRUE(QFileInfo::exists(artUrl.toLocalFile()));
    EXPECT_FALSE(QImage(artUrl.toLocalFile()).isNull());

    EXPECT_EQ(ctl({QStringLiteral("status")}).out, QStringLiteral("Playing"));
    const double position = ctl({QStringLiteral("position")}).out.toDouble();
    EXPECT_GE(position, 42.0);
    EXPECT_LT(position, 60.0);

    // A live item: no length, and paused shows as such.
    NowPlayingInfo live;
    live.identifier = QStringLiteral("rock#Song");
    live.title = QStringLiteral("Song");
    live.playbackRate = 0.0;
    live.isLiveStream = true;
    live.mediaType = 1;
    info.setNowPlayingInfo(live);
    const auto length = ctl({QStringLiteral("metadata"), QStringLiteral("mpris:length")});
    EXPECT_NE(length.exitCode, 0) << length.out.toStdString();
    EXPECT_EQ(ctl({QStringLiteral("status")}).out, QStringLiteral("Paused"));
    EXPECT_EQ(ctl({QStringLiteral("metadata"), QStringLiteral("xesam:artist")}).exitCode == 0,
              false);

    const auto identity = QDBusMessage::createMethodCall(service->serviceName(), QStringLiteral("/org/mpris/MediaPlayer2"),
                                                         QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("GetAll"))
                          << QStringLiteral("org.mpris.MediaPlayer2");
    // Asked from another connection, so that our own loop answers it.
    QDBusConnection other = playerctl::privateSessionConnection();
    QDBusPendingCall pending = other.asyncCall(identity);
    ASSERT_TRUE(waitFor([&] { return pending.isFinished(); }));
    const QVariantMap root = qdbus_cast<QVariantMap>(pending.reply().arguments().value(0));
    EXPECT_EQ(root.value(QStringLiteral("Identity")).toString(), QStringLiteral("Melodrift Radio"));
    EXPECT_EQ(root.value(QStringLiteral("DesktopEntry")).toString(), QStringLiteral("melodrift-radio"));
    QDBusConnection::disconnectFromBus(other.name());
}

TEST_F(MprisServiceTest, ForwardsCommandsAndRefusesWhatThePlayerRefuses)
{
    info.setNowPlayingInfo(rotationInfo());

    EXPECT_EQ(ctl({QStringLiteral("play-pause")}).exitCode, 0);
    ASSERT_FALSE(events.isEmpty());
    EXPECT_EQ(events.last().command, RemoteCommand::TogglePlayPause);

    EXPECT_EQ(ctl({QStringLiteral("next")}).exitCode, 0);
    EXPECT_EQ(events.last().command, RemoteCommand::NextTrack);

    events.clear();
    EXPECT_EQ(ctl({QStringLiteral("position"), QStringLiteral("30")}).exitCode, 0);
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events.last().command, RemoteCommand::ChangePlaybackPosition);
    EXPECT_DOUBLE_EQ(events.last().positionTime.value_or(-1), 30.0);

    EXPECT_EQ(ctl({QStringLiteral("position"), QStringLiteral("10-")}).exitCode, 0);
    EXPECT_EQ(events.last().command, RemoteCommand::SkipBackward);
    EXPECT_DOUBLE_EQ(events.last().interval.value_or(-1), 10.0);
    EXPECT_EQ(ctl({QStringLiteral("position"), QStringLiteral("25+")}).exitCode, 0);
    EXPECT_EQ(events.last().command, RemoteCommand::SkipForward);
    EXPECT_DOUBLE_EQ(events.last().interval.value_or(-1), 25.0);

    EXPECT_EQ(ctl({QStringLiteral("volume"), QStringLiteral("0.5")}).exitCode, 0);
    EXPECT_EQ(events.last().command, RemoteCommand::ChangeVolume);
    EXPECT_DOUBLE_EQ(events.last().volume.value_or(-1), 0.5);

    // One track, live: next and seeking are refused and the capabilities say so.
    PropertiesWatcher watcher;
    QDBusConnection other = playerctl::privateSessionConnection();
    ASSERT_TRUE(watcher.listen(other, service->serviceName()));
    canSkipTracks = false;
    canSeek = false;
    commands.notifyAvailabilityChanged();
    ASSERT_TRUE(waitFor([&] { return watcher.sawChange(QStringLiteral("CanSeek")); }));
    EXPECT_TRUE(watcher.sawChange(QStringLiteral("CanGoNext")));
    EXPECT_EQ(ctl({QStringLiteral("metadata"), QStringLiteral("--format"), QStringLiteral("{{title}}")}).exitCode, 0);

    events.clear();
    const auto next = ctl({QStringLiteral("next")});
    EXPECT_NE(next.exitCode == 0 && next.err.isEmpty(), true) << "a refused next must be reported";
    const auto seek = ctl({QStringLiteral("position"), QStringLiteral("10+")});
    EXPECT_NE(seek.exitCode == 0 && seek.err.isEmpty(), true);
    for (const auto &e : events)
        EXPECT_NE(e.command, RemoteCommand::SkipForward);
    QDBusConnection::disconnectFromBus(other.name());
}

TEST_F(MprisServiceTest, SendsPropertiesChangedAndSeeked)
{
    PropertiesWatcher watcher;
    QDBusConnection other = playerctl::privateSessionConnection();
    ASSERT_TRUE(watcher.listen(other, service->serviceName()));

    qlonglong seekedTo = -1;
    QObject::connect(service.get(), &MprisService::seeked, [&](qlonglong us) { seekedTo = us; });

    info.setNowPlayingInfo(rotationInfo());
    ASSERT_TRUE(waitFor([&] { return watcher.sawChange(QStringLiteral("Metadata")); }));
    EXPECT_TRUE(watcher.sawChange(QStringLiteral("PlaybackStatus")));
    EXPECT_EQ(seekedTo, -1);

    // The same track at a position far from where it would be now: a seek.
    NowPlayingInfo moved = rotationInfo();
    moved.elapsedPlaybackTime = 150.0;
    info.setNowPlayingInfo(moved);
    EXPECT_GE(seekedTo, 150'000'000);
    EXPECT_LT(seekedTo, 151'000'000);

    // The next track starting at 0 is not a seek.
    seekedTo = -1;
    NowPlayingInfo next = rotationInfo();
    next.identifier = QStringLiteral("jazz#4");
    next.elapsedPlaybackTime = 0.0;
    info.setNowPlayingInfo(next);
    EXPECT_EQ(seekedTo, -1);
    const QString nextPath = MprisService::trackPath(next.identifier).path();
    ASSERT_TRUE(waitFor([&] {
        return !watcher.changes.isEmpty()
               && qdbus_cast<QVariantMap>(watcher.changes.last().value(QStringLiteral("Metadata")))
                          .value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path() == nextPath;
    }));

    watcher.changes.clear();
    NowPlayingInfo paused = next;
    paused.playbackRate = 0.0;
    info.setNowPlayingInfo(paused);
    ASSERT_TRUE(waitFor([&] { return watcher.sawChange(QStringLiteral("PlaybackStatus")); }));
    EXPECT_EQ(watcher.changes.last().value(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));
    EXPECT_FALSE(watcher.sawChange(QStringLiteral("Metadata")));
    QDBusConnection::disconnectFromBus(other.name());
}

TEST_F(MprisServiceTest, TakesAnInstanceNameWhenTheNameIsTaken)
{
    QDBusConnection second = playerctl::privateSessionConnection();
    RemoteCommandCenter c2;
    NowPlayingInfoCenter i2;
    {
        const QString base = service->serviceName();
        MprisService another(&c2, &i2);
        ASSERT_TRUE(another.registerOn(second, base));
        EXPECT_EQ(another.serviceName(),
                  base + QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid()))
            << another.serviceName().toStdString();
    }
    QDBusConnection::disconnectFromBus(second.name());
}

#include "MprisService_test.moc"
