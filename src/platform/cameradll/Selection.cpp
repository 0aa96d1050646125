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
        lines.xs.insert(lines.xs.end(), { r.left(), r.right() + 1 });
        lines.ys.insert(lines.ys.end(), { r.top(), r.bottom() + 1 });
    }
    for (std::vector<int> *v : { &lines.xs, &lines.ys }) {
        std::sort(v->begin(), v->end());
        v->erase(std::unique(v->begin(), v->end()), v->end());
    }
    return lines;
}

int snapped(int boundary, const std::vector<int> &lines, int reach)
{
    int best = boundary, bestDistance = reach + 1;
    for (int line : lines) {
        const int d = std::abs(line - boundary);
        if (d < bestDistance) {
            best = line;
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
}

void Selection::beginDrag(QRect anchorCell)
{
    m_anchor = m_bounds.isValid() ? anchorCell & m_bounds : anchorCell;
    m_rect = m_anchor;
    m_handle = Handle::None;
}

void Selection::dragTo(QRect cell, const SnapLines *snap, int reach)
{
    QRect r = m_anchor.united(cell);
    if (m_bounds.isValid())
        r &= m_bounds;
    if (snap && !r.isEmpty()) {
        // Only the edges that the pointer drags snap; the anchored ones stay.
        if (cell.right() > m_anchor.right())
            r.setRight(std::max(r.left(), snapped(r.right() + 1, snap->xs, reach) - 1));
        if (cell.left() < m_anchor.left())
            r.setLeft(std::min(r.right(), snapped(r.left(), snap->xs, reach)));
        if (cell.bottom() > m_anchor.bottom())
            r.setBottom(std::max(r.top(), snapped(r.bottom() + 1, snap->ys, reach) - 1));
        if (cell.top() < m_anchor.top())
            r.setTop(std::min(r.bottom(), snapped(r.top(), snap->ys, reach)));
        if (m_bounds.isValid())
            r &= m_bounds;
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
    if (left)
        a.rx() = snap ? snapped(a.x() + d.x(), snap->xs, reach) : a.x() + d.x();
    if (right)
        b.rx() = snap ? snapped(b.x() + d.x() + 1, snap->xs, reach) - 1 : b.x() + d.x();
    if (top)
        a.ry() = snap ? snapped(a.y() + d.y(), snap->ys, reach) : a.y() + d.y();
    if (bottom)
        b.ry() = snap ? snapped(b.y() + d.y() + 1, snap->ys, reach) - 1 : b.y() + d.y();
    // An edge dragged past the opposite one turns the selection over.
    m_rect = between(a, b);
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
