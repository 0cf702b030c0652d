// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/swoop/baro_report.h"

#include <cmath>
#include <cstdio>

namespace {

// "%.1f" of a length in display units, or "----" when it is unknown or not
// a finite number.
std::string tenths(bool known, double metres, double factor)
{
    const double shown = metres * factor;
    if (!known || !std::isfinite(shown))
        return "----";
    char text[320]; // "%.1f" of the largest double
    std::snprintf(text, sizeof text, "%.1f", shown);
    return text;
}

std::string gate_line(const char* label, const height_above_stop& h, const display_units& u)
{
    const std::string height = tenths(h.known, h.height, u.length_factor);
    const std::string sigma = tenths(h.known, h.sigma, u.length_factor);
    return std::string(label) + height + " " + u.length_short + " above the stop (+/- " + sigma + " "
        + u.length_short + ")\n";
}

} // namespace

std::string report_baro_lines(const gate_heights* heights, const display_units& u)
{
    if (!heights)
        return "\nheights from:          GPS (no sensor file)\n";
    return "\nheights from:          barometer and GPS\n"
        + gate_line("entry gate height:     ", heights->entry_gate, u)
        + gate_line("exit gate height:      ", heights->exit_gate, u);
}
