#include "HomeViewModel.h"
#include "Platform/LaunchArguments.h"
#include "Platform/RemoteCommandCenter.h"
#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"
#include "Services/ShazamManager.h"
#include "Services/StationStore.h"
#include "support/AccessibleTree.h"
#include "support/DemoCatalogue.h"
#include "support/QuickHost.h"
#include "support/StandInServer.h"

#include <QJsonObject>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTcpServer>
#include <QTest>
#include "support/QmlWindowFixture.h"

#include <gtest/gtest.h>

// The radio tab in a real Qt Quick window (offscreen) with the shared stores, against the
// stand-in backend: taps, pushed pages, sheets and the cover as the screens wire them. Every test
// also fails on any QML warning.

using namespace quickhost;

namespace {

class HomeViewQml : public QmlWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        catalogue = standin::installDemoCatalogue(server);
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        StationStore::shared()->setSelectedCategory(StationStore::Category::All);
        RadioPlayer::shared()->setFullPlayerPresented(false);
        ShazamManager::shared().setOpenRequest(false);
        QmlWindowFixture::SetUp();
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        LaunchArguments::shared().setArguments({});
        RadioPlayer::shared()->setFullPlayerPresented(false);
        APIClient::shared().setBaseURL(previousBase);
    }

    QQuickItem *load(const QString &screen)
    {
        hosted = HostedScreen::load(*engine, moduleFile(screen));
        EXPECT_TRUE(hosted.isValid()) << qPrintable(hosted.error());
        return qobject_cast<QQuickItem *>(hosted.screen());
    }
    // The catalogue in the shared store, as the application's start-up load leaves it.
    void loadCatalogue()
    {
        StationStore::shared()->requestLoad(true);
        ASSERT_TRUE(waitFor([] { return !StationStore::shared()->isLoading()
                                        && !StationStore::shared()->stations().isEmpty(); }, 10000));
    }
    QQuickItem *visibleItem(const QString &name, int timeoutMs = 5000)
    {
        QQuickItem *found = nullptr;
        waitFor([&] {
            found = itemNamed(hosted.window()->contentItem(), name);
            return found && found->isVisible() && found->width() > 0;
        }, timeoutMs);
        return found;
    }
    void click(QQuickItem *item)
    {
        const QPoint at = item->mapToScene(QPointF(item->width() / 2, item->height() / 4)).toPoint();
        QTest::mouseClick(hosted.window(), Qt::LeftButton, {}, at);
    }
    HomeViewModel *homeModel() const
    {
        return hosted.screen()->findChild<HomeViewModel *>();
    }
    QObject *popup(const QString &name) const { return hosted.screen()->findChild<QObject *>(name); }
    static bool isOpen(QObject *popup) { return popup && popup->property("opened").toBool(); }

    standin::StandInServer server;
    std::shared_ptr<standin::DemoCatalogue> catalogue;
    QUrl previousBase;
};

} // namespace

TEST_F(HomeViewQml, TappingALiveCardPlaysItUnderTheFullPlayerAndShowsTheMiniBar)
{
    loadCatalogue();
    // The cover stands at the window's level, over both tabs.
    load(QStringLiteral("AppWindow"));
    QQuickItem *card = visibleItem(QStringLiteral("station_tehran-live"));
    ASSERT_TRUE(card);
    ASSERT_TRUE(waitForHomeGrid(hosted.window()->contentItem()));
    click(card);

    RadioPlayer *player = RadioPlayer::shared();
    EXPECT_TRUE(player->isFullPlayerPresented());
    ASSERT_TRUE(waitFor([&] { return isOpen(popup(QStringLiteral("fullPlayerCover"))); }));
    ASSERT_TRUE(waitFor([&] { return player->currentStation() && player->currentStation()->genre == QStringLiteral("tehran-live"); }));
    EXPECT_TRUE(visibleItem(QStringLiteral("miniPlayerSlot")));

    // The cover closes on Escape and writes the flag back.
    QTest::keyClick(hosted.window(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !player->isFullPlayerPresented(); }));

    // A tap on the mini bar opens it again.
    QQuickItem *bar = visibleItem(QStringLiteral("miniPlayerTapArea"));
    ASSERT_TRUE(bar);
    ASSERT_TRUE(waitFor([&] { return !popup(QStringLiteral("fullPlayerCover"))->property("visible").toBool(); }));
    const QPoint onBar = bar->mapToScene(QPointF(bar->width() * 0.6, bar->height() / 2)).toPoint();
    QTest::mouseClick(hosted.window(), Qt::LeftButton, {}, onBar);
    EXPECT_TRUE(player->isFullPlayerPresented());
}

