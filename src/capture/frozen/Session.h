#pragma once

namespace lumaro::capture {

// Which kind of desktop session the program runs in, as far as capturing
// cares.
enum class Session {
    Wayland,  // Qt speaks Wayland: no client knows where its windows are
    XWayland, // Qt speaks X11 to XWayland: the X server sees only X windows
    X11,      // a plain X server
    Other,    // Windows, macOS, offscreen
};
Session session();

inline bool onWayland() { return session() == Session::Wayland; }

} // namespace lumaro::capture
