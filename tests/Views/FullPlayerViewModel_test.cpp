#include "ShellFixture.h"

#include "FullPlayerViewModel.h"
#include "support/AccountState.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

// The full player's screen model without pixels: its layout rule, the drag that closes it, the
// time texts, the record's switch, the transport's enabling and the favourite, against the real
// player (over a fake platform player) and the stand-in backend.

using quickhost::waitFor;
using TCS = PlaybackEngine::TimeControlStatus;

namespace {

class FullPlayerModelTest : public ShellFixture
{
protected:
    std::unique_ptr<FullPlayerViewModel> makeScreen()
    {
        return std::make_unique<FullPlayerViewModel>(player.get(), auth.get(), offline.get());
    }
    void play(const QString &genre, double duration)
    {
        player->select(catalogueStation(genre));
        settle();
        if (auto *item = engine.current())
            item->duration = duration;
        engine.status = TCS::Playing;
        engine.tick(1.0);
    }
    void signIn()
    {
        ASSERT_TRUE(testing_support::runTask(auth->login(standin::AccountState::demoUsername,
                                                         standin::AccountState::demoPassword)).ok());
        ASSERT_TRUE(auth->isAuthed());
    }
};

} // namespace

TEST(FullPlayerRules, LayoutByTheSpaceGiven)
{
    struct Row { double w, h; bool compact; double side, play, margin; };
    const Row rows[] = {
        {430, 750, false, 225, 78, 28},      // exactly 750 is regular
        {430, 749.9, true, 240, 66, 20},     // just under is compact, the cap of 240 holds
        {300, 900, false, 216, 78, 28},      // narrow: 72 % of the width
        {360, 700, true, 238, 66, 20},       // compact, by the height
        {500, 800, false, 240, 78, 28},      // regular, by the height
        {900, 1200, false, 300, 78, 28},     // regular cap
        {0, 0, true, 0, 66, 20},
    };
    for (const Row &row : rows) {
        const auto layout = FullPlayerViewModel::layoutFor(QSizeF(row.w, row.h));
        EXPECT_EQ(layout.compact, row.compact) << row.w << "x" << row.h;
        EXPECT_NEAR(layout.recordSide, row.side, 1e-9) << row.w << "x" << row.h;
        EXPECT_EQ(layout.playSize, row.play) << row.w << "x" << row.h;
        EXPECT_EQ(layout.sideMargin, row.margin) << row.w << "x" << row.h;
    }
}

TEST(FullPlayerRules, TimeTexts)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char *> rows[] = {
        {0, "0:00"}, {-3, "0:00"}, {std::nan(""), "0:00"}, {inf, "0:00"}, {-inf, "0:00"},
        {0.4, "0:00"}, {0.5, "0:01"}, {59.4, "0:59"}, {59.5, "1:00"}, {61, "1:01"},
        {3600, "60:00"}, {5999.6, "100:00"},
        // Too large for a whole-second count: clamped to the largest one, never undefined.
        {1e300, "153722867280912913:04"}, {std::numeric_limits<double>::max(), "153722867280912913:04"},
    };
    for (const auto &[seconds, text] : rows)
        EXPECT_EQ(FullPlayerViewModel::format(seconds), QString::fromUtf8(text)) << seconds;
}

TEST_F(FullPlayerModelTest, DragMovesOnlyDownAndClosesPastTheDistance)
{
    auto screen = makeScreen();
    struct Move { double dx, dy; double offsetAfter; };
    // Changes: only a mainly downward pull moves the screen.
    const Move changes[] = {{0, 50, 50}, {0, -30, 50}, {60, 50, 50}, {-20, 80, 80}, {250, 200, 80}};
    for (const Move &m : changes) {
        screen->dragChanged(m.dx, m.dy);
        EXPECT_EQ(screen->dragOffset(), m.offsetAfter) << m.dx << "," << m.dy;
    }
    // Releases: (dx, dy, closes).
    const std::tuple<double, double, bool> releases[] = {
        {0, 120, false}, {0, 121, true}, {-100, 121, true}, {121, 121, false},
        {250, 200, false}, {0, -300, false}, {0, 0, false},
    };
    for (const auto &[dx, dy, closes] : releases) {
        screen->dragChanged(dx, dy);
        const double before = screen->dragOffset();
        EXPECT_EQ(screen->dragEnded(dx, dy), closes) << dx << "," << dy;
        // Closing leaves the screen where it is; any other release springs it back.
        EXPECT_EQ(screen->dragOffset(), closes ? before : 0.0) << dx << "," << dy;
    }
}

TEST_F(FullPlayerModelTest, TheRecordTurnsFromEachShowingAndFollowsPlayback)
{
    loadCatalogue();
    auto screen = makeScreen();
    EXPECT_FALSE(screen->isRotating());
    EXPECT_EQ(screen->rotation(), 0);

    // Shown while nothing plays: it turns anyway.
    screen->appear();
    EXPECT_TRUE(screen->isRotating());
    EXPECT_EQ(screen->rotation(), 360);

    // Playing starts: already turning, no extra turn. A repeated announcement changes nothing.
    play(QStringLiteral("persian"), 200);
    ASSERT_TRUE(player->isPlaying());
    engine.tick(2.0);
    EXPECT_EQ(screen->rotation(), 360);

    // Pause, then play again: stops where it is, then one more turn.
    player->togglePlayPause();
    EXPECT_FALSE(screen->isRotating());
    EXPECT_EQ(screen->rotation(), 360);
    player->togglePlayPause();
    engine.status = TCS::Playing;
    engine.tick(3.0);
    ASSERT_TRUE(player->isPlaying());
    EXPECT_TRUE(screen->isRotating());
    EXPECT_EQ(screen->rotation(), 720);
}

