#pragma once

#include <QClipboard>
#include <QPointer>

class QMimeData;

namespace lumaro {

// Once a dialog or the selector has closed, hands back to the system the
// memory it used: glibc keeps freed pages for the next allocation, so
// without this a long session's memory only ever grows. Done a moment
// later, when the program is idle, and once for a burst of closes.
void releaseMemoryLater();

// Has every thread allocate from the one heap the main thread uses. glibc
// gives threads that allocate at the same time heaps of their own (the file
// dialog's thread that reads file details, the X event reader, the picture
// decoders), and each such heap keeps its freed pages among those still in
// use: over 1,000,000 random events that came to some 4 MiB. Called
// before the program starts any thread.
void keepOneHeap();

// Keeps Qt's pixmap cache empty, for the program's whole run. Qt 6.4
// forgets the name under which a pixmap was cached only when that name is
// looked up again, and the names it makes for icons (the file dialog's,
// the buttons' disabled look) are new for every pixmap: each entry that was
// dropped, to keep the cache to its size or by a clear, left its name
// behind, about 200 bytes that were never freed. Nothing is cached now, so
// nothing is left: what the cache saved was redrawing small pictures.
// Called once the application exists.
void keepPixmapCacheEmpty();

// Under Wayland, Qt before 6.5 never deletes the data it is given for the
// clipboard or the selection: every copy from a text box, every stretch of
// selected text and every capture stayed in memory for the program's whole
// run. Here the data of each is deleted once that clipboard holds other
// data, the program's or another program's; the source that offered it is
// gone by then. Elsewhere, and from Qt 6.5, Qt deletes it itself and this
// does nothing. Called once the application exists.
void freeReplacedClipboardData();

// What it keeps of each clipboard: told what data the program now holds
// there (null where another program does, or nobody), it deletes the data
// it held last where that is no longer held there (nor by the other
// clipboard).
class ClipboardDataFreer
{
public:
    void changed(QClipboard::Mode mode, QMimeData *ours);

private:
    QPointer<QMimeData> m_held[2];
};

} // namespace lumaro
