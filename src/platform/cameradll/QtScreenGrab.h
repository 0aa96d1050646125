#pragma once

#include "GrabBackend.h"

namespace lumaro::capture {

// Qt's own reading of each screen, where the system lets every program read
// the screen (Windows, macOS): each screen on its own, in its own pixels.
class QtScreenGrab final : public GrabBackend
{
public:
    GrabResult grab(const QList<QScreen *> &screens) override;
};

} // namespace lumaro::capture
