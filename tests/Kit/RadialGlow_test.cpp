#include "Kit/RadialGlow.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

// The backdrop's radial glow, painted as the Shape it stands in for: the colour at the focal
// circle, fading to nothing at the outer radius.

namespace {

QImage painted(RadialGlow &glow)
{
    QImage image(glow.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    glow.paint(&painter);
    return image;
}

} // namespace

TEST(RadialGlow, FadesFromTheFocalCircleToNothingAtTheOuterRadius)
{
    RadialGlow glow;
    glow.setSize(QSizeF(200, 400));
    glow.setCenter(QPointF(100, 400));
    glow.setCenterRadius(300);
    glow.setFocalRadius(40);
    glow.setColor(QColor(255, 0, 0, 77));
    const QImage image = painted(glow);

    const struct {
        QPoint at;
        int minAlpha;
        int maxAlpha;
    } rows[] = {
        {{100, 399}, 74, 80},  // inside the focal circle: the colour itself
        {{100, 380}, 74, 80},
        {{100, 250}, 20, 60},  // half way out
        {{100, 101}, 0, 2},    // at the outer radius
        {{100, 20}, 0, 0},     // beyond it
    };
    for (const auto &row : rows) {
        const QColor seen = image.pixelColor(row.at);
        EXPECT_GE(seen.alpha(), row.minAlpha) << row.at.y();
        EXPECT_LE(seen.alpha(), row.maxAlpha) << row.at.y();
        if (seen.alpha() > 10) {
            EXPECT_GT(seen.red(), 240) << row.at.y();
        }
    }

    // Nothing to paint: no radius, or a clear colour.
    glow.setColor(Qt::transparent);
    EXPECT_EQ(painted(glow).pixelColor(100, 399).alpha(), 0);
}
