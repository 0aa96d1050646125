// libFuzzer target: ValueOfText must take any text without crashing, without
// undefined behaviour and without producing NaN.

#include "window/ValueOfText.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using lumaro::ValueOfText;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::u16string text(size / 2, u'\0');
    std::memcpy(text.data(), data, text.size() * 2);
    const double v = ValueOfText(text);
    if (std::isnan(v))
        std::abort();
    // Bytes as Latin-1 too, which reaches the ASCII grammar far more often.
    std::u16string latin(data, data + size);
    if (std::isnan(ValueOfText(latin)))
        std::abort();
    return 0;
}
