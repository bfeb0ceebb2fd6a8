#include "Services/APIClient.h"
#include "Services/AuthStore.h"
#include "support/DemoCatalogue.h"
#include "support/QmlWindowFixture.h"
#include "support/StandInServer.h"

#include <QDir>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

// What the screens draw, grabbed from a real Qt Quick window (offscreen, so on the software
// renderer): one case per fault a listener saw, each read from the pixels or from where the
// drawing stands.

using namespace quickhost;

namespace {

// How far apart two colours are (the largest difference of a channel).
int distance(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

class ScreenDrawing;

struct Drawing
{
    const char *name;
    std::function<void(ScreenDrawing &)> check;
};

class ScreenDrawing : public QmlWindowFixture, public ::testing::WithParamInterface<Drawing>
{
public:
    void SetUp() override
    {
        ASSERT_NE(server.listen(), 0u);
        standin::installDemoCatalogue(server);
        previousBase = APIClient::shared().baseURL();
        APIClient::shared().setBaseURL(server.baseUrl());
        QmlWindowFixture::SetUp();
    }
    void TearDown() override
    {
        QmlWindowFixture::TearDown();
        APIClient::shared().setBaseURL(previousBase);
    }

    // Hosts `qml` (the module and the controls imported) in a window of `size`.
    QObject *show(const QByteArray &qml, QSize size = QSize(430, 860))
    {
        hosted = HostedScreen::loadText(*engine, "import QtQuick\nimport QtQuick.Controls\nimport Melodrift\n" + qml,
                                        {}, size);
        EXPECT_TRUE(hosted.isValid()) << qPrintable(hosted.error());
        return hosted.screen();
    }
    QQuickItem *find(const QString &name) const { return visibleNamed(hosted.window()->contentItem(), name); }
    QImage grab() const { return hosted.window()->grabWindow(); }
    QQuickWindow *window() const { return hosted.window(); }
    QColor at(const QImage &image, QPointF scene) const { return image.pixelColor(scene.toPoint()); }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(hosted.window(), k, modifiers);
    }
    // Tab until `item` holds the focus (at most `presses`).
    bool tabTo(QQuickItem *item, int presses = 30)
    {
        for (int i = 0; i < presses && !item->hasActiveFocus(); ++i)
            key(Qt::Key_Tab);
        return item->hasActiveFocus();
    }
    // Waits for a frame drawn after whatever just changed.
    void nextFrame() const
    {
        bool drawn = false;
        auto connection = QObject::connect(hosted.window(), &QQuickWindow::frameSwapped, [&] { drawn = true; });
        hosted.window()->update();
        waitFor([&] { return drawn; });
        QObject::disconnect(connection);
    }

    // The ring of `control` drawn clear of its text: the pixels the ring adds (the difference
    // between the control shown without and with the focus) stand around everything the control
    // draws, with room at the sides, and nowhere touch it.
    void expectRingClearOfContent(QQuickItem *control, QQuickItem *elsewhere)
    {
        ASSERT_TRUE(control && elsewhere);
        ASSERT_TRUE(tabTo(elsewhere));
        nextFrame();
        const QImage without = grab();
        ASSERT_TRUE(tabTo(control));
        nextFrame();
        const QImage with = grab();
        const QRect area = control->mapRectToScene(QRectF(-12, -12, control->width() + 24, control->height() + 24))
                               .toAlignedRect() & without.rect();
        const QColor ground = without.pixelColor(control->mapToScene(QPointF(-10, control->height() / 2)).toPoint());
        QRect ring, content;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (distance(without.pixelColor(x, y), with.pixelColor(x, y)) > 40)
                    ring |= QRect(x, y, 1, 1);
                else if (distance(without.pixelColor(x, y), ground) > 40)
                    content |= QRect(x, y, 1, 1);
            }
        }
        ASSERT_FALSE(ring.isEmpty()) << "no ring drawn";
        ASSERT_FALSE(content.isEmpty());
        // Around it, with room at the sides (where a renderer's glyphs spread a pixel or two
        // further than another's), and nowhere within a pixel of it.
        EXPECT_TRUE(ring.adjusted(5, 3, -5, -3).contains(content))
            << "ring " << ring.x() << "," << ring.y() << " " << ring.width() << "x" << ring.height() << " content "
            << content.x() << "," << content.y() << " " << content.width() << "x" << content.height();
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (distance(without.pixelColor(x, y), with.pixelColor(x, y)) <= 40)
                    continue;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const QPoint p(x + dx, y + dy);
                        if (area.contains(p) && distance(without.pixelColor(p), ground) > 40
                            && distance(without.pixelColor(p), with.pixelColor(p)) <= 40) {
                            ADD_FAILURE() << "the ring touches the content at " << p.x() << "," << p.y();
                            return;
                        }
                    }
            }
        }
    }

    standin::StandInServer server;
    QUrl previousBase;
};

