#include "Platform/Console.h"

#include <cstdio>
#include <mutex>

namespace Console {

void line(const QString &text)
{
    static std::mutex mutex;
    const QByteArray utf8 = text.toUtf8();
    std::lock_guard lock(mutex);
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace Console
