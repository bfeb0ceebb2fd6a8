#include "ShellFixture.h"

#include "HomeViewModel.h"
#include "Services/ShazamManager.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

// The home screen's model over the stand-in backend and a real player on a fake platform player.

using Content = HomeViewModel::Content;
using TCS = PlaybackEngine::TimeControlStatus;
using quickhost::waitFor;

namespace {

class HomeViewModelTest : public ShellFixture
{
protected:
    void TearDown() override
    {
        ShazamManager::shared().setOpenRequest(false);
        ShellFixture::TearDown();
    }

    std::unique_ptr<HomeViewModel> makeHome()
    {
        return std::make_unique<HomeViewModel>(store.get(), player.get(), auth.get(),
                                               &ShazamManager::shared(), &arguments);
    }

    // Starts `station` and lets the fake platform player report `status`.
    void play(const Station &station, TCS status)
    {
        player->select(station);
        settle();
        engine.status = status;
        engine.tick(1.0);
    }
};

} // namespace

TEST(HomeViewRules, GreetingByHourAtEveryBoundary)
{
    const QString night = QStringLiteral("شب بخیر، به رادیو خوش اومدی");
    const QString morning = QStringLiteral("صبح بخیر، به رادیو خوش اومدی");
    const QString noon = QStringLiteral("ظهر بخیر، به رادیو خوش اومدی");
    const QString afternoon = QStringLiteral("عصر بخیر، به رادیو خوش اومدی");
    // 04:59 is hour 4, 05:00 hour 5, and so on: only the hour counts.
    const QList<QPair<int, QString>> cases = {
        {0, night}, {4, night}, {5, morning}, {11, morning}, {12, noon}, {13, noon},
        {14, afternoon}, {18, afternoon}, {19, night}, {23, night}};
    for (const auto &[hour, text] : cases)
        EXPECT_EQ(HomeViewModel::greeting(hour), text) << "hour " << hour;
}

TEST(HomeViewRules, StatusLabelFirstMatchWins)
{
    // Buffering wins over playing, playing over loading.
    EXPECT_EQ(HomeViewModel::statusLabel(true, true, true, 0), QStringLiteral("اتصال…"));
    EXPECT_EQ(HomeViewModel::statusLabel(false, true, true, 0), QStringLiteral("در حال پخش"));
    EXPECT_EQ(HomeViewModel::statusLabel(false, false, true, 0), QStringLiteral("بارگذاری"));
    // Loading with stations already held shows their count.
    EXPECT_EQ(HomeViewModel::statusLabel(false, false, true, 6), QStringLiteral("6 ایستگاه"));
    EXPECT_EQ(HomeViewModel::statusLabel(false, false, false, 0), QStringLiteral("0 ایستگاه"));
}

TEST(HomeViewRules, ContentErrorBeforeLoadingBeforeGrid)
{
    EXPECT_EQ(HomeViewModel::content(true, true, false), Content::Error);
    EXPECT_EQ(HomeViewModel::content(true, false, false), Content::Error);
    EXPECT_EQ(HomeViewModel::content(false, true, false), Content::Loading);
    EXPECT_EQ(HomeViewModel::content(false, false, false), Content::Grid);
    // With stations held an error or a load never hides the grid.
    EXPECT_EQ(HomeViewModel::content(true, true, true), Content::Grid);
    EXPECT_EQ(HomeViewModel::content(false, true, true), Content::Grid);
}

TEST(HomeViewRules, AdaptiveGridColumns)
{
    // n columns need n * 155 + (n - 1) * 14.
    EXPECT_EQ(HomeViewModel::columnCount(0), 1);
    EXPECT_EQ(HomeViewModel::columnCount(100), 1);
    EXPECT_EQ(HomeViewModel::columnCount(323), 1);
    EXPECT_EQ(HomeViewModel::columnCount(324), 2);
    EXPECT_EQ(HomeViewModel::columnCount(398), 2); // a 430 wide window less 2 x 16
    EXPECT_EQ(HomeViewModel::columnCount(492), 2);
    EXPECT_EQ(HomeViewModel::columnCount(493), 3);
    EXPECT_EQ(HomeViewModel::columnCount(999), 5);
    EXPECT_EQ(HomeViewModel::columnCount(1000), 6);
    EXPECT_DOUBLE_EQ(HomeViewModel::columnWidth(398), 192.0);
    EXPECT_DOUBLE_EQ(HomeViewModel::columnWidth(100), 100.0);
    EXPECT_DOUBLE_EQ(HomeViewModel::columnWidth(493), 155.0);
}

