#include "Services/StoryFrameDrawing.h"

#include "Platform/AppFont.h"

#include <QLinearGradient>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace StoryFrame {

namespace {

constexpr int W = StoryVideoRenderer::Width;
constexpr int H = StoryVideoRenderer::Height;
constexpr double TwoPi = 2 * std::numbers::pi;

// The backdrop's blur radius, and the factor by which the artwork is reduced before blurring:
// a blur this wide leaves nothing finer than a few pixels, so blurring a quarter-size copy and
// enlarging the result gives the same picture for a sixteenth of the work.
constexpr double BackdropBlurRadius = 50;
constexpr int BlurReduction = 4;

// Text shadows are given as a blur; a Gaussian of half that standard deviation looks the same.
constexpr double TranslationShadowBlur = 8;
const QPointF TranslationShadowOffset(0, 2);
constexpr double CardShadowBlur = 70;
const QPointF CardShadowOffset(0, 24);

const QRectF TitleRect(70, 1040, 580, 60);
const QRectF ArtistRect(70, 1090, 580, 42);
const QRectF LineRect(60, 720, 600, 130);
const QRectF TranslationRect(60, 840, 600, 64);
const QRectF WatermarkRect(80, 1184, 560, 34);
const QRectF GlowRect(10, 110.8, 700, 700);
const QRectF BlurredRect(-440, -160, 1600, 1600);

QColor white(double alpha)
{
    return QColor::fromRgbF(1, 1, 1, float(alpha));
}

// A text centred in its rectangle, right to left, wrapped at word boundaries (inside a word only
// when one word is wider than the line), set from the top. Lines that would end below the
// rectangle are left out, except the first.
class TextBlock
{
public:
    TextBlock(const QString &text, const QFont &font, const QRectF &rect) : m_layout(text, font), m_rect(rect)
    {
        QTextOption option(Qt::AlignHCenter);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setTextDirection(Qt::RightToLeft);
        m_layout.setTextOption(option);
        m_layout.beginLayout();
        qreal y = 0;
        for (QTextLine line = m_layout.createLine(); line.isValid(); line = m_layout.createLine()) {
            line.setLineWidth(rect.width());
            line.setPosition(QPointF(0, y));
            y += line.height();
            if (m_lines == 0 || y <= rect.height() + 0.5)
                ++m_lines;
        }
        m_layout.endLayout();
    }

    void draw(QPainter &painter, const QColor &color, const QPointF &offset = {}) const
    {
        painter.setPen(color);
        for (int i = 0; i < m_lines; ++i)
            m_layout.lineAt(i).draw(&painter, m_rect.topLeft() + offset);
    }

private:
    QTextLayout m_layout;
    QRectF m_rect;
    int m_lines = 0;
};

struct TextStyle {
    int pixelSize;
    int weight;
    QRectF rect;
    bool shadow;
};

TextStyle textStyle(ReadyAssets::Text kind)
{
    switch (kind) {
    case ReadyAssets::Text::Title:
        return {46, QFont::ExtraBold, TitleRect, false};
    case ReadyAssets::Text::Artist:
        return {30, QFont::Medium, ArtistRect, false};
    case ReadyAssets::Text::Line:
        return {44, QFont::Bold, LineRect, false};
    case ReadyAssets::Text::Translation:
        return {30, QFont::DemiBold, TranslationRect, true};
    case ReadyAssets::Text::Watermark:
        break;
    }
    return {24, QFont::DemiBold, WatermarkRect, false};
}

void drawLayer(QPainter &painter, const ReadyAssets::TextLayer &layer, double opacity)
{
    if (layer.image.isNull())
        return;
    painter.setOpacity(opacity);
    painter.drawImage(layer.origin, layer.image);
    painter.setOpacity(1);
}

// A soft copy of a shape: `draw` paints it (in black) into an image with a margin of three
// deviations around `size`; the result is that image's alpha blurred and tinted.
template<typename Draw>
QImage softShadow(QSizeF size, double blur, const QColor &color, Draw draw, int reduction = 1)
{
    const double sigma = blur / 2;
    const int margin = int(std::ceil(3 * sigma));
    const QSize full(int(std::ceil(size.width())) + 2 * margin, int(std::ceil(size.height())) + 2 * margin);
    QImage image(full, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
        p.translate(margin, margin);
        draw(p);
    }
    if (reduction > 1) {
        QImage small = image.scaled(full / reduction, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        gaussianBlur(small, sigma / reduction);
        image = small.scaled(full, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        gaussianBlur(image, sigma);
    }
    // Keep the alpha, take the colour.
    QPainter tint(&image);
    tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tint.fillRect(image.rect(), color);
    return image;
}

int shadowMargin(double blur)
{
    return int(std::ceil(3 * blur / 2));
}

bool hasTransparency(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return false;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(row[x]) < 255)
                return true;
    }
    return false;
}

// The glow's differences and its opacity in fixed point: their product stays within 32 bits.
constexpr int GlowDeltaScale = 128;
constexpr int GlowOpacityScale = 4096;
constexpr int GlowShift = 19; // log2(GlowDeltaScale × GlowOpacityScale)

// One row of the glow at its opacity, in integer arithmetic without branches, which the compiler
// turns into vector code (it runs for half a million pixels of every frame).
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("tree-vectorize")))
#endif
void addGlow(uchar *__restrict out, const qint16 *__restrict delta, int count, int opacity)
{
    for (int i = 0; i < count; ++i) {
        const int value = int(out[i]) + ((int(delta[i]) * opacity + (1 << (GlowShift - 1))) >> GlowShift);
        out[i] = uchar(std::min(std::max(value, 0), 255));
    }
}

} // namespace

