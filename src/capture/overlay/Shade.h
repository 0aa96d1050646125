#pragma once

#include <QImage>
#include <QRegion>

#include <cstdint>

namespace lumaro::capture::shade {

// The frozen screen under the selector, copied into the window's buffer in
// one pass: darkened outside the selection as QPainter darkens an opaque
// pixel under a fill of black at `alpha`, pixel for pixel the same, and as
// it is inside. Drawing the picture and then the shade over it reads and
// writes the whole screen twice, which is most of the selector's first
// frame on a large screen.

// One row of `n` opaque pixels (0xffRRGGBB; the top byte is not read).
void darkRow(std::uint32_t *to, const std::uint32_t *from, int n, int alpha);
void brightRow(std::uint32_t *to, const std::uint32_t *from, int n);

// Copies `from` (a 32-bit opaque picture) into `to` (32-bit, premultiplied
// or opaque), darkened in `dark` and as it is in `bright`; the two regions
// are in `to`'s pixels, and `offset` is where `to`'s pixel (0,0) lies in
// `from`. Large areas are shared between two threads. Returns false, doing
// nothing, where the formats or the regions do not allow it.
bool copy(QImage &to, const QRegion &dark, const QRegion &bright, const QImage &from, QPoint offset, int alpha);

} // namespace lumaro::capture::shade
