#include "support/AccessibleTree.h"
#include "support/QmlWindowFixture.h"
#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"
#include "Services/ShazamManager.h"
#include "Services/StationStore.h"
#include "support/DemoCatalogue.h"
#include "support/QuickHost.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

// The application's screens as a screen reader and a keyboard user meet them, in a real Qt Quick
// window (offscreen) with the shared stores against the stand-in backend: the right-to-left rows,
// the tree Qt's accessibility interfaces expose, presses through them, a Tab walk, and the pull to
// refresh at its threshold.

using namespace quickhost;
namespace at = accessibletree;

namespace {

const QString Recognition = QStringLiteral("تشخیص آهنگ");
const QString Search = QStringLiteral("جستجو");
const QString Account = QStringLiteral("حساب کاربری");
const QString RadioTab = QStringLiteral("رادیو");
const QString LibraryTab = QStringLiteral("کتابخانه");

class ShellAccessibility : public QmlWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        standin::installDemoCatalogue(server);
        // The cards pressed here play: a stream that fails would put its reason in the title's place.
        standin::installAudioRoutes(server);
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        StationStore::shared()->setSelectedCategory(StationStore::Category::All);
        RadioPlayer::shared()->setFullPlayerPresented(false);
        QmlWindowFixture::SetUp();
        StationStore::shared()->requestLoad(true);
        ASSERT_TRUE(waitFor([] { return !StationStore::shared()->isLoading()
                                        && !StationStore::shared()->stations().isEmpty(); }, 10000));
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        StationStore::shared()->setSelectedCategory(StationStore::Category::All);
        RadioPlayer::shared()->setFullPlayerPresented(false);
        ShazamManager::shared().setOpenRequest(false);
        APIClient::shared().setBaseURL(previousBase);
    }

    void load(const QString &screen)
    {
        hosted = HostedScreen::load(*engine, moduleFile(screen));
        ASSERT_TRUE(hosted.isValid()) << qPrintable(hosted.error());
        ASSERT_TRUE(waitFor([&] { return item(QStringLiteral("station_tehran-live")) != nullptr; }));
        ASSERT_TRUE(waitForHomeGrid(window()->contentItem()));
    }
    QQuickWindow *window() const { return hosted.window(); }
    QQuickItem *item(const QString &name) const { return itemNamed(window()->contentItem(), name); }
    // The node a screen reader finds for an item (its accessible name as exposed).
    QString exposedName(QQuickItem *i) const
    {
        QAccessibleInterface *node = QAccessible::queryAccessibleInterface(i);
        return node ? node->text(QAccessible::Name) : QString();
    }
    QAccessibleInterface *node(const QString &name, QAccessible::Role role = QAccessible::NoRole) const
    {
        QAccessibleInterface *found = nullptr;
        waitFor([&] { return (found = at::shownNode(window(), name, role)) != nullptr; });
        return found;
    }
    // The scene rectangle of an item.
    static QRectF sceneRect(QQuickItem *i) { return i->mapRectToScene(QRectF(0, 0, i->width(), i->height())); }
    static bool ringShown(QQuickItem *control)
    {
        auto *ring = qvariant_cast<QQuickItem *>(control->property("focusRing"));
        return ring && ring->isVisible();
    }

    at::Session session;
    standin::StandInServer server;
    QUrl previousBase;
};

} // namespace

