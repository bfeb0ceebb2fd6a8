#pragma once

#include <QColor>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

// What HarmonicTint draws, as one picture: `baseColor` (the page's own colour; transparent for
// none), a top-to-bottom gradient of `tint` at 0.55, 0.25 and 0.1, and a radial glow of the tint
// at 0.3 rising from the bottom. Painted again only when it changes. Over an opaque base it is
// drawn opaque, so a software renderer paints it alone where something above it changes (a
// playing indicator's step), rather than the page, the gradient and the glow in turn.
//     HarmonicBackdrop { anchors.fill: parent; tint: root.shownTint; baseColor: Theme.background }
class HarmonicBackdrop : public QQuickPaintedItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor tint READ tint WRITE setTint NOTIFY backdropChanged)
    Q_PROPERTY(QColor baseColor READ baseColor WRITE setBaseColor NOTIFY backdropChanged)

public:
    // The glow's radii and the gradient's alphas, top, middle and bottom.
    static constexpr qreal GlowRadius = 480;
    static constexpr qreal GlowFocalRadius = 40;
    static constexpr qreal GlowAlpha = 0.3;
    static constexpr qreal WashAlphas[3] = {0.55, 0.25, 0.1};

    explicit HarmonicBackdrop(QQuickItem *parent = nullptr);

    QColor tint() const { return m_tint; }
    void setTint(const QColor &tint);
    QColor baseColor() const { return m_baseColor; }
    void setBaseColor(const QColor &color);

    void paint(QPainter *painter) override;

signals:
    void backdropChanged();

private:
    QColor m_tint = Qt::transparent;
    QColor m_baseColor = Qt::transparent;
};
