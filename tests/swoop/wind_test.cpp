// SPDX-License-Identifier: GPL-3.0-or-later
// The wind estimate: exact on clean canopy flights in any frame, robust to
// what the model does not describe, its reasons for giving none, the
// airspeeds it gives, and its accuracy against a hundred simulated jumps.
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "core/swoop/swoop.h"
#include "core/swoop/wind.h"
#include "core/swoop/wind_report.h"
#include "tools/track_sim/track_sim.h"

namespace {

constexpr double deg = std::numbers::pi / 180;

// Degrees from a to b, in [-180, 180).
double angle_error(double a, double b)
{
    return std::remainder(b - a, 360.0);
}

// The wind (m/s) blowing from `from` degrees true, in the local frame of a
// course whose +x points `course_heading` degrees true (y to the left).
vec2 local_wind(double speed, double from, double course_heading)
{
    const double toward = (from + 180 - course_heading) * deg; // clockwise from +x
    return { speed * std::cos(toward), -speed * std::sin(toward) };
}

// A canopy flight of `samples` samples, 200 ms apart, at a constant airspeed
// on air headings turning evenly through `span` degrees, in the frame of a
// course heading `course_heading` true, with the wind given. The whole
// track is the window: pattern_entry 0, top_of_turn the last sample.
swoop canopy_flight(double speed, double from, double course_heading, double airspeed = 11, double span = 300,
    uint32_t samples = 200)
{
    sim_course course;
    course.heading = course_heading;
    swoop s;
    s.matrix = sim_course_matrix(course);
    const vec2 w = local_wind(speed, from, course_heading);
    for (uint32_t i = 0; i < samples; ++i) {
        const double h = span * i / (samples - 1) * deg;
        gps_point p {};
        p.time = 1600000000000 + 200 * static_cast<int64_t>(i);
        p.pos_wgs84 = { course.lat, course.lon, 400 };
        p.vel_local = { airspeed * std::cos(h) + w[0], -airspeed * std::sin(h) + w[1], -6 };
        p.sacc = 0.3f;
        s.track.push_back(p);
    }
    s.track_len = samples;
    s.pattern_entry = 0;
    s.top_of_turn = samples - 1;
    return s;
}

} // namespace

TEST(wind_estimate, clean_flights_give_the_wind_in_any_frame)
{
    struct flight {
        double speed, from, course_heading;
    };
    for (const flight& f : { flight { 5, 250, 30 }, flight { 3, 0, 0 }, flight { 7.5, 90, 200 },
             flight { 2, 359.5, 120 }, flight { 0, 0, 75 } }) {
        const swoop s = canopy_flight(f.speed, f.from, f.course_heading);
        const wind_estimate w = swoop_wind_estimate(s);
        ASSERT_TRUE(w.present) << w.reason;
        EXPECT_STREQ(w.reason, "");
        EXPECT_NEAR(w.speed, f.speed, 1e-6) << f.from;
        if (f.speed > 0) {
            EXPECT_NEAR(angle_error(w.from, f.from), 0, 0.01) << f.from;
        }
        EXPECT_GE(w.from, 0);
        EXPECT_LT(w.from, 360);
        const vec2 expected = local_wind(f.speed, f.from, f.course_heading);
        EXPECT_NEAR(w.local[0], expected[0], 1e-6);
        EXPECT_NEAR(w.local[1], expected[1], 1e-6);
        EXPECT_NEAR(w.airspeed, 11, 1e-6);
        EXPECT_EQ(w.samples, 200u);
        EXPECT_EQ(w.weighted, 200u);
        EXPECT_LT(w.speed_sigma, 0.01);
        EXPECT_NEAR(w.heading_span, 300, 40); // ground track, bent by the wind
    }
}

