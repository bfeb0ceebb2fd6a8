#include "Platform/AudioPlayer.h"
#include "Platform/AudioSession.h"
#include "Services/APIClient.h"
#include "Services/ArtworkColorExtractor.h"
#include "Services/EqTap.h"
#include "Services/GstPlaybackEngine.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "Platform/NowPlayingInfo.h"
#include "support/DemoCatalogue.h"
#include "support/HostileRoutes.h"
#include "support/PlaybackTestSupport.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"
#include "support/TaskOutcome.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QElapsedTimer>
#include <QJsonObject>
#include <gtest/gtest.h>

using testsupport::waitUntil;

namespace {

// The whole player against the stand-in backend: catalogue, track lists and audio over HTTP,
// played by GStreamer into a fake output that consumes in real time.
class RadioPlayerPlaybackTest : public ::testing::Test
{
protected:
    static constexpr int PollMs = 2000;

    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0);
        catalogue = standin::installDemoCatalogue(server);
        standin::installAudioRoutes(server);
        ASSERT_TRUE(m_dir.isValid());
        APIClient::Options options;
        options.baseURL = server.baseUrl();
        client = std::make_unique<APIClient>(options);
        source = std::make_unique<APIStationSource>(client.get());
        offline = std::make_unique<OfflineStore>(m_dir.path(), client.get());
        lookup = std::make_unique<OfflineStoreLookup>(offline.get());
        engine = std::make_unique<GstPlaybackEngine>(nullptr, testsupport::makeFakeAudioSink(true));
        RadioPlayer::Dependencies deps;
        deps.engine = engine.get();
        deps.stations = source.get();
        deps.offline = lookup.get();
        deps.audioSession = &AudioSession::sharedInstance();
        deps.metadataPollIntervalMs = PollMs;
        deps.nowPlaying = &nowPlaying;
        deps.makeTap = [] { return EqTap::makeTap(); };
        deps.vibrantColor = [](const QImage &image) { return ArtworkColorExtractor::vibrantColor(image); };
        player = std::make_unique<RadioPlayer>(deps);
    }

    Station catalogueStation(const QString &genre)
    {
        auto outcome = testing_support::runTask(client->fetchStations());
        EXPECT_TRUE(outcome.ok());
        for (const Station &s : outcome.value.value_or(QList<Station>{}))
            if (s.genre == genre)
                return s;
        ADD_FAILURE() << "no station " << genre.toStdString();
        return {};
    }

    int post(const QString &path)
    {
        QNetworkAccessManager nam;
        QNetworkReply *reply = nam.post(QNetworkRequest(server.baseUrl().resolved(QUrl(path))), QByteArray());
        waitUntil([&] { return reply->isFinished(); });
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        reply->deleteLater();
        return status;
    }

    QUrl playingUrl() const
    {
        const PlayerItemPtr item = engine->player().currentItem();
        return item ? item->url() : QUrl();
    }

    QUrl url(const QString &pathAndQuery) const { return server.baseUrl().resolved(QUrl(pathAndQuery)); }

    standin::StandInServer server;
    std::shared_ptr<standin::DemoCatalogue> catalogue;
    QTemporaryDir m_dir;
    std::unique_ptr<APIClient> client;
    std::unique_ptr<APIStationSource> source;
    std::unique_ptr<OfflineStore> offline;
    std::unique_ptr<OfflineLookup> lookup;
    std::unique_ptr<GstPlaybackEngine> engine;
    NowPlayingInfoCenter nowPlaying;
    std::unique_ptr<RadioPlayer> player;
};

} // namespace

