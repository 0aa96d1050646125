#include "window/StretchCache.h"

#include <QPainter>
#include <QtMath>

#include <cmath>

namespace lumaro {

namespace {

// The device pixels under a logical rectangle, whole pixels outwards.
QRect devicePixels(const QRect &logical, qreal dpr)
{
    return QRect(QPoint(qFloor(logical.left() * dpr), qFloor(logical.top() * dpr)),
                 QPoint(qCeil((logical.right() + 1) * dpr) - 1, qCeil((logical.bottom() + 1) * dpr) - 1));
}

} // namespace

void StretchCache::clear()
{
    m_cache = QImage();
    m_for = QSize();
}

void StretchCache::paint(QPainter &p, const QImage &src, QSize full, qreal dpr, const QRect &exposed,
                         const QRect &visible)
{
    if (m_for != full || !m_rect.contains(devicePixels(exposed, dpr))) {
        // Cache the whole visible area so that later partial repaints reuse it.
        const QRect area = devicePixels(visible.isEmpty() ? exposed : visible.united(exposed), dpr)
                           & QRect(QPoint(0, 0), full);
        const double sx = double(src.width()) / full.width();
        const double sy = double(src.height()) / full.height();
        // Source pixels under the area, one pixel of margin for the filter.
        const QRect srcRect = QRect(QPoint(int(std::floor(area.left() * sx)) - 1, int(std::floor(area.top() * sy)) - 1),
                                    QPoint(int(std::ceil((area.right() + 1) * sx)), int(std::ceil((area.bottom() + 1) * sy))))
                              & src.rect();
        QImage cache(area.size(), QImage::Format_RGB32);
        cache.fill(Qt::black);
        {
            QPainter cp(&cache);
            cp.setRenderHint(QPainter::SmoothPixmapTransform);
            cp.translate(-area.left(), -area.top());
            cp.scale(1.0 / sx, 1.0 / sy);
            cp.drawImage(QRectF(srcRect), src, QRectF(srcRect));
        }
        cache.setDevicePixelRatio(dpr);
        m_cache = std::move(cache);
        m_rect = area;
        m_for = full;
    }
    p.drawImage(QPointF(m_rect.left() / dpr, m_rect.top() / dpr), m_cache);
}

} // namespace lumaro
