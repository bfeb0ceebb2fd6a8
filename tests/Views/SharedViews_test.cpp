#include "EqualizerBarsPicture.h"
#include "Kit/StepClock.h"
#include "support/QuickHost.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

// The shared view pieces in a live window: the scale button, the playing indicator and the tint.

using namespace quickhost;

namespace {

class SharedViews : public ::testing::Test
{
protected:
    void SetUp() override { engine = makeEngine(); }
    void TearDown() override
    {
        hosted = HostedScreen();
        engine.reset();
        EXPECT_TRUE(trap.messages().isEmpty()) << qPrintable(trap.messages().join('\n'));
    }
    QObject *load(const QByteArray &qml)
    {
        hosted = HostedScreen::loadText(*engine, "import QtQuick\nimport Melodrift\n" + qml);
        EXPECT_TRUE(hosted.isValid()) << qPrintable(hosted.error());
        return hosted.screen();
    }
    template <typename T = QObject>
    T *find(const char *name) const
    {
        return hosted.screen()->findChild<T *>(QLatin1String(name));
    }

    MessageTrap trap;
    std::unique_ptr<QQmlEngine> engine;
    HostedScreen hosted;
};

} // namespace

TEST_F(SharedViews, ScaleButtonShrinksItsLabelWhilePressedAndStillClicksWithoutAnAction)
{
    load(R"(
Item {
    ScaleButtonStyle {
        objectName: "button"
        x: 100; y: 100
        contentItem: Rectangle { objectName: "label"; implicitWidth: 120; implicitHeight: 80; color: "white" }
    }
}
)");
    auto *button = find<QQuickItem>("button");
    auto *label = find<QQuickItem>("label");
    ASSERT_TRUE(button && label);
    const QPoint centre = button->mapToScene(QPointF(60, 40)).toPoint();

    QTest::mousePress(hosted.window(), Qt::LeftButton, {}, centre);
    EXPECT_TRUE(waitFor([&] { return qFuzzyCompare(label->scale(), 0.96); }));
    QTest::mouseRelease(hosted.window(), Qt::LeftButton, {}, centre);
    EXPECT_TRUE(waitFor([&] { return qFuzzyCompare(label->scale(), 1.0); }));
}

TEST_F(SharedViews, EqualizerBarsSwingAndStartAgainWhenShownAnew)
{
    load(R"(
Item {
    EqualizerBars { objectName: "bars"; tint: "white" }
}
)");
    auto *bars = find<QQuickItem>("bars");
    ASSERT_TRUE(bars);
    EXPECT_EQ(bars->implicitHeight(), 20);
    EXPECT_TRUE(waitFor([&] { return bars->property("up").toBool(); }));
    QQuickItem *picture = nullptr;
    for (QQuickItem *item : bars->childItems())
        if (item->objectName() == QStringLiteral("barsPicture"))
            picture = item;
    ASSERT_TRUE(picture);
    auto heights = [&] { return picture->property("barHeights").value<QList<qreal>>(); };
    const QList<qreal> lefts = picture->property("barLefts").value<QList<qreal>>();
    ASSERT_EQ(lefts.size(), 4);
    // Side by side, right to left as the window is laid out.
    for (int i = 1; i < 4; ++i)
        EXPECT_NEAR(lefts[i - 1] - lefts[i], 3.6 + 3.5, 0.01) << i;
    // The first bar swings between 8 and 19.
    EXPECT_TRUE(waitFor([&] { return heights()[0] > 15; }));
    EXPECT_TRUE(waitFor([&] { return heights()[0] < 10; }));

    bars->setVisible(false);
    EXPECT_FALSE(bars->property("up").toBool());
    bars->setVisible(true);
    // Shown anew: from the low heights, the first bar rising at once, the last still waiting.
    EXPECT_NEAR(heights()[3], 13, 0.5);
    EXPECT_TRUE(bars->property("up").toBool());

    // A window that is not on screen stops the swing; shown again, it starts anew.
    hosted.window()->hide();
    EXPECT_TRUE(waitFor([&] { return !bars->property("up").toBool(); }));
    hosted.window()->show();
    EXPECT_TRUE(waitFor([&] { return bars->property("up").toBool(); }));
}

TEST(EqualizerBarsPicture, EachBarSwingsBetweenItsHeightsAfterItsDelay)
{
    EqualizerBarsPicture picture;
    picture.setSize(QSizeF(EqualizerBarsPicture::NaturalWidth, 20));
    // A bar is low until its delay (0, 140, 280, 420 ms), half way 210 ms later, high at 420,
    // low again at 840.
    const struct {
        qreal elapsed;
        int bar; // leading first
        qreal height;
    } rows[] = {
        {0, 0, 8}, {0, 1, 15}, {0, 2, 19}, {0, 3, 13},
        {420, 0, 19}, {420, 3, 13}, {350, 1, 12}, {560, 1, 9},
        {700, 2, 14}, {840, 3, 8}, {840, 0, 8}, {1050, 0, 13.5},
    };
    for (const auto &row : rows) {
        picture.setElapsed(row.elapsed);
        EXPECT_NEAR(picture.barHeights()[row.bar], row.height, 0.01) << row.elapsed << " bar " << row.bar;
    }
    // Left to right unless mirrored; always centred.
    EXPECT_NEAR(picture.barLefts().first(), 0, 0.01);
    picture.setMirrored(true);
    EXPECT_NEAR(picture.barLefts().first(), 3 * (3.6 + 3.5), 0.01);
}

