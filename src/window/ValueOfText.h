#pragma once

#include <string_view>

namespace lumaro {

// The numeric reading of a text box: blanks, tabs and line feeds are skipped
// anywhere; the longest leading number is read (sign, digits, one full stop,
// exponent E with an optionally signed integer), or a hexadecimal (&H) or
// octal (&O) integer. A text without a leading number reads as 0. Linear in
// the text's length for any input; overflowing exponents give ±infinity.
double ValueOfText(std::u16string_view text);

} // namespace lumaro

#ifdef QT_CORE_LIB
#include <QStringView>
namespace lumaro {
inline double ValueOfText(QStringView text)
{
    return ValueOfText(std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()),
                                           std::size_t(text.size())));
}
} // namespace lumaro
#endif
