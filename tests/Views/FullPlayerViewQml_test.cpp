#include "support/AccessibleTree.h"
#include "support/CatalogueStation.h"
#include "ArtworkPicture.h"
#include "support/QmlWindowFixture.h"
#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"
#include "support/DemoCatalogue.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"

#include <QAccessible>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>

// The full player in a real Qt Quick window (offscreen) with the shared stores, against the
// stand-in backend and a real pipeline: the layout across its threshold, the five sheets, the
// keyboard, and the drag that closes it. Fails on any QML warning.

using namespace quickhost;

namespace {

class FullPlayerViewQml : public QmlWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        standin::installDemoCatalogue(server);
        standin::installAudioRoutes(server);
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        QmlWindowFixture::SetUp();
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        APIClient::shared().setBaseURL(previousBase);
    }

    QQuickItem *item(const QString &name) const { return itemNamed(hosted.window()->contentItem(), name); }
    QObject *object(const QString &name) const { return screen->findChild<QObject *>(name); }
    static bool isOpen(QObject *popup) { return popup && popup->property("opened").toBool(); }

    // Presses Tab until `target` has the keyboard's focus.
    bool tabTo(QQuickItem *target)
    {
        for (int i = 0; i < 30 && !target->hasActiveFocus(); ++i)
            QTest::keyClick(hosted.window(), Qt::Key_Tab);
        return target->hasActiveFocus();
    }
    void drag(QQuickItem *from, QPoint by)
    {
        const QPoint start = from->mapToScene(QPointF(from->width() / 2, from->height() / 2)).toPoint();
        QTest::mousePress(hosted.window(), Qt::LeftButton, {}, start);
        for (int step = 1; step <= 10; ++step)
            QTest::mouseMove(hosted.window(), start + by * step / 10);
        QTest::mouseRelease(hosted.window(), Qt::LeftButton, {}, start + by);
    }

    standin::StandInServer server;
    QUrl previousBase;
    QObject *screen = nullptr;
};

} // namespace

