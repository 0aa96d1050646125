#pragma once

#include "Desktop.h"
#include "Elements.h"
#include "FrozenScreen.h"
#include "Selection.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWindow>

#include <functional>
#include <optional>
#include <vector>

namespace lumaro::capture {

// What the selector learns of the desktop once it is on the screen.
struct Scene
{
    Elements elements; // what a click can take
    // This program's other windows whose place on the screens is known, each
    // with how far Qt's idea of that place is off (WindowOnScreen::ownOffset).
    std::vector<WindowOnScreen> ownWindows;
};

// "#RRGGBB"
QString colourName(QRgb pixel);

// The region selector's state over the frozen screens, and its decisions on
// every press, move, release, key and wheel step. It works in desktop pixels
// (see Desktop), so that a selection may cross from one screen to another.
// No windows: the overlays show it and pass their input on, the session
// (library/Selector) puts it on the screens and waits for the outcome.
//
// Hovering, the element under the pointer is highlighted and a click takes
// it. A drag selects a rectangle and accepts it on release; released with
// Ctrl, or with Space pressed during the drag, it stays to be adjusted with
// the handles, the mouse and the keys. Enter or a double-click accepts, Esc
// or a right click cancels (a right click while adjusting first drops the
// selection).
class SelectorModel : public QObject
{
    Q_OBJECT
public:
    enum class Mode { Hovering, Dragging, Adjusting };
    enum class Outcome { Pending, Accepted, Cancelled };

    explicit SelectorModel(std::vector<FrozenScreen> screens, QObject *parent = nullptr);

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
    // What a click can take and where the program's own windows are.
    void setScene(Scene scene);
    const std::vector<WindowOnScreen> &ownWindows() const { return m_ownWindows; }

    Outcome outcome() const { return m_outcome; }
    // Accepted: the selected rectangle in desktop pixels and logical coordinates.
    QRect selectedRect() const { return m_selection.rect(); }
    QRectF selectedLogical() const { return m_desktop.toLogical(m_selection.rect()); }
    // The selected pixels, each part from its own screen's pixels.
    QImage selectedImage() const;

    // ---- State, for the overlays
    const Desktop &desktop() const { return m_desktop; }
    const std::vector<FrozenScreen> &screens() const { return m_screens; }
    const FrozenScreen &screen(int i) const { return m_screens[std::size_t(i)]; }
    const QImage &display(int i) const { return m_display[std::size_t(i)]; }
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
    // The size the capture would have, in pixels.
    QSize outputSize(const QRect &desktop) const;

    // ---- Input, in logical global coordinates
    void mousePress(QPointF at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void mouseMove(QPointF at, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void mouseRelease(QPointF at, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void mouseDoubleClick(QPointF at, Qt::MouseButton button);
    void wheel(int steps);
    void key(int key, Qt::KeyboardModifiers modifiers);
    // The pointer is at `at` and counts there (a hover without an event).
    void hover(QPointF at);
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
    // Accepted or cancelled: outcome() says which.
    void finished();
    // C: the colour under the pointer, for the clipboard.
    void colourPicked(const QString &colour);
    // An arrow key while hovering, where the backend cannot put the pointer
    // on a pixel of its own: the pointer is to move by `by` logical pixels.
    void nudgePointer(QPoint by);

private:
    void accept();
    void cancel();
    void restoreLastRegion();
    int step(Qt::KeyboardModifiers modifiers) const;
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
    std::function<std::optional<QPoint>(QPointF)> m_findPixel;
    std::function<bool(QPoint)> m_movePointer;
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
};

} // namespace lumaro::capture
