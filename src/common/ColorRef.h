#pragma once

// Colours travel as the 32-bit 0x00BBGGRR values the window's colour
// properties use; Qt paints with QColor.

#include <QColor>

#include <cstdint>

namespace lumaro {

QColor colorFromColorRef(std::uint32_t bgr);
std::uint32_t colorRefFromColor(const QColor &color);

} // namespace lumaro
