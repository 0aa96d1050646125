#include "window/RoundToEven.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace lumaro {

qint32 roundToEven(double value)
{
    if (std::isnan(value))
        return 0;
    const double r = std::nearbyint(value); // default rounding mode: ties to even
    return qint32(std::clamp(r, double(std::numeric_limits<qint32>::min()),
                             double(std::numeric_limits<qint32>::max())));
}

} // namespace lumaro
