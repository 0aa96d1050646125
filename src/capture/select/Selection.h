#pragma once

#include <QRect>

#include <optional>
#include <vector>

namespace lumaro::capture {

// Where a point lies on a selection, for resizing and moving it with the mouse.
enum class Handle { None, Inside, Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

// An element's edge as a selection's edge may snap to it: the line between
// pixels at `at` (an x for an upright edge, a y for a lying one), from `from`
// to `to` along it. An element from x to x + w - 1 has its upright edges at x
// and x + w, from its top to its bottom + 1.
struct SnapEdge
{
    int at = 0;
    int from = 0;
    int to = 0;
    bool operator==(const SnapEdge &) const = default;
};

struct SnapLines
{
    std::vector<SnapEdge> xs; // upright edges
    std::vector<SnapEdge> ys; // lying edges
};
// Every edge of the rectangles, whole.
SnapLines snapLinesOf(const std::vector<QRect> &rects);

// Where a selection's edge at `boundary` goes when the pointer is at `along`
// on the other axis: to the nearest edge within `reach` of the boundary whose
// extent, give or take `reach`, holds the pointer. An edge far along its own
// line is not there, however near its line is.
std::optional<SnapEdge> snapEdge(int boundary, int along, const std::vector<SnapEdge> &edges, int reach);

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
    void clear()
    {
        m_rect = {};
        m_snapped = {};
    }
    void set(QRect r);

    // Dragging out a selection: from the cell where the press was to the
    // cell under the pointer. The edges that move snap to an edge of `snap`
    // that is within `reach` pixels of the pointer.
    void beginDrag(QRect anchorCell);
    void dragTo(QRect cell, const SnapLines *snap = nullptr, int reach = 0);

    // Adjusting with the mouse. `reach` is how far from an edge or corner, in
    // desktop pixels, a point still takes it.
    Handle handleAt(QPointF point, qreal reach) const;
    void beginAdjust(Handle handle, QPoint at);
    void adjustTo(QPoint at, const SnapLines *snap = nullptr, int reach = 0);
    Handle adjusting() const { return m_handle; }
    void endAdjust()
    {
        m_handle = Handle::None;
        m_snapped = {};
    }

    // What the last drag or adjustment snapped to: the element edges, for a
    // guide, and the pixel the pointer stands for once its edges have
    // snapped, on each axis where one did.
    struct Snapped
    {
        std::optional<SnapEdge> x, y;
        std::optional<int> pixelX, pixelY;
    };
    const Snapped &snapped() const { return m_snapped; }

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
    Snapped m_snapped;
};

} // namespace lumaro::capture
