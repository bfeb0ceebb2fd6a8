#include "RadioPlayerFixture.h"

#include "Platform/AudioSession.h"
#include "Services/EqTap.h"
#include "support/DemoCatalogue.h"
#include "support/QtPrinters.h"

#include <QSignalSpy>

using namespace radio_test;

TEST_F(RadioPlayerTest, StartsIdleWithItsDefaults)
{
    EXPECT_FALSE(player->currentStation());
    EXPECT_FALSE(player->currentStationValue().isValid());
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(player->isBuffering());
    EXPECT_TRUE(player->isLive());
    EXPECT_FLOAT_EQ(player->volume(), 0.85f);
    EXPECT_FLOAT_EQ(engine.volume, 0.85f);
    EXPECT_EQ(player->statusText(), QString());
    EXPECT_EQ(player->themeColor(), QColor::fromRgbF(0.39f, 0.40f, 0.95f));
    EXPECT_FALSE(player->isFullPlayerPresented());

    QSignalSpy volumeSpy(player.get(), &RadioPlayer::volumeChanged);
    player->setVolume(0.5f);
    player->setVolume(0.5f);
    EXPECT_EQ(volumeSpy.count(), 2); // every assignment is published
    EXPECT_FLOAT_EQ(engine.volume, 0.5f);
}

TEST_F(RadioPlayerTest, ARotationPlaysTheTrackAtItsNormalisedIndex)
{
    // No index: track 0, and the server's rotation stays in charge.
    select(rotation(QStringLiteral("jazz"), 3, std::nullopt));
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/stream/jazz?track=0")));
    EXPECT_FALSE(player->localTrackOverride());
    EXPECT_TRUE(player->wantsPlayback());
    EXPECT_TRUE(player->isBuffering());
    EXPECT_FALSE(player->isLive());
    EXPECT_EQ(player->statusText(), RadioPlayer::ConnectingText);
    EXPECT_EQ(engine.playCalls, 1);

    select(rotation(QStringLiteral("jazz"), 3, 7));
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/stream/jazz?track=1")));
    EXPECT_TRUE(player->localTrackOverride());

    select(rotation(QStringLiteral("jazz"), 3, -1));
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/stream/jazz?track=2")));

    // A track with its own address plays that address, resolved against the backend.
    Station own = rotation(QStringLiteral("rock"), 2, 1);
    (*own.tracks)[1].streamURL = QStringLiteral("/audio/rock-1.mp3");
    select(own);
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/audio/rock-1.mp3")));
    EXPECT_EQ(engine.items().size(), 4);
}

TEST_F(RadioPlayerTest, ALiveStationPlaysItsStreamAndABadAddressKeepsWhatPlays)
{
    select(live(QStringLiteral("pop"), QStringLiteral("Nova - Gold"), QStringLiteral("/live/pop")));
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/live/pop")));
    EXPECT_TRUE(player->isLive());

    select(rotation(QStringLiteral("jazz"), 2, 0));
    const int items = int(engine.items().size());
    select(live(QStringLiteral("broken"), QStringLiteral("x"), std::nullopt));
    EXPECT_EQ(player->statusText(), RadioPlayer::InvalidAddressText);
    EXPECT_EQ(int(engine.items().size()), items);
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/stream/jazz?track=0")));
    EXPECT_FALSE(player->isLive()); // unchanged: nothing new plays
    EXPECT_EQ(player->currentStation()->genre, QStringLiteral("broken"));

    // play() with no item but a station runs the whole selection again.
    FakePlaybackEngine fresh;
    RadioPlayer::Dependencies deps;
    deps.engine = &fresh;
    deps.stations = &source;
    deps.offline = m_lookup.get();
    RadioPlayer other(deps);
    other.select(live(QStringLiteral("broken"), QStringLiteral("x"), std::nullopt));
    QCoreApplication::processEvents();
    QStringList statuses;
    QObject::connect(&other, &RadioPlayer::statusTextChanged, [&] { statuses << other.statusText(); });
    other.play();
    QCoreApplication::processEvents();
    EXPECT_EQ(statuses, (QStringList{RadioPlayer::ConnectingText, RadioPlayer::InvalidAddressText}));
    EXPECT_EQ(fresh.playCalls, 0);
}

