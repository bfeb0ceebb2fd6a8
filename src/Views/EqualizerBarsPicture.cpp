#include "EqualizerBarsPicture.h"

#include "Kit/StepClock.h"

#include <QHash>
#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>

#include <cmath>

namespace {

// The picture on screen and those drawn so far for this look, released with the node (on the
// renderer's thread).
class BarsNode : public QSGNode
{
public:
    explicit BarsNode(QSGImageNode *image)
        : image(image)
    {
        image->setOwnsTexture(false);
        appendChildNode(image);
    }
    ~BarsNode() override { qDeleteAll(textures); }

    QSGImageNode *image;
    QHash<int, QSGTexture *> textures;
    int look = -1;
    qreal ratio = 0;
};

} // namespace

EqualizerBarsPicture::EqualizerBarsPicture(QQuickItem *parent)
    : QQuickItem(parent)
{
    setFlag(ItemHasContents);
}

EqualizerBarsPicture::~EqualizerBarsPicture()
{
    StepClock::shared().hold(this, false);
}

void EqualizerBarsPicture::setSwinging(bool swinging)
{
    if (swinging == m_swinging)
        return;
    m_swinging = swinging;
    StepClock &clock = StepClock::shared();
    if (swinging) {
        m_startedAt = clock.current();
        // Whole steps: a tick that comes a little late or early shows the same picture as it
        // would on time, so a swing needs only the pictures of its steps, drawn once.
        static_assert(StepClock::StepMs % PictureMs == 0);
        connect(&clock, &StepClock::stepped, this, [this] {
            const double steps = std::round((StepClock::shared().now() - m_startedAt) / StepClock::StepMs);
            setElapsed(std::max(0.0, steps * StepClock::StepMs));
        });
    } else {
        disconnect(&clock, &StepClock::stepped, this, nullptr);
    }
    clock.hold(this, swinging);
    // From the low heights, each time it starts.
    setElapsed(0);
    emit swingingChanged();
}

void EqualizerBarsPicture::setElapsed(qreal elapsed)
{
    if (elapsed == m_elapsed)
        return;
    const bool samePicture = pictureIndex(elapsed) == pictureIndex(m_elapsed);
    m_elapsed = elapsed;
    if (!samePicture)
        update();
    emit barsChanged();
}

void EqualizerBarsPicture::setTint(const QColor &tint)
{
    if (tint == m_tint)
        return;
    m_tint = tint;
    lookChanged();
}

void EqualizerBarsPicture::setMirrored(bool mirrored)
{
    if (mirrored == m_mirrored)
        return;
    m_mirrored = mirrored;
    lookChanged();
}

void EqualizerBarsPicture::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        lookChanged();
}

void EqualizerBarsPicture::lookChanged()
{
    ++m_look;
    m_picturesDrawn = 0;
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

int EqualizerBarsPicture::pictureIndex(qreal elapsed)
{
    constexpr int period = 2 * HalfSwingMs / PictureMs;
    constexpr int lastDelay = Bars[3].delayMs / PictureMs;
    static_assert(2 * HalfSwingMs % PictureMs == 0 && Bars[3].delayMs % PictureMs == 0);
    const int index = int(std::lround(std::clamp(elapsed, 0.0, 1e9) / PictureMs));
    return index < lastDelay + period ? index : lastDelay + (index - lastDelay) % period;
}

QRectF EqualizerBarsPicture::barRect(int index, qreal elapsed) const
{
    const Bar &bar = Bars[index];
    const int slot = m_mirrored ? 3 - index : index;
    const qreal h = bar.downHeight + (bar.upHeight - bar.downHeight) * level(elapsed - bar.delayMs);
    return QRectF((width() - NaturalWidth) / 2 + slot * (BarWidth + BarSpacing), (height() - h) / 2, BarWidth, h);
}

QList<qreal> EqualizerBarsPicture::barHeights() const
{
    QList<qreal> heights;
    for (int i = 0; i < 4; ++i)
        heights << barRect(i, m_elapsed).height();
    return heights;
}

QList<qreal> EqualizerBarsPicture::barLefts() const
{
    QList<qreal> lefts;
    for (int i = 0; i < 4; ++i)
        lefts << barRect(i, m_elapsed).left();
    return lefts;
}

QImage EqualizerBarsPicture::picture(int index, qreal devicePixelRatio) const
{
    QImage image(QSize(int(std::ceil(width() * devicePixelRatio)), int(std::ceil(height() * devicePixelRatio))),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_tint);
    for (int i = 0; i < 4; ++i)
        painter.drawRoundedRect(barRect(i, qreal(index * PictureMs)), Radius, Radius);
    return image;
}

QSGNode *EqualizerBarsPicture::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *node = static_cast<BarsNode *>(oldNode);
    if (width() <= 0 || height() <= 0 || !window()) {
        delete node;
        return nullptr;
    }
    if (!node) {
        node = new BarsNode(window()->createImageNode());
        node->image->setFiltering(QSGTexture::Linear);
    }
    const qreal ratio = window()->effectiveDevicePixelRatio();
    QHash<int, QSGTexture *> stale;
    if (node->look != m_look || node->ratio != ratio) {
        stale.swap(node->textures);
        node->look = m_look;
        node->ratio = ratio;
        m_picturesDrawn = 0;
    }
    const int index = pictureIndex(m_elapsed);
    QSGTexture *&texture = node->textures[index];
    if (!texture) {
        texture = window()->createTextureFromImage(picture(index, ratio));
        ++m_picturesDrawn;
    }
    // Only what changed: each change is one more dirty node for the renderer.
    if (node->image->texture() != texture)
        node->image->setTexture(texture);
    if (node->image->rect() != boundingRect())
        node->image->setRect(boundingRect());
    // Once the picture shown is one of this look.
    qDeleteAll(stale);
    return node;
}
