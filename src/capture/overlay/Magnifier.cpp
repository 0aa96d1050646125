#include "Magnifier.h"

#include "SelectorModel.h"

#include <QPainter>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace lumaro::capture::magnifier {

QRect place(QPoint cursor, QRect screen)
{
    const QSize size(Loupe, Loupe + TextHeight);
    int x = cursor.x() + Gap;
    int y = cursor.y() + Gap;
    if (x + size.width() > screen.right() + 1)
        x = cursor.x() - Gap - size.width();
    if (y + size.height() > screen.bottom() + 1)
        y = cursor.y() - Gap - size.height();
    // Flipped to the left or above, it may now leave the screen there: keep
    // it inside, still off the pointer's own row or column.
    x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
    y = std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
    QRect r(QPoint(x, y), size);
    if (r.contains(cursor)) {
        // Only on a screen too small for both sides: move it off the pointer's row.
        r.moveTop(cursor.y() + 1 + Gap <= screen.bottom() + 1 - size.height() ? cursor.y() + Gap
                                                                               : cursor.y() - Gap - size.height());
    }
    return r;
}

void paint(QPainter &p, const QRect &where, const QImage &picture, QPoint pixel, QPoint position)
{
    p.save();
    const QRect loupe(where.topLeft(), QSize(Loupe, Loupe));
    const QRect source(pixel - QPoint(Pixels / 2, Pixels / 2), QSize(Pixels, Pixels));
    p.fillRect(loupe, Qt::black); // beyond the screen's edge
    const QRect inside = source & picture.rect();
    if (!inside.isEmpty()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        const QRect target(loupe.topLeft() + (inside.topLeft() - source.topLeft()) * Zoom, inside.size() * Zoom);
        p.drawImage(target, picture, inside);
    }
    // A faint grid between the pixels.
    p.setPen(QColor(128, 128, 128, 70));
    for (int i = 1; i < Pixels; ++i) {
        p.drawLine(loupe.left() + i * Zoom, loupe.top(), loupe.left() + i * Zoom, loupe.bottom());
        p.drawLine(loupe.left(), loupe.top() + i * Zoom, loupe.right(), loupe.top() + i * Zoom);
    }
    // The cross-hair: the middle row and column tinted, the pixel itself
    // boxed in a dark and a light line so it shows on any colour.
    const int mid = (Pixels / 2) * Zoom;
    const QColor tint(0, 150, 255, 50); // the pixel itself keeps its true colour
    p.fillRect(QRect(loupe.left(), loupe.top() + mid, mid, Zoom), tint);
    p.fillRect(QRect(loupe.left() + mid + Zoom, loupe.top() + mid, Loupe - mid - Zoom, Zoom), tint);
    p.fillRect(QRect(loupe.left() + mid, loupe.top(), Zoom, mid), tint);
    p.fillRect(QRect(loupe.left() + mid, loupe.top() + mid + Zoom, Zoom, Loupe - mid - Zoom), tint);
    const QRect centre(loupe.left() + mid, loupe.top() + mid, Zoom, Zoom);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(centre.adjusted(-1, -1, 0, 0));
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(centre.adjusted(0, 0, -1, -1));
    p.setPen(QPen(QColor(20, 20, 20), 1));
    p.drawRect(loupe.adjusted(0, 0, -1, -1));

    // Position and colour underneath.
    const QRect text(where.left(), loupe.bottom() + 1, Loupe, TextHeight);
    p.fillRect(text, QColor(20, 20, 20, 220));
    const QRgb c = picture.rect().contains(pixel) ? picture.pixel(pixel) : qRgb(0, 0, 0);
    const QRect swatch(text.left() + 6, text.top() + TextHeight / 2 + 2, 12, 12);
    p.fillRect(swatch, QColor(c));
    p.setPen(Qt::white);
    p.drawRect(swatch.adjusted(0, 0, -1, -1));
    p.drawText(QRect(text.left() + 6, text.top() + 2, Loupe - 12, TextHeight / 2), Qt::AlignLeft | Qt::AlignVCenter,
               u"%1, %2"_s.arg(position.x()).arg(position.y()));
    p.drawText(QRect(swatch.right() + 6, text.top() + TextHeight / 2, Loupe - 30, TextHeight / 2),
               Qt::AlignLeft | Qt::AlignVCenter, colourName(c));
    p.restore();
}

} // namespace lumaro::capture::magnifier