// A live station whose server is gone: the player says it tries again, where the listener looks
// (the full player, then the mini bar under the home screen), and assistive technology hears it
// once, from the screen that shows it.
TEST_F(HomeViewQml, AStationWhoseServerIsGoneIsToldOnceWhereTheListenerLooks)
{
    QJsonObject station = catalogue->station(QStringLiteral("tehran-live"));
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    station.insert(QStringLiteral("stream_url"), QStringLiteral("http://127.0.0.1:%1/live.mp3").arg(closedPort));
    catalogue->replaceStation(station);
    loadCatalogue();
    load(QStringLiteral("AppWindow"));
    QQuickItem *card = visibleItem(QStringLiteral("station_tehran-live"));
    ASSERT_TRUE(card);
    settle(500);
    click(card);

    RadioPlayer *player = RadioPlayer::shared();
    const QString told = RadioPlayer::reconnectingText(PlaybackEngine::Failure::Unreachable);
    ASSERT_TRUE(waitFor([&] { return player->recoveryText() == told; }, 10000));
    QQuickItem *line = visibleItem(QStringLiteral("recoveryLine"));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->property("text").toString(), told);
    auto spoken = [&] { return accessibletree::shownNames(hosted.window(), QAccessible::Notification); };
    ASSERT_TRUE(waitFor([&] { return spoken().count(told) == 1; })) << qPrintable(spoken().join(u'|'));

    // Back on the home screen the mini bar says it in place of the title, the badge in brief; the
    // sentence is spoken once, the badge not at all.
    QTest::keyClick(hosted.window(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !player->isFullPlayerPresented(); }));
    ASSERT_TRUE(waitFor([&] { return visibleItem(QStringLiteral("trackTitle"))->property("text").toString() == told; }));
    EXPECT_EQ(visibleItem(QStringLiteral("statusLabel"))->property("text").toString(), QStringLiteral("اتصال دوباره…"));
    ASSERT_TRUE(waitFor([&] { return spoken().count(told) == 1; })) << qPrintable(spoken().join(u'|'));
    EXPECT_FALSE(spoken().contains(QStringLiteral("اتصال دوباره…"))) << qPrintable(spoken().join(u'|'));

    // The desktop's pause ends the tries, and the sentence goes.
    RemoteCommandEvent pause;
    pause.command = RemoteCommand::Pause;
    EXPECT_EQ(RemoteCommandCenter::shared()->dispatch(pause), RemoteCommandStatus::Success);
    ASSERT_TRUE(waitFor([&] { return player->recovery() == RadioPlayer::Recovery::None; }));
    EXPECT_FALSE(player->isReconnectPending());
    ASSERT_TRUE(waitFor([&] { return !spoken().contains(told); })) << qPrintable(spoken().join(u'|'));
}

TEST_F(HomeViewQml, TappingARotationPushesItsDetailPageAndBackClearsTheFlag)
{
    loadCatalogue();
    QQuickItem *root = load(QStringLiteral("HomeView"));
    QQuickItem *card = visibleItem(QStringLiteral("station_persian"));
    ASSERT_TRUE(card);
    ASSERT_TRUE(waitForHomeGrid(root));
    click(card);

    HomeViewModel *home = homeModel();
    ASSERT_TRUE(home);
    EXPECT_TRUE(home->showStationDetail());
    auto *stack = root->property("navigationStack").value<QQuickItem *>();
    ASSERT_TRUE(stack);
    ASSERT_TRUE(waitFor([&] { return stack->property("depth").toInt() == 2; }));
    auto *page = stack->property("currentItem").value<QQuickItem *>();
    ASSERT_TRUE(page);
    EXPECT_EQ(page->property("navigationTitle").toString(), QStringLiteral("پاپ فارسی"));
    EXPECT_FALSE(RadioPlayer::shared()->isFullPlayerPresented());

    QMetaObject::invokeMethod(stack, "popToRoot");
    ASSERT_TRUE(waitFor([&] { return !home->showStationDetail(); }));
    EXPECT_EQ(stack->property("depth").toInt(), 1);
    ASSERT_TRUE(home->detailStation());
    EXPECT_EQ(home->detailStation()->genre, QStringLiteral("persian"));
}

