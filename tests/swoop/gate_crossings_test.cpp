// SPDX-License-Identifier: GPL-3.0-or-later
// Entry gate, speed-course exit gate, turn total and touchdown on tracks laid
// point by point in the local frame (identity matrix: pos_ecef = pos_local).
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <numbers>

#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "core/swoop/swoop.h"
#include "core/swoop/swoop_stages.h"

namespace {

using std::numbers::pi;
constexpr int64_t t0 = 1600000000000; // ms

// Samples at the given local (x, y), 200 ms apart, 1 m up. The velocity of
// a sample points toward the next one at `speed` m/s (the last repeats).
swoop path(const std::vector<vec2>& xy, double speed = 20)
{
    swoop s;
    for (size_t i = 0; i < xy.size(); ++i) {
        gps_point p {};
        p.time = t0 + 200 * static_cast<int64_t>(i);
        p.pos_local = { xy[i][0], xy[i][1], 1 };
        const size_t a = i + 1 < xy.size() ? i : i - 1;
        const double dx = xy[a + 1][0] - xy[a][0];
        const double dy = xy[a + 1][1] - xy[a][1];
        const double len = std::hypot(dx, dy);
        p.vel_local = { speed * dx / len, speed * dy / len, 0 };
        p.pos_ecef = p.pos_local;
        p.vel_ecef = p.vel_local;
        s.track.push_back(p);
    }
    s.track_len = static_cast<uint32_t>(s.track.size());
    s.matrix = frame_identity();
    s.rollout = 1;
    s.stop = s.track_len - 1;
    return s;
}

// Rotates every position about the local z axis by theta (radians, counterclockwise).
void rotate(swoop& s, double theta)
{
    for (gps_point& p : s.track) {
        const double x = p.pos_local[0], y = p.pos_local[1];
        p.pos_local[0] = x * std::cos(theta) - y * std::sin(theta);
        p.pos_local[1] = x * std::sin(theta) + y * std::cos(theta);
        p.pos_ecef = p.pos_local;
    }
}

std::string crossings(swoop& s)
{
    const char* err = nullptr;
    swoop_gate_crossings(s, &err);
    return err ? err : "";
}

// The exit gate of the speed course on side 1 (+y) or 0 (-y).
struct course {
    vec3 inner, centre, outer;
};

course exit_gate_of(int side)
{
    course c {};
    carve_points(75, carve_radius, carve_width, &c.inner, &c.centre, &c.outer);
    if (side == 0)
        for (vec3* p : { &c.inner, &c.centre, &c.outer })
            (*p)[1] = -(*p)[1];
    return c;
}

// A point on the exit gate line, `along` metres from its centre toward the outer end.
vec2 on_exit_gate_line(int side, double along)
{
    const course c = exit_gate_of(side);
    const double len = std::hypot(c.outer[0] - c.inner[0], c.outer[1] - c.inner[1]);
    return { c.centre[0] + along * (c.outer[0] - c.inner[0]) / len,
        c.centre[1] + along * (c.outer[1] - c.inner[1]) / len };
}

// An entry along y = entry_y, through the gate line at x = 0, then straight
// toward `target` and 3 m and 8 m beyond it.
std::vector<vec2> course_run(vec2 target, double entry_y = 0)
{
    std::vector<vec2> pts { { -30, entry_y }, { -20, entry_y }, { -10, entry_y }, { 0, entry_y } };
    const vec2 from { 0, entry_y };
    const double dx = target[0] - from[0], dy = target[1] - from[1];
    const double len = std::hypot(dx, dy);
    for (int i = 1; i < 8; ++i)
        pts.push_back({ from[0] + dx * i / 8, from[1] + dy * i / 8 });
    pts.push_back({ target[0] + 3 * dx / len, target[1] + 3 * dy / len });
    pts.push_back({ target[0] + 8 * dx / len, target[1] + 8 * dy / len });
    return pts;
}

swoop course_swoop(vec2 target, double entry_y = 0)
{
    swoop s = path(course_run(target, entry_y));
    s.gate_type = frame_from_gate;
    return s;
}

} // namespace

// --- entry gate ----------------------------------------------------------------------

