#pragma once

#include <QImage>
#include <QObject>
#include <QQuickItem>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include "ArtworkCache.h"

#include <optional>

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
    ~ArtworkPicture() override;

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
    void itemChange(ItemChange change, const ItemChangeData &data) override;

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
    // Lets the cache drop the request this item is waiting for, if any.
    void withdraw();
    int wantedSide() const;

    QUrl m_source;
    int m_side = 0; // the decoding step asked for, 0 before the first
    bool m_waiting = false; // asked the cache for m_side and not answered yet
    bool m_loadScheduled = false;
    Status m_status = Status::Null;
    QImage m_image;
    bool m_imageChanged = false;
    qreal m_radius = 0;
};
