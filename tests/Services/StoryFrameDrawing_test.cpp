#include "Services/StoryFrameDrawing.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

using namespace StoryFrame;

namespace {

const QColor Theme(200, 60, 100);
const QColor Green(0, 255, 0);

QImage solid(const QColor &color, int side = 400)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

StoryConfig baseConfig(QImage cover = {})
{
    StoryConfig c;
    c.title = QStringLiteral("عنوان");
    c.artist = QStringLiteral("خواننده");
    c.coverImage = std::move(cover);
    c.themeColor = Theme;
    c.accentColor = QColor(255, 120, 60);
    c.lines = {LyricsLine{0.0, QStringLiteral("خط اول ترانه"), QStringLiteral("first line")}};
    return c;
}

QImage frameAt(const StoryConfig &config, const ReadyAssets &assets, const StoryVideoRenderer::Timings &timings,
               double t)
{
    QImage frame(720, 1280, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::magenta); // whatever a recycled buffer held must not show
    drawFrame(frame, config, assets, timings, t);
    return frame;
}

int channelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)),
                     std::abs(qAlpha(a) - qAlpha(b))});
}

// The largest difference between two frames inside a rectangle.
int largestDifference(const QImage &a, const QImage &b, const QRect &area)
{
    int largest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            largest = std::max(largest, channelDistance(a.pixel(x, y), b.pixel(x, y)));
    return largest;
}

// How far a text lifts the brightest pixel of a rectangle above the same frame without it.
int textLift(const QImage &with, const QImage &without, const QRect &area)
{
    int lift = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            lift = std::max(lift, qGreen(with.pixel(x, y)) - qGreen(without.pixel(x, y)));
    return lift;
}

} // namespace

TEST(StoryFrameDrawing, AnimatedQuantities)
{
    EXPECT_NEAR(glowOpacity(0), 0.14, 1e-12);
    EXPECT_NEAR(glowOpacity(2.25), 0.22, 1e-12);
    EXPECT_NEAR(glowOpacity(6.75), 0.06, 1e-12);
    const QRectF card = coverRect(0);
    EXPECT_NEAR(card.width(), 754.8, 1e-9);
    EXPECT_NEAR(card.top(), 32.2, 1e-9);
    EXPECT_NEAR(card.left(), -17.4, 1e-9);
    EXPECT_NEAR(coverRect(13.0 / 4).width(), 769.6, 1e-9);
    const struct {
        double t, alpha;
    } fades[] = {{1.0, 0.25}, {1.175, 0.625}, {1.35, 1.0}, {4.0, 1.0}, {0.9, 0.25}};
    for (const auto &row : fades)
        EXPECT_NEAR(lineAlpha(1.0, row.t), row.alpha, 1e-12) << row.t;
}

TEST(StoryFrameDrawing, GlowAndBlurredBackdropImages)
{
    const QImage glow = makeGlow(Theme, 340);
    EXPECT_EQ(glow.size(), QSize(680, 680));
    EXPECT_LE(channelDistance(glow.pixel(340, 340), Theme.rgba()), 2);
    EXPECT_EQ(qAlpha(glow.pixel(0, 0)), 0);
    EXPECT_TRUE(ReadyAssets::makeBlurred(QImage()).isNull());

    // Left half red, right half blue, 200 × 200: placed at the frame's lower-left corner, its
    // edges repeated up and to the right.
    QImage art(200, 200, QImage::Format_RGB32);
    art.fill(Qt::blue);
    QPainter(&art).fillRect(0, 0, 100, 200, Qt::red);
    const QImage blurred = ReadyAssets::makeBlurred(art);
    EXPECT_EQ(blurred.size(), QSize(720, 1280));
    const QRgb farLeft = blurred.pixel(0, 1279);
    const QRgb farRight = blurred.pixel(719, 1279);
    EXPECT_GT(qRed(farLeft), 200);
    EXPECT_GT(qBlue(farRight), 240); // the right edge repeats to the frame's right
    EXPECT_GT(qRed(blurred.pixel(0, 0)), 200); // the top row repeats upwards
    EXPECT_EQ(qAlpha(blurred.pixel(360, 640)), 255);
    // Blurred: the sharp edge at x = 100 became a gradual one.
    const int middle = qRed(blurred.pixel(100, 1200));
    EXPECT_GT(middle, 80);
    EXPECT_LT(middle, 180);
}

TEST(StoryFrameDrawing, BackdropEqualsTheThreeLayersDrawnInTurn)
{
    for (const QImage &cover : {QImage(), solid(QColor(30, 160, 220))}) {
        const StoryConfig config = baseConfig(cover);
        const ReadyAssets assets(config);
        for (double t : {0.0, 2.25, 6.75}) {
            QImage fast(720, 1280, QImage::Format_ARGB32_Premultiplied);
            composeBackdrop(fast, assets, t);
            // The reference: gradient over black, glow at its opacity, blurred cover at 0.32.
            QImage reference(720, 1280, QImage::Format_ARGB32_Premultiplied);
            reference.fill(Qt::black);
            QPainter p(&reference);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            QLinearGradient gradient(0, 0, 0, 1280);
            QColor top = Theme;
            top.setAlphaF(0.75f);
            gradient.setColorAt(0, top);
            gradient.setColorAt(1, QColor::fromRgbF(0.03f, 0.03f, 0.04f));
            p.fillRect(reference.rect(), gradient);
            p.setOpacity(glowOpacity(t));
            p.drawImage(QRectF(10, 110.8, 700, 700), makeGlow(Theme, 340));
            if (!cover.isNull()) {
                p.setOpacity(0.32);
                p.drawImage(QRectF(-440, -160, 1600, 1600), assets.blurredCover);
            }
            p.end();
            EXPECT_LE(largestDifference(fast, reference, QRect(0, 0, 720, 1280)), 2) << t;
        }
    }
}

