#include "ArtworkPicture.h"

#include "Services/ArtworkFile.h"
#include "Services/OfflineStore.h"

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
#include <QTimer>

#include <cmath>

// ---------------------------------------------------------------- cache

ArtworkCache &ArtworkCache::shared()
{
    static ArtworkCache *cache = new ArtworkCache;
    return *cache;
}

int ArtworkCache::sideFor(int pixels)
{
    for (const int step : {96, 192, 384})
        if (pixels <= step)
            return step;
    return MaxPixelSize;
}

std::optional<QImage> ArtworkCache::cached(const QUrl &url, int side)
{
    for (int step = sideFor(side);; step = sideFor(step + 1)) {
        const Key key{url, step};
        const auto it = m_images.constFind(key);
        if (it != m_images.constEnd()) {
            m_order.removeOne(key);
            m_order.append(key);
            return *it;
        }
        if (step == MaxPixelSize)
            return std::nullopt;
    }
}

void ArtworkCache::clear()
{
    m_images.clear();
    m_order.clear();
}

QString ArtworkCache::localFolder() const
{
    return m_localFolder.isEmpty() ? OfflineStore::shared()->downloadsFolder() : m_localFolder;
}

QImage ArtworkCache::decode(const QByteArray &bytes, int side)
{
    return artwork::decodeScaled(bytes, std::min(side, int(MaxPixelSize)));
}

void ArtworkCache::request(const QUrl &url, int side)
{
    const Key key{url, sideFor(side)};
    if (!url.isValid() || m_images.contains(key) || m_inFlight.contains(key))
        return;
    m_inFlight.insert(key);
    if (url.isLocalFile()) {
        decodeOffThread(key, {}, true);
        return;
    }
    const QString scheme = url.scheme();
    if (scheme != u"http" && scheme != u"https") {
        // Nothing else is ever fetched; answer after the caller has set itself up.
        QMetaObject::invokeMethod(this, [this, key] { store(key, QImage()); }, Qt::QueuedConnection);
        return;
    }
    m_waiting.append(key);
    startWaitingFetches();
}

void ArtworkCache::setFetchTimes(int slowAfterMs, int deadlineMs)
{
    m_slowAfterMs = slowAfterMs;
    m_deadlineMs = deadlineMs;
}

void ArtworkCache::startWaitingFetches()
{
    while (!m_waiting.isEmpty() && m_fastFetches < FetchSlots)
        fetch(m_waiting.takeFirst(), laneWithRoom());
}

QNetworkAccessManager *ArtworkCache::laneWithRoom()
{
    constexpr int FetchesPerLane = 6; // Qt's connections per host
    for (const auto &lane : m_lanes)
        if (m_laneFetches.value(lane.get()) < FetchesPerLane)
            return lane.get();
    m_lanes.push_back(std::make_unique<QNetworkAccessManager>());
    return m_lanes.back().get();
}

void ArtworkCache::fetch(const Key &key, QNetworkAccessManager *lane)
{
    QNetworkRequest request(key.first);
    request.setTransferTimeout(TransferTimeoutMs);
    QNetworkReply *reply = lane->get(request);
    artwork::limitReply(reply);
    ++m_laneFetches[lane];
    ++m_fastFetches;
    // Set once the fetch no longer counts against the slots: it turned slow or it ended.
    auto released = std::make_shared<bool>(false);
    const auto release = [this, released] {
        if (std::exchange(*released, true))
            return;
        --m_fastFetches;
        startWaitingFetches();
    };
    QTimer::singleShot(m_slowAfterMs, reply, release);
    QTimer::singleShot(m_deadlineMs, reply, [reply] { reply->abort(); });
    connect(reply, &QNetworkReply::finished, this, [this, reply, key, lane, release] {
        onFetched(reply, key, lane);
        release();
    });
}

void ArtworkCache::onFetched(QNetworkReply *reply, const Key &key, QNetworkAccessManager *lane)
{
    reply->deleteLater();
    if (--m_laneFetches[lane] == 0 && lane != m_lanes.front().get()) {
        m_laneFetches.remove(lane);
        const auto it = std::find_if(m_lanes.begin(), m_lanes.end(), [lane](const auto &l) { return l.get() == lane; });
        it->release()->deleteLater(); // the reply still runs its finished handlers
        m_lanes.erase(it);
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299) {
        store(key, QImage());
        return;
    }
    decodeOffThread(key, reply->readAll(), false);
}

void ArtworkCache::decodeOffThread(const Key &key, QByteArray bytes, bool isFile)
{
    QPointer<ArtworkCache> self(this);
    const QString folder = isFile ? localFolder() : QString();
    QThreadPool::globalInstance()->start([self, key, bytes = std::move(bytes), isFile, folder]() mutable {
        if (isFile)
            bytes = artwork::readLocalFile(key.first.toLocalFile(), folder).value_or(QByteArray());
        QImage image = bytes.isEmpty() ? QImage() : decode(bytes, key.second);
        if (!self)
            return;
        QMetaObject::invokeMethod(self, [self, key, image = std::move(image)] {
            if (self)
                self->store(key, image);
        }, Qt::QueuedConnection);
    });
}

void ArtworkCache::store(const Key &key, const QImage &image)
{
    m_inFlight.remove(key);
    if (image.isNull()) {
        emit finished(key.first, false);
        return;
    }
    m_images.insert(key, image);
    m_order.removeOne(key);
    m_order.append(key);
    while (m_order.size() > Capacity)
        m_images.remove(m_order.takeFirst());
    emit finished(key.first, true);
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
    m_side = side;
    if (const std::optional<QImage> image = ArtworkCache::shared().cached(m_source, side)) {
        show(*image);
        setStatus(Status::Ready);
        return;
    }
    ArtworkCache::shared().request(m_source, side);
}

void ArtworkPicture::onFinished(const QUrl &url, bool ok)
{
    if (url != m_source || m_side == 0)
        return;
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
