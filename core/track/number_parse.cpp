// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/track/number_parse.h"

#include <cstdlib>

namespace {

// Powers of ten that a double holds exactly.
constexpr double exact_powers_of_ten[] = {
    1e0,
    1e1,
    1e2,
    1e3,
    1e4,
    1e5,
    1e6,
    1e7,
    1e8,
    1e9,
    1e10,
    1e11,
    1e12,
    1e13,
    1e14,
    1e15,
    1e16,
    1e17,
    1e18,
    1e19,
    1e20,
    1e21,
    1e22,
};

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// The blanks std::strtod and std::strtoul skip in the C locale.
bool is_blank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The logger's numbers ("47.1234567", "-0.456", "1.5e-3") in the fast way:
// when the digits form an integer below 2^53 and the power of ten is at most
// 22, both are exact doubles and one multiplication or division rounds the
// product correctly, which is what strtod's correctly rounded result is.
// False (nothing set) for anything else: blanks, '+', hex, inf, nan, long
// mantissas, large exponents, no number at all.
bool parse_simple_decimal(const char* text, double* value, const char** end)
{
    const char* p = text;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    uint64_t mantissa = 0; // the significant digits as an integer
    int digits = 0; // significant digits taken into mantissa
    int fraction = 0; // digits after the point
    auto take_digit = [&](char c) {
        if (mantissa == 0 && c == '0')
            return true; // leading zeros are not significant
        if (++digits > 19)
            return false;
        mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
        return true;
    };
    const char* integer_start = p;
    for (; is_digit(*p); ++p) {
        if (!take_digit(*p))
            return false;
    }
    bool had_integer_digits = p != integer_start;
    if (*p == 'x' || *p == 'X')
        return false; // "0x..." is hexadecimal for strtod
    bool had_fraction_digits = false;
    if (*p == '.') {
        ++p;
        for (; is_digit(*p); ++p) {
            if (!take_digit(*p))
                return false;
            ++fraction;
            had_fraction_digits = true;
        }
    }
    if (!had_integer_digits && !had_fraction_digits)
        return false;
    int exponent = 0;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        bool exponent_negative = false;
        if (*q == '+' || *q == '-') {
            exponent_negative = *q == '-';
            ++q;
        }
        // Without digits the 'e' is not part of the number.
        if (is_digit(*q)) {
            for (; is_digit(*q); ++q) {
                if (exponent > 1000)
                    return false;
                exponent = exponent * 10 + (*q - '0');
            }
            if (exponent_negative)
                exponent = -exponent;
            p = q;
        }
    }
    int power = exponent - fraction;
    if (mantissa > (uint64_t { 1 } << 53) || power > 22 || power < -22)
        return false;
    double v = static_cast<double>(mantissa);
    if (power >= 0)
        v = v * exact_powers_of_ten[power];
    else
        v = v / exact_powers_of_ten[-power];
    *value = negative ? -v : v;
    *end = p;
    return true;
}

// Reads a decimal number from the start of text exactly as std::strtod does
// and sets *end behind what it used (text itself when nothing converts).
double parse_double_prefix(const char* text, const char** end)
{
    double value = 0;
    if (parse_simple_decimal(text, &value, end))
        return value;
    char* strtod_end = nullptr;
    value = std::strtod(text, &strtod_end);
    *end = strtod_end;
    return value;
}

} // namespace

double csv_parse_double(const char* text, const char** end)
{
    const char* used = nullptr;
    double value = parse_double_prefix(text, &used);
    if (end)
        *end = used;
    return value;
}

// Reads an unsigned decimal integer from the start of text as the Windows
// runtime's strtoul does with base 10 (32-bit unsigned long): blanks, an
// optional sign (a minus negates modulo 2^32), at least one digit; a value
// beyond 2^32 - 1 reads as 2^32 - 1. Sets *end behind the number, or to text
// when nothing converts.
uint32_t csv_parse_unsigned(const char* text, const char** end)
{
    const char* p = text;
    while (is_blank(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (!is_digit(*p)) {
        *end = text;
        return 0;
    }
    uint64_t value = 0;
    bool overflow = false;
    while (is_digit(*p)) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > UINT32_MAX) {
            overflow = true;
            value = UINT32_MAX;
        }
        ++p;
    }
    *end = p;
    if (overflow)
        return UINT32_MAX;
    uint32_t result = static_cast<uint32_t>(value);
    return negative ? 0u - result : result;
}
