#include "window/ValueOfText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace lumaro {

namespace {

bool skipped(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int digitValue(char16_t c, int base)
{
    int d = -1;
    if (c >= u'0' && c <= u'9')
        d = c - u'0';
    else if (c >= u'a' && c <= u'f')
        d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        d = c - u'A' + 10;
    return d < base ? d : -1;
}

// Walks the text's significant characters, passing over blanks.
struct Cursor
{
    std::u16string_view s;
    std::size_t i = 0;

    char16_t peek()
    {
        while (i < s.size() && skipped(s[i]))
            ++i;
        return i < s.size() ? s[i] : u'\0';
    }
    void next() { ++i; }
};

double radixInteger(Cursor &c, int base)
{
    // Read as an unsigned value; long runs of digits grow to infinity at worst.
    double value = 0;
    for (int d; (d = digitValue(c.peek(), base)) >= 0; c.next())
        value = value * base + d;
    return value;
}

} // namespace

double ValueOfText(std::u16string_view text)
{
    Cursor c{ text };

    if (c.peek() == u'&') {
        c.next();
        const char16_t kind = c.peek();
        if (kind == u'H' || kind == u'h') {
            c.next();
            return radixInteger(c, 16);
        }
        if (kind == u'O' || kind == u'o') {
            c.next();
            return radixInteger(c, 8);
        }
        return 0;
    }

    // Gather the longest leading decimal number, as plain ASCII, for from_chars.
    std::string number;
    bool negative = false;
    if (c.peek() == u'+' || c.peek() == u'-') {
        negative = c.peek() == u'-';
        c.next();
    }
    bool digits = false;
    while (isDigit(c.peek())) {
        number += char(c.peek());
        digits = true;
        c.next();
    }
    if (c.peek() == u'.') {
        number += '.';
        c.next();
        while (isDigit(c.peek())) {
            number += char(c.peek());
            digits = true;
            c.next();
        }
    }
    if (!digits)
        return 0;

    if (c.peek() == u'E' || c.peek() == u'e') {
        // The exponent counts only when digits follow it.
        Cursor look = c;
        look.next();
        std::string exponent = "e";
        if (look.peek() == u'+' || look.peek() == u'-') {
            exponent += char(look.peek());
            look.next();
        }
        bool expDigits = false;
        std::string expValue;
        while (isDigit(look.peek())) {
            // Leading zeros add nothing; an exponent far beyond what a double
            // holds is capped so the text stays short and the result saturates.
            if (!(expValue.empty() && look.peek() == u'0') && expValue.size() < 8)
                expValue += char(look.peek());
            expDigits = true;
            look.next();
        }
        exponent += expValue.empty() ? std::string("0") : expValue;
        if (expDigits)
            number += exponent;
    }

    double value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Tell overflow from underflow by the exponent's sign of the result.
        const auto e = number.find('e');
        const bool tiny = e != std::string::npos && number[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

} // namespace lumaro
