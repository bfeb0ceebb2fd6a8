#pragma once

#include <QColor>
#include <QImage>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

// A soft shadow of a rounded rectangle, drawn behind the item it shadows:
//     SoftShadow { anchors.fill: card; radius: 14; color: Qt.rgba(0, 0, 0, 0.35); blur: 8; offsetY: 5 }
// Five rounded layers that grow by the blur radius and fade outward, so it looks the same with
// every renderer, drawn once into one picture: one node for the renderer to walk and to paint
// where something above it changes, rather than five. Shadows of the same look (every card of a
// grid) share one drawing.
class SoftShadow : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY lookChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY lookChanged)
    Q_PROPERTY(qreal blur READ blur WRITE setBlur NOTIFY lookChanged)
    Q_PROPERTY(qreal offsetX READ offsetX WRITE setOffsetX NOTIFY lookChanged)
    Q_PROPERTY(qreal offsetY READ offsetY WRITE setOffsetY NOTIFY lookChanged)

public:
    static constexpr int Steps = 5;

    // One look of a shadow, in the item's own pixels.
    struct Look {
        QSizeF size;
        qreal radius = 0;
        QColor color;
        qreal blur = 0;
        qreal offsetX = 0;
        qreal offsetY = 0;
        qreal devicePixelRatio = 1;
        bool operator==(const Look &other) const = default;
    };

    explicit SoftShadow(QQuickItem *parent = nullptr);

    qreal radius() const { return m_look.radius; }
    void setRadius(qreal radius);
    QColor color() const { return m_look.color; }
    void setColor(const QColor &color);
    qreal blur() const { return m_look.blur; }
    void setBlur(qreal blur);
    qreal offsetX() const { return m_look.offsetX; }
    void setOffsetX(qreal offsetX);
    qreal offsetY() const { return m_look.offsetY; }
    void setOffsetY(qreal offsetY);

    // Layer `index` (innermost first), in the item's coordinates, with its corner radius.
    static QRectF layerRect(const Look &look, int index);
    static qreal layerRadius(const Look &look, int index);
    // Each layer's alpha, chosen so that where all of them overlap they add up to the colour's.
    static qreal layerAlpha(const Look &look);
    // Where the picture stands in the item's coordinates: every layer, out to whole pixels.
    static QRectF pictureRect(const Look &look);
    // The picture of `look`, drawn once for every shadow of that look while it is in use.
    static QImage picture(const Look &look);
    // How many pictures have been drawn since the program started.
    static int picturesDrawn();

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

signals:
    void lookChanged();

private:
    template <typename T>
    void change(T &field, const T &value);

    Look m_look;
};
