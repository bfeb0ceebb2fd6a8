#include "SoftShadow.h"

#include <QImage>
#include <gtest/gtest.h>

// The soft shadow's one picture: its five layers add up to the colour where they all overlap and
// fade to nothing beyond the outermost, offsets move it, and shadows of one look share a drawing.

namespace {

SoftShadow::Look look(QSizeF size, qreal radius, QColor color, qreal blur, qreal dx = 0, qreal dy = 0, qreal ratio = 1)
{
    SoftShadow::Look l;
    l.size = size;
    l.radius = radius;
    l.color = color;
    l.blur = blur;
    l.offsetX = dx;
    l.offsetY = dy;
    l.devicePixelRatio = ratio;
    return l;
}

// The picture's alpha at a point in the item's coordinates (0 outside the picture).
int alphaAt(const SoftShadow::Look &l, QPointF at)
{
    const QImage image = SoftShadow::picture(l);
    const QRectF where = SoftShadow::pictureRect(l);
    const QPoint pixel = ((at - where.topLeft()) * l.devicePixelRatio).toPoint();
    if (!image.rect().contains(pixel))
        return 0;
    return image.pixelColor(pixel).alpha();
}

} // namespace

TEST(SoftShadow, LayersAddUpToTheColourInsideAndFadeToNothingOutside)
{
    const struct {
        const char *name;
        SoftShadow::Look look;
        QPointF inside;      // under every layer
        QPointF fading;      // under the outer layers only
        QPointF outside;     // beyond the outermost layer
    } rows[] = {
        {"card", look({217, 217}, 14, QColor::fromRgbF(0, 0, 0, 0.35f), 8, 0, 5), {108, 113}, {108, 224}, {108, 227}},
        {"bar", look({456, 68}, 20, QColor::fromRgbF(0.2f, 0.6f, 0.4f, 0.25f), 12, 0, 4), {228, 36}, {-3, 40}, {-6, 40}},
        {"circle", look({64, 64}, 32, QColor::fromRgbF(0, 0, 0, 0.4f), 16, 0, 6), {32, 38}, {32, 75}, {32, 77}},
        {"offset to the side", look({100, 50}, 0, QColor::fromRgbF(0, 0, 0, 0.5f), 10, 20, 0), {70, 25}, {123, 25}, {125, 25}},
        {"twice the pixels", look({100, 100}, 10, QColor::fromRgbF(0, 0, 0, 0.35f), 8, 0, 5, 2), {50, 55}, {50, 108}, {50, 110}},
    };
    for (const auto &row : rows) {
        const int full = row.look.color.alpha();
        EXPECT_NEAR(alphaAt(row.look, row.inside), full, 2) << row.name;
        const int fading = alphaAt(row.look, row.fading);
        EXPECT_GT(fading, 0) << row.name;
        EXPECT_LT(fading, full - 5) << row.name;
        EXPECT_EQ(alphaAt(row.look, row.outside), 0) << row.name;
        // The picture holds every layer and stands on whole pixels.
        const QRectF where = SoftShadow::pictureRect(row.look);
        for (int i = 0; i < SoftShadow::Steps; ++i)
            EXPECT_TRUE(where.contains(SoftShadow::layerRect(row.look, i))) << row.name << " layer " << i;
        EXPECT_EQ(where, QRectF(where.toRect())) << row.name;
        EXPECT_EQ(SoftShadow::picture(row.look).size(), (where.size() * row.look.devicePixelRatio).toSize()) << row.name;
    }
}

TEST(SoftShadow, ALayerNeverRoundsMoreThanHalfItsShorterSide)
{
    const SoftShadow::Look pill = look({120, 40}, 20, Qt::black, 16);
    for (int i = 0; i < SoftShadow::Steps; ++i) {
        const QRectF layer = SoftShadow::layerRect(pill, i);
        EXPECT_LE(SoftShadow::layerRadius(pill, i), std::min(layer.width(), layer.height()) / 2) << i;
    }
    // Inset layers of a square-cornered shadow stay square.
    EXPECT_EQ(SoftShadow::layerRadius(look({120, 40}, 0, Qt::black, 16), 0), 0);
}

TEST(SoftShadow, ShadowsOfOneLookShareADrawing)
{
    const SoftShadow::Look card = look({217, 217}, 14, QColor::fromRgbF(0, 0, 0, 0.35f), 8, 0, 5);
    const QImage first = SoftShadow::picture(card);
    const int drawn = SoftShadow::picturesDrawn();
    EXPECT_EQ(SoftShadow::picture(card).cacheKey(), first.cacheKey());
    EXPECT_EQ(SoftShadow::picturesDrawn(), drawn);

    // Another colour is another drawing; the card's is kept while a few others come and go.
    SoftShadow::Look tinted = card;
    tinted.color = QColor::fromRgbF(0.5f, 0, 0, 0.35f);
    EXPECT_NE(SoftShadow::picture(tinted).cacheKey(), first.cacheKey());
    EXPECT_EQ(SoftShadow::picturesDrawn(), drawn + 1);
    for (int i = 0; i < 3; ++i) {
        tinted.color = QColor::fromRgbF(0, 0, (i + 1) / 4.0f, 0.35f);
        SoftShadow::picture(tinted);
    }
    EXPECT_EQ(SoftShadow::picture(card).cacheKey(), first.cacheKey());
    EXPECT_EQ(SoftShadow::picturesDrawn(), drawn + 4);
}