TEST_F(RadioPlayerTest, ADownloadedTrackPlaysFromItsFileAndSaysSo)
{
    // An index with the second jazz track downloaded.
    const QString downloads = m_dir.filePath(QStringLiteral("OfflineTracks"));
    ASSERT_TRUE(QDir().mkpath(downloads));
    ASSERT_TRUE(offline_test::writeFile(downloads + QStringLiteral("/A.mp3"), QByteArray("ID3 audio")));
    OfflineTrackEntry e;
    e.key = QStringLiteral("music|jazz-1");
    e.trackType = QStringLiteral("music");
    e.trackID = QStringLiteral("jazz-1");
    e.title = QStringLiteral("Song 1");
    e.audioFileName = QStringLiteral("A.mp3");
    e.sizeBytes = 9;
    e.downloadedAt = offline_test::utc(2024, 1, 1);
    ASSERT_TRUE(offline_test::writeFile(m_dir.filePath(QStringLiteral("offline_index.json")), OfflineIndex::encode({e})));
    m_offline = std::make_unique<OfflineStore>(m_dir.path(), m_client.get());
    m_lookup = std::make_unique<OfflineStoreLookup>(m_offline.get());
    createPlayer();

    const QString out = consoleOf([&] { select(rotation(QStringLiteral("jazz"), 3, 1)); });
    EXPECT_EQ(engine.currentUrl(), QUrl::fromLocalFile(downloads + QStringLiteral("/A.mp3")));
    EXPECT_EQ(out, QStringLiteral("[RadioPlayer] playing offline: Song 1\n"));

    // Its neighbour is not downloaded: the stream, and no offline line.
    const QString next = consoleOf([&] { player->nextTrack(); });
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/stream/jazz?track=2")));
    EXPECT_FALSE(next.contains(QStringLiteral("playing offline")));
}

TEST_F(RadioPlayerTest, FetchesTheTrackListOfAStationThatNeedsOne)
{
    select(songsara(QStringLiteral("songsara-piano")));
    ASSERT_EQ(source.hydrations.size(), 1);
    EXPECT_EQ(source.hydrations[0].genre, QStringLiteral("songsara-piano"));
    EXPECT_EQ(player->statusText(), RadioPlayer::FetchingTracksText);
    EXPECT_EQ(player->pendingHydrationGenre(), QStringLiteral("songsara-piano"));
    EXPECT_TRUE(engine.items().isEmpty());

    // A second selection of the same station plays at once and waits for the same fetch.
    select(songsara(QStringLiteral("songsara-piano")));
    EXPECT_EQ(source.hydrations.size(), 1);
    EXPECT_EQ(player->statusText(), RadioPlayer::InvalidAddressText); // no stream of its own

    Station filled = rotation(QStringLiteral("songsara-piano"), 4, 2);
    source.resolveHydration(0, filled);
    ASSERT_TRUE(waitUntil([&] { return !engine.items().isEmpty(); }));
    EXPECT_FALSE(player->pendingHydrationGenre());
    EXPECT_EQ(player->currentStation()->tracks->size(), 4);
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/stream/songsara-piano?track=2")));
    EXPECT_FALSE(player->localTrackOverride());
}

TEST_F(RadioPlayerTest, AFailedTrackListFetchPlaysTheStationAsItIs)
{
    Station s = songsara(QStringLiteral("songsara-rain"));
    s.streamURL = QStringLiteral("/live/rain");
    select(s);
    source.resolveHydration(0, std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return !engine.items().isEmpty(); }));
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/live/rain")));
    EXPECT_FALSE(player->pendingHydrationGenre());
    EXPECT_TRUE(player->isLive());
    // The status stays until playback starts.
    EXPECT_EQ(player->statusText(), RadioPlayer::FetchingTracksText);
}