TEST_F(ShellAccessibility, RowsInsideColumnsStartAtTheLeadingEdge)
{
    load(QStringLiteral("ContentView"));
    // The live card: its badge under the name, at the right.
    QQuickItem *cell = item(QStringLiteral("station_tehran-live"));
    QQuickItem *name = itemNamed(cell, QStringLiteral("cardName"));
    QQuickItem *badge = itemNamed(cell, QStringLiteral("liveBadge"));
    ASSERT_TRUE(name && badge && badge->isVisible());
    EXPECT_NEAR(sceneRect(badge).right(), sceneRect(name).right(), 1.0);
    QQuickItem *dot = badge->childItems().first();
    EXPECT_GT(sceneRect(dot).left(), sceneRect(cell).center().x()) << "the red dot leads, at the right";

    // The mini bar: the track line under the station name, at the right; the bars beside it, apart.
    ASSERT_TRUE(at::press(node(exposedName(cell->childItems().first()), QAccessible::Button)));
    ASSERT_TRUE(waitFor([&] { return RadioPlayer::shared()->currentStation().has_value(); }));
    RadioPlayer::shared()->setFullPlayerPresented(false);
    QQuickItem *station = item(QStringLiteral("stationName"));
    QQuickItem *track = item(QStringLiteral("trackTitle"));
    QQuickItem *bars = item(QStringLiteral("playingBars"));
    ASSERT_TRUE(station && track && bars);
    ASSERT_TRUE(waitFor([&] { return track->isVisible() && track->width() > 0 && !track->property("text").toString().isEmpty(); }));
    // (Once the bar's rows are laid out for the station's texts.)
    EXPECT_TRUE(waitFor([&] { return qAbs(sceneRect(track).right() - sceneRect(station).right()) <= 1.0; }))
        << sceneRect(track).right() << " " << sceneRect(station).right();
    EXPECT_GT(sceneRect(track).left(), sceneRect(station).left() - 1);
    // The indicator (while playing) stands after the title, never over it.
    bars->setVisible(true);
    EXPECT_LE(sceneRect(bars).right(), sceneRect(track).left());
}

