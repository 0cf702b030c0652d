// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated jump: plausible motion, and truth that matches the samples.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "tests/tools/track_sim_support.h"
#include "tools/track_sim/track_sim.h"

namespace {

constexpr double pattern_m = 2500.0 / 3.2808399;

swoop_options exact_swoop()
{
    swoop_options o;
    o.noise.level = 0;
    return o;
}

std::vector<gps_point> run_frame(const sim_swoop& s)
{
    return in_frame(s.samples, s.truth.run_matrix);
}

// Linear interpolation of a local-frame quantity at time t (ms).
double at_time(const std::vector<gps_point>& s, int64_t t, double (*f)(const gps_point&))
{
    size_t k = sample_at(s, t);
    if (k == 0 || s[k].time == t)
        return f(s[k]);
    double u = static_cast<double>(t - s[k - 1].time) / static_cast<double>(s[k].time - s[k - 1].time);
    return f(s[k - 1]) + (f(s[k]) - f(s[k - 1])) * u;
}

double x_of(const gps_point& p)
{
    return p.pos_local[0];
}
double y_of(const gps_point& p)
{
    return p.pos_local[1];
}
double z_of(const gps_point& p)
{
    return p.pos_local[2];
}
double speed_of(const gps_point& p)
{
    return horizontal(p.vel_local);
}
double descent_of(const gps_point& p)
{
    return -p.vel_local[2];
}

TEST(swoop_sim, motion_is_consistent_and_within_what_a_canopy_can_do)
{
    for (double rate : { 5.0, 25.0 }) {
        swoop_options o = exact_swoop();
        o.rate = rate;
        sim_swoop sw = generate_swoop(o);
        std::vector<gps_point> s = run_frame(sw);
        // Positions follow the velocities: up to 3 cm of rounding in the text
        // over one time step, plus the jumps in acceleration (exit, touchdown).
        EXPECT_LT(velocity_mismatch(s, rate), 0.03 * rate + 0.3) << rate << " Hz";
        // Nothing beyond 2.5 g, from the aircraft to the run-out.
        EXPECT_LT(max_acceleration(s, rate), 25.0) << rate << " Hz";
        for (const gps_point& p : s)
            ASSERT_GE(p.pos_local[2], 0.0);
    }
}

TEST(swoop_sim, noisy_heights_stay_above_the_ground)
{
    for (uint64_t seed : { 1, 2, 3 }) {
        swoop_options o;
        o.seed = seed;
        o.skim_height = 0.5;
        sim_swoop sw = generate_swoop(o);
        for (const gps_point& p : run_frame(sw))
            ASSERT_GE(p.pos_local[2], 0.0) << "seed " << seed;
    }
}

TEST(swoop_sim, truth_matches_the_samples)
{
    swoop_options o = exact_swoop();
    o.rate = 25;
    o.entry_y = -4.0;
    o.entry_speed = 27.0;
    o.peak_descent = 22.0;
    sim_swoop sw = generate_swoop(o);
    const swoop_truth& t = sw.truth;
    std::vector<gps_point> s = run_frame(sw);

    // Exit, pattern, turn in the order of a jump.
    EXPECT_LT(t.takeoff_time, t.plane_exit_time);
    EXPECT_LT(t.plane_exit_time, t.deployment_time);
    EXPECT_LT(t.deployment_time, t.pattern_entry_time);
    EXPECT_LT(t.pattern_entry_time, t.top_of_turn_time);
    EXPECT_LT(t.top_of_turn_time, t.max_descent_time);
    EXPECT_LT(t.max_descent_time, t.bottom_time);
    EXPECT_LT(t.bottom_time, t.entry_gate_time);
    EXPECT_LT(t.entry_gate_time, t.touchdown_time);
    EXPECT_LT(t.touchdown_time, t.stop_time);
    EXPECT_EQ(s.back().time, t.end_time);

    EXPECT_GT(at_time(s, t.pattern_entry_time - 100, z_of), pattern_m);
    EXPECT_LT(at_time(s, t.pattern_entry_time + 100, z_of), pattern_m);
    EXPECT_NEAR(at_time(s, t.plane_exit_time, z_of), o.exit_height, 0.05);
    EXPECT_NEAR(at_time(s, t.top_of_turn_time, z_of), o.turn_height, 0.05);
    EXPECT_NEAR(at_time(s, t.top_of_turn_time, speed_of), o.canopy_speed, 0.02);
    EXPECT_NEAR(at_time(s, t.max_descent_time, descent_of), 22.0, 0.05);
    EXPECT_NEAR(t.max_descent_rate, 22.0, 1e-6);
    EXPECT_NEAR(at_time(s, t.bottom_time, descent_of), 1.25, 0.05);
    EXPECT_NEAR(t.turn_degrees, 270.0, 1e-6);

    EXPECT_TRUE(t.entry_gate);
    EXPECT_NEAR(at_time(s, t.entry_gate_time, x_of), 0.0, 0.05);
    EXPECT_NEAR(at_time(s, t.entry_gate_time, y_of), -4.0, 0.05);
    EXPECT_NEAR(at_time(s, t.entry_gate_time, speed_of), 27.0, 0.02);
    EXPECT_NEAR(t.entry_gate_y, -4.0, 1e-6);
    EXPECT_NEAR(t.entry_gate_speed, 27.0, 0.01);
    EXPECT_FALSE(t.exit_gate);

    // Level run just above the surface, then touchdown with the logger at carry height.
    for (const gps_point& p : s) {
        if (p.time >= t.bottom_time && p.time < t.touchdown_time - 1500) {
            EXPECT_GT(p.pos_local[2], 1.9);
            EXPECT_LT(p.pos_local[2], 3.0);
            EXPECT_GT(horizontal(p.vel_local), o.flare_speed);
        }
    }
    EXPECT_NEAR(at_time(s, t.touchdown_time, z_of), o.carry_height, 0.02);
    EXPECT_NEAR(at_time(s, t.touchdown_time, x_of), t.touchdown_x, 0.05);
    EXPECT_NEAR(at_time(s, t.touchdown_time, speed_of), t.touchdown_speed, 0.02);
}

TEST(swoop_sim, stop_is_long_and_still_enough)
{
    swoop_options o;
    o.stand_time = 12.0;
    sim_swoop sw = generate_swoop(o);
    const swoop_truth& t = sw.truth;
    std::vector<gps_point> s = run_frame(sw);
    int still = 0;
    for (const gps_point& p : s) {
        if (p.time > t.stop_time + 1000) {
            EXPECT_LT(horizontal(p.vel_local) * 2.23693629, 2.0);
            EXPECT_LT(vec2_distance(p.pos_local, t.stop_pos), 1.5);
            ++still;
        }
    }
    EXPECT_GE(still, 55); // about 12 s at 5 Hz
    // The run-out keeps the landing direction: the analysis takes its heading there.
    for (const gps_point& p : s) {
        double v = horizontal(p.vel_local);
        if (p.time > t.touchdown_time && p.time < t.stop_time && v > 1.0) {
            EXPECT_LT(std::fabs(std::atan2(p.vel_local[1], p.vel_local[0])), 10.0 * std::numbers::pi / 180.0);
        }
    }
}

TEST(swoop_sim, turn_size_and_direction_show_in_the_headings)
{
    struct turn_case {
        double degrees;
        bool right;
        double height;
    };
    for (turn_case c :
        { turn_case { 90, true, 110 }, turn_case { 450, false, 250 }, turn_case { 630, true, 300 } }) {
        swoop_options o = exact_swoop();
        o.turn_degrees = c.degrees;
        o.right_turn = c.right;
        o.turn_height = c.height;
        sim_swoop sw = generate_swoop(o);
        std::vector<gps_point> s = run_frame(sw);
        double turned = 0;
        for (size_t k = 1; k < s.size(); ++k) {
            if (s[k].time <= sw.truth.top_of_turn_time - 1000 || s[k].time > sw.truth.bottom_time)
                continue;
            // Clockwise seen from above is a right turn: minus the change of the math angle.
            double a0 = std::atan2(s[k - 1].vel_local[1], s[k - 1].vel_local[0]);
            double a1 = std::atan2(s[k].vel_local[1], s[k].vel_local[0]);
            turned -= std::remainder(a1 - a0, 2 * std::numbers::pi) * 180.0 / std::numbers::pi;
        }
        double expected = c.right ? c.degrees : -c.degrees;
        EXPECT_NEAR(turned, expected, 1.0) << c.degrees;
        EXPECT_NEAR(sw.truth.turn_degrees, expected, 1e-6);
        // The run ends up along +x of the run frame.
        size_t g = sample_at(s, sw.truth.entry_gate_time);
        EXPECT_NEAR(std::atan2(s[g].vel_local[1], s[g].vel_local[0]), 0.0, 0.01);
    }
}

TEST(swoop_sim, reversed_run_flies_against_the_course_frame)
{
    swoop_options o = exact_swoop();
    o.reverse = true;
    o.entry_y = 3.0;
    sim_swoop sw = generate_swoop(o);
    EXPECT_NEAR(sw.truth.run_rotation, std::numbers::pi, 1e-12);
    std::vector<gps_point> course = in_frame(sw.samples, sw.truth.course_matrix);
    size_t g = sample_at(course, sw.truth.entry_gate_time);
    EXPECT_LT(course[g].vel_local[0], -25.0);
    EXPECT_NEAR(at_time(course, sw.truth.entry_gate_time, x_of), 0.0, 0.05);
    EXPECT_NEAR(at_time(course, sw.truth.entry_gate_time, y_of), -3.0, 0.05);
}

TEST(swoop_sim, swoop_beside_the_course_misses_the_gate)
{
    swoop_options o = exact_swoop();
    o.entry_y = 300.0;
    sim_swoop sw = generate_swoop(o);
    EXPECT_FALSE(sw.truth.entry_gate);
    EXPECT_NEAR(sw.truth.entry_gate_y, 300.0, 1e-6);
    EXPECT_NEAR(sw.truth.bottom_pos[1], 300.0, 0.01);
    std::vector<gps_point> s = run_frame(sw);
    for (const gps_point& p : s) {
        if (p.time > sw.truth.top_of_turn_time) {
            EXPECT_GT(std::fabs(p.pos_local[1]), 150.0);
        }
    }
}

TEST(swoop_sim, speed_course_run_follows_the_arc_through_the_exit_gate)
{
    for (bool right : { false, true }) {
        swoop_options o = exact_swoop();
        o.carve = true;
        o.carve_right = right;
        o.theta = 0.03;
        sim_swoop sw = generate_swoop(o);
        const swoop_truth& t = sw.truth;
        EXPECT_NEAR(t.run_rotation, 0.03, 1e-12);
        frame_matrix turned = t.course_matrix;
        matrix_rotate_z(turned, 0.03);
        EXPECT_EQ(turned, t.run_matrix);
        ASSERT_TRUE(t.exit_gate);
        EXPECT_EQ(t.carve_direction, right ? 0 : 1);
        EXPECT_NEAR(t.exit_gate_x, 51.654, 2.0);
        std::vector<gps_point> s = run_frame(sw);
        // On the arc about (0, +-r) until the exit gate.
        double side = right ? -1.0 : 1.0;
        for (const gps_point& p : s) {
            if (p.time > t.entry_gate_time + 400 && p.time < t.exit_gate_time) {
                double r = std::hypot(p.pos_local[0], p.pos_local[1] - side * carve_radius);
                EXPECT_NEAR(r, carve_radius, 0.5);
            }
        }
        EXPECT_NEAR(at_time(s, t.exit_gate_time, speed_of), t.exit_gate_speed, 0.05);
        EXPECT_GT(t.exit_gate_speed, 15.0);
    }
}

TEST(swoop_sim, false_start_dips_and_climbs_on_before_the_exit)
{
    swoop_options o = exact_swoop();
    o.false_start = true;
    sim_swoop sw = generate_swoop(o);
    const swoop_truth& t = sw.truth;
    ASSERT_NE(t.false_start_time, 0);
    std::vector<gps_point> s = run_frame(sw);
    // Downward acceleration over 12 mph per second for 1.5 s at the dip, then a
    // climb of more than 75 ft above its lowest point.
    size_t k = sample_at(s, t.false_start_time + 200);
    size_t j = sample_at(s, t.false_start_time + 1700);
    double drop = (s[k].vel_local[2] - s[j].vel_local[2]) / 1.5 * 2.23693629;
    EXPECT_GT(drop, 12.0);
    double lowest = 1e9, climb = 0;
    for (const gps_point& p : s) {
        if (p.time < t.false_start_time || p.time > t.plane_exit_time)
            continue;
        lowest = std::min(lowest, p.pos_local[2]);
        climb = std::max(climb, p.pos_local[2] - lowest);
    }
    EXPECT_GT(climb * 3.2808399, 75.0);
    // The real exit: the same pull of gravity, and the jumper keeps falling.
    k = sample_at(s, t.plane_exit_time + 200);
    j = sample_at(s, t.plane_exit_time + 1700);
    EXPECT_GT((s[k].vel_local[2] - s[j].vel_local[2]) / 1.5 * 2.23693629, 12.0);
    // The height lost in the dip is climbed back: the jump still exits at the
    // planned height and ends on the ground, not under it (once 36 m below).
    for (const gps_point& p : s)
        ASSERT_GE(p.pos_local[2], 0.0);
    EXPECT_NEAR(at_time(s, t.plane_exit_time, z_of), o.exit_height, 3.0);
    EXPECT_NEAR(at_time(s, t.stop_time, z_of), o.carry_height, 0.5);
}

TEST(swoop_sim, rates_drops_and_walking_away)
{
    for (double rate : { 1.0, 3.0, 10.0 }) {
        swoop_options o;
        o.rate = rate;
        o.noise.drop_rate = 0.1;
        o.walk_away = 20.0;
        o.climb_start = 900;
        sim_swoop sw = generate_swoop(o);
        const std::vector<gps_point>& s = sw.samples;
        EXPECT_EQ(s.front().time, o.start_time);
        EXPECT_EQ(s.back().time, sw.truth.end_time);
        double expected = static_cast<double>(sw.truth.end_time - o.start_time) / 1000.0 * rate + 1;
        EXPECT_LT(static_cast<double>(s.size()), expected * 0.95) << rate;
        EXPECT_GT(static_cast<double>(s.size()), expected * 0.8) << rate;
        // On the logger's grid (the reader may take 1 ms off a time).
        for (size_t k = 1; k < s.size(); ++k) {
            ASSERT_GT(s[k].time, s[k - 1].time);
            double into = static_cast<double>(s[k].time - o.start_time);
            double slot = std::round(into * rate / 1000.0) * 1000.0 / rate;
            EXPECT_LE(std::fabs(into - std::round(slot)), 1.0);
        }
        std::vector<gps_point> local = run_frame(sw);
        EXPECT_GT(vec2_distance(local.back().pos_local, sw.truth.stop_pos), 15.0);
    }
}

TEST(swoop_sim, same_options_same_samples)
{
    swoop_options o;
    o.seed = 9;
    o.noise.drop_rate = 0.02;
    sim_swoop a = generate_swoop(o);
    sim_swoop b = generate_swoop(o);
    EXPECT_EQ(
        format_track(a.samples, sim_dialect::field_names), format_track(b.samples, sim_dialect::field_names));
    EXPECT_EQ(swoop_truth_json(a.truth), swoop_truth_json(b.truth));
    o.seed = 10;
    EXPECT_NE(format_track(generate_swoop(o).samples, sim_dialect::field_names),
        format_track(a.samples, sim_dialect::field_names));
}

TEST(swoop_sim, rejects_what_cannot_be_flown)
{
    swoop_options o;
    o.turn_height = 40; // below the height the rollout alone needs
    EXPECT_THROW(generate_swoop(o), std::invalid_argument);
    o = swoop_options {};
    o.exit_height = 700; // under 2500 ft: no pattern entry
    EXPECT_THROW(generate_swoop(o), std::invalid_argument);
    o = swoop_options {};
    o.flare_speed = 30; // faster than the entry
    EXPECT_THROW(generate_swoop(o), std::invalid_argument);
}

} // namespace
