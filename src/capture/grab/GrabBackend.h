#pragma once

#include "Canvas.h"
#include "FrozenScreen.h"

#include <QList>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lumaro::capture {

// A way to read the screens' pixels, chosen at run time for the desktop the
// program runs on.
class GrabBackend
{
public:
    virtual ~GrabBackend() = default;
    virtual GrabResult grab(const QList<QScreen *> &screens) = 0;
    // Called once the selector's windows exist, right before they show. A
    // backend whose reading of the screens is only asked for and answered
    // later asks for it here at the latest, so that the windows are made
    // while nothing waits for the answer, and the pictures are still of
    // the screens without them.
    virtual void readScreens() {}
    // Where the backend can put a selector window's pixels on the screen
    // itself, a canvas for `window` on `screen` (valid while the backend
    // lives); else none, and the window paints as any other.
    virtual std::unique_ptr<Canvas> canvas(QWindow *window, int screen)
    {
        Q_UNUSED(window);
        Q_UNUSED(screen);
        return nullptr;
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
    // (the selector's own windows) left out. Where the desktop tells nothing
    // (Wayland), none: this program's own windows are then looked for in the
    // frozen pictures, the same way for every backend (library/FindPicture).
    virtual std::vector<WindowOnScreen> windows(const QList<QWindow *> &own, const QList<WId> &skip)
    {
        Q_UNUSED(own);
        Q_UNUSED(skip);
        return {};
    }
};

// Shown while the desktop portal keeps the capture waiting: something on the
// screen that says so and calls `giveUp` when the person gives up; it goes
// when the returned object is destroyed. The library gives a dialog (the
// backends have no widgets); without one the wait goes on unseen.
using WaitNotice = std::function<std::unique_ptr<QObject>(std::function<void()> giveUp)>;

// The backend for this desktop; never null.
std::unique_ptr<GrabBackend> makeGrabBackend(WaitNotice notice = {});

} // namespace lumaro::capture