TEST(HomeViewRules, PreviewStationOfDebugDetail)
{
    const Station s = HomeViewModel::previewStation();
    EXPECT_EQ(s.genre, QStringLiteral("custom-detail-test"));
    EXPECT_EQ(s.title, QStringLiteral("Detail Test"));
    EXPECT_EQ(s.source, QStringLiteral("custom"));
    EXPECT_EQ(s.category, QStringLiteral("playlists"));
    EXPECT_EQ(s.trackIndex, 0);
    EXPECT_EQ(s.trackCount, 3);
    EXPECT_FALSE(s.artist || s.streamURL || s.displayGenre || s.elapsedSeconds);
    ASSERT_TRUE(s.artworkURL);
    EXPECT_TRUE(s.artworkURL->startsWith(QStringLiteral("/artwork/")));
    ASSERT_TRUE(s.tracks);
    ASSERT_EQ(s.tracks->size(), 3);
    for (int n = 1; n <= 3; ++n) {
        const PlaylistTrack &t = s.tracks->at(n - 1);
        EXPECT_FALSE(t.id);
        EXPECT_EQ(t.trackType, QStringLiteral("test"));
        EXPECT_EQ(t.trackID, QStringLiteral("t%1").arg(n));
        EXPECT_EQ(t.title, QStringLiteral("Test Track %1").arg(n));
        EXPECT_EQ(t.artist, QStringLiteral("Test Artist %1").arg(n));
        EXPECT_EQ(t.artworkURL, QStringLiteral("/artwork/persian.jpg"));
        EXPECT_EQ(t.streamURL, QStringLiteral("http://127.0.0.1:1/none"));
        EXPECT_EQ(t.duration, 180);
    }
}

TEST(HomeViewRules, TheGreetingTimerAimsAtTheNextBoundaryHour)
{
    const struct { QTime now; qint64 expected; } cases[] = {
        {QTime(4, 59, 59), 1000},
        {QTime(5, 0), 7 * 3600000},
        {QTime(11, 59), 60000},
        {QTime(13, 30), 30 * 60000},
        {QTime(18, 59, 59, 500), 500},
        {QTime(19, 0), 10 * 3600000},
        {QTime(0, 0), 5 * 3600000},
    };
    for (const auto &c : cases)
        EXPECT_EQ(HomeViewModel::msecsToNextGreeting(c.now), c.expected) << qPrintable(c.now.toString());
}

TEST(HomeViewRules, APullRefreshesExactlyWhenItsIndicatorShowsFull)
{
    const struct { qreal distance; qreal progress; bool ready; } cases[] = {
        {-20, 0, false}, {0, 0, false}, {35, 0.5, false}, {69.5, 69.5 / 70, false},
        {70, 1, true}, {71, 1, true}, {300, 1, true},
    };
    for (const auto &c : cases) {
        EXPECT_DOUBLE_EQ(HomeViewModel::pullProgress(c.distance), c.progress) << c.distance;
        EXPECT_EQ(HomeViewModel::isPullReady(c.distance), c.ready) << c.distance;
    }
}

TEST_F(HomeViewModelTest, TheGreetingFollowsTheClockWhileTheScreenStaysOpen)
{
    auto home = makeHome();
    QDateTime now(QDate(2026, 3, 1), QTime(11, 59, 30));
    home->setClock([&] { return now; });
    EXPECT_EQ(home->greeting(), HomeViewModel::greeting(11));
    EXPECT_TRUE(home->greetingTimer().isActive());
    EXPECT_TRUE(home->greetingTimer().isSingleShot());
    EXPECT_EQ(home->greetingTimer().interval(), 30000);

    // Noon comes: the one timer fires (made due at once here), the greeting changes and the timer
    // aims at the next boundary.
    QSignalSpy changed(home.get(), &HomeViewModel::greetingChanged);
    now = QDateTime(QDate(2026, 3, 1), QTime(12, 0));
    const_cast<QTimer &>(home->greetingTimer()).start(0);
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_EQ(home->greeting(), HomeViewModel::greeting(12));
    EXPECT_EQ(home->greetingTimer().interval(), 2 * 3600000);
    EXPECT_TRUE(home->greetingTimer().isActive());
}

