#pragma once

namespace lumaro {

// Under Wayland, Qt 6.4 can be left with a focus window that has already
// lost its platform window: the compositor's keyboard focus for a menu or a
// dialog arrives just after that window went away. Until the compositor
// moves the focus on, a click or a key that moves Qt's focus to another
// widget has Qt ask for the window's activation through that missing
// platform window, and the program crashes. For that short moment, presses
// and keys are held back instead. Installed under Wayland only.
void guardAgainstLostFocusWindow();

// The same, whatever the window system (for tests).
void holdBackInputWhileFocusWindowIsGone();

} // namespace lumaro
