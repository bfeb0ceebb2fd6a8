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
    if (m_centerRadius <= 0 || m_color.alpha() == 0)
        return;
    QRadialGradient gradient(m_center, m_centerRadius, m_center, qMin(m_focalRadius, m_centerRadius));
    gradient.setColorAt(0.0, m_color);
    gradient.setColorAt(1.0, Qt::transparent);
    painter->fillRect(QRectF(0, 0, width(), height()), gradient);
}