TEST_F(HomeViewModelTest, StatusFollowsThePlayerAndTheStore)
{
    auto home = makeHome();
    QSignalSpy status(home.get(), &HomeViewModel::statusLabelChanged);
    EXPECT_EQ(home->statusLabel(), QStringLiteral("0 ایستگاه"));

    store->requestLoad(false);
    EXPECT_EQ(home->statusLabel(), QStringLiteral("بارگذاری"));
    EXPECT_EQ(home->content(), Content::Loading);
    ASSERT_TRUE(waitFor([&] { return !store->isLoading(); }));
    EXPECT_EQ(home->statusLabel(), QStringLiteral("6 ایستگاه"));
    EXPECT_EQ(home->content(), Content::Grid);

    // The count is of all stations while a chip filters the grid.
    home->selectCategory(int(StationStore::Category::Instrumental));
    EXPECT_EQ(store->selectedCategory(), StationStore::Category::Instrumental);
    EXPECT_EQ(store->filteredStations().size(), 2);
    EXPECT_EQ(home->statusLabel(), QStringLiteral("6 ایستگاه"));

    // A forced reload keeps showing the count.
    store->requestLoad(true);
    EXPECT_TRUE(store->isLoading());
    EXPECT_EQ(home->statusLabel(), QStringLiteral("6 ایستگاه"));
    ASSERT_TRUE(waitFor([&] { return !store->isLoading(); }));

    play(catalogueStation(QStringLiteral("jazz")), TCS::Playing);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_TRUE(home->isPlaying());
    EXPECT_EQ(home->statusLabel(), QStringLiteral("در حال پخش"));

    // Buffering while playing.
    engine.status = TCS::WaitingToPlay;
    engine.tick(2.0);
    ASSERT_TRUE(player->isBuffering());
    ASSERT_TRUE(player->isPlaying());
    EXPECT_EQ(home->statusLabel(), QStringLiteral("اتصال…"));
    EXPECT_GT(status.count(), 4);
}

