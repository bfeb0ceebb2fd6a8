#include "ArtworkPicture.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <QPointer>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>
#include <QThreadPool>

// ---------------------------------------------------------------- cache

ArtworkCache &ArtworkCache::shared()
{
    static ArtworkCache *cache = new ArtworkCache;
    return *cache;
}

std::optional<QImage> ArtworkCache::cached(const QUrl &url)
{
    const auto it = m_images.constFind(url);
    if (it == m_images.constEnd())
        return std::nullopt;
    m_order.removeOne(url);
    m_order.append(url);
    return *it;
}

void ArtworkCache::clear()
{
    m_images.clear();
    m_order.clear();
}

QImage ArtworkCache::decode(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > MaxPixelSize || size.height() > MaxPixelSize))
        reader.setScaledSize(size.scaled(MaxPixelSize, MaxPixelSize, Qt::KeepAspectRatio));
    return reader.read();
}

void ArtworkCache::request(const QUrl &url)
{
    if (!url.isValid() || m_images.contains(url) || m_inFlight.contains(url))
        return;
    m_inFlight.insert(url);
    if (url.isLocalFile()) {
        decodeOffThread(url, {}, true);
        return;
    }
    const QString scheme = url.scheme();
    if (scheme != u"http" && scheme != u"https") {
        // Nothing else is ever fetched; answer after the caller has set itself up.
        QMetaObject::invokeMethod(this, [this, url] {
            m_inFlight.remove(url);
            emit finished(url, false);
        }, Qt::QueuedConnection);
        return;
    }
    fetchFromNetwork(url);
}

void ArtworkCache::fetchFromNetwork(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(TransferTimeoutMs);
    QNetworkReply *reply = m_network.get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, url] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299) {
            m_inFlight.remove(url);
            emit finished(url, false);
            return;
        }
        decodeOffThread(url, reply->readAll(), false);
    });
}

void ArtworkCache::decodeOffThread(const QUrl &url, QByteArray bytes, bool isFile)
{
    QPointer<ArtworkCache> self(this);
    QThreadPool::globalInstance()->start([self, url, bytes = std::move(bytes), isFile]() mutable {
        if (isFile) {
            QFile file(url.toLocalFile());
            bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }
        QImage image = bytes.isEmpty() ? QImage() : decode(bytes);
        if (!self)
            return;
        QMetaObject::invokeMethod(self, [self, url, image = std::move(image)] {
            if (self)
                self->store(url, image);
        }, Qt::QueuedConnection);
    });
}

void ArtworkCache::store(const QUrl &url, const QImage &image)
{
    m_inFlight.remove(url);
    if (image.isNull()) {
        emit finished(url, false);
        return;
    }
    m_images.insert(url, image);
    m_order.removeOne(url);
    m_order.append(url);
    while (m_order.size() > Capacity)
        m_images.remove(m_order.takeFirst());
    emit finished(url, true);
}

// ---------------------------------------------------------------- picture

ArtworkPicture::ArtworkPicture(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents, true);
    connect(&ArtworkCache::shared(), &ArtworkCache::finished, this, &ArtworkPicture::onFinished);
}

void ArtworkPicture::setSource(const QUrl &source)
{
    if (source == m_source)
        return;
    m_source = source;
    emit sourceChanged();
    if (m_source.isEmpty()) {
        show(QImage());
        setStatus(Status::Null);
        return;
    }
    if (const std::optional<QImage> image = ArtworkCache::shared().cached(m_source)) {
        show(*image);
        setStatus(Status::Ready);
        return;
    }
    show(QImage());
    setStatus(Status::Loading);
    ArtworkCache::shared().request(m_source);
}

void ArtworkPicture::onFinished(const QUrl &url, bool ok)
{
    if (url != m_source || m_status != Status::Loading)
        return;
    const std::optional<QImage> image = ok ? ArtworkCache::shared().cached(url) : std::nullopt;
    if (!image) {
        setStatus(Status::Error);
        return;
    }
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