TEST(entry_gate, fifteen_metres_to_the_side_is_made_and_a_centimetre_more_is_missed)
{
    for (double y : { 15.0, -15.0 }) {
        swoop s = path({ { -40, y }, { -30, y }, { -20, y }, { -10, y }, { 0, y }, { 10, y }, { 20, y } });
        EXPECT_EQ(crossings(s), "");
        EXPECT_EQ(s.entry_gate, 3u) << y;
        EXPECT_EQ(s.entry_gate_ypos, y);
        EXPECT_EQ(s.entry_gate_time, static_cast<uint64_t>(t0 + 800));
        EXPECT_DOUBLE_EQ(s.entry_gate_speed, 20);
        EXPECT_FALSE(s.reversal_detected);
    }
    for (double y : { 15.01, -15.01 }) {
        swoop s = path({ { -40, y }, { -30, y }, { -20, y }, { -10, y }, { 0, y }, { 10, y }, { 20, y } });
        s.entry_gate = 9;
        s.entry_gate_speed = 1;
        EXPECT_EQ(crossings(s), "");
        EXPECT_EQ(s.entry_gate, 0u) << y;
        EXPECT_EQ(s.entry_gate_time, 0u);
        EXPECT_EQ(s.entry_gate_speed, 0);
        EXPECT_EQ(s.entry_gate_ypos, 0);
    }
}

TEST(entry_gate, position_time_and_speed_interpolated_at_the_line)
{
    swoop s = path({ { -30, -4 }, { -20, -3 }, { -10, -2 }, { -3, 1 }, { 2, 6 }, { 12, 6 }, { 22, 6 } });
    s.track[3].vel_local = { 20, 0, 0 };
    s.track[4].vel_local = { 15, 20, 0 }; // 25 m/s
    EXPECT_EQ(crossings(s), "");
    EXPECT_EQ(s.entry_gate, 3u);
    EXPECT_DOUBLE_EQ(s.entry_gate_ypos, 4); // 3/5 of the way from 1 to 6
    EXPECT_EQ(s.entry_gate_time, static_cast<uint64_t>(t0 + 720)); // 600 + 3/5 of 200
    EXPECT_DOUBLE_EQ(s.entry_gate_speed, 23);
}

TEST(entry_gate, flown_from_plus_x_to_minus_x_is_a_reversal)
{
    swoop s = path({ { 40, 2 }, { 30, 2 }, { 20, 2 }, { 5, 2 }, { -5, 4 }, { -20, 4 } });
    EXPECT_EQ(crossings(s), "");
    EXPECT_TRUE(s.reversal_detected);
    EXPECT_EQ(s.entry_gate, 3u);
    EXPECT_DOUBLE_EQ(s.entry_gate_ypos, 3);
    EXPECT_EQ(s.entry_gate_time, static_cast<uint64_t>(t0 + 700));

    // Missed or not, the reversal is recorded.
    swoop wide = path({ { 40, 30 }, { 30, 30 }, { 20, 30 }, { -20, 30 } });
    EXPECT_EQ(crossings(wide), "");
    EXPECT_TRUE(wide.reversal_detected);
    EXPECT_EQ(wide.entry_gate, 0u);
}

TEST(entry_gate, ends_on_one_side_on_the_line_or_unknown_are_no_crossing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<vec2>> tracks {
        { { -40, 0 }, { -30, 0 }, { -20, 0 }, { -10, 0 } }, // never reaches the line
        { { 10, 0 }, { 0, 0 }, { -10, 0 }, { -20, 0 } }, // rollout exactly on it
        { { -40, 0 }, { -30, 0 }, { -20, 0 }, { 0, 0 } }, // stop exactly on it
        { { 40, 0 }, { 30, 0 }, { 20, 0 }, { nan, 0 } }, // stop not a number
        { { -40, 0 }, { nan, 0 }, { 20, 0 }, { 30, 0 } }, // rollout not a number
    };
    for (const auto& t : tracks) {
        swoop s = path(t);
        EXPECT_EQ(crossings(s), "");
        EXPECT_FALSE(s.reversal_detected);
        EXPECT_EQ(s.entry_gate, 0u);
        EXPECT_EQ(s.entry_gate_time, 0u);
    }
}

// --- exit gate ------------------------------------------------------------------------

