// The capture library: freezes every screen, lets the user drag a rectangle
// over the still image and puts the selected pixels on the clipboard.
//
//   int CameraSubArea(void)          1 accepted, 0 cancelled, -1 failed
//   const char *CameraLastError(void) why the last call failed (UTF-8)

#include "SelectionOverlay.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QScreen>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QByteArray g_lastError;

int fail(const QString &why)
{
    g_lastError = why.toUtf8();
    return -1;
}

} // namespace

extern "C" Q_DECL_EXPORT const char *CameraLastError()
{
    return g_lastError.constData();
}

extern "C" Q_DECL_EXPORT int CameraSubArea()
{
    g_lastError.clear();
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return fail(u"截图组件只能在图形界面程序中使用。"_s);
    if (QGuiApplication::platformName().startsWith(u"wayland"_s))
        return fail(u"当前是 Wayland 会话，程序无法直接读取屏幕内容。请在 X11 会话中使用截图功能。"_s);

    // Let pending repaints (the button just released) reach the screen first.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    std::vector<std::unique_ptr<SelectionOverlay>> overlays;
    for (QScreen *screen : QGuiApplication::screens()) {
        // Each screen on its own, in that screen's own coordinates.
        const QPixmap frozen = screen->grabWindow(0);
        if (frozen.isNull() || frozen.width() <= 0)
            return fail(u"无法读取屏幕内容。"_s);
        overlays.push_back(std::make_unique<SelectionOverlay>(frozen, screen->geometry()));
    }
    if (overlays.empty())
        return fail(u"没有可截取的屏幕。"_s);

    QEventLoop loop;
    SelectionOverlay *done = nullptr;
    // Keys belong to the selector until it is done: to the screen where the
    // user last started a selection, the first screen before that.
    SelectionOverlay *keys = overlays.front().get();
    auto takeKeys = [&keys](SelectionOverlay *o) {
        keys->releaseKeyboard();
        keys = o;
        o->activateWindow();
        o->setFocus();
        o->grabKeyboard();
    };
    for (auto &o : overlays) {
        QObject::connect(o.get(), &SelectionOverlay::finished, &loop, [&](SelectionOverlay *which) {
            done = which;
            loop.quit();
        });
        QObject::connect(o.get(), &SelectionOverlay::selectionStarted, &loop, [&](SelectionOverlay *which) {
            for (auto &other : overlays)
                if (other.get() != which)
                    other->clearSelection();
            if (which != keys)
                takeKeys(which);
        });
        o->show();
    }
    takeKeys(keys);
    loop.exec();
    keys->releaseKeyboard();
    for (auto &o : overlays)
        o->hide();

    if (!done || done->outcome() != SelectionOverlay::Outcome::Accepted)
        return 0;
    const QImage image = done->selectedImage();
    if (image.isNull())
        return fail(u"截图区域为空。"_s);
    QGuiApplication::clipboard()->setImage(image);
    return 1;
}
