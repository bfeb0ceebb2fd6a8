#include "SoftShadow.h"

#include <QList>
#include <QMutex>
#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The picture on screen and the look it was drawn for.
class ShadowNode : public QSGNode
{
public:
    explicit ShadowNode(QSGImageNode *image)
        : image(image)
    {
        image->setOwnsTexture(false);
        image->setFiltering(QSGTexture::Linear);
        appendChildNode(image);
    }
    ~ShadowNode() override { delete texture; }

    void show(QSGTexture *next)
    {
        image->setTexture(next);
        delete texture;
        texture = next;
    }

    QSGImageNode *image;
    QSGTexture *texture = nullptr;
    SoftShadow::Look look;
};

// The pictures drawn lately, the most recent last: a grid's cards share one, and a shadow whose
// colour eases into another's draws one per frame that nobody asks for again.
QList<std::pair<SoftShadow::Look, QImage>> &drawings()
{
    static QList<std::pair<SoftShadow::Look, QImage>> list;
    return list;
}
constexpr qsizetype KeptDrawings = 8;
int drawn = 0;
// Pictures are asked for from each window's render thread, and a GPU draws windows on threads of
// their own.
QMutex drawingsLock;

} // namespace

SoftShadow::SoftShadow(QQuickItem *parent)
    : QQuickItem(parent)
{
    setFlag(ItemHasContents);
    m_look.color = QColor::fromRgbF(0, 0, 0, 0.35f);
    m_look.blur = 8;
}

template <typename T>
void SoftShadow::change(T &field, const T &value)
{
    if (field == value)
        return;
    field = value;
    update();
    emit lookChanged();
}

void SoftShadow::setRadius(qreal radius) { change(m_look.radius, radius); }
void SoftShadow::setColor(const QColor &color) { change(m_look.color, color); }
void SoftShadow::setBlur(qreal blur) { change(m_look.blur, blur); }
void SoftShadow::setOffsetX(qreal offsetX) { change(m_look.offsetX, offsetX); }
void SoftShadow::setOffsetY(qreal offsetY) { change(m_look.offsetY, offsetY); }

void SoftShadow::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        update();
}

QRectF SoftShadow::layerRect(const Look &look, int index)
{
    // Innermost layer first, inset by half the blur; the outermost reaches blur/2 beyond.
    const qreal spread = look.blur * ((index + 0.5) / Steps - 0.5);
    return QRectF(look.offsetX - spread, look.offsetY - spread, look.size.width() + 2 * spread,
                  look.size.height() + 2 * spread);
}

qreal SoftShadow::layerRadius(const Look &look, int index)
{
    const QRectF rect = layerRect(look, index);
    const qreal spread = look.blur * ((index + 0.5) / Steps - 0.5);
    // As a Rectangle does: never more than half the shorter side.
    return std::clamp(look.radius + spread, 0.0, std::min(rect.width(), rect.height()) / 2);
}

qreal SoftShadow::layerAlpha(const Look &look)
{
    return 1 - std::pow(1 - look.color.alphaF(), 1.0 / Steps);
}

QRectF SoftShadow::pictureRect(const Look &look)
{
    QRectF all;
    for (int i = 0; i < Steps; ++i) {
        const QRectF layer = layerRect(look, i);
        if (!layer.isEmpty())
            all |= layer;
    }
    return QRectF(QPointF(std::floor(all.left()), std::floor(all.top())),
                  QPointF(std::ceil(all.right()), std::ceil(all.bottom())));
}

QImage SoftShadow::picture(const Look &look)
{
    const QMutexLocker locked(&drawingsLock);
    auto &kept = drawings();
    const auto found = std::find_if(kept.begin(), kept.end(), [&](const auto &entry) { return entry.first == look; });
    if (found != kept.end()) {
        // The most recent last.
        std::rotate(found, found + 1, kept.end());
        return kept.last().second;
    }
    const QRectF where = pictureRect(look);
    QImage image;
    if (!where.isEmpty()) {
        const qreal ratio = look.devicePixelRatio;
        image = QImage(QSize(int(std::ceil(where.width() * ratio)), int(std::ceil(where.height() * ratio))),
                       QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        QColor layerColor = look.color;
        layerColor.setAlphaF(float(layerAlpha(look)));
        painter.setBrush(layerColor);
        painter.translate(-where.topLeft());
        for (int i = 0; i < Steps; ++i) {
            const QRectF layer = layerRect(look, i);
            if (!layer.isEmpty())
                painter.drawRoundedRect(layer, layerRadius(look, i), layerRadius(look, i));
        }
    }
    ++drawn;
    kept.append({look, image});
    if (kept.size() > KeptDrawings)
        kept.removeFirst();
    return image;
}

int SoftShadow::picturesDrawn()
{
    const QMutexLocker locked(&drawingsLock);
    return drawn;
}

QSGNode *SoftShadow::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *node = static_cast<ShadowNode *>(oldNode);
    Look look = m_look;
    look.size = size();
    look.devicePixelRatio = window() ? window()->effectiveDevicePixelRatio() : 1;
    if (!window() || look.color.alpha() == 0 || pictureRect(look).isEmpty()) {
        delete node;
        return nullptr;
    }
    if (node && node->look == look)
        return node;
    const QImage image = picture(look);
    if (!node)
        node = new ShadowNode(window()->createImageNode());
    node->look = look;
    node->show(window()->createTextureFromImage(image));
    node->image->setRect(pictureRect(look));
    return node;
}