void PrintTo(const Drawing &drawing, std::ostream *os)
{
    *os << drawing.name;
}

const Drawing drawings[] = {
    {"CoversAreClippedToTheirRoundedCorners", [](ScreenDrawing &t) {
         t.show(R"(Item {
             PlaylistCard { objectName: "card"; x: 20; y: 20; width: 200
                            playlist: ({ title: "Road Trip", coverURL: "/artwork/road.jpg", trackCountText: "2 آهنگ" }) }
         })");
         QQuickItem *card = t.find(QStringLiteral("card"));
         ASSERT_TRUE(card);
         ASSERT_TRUE(waitFor([&] {
             const auto pictures = card->findChildren<QQuickItem *>();
             for (QQuickItem *item : pictures)
                 if (item->inherits("ArtworkPicture") && item->property("status").toInt() == 2)
                     return true;
             return false;
         }));
         t.nextFrame();
         const QImage frame = t.grab();
         const QColor window = frame.pixelColor(5, 5);
         // The corner of the cover shows what lies behind the card; its middle, the artwork.
         const QColor corner = t.at(frame, card->mapToScene(QPointF(1.5, 1.5)));
         const QColor middle = t.at(frame, card->mapToScene(QPointF(100, 100)));
         EXPECT_LT(distance(corner, window), 20) << qPrintable(corner.name());
         EXPECT_GT(distance(middle, window), 40) << qPrintable(middle.name());
         // A little way in along the diagonal the artwork begins: the corner is round, not cut.
         EXPECT_GT(distance(t.at(frame, card->mapToScene(QPointF(6, 6))), window), 40);
     }},
    {"TheBannerShowsWholeOrNotAtAll", [](ScreenDrawing &t) {
         // A regular window short of the banner's room, and one with room for it.
         for (const QSize size : {QSize(430, 860), QSize(1280, 800), QSize(430, 1000)}) {
             t.show("FullPlayerView {}", size);
             QQuickItem *banner = t.find(QStringLiteral("adBanner"));
             QQuickItem *footer = t.find(QStringLiteral("footer"));
             ASSERT_TRUE(footer);
             ASSERT_TRUE(waitFor([&] { return footer->height() > 0; }));
             t.nextFrame();
             if (size.height() == 1000) {
                 ASSERT_TRUE(banner) << "no banner where it fits";
             }
             if (banner) {
                 const QRectF drawn = banner->mapRectToScene(QRectF(0, 0, banner->width(), banner->height()));
                 EXPECT_LE(drawn.bottom(), size.height()) << size.width() << "x" << size.height();
             }
             // Whatever else the column holds stays inside the window.
             EXPECT_LE(footer->mapToScene(QPointF(0, footer->height())).y(), size.height());
         }
     }},
    {"DisabledControlsAreDrawnDisabled", [](ScreenDrawing &t) {
         t.show(R"(Column {
             x: 20; y: 20; spacing: 20
             ValueSlider { objectName: "on"; width: 200; from: 0; to: 10; modelValue: 5 }
             ValueSlider { objectName: "off"; width: 200; from: 0; to: 10; modelValue: 5; enabled: false }
             SpotifyImportCard { objectName: "spotify"; width: 390; model: SpotifyImportCardModel {} }
         })");
         QQuickItem *on = t.find(QStringLiteral("on"));
         QQuickItem *off = t.find(QStringLiteral("off"));
         QQuickItem *resolve = t.find(QStringLiteral("resolveButton"));
         ASSERT_TRUE(on && off && resolve);
         t.nextFrame();
         const QImage frame = t.grab();
         // The filled part (a quarter along from the start, the right in a mirrored layout) and
         // the knob (the middle) of each.
         const qreal filled = on->property("mirrored").toBool() ? 150 : 50;
         const QColor onFill = t.at(frame, on->mapToScene(QPointF(filled, 14)));
         const QColor offFill = t.at(frame, off->mapToScene(QPointF(filled, 14)));
         const QColor onKnob = t.at(frame, on->mapToScene(QPointF(100, 14)));
         const QColor offKnob = t.at(frame, off->mapToScene(QPointF(100, 14)));
         EXPECT_GT(onFill.hsvSaturation(), 80) << qPrintable(onFill.name());
         EXPECT_LT(offFill.hsvSaturation(), 20) << qPrintable(offFill.name());
         EXPECT_EQ(onKnob, QColor(Qt::white));
         EXPECT_LT(offKnob.value(), 160) << qPrintable(offKnob.name());
         // The resolve button, with no link to look up: its accent fill at half strength.
         EXPECT_FALSE(resolve->isEnabled());
         const QColor fill = t.at(frame, resolve->mapToScene(QPointF(4, resolve->height() / 2)));
         EXPECT_LT(fill.value(), 200) << qPrintable(fill.name());
     }},
    {"TheFocusRingGoesAroundTheTextNeverOverIt", [](ScreenDrawing &t) {
         t.show(R"(Item {
             LayoutMirroring.enabled: true; LayoutMirroring.childrenInherit: true
             Rectangle { anchors.fill: parent; color: Theme.background }
             PlainButton { objectName: "close"; x: 330; y: 30; text: "بستن"; color: Qt.rgba(1, 1, 1, 0.7) }
             PlaylistTrackRow { objectName: "row"; x: 16; y: 100; width: 398
                                track: ({ number: 12, title: "مهتاب", artist: "سارا نیک", durationText: "0:30" }) }
         })");
         QQuickItem *close = t.find(QStringLiteral("close"));
         QQuickItem *rowPlay = visibleNamed(t.find(QStringLiteral("row")), QStringLiteral("playButton"));
         QQuickItem *rowMenu = visibleNamed(t.find(QStringLiteral("row")), QStringLiteral("menuButton"));
         t.expectRingClearOfContent(close, rowMenu);
         t.expectRingClearOfContent(rowPlay, close);
     }},
    {"AConfirmationOpenedFromTheKeyboardShowsWhereTheFocusIs", [](ScreenDrawing &t) {
         QObject *root = t.show(R"(Item {
             id: host
             property bool asking: false
             PlainButton { objectName: "opener"; x: 20; y: 20; text: "حذف"; onClicked: host.asking = true }
             ConfirmationDialog { presenter: host; flag: "asking"; title: "حذف آهنگ؟"; message: "مهتاب" }
         })");
         QQuickItem *opener = t.find(QStringLiteral("opener"));
         ASSERT_TRUE(t.tabTo(opener));
         t.key(Qt::Key_Return);
         ASSERT_TRUE(root->property("asking").toBool());
         QQuickItem *cancel = nullptr;
         ASSERT_TRUE(waitFor([&] {
             cancel = t.find(QStringLiteral("cancelButton"));
             return cancel && cancel->hasActiveFocus();
         })) << (cancel ? "cancel found" : "no cancel") << " focus on " << qPrintable(t.window()->activeFocusItem() ? t.window()->activeFocusItem()->objectName() : QString("none"));
         auto *ring = cancel->property("focusRing").value<QQuickItem *>();
         ASSERT_TRUE(ring && ring->isVisible());
         ASSERT_TRUE(waitFor([&] { return qFuzzyCompare(cancel->parentItem()->parentItem()->opacity(), 1.0); }));
         t.nextFrame();
         // Its ring, white, inside the dialog's edge.
         const QImage frame = t.grab();
         const QPointF top = ring->mapToScene(QPointF(ring->width() / 2, 0.5));
         EXPECT_GT(t.at(frame, top).lightness(), 200) << qPrintable(t.at(frame, top).name());
         const QRectF dialog = cancel->parentItem()->mapRectToScene(cancel->parentItem()->boundingRect());
         EXPECT_TRUE(dialog.contains(ring->mapRectToScene(ring->boundingRect())));
     }},
    {"TheLibraryOpensAtItsTop", [](ScreenDrawing &t) {
         AuthStore::shared().logout();
         t.show("LibraryView {}");
         QQuickItem *list = t.find(QStringLiteral("libraryScroll"));
         QQuickItem *offline = t.find(QStringLiteral("offlineCard"));
         ASSERT_TRUE(list && offline);
         ASSERT_TRUE(waitFor([&] { return t.find(QStringLiteral("loginPrompt")) != nullptr; }));
         t.nextFrame();
         // The first card stands whole below the title: the list's top margin above it.
         const qreal listTop = list->mapToScene(QPointF(0, 0)).y();
         EXPECT_NEAR(offline->mapToScene(QPointF(0, 0)).y(), listTop + list->property("topMargin").toReal(), 0.5);
         EXPECT_NEAR(list->property("contentY").toReal(),
                     list->property("originY").toReal() - list->property("topMargin").toReal(), 0.5);
     }},
    {"TheSaveDialogsFirstEntryShowsItsWholeRing", [](ScreenDrawing &t) {
         QTemporaryDir folder;
         for (const char *name : {"Clips", "Music", "Stories"})
             ASSERT_TRUE(QDir(folder.path()).mkdir(QLatin1String(name)));
         QObject *root = t.show(R"(Item {
             id: host
             Component { id: make; SaveFileDialog { suffix: ".mp4" } }
             function open(folder) { make.createObject(host).openAt(folder, "story.mp4", true) }
         })");
         QMetaObject::invokeMethod(root, "open", Q_ARG(QVariant, folder.path()));
         QQuickItem *entry = nullptr;
         ASSERT_TRUE(waitFor([&] { return (entry = t.find(QStringLiteral("entryButton"))) != nullptr; }));
         ASSERT_TRUE(t.tabTo(entry, 6));
         auto *ring = entry->property("focusRing").value<QQuickItem *>();
         ASSERT_TRUE(ring && ring->isVisible());
         t.nextFrame();
         // The list clips what lies outside it: the ring lies inside, its top edge drawn.
         QQuickItem *list = t.find(QStringLiteral("folderEntries"));
         const QRectF shown = list->mapRectToScene(list->boundingRect());
         const QRectF drawn = ring->mapRectToScene(ring->boundingRect());
         EXPECT_TRUE(shown.contains(drawn));
         const QImage frame = t.grab();
         EXPECT_GT(t.at(frame, ring->mapToScene(QPointF(ring->width() / 2, 0.5))).lightness(), 200);
     }},
};

} // namespace

TEST_P(ScreenDrawing, IsWhatTheListenerShouldSee)
{
    GetParam().check(*this);
}

INSTANTIATE_TEST_SUITE_P(Rows, ScreenDrawing, ::testing::ValuesIn(drawings),
                         [](const ::testing::TestParamInfo<Drawing> &info) { return std::string(info.param.name); });