TEST_F(RadioPlayerPlaybackTest, PlaysTheRotationAndFollowsTheServerWithinOnePoll)
{
    testsupport::StdoutCapture console;
    // The station as a card hands it over: the server decides the track.
    Station persian = catalogueStation(QStringLiteral("persian"));
    ASSERT_TRUE(persian.hasTracks());
    persian.trackIndex.reset();
    player->select(persian);
    EXPECT_EQ(playingUrl(), url(QStringLiteral("/stream/persian?track=0")));

    // Plays for real, then the immediate poll moves it to the server's track 2.
    ASSERT_TRUE(waitUntil([&] { return player->isPlaying(); }));
    ASSERT_TRUE(waitUntil([&] { return playingUrl() == url(QStringLiteral("/stream/persian?track=2")); }));
    ASSERT_TRUE(waitUntil([&] { return player->isPlaying() && player->currentTime() > 0.2; }));
    EXPECT_EQ(player->statusText(), QString());
    ASSERT_TRUE(waitUntil([&] { return player->duration() > 5.0; }));
    // The track's cover came from the backend and tints the theme.
    ASSERT_TRUE(waitUntil([&] { return player->artworkCached(QStringLiteral("/artwork/persian-3.jpg")); }));
    EXPECT_NE(player->themeColor(), QColor::fromRgbF(0.39f, 0.40f, 0.95f));
    EXPECT_FALSE(player->isLive());

    // The server moves on; the player follows within one poll.
    ASSERT_EQ(post(QStringLiteral("/control/advance/persian")), 200);
    QElapsedTimer followed;
    followed.start();
    ASSERT_TRUE(waitUntil([&] { return playingUrl() == url(QStringLiteral("/stream/persian?track=3")); },
                          PollMs + 15000));
    EXPECT_EQ(player->currentStation()->trackIndex, 3);
    ASSERT_TRUE(waitUntil([&] { return player->isPlaying() && player->currentTime() > 0.2; }));

    const QString out = QString::fromUtf8(console.text());
    EXPECT_TRUE(out.contains(QStringLiteral("[RadioPlayer] server rotation: باران پاییزی -> ستاره‌ی شب\n")))
        << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[RadioPlayer] server rotation: ستاره‌ی شب -> دریای آرام\n")));
    EXPECT_GE(server.countRequests(QStringLiteral("/api/stations")), 2);
    // The equaliser runs on what plays (an item replaced before it opened gets none).
    EXPECT_GE(out.count(QStringLiteral("[RadioPlayer] EQ tap bound to track ")), 2) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[EqTap] prepare: sr=44100.0 ch=2")));
    ASSERT_TRUE(waitUntil([&] { return engine->player().currentItem()->audioMix().inputParameters.size() == 1; }));
}

TEST_F(RadioPlayerPlaybackTest, ALiveStreamTakesNewTitlesWithoutReconnecting)
{
    testsupport::StdoutCapture console;
    player->select(catalogueStation(QStringLiteral("pop-live")));
    ASSERT_TRUE(waitUntil([&] { return player->isPlaying(); }));
    EXPECT_TRUE(player->isLive());
    EXPECT_EQ(player->duration(), 0.0);
    const PlayerItemPtr item = engine->player().currentItem();
    const int liveRequests = server.countRequests(QStringLiteral("/live/pop-live"));

    QJsonObject changed = catalogue->station(QStringLiteral("pop-live"));
    changed.insert(QStringLiteral("title"), QStringLiteral("Iris Vale - Neon Rain"));
    catalogue->replaceStation(changed);
    ASSERT_TRUE(waitUntil([&] { return player->currentStation()->displayTrackTitle() == QStringLiteral("Neon Rain"); },
                          PollMs + 15000));
    EXPECT_EQ(engine->player().currentItem(), item);
    EXPECT_EQ(server.countRequests(QStringLiteral("/live/pop-live")), liveRequests);
    EXPECT_TRUE(QString::fromUtf8(console.text())
                    .contains(QStringLiteral("[RadioPlayer] live metadata: Nova Lane - Golden Hour -> Iris Vale - Neon Rain\n")));

    // Pause and resume through the real pipeline.
    player->togglePlayPause();
    ASSERT_TRUE(waitUntil([&] { return engine->timeControlStatus() == PlaybackEngine::TimeControlStatus::Paused; }));
    EXPECT_FALSE(player->isPlaying());
    player->togglePlayPause();
    ASSERT_TRUE(waitUntil([&] { return player->isPlaying(); }));
}