TEST_F(HomeViewQml, LaunchArgumentsOpenTheSignInSheetAndThePreviewTogetherOnce)
{
    LaunchArguments::shared().setArguments({QStringLiteral("--debug-detail"), QStringLiteral("--debug-login")});
    QQuickItem *root = load(QStringLiteral("HomeView"));
    auto *stack = root->property("navigationStack").value<QQuickItem *>();
    ASSERT_TRUE(waitFor([&] { return stack->property("depth").toInt() == 2; }));
    auto *page = stack->property("currentItem").value<QQuickItem *>();
    EXPECT_EQ(page->property("navigationTitle").toString(), QStringLiteral("Test Server"));
    ASSERT_TRUE(waitFor([&] { return isOpen(popup(QStringLiteral("loginSheet"))); }));
    EXPECT_FALSE(isOpen(popup(QStringLiteral("accountSheet"))));

    // Closing both and showing the home page again opens neither anew.
    QTest::keyClick(hosted.window(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !homeModel()->showAccount(); }));
    QMetaObject::invokeMethod(stack, "popToRoot");
    // Once the pop has ended and the sheet has gone, the home page shows again; what it would set
    // off runs from there (posted, or called later).
    ASSERT_TRUE(waitFor([&] {
        return stack->property("depth").toInt() == 1 && !stack->property("busy").toBool()
               && !popup(QStringLiteral("loginSheet"))->property("visible").toBool();
    }, 20000));
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    EXPECT_FALSE(homeModel()->showAccount());
    EXPECT_FALSE(homeModel()->showStationDetail());
    EXPECT_EQ(stack->property("depth").toInt(), 1);
}

TEST_F(HomeViewQml, TheRecognitionRequestOpensItsSheetOnce)
{
    load(QStringLiteral("HomeView"));
    ShazamManager::shared().requestOpen(true);
    ASSERT_TRUE(waitFor([&] { return isOpen(popup(QStringLiteral("shazamSheet"))); }));
    EXPECT_FALSE(ShazamManager::shared().openRequest());
    // Asked again while it is open: it stays open.
    ShazamManager::shared().requestOpen(true);
    settle(100);
    EXPECT_TRUE(isOpen(popup(QStringLiteral("shazamSheet"))));
    EXPECT_FALSE(ShazamManager::shared().openRequest());
    // Its close button dismisses it.
    QQuickItem *close = visibleItem(QStringLiteral("closeButton"));
    ASSERT_TRUE(close);
    click(close);
    ASSERT_TRUE(waitFor([&] { return !homeModel()->showShazam(); }));
}

TEST_F(HomeViewQml, ChipsFilterTheGrid)
{
    loadCatalogue();
    load(QStringLiteral("HomeView"));
    ASSERT_TRUE(visibleItem(QStringLiteral("station_jazz")));
    QQuickItem *chip = visibleItem(QStringLiteral("chip%1").arg(int(StationStore::Category::Instrumental)));
    ASSERT_TRUE(chip);
    click(chip);
    EXPECT_EQ(StationStore::shared()->selectedCategory(), StationStore::Category::Instrumental);
    ASSERT_TRUE(waitFor([&] {
        return !itemNamed(hosted.window()->contentItem(), QStringLiteral("station_jazz"));
    }));
    EXPECT_TRUE(visibleItem(QStringLiteral("station_ambient")));
    StationStore::shared()->setSelectedCategory(StationStore::Category::All);
}

TEST_F(HomeViewQml, AnArrowOnAChipLeavesTheFocusOnIt)
{
    loadCatalogue();
    load(QStringLiteral("HomeView"));
    QQuickItem *last = visibleItem(QStringLiteral("chip%1").arg(int(StationStore::Category::Instrumental)));
    ASSERT_TRUE(last);
    // Reached by Tab, as a listener does.
    last->forceActiveFocus(Qt::TabFocusReason);
    for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Left}) {
        QTest::keyClick(hosted.window(), key);
        EXPECT_EQ(hosted.window()->activeFocusItem(), last) << key;
    }
    EXPECT_EQ(StationStore::shared()->selectedCategory(), StationStore::Category::All);
}

TEST_F(HomeViewQml, PullingTheGridDownReloadsTheCatalogue)
{
    loadCatalogue();
    load(QStringLiteral("HomeView"));
    QQuickItem *scroll = visibleItem(QStringLiteral("homeScroll"));
    ASSERT_TRUE(scroll);
    settle(400);
    const int before = server.countRequests(QStringLiteral("/api/stations"));
    standin::Reply slow = standin::Reply::json(R"({"code":200,"message":"ok","data":[]})");
    slow.delayMs = 400;
    server.script("GET", QStringLiteral("/api/stations"), slow, 1);

    // A slow drag from the top of the grid downwards, well past the threshold.
    QPoint at = scroll->mapToScene(QPointF(scroll->width() / 2, 200)).toPoint();
    QTest::mousePress(hosted.window(), Qt::LeftButton, {}, at);
    for (int i = 0; i < 30; ++i) {
        at.ry() += 10;
        QTest::mouseMove(hosted.window(), at, 16);
    }
    QTest::mouseRelease(hosted.window(), Qt::LeftButton, {}, at, 16);

    HomeViewModel *home = homeModel();
    ASSERT_TRUE(waitFor([&] { return home->isRefreshing(); }));
    ASSERT_TRUE(waitFor([&] { return !home->isRefreshing(); }, 10000));
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/stations")), before + 1);
    // Forced: the new, empty catalogue replaced the old one.
    EXPECT_TRUE(StationStore::shared()->stations().isEmpty());
}
