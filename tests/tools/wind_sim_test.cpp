// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated wind and landing pattern: off unless asked for, ground track
// = air velocity + wind, a pattern of legs at a constant airspeed, and truth
// that matches the samples.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "core/swoop/swoop.h"
#include "tests/tools/track_sim_support.h"
#include "tools/track_sim/track_sim.h"

namespace {

// An exact (noise-free) jump at 5 Hz in a steady wind, on a landing pattern
// flown at exactly the canopy speed.
swoop_options windy(double speed, double from)
{
    swoop_options o = example_swoop_base(sim_course {}, 0);
    o.noise.level = 0;
    o.canopy_sink = 6;
    o.wind.on = true;
    o.wind.speed = speed;
    o.wind.from = from;
    o.wind.gust = 0;
    o.pattern.on = true;
    o.pattern.airspeed_wander = 0;
    return o;
}

// Horizontal distance of a sample's ground velocity from the wind's tip:
// its speed through the air.
double through_air(const gps_point& p, const vec2& wind)
{
    return std::hypot(p.vel_local[0] - wind[0], p.vel_local[1] - wind[1]);
}

} // namespace

TEST(wind_sim, off_unless_asked_for)
{
    // Wind settings without wind on change nothing, nor does the truth gain keys.
    swoop_options plain = example_swoop(sim_course {}, 0.02, sim_example::right_270);
    swoop_options idle = plain;
    idle.wind.speed = 6;
    idle.wind.from = 90;
    idle.wind.poor_sacc = 0.1;
    idle.pattern.downwind_time = 40;
    const sim_swoop a = generate_swoop(plain);
    const sim_swoop b = generate_swoop(idle);
    EXPECT_EQ(
        format_track(a.samples, sim_dialect::field_names), format_track(b.samples, sim_dialect::field_names));
    const std::string truth = swoop_truth_json(b.truth);
    EXPECT_EQ(truth, swoop_truth_json(a.truth));
    EXPECT_EQ(truth.find("wind"), std::string::npos);
    EXPECT_FALSE(b.truth.wind.on);
    EXPECT_TRUE(b.truth.wind.airspeed.empty());

    // Out-of-range settings are refused when they are used.
    for (auto spoil : { +[](swoop_options& o) { o.wind.speed = 16; },
             +[](swoop_options& o) { o.wind.gust = -1; }, +[](swoop_options& o) { o.wind.poor_sacc = 0.5; },
             +[](swoop_options& o) { o.pattern.downwind_time = 2; } }) {
        swoop_options o = windy(4, 0);
        spoil(o);
        EXPECT_THROW(generate_swoop(o), std::invalid_argument);
    }
}

TEST(wind_sim, ground_track_is_air_velocity_plus_wind)
{
    for (double from : { 0.0, 75.0, 210.0, 300.0 }) {
        const sim_swoop sim = generate_swoop(windy(7, from));
        const swoop_truth& t = sim.truth;
        const std::vector<gps_point> s = in_frame(sim.samples, t.run_matrix);
        ASSERT_TRUE(t.wind.on);
        EXPECT_EQ(t.wind.from, from);
        EXPECT_NEAR(std::hypot(t.wind.north_east[0], t.wind.north_east[1]), 7, 1e-9);
        EXPECT_NEAR(std::hypot(t.wind.run[0], t.wind.run[1]), 7, 1e-6);
        // Blowing from `from`: its velocity points the other way.
        EXPECT_NEAR(
            std::fabs(std::remainder(
                std::atan2(t.wind.north_east[1], t.wind.north_east[0]) * 180 / std::numbers::pi - from, 360)),
            180, 1e-9);
        ASSERT_EQ(t.wind.airspeed.size(), s.size());

        // Under canopy the ground velocities lie on a circle of the canopy
        // speed about the wind, and the truth says so, sample by sample.
        int canopy = 0;
        for (size_t k = 0; k < s.size(); ++k) {
            const gps_point& p = s[k];
            EXPECT_NEAR(t.wind.airspeed[k], through_air(p, t.wind.run), 0.02) << k;
            if (p.time > t.deployment_time + 5000 && p.time < t.top_of_turn_time) {
                EXPECT_NEAR(through_air(p, t.wind.run), 10, 0.02) << k;
                ++canopy;
            }
        }
        EXPECT_GT(canopy, 300);
        EXPECT_EQ(t.wind.canopy_airspeed, 10);

        // The motion stays smooth: the air takes the jumper at takeoff and
        // lets go after touchdown without a jolt.
        EXPECT_LT(velocity_mismatch(s, 5), 0.03 * 5 + 0.3) << from;
        EXPECT_LT(max_acceleration(s, 5), 25.0) << from;

        // The ground track crosses the gate along the course, crabbing into
        // the crosswind, at the planned airspeed.
        EXPECT_TRUE(t.entry_gate);
        EXPECT_NEAR(t.entry_gate_y, 0, 1e-6);
        const size_t g = sample_at(s, t.entry_gate_time);
        const double f = static_cast<double>(t.entry_gate_time - s[g - 1].time)
            / static_cast<double>(s[g].time - s[g - 1].time);
        EXPECT_LT(std::fabs(s[g - 1].vel_local[1] + (s[g].vel_local[1] - s[g - 1].vel_local[1]) * f), 0.03)
            << from;
        EXPECT_NEAR(t.wind.entry_gate_airspeed, 28.0, 0.05) << from;
        EXPECT_NEAR(
            t.entry_gate_speed, std::sqrt(28.0 * 28.0 - t.wind.run[1] * t.wind.run[1]) + t.wind.run[0], 0.05);
        EXPECT_GE(t.wind.max_horizontal_airspeed, t.wind.entry_gate_airspeed);
        // Standing after the stop, the wind blows past: no airspeed of the pilot's counts.
        EXPECT_LT(t.wind.max_horizontal_airspeed, 30.0);
        EXPECT_LT(horizontal(s.back().vel_local), 0.05);
    }
}

