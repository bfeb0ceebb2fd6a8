#pragma once

#include <QColor>
#include <QImage>

#include <optional>

// One colour from a track's artwork: the plain mean colour of the whole picture, and that colour
// made somewhat more saturated and brighter (within caps) for use as a theme colour on the dark
// interface. Pure functions; safe on any thread; nothing is cached.
namespace ArtworkColorExtractor {

// The mean of all pixels, as the platform's area average gives it: colour channels are averaged
// premultiplied by alpha (transparent pixels count as black), the alpha is dropped (result alpha 1).
// None for a null or empty image.
std::optional<QColor> averageColor(const QImage &image);

// The average colour with saturation min(s × 1.25, 0.85) and brightness min(b × 1.08, 0.95),
// keeping its hue (0 for greys) and alpha 1. None exactly when averageColor is none.
std::optional<QColor> vibrantColor(const QImage &image);

} // namespace ArtworkColorExtractor