TEST_F(RadioPlayerPlaybackTest, FetchesASongsaraTrackListThenPlaysIt)
{
    player->select(catalogueStation(QStringLiteral("songsara-piano")));
    EXPECT_EQ(player->statusText(), RadioPlayer::FetchingTracksText);
    ASSERT_TRUE(waitUntil([&] { return player->isPlaying(); }));
    EXPECT_EQ(player->currentStation()->genre, QStringLiteral("songsara-piano"));
    EXPECT_EQ(player->currentStation()->tracks->size(), 4);
    EXPECT_EQ(playingUrl(), url(QStringLiteral("/audio/piano-1.mp3")));
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/songsara/playlist/piano")), 1);

    // Seek and skip on the real item.
    ASSERT_TRUE(waitUntil([&] { return player->duration() > 5.0; }));
    player->seek(6.0);
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() >= 6.0 && player->isPlaying(); }));
    player->skip(-10);
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() < 3.0; }));
}

TEST_F(RadioPlayerPlaybackTest, AnAudioSessionInterruptionPausesAndResumes)
{
    player->select(catalogueStation(QStringLiteral("jazz")));
    ASSERT_TRUE(waitUntil([&] { return player->isPlaying(); }));
    AudioSession &session = AudioSession::sharedInstance();
    EXPECT_EQ(session.category(), AudioSession::Category::Playback);
    EXPECT_TRUE(session.isActive());

    session.postInterruption({{AudioSession::InterruptionTypeKey, uint(AudioSession::InterruptionBegan)}});
    ASSERT_TRUE(waitUntil([&] { return !player->isPlaying(); }));
    EXPECT_FALSE(player->isMetadataPolling());
    session.postInterruption({{AudioSession::InterruptionTypeKey, uint(AudioSession::InterruptionEnded)},
                              {AudioSession::InterruptionOptionKey, uint(AudioSession::InterruptionShouldResume)}});
    ASSERT_TRUE(waitUntil([&] { return player->isPlaying(); }));
    EXPECT_TRUE(player->isMetadataPolling());
}

// The stand-in's "Stalls" track: its server sends a quarter of the track and then nothing while
// keeping the connection open. The player waits where the audio stopped (the system controls
// neither say playing nor run the position on), then the item fails and it still waits.
TEST_F(RadioPlayerPlaybackTest, AStalledTrackWaitsWhereTheAudioStoppedAndThenFails)
{
    testsupport::StdoutCapture console;
    standin::installHostileRoutes(server);
    engine->player().setStallFailureSeconds(4);
    Station rotation;
    for (const QJsonValue &station : standin::hostileCatalogue(server.baseUrl()).stations)
        if (station[QStringLiteral("genre")] == QStringLiteral("hostile-rotation"))
            rotation = Station::fromJson(station);
    ASSERT_EQ(rotation.displayTrackTitle(), QStringLiteral("Stalls"));
    player->select(rotation);
    ASSERT_TRUE(waitUntil([&] { return player->isPlaying() && !player->isBuffering(); }));
    EXPECT_EQ(nowPlaying.nowPlayingInfo().playbackRate, 1.0);

    // 15 s of the 60 s track arrive.
    ASSERT_TRUE(waitUntil([&] { return player->isBuffering(); }, 40000));
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(nowPlaying.nowPlayingInfo().playbackRate, 0.0);
    const double stoppedAt = player->currentTime();
    EXPECT_GT(stoppedAt, 10.0);
    EXPECT_LT(stoppedAt, 17.0);
    EXPECT_LE(nowPlaying.nowPlayingInfo().elapsedPlaybackTime.value_or(0), stoppedAt + 0.01);

    ASSERT_TRUE(waitUntil([&] { return engine->currentItemError().has_value(); }, 30000));
    ASSERT_TRUE(waitUntil([&] { return console.text().contains("[RadioPlayer] item failed"); }));
    EXPECT_TRUE(player->isBuffering());
    EXPECT_EQ(nowPlaying.nowPlayingInfo().playbackRate, 0.0);
    EXPECT_LT(player->currentTime(), stoppedAt + 2.0);
}
