#include "Platform/Console.h"

#include <cstdio>
#include <mutex>

namespace Console {

void line(const QString &text)
{
    static std::mutex mutex;
    // One write for the text and its end, so that output of other threads that do not come
    // through here cannot land in the middle of the line.
    const QByteArray utf8 = text.toUtf8() + '\n';
    std::lock_guard lock(mutex);
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fflush(stdout);
}

} // namespace Console
