// Which way to read the screen, on Linux and other X11/Wayland systems.

#include "NullGrab.h"
#include "PortalGrab.h"
#include "X11Grab.h"

#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

std::unique_ptr<GrabBackend> makeGrabBackend()
{
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(u"wayland"))
        return std::make_unique<PortalGrab>();
    if (platform == u"xcb") {
        // Under XWayland the X server holds only the X windows: an X11 grab
        // there gives black or partial pictures. Only the portal sees the
        // whole desktop.
        if (qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            return std::make_unique<PortalGrab>();
        return std::make_unique<X11Grab>();
    }
    return std::make_unique<NullGrab>(u"在这个显示平台（%1）上无法截取屏幕。"_s.arg(platform));
}

} // namespace lumaro::capture
