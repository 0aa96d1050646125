// The capture library: freezes every screen, lets the person select a region
// over the still picture and puts the selected pixels on the clipboard.
//
//   int CameraSubArea(void)           1 accepted, 0 cancelled, -1 failed
//   const char *CameraLastError(void) why the last call failed (UTF-8)

#include "Elements.h"
#include "GrabBackend.h"
#include "Log.h"
#include "SelectionOverlay.h"
#include "Selector.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QWidget>
#include <QWindow>

#include <optional>

using namespace Qt::StringLiterals;
using namespace lumaro::capture;

namespace {

QByteArray g_lastError;
// The rectangle of the last accepted capture of this run, for R.
std::optional<QRectF> g_lastRegion;

int fail(const QString &why)
{
    g_lastError = why.toUtf8();
    return -1;
}

QRectF globalRect(const QWidget *w, QPointF offset)
{
    return QRectF(QPointF(w->mapToGlobal(QPoint(0, 0))) + offset, QSizeF(w->size()));
}

// A widget's visible children that a click would reach, front first, as
// elements inside `parent`.
void addChildren(Elements &elements, const Desktop &desktop, const QWidget *widget, int parent, QPointF offset)
{
    const QObjectList &children = widget->children();
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        const auto *child = qobject_cast<const QWidget *>(*it);
        if (!child || child->isWindow() || !child->isVisible() || child->size().isEmpty()
            || child->testAttribute(Qt::WA_TransparentForMouseEvents))
            continue;
        addChildren(elements, desktop, child, elements.add(desktop.fromLogical(globalRect(child, offset)), parent),
                    offset);
    }
}

// This program's own window as elements: the window with its frame, the
// area inside the frame, then every panel and control.
void addOwnWindow(Elements &elements, const Desktop &desktop, const QWidget *window, const QRectF &frame,
                  QPointF offset)
{
    const int outer = elements.add(desktop.fromLogical(frame));
    const QRect inner = desktop.fromLogical(globalRect(window, offset));
    addChildren(elements, desktop, window, inner == desktop.fromLogical(frame) ? outer : elements.add(inner, outer),
                offset);
}

Scene findScene(GrabBackend &backend, const Desktop &desktop, const QList<WId> &overlays)
{
    QList<QWidget *> own;
    QWidget *active = QApplication::activeWindow();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || qobject_cast<SelectionOverlay *>(w) || !w->windowHandle())
            continue;
        // Without stacking order from the desktop, the active window counts as the front one.
        w == active ? own.prepend(w) : own.append(w);
    }

    Scene scene;
    const std::vector<WindowOnScreen> windows = backend.windows(own, overlays);
    // Where the program's windows are: where Qt says, except on Wayland,
    // where only those found in the screens' pictures are known.
    const bool wayland = QGuiApplication::platformName().startsWith(u"wayland");
    if (!wayland)
        for (QWidget *w : std::as_const(own))
            scene.ownWindows.push_back({ QRectF(w->frameGeometry()), w, {} });
    if (windows.empty()) {
        // On Wayland a window not found in the pictures is nowhere known:
        // Qt puts it at the screen's corner, and elements there would take
        // the bare desktop for a window (at 150 %, where the window is drawn
        // at 2 and the compositor shrinks it, it is never found).
        if (!wayland)
            for (QWidget *w : std::as_const(own))
                addOwnWindow(scene.elements, desktop, w, QRectF(w->frameGeometry()), {});
        return scene;
    }
    for (const WindowOnScreen &w : windows) {
        if (w.own) {
            addOwnWindow(scene.elements, desktop, w.own, w.rect, w.ownOffset);
            if (wayland)
                scene.ownWindows.push_back(w);
        } else {
            scene.elements.add(desktop.fromLogical(w.rect));
        }
    }
    return scene;
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
    // While a capture waits for the desktop, a second one is not started.
    static bool running = false;
    if (running)
        return 0;
    running = true;
    struct Done
    {
        ~Done() { running = false; }
    } done;

    // Let pending repaints (the button just released) reach the screen first.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    QElapsedTimer timer;
    timer.start();
    const std::unique_ptr<GrabBackend> backend = makeGrabBackend();
    GrabResult grabbed = backend->grab(QGuiApplication::screens());
    qCDebug(lcCapture, "grab: %lld ms", timer.elapsed());
    if (grabbed.cancelled)
        return 0;
    if (!grabbed.error.isEmpty())
        return fail(grabbed.error);
    if (grabbed.screens.empty())
        return fail(u"没有可截取的屏幕。"_s);

    Selector selector(std::move(grabbed.screens));
    selector.setLastRegion(g_lastRegion);
    selector.setElementSource([&backend](const Desktop &desktop, const QList<WId> &overlays) {
        return findScene(*backend, desktop, overlays);
    });
    selector.setOverlayPreparer([&backend](QWindow *window, int screen) { backend->prepareOverlay(window, screen); });
    selector.setPointerPixels([&backend](QPointF at) { return backend->pointerPixel(at); },
                              [&backend](QPoint pixel) { return backend->movePointer(pixel); });
    selector.show();
    // The selector is on screen; the pictures it needs now follow.
    for (int i = 0; i < selector.screenCount(); ++i) {
        if (!selector.screen(i).image.isNull())
            continue;
        QString error;
        QImage picture = backend->fetch(i, &error);
        if (picture.isNull()) {
            selector.hide();
            return fail(error.isEmpty() ? u"无法读取屏幕的内容。"_s : error);
        }
        selector.setPicture(i, std::move(picture));
    }
    if (selector.exec() != Selector::Outcome::Accepted)
        return 0;
    const QImage image = selector.selectedImage();
    if (image.isNull())
        return fail(u"截图区域为空。"_s);
    g_lastRegion = selector.selectedLogical();
    QGuiApplication::clipboard()->setImage(image);
    return 1;
}
