#include "BakedArtworkPicture.h"

#include <QImage>
#include <gtest/gtest.h>

// The pictures the record's label and the full player's glow are drawn from: baked once, so that
// turning or moving them costs nothing more.

namespace {

QImage plain(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

} // namespace

TEST(BakedArtworkPicture, CircleKeepsTheCentreAndClearsTheCorners)
{
    // A wide picture: its centred square part fills the circle.
    const QImage baked = BakedArtworkPicture::bakeCircle(plain(QSize(300, 200), Qt::red), QSize(100, 100));
    ASSERT_EQ(baked.size(), QSize(100, 100));
    EXPECT_EQ(baked.pixelColor(50, 50), QColor(Qt::red));
    EXPECT_EQ(baked.pixelColor(50, 2).alpha(), 255);
    for (const QPoint corner : {QPoint(0, 0), QPoint(99, 0), QPoint(0, 99), QPoint(99, 99)})
        EXPECT_EQ(baked.pixelColor(corner).alpha(), 0) << corner.x() << "," << corner.y();
    EXPECT_TRUE(BakedArtworkPicture::bakeCircle(QImage(), QSize(100, 100)).isNull());
}

TEST(BakedArtworkPicture, BlurIsSmallSoftAndFadesOutAtItsBorder)
{
    // 500 points with a radius of 90: a few pixels across plus a clear border on every side.
    const QImage baked = BakedArtworkPicture::bakeBlur(plain(QSize(400, 400), Qt::blue), QSizeF(500, 500), 90);
    const int border = BakedArtworkPicture::BlurBorder;
    ASSERT_EQ(baked.width(), 8 + 2 * border);
    ASSERT_EQ(baked.height(), 8 + 2 * border);
    const int middle = baked.width() / 2;
    EXPECT_GT(baked.pixelColor(middle, middle).alpha(), 200);
    EXPECT_EQ(baked.pixelColor(0, 0).alpha(), 0);
    // Alpha falls off from the centre to the edge.
    EXPECT_GT(baked.pixelColor(middle, middle).alpha(), baked.pixelColor(border, middle).alpha());
    EXPECT_GT(baked.pixelColor(border, middle).alpha(), baked.pixelColor(1, middle).alpha());
    EXPECT_TRUE(BakedArtworkPicture::bakeBlur(plain(QSize(10, 10), Qt::blue), QSizeF(500, 500), 0).isNull());
}