TEST(wind_sim, pattern_legs_and_their_analysis)
{
    // Downwind, base and final at right angles, in the hand of the diving
    // turn or against it, after circles higher up or not.
    for (int c = 0; c < 4; ++c) {
        swoop_options o = windy(5, 120.0 * c);
        o.pattern.opposite_hand = c % 2 == 1;
        o.pattern.high_turns = c >= 2;
        o.right_turn = c != 1;
        o.seed = 40 + static_cast<uint64_t>(c);
        const sim_swoop sim = generate_swoop(o);
        const swoop_truth& t = sim.truth;

        swoop s;
        s.track = sim.samples;
        s.track_len = static_cast<uint32_t>(sim.samples.size());
        const char* err = nullptr;
        swoop_analyse(s, frame_from_gate, &t.course_matrix, 0, &err);
        ASSERT_EQ(err, nullptr) << c << ": " << err;
        EXPECT_NEAR(s.turn_degrees, t.turn_degrees, 15) << c; // the ground track's turn
        EXPECT_NEAR(s.entry_gate_speed, t.entry_gate_speed, 0.3) << c;

        // Air headings (ground velocity less the wind) in the last minute
        // before the turn: three legs a quarter turn apart.
        const std::vector<gps_point> r = in_frame(sim.samples, t.run_matrix);
        const double hand = (o.right_turn != o.pattern.opposite_hand) ? 1 : -1;
        // The diving turn takes the air heading from the final leg to that of the run.
        const gps_point& at_gate = r[sample_at(r, t.entry_gate_time)];
        const double gate_heading
            = std::atan2(-(at_gate.vel_local[1] - t.wind.run[1]), at_gate.vel_local[0] - t.wind.run[0]) * 180
            / std::numbers::pi;
        const double final_heading = gate_heading + (o.right_turn ? -1 : 1) * o.turn_degrees;
        int on_leg[3] = { 0, 0, 0 };
        for (const gps_point& p : r) {
            if (p.time < t.top_of_turn_time - 60000 || p.time >= t.top_of_turn_time)
                continue;
            const double h = std::atan2(-(p.vel_local[1] - t.wind.run[1]), p.vel_local[0] - t.wind.run[0])
                * 180 / std::numbers::pi;
            for (int leg = 0; leg < 3; ++leg)
                on_leg[leg] += std::fabs(std::remainder(h - (final_heading - 90.0 * hand * leg), 360)) < 3;
        }
        EXPECT_GT(on_leg[0], 40) << c; // final, 18 s
        EXPECT_GT(on_leg[1], 30) << c; // base, 12 s
        EXPECT_GT(on_leg[2], 30) << c; // downwind
    }
}

TEST(wind_sim, gusts_and_poor_velocity_under_canopy)
{
    swoop_options o = windy(6, 45);
    o.noise.level = 1;
    o.wind.gust = 0.6;
    o.wind.poor_sacc = 0.03;
    const sim_swoop sim = generate_swoop(o);
    const swoop_truth& t = sim.truth;
    const std::vector<gps_point> s = in_frame(sim.samples, t.run_matrix);
    double gust2 = 0;
    int canopy = 0, poor = 0;
    for (size_t k = 0; k < s.size(); ++k) {
        const gps_point& p = s[k];
        const bool under_canopy = p.time >= t.deployment_time && p.time <= t.top_of_turn_time;
        if (p.sacc >= 1.2f) {
            EXPECT_TRUE(under_canopy) << k;
            ++poor;
            continue;
        }
        if (under_canopy && p.time > t.deployment_time + 5000) {
            // What moves the ground velocity off the circle is the gust.
            const double off = through_air(p, t.wind.run) - t.wind.airspeed[k];
            gust2 += off * off;
            ++canopy;
        }
    }
    EXPECT_GT(poor, 10);
    EXPECT_LT(poor, canopy); // stretches of 1 to 3 s, about one in three samples
    EXPECT_GT(std::sqrt(gust2 / canopy), 0.2);
    EXPECT_LT(std::sqrt(gust2 / canopy), 0.9);

    const std::string json = swoop_truth_json(t);
    for (const char* key : { "\"wind_speed\": 6.000", "\"wind_from\": 45.000", "\"wind_north\"",
             "\"wind_east\"", "\"wind_run_x\"", "\"wind_run_y\"", "\"canopy_airspeed\": 10.000",
             "\"entry_gate_airspeed\"", "\"max_horizontal_airspeed\"", "\"airspeed\": [" })
        EXPECT_NE(json.find(key), std::string::npos) << key;
}