TEST(exit_gate, made_within_12_m_of_the_centre_on_either_side)
{
    for (int side : { 1, 0 }) {
        for (double along : { 0.0, 11.0, -11.0 }) {
            const vec2 x = on_exit_gate_line(side, along);
            swoop s = course_swoop(x);
            EXPECT_EQ(crossings(s), "");
            ASSERT_NE(s.entry_gate, 0u);
            EXPECT_TRUE(s.carve_detected) << side << " " << along;
            EXPECT_EQ(s.carve_direction, side);
            // Samples 10 (inside) and 11 (3 m beyond) straddle the gate line.
            EXPECT_EQ(s.exit_gate, 10u);
            EXPECT_NEAR(s.exit_gate_xpos, x[0], 1e-9);
            const double a = s.track[10].pos_local[1], b = s.track[11].pos_local[1];
            const int64_t expected = static_cast<int64_t>(t0 + 2000 + 200 * (x[1] - a) / (b - a));
            EXPECT_NEAR(static_cast<double>(s.exit_gate_time), static_cast<double>(expected), 1.0);
            EXPECT_DOUBLE_EQ(s.exit_gate_speed, 20);
        }
    }
}

TEST(exit_gate, between_12_and_20_m_only_the_side_and_beyond_nothing)
{
    for (int side : { 1, 0 }) {
        swoop near = course_swoop(on_exit_gate_line(side, 15));
        EXPECT_EQ(crossings(near), "");
        EXPECT_TRUE(near.carve_detected);
        EXPECT_EQ(near.carve_direction, side);
        EXPECT_EQ(near.exit_gate, 0u);
        EXPECT_EQ(near.exit_gate_time, 0u);

        swoop far = course_swoop(on_exit_gate_line(side, -25));
        EXPECT_EQ(crossings(far), "");
        EXPECT_FALSE(far.carve_detected);
        EXPECT_EQ(far.exit_gate, 0u);
    }
}

TEST(exit_gate, stop_near_the_gate_without_crossing_tells_the_side)
{
    for (int side : { 1, 0 }) {
        const course c = exit_gate_of(side);
        const vec2 short_of_gate { c.centre[0] - 5, c.centre[1] + (side ? -3.0 : 3.0) };
        std::vector<vec2> pts = course_run(short_of_gate);
        pts.resize(pts.size() - 2);
        pts.push_back(short_of_gate); // end at the target, inside the course
        swoop s = path(pts);
        s.gate_type = frame_from_gate;
        EXPECT_EQ(crossings(s), "");
        EXPECT_TRUE(s.carve_detected);
        EXPECT_EQ(s.carve_direction, side);
        EXPECT_EQ(s.exit_gate, 0u);
    }
    // Stopping 12 m short of the gate says nothing.
    const course c = exit_gate_of(1);
    const vec2 twelve_short { c.centre[0] - 12, c.centre[1] - 1 };
    std::vector<vec2> pts = course_run(twelve_short);
    pts.resize(pts.size() - 2);
    pts.push_back(twelve_short);
    swoop s = path(pts);
    s.gate_type = frame_from_gate;
    EXPECT_EQ(crossings(s), "");
    EXPECT_FALSE(s.carve_detected);
}

TEST(exit_gate, entry_more_than_10_m_toward_the_turn_is_no_course_run)
{
    swoop toward = course_swoop(on_exit_gate_line(1, 0), 12);
    EXPECT_EQ(crossings(toward), "");
    EXPECT_NE(toward.entry_gate, 0u);
    EXPECT_FALSE(toward.carve_detected);

    swoop away = course_swoop(on_exit_gate_line(0, 0), 12);
    EXPECT_EQ(crossings(away), "");
    EXPECT_TRUE(away.carve_detected);
    EXPECT_EQ(away.carve_direction, 0);
    EXPECT_NE(away.exit_gate, 0u);
}

TEST(exit_gate, runs_only_for_a_surveyed_gate_with_an_entry_gate)
{
    for (frame_kind type : { frame_as_given, frame_from_swoop }) {
        swoop s = course_swoop(on_exit_gate_line(1, 0));
        s.gate_type = type;
        s.exit_gate = 4; // left alone
        EXPECT_EQ(crossings(s), "");
        EXPECT_NE(s.entry_gate, 0u);
        EXPECT_FALSE(s.carve_detected);
        EXPECT_EQ(s.exit_gate, 4u);
    }
    swoop missed = course_swoop(on_exit_gate_line(1, 0), 16);
    EXPECT_EQ(crossings(missed), "");
    EXPECT_EQ(missed.entry_gate, 0u);
    EXPECT_FALSE(missed.carve_detected);
}

