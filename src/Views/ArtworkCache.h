#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QSet>
#include <QUrl>

#include <list>
#include <memory>
#include <optional>
#include <vector>

class QQuickItem;

// Decoded artwork by address and display size, shared by every ArtworkPicture of the process:
// at most `capacityBytes()` of pixels, the least recently used dropped first; a picture is fetched
// once however many items ask for it at the same time. Pictures are decoded at the size they are
// shown at, rounded up to one of a few steps (`sideFor()`), so a huge file costs its display size.
//
// The queue follows the view: an item asks for a picture and withdraws when it goes away or
// shows another one; a request nobody waits for any more is dropped before it is sent. Of the
// requests waiting for a fetch slot, those of items in view go first (in the order they came),
// then the most recent: after a fast scroll, the rows now shown are fetched next, not the rows
// that flew past.
//
// Lives on the GUI thread; bytes are fetched there (at most artwork::MaxBytes) and read from disk
// and decoded on the thread pool. A "file:" address is read only when it names a regular file in
// the local folder (the offline downloads). Failures are silent: the askers hear
// `finished(url, false)`.
class ArtworkCache : public QObject
{
    Q_OBJECT
public:
    // About a thousand row pictures, or three hundred cards.
    static constexpr qint64 DefaultCapacityBytes = 48ll * 1024 * 1024;
    // Pictures are decoded no larger than this on their longer side.
    static constexpr int MaxPixelSize = 768;
    static constexpr int TransferTimeoutMs = 30'000;
    // A picture's whole fetch, however steadily its bytes trickle in.
    static constexpr int DeadlineMs = 20'000;
    // After this long a fetch counts as slow and no longer holds back the pictures after it.
    static constexpr int SlowAfterMs = 3'000;
    // Fetches under way that are not slow yet; more wait their turn.
    static constexpr int FetchSlots = 6;

    static ArtworkCache &shared();

    // The decoding step for a picture shown `pixels` device pixels wide or high.
    static int sideFor(int pixels);

    // The picture decoded for at least `side` pixels, when it is held (and marks it as recently
    // used); a larger step held already serves.
    std::optional<QImage> cached(const QUrl &url, int side = MaxPixelSize);
    // Starts fetching `url` (http, https or file) for `side` pixels unless it is held or already
    // being fetched. `asker` is the item that will show it; it must `withdraw()` before it goes
    // away. Without an asker the request is never dropped and counts as in view.
    void request(const QUrl &url, int side = MaxPixelSize, const QQuickItem *asker = nullptr);
    // `asker` no longer waits for `url` at `side`: when nobody else does and it has not been
    // sent yet, the request is dropped.
    void withdraw(const QUrl &url, int side, const QQuickItem *asker);
    bool isFetching(const QUrl &url, int side = MaxPixelSize) const { return m_inFlight.contains({url, sideFor(side)}); }
    // Requests not sent yet; requests not answered yet (sent or not).
    int waitingCount() const { return int(m_waiting.size()); }
    int pendingCount() const { return int(m_inFlight.size()); }

    int size() const { return int(m_images.size()); }
    qint64 bytes() const { return m_bytes; }
    qint64 capacityBytes() const { return m_capacityBytes; }
    void setCapacityBytes(qint64 bytes);
    void clear();

    // Whether any of `item` lies in its window's visible area, inside every clipping ancestor.
    static bool inView(const QQuickItem *item);

    // The folder whose files "file:" addresses may name; empty: the offline store's downloads.
    void setLocalFolder(const QString &folder) { m_localFolder = folder; }
    QString localFolder() const;

    // Decodes image bytes, scaled down to `side`; a null image when they are no picture.
    static QImage decode(const QByteArray &bytes, int side = MaxPixelSize);

    // Shorter limits, for tests.
    void setFetchTimes(int slowAfterMs, int deadlineMs);

signals:
    void finished(const QUrl &url, bool ok);

private:
    using Key = std::pair<QUrl, int>;
    struct Held {
        QImage image;
        std::list<Key>::iterator use; // its place in m_uses
    };
    struct Waiting {
        Key key;
        QSet<const QQuickItem *> askers;
        bool anonymous = false; // asked for without an item: never dropped, always in view
    };
    void startWaitingFetches();
    qsizetype nextWaiting() const;
    QNetworkAccessManager *laneWithRoom();
    void fetch(const Key &key, QNetworkAccessManager *lane);
    void onFetched(QNetworkReply *reply, const Key &key, QNetworkAccessManager *lane);
    void decodeOffThread(const Key &key, QByteArray bytes, bool isFile);
    void store(const Key &key, const QImage &image);
    void evictBeyond(qint64 capacity);

    // Qt opens at most six connections to a host per manager and queues the rest, so six
    // trickling pictures would hold every other one back. Each manager (a lane) carries at most
    // six fetches; when those are slow, the next fetches open another lane. Slow fetches end at
    // their deadline, which bounds the lanes.
    std::vector<std::unique_ptr<QNetworkAccessManager>> m_lanes;
    QHash<QNetworkAccessManager *, int> m_laneFetches;
    QList<Waiting> m_waiting; // oldest first
    int m_fastFetches = 0;
    int m_slowAfterMs = SlowAfterMs;
    int m_deadlineMs = DeadlineMs;
    QHash<Key, Held> m_images;
    std::list<Key> m_uses; // least recently used first
    qint64 m_bytes = 0;
    qint64 m_capacityBytes = DefaultCapacityBytes;
    QSet<Key> m_inFlight; // waiting, fetching or decoding
    QString m_localFolder;
};
