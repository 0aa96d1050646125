#pragma once

#include "Canvas.h"

#include <QSize>
#include <QWindow>

#include <memory>

namespace lumaro::capture {

// A canvas for a window of this program under Wayland: shared memory of its
// own, given to the window's surface as a buffer on Qt's own connection to
// the compositor. Made ready while the window is made and shown, so that the
// first frame is painted straight into memory the compositor reads, with no
// buffer of Qt's made, cleared and painted first. Later frames go to a second
// buffer while the compositor still holds the first.
//
// None where Qt does not run on Wayland, where its Wayland client library
// does not give the connection and the window's surface, or where `pixels`
// is not the window's size times its device pixel ratio (a fractional scale,
// which Qt 6.4 draws at the next whole one).
std::unique_ptr<Canvas> makeSurfaceCanvas(QWindow *window, QSize pixels);

} // namespace lumaro::capture