TEST(exit_gate, judged_in_the_frame_turned_by_the_course_angle)
{
    // The course lies turned by theta: the path is laid in the turned frame
    // and handed over in the gate frame.
    const double theta = 0.2;
    swoop s = course_swoop(on_exit_gate_line(1, 0));
    rotate(s, -theta);
    s.rotate_theta = theta;
    EXPECT_EQ(crossings(s), "");
    EXPECT_TRUE(s.carve_detected);
    EXPECT_NE(s.exit_gate, 0u);

    // Not turned, the same path misses the gate centre by far.
    swoop flat = course_swoop(on_exit_gate_line(1, 0));
    rotate(flat, -theta);
    EXPECT_EQ(crossings(flat), "");
    EXPECT_EQ(flat.exit_gate, 0u);

    // After a verdict the frame is already turned: the course is taken as is.
    swoop turned = course_swoop(on_exit_gate_line(1, 0));
    turned.rotate_theta = theta;
    turned.carve_detected = true;
    EXPECT_EQ(crossings(turned), "");
    EXPECT_NE(turned.exit_gate, 0u);
}

TEST(exit_gate, reversed_run_judged_half_a_turn_round)
{
    const double theta = 0.1;
    swoop s = course_swoop(on_exit_gate_line(0, 4));
    rotate(s, -theta - pi);
    s.rotate_theta = theta;
    EXPECT_EQ(crossings(s), "");
    EXPECT_TRUE(s.reversal_detected);
    EXPECT_NE(s.entry_gate, 0u);
    EXPECT_TRUE(s.carve_detected);
    EXPECT_EQ(s.carve_direction, 0);
    EXPECT_NE(s.exit_gate, 0u);
}

TEST(exit_gate, second_pass_after_a_reversal_keeps_the_frame_of_the_first)
{
    // The analysis turned the frame by half a turn after a reversal without a
    // verdict, and runs again with the reversal still recorded. The swoop now
    // runs along +x; judging it half a turn round once more would put this
    // loop back behind the gate onto the exit gate (a false verdict).
    swoop s = path({ { -30, 0 }, { -20, 0 }, { -10, 0 }, { 0, 0 }, { 5, 0 }, { -20, -15 }, { -40, -30 },
        { -46, -36 }, { -52, -44 }, { -30, -20 }, { 0, -5 }, { 10, 0 } });
    s.gate_type = frame_from_gate;
    s.reversal_detected = true;
    EXPECT_EQ(crossings(s), "");
    EXPECT_EQ(s.entry_gate, 2u);
    EXPECT_FALSE(s.carve_detected);
    EXPECT_EQ(s.exit_gate, 0u);
}

// --- turn degrees -------------------------------------------------------------------

TEST(turn_degrees, sum_from_after_the_top_to_the_bottom_without_full_turns)
{
    swoop s;
    const double angles[] = { 99, 99, 30, -10, 400, 360, 359.5, -400, 99 };
    for (double a : angles) {
        gps_point p {};
        p.turn_angle = a;
        s.track.push_back(p);
    }
    s.track_len = static_cast<uint32_t>(s.track.size());
    s.top_of_turn = 1;
    s.bottom_of_turn = 7;
    swoop_turn_degrees(s);
    EXPECT_DOUBLE_EQ(s.turn_degrees, 30 - 10 + 359.5 - 400);
}

// --- touchdown ----------------------------------------------------------------------

namespace {

// A run along +x from x = -50, 10 m per sample, slowing by 1 m/s per sample.
swoop run_to(int samples)
{
    std::vector<vec2> pts;
    for (int i = 0; i < samples; ++i)
        pts.push_back({ -50.0 + 10 * i, 0 });
    swoop s = path(pts);
    for (int i = 0; i < samples; ++i)
        s.track[i].vel_local = { 30.0 - i, 0, 0 };
    s.bottom_of_turn = 1;
    return s;
}

std::string touchdown(swoop& s)
{
    const char* err = nullptr;
    swoop_touchdown(s, &err);
    return err ? err : "";
}

} // namespace

