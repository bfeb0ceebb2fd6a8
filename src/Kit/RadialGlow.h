#pragma once

#include <QColor>
#include <QPointF>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

// A radial glow filling the item: `color` at the focal circle (radius `focalRadius` about
// `center`), fading to transparent at `centerRadius`, like a Shape filled with a RadialGradient of
// two stops whose focal point is its centre. Painted once into a texture and again only when it
// changes: a Shape is a render node, which a software renderer repaints whole, with all it covers,
// whenever anything inside its bounds changes (a playing indicator's step).
//     RadialGlow { anchors.fill: parent; center: Qt.point(width / 2, height); centerRadius: 480; focalRadius: 40; color: ... }
class RadialGlow : public QQuickPaintedItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY glowChanged)
    Q_PROPERTY(QPointF center READ center WRITE setCenter NOTIFY glowChanged)
    Q_PROPERTY(qreal centerRadius READ centerRadius WRITE setCenterRadius NOTIFY glowChanged)
    Q_PROPERTY(qreal focalRadius READ focalRadius WRITE setFocalRadius NOTIFY glowChanged)

public:
    explicit RadialGlow(QQuickItem *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    QPointF center() const { return m_center; }
    void setCenter(QPointF center);
    qreal centerRadius() const { return m_centerRadius; }
    void setCenterRadius(qreal radius);
    qreal focalRadius() const { return m_focalRadius; }
    void setFocalRadius(qreal radius);

    void paint(QPainter *painter) override;
    // Paints a glow over `area` (see above) with any painter.
    static void paintGlow(QPainter *painter, const QRectF &area, QPointF center, qreal centerRadius,
                          qreal focalRadius, const QColor &color);

signals:
    void glowChanged();

private:
    void changed();

    QColor m_color = Qt::transparent;
    QPointF m_center;
    qreal m_centerRadius = 0;
    qreal m_focalRadius = 0;
};
