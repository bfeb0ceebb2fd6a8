#include "RadialGlow.h"

#include <QPainter>
#include <QRadialGradient>

RadialGlow::RadialGlow(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
}

void RadialGlow::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    changed();
}

void RadialGlow::setCenter(QPointF center)
{
    if (center == m_center)
        return;
    m_center = center;
    changed();
}

void RadialGlow::setCenterRadius(qreal radius)
{
    if (qFuzzyCompare(radius, m_centerRadius))
        return;
    m_centerRadius = radius;
    changed();
}

void RadialGlow::setFocalRadius(qreal radius)
{
    if (qFuzzyCompare(radius, m_focalRadius))
        return;
    m_focalRadius = radius;
    changed();
}

void RadialGlow::changed()
{
    update();
    emit glowChanged();
}

void RadialGlow::paint(QPainter *painter)
{
    paintGlow(painter, QRectF(0, 0, width(), height()), m_center, m_centerRadius, m_focalRadius, m_color);
}

void RadialGlow::paintGlow(QPainter *painter, const QRectF &area, QPointF center, qreal centerRadius,
                           qreal focalRadius, const QColor &color)
{
    if (centerRadius <= 0 || color.alpha() == 0)
        return;
    QRadialGradient gradient(center, centerRadius, center, qMin(focalRadius, centerRadius));
    gradient.setColorAt(0.0, color);
    gradient.setColorAt(1.0, Qt::transparent);
    painter->fillRect(area, gradient);
}