TEST_F(FullPlayerViewQml, LayoutSheetsKeyboardAndDrag)
{
    QObject *host = loadQml("Item { FullPlayerView { anchors.fill: parent } }");
    ASSERT_TRUE(host);
    screen = host->findChild<QObject *>(QStringLiteral("fullPlayer"));
    ASSERT_TRUE(screen);
    auto *model = screen->property("model").value<QObject *>();
    ASSERT_TRUE(model);
    QSignalSpy dismissed(screen, SIGNAL(dismissRequested()));

    // Regular at 860 points, compact below 750: the record, the play button and the banner follow.
    // The banner shows whole or not at all: only a regular window with room for it under the rest.
    struct Size { int height; bool compact; double side; double play; };
    for (const Size &size : {Size{1000, false, 300, 78}, Size{860, false, 258, 78}, Size{700, true, 238, 66},
                             Size{750, false, 225, 78}}) {
        hosted.window()->resize(430, size.height);
        ASSERT_TRUE(waitFor([&] { return model->property("compact").toBool() == size.compact; })) << size.height;
        settle(50);
        EXPECT_EQ(item(QStringLiteral("vinyl"))->width(), size.side + 24) << size.height;
        EXPECT_EQ(item(QStringLiteral("playPauseButton"))->width(), size.play) << size.height;
        QQuickItem *banner = item(QStringLiteral("adBanner"));
        if (size.compact || size.height == 1000) {
            EXPECT_EQ(banner->isVisible(), !size.compact) << size.height;
        }
        if (banner->isVisible()) {
            EXPECT_LE(banner->mapToScene(QPointF(0, banner->height())).y(), size.height) << size.height;
        }
        // Nothing of the column spills over the side margins.
        QQuickItem *transport = item(QStringLiteral("transport"));
        EXPECT_LE(transport->width(), 430 - 2 * model->property("sideMargin").toDouble()) << size.height;
    }

    // No station: the title, the live badge, and the sheets that take a station open empty.
    EXPECT_EQ(item(QStringLiteral("headerTitle"))->property("text").toString(), QStringLiteral("ملودریفت رادیو"));
    EXPECT_TRUE(item(QStringLiteral("liveBadge"))->isVisible());
    const struct { const char *button, *flag, *sheet; bool takesStation; } sheets[] = {
        {"storyButton", "showStory", "storySheet", true},
        {"equalizerButton", "showEQ", "equalizerSheet", false},
        {"addButton", "showLogin", "loginSheet", false}, // signed out
        {"lyricsButton", "showLyrics", "lyricsSheet", true},
        {"favoriteButton", "showLogin", "loginSheet", false}, // no station: the heart does nothing
    };
    for (const auto &s : sheets) {
        const bool opens = QByteArray(s.button) != "favoriteButton";
        QMetaObject::invokeMethod(item(QString::fromUtf8(s.button)), "clicked");
        EXPECT_EQ(model->property(s.flag).toBool(), opens) << s.button;
        QObject *sheet = object(QString::fromUtf8(s.sheet));
        ASSERT_TRUE(sheet) << s.sheet;
        if (!opens)
            continue;
        ASSERT_TRUE(waitFor([&] { return isOpen(sheet); })) << s.sheet;
        auto *content = sheet->property("contentScreen").value<QQuickItem *>();
        ASSERT_TRUE(content) << s.sheet;
        if (s.takesStation) {
            EXPECT_EQ(content->property("pageItem").value<QQuickItem *>(), nullptr) << s.sheet;
        }
        QTest::keyClick(hosted.window(), Qt::Key_Escape);
        ASSERT_TRUE(waitFor([&] { return !model->property(s.flag).toBool() && !sheet->property("visible").toBool(); }))
            << s.sheet;
    }

    // A rotation plays: the lyrics sheet keeps the station it was opened with.
    ASSERT_TRUE(testsupport::selectCatalogueStation(QStringLiteral("persian")));
    RadioPlayer *player = RadioPlayer::shared();
    ASSERT_TRUE(waitFor([&] { return player->isPlaying(); }, 10000));
    EXPECT_TRUE(item(QStringLiteral("progressRow"))->isVisible());
    EXPECT_FALSE(item(QStringLiteral("liveBadge"))->isVisible());
    const QString opened = player->currentStation()->currentTrackID();
    model->setProperty("showLyrics", true);
    QObject *lyrics = object(QStringLiteral("lyricsSheet"));
    ASSERT_TRUE(waitFor([&] { return isOpen(lyrics); }));
    auto *page = lyrics->property("contentScreen").value<QQuickItem *>()->property("pageItem").value<QQuickItem *>();
    ASSERT_TRUE(page);
    // The record waits under the sheet.
    EXPECT_TRUE(model->property("isRotating").toBool());
    EXPECT_FALSE(item(QStringLiteral("vinyl"))->property("running").toBool());
    player->nextTrack();
    ASSERT_NE(player->currentStation()->currentTrackID(), opened);
    EXPECT_EQ(Station::fromVariant(page->property("station"))->currentTrackID(), opened);
    QTest::keyClick(hosted.window(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return !lyrics->property("visible").toBool(); }));
    EXPECT_TRUE(item(QStringLiteral("vinyl"))->property("running").toBool());

    // Keyboard alone: Tab to play/pause, Enter pauses; the button is named for what it does.
    QQuickItem *play = item(QStringLiteral("playPauseButton"));
    ASSERT_TRUE(waitFor([&] { return player->isPlaying(); }, 10000));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(play)->text(QAccessible::Name), QStringLiteral("مکث"));
    ASSERT_TRUE(tabTo(play));
    QTest::keyClick(hosted.window(), Qt::Key_Return);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(play)->text(QAccessible::Name), QStringLiteral("پخش"));

    // A drag on the volume slider never moves the screen; a long pull down on the record closes it.
    // (A tall window: the pull stays inside it.)
    hosted.window()->resize(430, 1000);
    settle(50);
    drag(item(QStringLiteral("volumeSlider")), QPoint(0, 150));
    EXPECT_EQ(model->property("dragOffset").toDouble(), 0.0);
    EXPECT_EQ(dismissed.count(), 0);
    drag(item(QStringLiteral("vinyl")), QPoint(0, 60));
    ASSERT_TRUE(waitFor([&] { return item(QStringLiteral("fullPlayerContent"))->y() == 0; }));
    EXPECT_EQ(dismissed.count(), 0);
    drag(item(QStringLiteral("vinyl")), QPoint(0, 200));
    EXPECT_EQ(dismissed.count(), 1);
    player->togglePlayPause();
}