TEST_F(ShellAccessibility, AssistiveTechnologyPressesDoWhatClicksDo)
{
    load(QStringLiteral("AppWindow"));
    RadioPlayer *player = RadioPlayer::shared();

    // What the home screen exposes: the title, the greeting, the status, named icon buttons,
    // the chips, and nothing hidden.
    ASSERT_TRUE(node(QStringLiteral("ملودریفت"), QAccessible::Heading));
    const QStringList texts = at::shownNames(window(), QAccessible::StaticText);
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const QString &t) { return t.endsWith(QStringLiteral("👋")); }))
        << qPrintable(texts.join(QLatin1Char('|')));
    const QString status = item(QStringLiteral("statusLabel"))->property("text").toString();
    EXPECT_FALSE(status.isEmpty());
    EXPECT_TRUE(texts.contains(status)) << qPrintable(texts.join(QLatin1Char('|')));
    for (const QString &name : {Recognition, Search, Account})
        EXPECT_TRUE(node(name, QAccessible::Button)) << qPrintable(name);
    EXPECT_FALSE(at::shownNode(window(), QStringLiteral("بازگشت")));
    EXPECT_FALSE(at::shownNode(window(), QStringLiteral("تلاش دوباره")));

    // A chip: one of a group, read as a radio button.
    ASSERT_TRUE(at::press(node(QStringLiteral("بی\u200cکلام"), QAccessible::RadioButton)));
    EXPECT_EQ(StationStore::shared()->selectedCategory(), StationStore::Category::Instrumental);
    EXPECT_TRUE(node(QStringLiteral("بی\u200cکلام"))->state().checked);
    ASSERT_TRUE(at::press(node(QStringLiteral("همه"), QAccessible::RadioButton)));
    EXPECT_EQ(StationStore::shared()->selectedCategory(), StationStore::Category::All);

    // The tabs (read as tabs, the shown one selected): the library shows, the radio tab's controls are
    // no longer exposed, and back.
    // The library tab is made only when first chosen.
    EXPECT_TRUE(node(RadioTab, QAccessible::PageTab)->state().selected);
    EXPECT_FALSE(item(QStringLiteral("libraryTab")));
    ASSERT_TRUE(at::press(node(LibraryTab, QAccessible::PageTab)));
    EXPECT_EQ(window()->property("currentTab").toInt(), 1);
    EXPECT_TRUE(waitFor([&] { return item(QStringLiteral("libraryTab")) != nullptr; }));
    EXPECT_TRUE(node(LibraryTab, QAccessible::PageTab)->state().selected);
    EXPECT_TRUE(waitFor([&] { return !at::shownNode(window(), Recognition); }));
    ASSERT_TRUE(at::press(node(RadioTab, QAccessible::PageTab)));
    EXPECT_EQ(window()->property("currentTab").toInt(), 0);

    // A live card: it plays under the full player.
    const QString card = exposedName(item(QStringLiteral("station_tehran-live"))->childItems().first());
    ASSERT_FALSE(card.isEmpty());
    ASSERT_TRUE(at::press(node(card, QAccessible::Button)));
    EXPECT_TRUE(player->isFullPlayerPresented());
    ASSERT_TRUE(waitFor([&] { return player->currentStation() && player->currentStation()->genre == QStringLiteral("tehran-live"); }));

    // The mini bar, named by what it shows, opens the full player again; its button is named for
    // its action.
    player->setFullPlayerPresented(false);
    QQuickItem *barArea = item(QStringLiteral("miniPlayerTapArea"));
    ASSERT_TRUE(waitFor([&] { return barArea->isVisible() && !exposedName(barArea).isEmpty(); }));
    EXPECT_TRUE(exposedName(barArea).contains(player->currentStation()->displayName()));
    ASSERT_TRUE(at::press(node(exposedName(barArea), QAccessible::Button)));
    EXPECT_TRUE(player->isFullPlayerPresented());
    player->setFullPlayerPresented(false);
    const QString toggle = exposedName(item(QStringLiteral("playPauseButton")));
    EXPECT_TRUE(toggle == QStringLiteral("پخش") || toggle == QStringLiteral("مکث")) << qPrintable(toggle);

    // The library tab's bar is the same button: pressed, and with Tab and Enter.
    ASSERT_TRUE(at::press(node(LibraryTab, QAccessible::PageTab)));
    QQuickItem *libraryBar = nullptr;
    ASSERT_TRUE(waitFor([&] {
        libraryBar = item(QStringLiteral("libraryMiniPlayerTapArea"));
        return libraryBar && libraryBar->isVisible();
    }));
    EXPECT_EQ(exposedName(libraryBar), exposedName(barArea));
    ASSERT_TRUE(at::press(node(exposedName(libraryBar), QAccessible::Button)));
    EXPECT_TRUE(player->isFullPlayerPresented());
    player->setFullPlayerPresented(false);
    ASSERT_TRUE(waitFor([&] { return at::shownNode(window(), exposedName(libraryBar)) != nullptr; }));
    // The control pressed took the focus, and has it back once the player it opened is closed.
    EXPECT_TRUE(waitFor([&] { return libraryBar->hasActiveFocus(); }));
    window()->requestActivate();
    for (int i = 0; i < 80; ++i) {
        QTest::keyClick(window(), Qt::Key_Tab);
        if (libraryBar->hasActiveFocus())
            break;
    }
    ASSERT_TRUE(libraryBar->hasActiveFocus());
    EXPECT_TRUE(ringShown(libraryBar));
    QTest::keyClick(window(), Qt::Key_Return);
    EXPECT_TRUE(player->isFullPlayerPresented());
    player->setFullPlayerPresented(false);
}

