#include "Services/ArtworkColorExtractor.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace ArtworkColorExtractor;

namespace {

QImage filled(QColor colour, QSize size = {40, 30})
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

float hsv(const QColor &c, int which)
{
    float h = 0, s = 0, v = 0;
    c.getHsvF(&h, &s, &v);
    return which == 0 ? h : (which == 1 ? s : v);
}

} // namespace

TEST(ArtworkColorExtractor, WhiteStaysGreyAndIsCappedInBrightness)
{
    const auto average = averageColor(filled(Qt::white));
    ASSERT_TRUE(average);
    EXPECT_EQ(average->rgb(), QColor(255, 255, 255).rgb());
    const auto vibrant = vibrantColor(filled(Qt::white));
    ASSERT_TRUE(vibrant);
    EXPECT_FLOAT_EQ(hsv(*vibrant, 1), 0.0f);
    EXPECT_NEAR(hsv(*vibrant, 2), 0.95, 1e-3);
    EXPECT_EQ(vibrant->hsvHueF() < 0 ? 0.0f : vibrant->hsvHueF(), 0.0f);

    // Any grey keeps hue 0 and saturation 0; a dark one stays dark.
    const auto grey = vibrantColor(filled(QColor(40, 40, 40)));
    ASSERT_TRUE(grey);
    EXPECT_FLOAT_EQ(hsv(*grey, 1), 0.0f);
    EXPECT_NEAR(hsv(*grey, 2), 40 / 255.0 * 1.08, 1e-3);
    EXPECT_EQ(grey->red(), grey->blue());
}

TEST(ArtworkColorExtractor, RedBecomesCappedVibrantRed)
{
    const auto vibrant = vibrantColor(filled(Qt::red));
    ASSERT_TRUE(vibrant);
    EXPECT_NEAR(hsv(*vibrant, 0), 0.0, 1e-3);
    EXPECT_NEAR(hsv(*vibrant, 1), 0.85, 1e-3);
    EXPECT_NEAR(hsv(*vibrant, 2), 0.95, 1e-3);
    EXPECT_FLOAT_EQ(vibrant->alphaF(), 1.0f);

    // A muted colour gains saturation and brightness by the factors, below the caps.
    const QColor muted = QColor::fromHsvF(0.6f, 0.4f, 0.5f);
    const auto boosted = vibrantColor(filled(muted));
    ASSERT_TRUE(boosted);
    const auto average = averageColor(filled(muted));
    EXPECT_NEAR(hsv(*boosted, 0), hsv(*average, 0), 1e-3);
    EXPECT_NEAR(hsv(*boosted, 1), hsv(*average, 1) * 1.25, 2e-3);
    EXPECT_NEAR(hsv(*boosted, 2), hsv(*average, 2) * 1.08, 2e-3);
}

TEST(ArtworkColorExtractor, AveragesTheWholePictureAndDropsAlpha)
{
    QImage half(20, 10, QImage::Format_ARGB32);
    half.fill(Qt::blue);
    QPainter(&half).fillRect(0, 0, 10, 10, Qt::red);
    const auto mixed = averageColor(half);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->red(), 128);
    EXPECT_EQ(mixed->green(), 0);
    EXPECT_EQ(mixed->blue(), 128);

    // Half-transparent: alpha 1 in both colours (the channels count premultiplied).
    const QImage translucent = filled(QColor(255, 0, 0, 128));
    const auto average = averageColor(translucent);
    const auto vibrant = vibrantColor(translucent);
    ASSERT_TRUE(average && vibrant);
    EXPECT_EQ(average->alpha(), 255);
    EXPECT_EQ(vibrant->alpha(), 255);
    EXPECT_EQ(average->red(), 128);

    EXPECT_FALSE(averageColor(QImage()));
    EXPECT_FALSE(vibrantColor(QImage()));
    const auto indexed = averageColor(filled(Qt::green).convertToFormat(QImage::Format_Indexed8));
    ASSERT_TRUE(indexed);
    EXPECT_EQ(indexed->green(), 255);
}
