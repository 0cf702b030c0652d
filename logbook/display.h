// SPDX-License-Identifier: GPL-3.0-or-later
// How the logbook shows its numbers: feet and mph or metres and km/h, with
// the report's conversions, and plain aligned text tables.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "core/geometry/units.h"
#include "logbook/jump_record.h"

// An SI value in display units, and the unit's name ("s" and "deg" stay).
double to_display(double si, quantity kind, const display_units& u);
const char* unit_name(quantity kind, const display_units& u);

// A result in display units with the digits the report prints (speeds one
// decimal, lengths and degrees none, times two); "-" when missing.
std::string format_result(const std::optional<double>& si, quantity kind, const display_units& u);

// A gate height above the stop with its 1-sigma, "1.5 +/- 0.2" in display
// lengths with one decimal as the report prints them; "-" when missing.
std::string format_gate_height(
    const std::optional<double>& si, const std::optional<double>& sigma, const display_units& u);

// Whether a row's heights came from its sensor file (add -b).
bool heights_from_sensor(const jump_record& j);

// Rows of cells printed with the columns padded to their widest cell (by
// characters of UTF-8 text); the last column is printed as it is.
struct text_table {
    std::vector<bool> right_aligned; // per column
    std::vector<std::vector<std::string>> rows; // the first row is the header
};
void print_table(std::FILE* out, const text_table& table);
