#include "ArtworkPicture.h"


#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>

#include <cmath>
#include <utility>

// ---------------------------------------------------------------- picture

ArtworkPicture::ArtworkPicture(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents, true);
    connect(&ArtworkCache::shared(), &ArtworkCache::finished, this, &ArtworkPicture::onFinished);
}

ArtworkPicture::~ArtworkPicture()
{
    withdraw();
}

void ArtworkPicture::withdraw()
{
    if (std::exchange(m_waiting, false))
        ArtworkCache::shared().withdraw(m_source, m_side, this);
}

void ArtworkPicture::setSource(const QUrl &source)
{
    if (source == m_source)
        return;
    withdraw();
    m_source = source;
    m_side = 0;
    emit sourceChanged();
    if (m_source.isEmpty()) {
        show(QImage());
        setStatus(Status::Null);
        return;
    }
    if (const std::optional<QImage> image = ArtworkCache::shared().cached(m_source, wantedSide())) {
        m_side = wantedSide();
        show(*image);
        setStatus(Status::Ready);
        return;
    }
    show(QImage());
    setStatus(Status::Loading);
    scheduleLoad();
}

int ArtworkPicture::wantedSide() const
{
    const qreal ratio = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    return ArtworkCache::sideFor(int(std::ceil(std::max(width(), height()) * ratio)));
}

void ArtworkPicture::scheduleLoad()
{
    if (m_loadScheduled)
        return;
    m_loadScheduled = true;
    QMetaObject::invokeMethod(this, &ArtworkPicture::load, Qt::QueuedConnection);
}

void ArtworkPicture::load()
{
    m_loadScheduled = false;
    const int side = wantedSide();
    if (m_source.isEmpty() || side <= m_side)
        return;
    // A sharper picture is asked for: the smaller one still waiting is not needed any more.
    withdraw();
    m_side = side;
    if (const std::optional<QImage> image = ArtworkCache::shared().cached(m_source, side)) {
        show(*image);
        setStatus(Status::Ready);
        return;
    }
    m_waiting = true;
    ArtworkCache::shared().request(m_source, side, this);
}

void ArtworkPicture::onFinished(const QUrl &url, bool ok)
{
    if (url != m_source || m_side == 0)
        return;
    if (!ArtworkCache::shared().isFetching(url, m_side))
        m_waiting = false;
    const std::optional<QImage> image = ok ? ArtworkCache::shared().cached(url, m_side) : std::nullopt;
    if (!image) {
        // Another size of the same address may have finished while ours is still on its way;
        // a sharper copy that failed leaves the picture already shown.
        if (m_status == Status::Loading && !ArtworkCache::shared().isFetching(url, m_side))
            setStatus(Status::Error);
        return;
    }
    if (m_status == Status::Ready && image->cacheKey() == m_image.cacheKey())
        return;
    show(*image);
    setStatus(Status::Ready);
}

void ArtworkPicture::show(const QImage &image)
{
    m_image = image;
    m_imageChanged = true;
    update();
}

void ArtworkPicture::setStatus(Status status)
{
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged();
}

void ArtworkPicture::setRadius(qreal radius)
{
    if (qFuzzyCompare(radius, m_radius))
        return;
    m_radius = radius;
    emit radiusChanged();
    m_imageChanged = true;
    update();
}

void ArtworkPicture::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) {
        // A rounded picture is baked at the shown size.
        if (m_radius > 0)
            m_imageChanged = true;
        update();
        if (!m_source.isEmpty() && m_side > 0 && wantedSide() > m_side)
            scheduleLoad();
    }
}

void ArtworkPicture::itemChange(ItemChange change, const ItemChangeData &data)
{
    QQuickItem::itemChange(change, data);
    if (change != ItemSceneChange)
        return;
    // A view takes a row out of the window as it lets it go, before deleting it later: its
    // picture is not wanted any more. Put back, it asks again.
    if (!data.window) {
        withdraw();
    } else if (m_status == Status::Loading && !m_waiting) {
        m_side = 0;
        scheduleLoad();
    }
}

QImage ArtworkPicture::roundedCrop(const QImage &image, const QSize &size, qreal radius)
{
    if (image.isNull() || size.isEmpty())
        return {};
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), radius, radius);
    painter.setClipPath(shape);
    const QSizeF imageSize = image.size();
    const qreal scale = std::max(size.width() / imageSize.width(), size.height() / imageSize.height());
    const QSizeF shown(size.width() / scale, size.height() / scale);
    const QRectF source(QPointF((imageSize.width() - shown.width()) / 2,
                                (imageSize.height() - shown.height()) / 2), shown);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image, source);
    painter.end();
    return out;
}

QImage ArtworkPicture::shownImage() const
{
    if (m_radius <= 0)
        return m_image;
    const qreal dpr = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    const QSize pixels(qCeil(width() * dpr), qCeil(height() * dpr));
    return roundedCrop(m_image, pixels, m_radius * dpr);
}

QSGNode *ArtworkPicture::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *node = static_cast<QSGImageNode *>(oldNode);
    if (m_image.isNull() || width() <= 0 || height() <= 0) {
        delete node;
        return nullptr;
    }
    if (!node) {
        node = window()->createImageNode();
        node->setOwnsTexture(true);
        m_imageChanged = true;
    }
    if (m_imageChanged) {
        const QImage shown = shownImage();
        if (shown.isNull()) {
            delete node;
            return nullptr;
        }
        node->setTexture(window()->createTextureFromImage(shown));
        m_imageChanged = false;
    }
    node->setRect(boundingRect());
    node->setFiltering(QSGTexture::Linear);
    node->setMipmapFiltering(QSGTexture::None);
    if (m_radius > 0) {
        node->setSourceRect(QRectF(QPointF(0, 0), node->texture()->textureSize()));
        return node;
    }
    // Aspect fill: the largest centred part of the picture with the item's proportions.
    const QSizeF imageSize = m_image.size();
    const qreal scale = std::max(width() / imageSize.width(), height() / imageSize.height());
    const QSizeF shown(width() / scale, height() / scale);
    node->setSourceRect(QRectF(QPointF((imageSize.width() - shown.width()) / 2,
                                       (imageSize.height() - shown.height()) / 2),
                               shown));
    return node;
}