TEST(touchdown, time_aloft_after_the_entry_gate)
{
    swoop s = run_to(14);
    s.entry_gate = 5; // x = 0 at sample 5
    s.entry_gate_time = static_cast<uint64_t>(t0 + 1000);
    s.time_aloft = 1050;
    EXPECT_EQ(touchdown(s), "");
    // 2050 ms: a quarter of the way from sample 10 to sample 11.
    EXPECT_EQ(s.touchdown_time, static_cast<uint64_t>(t0 + 2050));
    EXPECT_DOUBLE_EQ(s.touchdown_distance, 52.5);
    EXPECT_DOUBLE_EQ(s.touchdown_speed, 19.75);

    // Exactly on a sample time: that sample's values.
    s.time_aloft = 1000;
    EXPECT_EQ(touchdown(s), "");
    EXPECT_DOUBLE_EQ(s.touchdown_distance, 50);
    EXPECT_DOUBLE_EQ(s.touchdown_speed, 20);
}

TEST(touchdown, time_aloft_reaching_the_stop_is_not_found)
{
    swoop s = run_to(12);
    s.entry_gate = 5;
    s.entry_gate_time = static_cast<uint64_t>(t0 + 1000);
    s.time_aloft = 1200; // sample 11 (the stop) is never scanned
    EXPECT_EQ(touchdown(s), "touchdown time estimate not found");
}

TEST(touchdown, without_time_aloft_or_entry_gate_the_stop_unless_the_pilot_walks_back)
{
    // Stop at x = 40, then walking back 5 m toward the gate line.
    swoop s = run_to(10);
    s.stop = 9;
    for (double x : { 39.0, 37.0, 35.0 }) {
        gps_point p = s.track.back();
        p.time += 1000;
        p.pos_local[0] = x;
        p.vel_local = { -1, 0, 0 };
        s.track.push_back(p);
    }
    s.track_len = static_cast<uint32_t>(s.track.size());
    s.time_aloft = 3000; // no entry gate: ignored
    EXPECT_EQ(touchdown(s), "");
    // The path passed x = 35 half way between samples 8 (30) and 9 (40).
    EXPECT_DOUBLE_EQ(s.touchdown_distance, 35);
    EXPECT_EQ(s.touchdown_time, static_cast<uint64_t>(t0 + 1700));
    EXPECT_DOUBLE_EQ(s.touchdown_speed, 21.5);

    // The passing point before the bottom of the turn does not count.
    s.bottom_of_turn = 8;
    EXPECT_EQ(touchdown(s), "");
    EXPECT_DOUBLE_EQ(s.touchdown_distance, 40);
    EXPECT_EQ(s.touchdown_time, static_cast<uint64_t>(s.track[9].time));

    // Walking on past the stop, or off further than 75 ft, keeps the stop.
    s.bottom_of_turn = 1;
    s.track.back().pos_local[0] = 45;
    EXPECT_EQ(touchdown(s), "");
    EXPECT_DOUBLE_EQ(s.touchdown_distance, 40);
    s.track.back().pos_local = { 40, -23, 1 }; // 75.5 ft to the side
    EXPECT_EQ(touchdown(s), "");
    EXPECT_DOUBLE_EQ(s.touchdown_distance, 40);
    EXPECT_DOUBLE_EQ(s.touchdown_speed, 21);

    // Nothing after the stop.
    swoop last = run_to(10);
    last.stop = 9;
    EXPECT_EQ(touchdown(last), "");
    EXPECT_DOUBLE_EQ(last.touchdown_distance, 40);
    EXPECT_EQ(last.touchdown_time, static_cast<uint64_t>(last.track[9].time));
}

TEST(touchdown, walking_back_toward_the_line_from_its_negative_side)
{
    // A swoop flown toward -x that stops at x = -40 and ends at -36.
    std::vector<vec2> pts;
    for (int i = 0; i < 10; ++i)
        pts.push_back({ 50.0 - 10 * i, 0 });
    pts.push_back({ -38, 0 });
    pts.push_back({ -36, 0 });
    swoop s = path(pts);
    s.stop = 9;
    s.bottom_of_turn = 1;
    EXPECT_EQ(touchdown(s), "");
    EXPECT_DOUBLE_EQ(s.touchdown_distance, -36);
    EXPECT_EQ(s.touchdown_time, static_cast<uint64_t>(t0 + 8 * 200 + 120));
}