// A catalogue whose genres repeat, one of them equal to the key a repeat is given: every chip
// shows each of its stations once, in the catalogue's order.
TEST_F(HomeViewModelTest, ChipsOverACatalogueWithCollidingGenresShowEachStationOnce)
{
    const QByteArray catalogue = R"({"code":200,"message":"ok","data":[
        {"genre":"dup","title":"Dup One","category":"international","stream_url":"/stream/a"},
        {"genre":"dup","title":"Dup Two","category":"iranian","stream_url":"/stream/b"},
        {"genre":"dup\u001f2","title":"Dup Three","category":"iranian","stream_url":"/stream/c"}]})";
    server.script("GET", QStringLiteral("/api/stations"), standin::Reply::json(catalogue));
    auto home = makeHome();
    QAbstractItemModelTester tester(home->gridStations(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    loadCatalogue();
    const auto titles = [&] {
        QStringList out;
        for (const Station &s : home->gridStations()->items())
            out << s.title.value_or(QString());
        return out.join(QLatin1Char(','));
    };
    struct Chip {
        StationStore::Category category;
        const char *titles;
    };
    const Chip chips[] = {
        {StationStore::Category::All, "Dup One,Dup Two,Dup Three"},
        {StationStore::Category::International, "Dup One"},
        {StationStore::Category::Iranian, "Dup Two,Dup Three"},
        {StationStore::Category::All, "Dup One,Dup Two,Dup Three"},
        {StationStore::Category::Iranian, "Dup Two,Dup Three"},
        {StationStore::Category::International, "Dup One"},
    };
    for (const Chip &chip : chips) {
        home->selectCategory(int(chip.category));
        EXPECT_EQ(titles(), QString::fromUtf8(chip.titles)) << int(chip.category);
        EXPECT_EQ(home->gridStations()->rowCount(), home->gridStations()->items().size());
    }
}

TEST_F(HomeViewModelTest, ErrorViewOnlyWithoutStations)
{
    auto home = makeHome();
    QSignalSpy content(home.get(), &HomeViewModel::contentChanged);
    server.script("GET", QStringLiteral("/api/stations"), standin::Reply::withStatus(500), 1);
    store->requestLoad(false);
    ASSERT_TRUE(waitFor([&] { return !store->isLoading(); }));
    EXPECT_EQ(home->content(), Content::Error);
    EXPECT_FALSE(home->errorMessage().isEmpty());
    EXPECT_EQ(home->errorMessage(), store->errorMessage().value_or(QString()));

    // Retry: the store clears its error as it starts, so the loading view shows.
    home->retry();
    EXPECT_TRUE(store->isLoading());
    EXPECT_EQ(home->content(), Content::Loading);
    ASSERT_TRUE(waitFor([&] { return !store->isLoading(); }));
    EXPECT_EQ(home->content(), Content::Grid);
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/stations")), 2);
    EXPECT_GE(content.count(), 2);

    // A failing forced reload with stations held: the grid stays.
    server.script("GET", QStringLiteral("/api/stations"), standin::Reply::withStatus(500), 1);
    home->retry();
    ASSERT_TRUE(waitFor([&] { return !store->isLoading(); }));
    EXPECT_EQ(home->content(), Content::Grid);
}

TEST_F(HomeViewModelTest, PullToRefreshForcesALoadAndEndsWithIt)
{
    loadCatalogue();
    auto home = makeHome();
    QSignalSpy refreshing(home.get(), &HomeViewModel::isRefreshingChanged);
    server.script("GET", QStringLiteral("/api/stations"), [] {
        standin::Reply r = standin::Reply::withStatus(500);
        r.delayMs = 300;
        return r;
    }(), 1);
    home->refresh();
    EXPECT_TRUE(home->isRefreshing());
    home->refresh(); // a second pull while one runs changes nothing
    ASSERT_TRUE(waitFor([&] { return !home->isRefreshing(); }));
    EXPECT_EQ(refreshing.count(), 2);
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/stations")), 2);
    // Forced: the failure is published, yet the stations stay and so does the grid.
    EXPECT_TRUE(store->errorMessage().has_value());
    EXPECT_EQ(home->content(), Content::Grid);
}

TEST_F(HomeViewModelTest, RefreshThatEndsAfterTheScreenWentAwayWritesNothing)
{
    loadCatalogue();
    play(catalogueStation(QStringLiteral("tehran-live")), TCS::Playing);
    auto home = makeHome();
    standin::Reply slow = standin::Reply::json(R"({"code":200,"message":"ok","data":[]})");
    slow.delayMs = 200;
    server.script("GET", QStringLiteral("/api/stations"), slow, 1);
    home->refresh();
    ASSERT_TRUE(store->isLoading());
    // What the screen writes to besides itself: the player, the catalogue's filter, the
    // recognition request.
    const auto outside = [&] {
        return QVariantList{player->currentStation() ? player->currentStation()->genre : QString(),
                            player->isFullPlayerPresented(), int(store->selectedCategory()),
                            ShazamManager::shared().openRequest()};
    };
    const QVariantList before = outside();
    home.reset();
    // The refresh ends with the screen gone: a sanitizer build reports any use of the freed
    // screen here.
    ASSERT_TRUE(waitFor([&] { return !store->isLoading(); }));
    quickhost::settle(50);
    EXPECT_TRUE(store->stations().isEmpty()) << "the store did not take the late reply";
    EXPECT_FALSE(store->errorMessage().has_value());
    EXPECT_EQ(outside(), before);
}

TEST_F(HomeViewModelTest, CardTapPlaysALiveStationAndOpensAnyOtherInDetail)
{
    loadCatalogue();
    auto home = makeHome();
    QSignalSpy presented(player.get(), &RadioPlayer::isFullPlayerPresentedChanged);

    // Live: played at once, the full player presented while the player still connects.
    home->open(catalogueStation(QStringLiteral("tehran-live")).toVariant());
    EXPECT_TRUE(player->isFullPlayerPresented());
    EXPECT_FALSE(home->showStationDetail());
    settle();
    ASSERT_TRUE(player->currentStation());
    EXPECT_EQ(player->currentStation()->genre, QStringLiteral("tehran-live"));
    player->setFullPlayerPresented(false);

    // A rotation opens its detail page; the player is left alone.
    home->open(catalogueStation(QStringLiteral("persian")).toVariant());
    EXPECT_TRUE(home->showStationDetail());
    ASSERT_TRUE(home->detailStation());
    EXPECT_EQ(home->detailStation()->genre, QStringLiteral("persian"));
    EXPECT_FALSE(player->isFullPlayerPresented());
    settle();
    EXPECT_EQ(player->currentStation()->genre, QStringLiteral("tehran-live"));

    // Popping the page clears the flag and keeps the station.
    home->setShowStationDetail(false);
    EXPECT_EQ(home->detailStation()->genre, QStringLiteral("persian"));

    // An empty track list that needs fetching opens the detail page too, not the player.
    const Station songsara = catalogueStation(QStringLiteral("songsara-piano"));
    ASSERT_TRUE(songsara.needsHydration());
    Station emptyList = songsara;
    emptyList.tracks = QList<PlaylistTrack>{};
    home->open(emptyList);
    EXPECT_TRUE(home->showStationDetail());
    EXPECT_EQ(home->detailStation()->genre, QStringLiteral("songsara-piano"));
    EXPECT_FALSE(player->isFullPlayerPresented());

    // An empty track list of a station that needs nothing fetched is live.
    home->setShowStationDetail(false);
    Station live = catalogueStation(QStringLiteral("pop-live"));
    live.tracks = QList<PlaylistTrack>{};
    home->open(live);
    EXPECT_FALSE(home->showStationDetail());
    EXPECT_TRUE(player->isFullPlayerPresented());

    // Anything that is not a station is ignored.
    player->setFullPlayerPresented(false);
    home->open(QVariant(QStringLiteral("persian")));
    EXPECT_FALSE(player->isFullPlayerPresented());
    EXPECT_EQ(presented.count(), 4);
}

TEST_F(HomeViewModelTest, BottomPaddingGrowsWhenTheFirstStationBecomesCurrent)
{
    loadCatalogue();
    auto home = makeHome();
    QSignalSpy changed(home.get(), &HomeViewModel::hasCurrentStationChanged);
    EXPECT_EQ(home->bottomPadding(), 24);
    EXPECT_FALSE(home->hasCurrentStation());

    player->select(catalogueStation(QStringLiteral("jazz")));
    ASSERT_TRUE(waitFor([&] { return home->hasCurrentStation(); }));
    EXPECT_EQ(home->bottomPadding(), 110);
    EXPECT_EQ(changed.count(), 1);

    // Another station keeps it; the signal fires only on the change itself.
    player->select(catalogueStation(QStringLiteral("persian")));
    settle();
    EXPECT_EQ(home->bottomPadding(), 110);
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(HomeViewModelTest, OpenRequestIsResetAndPresentsTheRecognitionSheet)
{
    auto home = makeHome();
    ShazamManager &shazam = ShazamManager::shared();
    QSignalSpy sheet(home.get(), &HomeViewModel::showShazamChanged);

    shazam.requestOpen(true);
    EXPECT_FALSE(shazam.openRequest());
    EXPECT_TRUE(home->showShazam());
    EXPECT_TRUE(shazam.autoStartOnOpen());

    // Asked again while the sheet is open: it stays open and the request is reset.
    shazam.setOpenRequest(true);
    EXPECT_FALSE(shazam.openRequest());
    EXPECT_TRUE(home->showShazam());
    EXPECT_EQ(sheet.count(), 1);

    // A change to false does nothing; the sheet's own dismissal clears the flag.
    shazam.setOpenRequest(false);
    EXPECT_TRUE(home->showShazam());
    home->setShowShazam(false);
    EXPECT_FALSE(home->showShazam());

    // A request made before the screen existed is answered when it is built.
    home.reset();
    shazam.requestOpen(false);
    EXPECT_TRUE(shazam.openRequest());
    auto second = makeHome();
    EXPECT_TRUE(second->showShazam());
    EXPECT_FALSE(shazam.openRequest());
}

TEST_F(HomeViewModelTest, AccountSheetOrSignInSheetChosenWhenItOpens)
{
    auto home = makeHome();
    home->setShowAccount(true);
    EXPECT_TRUE(home->showLoginSheet());
    EXPECT_FALSE(home->showAccountSheet());
    // Signing in while the sign-in sheet is up does not swap its content.
    ASSERT_TRUE(testing_support::runTask(auth->login(QStringLiteral("demo"), QStringLiteral("demo1234"))).ok());
    ASSERT_TRUE(auth->isAuthed());
    EXPECT_TRUE(home->isAuthed());
    EXPECT_TRUE(home->showLoginSheet());
    // The sheet dismisses itself: the flag goes back.
    home->setShowLoginSheet(false);
    EXPECT_FALSE(home->showAccount());

    home->setShowAccount(true);
    EXPECT_TRUE(home->showAccountSheet());
    EXPECT_FALSE(home->showLoginSheet());
    // Writing false to the other sheet's flag leaves this one open.
    home->setShowLoginSheet(false);
    EXPECT_TRUE(home->showAccount());
    home->setShowAccountSheet(false);
    EXPECT_FALSE(home->showAccount());
}

TEST_F(HomeViewModelTest, LaunchArgumentsActOnTheFirstAppearanceOnly)
{
    arguments.setArguments({QStringLiteral("--debug-login"), QStringLiteral("--debug-detail")});
    auto home = makeHome();
    QSignalSpy greeting(home.get(), &HomeViewModel::greetingChanged);
    home->appear();
    // Both together: the sign-in sheet and the pushed preview open at once.
    EXPECT_TRUE(home->showAccount());
    EXPECT_TRUE(home->showLoginSheet());
    EXPECT_TRUE(home->showStationDetail());
    ASSERT_TRUE(home->detailStation());
    EXPECT_EQ(home->detailStation()->genre, QStringLiteral("custom-detail-test"));
    EXPECT_EQ(home->greeting(), HomeViewModel::greeting(QTime::currentTime().hour()));

    // Closed, then the screen appears again: nothing reopens, the greeting is worked out anew.
    home->setShowAccount(false);
    home->setShowStationDetail(false);
    home->appear();
    EXPECT_FALSE(home->showAccount());
    EXPECT_FALSE(home->showStationDetail());
    EXPECT_EQ(greeting.count(), 2);

    // Not even a new screen in the same run acts on them again.
    auto again = makeHome();
    again->appear();
    EXPECT_FALSE(again->showAccount());
    EXPECT_FALSE(again->showStationDetail());
}

TEST_F(HomeViewModelTest, DetailOfTheFirstPlayingStationOpensOnceItPlays)
{
    loadCatalogue();
    arguments.setArguments({QStringLiteral("--debug-detail-playing")});
    auto home = makeHome();
    home->appear();
    EXPECT_FALSE(home->showStationDetail());

    play(catalogueStation(QStringLiteral("jazz")), TCS::Playing);
    EXPECT_TRUE(home->showStationDetail());
    ASSERT_TRUE(home->detailStation());
    EXPECT_EQ(home->detailStation()->genre, QStringLiteral("jazz"));

    // Only the first station does.
    home->setShowStationDetail(false);
    play(catalogueStation(QStringLiteral("pop-live")), TCS::Playing);
    EXPECT_FALSE(home->showStationDetail());
}

TEST_F(HomeViewModelTest, LaunchArgumentsAreMatchedAsWholeArguments)
{
    arguments.setArguments({QStringLiteral("--debug-login=1"), QStringLiteral("debug-detail"),
                            QStringLiteral("--DEBUG-LOGIN")});
    auto home = makeHome();
    home->appear();
    EXPECT_FALSE(home->showAccount());
    EXPECT_FALSE(home->showStationDetail());

    // Signed in: the account sheet.
    ASSERT_TRUE(testing_support::runTask(auth->login(QStringLiteral("demo"), QStringLiteral("demo1234"))).ok());
    arguments.setArguments({QStringLiteral("--debug-login")});
    home->appear();
    EXPECT_TRUE(home->showAccountSheet());
}
