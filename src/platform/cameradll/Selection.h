#pragma once

#include <QRect>

#include <vector>

namespace lumaro::capture {

// Where a point lies on a selection, for resizing and moving it with the mouse.
enum class Handle { None, Inside, Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

// Lines between pixels that a selection's edges snap to: an element from x to
// x + w - 1 gives the lines x and x + w.
struct SnapLines
{
    std::vector<int> xs, ys;
};
SnapLines snapLinesOf(const std::vector<QRect> &rects);

// The line within `reach` of `boundary` that is nearest to it, or `boundary`.
int snapped(int boundary, const std::vector<int> &lines, int reach);

// A rectangle over the frozen desktop, in desktop pixels. Both corners are
// inclusive: a drag from the first to the last pixel covers everything, and a
// drag that starts and ends on one pixel selects that pixel. It never leaves
// the desktop's bounds and is never smaller than one pixel.
class Selection
{
public:
    explicit Selection(QRect bounds = {}) : m_bounds(bounds) {}

    bool isEmpty() const { return m_rect.isEmpty(); }
    QRect rect() const { return m_rect; }
    QRect bounds() const { return m_bounds; }
    void clear() { m_rect = {}; }
    void set(QRect r);

    // Dragging out a selection: from the cell where the press was to the
    // cell under the pointer. The edges that move snap to `snap` within
    // `reach` pixels.
    void beginDrag(QRect anchorCell);
    void dragTo(QRect cell, const SnapLines *snap = nullptr, int reach = 0);

    // Adjusting with the mouse. `reach` is how far from an edge or corner, in
    // desktop pixels, a point still takes it.
    Handle handleAt(QPointF point, qreal reach) const;
    void beginAdjust(Handle handle, QPoint at);
    void adjustTo(QPoint at, const SnapLines *snap = nullptr, int reach = 0);
    Handle adjusting() const { return m_handle; }
    void endAdjust() { m_handle = Handle::None; }

    // Adjusting with the keys.
    void move(int dx, int dy);
    void moveTopLeft(int dx, int dy);
    void moveBottomRight(int dx, int dy);

private:
    // The rectangle between two pixels, both included, inside the bounds.
    QRect between(QPoint a, QPoint b) const;

    QRect m_bounds;
    QRect m_rect;
    QRect m_anchor;
    Handle m_handle = Handle::None;
    QPoint m_grab;
    QRect m_start;
};

} // namespace lumaro::capture
