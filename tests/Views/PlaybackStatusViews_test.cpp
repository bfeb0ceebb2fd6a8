#include "ShellFixture.h"

#include "FullPlayerViewModel.h"
#include "HomeViewModel.h"
#include "MiniPlayerBarModel.h"
#include "Services/ShazamManager.h"

// What the home badge, the mini player bar and the full player say while a stream plays, is
// tried again and is given up: the same state of the real player (over a fake platform player)
// read by the three screen models.

using TCS = PlaybackEngine::TimeControlStatus;
using Failure = PlaybackEngine::Failure;
using ButtonState = MiniPlayerBarModel::ButtonState;

namespace {

const QString Playing = QStringLiteral("در حال پخش");
const QString Reconnecting = QStringLiteral("اتصال دوباره…");
const QString Failed = QStringLiteral("پخش ناموفق");

struct StatusRow {
    const char *what;
    std::function<void(FakePlaybackEngine &, RadioPlayer &)> happen;
    QString badge;
    bool greenDot, redDot;
    QString problem; // the mini bar's line and the full player's, and what they announce
    ButtonState button;
    bool homeAnnouncesBadge; // else the mini bar speaks
};

class PlaybackStatusViews : public ShellFixture
{
};

} // namespace

TEST_F(PlaybackStatusViews, EachScreenSaysWhetherTheStreamPlaysIsTriedAgainOrWasGivenUp)
{
    loadCatalogue();
    HomeViewModel home(store.get(), player.get(), auth.get(), &ShazamManager::shared(), &arguments);
    MiniPlayerBarModel bar(player.get(), offline.get());
    FullPlayerViewModel full(player.get(), auth.get(), offline.get());
    const Station live = catalogueStation(QStringLiteral("tehran-live"));
    auto select = [&](RadioPlayer &p) {
        p.select(live);
        settle();
    };
    auto plays = [](FakePlaybackEngine &e) {
        e.status = TCS::Playing;
        e.tick(1.0);
    };

    const StatusRow rows[] = {
        {"it plays", [&](FakePlaybackEngine &e, RadioPlayer &p) { select(p); plays(e); },
         Playing, true, false, QString(), ButtonState::Pause, true},
        {"it stalled while playing",
         [&](FakePlaybackEngine &e, RadioPlayer &p) { select(p); plays(e); e.failCurrent(Failure::Stalled); },
         Reconnecting, false, false, RadioPlayer::reconnectingText(Failure::Stalled), ButtonState::Pause, false},
        {"paused, then the station again while its mount is gone",
         [&](FakePlaybackEngine &e, RadioPlayer &p) {
             p.togglePlayPause();
             select(p);
             e.failCurrent(Failure::NotFound);
         },
         Reconnecting, false, false, RadioPlayer::reconnectingText(Failure::NotFound), ButtonState::Spinner, false},
        {"what came was no audio",
         [&](FakePlaybackEngine &e, RadioPlayer &p) { select(p); e.failCurrent(Failure::Unplayable); },
         Failed, false, true, RadioPlayer::gaveUpText(Failure::Unplayable), ButtonState::Play, false},
        {"play after it gave up, and it plays",
         [&](FakePlaybackEngine &e, RadioPlayer &p) { p.togglePlayPause(); plays(e); },
         Playing, true, false, QString(), ButtonState::Pause, true},
    };
    for (const StatusRow &row : rows) {
        SCOPED_TRACE(row.what);
        row.happen(engine, *player);
        EXPECT_EQ(home.statusLabel(), row.badge);
        EXPECT_EQ(home.isPlaying(), row.greenDot);
        EXPECT_EQ(home.playbackFailed(), row.redDot);
        EXPECT_EQ(home.statusAnnouncement(), row.homeAnnouncesBadge ? row.badge : QString());

        EXPECT_EQ(bar.problemText(), row.problem);
        EXPECT_EQ(bar.playbackFailed(), row.redDot);
        EXPECT_EQ(bar.buttonState(), row.button);

        EXPECT_EQ(full.recoveryText(), row.problem);
        EXPECT_EQ(full.playbackFailed(), row.redDot);
        EXPECT_EQ(full.statusText(), row.problem.isEmpty() ? row.badge : row.problem);
        EXPECT_EQ(full.showsSpinner(), row.button == ButtonState::Spinner);
        EXPECT_EQ(full.playSymbol(), row.button == ButtonState::Pause ? QStringLiteral("pause.fill")
                                                                       : QStringLiteral("play.fill"));
    }
}
