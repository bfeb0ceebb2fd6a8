#include "HarmonicBackdrop.h"

#include "Kit/RadialGlow.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

} // namespace

HarmonicBackdrop::HarmonicBackdrop(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
}

void HarmonicBackdrop::setTint(const QColor &tint)
{
    if (tint == m_tint)
        return;
    m_tint = tint;
    update();
    emit backdropChanged();
}

void HarmonicBackdrop::setBaseColor(const QColor &color)
{
    if (color == m_baseColor)
        return;
    m_baseColor = color;
    setOpaquePainting(color.alpha() == 255);
    update();
    emit backdropChanged();
}

void HarmonicBackdrop::paint(QPainter *painter)
{
    const QRectF area(0, 0, width(), height());
    if (m_baseColor.alpha() > 0)
        painter->fillRect(area, m_baseColor);
    QLinearGradient wash(0, 0, 0, height());
    wash.setColorAt(0.0, withAlpha(m_tint, WashAlphas[0]));
    wash.setColorAt(0.5, withAlpha(m_tint, WashAlphas[1]));
    wash.setColorAt(1.0, withAlpha(m_tint, WashAlphas[2]));
    painter->fillRect(area, wash);
    RadialGlow::paintGlow(painter, area, QPointF(width() / 2, height()), GlowRadius, GlowFocalRadius,
                          withAlpha(m_tint, GlowAlpha));
}
