#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// The numbers the screens show in words: a track's length and a count of tracks.
namespace NumberTexts {

// "%d:%02d" of whole seconds; empty below one second or when absent.
QString duration(std::optional<qint64> seconds);
// "%lld آهنگ".
QString trackCount(qint64 count);

} // namespace NumberTexts
