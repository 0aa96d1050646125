#include "Selection.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace lumaro::capture {

SnapLines snapLinesOf(const std::vector<QRect> &rects)
{
    SnapLines lines;
    for (const QRect &r : rects) {
        if (r.isEmpty())
            continue;
        const int right = r.right() + 1, bottom = r.bottom() + 1;
        lines.xs.insert(lines.xs.end(), { { r.left(), r.top(), bottom }, { right, r.top(), bottom } });
        lines.ys.insert(lines.ys.end(), { { r.top(), r.left(), right }, { bottom, r.left(), right } });
    }
    return lines;
}

std::optional<SnapEdge> snapEdge(int boundary, int along, const std::vector<SnapEdge> &edges, int reach)
{
    std::optional<SnapEdge> best;
    int bestDistance = reach + 1;
    for (const SnapEdge &e : edges) {
        // The pointer's pixel `along` lies beside the edge's pixels from..to-1.
        if (along < e.from - reach || along >= e.to + reach)
            continue;
        const int d = std::abs(e.at - boundary);
        if (d < bestDistance) {
            best = e;
            bestDistance = d;
        }
    }
    return best;
}

QRect Selection::between(QPoint a, QPoint b) const
{
    const QRect r(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                  QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
    return m_bounds.isValid() ? r & m_bounds : r;
}

void Selection::set(QRect r)
{
    r = r.normalized();
    m_rect = m_bounds.isValid() ? r & m_bounds : r;
    m_handle = Handle::None;
    m_snapped = {};
}

void Selection::beginDrag(QRect anchorCell)
{
    m_anchor = m_bounds.isValid() ? anchorCell & m_bounds : anchorCell;
    m_rect = m_anchor;
    m_handle = Handle::None;
    m_snapped = {};
}

void Selection::dragTo(QRect cell, const SnapLines *snap, int reach)
{
    QRect r = m_anchor.united(cell);
    if (m_bounds.isValid())
        r &= m_bounds;
    m_snapped = {};
    if (snap && !r.isEmpty()) {
        // Only the edges that the pointer drags snap; the anchored ones stay.
        const QPoint pointer = cell.topLeft();
        if (cell.right() > m_anchor.right()) {
            if ((m_snapped.x = snapEdge(r.right() + 1, pointer.y(), snap->xs, reach)))
                r.setRight(std::max(r.left(), m_snapped.x->at - 1));
        } else if (cell.left() < m_anchor.left()) {
            if ((m_snapped.x = snapEdge(r.left(), pointer.y(), snap->xs, reach)))
                r.setLeft(std::min(r.right(), m_snapped.x->at));
        }
        if (cell.bottom() > m_anchor.bottom()) {
            if ((m_snapped.y = snapEdge(r.bottom() + 1, pointer.x(), snap->ys, reach)))
                r.setBottom(std::max(r.top(), m_snapped.y->at - 1));
        } else if (cell.top() < m_anchor.top()) {
            if ((m_snapped.y = snapEdge(r.top(), pointer.x(), snap->ys, reach)))
                r.setTop(std::min(r.bottom(), m_snapped.y->at));
        }
        if (m_bounds.isValid())
            r &= m_bounds;
        if (m_snapped.x)
            m_snapped.pixelX = cell.right() > m_anchor.right() ? r.right() : r.left();
        if (m_snapped.y)
            m_snapped.pixelY = cell.bottom() > m_anchor.bottom() ? r.bottom() : r.top();
    }
    m_rect = r;
}

Handle Selection::handleAt(QPointF p, qreal reach) const
{
    if (m_rect.isEmpty())
        return Handle::None;
    // The edges are the lines around the pixels: left and top of the first,
    // right and bottom of the last.
    const qreal l = m_rect.left(), r = m_rect.right() + 1, t = m_rect.top(), b = m_rect.bottom() + 1;
    auto near = [reach](qreal a, qreal line) { return std::abs(a - line) <= reach; };
    const bool alongX = p.x() >= l - reach && p.x() <= r + reach;
    const bool alongY = p.y() >= t - reach && p.y() <= b + reach;
    if (near(p.x(), l) && near(p.y(), t))
        return Handle::TopLeft;
    if (near(p.x(), r) && near(p.y(), t))
        return Handle::TopRight;
    if (near(p.x(), l) && near(p.y(), b))
        return Handle::BottomLeft;
    if (near(p.x(), r) && near(p.y(), b))
        return Handle::BottomRight;
    if (near(p.x(), l) && alongY)
        return Handle::Left;
    if (near(p.x(), r) && alongY)
        return Handle::Right;
    if (near(p.y(), t) && alongX)
        return Handle::Top;
    if (near(p.y(), b) && alongX)
        return Handle::Bottom;
    if (p.x() >= l && p.x() < r && p.y() >= t && p.y() < b)
        return Handle::Inside;
    return Handle::None;
}

void Selection::beginAdjust(Handle handle, QPoint at)
{
    m_handle = handle;
    m_grab = at;
    m_start = m_rect;
}

void Selection::adjustTo(QPoint at, const SnapLines *snap, int reach)
{
    if (m_handle == Handle::None || m_start.isEmpty())
        return;
    const QPoint d = at - m_grab;
    if (m_handle == Handle::Inside) {
        m_rect = m_start;
        move(d.x(), d.y());
        return;
    }
    QPoint a = m_start.topLeft(), b = m_start.bottomRight();
    const bool left = m_handle == Handle::Left || m_handle == Handle::TopLeft || m_handle == Handle::BottomLeft;
    const bool right = m_handle == Handle::Right || m_handle == Handle::TopRight || m_handle == Handle::BottomRight;
    const bool top = m_handle == Handle::Top || m_handle == Handle::TopLeft || m_handle == Handle::TopRight;
    const bool bottom = m_handle == Handle::Bottom || m_handle == Handle::BottomLeft || m_handle == Handle::BottomRight;
    // An edge moves with the pointer and snaps to an element's edge beside
    // the pointer; `line` is the boundary, between pixels, that it moves to.
    static const SnapLines none;
    const SnapLines &lines = snap ? *snap : none;
    m_snapped = {};
    auto follow = [reach](int line, int along, const std::vector<SnapEdge> &edges, std::optional<SnapEdge> &to) {
        to = snapEdge(line, along, edges, reach);
        return to ? to->at : line;
    };
    if (left)
        a.rx() = follow(a.x() + d.x(), at.y(), lines.xs, m_snapped.x);
    if (right)
        b.rx() = follow(b.x() + d.x() + 1, at.y(), lines.xs, m_snapped.x) - 1;
    if (top)
        a.ry() = follow(a.y() + d.y(), at.x(), lines.ys, m_snapped.y);
    if (bottom)
        b.ry() = follow(b.y() + d.y() + 1, at.x(), lines.ys, m_snapped.y) - 1;
    // An edge dragged past the opposite one turns the selection over.
    m_rect = between(a, b);
    if (m_snapped.x)
        m_snapped.pixelX = std::clamp(left ? a.x() : b.x(), m_rect.left(), m_rect.right());
    if (m_snapped.y)
        m_snapped.pixelY = std::clamp(top ? a.y() : b.y(), m_rect.top(), m_rect.bottom());
}

void Selection::move(int dx, int dy)
{
    if (m_rect.isEmpty())
        return;
    if (m_bounds.isValid()) {
        dx = std::clamp(dx, m_bounds.left() - m_rect.left(), std::max(0, m_bounds.right() - m_rect.right()));
        dy = std::clamp(dy, m_bounds.top() - m_rect.top(), std::max(0, m_bounds.bottom() - m_rect.bottom()));
    }
    m_rect.translate(dx, dy);
}

void Selection::moveTopLeft(int dx, int dy)
{
    if (m_rect.isEmpty())
        return;
    const QPoint b = m_rect.bottomRight();
    QPoint a = m_rect.topLeft() + QPoint(dx, dy);
    a.rx() = std::min(a.x(), b.x());
    a.ry() = std::min(a.y(), b.y());
    if (m_bounds.isValid())
        a = QPoint(std::max(a.x(), m_bounds.left()), std::max(a.y(), m_bounds.top()));
    m_rect = QRect(a, b);
}

void Selection::moveBottomRight(int dx, int dy)
{
    if (m_rect.isEmpty())
        return;
    const QPoint a = m_rect.topLeft();
    QPoint b = m_rect.bottomRight() + QPoint(dx, dy);
    b.rx() = std::max(b.x(), a.x());
    b.ry() = std::max(b.y(), a.y());
    if (m_bounds.isValid())
        b = QPoint(std::min(b.x(), m_bounds.right()), std::min(b.y(), m_bounds.bottom()));
    m_rect = QRect(a, b);
}

} // namespace lumaro::capture