TEST_F(RadioPlayerTest, ATrackListThatArrivesAfterAnotherChoiceIsDropped)
{
    select(songsara(QStringLiteral("songsara-a")));
    select(live(QStringLiteral("pop"), QStringLiteral("t"), QStringLiteral("/live/pop")));
    source.resolveHydration(0, rotation(QStringLiteral("songsara-a"), 3, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(player->currentStation()->genre, QStringLiteral("pop"));
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/live/pop")));
    EXPECT_EQ(engine.items().size(), 1);
    EXPECT_FALSE(player->pendingHydrationGenre());

    // Two fetches overlap: the older one ending does not clear the newer one's genre.
    select(songsara(QStringLiteral("songsara-b")));
    select(songsara(QStringLiteral("songsara-c")));
    ASSERT_EQ(source.hydrations.size(), 3);
    source.resolveHydration(1, rotation(QStringLiteral("songsara-b"), 3, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(player->pendingHydrationGenre(), QStringLiteral("songsara-c"));
    EXPECT_EQ(player->currentStation()->genre, QStringLiteral("songsara-c"));
    // So a repeat selection of c still waits for the running fetch instead of starting another.
    select(songsara(QStringLiteral("songsara-c")));
    EXPECT_EQ(source.hydrations.size(), 3);
    source.resolveHydration(2, rotation(QStringLiteral("songsara-c"), 2, 1));
    ASSERT_TRUE(waitUntil([&] { return engine.currentUrl() == backend(QStringLiteral("/stream/songsara-c?track=1")); }));
    EXPECT_FALSE(player->pendingHydrationGenre());
}

TEST_F(RadioPlayerTest, PreviousRestartsAfterFiveSecondsAndOtherwiseGoesBack)
{
    select(rotation(QStringLiteral("jazz"), 3, 1));
    becomePlaying(5.1);
    player->previousTrack();
    EXPECT_EQ(engine.seeks, QList<double>{0.0});
    EXPECT_EQ(player->currentStation()->trackIndex, 1);
    EXPECT_EQ(player->currentTime(), 0.0);

    becomePlaying(5.0);
    player->previousTrack();
    EXPECT_EQ(player->currentStation()->trackIndex, 0);
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/stream/jazz?track=0")));
    EXPECT_EQ(player->currentStation()->title, QStringLiteral("Song 0"));
    EXPECT_EQ(player->currentStation()->artist, QStringLiteral("Artist jazz-0"));
    EXPECT_FALSE(player->currentStation()->elapsedSeconds);

    // From the first track back to the last; next wraps to the first.
    engine.tick(1.0);
    player->previousTrack();
    EXPECT_EQ(player->currentStation()->trackIndex, 2);
    player->nextTrack();
    EXPECT_EQ(player->currentStation()->trackIndex, 0);
    EXPECT_TRUE(player->localTrackOverride());

    // One track: nothing to go to.
    select(rotation(QStringLiteral("solo"), 1, 0));
    const int items = int(engine.items().size());
    player->nextTrack();
    player->previousTrack();
    EXPECT_EQ(int(engine.items().size()), items);
}

TEST_F(RadioPlayerTest, ATrackWithItsOwnArtworkReplacesTheStationsWhenShifting)
{
    Station s = rotation(QStringLiteral("jazz"), 2, 0);
    (*s.tracks)[1].artworkURL = QStringLiteral("/artwork/jazz-1.jpg");
    select(s);
    player->nextTrack();
    EXPECT_EQ(player->currentStation()->artworkURL, QStringLiteral("/artwork/jazz-1.jpg"));
    player->nextTrack();
    EXPECT_EQ(player->currentStation()->artworkURL, QStringLiteral("/artwork/jazz-1.jpg"));
}

TEST_F(RadioPlayerTest, SeekingIsClampedAndSkippingNeedsAFiniteItem)
{
    select(rotation(QStringLiteral("jazz"), 3, 0));
    player->seek(500); // duration still 0: not clamped from above
    EXPECT_EQ(engine.seeks.last(), 500.0);
    becomePlaying(10.0, 200.0);
    player->seek(-3);
    EXPECT_EQ(engine.seeks.last(), 0.0);
    player->seek(500);
    EXPECT_EQ(engine.seeks.last(), 200.0);
    EXPECT_EQ(player->currentTime(), 200.0);
    player->seek(std::nan(""));
    EXPECT_EQ(engine.seeks.last(), 0.0);

    engine.tick(50.0);
    player->skip(10);
    EXPECT_EQ(engine.seeks.last(), 60.0);
    player->skip(-100);
    EXPECT_EQ(engine.seeks.last(), 0.0);

    // Live: skipping does nothing.
    select(live(QStringLiteral("pop"), QStringLiteral("t"), QStringLiteral("/live/pop")));
    becomePlaying(30.0, std::numeric_limits<double>::infinity());
    EXPECT_EQ(player->duration(), 0.0);
    const auto seeks = engine.seeks.size();
    player->skip(10);
    EXPECT_EQ(engine.seeks.size(), seeks);
}

// Unseen, the time is not followed every half second: what needs it asks the platform player,
// whose time ran on meanwhile (here 100 s, last followed at 40 s).
TEST_F(RadioPlayerTest, TheTimeUnseenIsAskedForWhenNeeded)
{
    struct Case {
        const char *name;
        std::function<void(RadioPlayer &)> act;
        double seekTo;
    };
    const Case cases[] = {
        {"a skip goes from where the audio is", [](RadioPlayer &p) { p.skip(10); }, 110.0},
        {"previous restarts the track", [](RadioPlayer &p) { p.previousTrack(); }, 0.0},
        {"a reconnect resumes where it broke off",
         [](RadioPlayer &p) { static_cast<FakePlaybackEngine *>(p.engine())->failCurrent(PlaybackEngine::Failure::ConnectionLost); },
         100.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        select(rotation(QStringLiteral("jazz"), 3, 1));
        becomePlaying(40.0, 180.0);
        player->setTimeShown(false);
        EXPECT_TRUE(engine.periodicTimeHeld);
        engine.position = 100.0;
        engine.seeks.clear();
        c.act(*player);
        ASSERT_TRUE(waitUntil([&] { return !engine.seeks.isEmpty(); }, 15'000));
        EXPECT_EQ(engine.seeks.last(), c.seekTo);
        player->setTimeShown(true);
        EXPECT_FALSE(engine.periodicTimeHeld);
    }

    // The system controls are told the time as it is, not as last followed.
    select(rotation(QStringLiteral("jazz"), 3, 1));
    becomePlaying(40.0, 180.0);
    player->setTimeShown(false);
    engine.position = 100.0;
    player->togglePlayPause();
    EXPECT_EQ(nowPlaying.nowPlayingInfo().elapsedPlaybackTime, 100.0);
    EXPECT_EQ(player->currentTime(), 100.0);
}

TEST_F(RadioPlayerTest, TheTimeObserverDrivesThePublishedState)
{
    select(live(QStringLiteral("pop"), QStringLiteral("A - B"), QStringLiteral("/live/pop")));
    // Buffering: requested, not yet playing.
    EXPECT_FALSE(player->isPlaying());
    EXPECT_TRUE(player->isBuffering());
    engine.status = TCS::WaitingToPlay;
    engine.tick(0.0);
    EXPECT_TRUE(player->isBuffering());
    EXPECT_FALSE(player->isMetadataPolling());

    // Playing: status cleared, the poll starts with an immediate fetch.
    becomePlaying(0.5);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_FALSE(player->isBuffering());
    EXPECT_EQ(player->statusText(), QString());
    EXPECT_TRUE(player->isMetadataPolling());
    EXPECT_EQ(source.fetchCount, 1);
    EXPECT_EQ(player->currentTime(), 0.5);

    // Stalls while playing: playing and buffering; then playing again.
    engine.status = TCS::WaitingToPlay;
    engine.tick(1.0);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_TRUE(player->isBuffering());
    engine.status = TCS::Playing;
    engine.tick(1.5);
    EXPECT_FALSE(player->isBuffering());
    EXPECT_EQ(source.fetchCount, 2);

    // A tick at 0 or a bad time keeps the position.
    engine.tick(std::nan(""));
    engine.tick(0.0);
    EXPECT_EQ(player->currentTime(), 1.5);

    // The listener pauses: idle; the poll keeps running (it returns at once while not playing).
    player->togglePlayPause();
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(player->isBuffering());
    EXPECT_FALSE(player->wantsPlayback());
    engine.tick(1.5);
    EXPECT_TRUE(player->isMetadataPolling());
    // Waiting without intent changes nothing.
    engine.status = TCS::WaitingToPlay;
    engine.tick(1.5);
    EXPECT_FALSE(player->isBuffering());

    // The platform played on although the listener paused, then paused: that stops the poll.
    engine.status = TCS::Playing;
    engine.tick(2.0);
    EXPECT_TRUE(player->isPlaying());
    engine.status = TCS::Paused;
    engine.tick(2.0);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(player->isMetadataPolling());

    // Resume.
    player->togglePlayPause();
    EXPECT_TRUE(player->wantsPlayback());
    EXPECT_TRUE(player->isBuffering());
    EXPECT_EQ(engine.status, TCS::WaitingToPlay);
}

TEST_F(RadioPlayerTest, AFailedItemIsLoggedOnEachTick)
{
    select(live(QStringLiteral("pop"), QStringLiteral("t"), QStringLiteral("/live/pop")));
    engine.current()->error = QStringLiteral("Could not open resource");
    engine.status = TCS::WaitingToPlay;
    const QString out = consoleOf([&] { engine.tick(0.0); });
    EXPECT_EQ(out, QStringLiteral("[RadioPlayer] item failed: Could not open resource\n"));
    EXPECT_TRUE(player->isBuffering());
    EXPECT_EQ(engine.items().size(), 1);
}

TEST_F(RadioPlayerTest, FollowsTheServersRotationOnlyWithoutAListenersChoice)
{
    Station s = rotation(QStringLiteral("jazz"), 4, std::nullopt);
    s.trackIndex.reset();
    select(s);
    Station server = s;
    server.trackIndex = 0;
    source.catalogue = {live(QStringLiteral("other"), QStringLiteral("x"), QStringLiteral("/live/x")), server};
    becomePlaying();
    // The immediate poll: index absent vs 0 counts as a change.
    ASSERT_TRUE(waitUntil([&] { return player->currentStation()->trackIndex == 0; }));

    server.trackIndex = 2;
    server.elapsedSeconds = 7;
    source.catalogue = {server};
    QString out = consoleOf([&] {
        player->refreshLiveMetadata();
        QCoreApplication::processEvents();
    });
    EXPECT_EQ(out, QStringLiteral("[RadioPlayer] server rotation: Song 0 -> Song 2\n"));
    EXPECT_EQ(player->currentStation()->trackIndex, 2);
    EXPECT_EQ(player->currentStation()->elapsedSeconds, 7.0);
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/stream/jazz?track=2")));
    EXPECT_EQ(nowPlaying.nowPlayingInfo().title, QStringLiteral("Song 2"));

    // The listener picks a track: the server's index is no longer followed.
    player->nextTrack();
    becomePlaying();
    server.trackIndex = 0;
    source.catalogue = {server};
    const int items = int(engine.items().size());
    player->refreshLiveMetadata();
    QCoreApplication::processEvents();
    EXPECT_EQ(player->currentStation()->trackIndex, 3);
    EXPECT_EQ(int(engine.items().size()), items);

    // A catalogue without the genre, or a failed fetch, changes nothing.
    source.catalogue = {live(QStringLiteral("other"), QStringLiteral("x"), QStringLiteral("/live/x"))};
    player->refreshLiveMetadata();
    source.failFetch = true;
    player->refreshLiveMetadata();
    QCoreApplication::processEvents();
    EXPECT_EQ(player->currentStation()->trackIndex, 3);
}

TEST_F(RadioPlayerTest, ThePollFollowsTheServerOnItsTimer)
{
    createPlayer(50);
    Station s = rotation(QStringLiteral("jazz"), 4, std::nullopt);
    source.catalogue = {s};
    select(s);
    becomePlaying();
    Station server = s;
    server.trackIndex = 3;
    source.catalogue = {server};
    ASSERT_TRUE(waitUntil([&] { return engine.currentUrl() == backend(QStringLiteral("/stream/jazz?track=3")); }));
    EXPECT_GE(source.fetchCount, 2);
}

TEST_F(RadioPlayerTest, ALiveStationTakesNewTitlesWithoutRestarting)
{
    Station s = live(QStringLiteral("pop"), QStringLiteral("Nova - Gold"), QStringLiteral("/live/pop"));
    select(s);
    becomePlaying();
    QCoreApplication::processEvents();
    Station server = s;
    server.title = QStringLiteral("Iris - Neon");
    server.artworkURL = QStringLiteral("/artwork/pop.jpg");
    source.catalogue = {server};
    const QString out = consoleOf([&] {
        player->refreshLiveMetadata();
        QCoreApplication::processEvents();
    });
    EXPECT_EQ(out, QStringLiteral("[RadioPlayer] live metadata: Nova - Gold -> Iris - Neon\n"));
    EXPECT_EQ(player->currentStation()->title, QStringLiteral("Iris - Neon"));
    EXPECT_EQ(player->currentStation()->displayTrackTitle(), QStringLiteral("Neon"));
    EXPECT_EQ(engine.items().size(), 1);
    EXPECT_EQ(nowPlaying.nowPlayingInfo().title, QStringLiteral("Neon"));
    EXPECT_EQ(nowPlaying.nowPlayingInfo().artist, QStringLiteral("Iris"));

    // The same metadata again: nothing printed.
    EXPECT_EQ(consoleOf([&] {
                  player->refreshLiveMetadata();
                  QCoreApplication::processEvents();
              }),
              QString());

    // A title that went absent counts as a change ("?" stands for it).
    server.title.reset();
    source.catalogue = {server};
    EXPECT_EQ(consoleOf([&] {
                  player->refreshLiveMetadata();
                  QCoreApplication::processEvents();
              }),
              QStringLiteral("[RadioPlayer] live metadata: Iris - Neon -> ?\n"));
}

TEST_F(RadioPlayerTest, APollThatEndsAfterAnotherChoiceChangesNothing)
{
    // A catalogue request that the test finishes later.
    struct SlowSource : FakeStationSource {
        std::shared_ptr<QPromise<QList<Station>>> pending;
        QCoro::Task<QList<Station>> fetchStations() override
        {
            pending = std::make_shared<QPromise<QList<Station>>>();
            QFuture<QList<Station>> f = pending->future();
            pending->start();
            co_return co_await f;
        }
    } slow;
    RadioPlayer::Dependencies deps;
    deps.engine = &engine;
    deps.stations = &slow;
    deps.offline = m_lookup.get();
    RadioPlayer p(deps);
    Station a = rotation(QStringLiteral("jazz"), 3, std::nullopt);
    p.select(a);
    engine.status = TCS::Playing;
    engine.tick(1.0); // starts the immediate poll
    ASSERT_TRUE(slow.pending);
    p.select(live(QStringLiteral("pop"), QStringLiteral("t"), QStringLiteral("/live/pop")));
    Station moved = a;
    moved.trackIndex = 2;
    slow.pending->addResult(QList<Station>{moved});
    slow.pending->finish();
    QCoreApplication::processEvents();
    EXPECT_EQ(p.currentStation()->genre, QStringLiteral("pop"));
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/live/pop")));
}

TEST_F(RadioPlayerTest, EndOfItemMovesOnOnlyForTheCurrentItem)
{
    select(rotation(QStringLiteral("jazz"), 3, 2));
    const auto first = engine.currentItem();
    becomePlaying();
    player->nextTrack(); // -> 0
    // The old item's end arrives late: ignored.
    engine.finish(first);
    EXPECT_EQ(player->currentStation()->trackIndex, 0);
    engine.finish(engine.currentItem());
    EXPECT_EQ(player->currentStation()->trackIndex, 1);
    EXPECT_EQ(engine.currentUrl(), backend(QStringLiteral("/stream/jazz?track=1")));

    select(rotation(QStringLiteral("solo"), 1, 0));
    becomePlaying();
    EXPECT_TRUE(player->isPlaying());
    engine.finish(engine.currentItem());
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(nowPlaying.nowPlayingInfo().playbackRate, 0.0);
}

TEST_F(RadioPlayerTest, InterruptionsAndLostOutputs)
{
    select(live(QStringLiteral("pop"), QStringLiteral("t"), QStringLiteral("/live/pop")));
    becomePlaying();
    player->handleInterruption(1u, 0);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(player->isMetadataPolling());
    EXPECT_EQ(engine.status, TCS::Paused);
    EXPECT_TRUE(player->wantsPlayback());

    // Ended without should-resume: stays paused; with it: plays and buffers.
    const int plays = engine.playCalls;
    player->handleInterruption(0u, 0);
    EXPECT_EQ(engine.playCalls, plays);
    player->handleInterruption(0u, 1);
    EXPECT_EQ(engine.playCalls, plays + 1);
    EXPECT_TRUE(player->isBuffering());
    player->handleInterruption(std::nullopt, 1);
    player->handleInterruption(7u, 1);
    EXPECT_EQ(engine.playCalls, plays + 1);

    // The headphones went away: play on when the listener wants sound.
    player->handleRouteChange(2u);
    EXPECT_EQ(engine.playCalls, plays + 2);
    player->handleRouteChange(1u);
    EXPECT_EQ(engine.playCalls, plays + 2);
    player->togglePlayPause(); // not playing: resumes
    becomePlaying();
    player->togglePlayPause(); // pauses by intent
    player->handleRouteChange(2u);
    player->handleInterruption(0u, 1);
    EXPECT_EQ(engine.playCalls, plays + 3);
}

TEST_F(RadioPlayerTest, RemoteCommandsAnswerAndActLater)
{
    using S = RemoteCommandStatus;
    auto send = [&](RemoteCommand c, std::optional<double> interval = {}, std::optional<double> pos = {}) {
        return commands.dispatch({c, interval, pos, {}});
    };
    // Live station: no skipping, seeking or track changes.
    select(live(QStringLiteral("pop"), QStringLiteral("t"), QStringLiteral("/live/pop")));
    becomePlaying(3.0, 0.0);
    EXPECT_EQ(send(RemoteCommand::SkipForward, 10.0), S::CommandFailed);
    EXPECT_EQ(send(RemoteCommand::ChangePlaybackPosition, {}, 30.0), S::CommandFailed);
    EXPECT_EQ(send(RemoteCommand::NextTrack), S::CommandFailed);
    EXPECT_EQ(send(RemoteCommand::PreviousTrack), S::CommandFailed);
    EXPECT_FALSE(commands.isAvailable(RemoteCommand::NextTrack));
    EXPECT_FALSE(commands.isAvailable(RemoteCommand::ChangePlaybackPosition));
    QCoreApplication::processEvents();
    EXPECT_TRUE(engine.seeks.isEmpty());

    // Pause acts later, not while the command is being answered.
    EXPECT_EQ(send(RemoteCommand::Pause), S::Success);
    EXPECT_TRUE(player->isPlaying());
    QCoreApplication::processEvents();
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(player->wantsPlayback());
    EXPECT_EQ(send(RemoteCommand::TogglePlayPause), S::Success);
    QCoreApplication::processEvents();
    EXPECT_TRUE(player->wantsPlayback());

    // A rotation with a known duration.
    select(rotation(QStringLiteral("jazz"), 3, 0));
    becomePlaying(40.0, 200.0);
    EXPECT_TRUE(commands.isAvailable(RemoteCommand::NextTrack));
    EXPECT_TRUE(commands.isAvailable(RemoteCommand::SkipBackward));
    EXPECT_EQ(commands.preferredIntervals(RemoteCommand::SkipForward), QList<double>{10.0});
    EXPECT_EQ(send(RemoteCommand::SkipForward, 15.0), S::Success);
    QCoreApplication::processEvents();
    EXPECT_EQ(engine.seeks.last(), 55.0);
    EXPECT_EQ(send(RemoteCommand::SkipBackward), S::Success); // no interval: 10 s
    QCoreApplication::processEvents();
    EXPECT_EQ(engine.seeks.last(), 45.0);
    EXPECT_EQ(send(RemoteCommand::ChangePlaybackPosition), S::CommandFailed); // no position
    EXPECT_EQ(send(RemoteCommand::ChangePlaybackPosition, {}, 120.0), S::Success);
    QCoreApplication::processEvents();
    EXPECT_EQ(engine.seeks.last(), 120.0);
    EXPECT_EQ(send(RemoteCommand::NextTrack), S::Success);
    QCoreApplication::processEvents();
    EXPECT_EQ(player->currentStation()->trackIndex, 1);
    EXPECT_EQ(commands.dispatch({RemoteCommand::ChangeVolume, {}, {}, 0.25}), S::Success);
    QCoreApplication::processEvents();
    EXPECT_FLOAT_EQ(player->volume(), 0.25f);
    EXPECT_DOUBLE_EQ(commands.volume(), 0.25);

    // A player that is gone answers nothing.
    player.reset();
    EXPECT_EQ(send(RemoteCommand::Play), S::NoHandler);
}

TEST_F(RadioPlayerTest, NowPlayingTexts)
{
    // Nothing selected yet.
    player->seek(0);
    NowPlayingInfo info = nowPlaying.nowPlayingInfo();
    EXPECT_EQ(info.title, QStringLiteral("ملودریفت رادیو"));
    EXPECT_FALSE(info.artist);
    EXPECT_FALSE(info.albumTitle);
    EXPECT_TRUE(info.isLiveStream);
    EXPECT_TRUE(info.identifier.isEmpty());

    // Live: the title split into song and artist, no times, the live flag.
    select(live(QStringLiteral("pop"), QStringLiteral("Nova Lane - Golden Hour"), QStringLiteral("/live/pop")));
    becomePlaying(12.0, 0.0);
    info = nowPlaying.nowPlayingInfo();
    EXPECT_EQ(info.title, QStringLiteral("Golden Hour"));
    EXPECT_EQ(info.artist, QStringLiteral("Nova Lane"));
    EXPECT_EQ(info.albumTitle, QStringLiteral("Live pop"));
    EXPECT_EQ(info.playbackRate, 1.0);
    EXPECT_FALSE(info.playbackDuration);
    EXPECT_FALSE(info.elapsedPlaybackTime);
    EXPECT_TRUE(info.isLiveStream);
    EXPECT_EQ(info.mediaType, 1);
    EXPECT_EQ(info.identifier, QStringLiteral("pop#Golden Hour"));

    // Without an artist the station's name stands in.
    select(live(QStringLiteral("talk"), QStringLiteral("Morning Show"), QStringLiteral("/live/talk")));
    EXPECT_EQ(nowPlaying.nowPlayingInfo().artist, QStringLiteral("Live talk"));

    // A rotation: duration and elapsed time, not live.
    select(rotation(QStringLiteral("jazz"), 3, 1));
    becomePlaying(42.0, 180.0);
    info = nowPlaying.nowPlayingInfo();
    EXPECT_EQ(info.title, QStringLiteral("Song 1"));
    EXPECT_EQ(info.artist, QStringLiteral("Artist jazz-1"));
    EXPECT_EQ(info.albumTitle, QStringLiteral("Station jazz"));
    EXPECT_EQ(info.playbackDuration, 180.0);
    EXPECT_EQ(info.elapsedPlaybackTime, 42.0);
    EXPECT_FALSE(info.isLiveStream);
    EXPECT_EQ(info.identifier, QStringLiteral("jazz#1"));
    player->togglePlayPause();
    EXPECT_EQ(nowPlaying.nowPlayingInfo().playbackRate, 0.0);
}

TEST_F(RadioPlayerTest, ArtworkIsFetchedOncePerKeyAndGivesTheThemeColour)
{
    const QByteArray jpeg = standin::artworkJpeg(QStringLiteral("jazz"), 64);
    source.artwork.insert(backend(QStringLiteral("/artwork/jazz.jpg")), jpeg);
    QSignalSpy colour(player.get(), &RadioPlayer::themeColorChanged);
    select(rotation(QStringLiteral("jazz"), 3, 0));
    ASSERT_TRUE(waitUntil([&] { return player->artworkCached(QStringLiteral("/artwork/jazz.jpg")); }));
    EXPECT_EQ(player->themeColor(), QColor(Qt::red));
    EXPECT_EQ(colour.count(), 1);
    ASSERT_TRUE(nowPlaying.nowPlayingInfo().artwork);
    EXPECT_EQ(nowPlaying.nowPlayingInfo().artwork->key, QStringLiteral("/artwork/jazz.jpg"));
    EXPECT_EQ(nowPlaying.nowPlayingInfo().artwork->boundsSize(), QSize(64, 64));
    EXPECT_EQ(nowPlaying.nowPlayingInfo().artwork->data, jpeg);
    player->nextTrack();
    player->nextTrack();
    QCoreApplication::processEvents();
    EXPECT_EQ(source.downloads.size(), 1);

    // No artwork address: the genre is the key and nothing is fetched.
    Station bare = live(QStringLiteral("bare"), QStringLiteral("t"), QStringLiteral("/live/bare"));
    select(bare);
    EXPECT_EQ(player->artworkKey(), QStringLiteral("bare"));
    EXPECT_EQ(source.downloads.size(), 1);

    // A failed download leaves the key free for a later try.
    select(rotation(QStringLiteral("rock"), 2, 0));
    ASSERT_TRUE(waitUntil([&] { return source.downloads.size() == 2; }));
    QCoreApplication::processEvents();
    source.artwork.insert(backend(QStringLiteral("/artwork/rock.jpg")), jpeg);
    player->seek(0);
    ASSERT_TRUE(waitUntil([&] { return player->artworkCached(QStringLiteral("/artwork/rock.jpg")); }));
    EXPECT_EQ(source.downloads.size(), 3);
}

TEST_F(RadioPlayerTest, TheArtworkCacheIsBounded)
{
    const QByteArray jpeg = standin::artworkJpeg(QStringLiteral("x"), 16);
    // A live station whose title changes on every poll gets a new artwork address each time.
    Station s = live(QStringLiteral("pop"), QStringLiteral("A - 0"), QStringLiteral("/live/pop"));
    s.artworkURL = QStringLiteral("/artwork/pop.jpg");
    for (int i = 0; i < RadioPlayer::ArtworkCacheLimit + 8; ++i) {
        s.title = QStringLiteral("A - %1").arg(i);
        source.artwork.insert(*m_client->absolute(currentTrackArtworkURL(s, *m_offline)), jpeg);
        select(s);
        const QString key = player->artworkKey();
        ASSERT_TRUE(waitUntil([&] { return player->artworkCached(key); }));
    }
    EXPECT_EQ(player->artworkCacheSize(), RadioPlayer::ArtworkCacheLimit);
    EXPECT_TRUE(player->artworkCached(player->artworkKey()));
}

TEST_F(RadioPlayerTest, TheAudioSessionIsConfiguredAndItsNotificationsArrive)
{
    AudioSession &session = AudioSession::sharedInstance();
    RadioPlayer::Dependencies deps;
    deps.engine = &engine;
    deps.stations = &source;
    deps.offline = m_lookup.get();
    deps.audioSession = &session;
    session.failNextCall(QStringLiteral("no output"));
    std::unique_ptr<RadioPlayer> p;
    const QString out = consoleOf([&] { p = std::make_unique<RadioPlayer>(deps); });
    EXPECT_EQ(out, QStringLiteral("[RadioPlayer] Audio session error: no output\n"));

    // Run again (as after the microphone was used), it succeeds.
    p->configureAudioSession();
    EXPECT_EQ(session.category(), AudioSession::Category::Playback);
    p->select(live(QStringLiteral("pop"), QStringLiteral("t"), QStringLiteral("/live/pop")));
    EXPECT_TRUE(session.isActive());
    engine.status = TCS::Playing;
    engine.tick(1.0);
    ASSERT_TRUE(p->isPlaying());

    session.postInterruption({{AudioSession::InterruptionTypeKey, uint(AudioSession::InterruptionBegan)}});
    ASSERT_TRUE(waitUntil([&] { return !p->isPlaying(); }));
    const int plays = engine.playCalls;
    session.postRouteChange({{AudioSession::RouteChangeReasonKey, uint(AudioSession::OldDeviceUnavailable)}});
    ASSERT_TRUE(waitUntil([&] { return engine.playCalls == plays + 1; }));
    session.postInterruption({{AudioSession::InterruptionTypeKey, uint(AudioSession::InterruptionEnded)},
                              {AudioSession::InterruptionOptionKey, uint(AudioSession::InterruptionShouldResume)}});
    ASSERT_TRUE(waitUntil([&] { return engine.playCalls == plays + 2; }));
    EXPECT_TRUE(p->isBuffering());
}

TEST_F(RadioPlayerTest, EachItemGetsItsOwnEqualiserTap)
{
    RadioPlayer::Dependencies deps;
    deps.engine = &engine;
    deps.stations = &source;
    deps.offline = m_lookup.get();
    deps.makeTap = [] { return EqTap::makeTap(); };
    RadioPlayer p(deps);
    engine.nextAudioTracks = {7, 8};
    QString out = consoleOf([&] {
        p.select(rotation(QStringLiteral("jazz"), 3, 0));
        p.nextTrack();
    });
    EXPECT_EQ(out, QStringLiteral("[RadioPlayer] EQ tap bound to track 7\n[RadioPlayer] EQ tap bound to track 7\n"));
    ASSERT_EQ(engine.items().size(), 2);
    EXPECT_TRUE(engine.items()[0].tap);
    EXPECT_TRUE(engine.items()[1].tap);
    EXPECT_NE(engine.items()[0].tap, engine.items()[1].tap);
    EXPECT_EQ(engine.items()[1].tapTrack, 7);

    // No audio track: no tap and nothing printed.
    engine.nextAudioTracks = {};
    out = consoleOf([&] { p.nextTrack(); });
    EXPECT_EQ(out, QString());
    EXPECT_FALSE(engine.items().last().tap);

    // The tap cannot be made: the item plays without the equaliser.
    engine.nextAudioTracks = {1};
    AudioProcessingTap::failNextCreation(-50);
    out = consoleOf([&] { p.nextTrack(); });
    EXPECT_FALSE(out.contains(QStringLiteral("EQ tap bound")));
    EXPECT_FALSE(engine.items().last().tap);
    EXPECT_EQ(engine.playCalls, 4);
}
