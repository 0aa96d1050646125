#pragma once

namespace lumaro {

// Once a dialog or the selector has closed, hands back to the system the
// memory it used: glibc keeps freed pages for the next allocation, and
// Qt's pixmap cache keeps the file dialog's icons, so without this a long
// session's memory only ever grows. Done a moment later, when the program
// is idle, and once for a burst of closes.
void releaseMemoryLater();

} // namespace lumaro
