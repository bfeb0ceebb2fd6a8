#include "Platform/Memory.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>

// Brings in the C library's own macros (__GLIBC__) before they are tested.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace Memory {

void releaseFreedHeap()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

void releaseFreedHeapSoon()
{
    constexpr int GatherMs = 1000;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        releaseFreedHeap();
        return;
    }
    static QTimer *timer = nullptr;
    if (!timer) {
        timer = new QTimer(app);
        timer->setSingleShot(true);
        timer->setInterval(GatherMs);
        QObject::connect(timer, &QTimer::timeout, app, [] { QThreadPool::globalInstance()->start(&releaseFreedHeap); });
        QObject::connect(app, &QObject::destroyed, [] { timer = nullptr; });
    }
    timer->start();
}

} // namespace Memory
