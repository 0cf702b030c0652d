// SPDX-License-Identifier: GPL-3.0-or-later
// The wind's lines of the results report: the estimate and the airspeeds it
// gives, after the report's own lines.

#include "core/swoop/wind_report.h"

#include <cmath>
#include <cstdio>

namespace {

// "%.1f" of a speed in display units, or four dashes when there is none.
std::string speed_text(double mps, double factor)
{
    const double shown = mps * factor;
    if (!(mps > 0) || !std::isfinite(shown))
        return "----";
    char text[320]; // "%.1f" of the largest double
    std::snprintf(text, sizeof text, "%.1f", shown);
    return text;
}

std::string line(const char* format, const std::string& a, const char* b)
{
    char text[400];
    std::snprintf(text, sizeof text, format, a.c_str(), b);
    return text;
}

} // namespace

double wind_from_rounded(double from)
{
    // The same rounding as printf's (to nearest, halves to even).
    double r = std::nearbyint(from);
    r = std::fmod(r, 360.0);
    if (r < 0)
        r += 360;
    return r == 0 ? 0.0 : r; // never a negative zero
}

std::string report_wind_lines(const swoop& s, const wind_estimate& w, const display_units& u)
{
    const double vf = u.speed_factor;
    std::string text = "\n";
    if (w.present && std::isfinite(w.speed * vf) && std::isfinite(w.speed_sigma * vf)
        && std::isfinite(w.from)) {
        char wind[700];
        std::snprintf(wind, sizeof wind, "wind:                  %.1f %s from %03.0f deg (+/- %.1f %s)\n",
            w.speed * vf, u.speed_name, wind_from_rounded(w.from), w.speed_sigma * vf, u.speed_name);
        text += wind;
    } else {
        // An estimate that is not a finite number counts as none.
        text += "wind:                  ---- (";
        text += w.present ? "no steady airspeed under canopy" : w.reason;
        text += ")\n";
    }
    const bool usable = w.present && std::isfinite(w.local[0]) && std::isfinite(w.local[1]);
    const double entry = usable ? swoop_entry_gate_airspeed(s, w) : 0;
    const double max_horz = usable ? swoop_max_horz_airspeed(s, w, nullptr) : 0;
    text += line("entry gate airspeed:   %s %s\n", speed_text(entry, vf), u.speed_name);
    text += line("max horz airspeed:     %s %s\n", speed_text(max_horz, vf), u.speed_name);
    return text;
}
