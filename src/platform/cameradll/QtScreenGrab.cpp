#include "QtScreenGrab.h"

#include <QGuiApplication>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

GrabResult QtScreenGrab::grab(const QList<QScreen *> &screens)
{
    GrabResult result;
    const bool windows = QGuiApplication::platformName() == u"windows";
    for (QScreen *screen : screens) {
        // Coordinates are the screen's own: grabbing with desktop coordinates
        // shifts every screen but the first.
        QImage image = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        if (image.isNull()) {
            result.screens.clear();
            result.error = u"无法读取屏幕“%1”的内容。"_s.arg(screen->name());
            return result;
        }
        image.setDevicePixelRatio(1.0);
        const QSize pixels = image.size();
        // On Windows the screens lie in the system's own pixels, and Qt keeps
        // each screen's corner there while it divides its size by the scale.
        const QRect native = windows ? QRect(screen->geometry().topLeft(), pixels) : QRect();
        result.screens.push_back({ screen, screen->geometry(), std::move(image), pixels, native });
    }
    return result;
}

} // namespace lumaro::capture
