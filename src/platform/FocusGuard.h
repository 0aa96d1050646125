#pragma once

namespace lumaro {

// Under Wayland, Qt 6.4 can be left with a focus window that has already
// lost its platform window: the compositor's keyboard focus for a menu or a
// dialog arrives just after that window went away. Until the compositor
// moves the focus on, a click or a key that moves Qt's focus to another
// widget has Qt ask for the window's activation through that missing
// platform window, and the program crashes.
// A dialog that is done is hidden first and keeps its platform window a
// moment, and Qt's focus stays on it until the compositor has moved its
// keyboard focus. Keys typed into the dialog are then handed to the window
// under it, and a menu opened by them is dismissed at once as the focus
// moves: sway 1.7 then ends the connection when the menu's first configure
// is acknowledged.
// For that short moment, presses and keys are held back instead. Installed
// under Wayland only.
void guardAgainstLostFocusWindow();

// The same, whatever the window system (for tests).
void holdBackInputWhileFocusWindowIsGone();

} // namespace lumaro
