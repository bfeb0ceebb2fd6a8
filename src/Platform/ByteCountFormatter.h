#pragma once

#include <QString>
#include <QtGlobal>

// Human-readable byte counts in the file style: decimal units (1 KB = 1000 bytes), as file
// managers show sizes. "Zero KB", "1 byte", "532 bytes", "12 KB", "4.2 MB", "1.25 GB".
namespace ByteCountFormatter {

QString fileStyle(qint64 bytes);

} // namespace ByteCountFormatter