TEST_F(FullPlayerModelTest, TransportEnablingAndTexts)
{
    loadCatalogue();
    auto screen = makeScreen();
    // No station: the player starts live; nothing to skip.
    EXPECT_FALSE(screen->canSkipSeconds());
    EXPECT_FALSE(screen->canSkipTracks());
    EXPECT_EQ(screen->headerTitle(), QStringLiteral("ملودریفت رادیو"));
    EXPECT_EQ(screen->trackTitle(), QString());
    EXPECT_EQ(screen->artistLine(), QString());
    EXPECT_FALSE(screen->artworkURL().isValid());
    EXPECT_EQ(screen->playPauseName(), QStringLiteral("پخش"));
    EXPECT_FALSE(screen->stationCopy().isValid());

    struct Row { const char *genre; double duration; bool seconds, tracks; double maximum; };
    const Row rows[] = {
        {"tehran-live", 0, false, false, 1},  // live
        {"persian", 0, false, true, 1},       // duration not known yet
        {"persian", 200, true, true, 200},
    };
    for (const Row &row : rows) {
        play(QString::fromUtf8(row.genre), row.duration);
        EXPECT_EQ(screen->canSkipSeconds(), row.seconds) << row.genre;
        EXPECT_EQ(screen->canSkipTracks(), row.tracks) << row.genre;
        EXPECT_EQ(screen->seekMaximum(), row.maximum) << row.genre;
        EXPECT_EQ(screen->playPauseName(), QStringLiteral("مکث")) << row.genre;
        EXPECT_EQ(screen->playSymbol(), QStringLiteral("pause.fill")) << row.genre;
        EXPECT_EQ(screen->headerTitle(), player->currentStation()->displayName()) << row.genre;
        EXPECT_EQ(screen->trackTitle(), player->currentStation()->displayTrackTitle()) << row.genre;
        EXPECT_FALSE(screen->artistLine().isEmpty()) << row.genre;
        EXPECT_TRUE(screen->artworkURL().isValid()) << row.genre;
    }

    // A station of one track: previous and next are off, the 10 s buttons work.
    Station single = catalogueStation(QStringLiteral("persian"));
    single.tracks = QList<PlaylistTrack>{single.tracks->first()};
    single.trackIndex = 0;
    player->select(single);
    settle();
    engine.current()->duration = 90;
    engine.tick(4.0);
    EXPECT_FALSE(screen->canSkipTracks());
    EXPECT_TRUE(screen->canSkipSeconds());
    EXPECT_EQ(screen->elapsedText(), QStringLiteral("0:04"));
    EXPECT_EQ(screen->totalText(), QStringLiteral("1:30"));
    // The sheets' copy is the station as it is now.
    EXPECT_EQ(Station::fromVariant(screen->stationCopy())->currentTrackID(), single.currentTrackID());
}

TEST_F(FullPlayerModelTest, SignedOutTheHeartAndThePlusOpenSignInAndSendNothing)
{
    loadCatalogue();
    auto screen = makeScreen();
    // No station: nothing at all.
    screen->handleFavoriteTap();
    EXPECT_FALSE(screen->showLogin());
    EXPECT_FALSE(screen->isFavorite());

    play(QStringLiteral("persian"), 200);
    screen->handleFavoriteTap();
    EXPECT_TRUE(screen->showLogin());
    EXPECT_FALSE(screen->favAnimating());
    screen->setShowLogin(false);
    screen->handleAddTap();
    EXPECT_TRUE(screen->showLogin());
    EXPECT_FALSE(screen->showAddToPlaylist());
    settle();
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/favorites/toggle")), 0);
}

TEST_F(FullPlayerModelTest, SignedInTheHeartTogglesTheTappedTrackAndFollowsTheReload)
{
    loadCatalogue();
    signIn();
    auto screen = makeScreen();
    play(QStringLiteral("persian"), 200);
    const QString tapped = player->currentStation()->currentTrackID();
    EXPECT_FALSE(screen->isFavorite());

    screen->handleAddTap();
    EXPECT_TRUE(screen->showAddToPlaylist());
    EXPECT_FALSE(screen->showLogin());

    screen->handleFavoriteTap();
    EXPECT_TRUE(screen->favAnimating());
    // Playback moves on before the answer: the tapped track is the one toggled.
    player->nextTrack();
    ASSERT_TRUE(waitFor([&] { return !screen->favAnimating(); }));
    const auto toggles = server.requestsTo(QStringLiteral("/api/favorites/toggle"));
    ASSERT_EQ(toggles.size(), 1);
    EXPECT_EQ(QJsonDocument::fromJson(toggles.first().body).object().value("track_id").toString(), tapped);
    EXPECT_TRUE(auth->favoriteIDs().contains(tapped));
    EXPECT_FALSE(screen->isFavorite()); // the next track is not liked
    player->previousTrack();
    settle();
    EXPECT_TRUE(screen->isFavorite());

    // A toggle started just before the screen closes still completes in the store.
    screen->handleFavoriteTap();
    screen.reset();
    ASSERT_TRUE(waitFor([&] { return !auth->favoriteIDs().contains(tapped); }));
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/favorites/toggle")), 2);
}
