#pragma once

#include <QImage>
#include <QRect>

class QPainter;

namespace lumaro {

// The picture stretched to the display's size, kept for the part of the
// display that is visible: a repaint at the same size is one copy, and a
// display scaled far beyond the window costs no more than the window.
class StretchCache
{
public:
    // Draws `picture` stretched to `full` device pixels, the logical
    // rectangle `exposed` of it; `visible` is what of the display shows.
    void paint(QPainter &p, const QImage &picture, QSize full, qreal dpr, const QRect &exposed, const QRect &visible);
    // The picture changed: nothing cached still holds.
    void clear();
    // Device pixels held (for tests and measurements).
    QSize size() const { return m_cache.size(); }

private:
    QImage m_cache;
    QRect m_rect; // in the display's device pixels
    QSize m_for;  // the display's size the cache was made for
};

} // namespace lumaro
