#include "platform/FreeMemory.h"

#include <QCoreApplication>
#include <QPixmapCache>
#include <QTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace lumaro {

void releaseMemoryLater()
{
    static QTimer *timer = nullptr;
    if (!timer) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        timer->setInterval(500);
        QObject::connect(timer, &QTimer::timeout, [] {
#if defined(__GLIBC__)
            malloc_trim(0);
#endif
        });
    }
    timer->start();
}

void keepOneHeap()
{
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
#endif
}

void keepPixmapCacheEmpty()
{
    // A pixmap that costs more than the limit is not taken in, and its name
    // with it; every pixmap costs at least 1 KiB.
    QPixmapCache::setCacheLimit(0);
}

} // namespace lumaro
