#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>

#include <algorithm>
#include <vector>

class QScreen;
class QWindow;

namespace lumaro::capture {

// One screen as it was when the capture began.
struct FrozenScreen
{
    QScreen *screen = nullptr;
    QRect geometry; // logical, as QScreen::geometry() gives it
    QImage image;   // the screen's pixels; device pixels on X11
    QSize pixels;   // the picture's size, known before the picture itself (see GrabBackend::fetch)
    // Where the picture's pixels lie in the window system's own pixels,
    // where it has such a grid (X11, Windows); empty elsewhere (see Desktop).
    QRect native = {};
    // Where `native` is given: how many of those pixels Qt takes for one of
    // its own here (QScreen::devicePixelRatio). The logical size is rounded
    // (1280 pixels at 150 % are 853 logical), so it is not to be had from it.
    qreal ratio = 0;

    QSize size() const { return image.isNull() ? pixels : image.size(); }
    // Device pixels per logical pixel. A compositor may give a fractional
    // logical size rounded down (1366x768 at 1.5 is 910.67 x 512, given as
    // 910 x 512): the side that lost a fraction has the larger ratio, the
    // other side's is the scale, and the picture's last column or row then
    // lies past the logical size times the scale.
    qreal scale() const
    {
        const QSize s = size();
        if (geometry.isEmpty() || s.isEmpty())
            return 1.0;
        return std::min(qreal(s.width()) / geometry.width(), qreal(s.height()) / geometry.height());
    }
};

struct GrabResult
{
    std::vector<FrozenScreen> screens;
    QString error;          // why nothing was grabbed, in Chinese
    bool cancelled = false; // the person gave up waiting
};

// A top-level window on the screen, for taking it whole with one click.
struct WindowOnScreen
{
    QRectF rect;           // logical, frame included
    QWindow *own = nullptr; // the window of this program it is, if any
    // How far the program's own idea of where its window is (mapToGlobal) is
    // off: on Wayland no client knows where its windows are.
    QPointF ownOffset;
};

} // namespace lumaro::capture
