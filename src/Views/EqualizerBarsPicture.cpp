#include "EqualizerBarsPicture.h"

#include <QPainter>

#include <cmath>

EqualizerBarsPicture::EqualizerBarsPicture(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

void EqualizerBarsPicture::setElapsed(qreal elapsed)
{
    if (elapsed == m_elapsed)
        return;
    m_elapsed = elapsed;
    update();
    emit barsChanged();
}

void EqualizerBarsPicture::setTint(const QColor &tint)
{
    if (tint == m_tint)
        return;
    m_tint = tint;
    update();
    emit barsChanged();
}

void EqualizerBarsPicture::setMirrored(bool mirrored)
{
    if (mirrored == m_mirrored)
        return;
    m_mirrored = mirrored;
    update();
    emit barsChanged();
}

qreal EqualizerBarsPicture::ease(qreal x)
{
    // Solve bx(t) = x for t by bisection (bx is monotonic), then return by(t).
    qreal lo = 0, hi = 1, t = x;
    for (int i = 0; i < 14; ++i) {
        t = (lo + hi) / 2;
        const qreal u = 1 - t;
        const qreal bx = 3 * u * u * t * 0.42 + 3 * u * t * t * 0.58 + t * t * t;
        if (bx < x)
            lo = t;
        else
            hi = t;
    }
    const qreal u = 1 - t;
    return 3 * u * t * t + t * t * t;
}

qreal EqualizerBarsPicture::level(qreal t)
{
    if (t <= 0)
        return 0;
    const qreal phase = std::fmod(t, 2.0 * HalfSwingMs);
    return phase < HalfSwingMs ? ease(phase / HalfSwingMs) : 1 - ease((phase - HalfSwingMs) / HalfSwingMs);
}

QRectF EqualizerBarsPicture::barRect(int index) const
{
    const Bar &bar = Bars[index];
    const int slot = m_mirrored ? 3 - index : index;
    const qreal h = bar.downHeight + (bar.upHeight - bar.downHeight) * level(m_elapsed - bar.delayMs);
    return QRectF((width() - NaturalWidth) / 2 + slot * (BarWidth + BarSpacing), (height() - h) / 2, BarWidth, h);
}

QList<qreal> EqualizerBarsPicture::barHeights() const
{
    QList<qreal> heights;
    for (int i = 0; i < 4; ++i)
        heights << barRect(i).height();
    return heights;
}

QList<qreal> EqualizerBarsPicture::barLefts() const
{
    QList<qreal> lefts;
    for (int i = 0; i < 4; ++i)
        lefts << barRect(i).left();
    return lefts;
}

void EqualizerBarsPicture::paint(QPainter *painter)
{
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(m_tint);
    for (int i = 0; i < 4; ++i)
        painter->drawRoundedRect(barRect(i), Radius, Radius);
}
