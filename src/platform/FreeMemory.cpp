#include "platform/FreeMemory.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QPixmapCache>
#include <QTimer>
#include <QVersionNumber>

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

void ClipboardDataFreer::changed(QClipboard::Mode mode, QMimeData *ours)
{
    if (mode != QClipboard::Clipboard && mode != QClipboard::Selection)
        return;
    QPointer<QMimeData> &held = m_held[mode == QClipboard::Clipboard ? 0 : 1];
    const QPointer<QMimeData> &other = m_held[mode == QClipboard::Clipboard ? 1 : 0];
    if (held && held != ours && held != other)
        delete held.data();
    held = ours;
}

void freeReplacedClipboardData()
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))
        || QVersionNumber::fromString(QString::fromLatin1(qVersion())) >= QVersionNumber(6, 5))
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    QObject::connect(clipboard, &QClipboard::changed, clipboard,
                     [clipboard, freer = ClipboardDataFreer()](QClipboard::Mode mode) mutable {
                         const bool held = mode == QClipboard::Clipboard ? clipboard->ownsClipboard()
                                                                         : clipboard->ownsSelection();
                         // While the program holds it, the data is the one it gave.
                         freer.changed(mode, held ? const_cast<QMimeData *>(clipboard->mimeData(mode)) : nullptr);
                     });
}

} // namespace lumaro
