// SPDX-License-Identifier: GPL-3.0-or-later
// The results record of an analysed swoop.

#include "core/swoop/results.h"

#include <cmath>

#include "core/swoop/swoop.h"
#include "core/track/track_frames.h"

namespace {

std::optional<double> if_finite(double v)
{
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

// A record field that holds 0 when the result is missing.
std::optional<double> unless_zero(double v)
{
    return v != 0 ? if_finite(v) : std::nullopt;
}

// Seconds between two millisecond times (later minus earlier, signed, so a
// touchdown estimate before the bottom shows as a negative time).
double seconds_between(uint64_t later, uint64_t earlier)
{
    return static_cast<double>(static_cast<int64_t>(later - earlier)) / 1000;
}

result_position position(double x, double y, double z)
{
    return { if_finite(z), if_finite(-x), if_finite(-y) };
}

result_position position(const gps_point& p)
{
    return position(p.pos_local[0], p.pos_local[1], p.pos_local[2]);
}

} // namespace

swoop_results swoop_results_compute(const swoop& s)
{
    swoop_results r;
    if (s.track_len == 0 || s.track.size() < s.track_len)
        return r;
    r.has_samples = true;
    auto at = [&](uint32_t i) -> const gps_point& { return s.track[i < s.track_len ? i : 0]; };
    const gps_point& top = at(s.top_of_turn);
    const gps_point& vert = at(s.max_vert_speed);
    const gps_point& roll = at(s.rollout);
    const gps_point& total = at(s.max_total_speed);
    const gps_point& horz = at(s.max_horz_speed);

    if (s.plane_exit != 0)
        r.exit_height = if_finite(at(s.plane_exit).pos_local[2]);
    r.turn_start = position(top);
    r.max_vertical = position(vert);
    r.rollout_start = position(roll);
    r.rollout_end = position(s.bottom_xpos, s.bottom_ypos, s.bottom_zpos);
    r.max_total = position(total);
    r.max_horizontal = position(horz);
    r.max_vertical_speed = if_finite(-vert.vel_local[2]);
    r.rollout_vertical_speed = if_finite(-roll.vel_local[2]);
    r.max_total_speed = if_finite(total_speed(total));
    r.max_horizontal_speed = if_finite(horizontal_speed(horz));

    r.turn_degrees = if_finite(std::fabs(s.turn_degrees));
    r.right_hand = s.turn_degrees >= 0;
    r.turn_time = seconds_between(static_cast<uint64_t>(roll.time), static_cast<uint64_t>(top.time));
    r.rollout_time = seconds_between(s.bottom_time, static_cast<uint64_t>(roll.time));
    r.time_aloft = seconds_between(s.touchdown_time, s.bottom_time);

    r.entry_gate_speed = unless_zero(s.entry_gate_speed);
    r.exit_gate_speed = unless_zero(s.exit_gate_speed);
    if (s.exit_gate_time != 0)
        r.speed_course_time = seconds_between(s.exit_gate_time, s.entry_gate_time);
    r.stop_distance = if_finite(at(s.stop).pos_local[0]);
    r.touchdown_distance = if_finite(s.touchdown_distance);
    r.touchdown_speed = if_finite(s.touchdown_speed);
    return r;
}
