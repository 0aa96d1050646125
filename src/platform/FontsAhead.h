#pragma once

#include <thread>

namespace lumaro {

// Reads the system's font configuration on a thread of its own while Qt
// connects to the display, so that the first caption measured does not wait
// for it. On Linux that is fontconfig's set-up (its configuration files and
// font caches), some 6 ms that every start would otherwise pay on the main
// thread; elsewhere there is nothing to read ahead.
//
// Made before QApplication; finish() once the application is set up, before
// the first font is asked for, so that the set-up is done exactly once.
class FontsAhead
{
public:
    FontsAhead();
    ~FontsAhead();
    FontsAhead(const FontsAhead &) = delete;
    FontsAhead &operator=(const FontsAhead &) = delete;

    void finish();

private:
    std::thread m_reader;
};

} // namespace lumaro
