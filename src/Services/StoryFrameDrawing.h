#pragma once

#include "Services/StoryConfig.h"
#include "Services/StoryVideoRenderer.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QRectF>

#include <vector>

// The drawing of one story frame, in frame pixels (720 × 1280, origin top left, y down):
// a backdrop gradient in the theme colour over black, a pulsing glow, the blurred artwork, the
// breathing artwork card, title and artist, the current lyric line fading in with its
// translation, and the watermark.
namespace StoryFrame {

// What every frame of one render shares, made once per render (on the render thread).
struct ReadyAssets
{
    QImage blurredCover; // makeBlurred(config.coverImage): 720 × 1280, null without a cover
    // The layers under the card that do not move, composed once: the gradient over opaque black,
    // then the blurred cover at 0.32. Between the two lies the glow, whose opacity changes with
    // every frame; since every layer blends linearly, a frame is `base + opacity × glowDelta`
    // inside the glow's square and `base` elsewhere, exactly as drawing the three layers in turn.
    QImage base;
    QRect glowArea;               // the pixels the glow touches
    std::vector<qint16> glowDelta; // per byte of glowArea (alpha bytes 0), what the glow adds at opacity 1, × 128
    QImage cover;                 // the artwork, premultiplied
    QImage coverShadow;           // the card's shadow, only for artwork with transparent parts (else hidden under it)

    ReadyAssets() = default;
    explicit ReadyAssets(const StoryConfig &config);
    // The blurred backdrop: the artwork with its lower-left corner on the frame's, its edges
    // repeated without end, blurred with radius 50, cut to 720 × 1280. No image gives none.
    static QImage makeBlurred(const QImage &image);

    // The frame's texts, each set once into a layer of its own (in the text's colour, the
    // translation with its shadow) and blended at the text's opacity: a text at alpha a then
    // blends exactly a of the way, which text drawn straight with a translucent colour does not
    // (the rasteriser corrects its edges for gamma). Frames of one line share one layer.
    enum class Text { Title, Artist, Line, Translation, Watermark };
    struct TextLayer {
        QImage image;   // null for an empty text
        QPointF origin; // where the image's top-left corner goes in the frame
    };
    TextLayer textLayer(Text kind, const QString &text, const QColor &color) const;

private:
    mutable QMutex m_lock;
    mutable QHash<QString, TextLayer> m_texts;
};

// Draws the frame for second `t` of the video into a 720 × 1280 premultiplied image. Every pixel
// is written (the frame starts from opaque black), so the image's earlier contents never show.
void drawFrame(QImage &frame, const StoryConfig &config, const ReadyAssets &cache,
               const StoryVideoRenderer::Timings &timings, double t);

// The frame's still layers and the glow at its opacity for second `t`: the first step of drawFrame.
void composeBackdrop(QImage &frame, const ReadyAssets &cache, double t);

// A square image 2 × radius wide: a radial fade from `color` at the centre to transparent.
QImage makeGlow(const QColor &color, int radius);
// Separable Gaussian blur of a premultiplied image in place; edge pixels repeat beyond the edges.
void gaussianBlur(QImage &image, double sigma);

// The animated quantities, for second t.
double glowOpacity(double t);           // 0.14 + 0.08 sin(2πt / 9)
QRectF coverRect(double t);             // the card: side 740 (1.02 + 0.02 sin(2πt / 13)), bobbing
double lineAlpha(double start, double t); // fades from 0.25 to 1 in the first 0.35 s of a line

inline constexpr double CoverRadius = 44;
inline constexpr double GlowRadius = 340;

} // namespace StoryFrame
