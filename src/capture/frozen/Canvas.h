#pragma once

#include <QImage>
#include <QPoint>
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

    // Where the window system itself shows the frozen screen, darkened
    // where asked, from the pixels it read (X11 with the render extension):
    // the program keeps no copy of the screen to paint on, and paints only
    // what lies over it, in pieces. image() is then the frozen screen as
    // read, not to be painted on.
    virtual bool showsFrozen() const { return false; }
    // The frozen screen in these device pixels; `dark` (a part of them)
    // under black at `alpha` of 255, as QPainter darkens an opaque pixel.
    virtual void putFrozen(const QRegion &pixels, const QRegion &dark, int alpha)
    {
        Q_UNUSED(pixels);
        Q_UNUSED(dark);
        Q_UNUSED(alpha);
    }
    // Whether all that was put is on the screen still: the window system
    // has told of no loss of it since.
    virtual bool stillShown() const { return false; }
    // A piece painted by the program (32-bit, opaque, its lines possibly
    // further apart than its width), its top left on device pixel `at`;
    // over whatever putFrozen() put there.
    virtual void putPiece(const QImage &piece, QPoint at)
    {
        Q_UNUSED(piece);
        Q_UNUSED(at);
    }
};

} // namespace lumaro::capture
