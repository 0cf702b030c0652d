// SPDX-License-Identifier: GPL-3.0-or-later
// Display units and aligned tables.

#include "logbook/display.h"

#include <glib.h>

#include <algorithm>

namespace {

// Characters a cell takes on a terminal: UTF-8 characters, or bytes of other text.
size_t cell_width(const std::string& cell)
{
    if (g_utf8_validate(cell.data(), static_cast<gssize>(cell.size()), nullptr))
        return static_cast<size_t>(g_utf8_strlen(cell.data(), static_cast<gssize>(cell.size())));
    return cell.size();
}

} // namespace

double to_display(double si, quantity kind, const display_units& u)
{
    switch (kind) {
    case quantity::speed:
        return si * u.speed_factor;
    case quantity::length:
        return si * u.length_factor;
    default:
        return si;
    }
}

const char* unit_name(quantity kind, const display_units& u)
{
    switch (kind) {
    case quantity::speed:
        return u.speed_name;
    case quantity::length:
        return u.length_short;
    case quantity::duration:
        return "s";
    default:
        return "deg";
    }
}

std::string format_result(const std::optional<double>& si, quantity kind, const display_units& u)
{
    if (!si)
        return "-";
    const char* format = kind == quantity::speed ? "%.1f" : kind == quantity::duration ? "%.2f" : "%.0f";
    char text[64];
    std::snprintf(text, sizeof text, format, to_display(*si, kind, u));
    return text;
}

std::string format_gate_height(
    const std::optional<double>& si, const std::optional<double>& sigma, const display_units& u)
{
    if (!si || !sigma)
        return "-";
    char text[128];
    std::snprintf(text, sizeof text, "%.1f +/- %.1f", *si * u.length_factor, *sigma * u.length_factor);
    return text;
}

bool heights_from_sensor(const jump_record& j)
{
    return j.heights.source && *j.heights.source != "GPS";
}

void print_table(std::FILE* out, const text_table& table)
{
    std::vector<size_t> widths;
    for (const auto& row : table.rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], cell_width(row[c]));
    }
    for (const auto& row : table.rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            const bool last = c + 1 == row.size();
            const std::string pad(widths[c] - cell_width(row[c]), ' ');
            const bool right = c < table.right_aligned.size() && table.right_aligned[c];
            if (c > 0)
                line += "  ";
            if (last && !right)
                line += row[c];
            else
                line += right ? pad + row[c] : row[c] + pad;
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), out);
    }
}
