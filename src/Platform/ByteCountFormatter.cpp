#include "Platform/ByteCountFormatter.h"

#include <QLocale>

#include <array>
#include <cmath>

namespace ByteCountFormatter {

namespace {

// The number with at most `decimals` fraction digits, trailing zeros dropped.
QString trimmed(double value, int decimals)
{
    QString text = QLocale::c().toString(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

} // namespace

QString fileStyle(qint64 bytes)
{
    if (bytes == 0)
        return QStringLiteral("Zero KB");
    const bool negative = bytes < 0;
    const double magnitude = std::abs(double(bytes));
    const QString sign = negative ? QStringLiteral("-") : QString();
    if (magnitude < 1000)
        return sign + QString::number(qint64(magnitude)) + (magnitude == 1 ? QStringLiteral(" byte") : QStringLiteral(" bytes"));

    // KB without a fraction, MB with one digit, larger units with two.
    static const std::array<const char *, 5> units{"KB", "MB", "GB", "TB", "PB"};
    double value = magnitude / 1000;
    std::size_t unit = 0;
    while (unit + 1 < units.size() && std::round(value * 100) / 100 >= 1000) {
        value /= 1000;
        ++unit;
    }
    const int decimals = unit == 0 ? 0 : (unit == 1 ? 1 : 2);
    QString number = trimmed(value, decimals);
    // Rounding may carry into the next unit ("999.96 MB" reads "1000 MB" otherwise).
    if (number == QLatin1String("1000") && unit + 1 < units.size()) {
        ++unit;
        number = QStringLiteral("1");
    }
    return sign + number + QLatin1Char(' ') + QLatin1String(units[unit]);
}

} // namespace ByteCountFormatter
