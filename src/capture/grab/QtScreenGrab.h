#pragma once

#include "GrabBackend.h"
#include "PointerTrail.h"

#include <QAbstractNativeEventFilter>

namespace lumaro::capture {

// Qt's own reading of each screen, where the system lets every program read
// the screen (Windows, macOS): each screen on its own, in its own pixels.
// On Windows the pointer's place comes from the system's messages too, in
// the screen's own pixels (see PointerTrail).
class QtScreenGrab final : public GrabBackend, private QAbstractNativeEventFilter
{
public:
    GrabResult grab(const QList<QScreen *> &screens) override;
    std::optional<QPoint> pointerPixel(QPointF at) override;
    bool movePointer(QPoint pixel) override;
    std::vector<WindowOnScreen> windows(const QList<QWindow *> &own, const QList<WId> &skip) override;

private:
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *result) override;

    PointerTrail m_trail;
};

} // namespace lumaro::capture
