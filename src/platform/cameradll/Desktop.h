#pragma once

#include <QImage>
#include <QRect>

#include <vector>

namespace lumaro::capture {

// Every screen as one grid of pixels, so that a selection can start on one
// screen and end on another. A screen whose frozen picture has `scale`
// device pixels per logical pixel covers its logical rectangle multiplied by
// the largest scale of all screens: on the finest screen one desktop pixel is
// one device pixel, on a screen of half its scale one device pixel is a 2 x 2
// cell of desktop pixels. With every screen at scale 1 the desktop pixels are
// the screens' own pixels.
class Desktop
{
public:
    struct Screen
    {
        QRect logical; // as QScreen::geometry() gives it
        qreal scale;   // device pixels per logical pixel of its frozen picture
        QRect area;    // in desktop pixels
    };

    Desktop() = default;
    // One entry per screen: its logical rectangle and the scale of its picture.
    // Given each picture's size too, a screen at the largest scale covers its
    // whole picture, also a last row or column that lies past its logical
    // size times its scale (FrozenScreen::scale).
    explicit Desktop(const std::vector<std::pair<QRect, qreal>> &screens, const std::vector<QSize> &pixels = {});

    const std::vector<Screen> &screens() const { return m_screens; }
    // Desktop pixels per logical pixel: the largest scale of all screens.
    qreal scale() const { return m_scale; }
    // The smallest rectangle around every screen, in desktop pixels.
    QRect bounds() const { return m_bounds; }

    // The screen whose area holds the desktop pixel, or -1.
    int screenAt(QPoint desktop) const;
    // The screen whose logical rectangle holds the point, or -1.
    int screenAtLogical(QPointF logical) const;

    // The desktop pixels of the device pixel under a logical point on `screen`
    // (clamped to that screen): the cell a click there stands for.
    QRect cellAt(int screen, QPointF logical) const;
    // The same, on whichever screen holds the point (the nearest one if none does).
    QRect cellAt(QPointF logical) const;

    // The desktop position of a logical point, in fractions of a desktop pixel.
    QPointF toDesktop(QPointF logical) const;

    // Logical rectangle (global coordinates) of a desktop rectangle, for painting.
    QRectF toLogical(const QRect &desktop) const;
    // Desktop rectangle of a logical one, through the screen that holds its centre.
    QRect fromLogical(const QRectF &logical) const;

    // The pixels of `selection` from each screen's own picture, composed at the
    // largest scale among the screens the selection touches. `pictures` holds one
    // picture per screen, in the order of screens(). Corners are inclusive.
    QImage compose(const QRect &selection, const std::vector<QImage> &pictures) const;

    // The largest scale among the screens that `selection` touches.
    qreal scaleFor(const QRect &selection) const;

private:
    std::vector<Screen> m_screens;
    qreal m_scale = 1;
    QRect m_bounds;
};

// Cuts one picture of the whole desktop (what a desktop portal returns: the
// screens' layout at one scale) into one picture per screen, by the screens'
// logical rectangles. Empty, with `error` set, when the picture does not have
// the layout's proportions.
std::vector<QImage> splitDesktopPicture(const QImage &whole, const std::vector<QRect> &screens, QString *error);

} // namespace lumaro::capture