// ------------------------------------------------------------------ animated quantities

double glowOpacity(double t)
{
    return 0.14 + 0.08 * std::sin(TwoPi * t / 9);
}

QRectF coverRect(double t)
{
    const double side = 740 * (1.02 + 0.02 * std::sin(TwoPi * t / 13));
    const double x = (W - side) / 2;
    const double y = 409.6 - side / 2 + 10 * std::sin(TwoPi * t / 10);
    return QRectF(x, y, side, side);
}

double lineAlpha(double start, double t)
{
    const double p = (t - start) / 0.35;
    return p >= 0 ? 0.25 + 0.75 * std::min(p, 1.0) : 0.25;
}

// ------------------------------------------------------------------ images

QImage makeGlow(const QColor &color, int radius)
{
    if (radius <= 0)
        return {};
    QImage image(2 * radius, 2 * radius, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QRadialGradient gradient(QPointF(radius, radius), radius);
    gradient.setSpread(QGradient::PadSpread);
    gradient.setColorAt(0, color);
    gradient.setColorAt(1, Qt::transparent);
    painter.fillRect(image.rect(), gradient);
    return image;
}

void gaussianBlur(QImage &image, double sigma)
{
    if (image.isNull() || !(sigma > 0))
        return;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int radius = std::max(1, int(std::ceil(3 * sigma)));
    std::vector<float> kernel(size_t(2 * radius + 1));
    float sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += kernel[size_t(i + radius)] = float(std::exp(-(i * i) / (2 * sigma * sigma)));
    for (float &k : kernel)
        k /= sum;

    const int w = image.width();
    const int h = image.height();
    const auto stride = image.bytesPerLine() / 4;
    QRgb *pixels = reinterpret_cast<QRgb *>(image.bits());
    // One line (a row or a column) at a time: copied with its edges repeated `radius` times,
    // convolved back into place.
    std::vector<float> line;
    auto blurLine = [&](QRgb *first, int length, qsizetype step) {
        line.assign(size_t(4 * (length + 2 * radius)), 0.0f);
        for (int i = -radius; i < length + radius; ++i) {
            const QRgb p = first[std::clamp(i, 0, length - 1) * step];
            float *out = &line[size_t(4 * (i + radius))];
            out[0] = float(qAlpha(p));
            out[1] = float(qRed(p));
            out[2] = float(qGreen(p));
            out[3] = float(qBlue(p));
        }
        for (int i = 0; i < length; ++i) {
            float a = 0, r = 0, g = 0, b = 0;
            const float *in = &line[size_t(4 * i)];
            for (size_t k = 0; k < kernel.size(); ++k, in += 4) {
                a += kernel[k] * in[0];
                r += kernel[k] * in[1];
                g += kernel[k] * in[2];
                b += kernel[k] * in[3];
            }
            auto byte = [](float v) { return std::clamp(int(std::lround(v)), 0, 255); };
            const int alpha = byte(a);
            first[i * step] = qRgba(std::min(byte(r), alpha), std::min(byte(g), alpha), std::min(byte(b), alpha), alpha);
        }
    };
    for (int y = 0; y < h; ++y)
        blurLine(pixels + y * stride, w, 1);
    for (int x = 0; x < w; ++x)
        blurLine(pixels + x, h, stride);
}

QImage ReadyAssets::makeBlurred(const QImage &image)
{
    if (image.isNull())
        return {};
    const QImage source = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int sw = source.width();
    const int sh = source.height();
    const double sigma = BackdropBlurRadius / BlurReduction;
    // The reduced blur reads three deviations beyond the frame, where the repeated edges go on.
    const int margin = (int(std::ceil(3 * sigma)) + 1) * BlurReduction;
    QImage extended(W + 2 * margin, H + 2 * margin, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < extended.height(); ++y) {
        // The artwork's lower-left corner sits on the frame's.
        const int sy = std::clamp(y - margin - (H - sh), 0, sh - 1);
        const QRgb *in = reinterpret_cast<const QRgb *>(source.constScanLine(sy));
        QRgb *out = reinterpret_cast<QRgb *>(extended.scanLine(y));
        for (int x = 0; x < extended.width(); ++x)
            out[x] = in[std::clamp(x - margin, 0, sw - 1)];
    }
    QImage small = extended.scaled(extended.size() / BlurReduction, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    gaussianBlur(small, sigma);
    // Enlarge the frame's part with one reduced pixel around it, so that the edges interpolate
    // with their true neighbours, then cut the frame out.
    const int m = margin / BlurReduction - 1;
    const QImage part = small.copy(m, m, W / BlurReduction + 2, H / BlurReduction + 2);
    const QImage large = part.scaled(part.size() * BlurReduction, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return large.copy(BlurReduction, BlurReduction, W, H);
}

ReadyAssets::ReadyAssets(const StoryConfig &config)
{
    // Backdrop: the gradient over opaque black.
    QImage backdrop(W, H, QImage::Format_ARGB32_Premultiplied);
    backdrop.fill(Qt::black);
    {
        QPainter painter(&backdrop);
        QLinearGradient gradient(0, 0, 0, H);
        QColor top = config.themeColor;
        top.setAlphaF(0.75f);
        gradient.setColorAt(0, top);
        gradient.setColorAt(1, QColor::fromRgbF(0.03f, 0.03f, 0.04f));
        painter.fillRect(backdrop.rect(), gradient);
    }
    // The glow alone, where it lands in the frame.
    QImage glow(W, H, QImage::Format_ARGB32_Premultiplied);
    glow.fill(Qt::transparent);
    {
        QPainter painter(&glow);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(GlowRect, makeGlow(config.themeColor, int(GlowRadius)));
    }
    // The blurred cover at 0.32, as it lands in the frame.
    QImage blurred(W, H, QImage::Format_ARGB32_Premultiplied);
    blurred.fill(Qt::transparent);
    if (!config.coverImage.isNull()) {
        blurredCover = makeBlurred(config.coverImage);
        QPainter painter(&blurred);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setOpacity(0.32);
        painter.drawImage(BlurredRect, blurredCover);
    }
    base = backdrop;
    {
        QPainter painter(&base);
        painter.drawImage(0, 0, blurred);
    }
    // Over a pixel g of the backdrop, the glow (premultiplied c, alpha a) at opacity o and then the
    // blurred layer (premultiplied b, alpha β) give b + (1 − β)(g (1 − o a) + o c)
    // = [b + (1 − β) g] + o (1 − β)(c − a g): the base plus o times a fixed difference.
    glowArea = GlowRect.toAlignedRect().intersected(QRect(0, 0, W, H));
    glowDelta.assign(size_t(glowArea.width()) * glowArea.height() * 4, 0);
    size_t i = 0;
    for (int y = glowArea.top(); y <= glowArea.bottom(); ++y) {
        const QRgb *g = reinterpret_cast<const QRgb *>(backdrop.constScanLine(y)) + glowArea.left();
        const QRgb *c = reinterpret_cast<const QRgb *>(glow.constScanLine(y)) + glowArea.left();
        const QRgb *b = reinterpret_cast<const QRgb *>(blurred.constScanLine(y)) + glowArea.left();
        for (int x = 0; x < glowArea.width(); ++x, i += 4) {
            const double keep = 1 - qAlpha(b[x]) / 255.0;
            const double a = qAlpha(c[x]) / 255.0;
            // Bytes in memory order of a premultiplied pixel: blue, green, red, alpha.
            const int glowChannels[3] = {qBlue(c[x]), qGreen(c[x]), qRed(c[x])};
            const int backChannels[3] = {qBlue(g[x]), qGreen(g[x]), qRed(g[x])};
            for (int k = 0; k < 3; ++k)
                glowDelta[i + size_t(k)] = qint16(std::lround(keep * (glowChannels[k] - a * backChannels[k]) * GlowDeltaScale));
        }
    }
    if (config.coverImage.isNull())
        return;

    // Artwork larger than the card is reduced once, with area averaging, to the card's largest side.
    const int largest = int(std::ceil(740 * 1.04));
    cover = config.coverImage.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (cover.width() > largest || cover.height() > largest)
        cover = cover.scaled(std::min(cover.width(), largest), std::min(cover.height(), largest),
                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // The shadow lies under the artwork inside the card's outline, so it shows only through
    // transparent parts of the artwork: made only for such artwork, at the card's resting size.
    if (hasTransparency(cover)) {
        const QSizeF card = coverRect(0).size();
        coverShadow = softShadow(card, CardShadowBlur, QColor::fromRgbF(0, 0, 0, 0.55f),
                                 [&](QPainter &p) { p.drawImage(QRectF(QPointF(), card), cover); }, BlurReduction);
    }
}

ReadyAssets::TextLayer ReadyAssets::textLayer(Text kind, const QString &text, const QColor &color) const
{
    if (text.isEmpty())
        return {};
    const QString key = QString::number(int(kind)) + QLatin1Char(':') + color.name(QColor::HexArgb) + QLatin1Char(':') + text;
    QMutexLocker locker(&m_lock);
    const auto found = m_texts.constFind(key);
    if (found != m_texts.constEnd())
        return *found;

    const TextStyle style = textStyle(kind);
    // A margin around the text's rectangle for glyphs that reach out of it and for the shadow.
    const int margin = style.pixelSize;
    const QRectF box(margin, margin, style.rect.width(), style.rect.height());
    const QSize size = box.adjusted(-margin, -margin, margin, margin).size().toSize();
    const TextBlock block(text, AppFont::font(style.pixelSize, style.weight), box);
    TextLayer layer;
    layer.origin = style.rect.topLeft() - QPointF(margin, margin);
    layer.image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    layer.image.fill(Qt::transparent);
    QPainter painter(&layer.image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    if (style.shadow) {
        QImage shadow(size, QImage::Format_ARGB32_Premultiplied);
        shadow.fill(Qt::transparent);
        QPainter shape(&shadow);
        block.draw(shape, Qt::black);
        shape.end();
        gaussianBlur(shadow, TranslationShadowBlur / 2);
        QPainter tint(&shadow);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(shadow.rect(), QColor::fromRgbF(0, 0, 0, 0.8f));
        tint.end();
        painter.drawImage(TranslationShadowOffset, shadow);
    }
    block.draw(painter, color);
    painter.end();
    m_texts.insert(key, layer);
    return layer;
}

// ------------------------------------------------------------------ the frame

void composeBackdrop(QImage &frame, const ReadyAssets &cache, double t)
{
    if (cache.base.isNull()) {
        frame.fill(Qt::black);
        return;
    }
    for (int y = 0; y < H; ++y)
        std::memcpy(frame.scanLine(y), cache.base.constScanLine(y), size_t(W) * 4);
    const int opacity = int(std::lround(glowOpacity(t) * GlowOpacityScale));
    const int width = cache.glowArea.width() * 4;
    const qint16 *delta = cache.glowDelta.data();
    for (int y = cache.glowArea.top(); y <= cache.glowArea.bottom(); ++y, delta += width)
        addGlow(frame.scanLine(y) + cache.glowArea.left() * 4, delta, width, opacity);
}

void drawFrame(QImage &frame, const StoryConfig &config, const ReadyAssets &cache,
               const StoryVideoRenderer::Timings &timings, double t)
{
    // Backdrop, glow and blurred artwork; replaces whatever the image held.
    composeBackdrop(frame, cache, t);

    QPainter painter(&frame);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);

    // Artwork card.
    if (!cache.cover.isNull()) {
        const QRectF card = coverRect(t);
        QPainterPath outline;
        outline.addRoundedRect(card, CoverRadius, CoverRadius);
        painter.save();
        painter.setClipPath(outline);
        if (!cache.coverShadow.isNull()) {
            const double scale = card.width() / coverRect(0).width();
            const double margin = shadowMargin(CardShadowBlur) * scale;
            painter.drawImage(QRectF(card.topLeft() + CardShadowOffset - QPointF(margin, margin),
                                     card.size() + QSizeF(2 * margin, 2 * margin)),
                              cache.coverShadow);
        }
        painter.drawImage(card, cache.cover);
        painter.restore();
        painter.setPen(QPen(white(0.25), 5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(outline);
    }

    // Texts: title, artist, the current line fading in, its translation, the watermark.
    const QColor opaqueWhite = Qt::white;
    drawLayer(painter, cache.textLayer(ReadyAssets::Text::Title, config.title, opaqueWhite), 1);
    drawLayer(painter, cache.textLayer(ReadyAssets::Text::Artist, config.artist, opaqueWhite), 0.62);
    if (const auto line = StoryVideoRenderer::currentLine(timings, config, t)) {
        drawLayer(painter, cache.textLayer(ReadyAssets::Text::Line, line->text, opaqueWhite), lineAlpha(line->start, t));
        if (line->translation)
            drawLayer(painter, cache.textLayer(ReadyAssets::Text::Translation, *line->translation, config.accentColor), 1);
    }
    drawLayer(painter, cache.textLayer(ReadyAssets::Text::Watermark, QStringLiteral("ملودریفت"), opaqueWhite), 0.42);
}

} // namespace StoryFrame
