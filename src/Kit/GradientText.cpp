#include "GradientText.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

GradientText::GradientText(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
    relayout();
}

void GradientText::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit textChanged();
    relayout();
}

void GradientText::setFont(const QFont &font)
{
    if (font == m_font)
        return;
    m_font = font;
    emit fontChanged();
    relayout();
}

void GradientText::setTopColor(const QColor &color)
{
    if (color == m_top)
        return;
    m_top = color;
    emit colorsChanged();
    update();
}

void GradientText::setBottomColor(const QColor &color)
{
    if (color == m_bottom)
        return;
    m_bottom = color;
    emit colorsChanged();
    update();
}

void GradientText::relayout()
{
    const QFontMetricsF metrics(m_font);
    setImplicitWidth(std::ceil(metrics.horizontalAdvance(m_text)));
    setImplicitHeight(std::ceil(metrics.height()));
    update();
}

void GradientText::paint(QPainter *painter)
{
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, m_top);
    fill.setColorAt(1, m_bottom);
    painter->setFont(m_font);
    painter->setPen(QPen(QBrush(fill), 0));
    const QFontMetricsF metrics(m_font);
    painter->drawText(QPointF(0, metrics.ascent()), m_text);
}
