#pragma once

#include "Desktop.h"
#include "Elements.h"
#include "GrabBackend.h"
#include "Selection.h"

#include <QEventLoop>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lumaro::capture {

class SelectionOverlay;

// What the selector learns of the desktop once it is on the screen.
struct Scene
{
    Elements elements; // what a click can take
    // This program's other windows whose place on the screens is known, each
    // with how far Qt's idea of that place is off (WindowOnScreen::ownOffset).
    std::vector<WindowOnScreen> ownWindows;
};

// The region selector over the frozen screens: one overlay window per screen
// shows it, this decides. It works in desktop pixels (see Desktop), so that a
// selection may cross from one screen to another.
//
// Hovering, the element under the pointer is highlighted and a click takes
// it. A drag selects a rectangle and accepts it on release; released with
// Ctrl, or with Space pressed during the drag, it stays to be adjusted with
// the handles, the mouse and the keys. Enter or a double-click accepts, Esc
// or a right click cancels (a right click while adjusting first drops the
// selection).
//
// The mouse may still be with another of the program's windows while the
// selector is up: a compositor may give the pointer to a new window only
// once the pointer moves (mutter does), so a click with a still pointer goes
// to the window that was under it. Such input counts as the selector's, at
// the same place on the screen; where that window's place is not known, it
// is dropped, never taken somewhere else.
class Selector : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Hovering, Dragging, Adjusting };
    enum class Outcome { Pending, Accepted, Cancelled };

    explicit Selector(std::vector<FrozenScreen> screens, QObject *parent = nullptr);
    ~Selector() override;

    // What a click can take, and where the program's own windows are. Asked
    // for once the selector is first on screen, so that finding the windows
    // never delays it (or at once, when input reaches another window first).
    void setElementSource(std::function<Scene(const Desktop &, const QList<WId> &overlays)> source);
    // Runs for each overlay window before it shows (see GrabBackend::prepareOverlay).
    void setOverlayPreparer(std::function<void(QWindow *, int)> prepare) { m_prepare = std::move(prepare); }
    // Where the pointer is in the window system's own pixels, and how to put
    // it on one of them, where the backend knows (GrabBackend::pointerPixel,
    // GrabBackend::movePointer): Qt rounds the pointer's place to whole
    // logical pixels, which at a fractional scale skips some of the screen's.
    void setPointerPixels(std::function<std::optional<QPoint>(QPointF)> find, std::function<bool(QPoint)> move)
    {
        m_findPixel = std::move(find);
        m_movePointer = std::move(move);
    }
    // A screen's picture that came after the selector (see GrabBackend::fetch).
    void setPicture(int screen, QImage picture);
    // The previous capture's rectangle, for R.
    void setLastRegion(std::optional<QRectF> logical) { m_lastRegion = logical; }

    // Puts an overlay on every screen and waits until the person is done.
    Outcome exec();
    void show();
    void hide();

    Outcome outcome() const { return m_outcome; }
    // Accepted: the selected rectangle in desktop pixels and logical coordinates.
    QRect selectedRect() const { return m_selection.rect(); }
    QRectF selectedLogical() const { return m_desktop.toLogical(m_selection.rect()); }
    // The selected pixels, each part from its own screen's pixels.
    QImage selectedImage() const;

    // ---- State, for the overlays and for tests
    const Desktop &desktop() const { return m_desktop; }
    const FrozenScreen &screen(int i) const { return m_screens[std::size_t(i)]; }
    const QImage &display(int i) const { return m_display[std::size_t(i)]; }
    void prepareOverlay(QWindow *window, int i) const
    {
        if (m_prepare)
            m_prepare(window, i);
    }
    SelectionOverlay *overlay(int i) const { return m_overlays[std::size_t(i)].get(); }
    int screenCount() const { return int(m_screens.size()); }
    Mode mode() const { return m_mode; }
    // The rectangle shown undimmed and outlined: the selection, or the
    // highlighted element while hovering. Empty for none.
    QRect lit() const;
    bool litIsWholeScreen() const;
    const Selection &selection() const { return m_selection; }
    QPointF cursor() const { return m_cursor; }   // logical
    bool cursorPlaced() const { return m_cursorPlaced; }
    bool magnifierShown() const { return m_magnifier && m_cursorPlaced; }
    // The desktop pixel the pointer stands for: the one under it, or where a
    // drag has snapped, the pixel at the snapped edge, which is what a
    // release there takes.
    QPoint aimedPixel() const;
    // The element edges the selection's moving edges have snapped to, as
    // lines in desktop pixels; none when nothing snapped.
    std::vector<QLine> guides() const;
    // The aimed pixel on its screen's frozen picture, and its colour.
    std::optional<std::pair<int, QPoint>> pixelUnderCursor() const;
    QString colourUnderCursor() const;
    // The aimed pixel's position as the read-outs show it: desktop pixels from
    // the desktop's top-left corner.
    QPoint cursorPosition() const;
    // The size the capture would have, in pixels, and the key hint for the mode.
    QSize outputSize(const QRect &desktop) const;
    QString hint() const;
    static QString hintFor(Mode mode);

    // ---- Input from the overlays, in logical global coordinates
    void mousePress(QPointF at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void mouseMove(QPointF at, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void mouseRelease(QPointF at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void mouseDoubleClick(QPointF at, Qt::MouseButton button);
    void wheel(int steps);
    void key(int key, Qt::KeyboardModifiers modifiers);
    void firstPainted();
    // Where the pointer is, as Qt gives it over `over` (a window of this
    // program), counts only once that window has been found on the screen
    // (see WindowOnScreen::ownOffset): until then, or until the pointer
    // moves over the selector, nothing is highlighted or magnified under
    // it. Under Wayland no program knows where its windows are.
    void placeCursorLater(QPointF qtPosition, QWindow *over);

    // Handles and edges take the mouse this far from them, in logical pixels.
    static constexpr qreal HandleReach = 6;
    // Edges snap to elements within this many logical pixels.
    static constexpr int SnapReach = 8;
    // A press moves this far, in logical pixels, before it is a drag.
    static constexpr qreal DragStart = 3;

signals:
    void changed();

protected:
    // Input that reaches another window of this program, while the selector is up.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void accept();
    void cancel();
    void hover(QPointF at);
    void restoreLastRegion();
    int step(Qt::KeyboardModifiers modifiers) const;
    void loadElements();
    // How far from where Qt thinks it is `window` is on the screens, if known.
    std::optional<QPointF> offsetOf(const QWindow *window);
    void makeDisplay(int screen);
    // The pointer event's place, made exact where the backend knows better.
    QPointF exact(QPointF at) const;
    // A drag or a handle is moving edges now, so snapping shows.
    bool edgesMoving() const;

    std::vector<FrozenScreen> m_screens;
    std::vector<QImage> m_display;
    Desktop m_desktop;
    Elements m_elements;
    SnapLines m_snap;
    ElementWalk m_walk;
    Selection m_selection;
    std::function<Scene(const Desktop &, const QList<WId> &)> m_elementSource;
    std::function<void(QWindow *, int)> m_prepare;
    std::function<std::optional<QPoint>(QPointF)> m_findPixel;
    std::function<bool(QPoint)> m_movePointer;
    bool m_elementsAsked = false;  // after the first frame
    bool m_elementsLoaded = false;
    std::vector<WindowOnScreen> m_ownWindows;
    std::optional<QRectF> m_lastRegion;

    Mode m_mode = Mode::Hovering;
    Outcome m_outcome = Outcome::Pending;
    QPointF m_cursor;
    bool m_cursorPlaced = true; // m_cursor is where the pointer is (see placeCursorLater)
    QPointer<QWindow> m_cursorOver;
    bool m_magnifier = true;
    // A press not yet known to be a click or a drag.
    bool m_pressed = false;
    QPointF m_pressAt;
    QRect m_pressCell;
    bool m_pressFromAdjusting = false;
    bool m_keepForAdjusting = false;

    std::vector<std::unique_ptr<SelectionOverlay>> m_overlays;
    QEventLoop m_loop;
};

} // namespace lumaro::capture
