#pragma once

#include <QPoint>
#include <QRect>

// A rectangle dragged over a frozen screen, in that screen's pixels. Both
// corners are inclusive: a drag from the first to the last pixel covers the
// whole screen, and a press and release on one pixel selects that pixel.
class Selection
{
public:
    explicit Selection(QRect bounds) : m_bounds(bounds) {}

    void press(QPoint p);
    void drag(QPoint p);
    bool isDragging() const { return m_dragging; }
    void finishDrag() { m_dragging = false; }

    bool isEmpty() const { return !m_has; }
    QRect rect() const;
    void selectAll();

    // Keyboard adjustments, kept inside the bounds.
    void move(int dx, int dy);
    void resize(int dw, int dh);

private:
    QPoint clamp(QPoint p) const;

    QRect m_bounds;
    QPoint m_anchor, m_current;
    bool m_has = false;
    bool m_dragging = false;
};
