#include "BakedArtworkPicture.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>

#include <algorithm>
#include <cmath>

namespace {

// The largest centred part of `image` with the proportions of `size`, scaled to it.
QImage aspectFill(const QImage &image, QSize size)
{
    const QSizeF imageSize = image.size();
    const qreal scale = std::max(size.width() / imageSize.width(), size.height() / imageSize.height());
    const QSizeF shown(size.width() / scale, size.height() / scale);
    const QRect crop(QPoint(int((imageSize.width() - shown.width()) / 2), int((imageSize.height() - shown.height()) / 2)),
                     shown.toSize());
    return image.copy(crop).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// One pass of a 3-pixel box filter along rows (horizontal) or columns, edges taken as clear.
void boxPass(QImage &image, bool horizontal)
{
    const QImage source = image;
    const int w = image.width();
    const int h = image.height();
    auto at = [&](int x, int y) -> QRgb {
        return (x < 0 || y < 0 || x >= w || y >= h) ? 0 : reinterpret_cast<const QRgb *>(source.constScanLine(y))[x];
    };
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb a = horizontal ? at(x - 1, y) : at(x, y - 1);
            const QRgb b = at(x, y);
            const QRgb c = horizontal ? at(x + 1, y) : at(x, y + 1);
            line[x] = qRgba((qRed(a) + qRed(b) + qRed(c)) / 3, (qGreen(a) + qGreen(b) + qGreen(c)) / 3,
                            (qBlue(a) + qBlue(b) + qBlue(c)) / 3, (qAlpha(a) + qAlpha(b) + qAlpha(c)) / 3);
        }
    }
}

} // namespace

BakedArtworkPicture::BakedArtworkPicture(QQuickItem *parent) : ArtworkPicture(parent)
{
}

void BakedArtworkPicture::setCircular(bool circular)
{
    if (circular == m_circular)
        return;
    m_circular = circular;
    m_bakedKey = 0;
    update();
    emit bakeChanged();
}

void BakedArtworkPicture::setBlurRadius(qreal radius)
{
    if (qFuzzyCompare(radius, m_blurRadius))
        return;
    m_blurRadius = radius;
    m_bakedKey = 0;
    update();
    emit bakeChanged();
}

QImage BakedArtworkPicture::bakeCircle(const QImage &image, QSize size)
{
    if (image.isNull() || size.isEmpty())
        return {};
    const QImage fill = aspectFill(image, size);
    QImage baked(size, QImage::Format_ARGB32_Premultiplied);
    baked.fill(Qt::transparent);
    QPainter painter(&baked);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(fill));
    painter.drawEllipse(QRectF(QPointF(0, 0), size));
    return baked;
}

QImage BakedArtworkPicture::bakeBlur(const QImage &image, QSizeF size, qreal radius)
{
    if (image.isNull() || size.isEmpty() || radius <= 0)
        return {};
    // A pixel of the small image spans two thirds of the radius; three box passes each way then
    // make a bell about as wide as a Gaussian of that radius once stretched back up.
    const QSize inner(std::max(4, int(std::lround(size.width() * 1.5 / radius))),
                      std::max(4, int(std::lround(size.height() * 1.5 / radius))));
    QImage small(inner + QSize(2 * BlurBorder, 2 * BlurBorder), QImage::Format_ARGB32_Premultiplied);
    small.fill(Qt::transparent);
    {
        QPainter painter(&small);
        painter.drawImage(QPoint(BlurBorder, BlurBorder), aspectFill(image.convertToFormat(QImage::Format_ARGB32_Premultiplied), inner));
    }
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(small, true);
        boxPass(small, false);
    }
    return small;
}

// Runs while the GUI thread waits (the scene graph's sync), so the picture can be read here.
// The picture changes only with a new source or size: a turn, a move or a fade bakes nothing.
void BakedArtworkPicture::rebake()
{
    const QImage source = image();
    const qreal ratio = window()->effectiveDevicePixelRatio();
    const QSize pixels(int(std::ceil(width() * ratio)), int(std::ceil(height() * ratio)));
    if (source.isNull() || pixels.isEmpty()) {
        m_baked = QImage();
        m_bakedKey = 0;
        return;
    }
    if (source.cacheKey() == m_bakedKey && pixels == m_bakedSize)
        return;
    if (m_blurRadius > 0)
        m_baked = bakeBlur(source, size(), m_blurRadius);
    else if (m_circular)
        m_baked = bakeCircle(source, pixels);
    else
        m_baked = aspectFill(source, pixels);
    m_bakedKey = source.cacheKey();
    m_bakedSize = pixels;
    m_bakedChanged = true;
    ++m_bakeCount;
}

QSGNode *BakedArtworkPicture::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    rebake();
    auto *node = static_cast<QSGImageNode *>(oldNode);
    if (m_baked.isNull() || width() <= 0 || height() <= 0) {
        delete node;
        return nullptr;
    }
    if (!node) {
        node = window()->createImageNode();
        node->setOwnsTexture(true);
        m_bakedChanged = true;
    }
    if (m_bakedChanged) {
        node->setTexture(window()->createTextureFromImage(m_baked));
        m_bakedChanged = false;
    }
    QRectF rect = boundingRect();
    if (m_blurRadius > 0) {
        // The clear border lies outside the item.
        const qreal dx = BlurBorder * width() / (m_baked.width() - 2 * BlurBorder);
        const qreal dy = BlurBorder * height() / (m_baked.height() - 2 * BlurBorder);
        rect.adjust(-dx, -dy, dx, dy);
    }
    node->setRect(rect);
    node->setSourceRect(QRectF(QPointF(0, 0), m_baked.size()));
    node->setFiltering(smooth() ? QSGTexture::Linear : QSGTexture::Nearest);
    node->setMipmapFiltering(QSGTexture::None);
    return node;
}
