#include "common/ColorRef.h"

namespace lumaro {

QColor colorFromColorRef(std::uint32_t bgr)
{
    return QColor(int(bgr & 0xff), int((bgr >> 8) & 0xff), int((bgr >> 16) & 0xff));
}

std::uint32_t colorRefFromColor(const QColor &color)
{
    const QColor c = color.toRgb();
    return std::uint32_t(c.red()) | (std::uint32_t(c.green()) << 8) | (std::uint32_t(c.blue()) << 16);
}

} // namespace lumaro
