// The capture library: freezes every screen, lets the person select a region
// over the still picture and puts the selected pixels on the clipboard.
//
//   int CameraSubArea(void)           1 accepted, 0 cancelled, -1 failed
//   const char *CameraLastError(void) why the last call failed (UTF-8)

#include "Clipboard.h"
#include "FindPicture.h"
#include "GrabBackend.h"
#include "Log.h"
#include "PortalDialog.h"
#include "Selector.h"
#include "Session.h"

#include <QApplication>
#include <QCursor>
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

// The widget of this program whose window `window` is.
QWidget *widgetOf(const QList<QWidget *> &own, const QWindow *window)
{
    for (QWidget *w : own)
        if (w->windowHandle() == window)
            return w;
    return nullptr;
}

Scene findScene(GrabBackend &backend, const std::vector<FrozenScreen> &screens, const Desktop &desktop,
                const QList<WId> &overlays)
{
    QList<QWidget *> own;
    QList<QWindow *> ownWindows;
    QWidget *active = QApplication::activeWindow();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || !w->windowHandle() || overlays.contains(w->winId()))
            continue;
        // Without stacking order from the desktop, the active window counts as the front one.
        w == active ? own.prepend(w) : own.append(w);
        w == active ? ownWindows.prepend(w->windowHandle()) : ownWindows.append(w->windowHandle());
    }

    Scene scene;
    // Where the program's windows are: where Qt says, except on Wayland,
    // where only those found in the screens' pictures are known. The desktop
    // tells no program there where any window is, so the pictures are
    // searched alike whichever backend took them.
    const bool wayland = onWayland();
    const std::vector<WindowOnScreen> windows =
        wayland ? findOwnWindows(screens, own) : backend.windows(ownWindows, overlays);
    if (!wayland)
        for (QWidget *w : std::as_const(own))
            scene.ownWindows.push_back({ QRectF(w->frameGeometry()), w->windowHandle(), {} });
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
        if (QWidget *widget = w.own ? widgetOf(own, w.own) : nullptr) {
            addOwnWindow(scene.elements, desktop, widget, w.rect, w.ownOffset);
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
    // Asked before the screens are read, while the window system has
    // nothing else to do: afterwards the answer waits behind the pictures.
    const QPoint pointer = QCursor::pos();
    const std::unique_ptr<GrabBackend> backend = makeGrabBackend(&portalWaitDialog);
    GrabResult grabbed = backend->grab(QGuiApplication::screens());
    qCDebug(lcCapture, "grab: %lld ms", timer.elapsed());
    if (grabbed.cancelled)
        return 0;
    if (!grabbed.error.isEmpty())
        return fail(grabbed.error);
    if (grabbed.screens.empty())
        return fail(u"没有可截取的屏幕。"_s);

    Selector selector(std::move(grabbed.screens), pointer);
    SelectorModel &model = selector.model();
    model.setLastRegion(g_lastRegion);
    selector.setElementSource([&backend, &model](const Desktop &desktop, const QList<WId> &overlays) {
        return findScene(*backend, model.screens(), desktop, overlays);
    }, onWayland() ? Selector::FindWindows::AfterFirstFrame : Selector::FindWindows::BeforeShowing);
    selector.setBeforeShowing([&backend] { backend->readScreens(); });
    selector.setCanvasSource([&backend](QWindow *window, int screen) { return backend->canvas(window, screen); });
    model.setPointerPixels([&backend](QPointF at) { return backend->pointerPixel(at); },
                           [&backend](QPoint pixel) { return backend->movePointer(pixel); });
    selector.show();
    // The selector is on screen; the pictures it needs now follow.
    for (int i = 0; i < model.screenCount(); ++i) {
        if (!model.screen(i).image.isNull())
            continue;
        QString error;
        QImage picture = backend->fetch(i, &error);
        if (picture.isNull()) {
            selector.hide();
            return fail(error.isEmpty() ? u"无法读取屏幕的内容。"_s : error);
        }
        model.setPicture(i, std::move(picture));
    }
    if (selector.exec() != Selector::Outcome::Accepted)
        return 0;
    const QImage image = model.selectedImage();
    if (image.isNull())
        return fail(u"截图区域为空。"_s);
    g_lastRegion = model.selectedLogical();
    putOnClipboard(image);
    return 1;
}
