#pragma once

namespace lumaro::capture {

// How dark the frozen screen is outside the selection: black at this alpha
// (of 255) over it.
constexpr int DimAlpha = 100;

} // namespace lumaro::capture
