#pragma once

#include <QImage>
#include <QRect>

#include <vector>

namespace lumaro::capture {

// Every screen as one grid of pixels, so that a selection can start on one
// screen and end on another.
//
// Where the window system lays the screens out in their own pixels (X11,
// Windows), that is the grid: each screen's pixels are desktop pixels, where
// the screens lie, whatever scale each one has. A drag across two screens of
// different scales takes exactly the pixels between its corners.
//
// Where it lays them out in logical pixels only (Wayland), a screen whose
// frozen picture has `scale` device pixels per logical pixel covers its
// logical rectangle multiplied by the largest scale of all screens: on the
// finest screen one desktop pixel is one device pixel, on a screen of half
// its scale one device pixel is a 2 x 2 cell of desktop pixels. A capture
// across such screens holds each part at its own density, stitched at the
// finest one.
//
// With every screen at scale 1 the desktop pixels are the screens' own
// pixels either way.
class Desktop
{
public:
    struct Screen
    {
        QRect logical;     // as QScreen::geometry() gives it
        qreal scale;       // device pixels per logical pixel of its frozen picture
        QRect area;        // in desktop pixels
        qreal perLogical;  // desktop pixels per logical pixel here
        QSize devices;     // the frozen picture's size, in device pixels
    };
    // Where a screen is. `native` is its rectangle in the window system's
    // own pixels, or empty where the window system has none (Wayland).
    // `pixels` is its picture's size, where known: a screen at the largest
    // scale then covers its whole picture, also a last row or column past its
    // logical size times its scale (a compositor rounds the logical size
    // down).
    struct Place
    {
        QRect logical;
        qreal scale;
        QRect native = {};
        QSize pixels = {};
        qreal ratio = 0; // with `native`: the window system's pixels per logical one
    };

    Desktop() = default;
    explicit Desktop(const std::vector<Place> &screens);

    const std::vector<Screen> &screens() const { return m_screens; }
    // Desktop pixels per logical pixel on the finest screen.
    qreal scale() const { return m_scale; }
    // The smallest rectangle around every screen, in desktop pixels.
    QRect bounds() const { return m_bounds; }
    // The desktop pixels are the window system's own (see above).
    bool native() const { return m_native; }

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

    // The logical point at the centre of a desktop pixel: the place whose
    // cell is that pixel.
    QPointF centreOf(QPoint desktop) const;

    // Logical rectangle (global coordinates) of a desktop rectangle, for painting.
    QRectF toLogical(const QRect &desktop) const;
    // Desktop rectangle of a logical one, through the screen that holds its centre.
    QRect fromLogical(const QRectF &logical) const;

    // The pixels of `selection` from each screen's own picture, composed at the
    // largest density among the screens the selection touches. `pictures` holds one
    // picture per screen, in the order of screens(). Corners are inclusive.
    QImage compose(const QRect &selection, const std::vector<QImage> &pictures) const;

    // Pixels of the composed picture per desktop pixel, for `selection`.
    qreal outputPerDesktop(const QRect &selection) const;
    // Device pixels of `screen` per desktop pixel.
    qreal devicePerDesktop(int screen) const;

private:
    std::vector<Screen> m_screens;
    qreal m_scale = 1;
    QRect m_bounds;
    bool m_native = false;
};

} // namespace lumaro::capture