TEST(wind_estimate, what_the_model_does_not_describe_is_left_out)
{
    // Wind 6 m/s from 200 degrees true on a course heading 40 degrees.
    struct spoil {
        const char* what;
        void (*apply)(swoop&);
    };
    const spoil spoils[] = {
        { "poor sAcc",
            [](swoop& s) {
                // Every seventh sample 3.6 m/s off, as its sAcc of 3 m/s says.
                for (uint32_t i = 3; i < s.track_len; i += 7) {
                    s.track[i].vel_local[0] += 3;
                    s.track[i].vel_local[1] -= 2;
                    s.track[i].sacc = 3;
                }
            } },
        { "start of the turn",
            [](swoop& s) {
                // The last 15 samples speed up to twice the airspeed.
                for (uint32_t k = 0; k < 15; ++k) {
                    gps_point& p = s.track[s.track_len - 15 + k];
                    const vec2 w = local_wind(6, 200, 40);
                    const double f = 1 + (k + 1) / 15.0;
                    p.vel_local[0] = w[0] + (p.vel_local[0] - w[0]) * f;
                    p.vel_local[1] = w[1] + (p.vel_local[1] - w[1]) * f;
                }
            } },
        { "gusts and samples without a number",
            [](swoop& s) {
                // A gust of 2 m/s for 2 s, and two samples without a velocity.
                for (uint32_t i = 60; i < 70; ++i)
                    s.track[i].vel_local[1] += 2;
                s.track[20].vel_local[0] = std::numeric_limits<double>::quiet_NaN();
                s.track[21].vel_local[1] = std::numeric_limits<double>::infinity();
            } },
    };
    for (const spoil& sp : spoils) {
        swoop s = canopy_flight(6, 200, 40);
        sp.apply(s);
        const wind_estimate w = swoop_wind_estimate(s);
        ASSERT_TRUE(w.present) << sp.what << ": " << w.reason;
        EXPECT_NEAR(w.speed, 6, 0.1) << sp.what;
        EXPECT_NEAR(angle_error(w.from, 200), 0, 1.5) << sp.what;
        EXPECT_NEAR(w.airspeed, 11, 0.1) << sp.what;
        EXPECT_LT(w.weighted, w.samples) << sp.what;
    }
    EXPECT_EQ(swoop_wind_estimate([] {
        swoop s = canopy_flight(6, 200, 40);
        s.track[20].vel_local[0] = std::numeric_limits<double>::quiet_NaN();
        return s;
    }())
                  .samples,
        199u);
}

TEST(wind_estimate, reasons_for_giving_none)
{
    struct window {
        double span; // degrees of air heading (no wind: of ground track too)
        uint32_t samples;
        const char* reason; // "" = an estimate
    };
    for (const window& c : { window { 100, 20, "" }, window { 100, 19, "too few samples under canopy" },
             window { 91, 200, "" }, window { 89, 200, "too little change of heading" },
             window { 0, 200, "too little change of heading" } }) {
        const swoop s = canopy_flight(0, 0, 30, 11, c.span, c.samples);
        const wind_estimate w = swoop_wind_estimate(s);
        EXPECT_EQ(w.present, *c.reason == '\0') << c.span << " " << c.samples;
        EXPECT_STREQ(w.reason, c.reason) << c.span << " " << c.samples;
        EXPECT_NEAR(sample_airspeed(s.track[0], w), w.present ? 11 : 0, 1e-6);
    }

    // Phases that leave no window: not analysed, or out of order.
    swoop s = canopy_flight(4, 90, 30);
    s.top_of_turn = 0;
    EXPECT_STREQ(swoop_wind_estimate(s).reason, "too few samples under canopy");
    s.pattern_entry = 150;
    s.top_of_turn = 100;
    EXPECT_STREQ(swoop_wind_estimate(s).reason, "too few samples under canopy");
    s.pattern_entry = 0;
    s.top_of_turn = s.track_len; // past the end
    EXPECT_STREQ(swoop_wind_estimate(s).reason, "too few samples under canopy");
    swoop empty;
    EXPECT_FALSE(swoop_wind_estimate(empty).present);

    // Ground velocities on a circle of 1.5 m/s: no canopy flies that slowly.
    const swoop still = canopy_flight(0, 0, 30, 1.5);
    EXPECT_STREQ(swoop_wind_estimate(still).reason, "no steady airspeed under canopy");
}

TEST(wind_estimate, airspeeds_at_the_entry_gate_and_after_the_rollout)
{
    // Samples at x = -1, +1 and beyond: ground 20, 22, 30, 26, 21 m/s along +x
    // against a 3 m/s headwind.
    swoop s;
    const double x[] = { -3, -1, 1, 5, 9, 12 };
    const double v[] = { 19, 20, 22, 30, 26, 21 };
    for (size_t i = 0; i < 6; ++i) {
        gps_point p {};
        p.pos_local = { x[i], 0, 1 };
        p.vel_local = { v[i], 0, 0 };
        s.track.push_back(p);
    }
    s.track_len = 6;
    s.entry_gate = 1;
    s.rollout = 1;
    s.stop = 4;
    wind_estimate w;
    EXPECT_EQ(swoop_entry_gate_airspeed(s, w), 0); // no estimate
    uint32_t at = 7;
    EXPECT_EQ(swoop_max_horz_airspeed(s, w, &at), 0);
    EXPECT_EQ(at, 0u);

    w.present = true;
    w.local = { -3, 0 };
    EXPECT_DOUBLE_EQ(sample_airspeed(s.track[1], w), 23);
    EXPECT_DOUBLE_EQ(swoop_entry_gate_airspeed(s, w), 24); // halfway between 23 and 25
    EXPECT_DOUBLE_EQ(swoop_max_horz_airspeed(s, w, &at), 33);
    EXPECT_EQ(at, 3u);
    s.stop = 2; // the peak lies beyond the stop
    EXPECT_DOUBLE_EQ(swoop_max_horz_airspeed(s, w, nullptr), 25);
    w.local = { 0, 4 }; // a crosswind: the norm of ground minus wind
    EXPECT_DOUBLE_EQ(sample_airspeed(s.track[1], w), std::hypot(20, 4));
    s.entry_gate = 0; // missed
    EXPECT_EQ(swoop_entry_gate_airspeed(s, w), 0);
}

