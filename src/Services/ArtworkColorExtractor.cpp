#include "Services/ArtworkColorExtractor.h"

#include <algorithm>
#include <cmath>

namespace ArtworkColorExtractor {

std::optional<QColor> averageColor(const QImage &image)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return std::nullopt;
    const QImage pixels = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (pixels.isNull())
        return std::nullopt;
    quint64 red = 0, green = 0, blue = 0;
    for (int y = 0; y < pixels.height(); ++y) {
        const uchar *line = pixels.constScanLine(y);
        for (int x = 0; x < pixels.width(); ++x) {
            red += line[4 * x];
            green += line[4 * x + 1];
            blue += line[4 * x + 2];
        }
    }
    const double count = double(pixels.width()) * double(pixels.height());
    // One pixel read back as 8-bit RGBA, like the platform's reduction to one pixel.
    const auto channel = [count](quint64 sum) { return std::clamp(int(std::lround(double(sum) / count)), 0, 255); };
    return QColor(channel(red), channel(green), channel(blue), 255);
}

std::optional<QColor> vibrantColor(const QImage &image)
{
    const std::optional<QColor> average = averageColor(image);
    if (!average)
        return std::nullopt;
    float hue = 0, saturation = 0, brightness = 0;
    average->getHsvF(&hue, &saturation, &brightness);
    if (hue < 0) // achromatic
        hue = 0;
    return QColor::fromHsvF(hue, std::min(saturation * 1.25f, 0.85f), std::min(brightness * 1.08f, 0.95f), 1.0f);
}

} // namespace ArtworkColorExtractor
