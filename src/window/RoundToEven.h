#pragma once

#include <QtGlobal>

namespace lumaro {

// Rounds to the nearest integer, a tie to the even one, clamped to 32 bits;
// NaN gives 0.
qint32 roundToEven(double value);

} // namespace lumaro
