#pragma once

#include "ArtworkPicture.h"

#include <QImage>
#include <QtQml/qqmlregistration.h>

// An artwork picture whose shape or blur is drawn once into its own image when the picture or the
// item's size changes, so that moving, turning or fading it later costs one textured quad per
// frame (no mask, layer or shader pass):
//     BakedArtworkPicture { width: 234; height: 234; circular: true; source: ... }   // a round label
//     BakedArtworkPicture { width: 500; height: 500; blurRadius: 90; source: ... }   // a soft glow
// A blurred picture spreads past its bounds by about twice the radius and fades to nothing there.
class BakedArtworkPicture : public ArtworkPicture
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool circular READ circular WRITE setCircular NOTIFY bakeChanged)
    Q_PROPERTY(qreal blurRadius READ blurRadius WRITE setBlurRadius NOTIFY bakeChanged)

public:
    explicit BakedArtworkPicture(QQuickItem *parent = nullptr);

    bool circular() const { return m_circular; }
    void setCircular(bool circular);
    qreal blurRadius() const { return m_blurRadius; }
    void setBlurRadius(qreal radius);

    // The baked image of `image` for an item of `size` (device pixels for the circle). Blurred: a
    // small image with a clear border of `BlurBorder` pixels, meant to be drawn stretched so that
    // its inner part covers the item.
    static constexpr int BlurBorder = 3;
    static QImage bakeCircle(const QImage &image, QSize size);
    static QImage bakeBlur(const QImage &image, QSizeF size, qreal radius);

    // How many times the picture has been baked (tests: a turn or a move bakes nothing).
    int bakeCount() const { return m_bakeCount; }

signals:
    void bakeChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *data) override;

private:
    void rebake();

    bool m_circular = false;
    qreal m_blurRadius = 0;
    QImage m_baked;
    qint64 m_bakedKey = 0;
    QSize m_bakedSize;
    bool m_bakedChanged = false;
    int m_bakeCount = 0;
};
