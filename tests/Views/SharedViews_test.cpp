#include "support/QuickHost.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <gtest/gtest.h>

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
    QList<QQuickItem *> rects; // the bars, leading first
    for (QQuickItem *item : bars->childItems())
        if (item->inherits("QQuickRectangle"))
            rects << item;
    ASSERT_EQ(rects.size(), 4);
    // Side by side, right to left as the window is laid out.
    for (int i = 1; i < 4; ++i)
        EXPECT_NEAR(rects[i - 1]->x() - rects[i]->x(), 3.6 + 3.5, 0.01) << i;
    // The first bar swings between 8 and 19.
    EXPECT_TRUE(waitFor([&] { return rects[0]->height() > 15; }));
    EXPECT_TRUE(waitFor([&] { return rects[0]->height() < 10; }));

    bars->setVisible(false);
    EXPECT_FALSE(bars->property("up").toBool());
    bars->setVisible(true);
    // Shown anew: from the low heights, the first bar rising at once, the last still waiting.
    EXPECT_NEAR(rects[3]->height(), 13, 0.5);
    EXPECT_TRUE(bars->property("up").toBool());

    // A window that is not on screen stops the swing; shown again, it starts anew.
    hosted.window()->hide();
    EXPECT_TRUE(waitFor([&] { return !bars->property("up").toBool(); }));
    hosted.window()->show();
    EXPECT_TRUE(waitFor([&] { return bars->property("up").toBool(); }));
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
