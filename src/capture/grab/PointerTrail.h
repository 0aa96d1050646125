#pragma once

#include <QPoint>
#include <QPointF>
#include <QRect>

#include <deque>
#include <optional>
#include <vector>

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
    // A screen: where it lies in the window system's pixels and in Qt's
    // logical ones, and Qt's ratio between the two there.
    void addScreen(const QRect &native, const QRect &logical, qreal ratio)
    {
        m_screens.push_back({ native, logical, ratio > 0 ? ratio : 1 });
    }
    void clearScreens() { m_screens.clear(); }

    // Qt's logical place, unrounded, of a place in the window system's pixels.
    QPointF toLogical(QPointF native) const
    {
        for (const Screen &s : m_screens)
            if (QRectF(s.native).contains(native))
                return QPointF(s.logical.topLeft()) + (native - QPointF(s.native.topLeft())) / s.ratio;
        return native;
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
            const QPointF d = toLogical(QPointF(*it)) - logical;
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
    struct Screen
    {
        QRect native, logical;
        qreal ratio;
    };
    std::vector<Screen> m_screens;
    std::deque<QPoint> m_places;
};

} // namespace lumaro::capture
