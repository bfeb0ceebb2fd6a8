#include "ArtworkCache.h"

#include "Services/ArtworkFile.h"
#include "Services/OfflineStore.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>

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
        const auto it = m_images.find(Key{url, step});
        if (it != m_images.end()) {
            m_uses.splice(m_uses.end(), m_uses, it->use);
            return it->image;
        }
        if (step == MaxPixelSize)
            return std::nullopt;
    }
}

void ArtworkCache::clear()
{
    m_images.clear();
    m_uses.clear();
    m_bytes = 0;
}

void ArtworkCache::setCapacityBytes(qint64 bytes)
{
    m_capacityBytes = std::max<qint64>(0, bytes);
    evictBeyond(m_capacityBytes);
}

void ArtworkCache::evictBeyond(qint64 capacity)
{
    while (m_bytes > capacity && !m_uses.empty()) {
        const auto it = m_images.find(m_uses.front());
        m_bytes -= it->image.sizeInBytes();
        m_images.erase(it);
        m_uses.pop_front();
    }
}

bool ArtworkCache::inView(const QQuickItem *item)
{
    const QQuickWindow *window = item ? item->window() : nullptr;
    if (!window)
        return false;
    // A picture hides itself until it is ready: what counts is whether its frame shows.
    const QQuickItem *frame = item->parentItem() ? item->parentItem() : item;
    if (!frame->isVisible())
        return false;
    QRectF area(QPointF(0, 0), QSizeF(window->size()));
    for (const QQuickItem *it = item->parentItem(); it; it = it->parentItem())
        if (it->clip())
            area &= it->mapRectToScene(it->boundingRect());
    const QRectF rect = item->mapRectToScene(item->boundingRect());
    return rect.intersects(area) || (rect.isEmpty() && area.contains(rect.topLeft()));
}

QString ArtworkCache::localFolder() const
{
    return m_localFolder.isEmpty() ? OfflineStore::shared()->downloadsFolder() : m_localFolder;
}

QImage ArtworkCache::decode(const QByteArray &bytes, int side)
{
    return artwork::decodeScaled(bytes, std::min(side, int(MaxPixelSize)));
}

void ArtworkCache::request(const QUrl &url, int side, const QQuickItem *asker)
{
    const Key key{url, sideFor(side)};
    if (!url.isValid() || m_images.contains(key))
        return;
    if (m_inFlight.contains(key)) {
        // Waiting still: one more asker, and it is the most recent request now.
        const auto it = std::find_if(m_waiting.begin(), m_waiting.end(), [&](const Waiting &w) { return w.key == key; });
        if (it != m_waiting.end()) {
            Waiting waiting = std::move(*it);
            m_waiting.erase(it);
            if (asker)
                waiting.askers.insert(asker);
            waiting.anonymous = waiting.anonymous || !asker;
            m_waiting.append(std::move(waiting));
        }
        return;
    }
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
    Waiting waiting{key, {}, !asker};
    if (asker)
        waiting.askers.insert(asker);
    m_waiting.append(std::move(waiting));
    // Queued: the rows built in the same pass all ask first, so the slots go to those in view.
    QMetaObject::invokeMethod(this, &ArtworkCache::startWaitingFetches, Qt::QueuedConnection);
}

void ArtworkCache::withdraw(const QUrl &url, int side, const QQuickItem *asker)
{
    const Key key{url, sideFor(side)};
    const auto it = std::find_if(m_waiting.begin(), m_waiting.end(), [&](const Waiting &w) { return w.key == key; });
    if (it == m_waiting.end())
        return;
    it->askers.remove(asker);
    if (it->askers.isEmpty() && !it->anonymous) {
        m_waiting.erase(it);
        m_inFlight.remove(key);
    }
}

void ArtworkCache::setFetchTimes(int slowAfterMs, int deadlineMs)
{
    m_slowAfterMs = slowAfterMs;
    m_deadlineMs = deadlineMs;
}

qsizetype ArtworkCache::nextWaiting() const
{
    for (qsizetype i = 0; i < m_waiting.size(); ++i) {
        const Waiting &w = m_waiting.at(i);
        if (w.anonymous || std::any_of(w.askers.cbegin(), w.askers.cend(), [](const QQuickItem *item) { return inView(item); }))
            return i;
    }
    return m_waiting.size() - 1;
}

void ArtworkCache::startWaitingFetches()
{
    while (!m_waiting.isEmpty() && m_fastFetches < FetchSlots)
        fetch(m_waiting.takeAt(nextWaiting()).key, laneWithRoom());
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
    const auto held = m_images.find(key);
    if (held != m_images.end()) {
        m_bytes -= held->image.sizeInBytes();
        m_uses.erase(held->use);
        m_images.erase(held);
    }
    // Room first, so that the new picture itself stays even when it alone is over the capacity.
    evictBeyond(std::max<qint64>(0, m_capacityBytes - image.sizeInBytes()));
    m_uses.push_back(key);
    m_images.insert(key, Held{image, std::prev(m_uses.end())});
    m_bytes += image.sizeInBytes();
    emit finished(key.first, true);
}
