#pragma once

namespace lumaro::capture {

// How dark the frozen screen is outside the selection: black at this alpha
// (of 255) over it. The overlay paints it; the X11 backend makes the same
// darker copy on the server, shown the moment the overlay maps.
constexpr int DimAlpha = 100;

} // namespace lumaro::capture
