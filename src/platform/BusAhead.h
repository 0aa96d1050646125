#pragma once

#include <thread>

namespace lumaro {

// Connects to the desktop's session bus on a thread of its own while Qt
// connects to the display. Qt's accessibility support asks for that bus the
// first time a control's text is set, and waits for the connection on the
// main thread: a socket, its authentication and a first exchange with the
// bus, and, where no bus is known (a bare X server), libdbus starting
// dbus-launch to look for one. Qt keeps the connection once made, so the
// main thread then finds it ready.
//
// Made on the thread that goes on to make the QApplication, before it, and
// after the heap is set up; the thread ends on its own, and is waited for as
// this goes out of scope.
class BusAhead
{
public:
    BusAhead();
    ~BusAhead();
    BusAhead(const BusAhead &) = delete;
    BusAhead &operator=(const BusAhead &) = delete;

private:
    std::thread m_connector;
};

} // namespace lumaro
