#pragma once

#include <QImage>
#include <QRect>
#include <QString>

class QPainter;

namespace lumaro::capture {

// The loupe beside the pointer: the frozen pixels around it, eight times
// larger, with a pixel grid, a cross-hair on the pixel under the pointer, and
// below them that pixel's position and colour.
namespace magnifier {

constexpr int Pixels = 15;            // device pixels across, the pointer's in the middle
constexpr int Zoom = 8;               // logical pixels per device pixel shown
constexpr int Loupe = Pixels * Zoom;  // 120
constexpr int TextHeight = 36;        // two lines under the loupe
constexpr int Gap = 20;               // from the pointer

// Where the magnifier goes for a pointer at `cursor` on `screen` (logical
// pixels): below and right of it, or on the other side of it near a screen
// edge, never over the point under the pointer.
QRect place(QPoint cursor, QRect screen);

// Paints the magnifier into `where` from `picture` (a screen's frozen device
// pixels), centred on `pixel`. `position` is the pointer's position as shown.
void paint(QPainter &p, const QRect &where, const QImage &picture, QPoint pixel, QPoint position);

} // namespace magnifier
} // namespace lumaro::capture