TEST(StoryFrameDrawing, GradientRowsWithoutCover)
{
    const StoryConfig config = baseConfig();
    const ReadyAssets assets(config);
    QImage frame(720, 1280, QImage::Format_ARGB32_Premultiplied);
    composeBackdrop(frame, assets, 0);
    // Column 2 lies outside the glow: the theme colour at 0.75 over black at the top, the dark
    // grey at the bottom, every row opaque and darker than the one above.
    const QRgb topPixel = frame.pixel(2, 0);
    EXPECT_NEAR(qRed(topPixel), 0.75 * 200, 2);
    EXPECT_NEAR(qBlue(topPixel), 0.75 * 100, 2);
    const QRgb bottomPixel = frame.pixel(2, 1279);
    EXPECT_NEAR(qRed(bottomPixel), 0.03 * 255, 2);
    EXPECT_NEAR(qBlue(bottomPixel), 0.04 * 255, 2);
    for (int y = 64; y < 1280; y += 64) {
        EXPECT_EQ(qAlpha(frame.pixel(2, y)), 255);
        EXPECT_LE(qRed(frame.pixel(2, y)), qRed(frame.pixel(2, y - 64))) << y;
    }
    // The glow lifts the centre of its square, more at the pulse's top than at its bottom.
    QImage low(720, 1280, QImage::Format_ARGB32_Premultiplied);
    QImage high(720, 1280, QImage::Format_ARGB32_Premultiplied);
    composeBackdrop(low, assets, 6.75);
    composeBackdrop(high, assets, 2.25);
    EXPECT_GT(qRed(high.pixel(360, 460)), qRed(frame.pixel(360, 460)));
    EXPECT_GT(qRed(frame.pixel(360, 460)), qRed(low.pixel(360, 460)));
}

TEST(StoryFrameDrawing, CardEdgesAndCorners)
{
    const StoryConfig config = baseConfig(solid(Green));
    const ReadyAssets assets(config);
    const QImage frame = frameAt(config, assets, {}, 0); // no lyric line over the card
    // Card at t = 0: x −17.4, y 32.2, side 754.8, corner radius 44, stroke 5 wide around it.
    EXPECT_EQ(frame.pixel(360, 300), Green.rgba());     // inside
    EXPECT_NE(qGreen(frame.pixel(360, 26)), 255);        // above the card and its stroke
    EXPECT_GT(qGreen(frame.pixel(360, 31)), qGreen(frame.pixel(360, 26)) + 20); // the stroke, white at 0.25
    EXPECT_EQ(frame.pixel(20, 60), Green.rgba());        // inside the top-left corner's arc
    EXPECT_LT(qGreen(frame.pixel(0, 36)), 200);          // outside it
    EXPECT_EQ(frame.pixel(360, 780), Green.rgba());      // above the bottom edge at 787
    EXPECT_LT(qGreen(frame.pixel(360, 795)), 200);       // below it
    // Nothing of the buffer's earlier contents (magenta) shows anywhere.
    for (int y = 0; y < 1280; y += 7)
        for (int x = 0; x < 720; x += 7)
            ASSERT_NE(frame.pixel(x, y), QColor(Qt::magenta).rgba()) << x << "," << y;
}

TEST(StoryFrameDrawing, NoCoverNoLineAndTheWatermark)
{
    StoryConfig config = baseConfig();
    config.title.clear();
    config.artist.clear();
    const ReadyAssets assets(config);
    EXPECT_TRUE(assets.blurredCover.isNull());
    EXPECT_TRUE(assets.cover.isNull());
    const StoryVideoRenderer::Timings none; // no current line
    const QImage frame = frameAt(config, assets, none, 1);
    QImage backdrop(720, 1280, QImage::Format_ARGB32_Premultiplied);
    composeBackdrop(backdrop, assets, 1);
    // No card, no blur, no lyric texts: all of the frame above the watermark is the backdrop.
    EXPECT_EQ(largestDifference(frame, backdrop, QRect(0, 0, 720, 1180)), 0);
    // The watermark is drawn.
    EXPECT_GT(textLift(frame, backdrop, QRect(80, 1184, 560, 34)), 40);
}

TEST(StoryFrameDrawing, LineFadeAndTranslation)
{
    StoryConfig config = baseConfig();
    config.lines[0].translation.reset();
    const ReadyAssets assets(config);
    const QImage without = frameAt(config, assets, {}, 5);
    const QRect lineArea(60, 720, 600, 120);
    const QRect translationArea(60, 850, 600, 54);
    // The same second, a line that has just begun (alpha 0.25) and one that began long ago (1).
    const QImage fresh = frameAt(config, assets, StoryVideoRenderer::Timings{{5.0}, 0}, 5);
    const QImage settled = frameAt(config, assets, StoryVideoRenderer::Timings{{0.0}, 0}, 5);
    const double ratio = double(textLift(fresh, without, lineArea)) / textLift(settled, without, lineArea);
    EXPECT_NEAR(ratio, 0.25, 0.04);
    // Without a translation nothing shows under the line; an empty one draws nothing either.
    EXPECT_EQ(largestDifference(settled, without, translationArea), 0);
    config.lines[0].translation = QString();
    EXPECT_EQ(largestDifference(frameAt(config, assets, StoryVideoRenderer::Timings{{0.0}, 0}, 5), without,
                                translationArea), 0);
    // A translation shows there, with its shadow.
    config.lines[0].translation = QStringLiteral("first line");
    const QImage translated = frameAt(config, assets, StoryVideoRenderer::Timings{{0.0}, 0}, 5);
    EXPECT_GT(largestDifference(translated, without, translationArea), 60);
}
