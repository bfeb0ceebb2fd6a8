#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

// The four bars of the playing indicator (EqualizerBars) as one picture, which moves on at each
// step of the StepClock while `swinging` (from the low heights each time it starts). One picture
// is one rectangle to redraw for the renderer: four rectangles of their own left, at every step,
// a region of dozens of slivers (their smoothed edges) to walk, clip and fill the whole scene
// under. The swing repeats every 840 ms, so its pictures are drawn once and kept: a step hands the
// renderer a picture already drawn, at the nearest 20 ms of the swing.
//     EqualizerBarsPicture { width: 24.9; height: 20; swinging: root.visible; tint: "white" }
// Bar i (leading first) is `BarWidth` wide with its own low and high heights and delay; at
// `elapsed` ms it stands at low + (high - low) * level(elapsed - delay), vertically centred; the
// bars are `BarSpacing` apart, right to left when `mirrored`.
class EqualizerBarsPicture : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool swinging READ swinging WRITE setSwinging NOTIFY swingingChanged)
    // Milliseconds since the swing started, as of the clock's last step.
    Q_PROPERTY(qreal elapsed READ elapsed WRITE setElapsed NOTIFY barsChanged)
    Q_PROPERTY(QColor tint READ tint WRITE setTint NOTIFY barsChanged)
    Q_PROPERTY(bool mirrored READ mirrored WRITE setMirrored NOTIFY barsChanged)
    // Leading first: each bar's height and the x of its left edge.
    Q_PROPERTY(QList<qreal> barHeights READ barHeights NOTIFY barsChanged)
    Q_PROPERTY(QList<qreal> barLefts READ barLefts NOTIFY barsChanged)

public:
    static constexpr qreal BarWidth = 3.6;
    static constexpr qreal BarSpacing = 3.5;
    static constexpr qreal Radius = 1.6;
    static constexpr int HalfSwingMs = 420;
    static constexpr qreal NaturalWidth = 4 * BarWidth + 3 * BarSpacing;
    // The pictures are drawn this many ms of the swing apart.
    static constexpr int PictureMs = 20;

    struct Bar {
        qreal upHeight;
        qreal downHeight;
        int delayMs;
    };
    static constexpr Bar Bars[4] = {{19, 8, 0}, {9, 15, 140}, {14, 19, 280}, {8, 13, 420}};

    explicit EqualizerBarsPicture(QQuickItem *parent = nullptr);
    ~EqualizerBarsPicture() override;

    bool swinging() const { return m_swinging; }
    void setSwinging(bool swinging);
    qreal elapsed() const { return m_elapsed; }
    void setElapsed(qreal elapsed);
    QColor tint() const { return m_tint; }
    void setTint(const QColor &tint);
    bool mirrored() const { return m_mirrored; }
    void setMirrored(bool mirrored);
    QList<qreal> barHeights() const;
    QList<qreal> barLefts() const;

    // The ease-in-out curve (control points 0.42, 0 and 0.58, 1) at x in [0, 1].
    static qreal ease(qreal x);
    // 0 = a bar's low height, 1 = its high height, `t` ms after its delay (0 before it).
    static qreal level(qreal t);
    // Which picture stands for `elapsed`: every elapsed time with the same one looks the same
    // (after the last delay the swing repeats every 840 ms).
    static int pictureIndex(qreal elapsed);
    // How many pictures were drawn for the renderer since the look (tint, side, size) last changed.
    int picturesDrawn() const { return m_picturesDrawn; }

signals:
    void swingingChanged();
    void barsChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    QRectF barRect(int index, qreal elapsed) const;
    QImage picture(int index, qreal devicePixelRatio) const;
    void lookChanged();

    bool m_swinging = false;
    double m_startedAt = 0;
    qreal m_elapsed = 0;
    // Bumped when the pictures drawn so far no longer hold.
    int m_look = 0;
    int m_picturesDrawn = 0;
    QColor m_tint = Qt::white;
    bool m_mirrored = false;
};
