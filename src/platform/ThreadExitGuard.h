#pragma once

namespace lumaro {

// On Windows, a thread that ran a regular expression can crash as it ends.
// Qt keeps a thread-local stack for its regular expressions' compiled (JIT)
// code, and with MinGW's thread-local storage that stack's destructor now
// and then finds garbage in its place as the thread ends. Qt runs
// regular expressions of its own, e.g. to find its plugins by name, so any
// thread that is the first to load a picture reader is one. Matching
// without the JIT never touches that stack. Does nothing elsewhere.
//
// Called before QApplication, before any regular expression is made.
void guardThreadExit();

} // namespace lumaro
