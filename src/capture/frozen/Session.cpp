#include "Session.h"

#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

Session session()
{
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(u"wayland"))
        return Session::Wayland;
    if (platform == u"xcb")
        return qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                   ? Session::XWayland
                   : Session::X11;
    return Session::Other;
}

} // namespace lumaro::capture
