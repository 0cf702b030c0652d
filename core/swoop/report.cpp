// SPDX-License-Identifier: GPL-3.0-or-later
// The results report: the plain-text summary of an analysed swoop's results,
// in feet and mph or in metres and km/h.

#include "core/swoop/report.h"
#include "core/swoop/swoop_stages.h"

#include <cmath>
#include <cstdio>
#include <new>

#include "core/geometry/units.h"
#include "core/track/error_text.h"

namespace {

// A short field of at most 5 characters; longer output is cut.
struct short_field {
    char text[6];
};

short_field dashes(const char* d)
{
    short_field f {};
    std::snprintf(f.text, sizeof f.text, "%s", d);
    return f;
}

// A result in display units (factor per SI unit) in a short field; a missing
// value, or one that is not a finite number in display units, prints as the
// dashes.
short_field number(const char* format, const std::optional<double>& si, double factor, const char* missing)
{
    if (!si || !std::isfinite(*si * factor))
        return dashes(missing);
    short_field f {};
    std::snprintf(f.text, sizeof f.text, format, *si * factor);
    return f;
}

// One number of a report line as the format prints it; a missing value, or
// one that is not a finite number in display units, prints as dashes as wide
// as the format's field (four at least), so the line keeps its shape and
// shows the value as missing.
std::string fixed(const char* format, int width, const std::optional<double>& si, double factor = 1)
{
    if (!si || !std::isfinite(*si * factor))
        return std::string(static_cast<size_t>(width < 4 ? 4 : width), '-');
    char text[320]; // "%.1f" of the largest double: 309 digits, point, one decimal
    std::snprintf(text, sizeof text, format, *si * factor);
    return text;
}

// A back or offset of the bottom: sizes that print as 0 print without a sign.
std::optional<double> unsigned_zero(const std::optional<double>& v, double factor)
{
    if (!v)
        return v;
    const double shown = *v * factor;
    return std::fabs(shown) <= 0.5 ? 0.0 : shown;
}

// Height, back and offset of a reported position, then the formatted line tail.
void position_line(strbuf& sb, const char* label, const result_position& p, const display_units& u)
{
    strbuf_printf(sb, "%s%s %s AGL, %s %s back, %s %s offset", label,
        fixed("%4.0f", 4, p.height, u.length_factor).c_str(), u.length_short,
        fixed("%4.0f", 4, p.back, u.length_factor).c_str(), u.length_short,
        fixed("%4.0f", 4, p.offset, u.length_factor).c_str(), u.length_short);
}

void speed_tail(strbuf& sb, const std::optional<double>& mps, const display_units& u)
{
    strbuf_printf(sb, " (%s %s)\n", fixed("%.1f", 4, mps, u.speed_factor).c_str(), u.speed_name);
}

} // namespace

std::string swoop_report(const swoop& s, const display_units& u, const char** err)
{
    const swoop_results& r = s.results;
    if (!r.has_samples) {
        // Nothing to report on: the lines read samples of the track.
        *err = errmsg("no points found in track");
        return std::string();
    }
    const short_field exit_height = number("%5.0f", r.exit_height, u.length_factor, "-----");
    const short_field entry_speed = number("%.1f", r.entry_gate_speed, u.speed_factor, "----");
    const short_field course_time = number("%.2f", r.speed_course_time, 1, "----");
    const short_field exit_speed = number("%.1f", r.exit_gate_speed, u.speed_factor, "----");

    const char* sb_err = nullptr;
    strbuf sb;
    try {
        if (!strbuf_new(sb, &sb_err)) {
            *err = errmsg("malloc() failed");
            return std::string();
        }
    } catch (const std::bad_alloc&) {
        *err = errmsg("malloc() failed");
        return std::string();
    }

    const double lf = u.length_factor;
    strbuf_printf(sb, "exited airplane:     %s %s AGL\n", exit_height.text, u.length_short);
    position_line(sb, "initiated turn:       ", r.turn_start, u);
    strbuf_printf(sb, "\n");
    position_line(sb, "max vertical speed:   ", r.max_vertical, u);
    speed_tail(sb, r.max_vertical_speed, u);
    position_line(sb, "started rollout:      ", r.rollout_start, u);
    speed_tail(sb, r.rollout_vertical_speed, u);
    strbuf_printf(sb, "finished rollout:     %s %s AGL, %s %s back, %s %s offset\n",
        fixed("%4.0f", 4, r.rollout_end.height, lf).c_str(), u.length_short,
        fixed("%4.0f", 4, unsigned_zero(r.rollout_end.back, lf)).c_str(), u.length_short,
        fixed("%4.0f", 4, unsigned_zero(r.rollout_end.offset, lf)).c_str(), u.length_short);
    position_line(sb, "max total speed:      ", r.max_total, u);
    speed_tail(sb, r.max_total_speed, u);
    position_line(sb, "max horizontal speed: ", r.max_horizontal, u);
    speed_tail(sb, r.max_horizontal_speed, u);
    strbuf_printf(sb, "\n");
    strbuf_printf(sb, "degrees of rotation:      %s deg (%s)\n", fixed("%4.0f", 4, r.turn_degrees).c_str(),
        r.right_hand ? "right-hand" : "left-hand");
    strbuf_printf(sb, "time to execute turn:    %5.2f sec\n", r.turn_time);
    strbuf_printf(sb, "time during rollout:     %5.2f sec\n", r.rollout_time);
    strbuf_printf(sb, "time aloft during swoop: %5.2f sec\n", r.time_aloft);
    strbuf_printf(sb, "\n");
    strbuf_printf(sb, "entry gate speed:      %s %s\n", entry_speed.text, u.speed_name);
    strbuf_printf(
        sb, "distance to stop:      %s %s\n", fixed("%.0f", 4, r.stop_distance, lf).c_str(), u.length_short);
    strbuf_printf(sb, "touchdown estimate:    %s %s (%s %s)\n",
        fixed("%.0f", 4, r.touchdown_distance, lf).c_str(), u.length_short,
        fixed("%.1f", 4, r.touchdown_speed, u.speed_factor).c_str(), u.speed_name);
    strbuf_printf(
        sb, "speed carve time:      %s sec (%s %s)\n", course_time.text, exit_speed.text, u.speed_name);

    if (sb_err) {
        *err = sb_err;
        return std::string();
    }
    return strbuf_text(sb);
}