TEST_F(FullPlayerViewQml, AssistiveTechnologyDrivesItAndReadsWhatItShows)
{
    namespace at = accessibletree;
    at::Session accessibility;
    ASSERT_TRUE(loadQml("Item { FullPlayerView { anchors.fill: parent } }"));
    QQuickWindow *window = hosted.window();
    auto node = [&](const QString &name, QAccessible::Role role = QAccessible::NoRole) {
        QAccessibleInterface *found = nullptr;
        waitFor([&] { return (found = at::shownNode(window, name, role)) != nullptr; });
        return found;
    };
    RadioPlayer *player = RadioPlayer::shared();
    ASSERT_TRUE(testsupport::selectCatalogueStation(QStringLiteral("jazz")));
    ASSERT_TRUE(waitFor([&] { return player->isPlaying() && player->duration() > 5; }, 10000));

    // What it shows, it exposes: the title among the rest.
    const QString title = item(QStringLiteral("trackTitle"))->property("text").toString();
    ASSERT_FALSE(title.isEmpty());
    EXPECT_TRUE(node(title, QAccessible::StaticText));
    ASSERT_TRUE(waitFor([&] { return at::unexposedTexts(window).isEmpty(); }))
        << qPrintable(at::unexposedTexts(window).join(QLatin1Char('|')));
    QAccessibleInterface *heart = node(QStringLiteral("پسندیدن"), QAccessible::CheckBox);
    ASSERT_TRUE(heart);
    EXPECT_TRUE(heart->state().checkable);
    EXPECT_FALSE(heart->state().checked);

    // The volume set to 30 % of its range, and the seek bar to the middle.
    QAccessibleInterface *volume = node(QStringLiteral("بلندی صدا"), QAccessible::Slider);
    ASSERT_TRUE(volume && volume->valueInterface());
    const double low = volume->valueInterface()->minimumValue().toDouble();
    const double high = volume->valueInterface()->maximumValue().toDouble();
    ASSERT_LT(low, high);
    volume->valueInterface()->setCurrentValue(low + 0.3 * (high - low));
    EXPECT_NEAR(player->volume(), 0.3, 0.01);
    QAccessibleInterface *seek = node(QStringLiteral("موقعیت پخش"), QAccessible::Slider);
    ASSERT_TRUE(seek && seek->valueInterface());
    const double end = seek->valueInterface()->maximumValue().toDouble();
    EXPECT_NEAR(end, player->duration(), 1.0);
    seek->valueInterface()->setCurrentValue(end / 2);
    EXPECT_TRUE(waitFor([&] { return std::abs(player->currentTime() - end / 2) < 2.0; }, 10000))
        << player->currentTime() << " of " << end;

    // A live station: the seconds buttons are exposed as disabled, the badge as text.
    ASSERT_TRUE(testsupport::selectCatalogueStation(QStringLiteral("tehran-live")));
    ASSERT_TRUE(waitFor([&] { return player->isLive(); }, 10000));
    EXPECT_TRUE(node(QStringLiteral("پخش زنده"), QAccessible::StaticText));
    for (const QString &name : {QStringLiteral("عقب"), QStringLiteral("جلو"), QStringLiteral("آهنگ بعدی")}) {
        QAccessibleInterface *button = node(name, QAccessible::Button);
        ASSERT_TRUE(button) << qPrintable(name);
        EXPECT_TRUE(button->state().disabled) << qPrintable(name);
    }
    EXPECT_FALSE(node(QStringLiteral("بستن"), QAccessible::Button)->state().disabled);
    player->togglePlayPause();
}
