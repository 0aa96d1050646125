#pragma once

#include <QImage>
#include <QRegion>

namespace lumaro::capture {

// A window's pixels, kept by the program and put on the screen by the
// backend, for a window system where that is quicker than a toolkit buffer:
// on X11 the canvas is the shared memory the screen was read into, which the
// server has already touched, so the first full-screen frame goes out as
// fast as the screen came in.
class Canvas
{
public:
    virtual ~Canvas() = default;
    // The pixels, in device pixels, with the screen's device pixel ratio.
    // Painting may begin only once the last put() has been read.
    virtual QImage &image() = 0;
    // Puts these device pixels of the image onto the window.
    virtual void put(const QRegion &pixels) = 0;
};

} // namespace lumaro::capture
