// The results report: the plain-text summary of an analysed swoop, in feet
// and mph or in metres and km/h.

#include "core/swoop/report.h"
#include "core/swoop/swoop_stages.h"

#include <cmath>
#include <cstdio>
#include <new>

#include "core/geometry/geodetic.h"
#include "core/geometry/units.h"
#include "core/track/error_text.h"
#include "core/track/track_frames.h"

namespace {

struct units {
    const char* length; // "ft" or "m"
    double length_factor; // per metre
    const char* speed; // "mph" or "km/h"
    double speed_factor; // per m/s
};

constexpr units imperial { "ft", feet_per_metre, "mph", mph_per_mps };
constexpr units metric_units { "m", 1, "km/h", kmh_per_mps };

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

// A value that is not a finite number (a track with "nan", "inf" or "1e999"
// in it) prints as the dashes of a missing value.
short_field number(const char* format, double v, const char* missing)
{
    if (!std::isfinite(v))
        return dashes(missing);
    short_field f {};
    std::snprintf(f.text, sizeof f.text, format, v);
    return f;
}

// One number of a report line as the format prints it; a value that is not a
// finite number prints as dashes as wide as the format's field (four at
// least), so the line keeps its shape and shows the value as missing.
std::string fixed(const char* format, int width, double v)
{
    if (!std::isfinite(v))
        return std::string(static_cast<size_t>(width < 4 ? 4 : width), '-');
    char text[320]; // "%.1f" of the largest double: 309 digits, point, one decimal
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// Seconds between two millisecond times (later minus earlier, signed, so a
// touchdown estimate before the bottom shows as a negative time).
double seconds_between(uint64_t later, uint64_t earlier)
{
    return static_cast<double>(static_cast<int64_t>(later - earlier)) / 1000;
}

// A back or offset of the bottom: sizes that print as 0 print without a sign.
double unsigned_zero(double v)
{
    return std::fabs(v) <= 0.5 ? 0.0 : v;
}

// Height, back and offset of a sample, then the formatted line tail.
void position_line(strbuf& sb, const char* label, const gps_point& p, const units& u)
{
    strbuf_printf(sb, "%s%s %s AGL, %s %s back, %s %s offset", label,
        fixed("%4.0f", 4, p.pos_local[2] * u.length_factor).c_str(), u.length,
        fixed("%4.0f", 4, -p.pos_local[0] * u.length_factor).c_str(), u.length,
        fixed("%4.0f", 4, -p.pos_local[1] * u.length_factor).c_str(), u.length);
}

void speed_tail(strbuf& sb, double mps, const units& u)
{
    strbuf_printf(sb, " (%s %s)\n", fixed("%.1f", 4, mps * u.speed_factor).c_str(), u.speed);
}

} // namespace

std::string swoop_report(const swoop& s, bool metric, const char** err)
{
    const units& u = metric ? metric_units : imperial;
    const std::vector<gps_point>& t = s.track;
    if (s.track_len == 0 || t.size() < s.track_len) {
        // Nothing to report on: the lines read samples of the track.
        *err = errmsg("no points found in track");
        return std::string();
    }
    auto sample = [&](uint32_t i) -> const gps_point& { return t[i < s.track_len ? i : 0]; };

    const short_field exit_height = s.plane_exit != 0
        ? number("%5.0f", sample(s.plane_exit).pos_local[2] * u.length_factor, "-----")
        : dashes("-----");
    const short_field entry_speed = s.entry_gate_speed != 0
        ? number("%.1f", s.entry_gate_speed * u.speed_factor, "----")
        : dashes("----");
    const short_field course_time = s.exit_gate_time != 0
        ? number("%.2f", seconds_between(s.exit_gate_time, s.entry_gate_time), "----")
        : dashes("----");
    const short_field exit_speed = s.exit_gate_speed != 0
        ? number("%.1f", s.exit_gate_speed * u.speed_factor, "----")
        : dashes("----");

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

    const gps_point& top = sample(s.top_of_turn);
    const gps_point& vert = sample(s.max_vert_speed);
    const gps_point& roll = sample(s.rollout);
    const gps_point& total = sample(s.max_total_speed);
    const gps_point& horz = sample(s.max_horz_speed);
    const gps_point& stop = sample(s.stop);
    const double lf = u.length_factor;

    strbuf_printf(sb, "exited airplane:     %s %s AGL\n", exit_height.text, u.length);
    position_line(sb, "initiated turn:       ", top, u);
    strbuf_printf(sb, "\n");
    position_line(sb, "max vertical speed:   ", vert, u);
    speed_tail(sb, -vert.vel_local[2], u);
    position_line(sb, "started rollout:      ", roll, u);
    speed_tail(sb, -roll.vel_local[2], u);
    strbuf_printf(sb, "finished rollout:     %s %s AGL, %s %s back, %s %s offset\n",
        fixed("%4.0f", 4, s.bottom_zpos * lf).c_str(), u.length,
        fixed("%4.0f", 4, unsigned_zero(-s.bottom_xpos * lf)).c_str(), u.length,
        fixed("%4.0f", 4, unsigned_zero(-s.bottom_ypos * lf)).c_str(), u.length);
    position_line(sb, "max total speed:      ", total, u);
    speed_tail(sb, total_speed(total), u);
    position_line(sb, "max horizontal speed: ", horz, u);
    speed_tail(sb, horizontal_speed(horz), u);
    strbuf_printf(sb, "\n");
    strbuf_printf(sb, "degrees of rotation:      %s deg (%s)\n",
        fixed("%4.0f", 4, std::fabs(s.turn_degrees)).c_str(),
        s.turn_degrees >= 0 ? "right-hand" : "left-hand");
    strbuf_printf(sb, "time to execute turn:    %5.2f sec\n",
        seconds_between(static_cast<uint64_t>(roll.time), static_cast<uint64_t>(top.time)));
    strbuf_printf(sb, "time during rollout:     %5.2f sec\n",
        seconds_between(s.bottom_time, static_cast<uint64_t>(roll.time)));
    strbuf_printf(
        sb, "time aloft during swoop: %5.2f sec\n", seconds_between(s.touchdown_time, s.bottom_time));
    strbuf_printf(sb, "\n");
    strbuf_printf(sb, "entry gate speed:      %s %s\n", entry_speed.text, u.speed);
    strbuf_printf(
        sb, "distance to stop:      %s %s\n", fixed("%.0f", 4, stop.pos_local[0] * lf).c_str(), u.length);
    strbuf_printf(sb, "touchdown estimate:    %s %s (%s %s)\n",
        fixed("%.0f", 4, s.touchdown_distance * lf).c_str(), u.length,
        fixed("%.1f", 4, s.touchdown_speed * u.speed_factor).c_str(), u.speed);
    strbuf_printf(sb, "speed carve time:      %s sec (%s %s)\n", course_time.text, exit_speed.text, u.speed);

    if (sb_err) {
        *err = sb_err;
        return std::string();
    }
    return strbuf_text(sb);
}
