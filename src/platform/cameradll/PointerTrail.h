#pragma once

#include <QPoint>
#include <QPointF>

#include <deque>
#include <functional>
#include <optional>

namespace lumaro::capture {

// Where the pointer really was, in the window system's own pixels, for the
// pointer events Qt is about to deliver. Qt gives their places in whole
// logical pixels: at 150 % one of them is 1.5 of the screen's pixels, so a
// third of the rows and columns could never be aimed at. The backend records
// each pointer event as the window system sends it; when Qt delivers one,
// the oldest recorded place that Qt's rounding could have made it is its own.
class PointerTrail
{
public:
    // `toLogical` maps a place in the window system's pixels to Qt's
    // logical coordinates (unrounded).
    explicit PointerTrail(std::function<QPointF(QPointF)> toLogical)
        : m_toLogical(std::move(toLogical))
    {
    }

    void record(QPoint pixel)
    {
        m_places.push_back(pixel);
        if (m_places.size() > Kept)
            m_places.pop_front();
    }

    // The recorded place behind a pointer event Qt delivers at `logical`;
    // it and every older one are used up.
    std::optional<QPoint> take(QPointF logical)
    {
        for (auto it = m_places.begin(); it != m_places.end(); ++it) {
            const QPointF d = m_toLogical(QPointF(*it)) - logical;
            if (std::abs(d.x()) <= Reach && std::abs(d.y()) <= Reach) {
                const QPoint found = *it;
                m_places.erase(m_places.begin(), it + 1);
                return found;
            }
        }
        return std::nullopt;
    }

private:
    // Qt rounds to the nearest logical pixel: half a pixel each way.
    static constexpr qreal Reach = 0.5 + 1e-6;
    static constexpr std::size_t Kept = 256;
    std::function<QPointF(QPointF)> m_toLogical;
    std::deque<QPoint> m_places;
};

} // namespace lumaro::capture