// A hundred jumps with fixed seeds: winds of 0 to 8 m/s from every direction
// on courses of every heading, gusts growing with the wind, patterns with and
// without circles higher up, turns of 270 to 450 degrees both ways, and
// stretches of poor sAcc on every fourth jump.
TEST(wind_accuracy, one_hundred_simulated_jumps)
{
    double speed2 = 0, from2 = 0, entry2 = 0, max2 = 0;
    int jumps = 0, windy = 0, covered = 0;
    for (int k = 0; k < 100; ++k) {
        sim_course course;
        course.heading = std::fmod(k * 53.0, 360.0);
        swoop_options o = example_swoop_base(course, 0);
        o.seed = 1000 + static_cast<uint64_t>(k);
        o.climb_start = o.exit_height - 30;
        o.jump_run = 2;
        o.stand_time = 3;
        o.canopy_sink = 6;
        o.turn_degrees = k % 3 == 0 ? 450 : 270 + 90 * (k % 2);
        o.right_turn = k % 2 == 0;
        o.turn_height = o.turn_degrees > 400 ? 250 : 170;
        o.wind.on = true;
        o.wind.speed = 8.0 * ((k * 37) % 100) / 99.0;
        o.wind.from = std::fmod(k * 137.508, 360.0);
        o.wind.gust = 0.15 + 0.04 * o.wind.speed;
        o.wind.poor_sacc = k % 4 == 0 ? 0.01 : 0;
        o.pattern.on = true;
        o.pattern.high_turns = k % 3 == 1;
        o.pattern.opposite_hand = k % 5 == 0;
        const sim_swoop sim = generate_swoop(o);

        swoop s;
        s.track = sim.samples;
        s.track_len = static_cast<uint32_t>(sim.samples.size());
        const char* err = nullptr;
        swoop_analyse(s, frame_from_gate, &sim.truth.course_matrix, 0, &err);
        ASSERT_EQ(err, nullptr) << k << ": " << err;
        const wind_estimate w = swoop_wind_estimate(s);
        ASSERT_TRUE(w.present) << k << ": " << w.reason;
        ASSERT_NE(s.entry_gate, 0u) << k;

        const sim_wind_truth& truth = sim.truth.wind;
        const double speed_error = w.speed - truth.speed;
        speed2 += speed_error * speed_error;
        covered += std::fabs(speed_error) <= w.speed_sigma;
        if (truth.speed >= 2) {
            const double e = angle_error(truth.from, w.from);
            from2 += e * e;
            ++windy;
        }
        const double entry = swoop_entry_gate_airspeed(s, w) - truth.entry_gate_airspeed;
        entry2 += entry * entry;
        const double peak = swoop_max_horz_airspeed(s, w, nullptr) - truth.max_horizontal_airspeed;
        max2 += peak * peak;
        ++jumps;
    }
    const double speed_rms = std::sqrt(speed2 / jumps);
    const double from_rms = std::sqrt(from2 / windy);
    const double entry_rms = std::sqrt(entry2 / jumps);
    const double coverage = static_cast<double>(covered) / jumps;
    RecordProperty("wind_speed_rms_mps", std::to_string(speed_rms));
    RecordProperty("wind_from_rms_deg", std::to_string(from_rms));
    RecordProperty("entry_gate_airspeed_rms_mps", std::to_string(entry_rms));
    RecordProperty("sigma_coverage", std::to_string(coverage));
    EXPECT_LE(speed_rms, 0.5);
    EXPECT_LE(from_rms, 10.0);
    EXPECT_LE(entry_rms, 0.5);
    EXPECT_LE(std::sqrt(max2 / jumps), 0.6);
    EXPECT_GE(coverage, 0.58);
    EXPECT_LE(coverage, 0.78);
    EXPECT_EQ(windy, 75);
}

TEST(wind_estimate, direction_prints_in_whole_degrees_below_360)
{
    const double cases[][2] = { { 0, 0 }, { 0.4, 0 }, { 359.4, 359 }, { 359.5, 0 }, { 359.99, 0 },
        { 89.5, 90 }, { 90.5, 90 }, { 180.2, 180 }, { 360, 0 } };
    for (const auto& c : cases) {
        EXPECT_EQ(wind_from_rounded(c[0]), c[1]) << c[0];
        EXPECT_FALSE(std::signbit(wind_from_rounded(c[0]))) << c[0];
    }
}