TEST(EqualizerBarsPicture, ATimeOfTheSwingAndOneASwingLaterShareAPictureThatLooksLikeBoth)
{
    EqualizerBarsPicture picture;
    picture.setSize(QSizeF(EqualizerBarsPicture::NaturalWidth, 20));
    auto heightsAt = [&](qreal elapsed) {
        picture.setElapsed(elapsed);
        return picture.barHeights();
    };
    // Before the last bar's delay (420 ms) nothing repeats; after it, every 840 ms.
    EXPECT_NE(EqualizerBarsPicture::pictureIndex(100), EqualizerBarsPicture::pictureIndex(940));
    int largest = 0;
    for (qreal elapsed = 0; elapsed < 20000; elapsed += 7.3) {
        const int index = EqualizerBarsPicture::pictureIndex(elapsed);
        largest = std::max(largest, index);
        if (elapsed >= 420) {
            EXPECT_EQ(index, EqualizerBarsPicture::pictureIndex(elapsed + 840)) << elapsed;
        }
        // The picture drawn for the index is within half a point of where the bars stand.
        const QList<qreal> drawn = heightsAt(index * EqualizerBarsPicture::PictureMs);
        const QList<qreal> exact = heightsAt(elapsed);
        for (int bar = 0; bar < 4; ++bar)
            EXPECT_NEAR(drawn[bar], exact[bar], 0.5) << elapsed << " bar " << bar;
    }
    // So few pictures, however long it swings: the first 420 ms and one swing.
    EXPECT_EQ(largest, (420 + 840) / EqualizerBarsPicture::PictureMs - 1);
}

TEST_F(SharedViews, EqualizerBarsDrawEachPictureOnceForItsLook)
{
    load(R"(
Item {
    EqualizerBarsPicture { objectName: "picture"; width: 24.9; height: 20; tint: "white" }
}
)");
    auto *picture = find<EqualizerBarsPicture>("picture");
    ASSERT_TRUE(picture);
    QQuickWindow *window = hosted.window();
    auto drawnAt = [&](qreal elapsed) {
        picture->setElapsed(elapsed);
        window->update();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        QSignalSpy swapped(window, &QQuickWindow::frameSwapped);
        window->update();
        EXPECT_TRUE(swapped.wait(5000));
        return picture->picturesDrawn();
    };
    const int first = drawnAt(500);
    EXPECT_GE(first, 1);
    // A swing later, the same picture; a new moment of the swing, one more.
    EXPECT_EQ(drawnAt(500 + 840), first);
    EXPECT_EQ(drawnAt(500 + 3 * 840), first);
    EXPECT_EQ(drawnAt(560), first + 1);
    // A new tint draws afresh.
    picture->setTint(Qt::red);
    EXPECT_EQ(drawnAt(560), 1);
}

// On the clock, however late its ticks come: the pictures of the first 420 ms and of one swing,
// a step apart, and no more.
TEST_F(SharedViews, ASwingOnTheClockDrawsEachStepOnce)
{
    load(R"(
Item {
    EqualizerBarsPicture { objectName: "picture"; width: 24.9; height: 20; tint: "white"; swinging: true }
}
)");
    auto *picture = find<EqualizerBarsPicture>("picture");
    ASSERT_TRUE(picture);
    QSignalSpy steps(&StepClock::shared(), &StepClock::stepped);
    ASSERT_TRUE(waitFor([&] { return steps.size() >= 30; }, 20000));
    EXPECT_LE(picture->picturesDrawn(), (420 + 840) / StepClock::StepMs);
    EXPECT_EQ(std::fmod(picture->elapsed(), StepClock::StepMs), 0.0);
}

TEST_F(SharedViews, HarmonicTintAnimatesOnANewArtworkOnly)
{
    QObject *root = load(R"(
Item {
    HarmonicTint { objectName: "tint"; anchors.fill: parent; artworkKey: "/artwork/a.jpg" }
}
)");
    ASSERT_TRUE(root);
    QObject *tint = find("tint");
    ASSERT_TRUE(waitFor([&] { return !tint->property("animating").toBool(); }, 3000));

    // The colour alone changes (same artwork): it follows at once.
    tint->setProperty("tint", QColor(Qt::red));
    EXPECT_EQ(tint->property("shownTint").value<QColor>(), QColor(Qt::red));
    EXPECT_FALSE(tint->property("animating").toBool());

    // A new artwork: the colour that comes with it is animated over 0.9 s.
    tint->setProperty("artworkKey", QStringLiteral("/artwork/b.jpg"));
    tint->setProperty("tint", QColor(Qt::blue));
    EXPECT_TRUE(tint->property("animating").toBool());
    EXPECT_NE(tint->property("shownTint").value<QColor>(), QColor(Qt::blue));
    EXPECT_TRUE(waitFor([&] { return tint->property("shownTint").value<QColor>() == QColor(Qt::blue); }, 5000));
}
