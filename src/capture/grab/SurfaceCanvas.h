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
// The memory for a canvas of `pixels`, asked for as soon as a screen's size
// is known, while the compositor copies the screen. None where Qt does not
// run on Wayland, or its Wayland client library does not give the connection
// and the windows' surfaces.
struct CanvasMemory;
std::shared_ptr<CanvasMemory> prepareCanvasMemory(QSize pixels);

// The first buffer's memory, for the compositor to copy the screen into:
// the pages it writes are the ones the first frame is painted on, made once
// instead of twice. Its file and its size; its pixels in this process.
int canvasFile(const CanvasMemory &memory);
std::size_t canvasBufferBytes(const CanvasMemory &memory);
uchar *canvasFirstBuffer(const CanvasMemory &memory);

// Where the screen is not copied into it: the first buffer's pages are made
// meanwhile on another thread.
void makeFirstBufferAhead(CanvasMemory &memory);

// None where there is no memory, or where its size is not the window's size
// times its device pixel ratio (a fractional scale, which Qt 6.4 draws at
// the next whole one).
std::unique_ptr<Canvas> makeSurfaceCanvas(QWindow *window, std::shared_ptr<CanvasMemory> memory);

} // namespace lumaro::capture
