#include "Desktop.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace lumaro::capture {

namespace {

int rounded(qreal v) { return int(std::lround(v)); }

qreal distance(const QRectF &r, QPointF p)
{
    const qreal dx = std::max({ r.left() - p.x(), 0.0, p.x() - r.right() });
    const qreal dy = std::max({ r.top() - p.y(), 0.0, p.y() - r.bottom() });
    return std::hypot(dx, dy);
}

} // namespace

Desktop::Desktop(const std::vector<Place> &screens)
{
    m_native = !screens.empty();
    for (const Place &p : screens) {
        m_scale = std::max(m_scale, p.scale);
        m_native = m_native && !p.native.isEmpty();
    }
    for (const Place &p : screens) {
        const QSize devices = !p.pixels.isEmpty() ? p.pixels
                                                  : QSize(std::max(1, rounded(p.logical.width() * p.scale)),
                                                          std::max(1, rounded(p.logical.height() * p.scale)));
        QRect area = p.native;
        if (!m_native) {
            area = QRect(rounded(p.logical.x() * m_scale), rounded(p.logical.y() * m_scale),
                         rounded(p.logical.width() * m_scale), rounded(p.logical.height() * m_scale));
            // Less than a logical pixel more: the part of one that the
            // logical size left out, on a screen at the largest scale.
            const QSize more = devices - area.size();
            if (p.scale == m_scale && more.width() >= 0 && more.height() >= 0 && more.width() < m_scale
                && more.height() < m_scale)
                area.setSize(devices);
        }
        qreal perLogical = p.logical.width() > 0 ? qreal(area.width()) / p.logical.width() : m_scale;
        qreal scale = p.scale;
        if (m_native && p.ratio > 0)
            perLogical = scale = p.ratio; // the logical size is rounded; the ratio is exact
        m_screens.push_back({ p.logical, scale, area, perLogical, devices });
        m_bounds |= area;
    }
    if (m_native) {
        m_scale = 1;
        for (const Screen &s : m_screens)
            m_scale = std::max(m_scale, s.perLogical);
    }
}

int Desktop::screenAt(QPoint desktop) const
{
    for (std::size_t i = 0; i < m_screens.size(); ++i)
        if (m_screens[i].area.contains(desktop))
            return int(i);
    return -1;
}

int Desktop::screenAtLogical(QPointF logical) const
{
    for (std::size_t i = 0; i < m_screens.size(); ++i)
        if (QRectF(m_screens[i].logical).contains(logical))
            return int(i);
    return -1;
}

qreal Desktop::devicePerDesktop(int screen) const
{
    const Screen &s = m_screens.at(std::size_t(screen));
    return s.area.width() > 0 ? qreal(s.devices.width()) / s.area.width() : 1.0;
}

QRect Desktop::cellAt(int screen, QPointF logical) const
{
    const Screen &s = m_screens.at(std::size_t(screen));
    const QPointF local = logical - QPointF(s.logical.topLeft());
    // The window system gives the pointer in its own pixels and Qt divides
    // them by the scale: multiplied back they may come out a hair short of
    // the whole pixel they were (60.99999 for 61 at 175 %).
    constexpr qreal slack = 1e-6;
    const int dx = std::clamp(int(std::floor(local.x() * s.scale + slack)), 0, s.devices.width() - 1);
    const int dy = std::clamp(int(std::floor(local.y() * s.scale + slack)), 0, s.devices.height() - 1);
    const qreal ratio = 1 / devicePerDesktop(screen); // desktop pixels per device pixel
    const QPoint first(s.area.x() + rounded(dx * ratio), s.area.y() + rounded(dy * ratio));
    const QPoint last(s.area.x() + std::max(rounded((dx + 1) * ratio), rounded(dx * ratio) + 1) - 1,
                      s.area.y() + std::max(rounded((dy + 1) * ratio), rounded(dy * ratio) + 1) - 1);
    return QRect(first, last) & s.area;
}

QRect Desktop::cellAt(QPointF logical) const
{
    if (m_screens.empty())
        return {};
    int screen = screenAtLogical(logical);
    if (screen < 0) {
        qreal best = -1;
        for (std::size_t i = 0; i < m_screens.size(); ++i) {
            const qreal d = distance(QRectF(m_screens[i].logical), logical);
            if (best < 0 || d < best) {
                best = d;
                screen = int(i);
            }
        }
    }
    return cellAt(screen, logical);
}

