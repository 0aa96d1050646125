#pragma once

#include "GrabBackend.h"

#include <memory>
#include <vector>

namespace lumaro::capture {

struct CanvasMemory;

// Reads each screen straight from a wlroots compositor (sway, Hyprland,
// river, labwc) through its screen copy protocol into shared memory, as grim
// does: no file, no dialog, no picture encoded and decoded on the way. Used on
// Wayland, and under XWayland inside such a desktop, where the compositor
// offers the protocol; elsewhere the desktop portal reads the screen.
class ScreencopyGrab final : public GrabBackend
{
public:
    // Connects to the compositor of this session (WAYLAND_DISPLAY).
    ScreencopyGrab();
    ~ScreencopyGrab() override;
    // The compositor answered and offers screen copies and shared memory.
    bool usable() const;

    GrabResult grab(const QList<QScreen *> &screens) override;
    // Under Qt's Wayland platform, the selector's windows paint on a buffer
    // of their own, given to their surfaces straight (see SurfaceCanvas).
    std::unique_ptr<Canvas> canvas(QWindow *window, int screen) override;

    struct Wayland; // the connection and what it has bound

private:
    std::unique_ptr<Wayland> m_wl;
    // Each screen's memory for the selector's canvas (see SurfaceCanvas).
    std::vector<std::shared_ptr<CanvasMemory>> m_canvases;
};

} // namespace lumaro::capture
