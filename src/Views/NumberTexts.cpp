#include "NumberTexts.h"

using namespace Qt::Literals::StringLiterals;

namespace NumberTexts {

QString duration(std::optional<qint64> seconds)
{
    if (!seconds || *seconds < 1)
        return {};
    return u"%1:%2"_s.arg(*seconds / 60).arg(*seconds % 60, 2, 10, QLatin1Char('0'));
}

QString trackCount(qint64 count)
{
    return u"%1 آهنگ"_s.arg(count);
}

} // namespace NumberTexts
