#pragma once

#include <QHash>
#include <QImage>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QQuickItem>
#include <QSet>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>
#include <vector>

// Decoded artwork by address and display size, shared by every ArtworkPicture of the process:
// at most `Capacity` pictures, the least recently used dropped first; a picture is fetched once
// however many items ask for it at the same time. Pictures are decoded at the size they are shown
// at, rounded up to one of a few steps (`sideFor()`), so a huge file costs its display size.
// Lives on the GUI thread; bytes are fetched there (at most artwork::MaxBytes) and read from disk
// and decoded on the thread pool. A "file:" address is read only when it names a regular file in
// the local folder (the offline downloads). Failures are silent: the askers hear
// `finished(url, false)`.
class ArtworkCache : public QObject
{
    Q_OBJECT
public:
    static constexpr int Capacity = 64;
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
    // being fetched.
    void request(const QUrl &url, int side = MaxPixelSize);
    bool isFetching(const QUrl &url, int side = MaxPixelSize) const { return m_inFlight.contains({url, sideFor(side)}); }
    int size() const { return int(m_images.size()); }
    void clear();

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
    void startWaitingFetches();
    QNetworkAccessManager *laneWithRoom();
    void fetch(const Key &key, QNetworkAccessManager *lane);
    void onFetched(QNetworkReply *reply, const Key &key, QNetworkAccessManager *lane);
    void decodeOffThread(const Key &key, QByteArray bytes, bool isFile);
    void store(const Key &key, const QImage &image);

    // Qt opens at most six connections to a host per manager and queues the rest, so six
    // trickling pictures would hold every other one back. Each manager (a lane) carries at most
    // six fetches; when those are slow, the next fetches open another lane. Slow fetches end at
    // their deadline, which bounds the lanes.
    std::vector<std::unique_ptr<QNetworkAccessManager>> m_lanes;
    QHash<QNetworkAccessManager *, int> m_laneFetches;
    QList<Key> m_waiting;
    int m_fastFetches = 0;
    int m_slowAfterMs = SlowAfterMs;
    int m_deadlineMs = DeadlineMs;
    QHash<Key, QImage> m_images;
    QList<Key> m_order; // least recently used first
    QSet<Key> m_inFlight;
    QString m_localFolder;
};

// An artwork picture drawn to fill its bounds (aspect fill, centred crop), loaded asynchronously
// through ArtworkCache. ArtworkImage.qml draws its placeholder around it by `status`.
//     ArtworkPicture { anchors.fill: parent; source: ServerAddress.absolute(path); radius: 14 }
// With a radius the picture is cut to a rounded rectangle once, at the size it is shown at, so
// that no mask has to be applied in every frame.
class ArtworkPicture : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QUrl source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(Status status READ status NOTIFY statusChanged)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY radiusChanged)

public:
    // Null: no address; Loading; Ready: the picture shows; Error: it could not be loaded.
    enum class Status { Null, Loading, Ready, Error };
    Q_ENUM(Status)

    explicit ArtworkPicture(QQuickItem *parent = nullptr);

    QUrl source() const { return m_source; }
    void setSource(const QUrl &source);
    Status status() const { return m_status; }
    QImage image() const { return m_image; }
    qreal radius() const { return m_radius; }
    void setRadius(qreal radius);

    // The picture cropped to `size` (aspect fill) with its corners cut to `radius`, transparent
    // outside; `size` in device pixels.
    static QImage roundedCrop(const QImage &image, const QSize &size, qreal radius);

signals:
    void sourceChanged();
    void statusChanged();
    void radiusChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    void onFinished(const QUrl &url, bool ok);
    void show(const QImage &image);
    void setStatus(Status status);
    // The texture's picture: the decoded one, or its rounded crop at the shown size.
    QImage shownImage() const;
    // The decoding step for the item's size now; asks the cache for it when a sharper picture is
    // needed than the one shown. Runs queued, once the item's size has settled.
    void scheduleLoad();
    void load();
    int wantedSide() const;

    QUrl m_source;
    int m_side = 0; // the decoding step asked for, 0 before the first
    bool m_loadScheduled = false;
    Status m_status = Status::Null;
    QImage m_image;
    bool m_imageChanged = false;
    qreal m_radius = 0;
};
