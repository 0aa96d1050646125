#include "Selection.h"

#include <algorithm>

QPoint Selection::clamp(QPoint p) const
{
    return { std::clamp(p.x(), m_bounds.left(), m_bounds.right()),
             std::clamp(p.y(), m_bounds.top(), m_bounds.bottom()) };
}

void Selection::press(QPoint p)
{
    m_anchor = m_current = clamp(p);
    m_has = true;
    m_dragging = true;
}

void Selection::drag(QPoint p)
{
    if (m_dragging)
        m_current = clamp(p);
}

QRect Selection::rect() const
{
    if (!m_has)
        return {};
    return QRect(QPoint(std::min(m_anchor.x(), m_current.x()), std::min(m_anchor.y(), m_current.y())),
                 QPoint(std::max(m_anchor.x(), m_current.x()), std::max(m_anchor.y(), m_current.y())));
}

void Selection::selectAll()
{
    m_anchor = m_bounds.topLeft();
    m_current = m_bounds.bottomRight();
    m_has = true;
    m_dragging = false;
}

void Selection::move(int dx, int dy)
{
    if (!m_has)
        return;
    const QRect r = rect();
    dx = std::clamp(dx, m_bounds.left() - r.left(), m_bounds.right() - r.right());
    dy = std::clamp(dy, m_bounds.top() - r.top(), m_bounds.bottom() - r.bottom());
    m_anchor = r.topLeft() + QPoint(dx, dy);
    m_current = r.bottomRight() + QPoint(dx, dy);
}

void Selection::resize(int dw, int dh)
{
    if (!m_has)
        return;
    const QRect r = rect();
    m_anchor = r.topLeft();
    // Never smaller than one pixel, never past the screen's edge.
    m_current = clamp(QPoint(std::max(r.left(), r.right() + dw), std::max(r.top(), r.bottom() + dh)));
}
