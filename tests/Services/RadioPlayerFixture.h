#pragma once

#include "OfflineTestSupport.h"

#include "Platform/NowPlayingInfo.h"
#include "Platform/RemoteCommandCenter.h"
#include "Services/APIClient.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "support/FakePlaybackEngine.h"
#include "support/FakeStationSource.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// The radio player over a fake engine and a fake backend: the test says what the platform player
// reports and what the backend answers.
namespace radio_test {

using offline_test::waitUntil;
using TCS = PlaybackEngine::TimeControlStatus;

inline PlaylistTrack makeTrack(const QString &id, const QString &title, std::optional<QString> stream = {},
                        std::optional<QString> artwork = {})
{
    PlaylistTrack t;
    t.trackType = QStringLiteral("music");
    t.trackID = id;
    t.title = title;
    t.artist = QStringLiteral("Artist ") + id;
    t.streamURL = std::move(stream);
    t.artworkURL = std::move(artwork);
    t.duration = 200;
    return t;
}

inline Station rotation(const QString &genre, int count, std::optional<qint64> index)
{
    Station s;
    s.genre = genre;
    s.serverName = QStringLiteral("Station ") + genre;
    s.artworkURL = QStringLiteral("/artwork/") + genre + QStringLiteral(".jpg");
    s.trackIndex = index;
    QList<PlaylistTrack> tracks;
    for (int i = 0; i < count; ++i)
        tracks << makeTrack(genre + QLatin1Char('-') + QString::number(i), QStringLiteral("Song %1").arg(i));
    s.tracks = tracks;
    s.trackCount = count;
    return s;
}

inline Station live(const QString &genre, const QString &title, std::optional<QString> stream)
{
    Station s;
    s.genre = genre;
    s.serverName = QStringLiteral("Live ") + genre;
    s.title = title;
    s.streamURL = std::move(stream);
    return s;
}

inline Station songsara(const QString &genre)
{
    Station s;
    s.genre = genre;
    s.source = QStringLiteral("songsara");
    s.serverName = QStringLiteral("Songsara");
    return s;
}

inline QUrl backend(const QString &path)
{
    return QUrl(QStringLiteral("http://backend.test") + path);
}

class RadioPlayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        APIClient::Options options;
        options.baseURL = QUrl(QStringLiteral("http://backend.test"));
        m_client = std::make_unique<APIClient>(options);
        m_offline = std::make_unique<OfflineStore>(m_dir.path(), m_client.get());
        m_lookup = std::make_unique<OfflineStoreLookup>(m_offline.get());
        createPlayer();
    }

    void createPlayer(int pollMs = 15'000, ReconnectSchedule::Options reconnect = {})
    {
        player.reset();
        RadioPlayer::Dependencies deps;
        deps.reconnect = std::move(reconnect);
        deps.engine = &engine;
        deps.stations = &source;
        deps.offline = m_lookup.get();
        deps.commands = &commands;
        deps.nowPlaying = &nowPlaying;
        deps.vibrantColor = [](const QImage &) { return std::optional<QColor>(QColor(Qt::red)); };
        deps.metadataPollIntervalMs = pollMs;
        player = std::make_unique<RadioPlayer>(deps);
    }

    // The player reaches the playing state for the current item.
    void becomePlaying(double at = 1.0, double duration = 200.0)
    {
        if (auto *item = engine.current())
            item->duration = duration;
        engine.status = TCS::Playing;
        engine.tick(at);
    }

    void select(const Station &s)
    {
        player->select(s);
        QCoreApplication::processEvents();
    }

    QString consoleOf(const std::function<void()> &work)
    {
        testing::internal::CaptureStdout();
        work();
        return QString::fromStdString(testing::internal::GetCapturedStdout());
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
};

} // namespace radio_test
