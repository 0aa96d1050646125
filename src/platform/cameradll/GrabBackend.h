#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QWindow>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

class QScreen;
class QWidget;

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
    QWidget *own = nullptr; // the window of this program it is, if any
    // How far the program's own idea of where its window is (mapToGlobal) is
    // off: on Wayland no client knows where its windows are.
    QPointF ownOffset;
};

// A way to read the screens' pixels, chosen at run time for the desktop the
// program runs on.
class GrabBackend
{
public:
    virtual ~GrabBackend() = default;
    virtual GrabResult grab(const QList<QScreen *> &screens) = 0;
    // Called for each selector window once it exists and before it shows,
    // so that a backend can give it the frozen screen as its first picture.
    virtual void prepareOverlay(QWindow *window, int screen)
    {
        Q_UNUSED(window);
        Q_UNUSED(screen);
    }
    // A backend may leave the pictures out of grab() to show the selector
    // sooner; it brings them here, once the selector windows are on screen.
    virtual QImage fetch(int screen, QString *error)
    {
        Q_UNUSED(screen);
        *error = QString();
        return {};
    }
    // The pixel under the pointer, in the window system's own pixels (see
    // FrozenScreen::native), for the pointer event Qt delivers now at the
    // logical place `at`; empty where that is not known (see PointerTrail).
    virtual std::optional<QPoint> pointerPixel(QPointF at)
    {
        Q_UNUSED(at);
        return std::nullopt;
    }
    // Puts the pointer on a pixel of the window system's own; false where
    // the window system does not let a program do that.
    virtual bool movePointer(QPoint pixel)
    {
        Q_UNUSED(pixel);
        return false;
    }
    // Top-level windows topmost first, as far as the desktop tells; `skip`
    // (the selector's own windows) left out.
    virtual std::vector<WindowOnScreen> windows(const QList<QWidget *> &own, const QList<WId> &skip)
    {
        Q_UNUSED(own);
        Q_UNUSED(skip);
        return {};
    }
};

// The backend for this desktop; never null.
std::unique_ptr<GrabBackend> makeGrabBackend();

} // namespace lumaro::capture
