#include "QtScreenGrab.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace lumaro::capture {

GrabResult QtScreenGrab::grab(const QList<QScreen *> &screens)
{
    GrabResult result;
    const bool windows = QGuiApplication::platformName() == u"windows";
    m_trail.clearScreens();
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
        m_trail.addScreen(native, screen->geometry(), screen->devicePixelRatio());
        result.screens.push_back({ screen, screen->geometry(), std::move(image), pixels, native, screen->devicePixelRatio() });
    }
    if (windows)
        qGuiApp->installNativeEventFilter(this);
    return result;
}

std::optional<QPoint> QtScreenGrab::pointerPixel(QPointF at)
{
    return m_trail.take(at);
}

bool QtScreenGrab::nativeEventFilter(const QByteArray &type, void *message, qintptr *result)
{
    Q_UNUSED(result);
#ifdef Q_OS_WIN
    if (type != "windows_generic_MSG")
        return false;
    // Every pointer message carries where the pointer was, in the screen's
    // own pixels (the program is aware of each screen's scale).
    const auto *msg = static_cast<const MSG *>(message);
    if (msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST && msg->message != WM_MOUSEWHEEL
        && msg->message != WM_MOUSEHWHEEL)
        m_trail.record(QPoint(msg->pt.x, msg->pt.y));
#else
    Q_UNUSED(type);
    Q_UNUSED(message);
#endif
    return false;
}

std::vector<WindowOnScreen> QtScreenGrab::windows(const QList<QWindow *> &own, const QList<WId> &skip)
{
    Q_UNUSED(skip);
    std::vector<WindowOnScreen> found;
#ifdef Q_OS_WIN
    // This program's windows where the system has them: Qt keeps their
    // places in whole logical pixels, at 150 % up to a third of one off.
    for (QWindow *w : own) {
        const auto window = reinterpret_cast<HWND>(w->winId());
        RECT frame;
        POINT client{ 0, 0 };
        if (!GetWindowRect(window, &frame) || !ClientToScreen(window, &client))
            continue;
        const QPointF corner = m_trail.toLogical(QPointF(frame.left, frame.top));
        const QPointF end = m_trail.toLogical(QPointF(frame.right, frame.bottom));
        const QPointF offset = m_trail.toLogical(QPointF(client.x, client.y)) - QPointF(w->mapToGlobal(QPoint(0, 0)));
        found.push_back({ QRectF(corner, end), w, offset });
    }
#else
    Q_UNUSED(own);
#endif
    return found;
}

bool QtScreenGrab::movePointer(QPoint pixel)
{
#ifdef Q_OS_WIN
    return SetCursorPos(pixel.x(), pixel.y()) != 0;
#else
    Q_UNUSED(pixel);
    return false;
#endif
}

} // namespace lumaro::capture