TEST_F(ShellAccessibility, TheKeyboardAloneWalksTheHomeScreenRightToLeftAndEnterActs)
{
    load(QStringLiteral("AppWindow"));
    window()->requestActivate();

    // Tab from the start: every stop shows its ring and has a name; the order is the visual one.
    QList<QQuickItem *> stops;
    for (int i = 0; i < 60; ++i) {
        QTest::keyClick(window(), Qt::Key_Tab);
        QQuickItem *focused = window()->activeFocusItem();
        ASSERT_TRUE(focused);
        if (!stops.isEmpty() && focused == stops.first())
            break;
        EXPECT_TRUE(ringShown(focused)) << qPrintable(exposedName(focused));
        EXPECT_FALSE(exposedName(focused).isEmpty()) << focused->metaObject()->className();
        stops << focused;
    }
    QStringList names;
    for (QQuickItem *stop : stops)
        names << exposedName(stop);
    const QStringList head = {Recognition, Search, Account, QStringLiteral("همه"), QStringLiteral("ایرانی"),
                              QStringLiteral("بین\u200cالمللی"), QStringLiteral("بی\u200cکلام")};
    ASSERT_GE(names.size(), head.size() + 4) << qPrintable(names.join(QLatin1Char('|')));
    EXPECT_EQ(names.mid(0, head.size()), head) << qPrintable(names.join(QLatin1Char('|')));
    EXPECT_EQ(names.mid(names.size() - 2), (QStringList{RadioTab, LibraryTab}));
    // Right to left along the header and the chips, and along the first row of cards.
    for (int i = 1; i < head.size(); ++i) {
        if (i == 3)
            continue; // from the header down to the chips
        EXPECT_LT(sceneRect(stops[i]).center().x(), sceneRect(stops[i - 1]).center().x()) << qPrintable(names[i]);
    }
    QQuickItem *firstCard = stops[head.size()];
    QQuickItem *secondCard = stops[head.size() + 1];
    EXPECT_LT(sceneRect(secondCard).center().x(), sceneRect(firstCard).center().x());

    // Shift+Tab goes back; Enter on the live card plays it.
    QQuickItem *live = item(QStringLiteral("station_tehran-live"))->childItems().first();
    const qsizetype at = stops.indexOf(live);
    ASSERT_GE(at, 0);
    QTest::keyClick(window(), Qt::Key_Backtab);
    for (qsizetype i = 0; i < stops.size() && window()->activeFocusItem() != live; ++i)
        QTest::keyClick(window(), Qt::Key_Tab);
    ASSERT_EQ(window()->activeFocusItem(), live);
    QTest::keyClick(window(), Qt::Key_Return);
    EXPECT_TRUE(RadioPlayer::shared()->isFullPlayerPresented());
    ASSERT_TRUE(waitFor([&] { return RadioPlayer::shared()->currentStation()
                                     && RadioPlayer::shared()->currentStation()->genre == QStringLiteral("tehran-live"); }));
}

TEST_F(ShellAccessibility, APullReloadsExactlyWhenItsIndicatorShowedReady)
{
    load(QStringLiteral("HomeView"));
    QQuickItem *scroll = item(QStringLiteral("homeScroll"));
    QQuickItem *indicator = item(QStringLiteral("refreshIndicator"));
    ASSERT_TRUE(scroll && indicator);
    const struct { qreal pull; bool reloads; } cases[] = {{40, false}, {70, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pull);
        const int before = server.countRequests(QStringLiteral("/api/stations"));
        // Drag down slowly until the list is pulled that far, then let go.
        QPoint at = scroll->mapToScene(QPointF(scroll->width() / 2, 150)).toPoint();
        QTest::mousePress(window(), Qt::LeftButton, {}, at);
        for (int i = 0; i < 200 && scroll->property("pullDistance").toReal() < c.pull; ++i) {
            at.ry() += 2;
            QTest::mouseMove(window(), at, 16);
        }
        const qreal shown = indicator->opacity();
        QTest::mouseRelease(window(), Qt::LeftButton, {}, at, 16);
        EXPECT_EQ(qFuzzyCompare(shown, 1.0), c.reloads) << "indicator opacity " << shown;
        ASSERT_TRUE(waitFor([&] {
            return !StationStore::shared()->isLoading() && scroll->property("pullDistance").toReal() <= 0;
        }, 10000));
        EXPECT_EQ(server.countRequests(QStringLiteral("/api/stations")), before + (c.reloads ? 1 : 0));
    }
}
