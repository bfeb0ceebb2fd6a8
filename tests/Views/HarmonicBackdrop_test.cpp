#include "HarmonicBackdrop.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

// The tinted backdrop as one picture: the page's colour, the tint's gradient from the top and its
// glow from the bottom, as the page, a gradient rectangle and the glow looked drawn in turn.

namespace {

QImage painted(HarmonicBackdrop &backdrop)
{
    QImage image(backdrop.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    backdrop.paint(&painter);
    return image;
}

// `over` drawn with alpha `alpha` on an opaque `under`.
QColor blend(QColor over, qreal alpha, QColor under)
{
    return QColor::fromRgbF(float(over.redF() * alpha + under.redF() * (1 - alpha)),
                            float(over.greenF() * alpha + under.greenF() * (1 - alpha)),
                            float(over.blueF() * alpha + under.blueF() * (1 - alpha)));
}

int distance(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue()),
                     std::abs(a.alpha() - b.alpha())});
}

} // namespace

TEST(HarmonicBackdrop, ThePageTheGradientAndTheGlowInOnePicture)
{
    HarmonicBackdrop backdrop;
    backdrop.setSize(QSizeF(480, 906));
    const QColor tint(200, 80, 40);
    const QColor page(18, 18, 20);
    backdrop.setTint(tint);
    backdrop.setBaseColor(page);
    EXPECT_TRUE(backdrop.opaquePainting());
    const QImage image = painted(backdrop);

    const QColor middle = blend(tint, HarmonicBackdrop::WashAlphas[1], page);
    const QColor bottom = blend(tint, HarmonicBackdrop::WashAlphas[2], page);
    const struct {
        const char *where;
        QPoint at;
        QColor expected;
    } rows[] = {
        // Beyond the glow's reach (480 from the bottom centre): the gradient alone.
        {"top left", {0, 0}, blend(tint, HarmonicBackdrop::WashAlphas[0], page)},
        {"middle left", {0, 453}, middle},
        // The bottom centre: inside the glow's focal circle, the glow at its own alpha.
        {"bottom centre", {240, 900}, blend(tint, HarmonicBackdrop::GlowAlpha, bottom)},
    };
    for (const auto &row : rows)
        EXPECT_LE(distance(image.pixelColor(row.at), row.expected), 3) << row.where;
    // Half way out of the glow, between the two.
    const QColor halfway = image.pixelColor(240, 906 - 260);
    const QColor washThere = blend(tint, 0.25 - 0.15 * ((646 - 453) / 453.0), page);
    EXPECT_GT(halfway.red(), washThere.red() + 3);
    EXPECT_LT(halfway.red(), blend(tint, HarmonicBackdrop::GlowAlpha, washThere).red());
    // Opaque everywhere.
    for (const QPoint p : {QPoint(0, 0), QPoint(479, 905), QPoint(240, 453)})
        EXPECT_EQ(image.pixelColor(p).alpha(), 255);
}

TEST(HarmonicBackdrop, WithoutABaseTheTintAloneSeeThrough)
{
    HarmonicBackdrop backdrop;
    backdrop.setSize(QSizeF(1000, 400));
    backdrop.setTint(Qt::red);
    EXPECT_FALSE(backdrop.opaquePainting());
    const QImage image = painted(backdrop);
    EXPECT_NEAR(image.pixelColor(0, 0).alpha(), 140, 3);  // 0.55, beyond the glow
    EXPECT_LT(image.pixelColor(0, 399).alpha(), 255);

    // An opaque base, then none again: drawn see-through once more.
    backdrop.setBaseColor(Qt::black);
    EXPECT_TRUE(backdrop.opaquePainting());
    backdrop.setBaseColor(Qt::transparent);
    EXPECT_FALSE(backdrop.opaquePainting());
}