QPointF Desktop::toDesktop(QPointF logical) const
{
    const QRect cell = cellAt(logical);
    const int screen = screenAt(cell.topLeft());
    if (screen < 0)
        return logical * m_scale;
    const Screen &s = m_screens[std::size_t(screen)];
    return QPointF(s.area.topLeft()) + (logical - QPointF(s.logical.topLeft())) * s.perLogical;
}

QPointF Desktop::centreOf(QPoint desktop) const
{
    const int screen = screenAt(desktop);
    if (screen < 0)
        return (QPointF(desktop) + QPointF(0.5, 0.5)) / m_scale;
    const Screen &s = m_screens[std::size_t(screen)];
    return QPointF(s.logical.topLeft()) + (QPointF(desktop - s.area.topLeft()) + QPointF(0.5, 0.5)) / s.perLogical;
}

QRectF Desktop::toLogical(const QRect &desktop) const
{
    int screen = screenAt(desktop.center());
    if (screen < 0)
        return { desktop.x() / m_scale, desktop.y() / m_scale, desktop.width() / m_scale, desktop.height() / m_scale };
    const Screen &s = m_screens[std::size_t(screen)];
    const qreal k = s.perLogical;
    return { s.logical.x() + (desktop.x() - s.area.x()) / k, s.logical.y() + (desktop.y() - s.area.y()) / k,
             desktop.width() / k, desktop.height() / k };
}

QRect Desktop::fromLogical(const QRectF &logical) const
{
    const QRect centre = cellAt(logical.center());
    const int screen = screenAt(centre.topLeft());
    if (screen < 0)
        return {};
    const Screen &s = m_screens[std::size_t(screen)];
    const qreal k = s.perLogical;
    return { s.area.x() + rounded((logical.x() - s.logical.x()) * k), s.area.y() + rounded((logical.y() - s.logical.y()) * k),
             rounded(logical.width() * k), rounded(logical.height() * k) };
}

qreal Desktop::outputPerDesktop(const QRect &selection) const
{
    qreal best = 0;
    for (std::size_t i = 0; i < m_screens.size(); ++i)
        if (m_screens[i].area.intersects(selection))
            best = std::max(best, devicePerDesktop(int(i)));
    return best > 0 ? best : 1.0;
}

QImage Desktop::compose(const QRect &selection, const std::vector<QImage> &pictures) const
{
    const qreal f = outputPerDesktop(selection);
    const QSize size(rounded(selection.width() * f), rounded(selection.height() * f));
    if (size.isEmpty())
        return {};
    QImage out(size, QImage::Format_RGB32);
    out.fill(Qt::black); // where no screen is, in a desktop of screens of unequal sizes
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (std::size_t i = 0; i < m_screens.size() && i < pictures.size(); ++i) {
        const Screen &s = m_screens[i];
        const QRect part = selection & s.area;
        if (part.isEmpty())
            continue;
        const qreal r = devicePerDesktop(int(i));
        const QRectF dest((part.x() - selection.x()) * f, (part.y() - selection.y()) * f, part.width() * f,
                          part.height() * f);
        const QRectF src((part.x() - s.area.x()) * r, (part.y() - s.area.y()) * r, part.width() * r,
                         part.height() * r);
        const QRect destPx = dest.toAlignedRect(), srcPx = src.toAlignedRect();
        if (destPx.size() == srcPx.size() && QRectF(destPx) == dest && QRectF(srcPx) == src) {
            // This screen's own pixels, as they are.
            p.drawImage(destPx.topLeft(), pictures[i], srcPx);
        } else {
            // A screen of lower density comes in larger: by a whole factor each
            // of its pixels simply repeats, so every pixel is one of its own.
            const qreal zoom = dest.width() / std::max(src.width(), 1e-9);
            p.setRenderHint(QPainter::SmoothPixmapTransform, std::abs(zoom - std::round(zoom)) > 1e-9);
            p.drawImage(dest, pictures[i], src);
        }
    }
    p.end();
    return out;
}

} // namespace lumaro::capture
