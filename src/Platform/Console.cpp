#include "Platform/Console.h"

#include <cstdio>
#include <mutex>

namespace Console {

QString safeText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n') {
            out += QLatin1StringView("\\n");
        } else if (u == u'\r') {
            out += QLatin1StringView("\\r");
        } else if (u == u'\t') {
            out += QLatin1StringView("\\t");
        } else if (u < 0x20 || u == 0x7f) {
            out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        } else if ((u >= 0x80 && u <= 0x9f) || u == 0x2028 || u == 0x2029) {
            out += QStringLiteral("\\u{%1}").arg(int(u), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

void line(const QString &text)
{
    static std::mutex mutex;
    // One write for the text and its end, so that output of other threads that do not come
    // through here cannot land in the middle of the line.
    const QByteArray utf8 = safeText(text).toUtf8() + '\n';
    std::lock_guard lock(mutex);
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fflush(stdout);
}

} // namespace Console
