#pragma once

#include <QString>

namespace lumaro {

// A size as the read-out shows it: the shortest text with at most seven
// significant digits ("3000", "1584.5"), full stop as decimal point.
QString sizeText(float value);

} // namespace lumaro
