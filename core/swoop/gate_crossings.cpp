// SPDX-License-Identifier: GPL-3.0-or-later
// Gate crossings: the entry gate (the line x = 0 of the local frame, 30 m
// wide), the exit gate of the curved speed course, and the turn total.

#include "core/swoop/swoop_stages.h"

#include <cmath>
#include <numbers>

#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "core/track/track_frames.h"

namespace {

using std::numbers::pi;
constexpr double entry_gate_half_width = 15; // m, bounds included
constexpr double carve_angle = 75; // degrees of the speed-course arc
constexpr double stop_near_exit_gate = 10; // m from the exit gate centre
constexpr double carve_side_limit = 10; // m of entry offset toward the turn
constexpr double exit_gate_made = 12; // m from the exit gate centre
constexpr double exit_gate_side_only = 20; // m from the exit gate centre

// Which way the swoop crossed the entry gate line.
enum class crossing_direction { none, normal, reversed };

// The ends and centre of the exit gate on one side of the course
// (side 1 = +y, side 0 = -y), local metres.
struct exit_gate_points {
    vec3 inner, centre, outer;
};

exit_gate_points exit_gate_on_side(int side)
{
    exit_gate_points g {};
    carve_points(carve_angle, carve_radius, carve_width, &g.inner, &g.centre, &g.outer);
    if (side == 0) {
        g.inner[1] = -g.inner[1];
        g.centre[1] = -g.centre[1];
        g.outer[1] = -g.outer[1];
    }
    return g;
}

// Entry gate; returns the direction in which this frame sees the gate line crossed.
crossing_direction entry_gate(swoop& s)
{
    s.entry_gate = 0;
    s.entry_gate_time = 0;
    s.entry_gate_speed = 0;
    s.entry_gate_ypos = 0;

    const std::vector<gps_point>& t = s.track;
    if (s.stop >= s.track_len || s.rollout >= s.stop)
        return crossing_direction::none; // no swoop phases to measure
    const double x_rollout = t[s.rollout].pos_local[0]; // m
    const double x_stop = t[s.stop].pos_local[0]; // m
    crossing_direction dir = crossing_direction::none;
    if (x_rollout < 0 && x_stop > 0) {
        dir = crossing_direction::normal;
    } else if (x_rollout > 0 && x_stop < 0) {
        dir = crossing_direction::reversed;
        s.reversal_detected = true;
    } else {
        // Both on one side, or an end exactly on the line (or not a number):
        // the line was not crossed.
        return crossing_direction::none;
    }

    uint32_t i = s.rollout + 1;
    for (; i <= s.stop; ++i) {
        const double x = t[i].pos_local[0];
        if (dir == crossing_direction::normal ? x >= 0 : x <= 0)
            break;
    }
    const uint32_t k = i - 1;
    const double x0 = t[k].pos_local[0];
    const double x1 = t[k + 1].pos_local[0];
    const double ypos = interpolate(t[k].pos_local[1], t[k + 1].pos_local[1], x0, x1, 0);
    if (ypos >= -entry_gate_half_width && ypos <= entry_gate_half_width) {
        s.entry_gate = k;
        s.entry_gate_ypos = ypos;
        s.entry_gate_time = static_cast<uint64_t>(swoop_whole_ms(
            interpolate(static_cast<double>(t[k].time), static_cast<double>(t[k + 1].time), x0, x1, 0),
            t[k].time));
        s.entry_gate_speed = interpolate(horizontal_speed(t[k]), horizontal_speed(t[k + 1]), x0, x1, 0);
    }
    return dir;
}

// Exit gate of the speed course. `dir` is how this pass saw the entry gate
// line crossed.
void exit_gate(swoop& s, crossing_direction dir)
{
    if (s.gate_type != frame_from_gate || s.entry_gate == 0)
        return;
    s.exit_gate = 0;
    s.exit_gate_time = 0;
    s.exit_gate_speed = 0;
    s.exit_gate_xpos = 0;

    // Working frame. Once a verdict has turned the frame, the course lies in it
    // as it is. Otherwise it is turned by the course angle, and by half a turn
    // when this pass sees the swoop run against the frame. (A pass that runs
    // after the frame was already turned for a reversal sees the swoop run
    // along it and needs no half turn.)
    frame_matrix w = s.matrix;
    if (!s.carve_detected) {
        double angle = s.rotate_theta; // radians
        if (dir == crossing_direction::reversed)
            angle += pi;
        matrix_rotate_z(w, angle);
    }
    const std::vector<gps_point>& t = s.track;
    auto course_point = [&](uint32_t i) { return transform_point(w, t[i].pos_ecef); };

    // Crossing scan against the two mirrored gate lines y = +-(r - x tan 15).
    const double slope = std::tan((90 - carve_angle) * pi / 180);
    uint32_t k = 0;
    int side = 0;
    for (uint32_t i = s.entry_gate + 1; i <= s.stop; ++i) {
        const vec3 p = course_point(i);
        const double f = carve_radius - p[0] * slope; // m
        if (f <= 0)
            break; // past the point where the mirrored gate lines meet
        if (p[1] > f || p[1] < -f) {
            k = i - 1;
            side = p[1] > f ? 1 : 0;
            break;
        }
    }

    if (k == 0) {
        // No crossing: a stop near either exit gate centre still tells the side.
        const vec3 stop = course_point(s.stop);
        if (vec2_distance(stop, exit_gate_on_side(1).centre) <= stop_near_exit_gate)
            side = 1;
        else if (vec2_distance(stop, exit_gate_on_side(0).centre) <= stop_near_exit_gate)
            side = 0;
        else
            return;
    }

    // An entry more than 10 m toward the side of the turn is no speed-course run.
    if ((side == 1 && s.entry_gate_ypos > carve_side_limit)
        || (side == 0 && s.entry_gate_ypos < -carve_side_limit))
        return;

    if (k != 0) {
        const vec3 a = course_point(k);
        const vec3 b = course_point(k + 1);
        const exit_gate_points g = exit_gate_on_side(side);
        const vec2 x = line_intersection(
            segment { a[0], a[1], b[0], b[1] }, segment { g.inner[0], g.inner[1], g.outer[0], g.outer[1] });
        const double d = vec2_distance(x, xy(g.centre)); // m
        if (d > exit_gate_side_only)
            return;
        if (d <= exit_gate_made) {
            s.carve_detected = true;
            s.carve_direction = static_cast<uint8_t>(side);
            s.exit_gate = k;
            s.exit_gate_xpos = x[0];
            s.exit_gate_time = static_cast<uint64_t>(
                swoop_whole_ms(interpolate(static_cast<double>(t[k].time), static_cast<double>(t[k + 1].time),
                                   a[1], b[1], x[1]),
                    t[k].time));
            s.exit_gate_speed
                = interpolate(horizontal_speed(t[k]), horizontal_speed(t[k + 1]), a[1], b[1], x[1]);
            return;
        }
    }

    // The side is known; the gate was not made.
    s.carve_detected = true;
    s.carve_direction = static_cast<uint8_t>(side);
}

} // namespace

void swoop_gate_crossings(swoop& s, const char** /*err*/)
{
    const crossing_direction dir = entry_gate(s);
    exit_gate(s, dir);
}

void swoop_turn_degrees(swoop& s)
{
    double sum = 0; // degrees
    for (uint32_t i = s.top_of_turn + 1; i <= s.bottom_of_turn && i < s.track_len; ++i) {
        // Values of a full turn or more are not heading changes between samples.
        if (s.track[i].turn_angle < 360)
            sum += s.track[i].turn_angle;
    }
    s.turn_degrees = sum;
}
