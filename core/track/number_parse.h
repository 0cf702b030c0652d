// SPDX-License-Identifier: GPL-3.0-or-later
// The number conversions of the logger readers.
#pragma once

#include <cstdint>

// Exactly what std::strtod gives (leading blanks, sign, exponent, inf, nan,
// hex; text that is not a number reads as 0), computed faster where that is
// safe. With end, *end is set behind the characters used, as strtod's end
// pointer.
double csv_parse_double(const char* text, const char** end = nullptr);

// Reads an unsigned decimal integer from the start of text as the Windows
// runtime's strtoul does with base 10 (32-bit unsigned long): blanks, an
// optional sign (a minus negates modulo 2^32), at least one digit; a value
// beyond 2^32 - 1 reads as 2^32 - 1. Sets *end behind the number, or to text
// when nothing converts.
uint32_t csv_parse_unsigned(const char* text, const char** end);
