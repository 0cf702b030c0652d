// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis against simulated jumps whose truth is known: 5 Hz logger
// noise, judged in the true course frame (gate type 0 with the course's
// matrix) unless a case says otherwise.
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "core/swoop/swoop.h"
#include "tools/track_sim/track_sim.h"

namespace {

constexpr double mph = 2.23693629; // mph per m/s

swoop from_samples(const std::vector<gps_point>& samples)
{
    swoop s;
    s.track = samples;
    s.track_len = static_cast<uint32_t>(samples.size());
    return s;
}

// Analyses a simulated jump in the course frame (theta with the course angle).
swoop analyse(const sim_swoop& sim, double theta = 0, const frame_matrix* gate = nullptr)
{
    swoop s = from_samples(sim.samples);
    const char* err = nullptr;
    swoop_analyse(s, frame_from_gate, gate ? gate : &sim.truth.course_matrix, theta, &err);
    EXPECT_EQ(err, nullptr) << err;
    return s;
}

int64_t sample_period(const swoop_options& o)
{
    return static_cast<int64_t>(std::llround(1000.0 / o.rate));
}

// A point of the run frame expressed in the frame of a swoop record.
vec3 in_frame(const frame_matrix& run, const frame_matrix& frame, const vec3& p)
{
    return transform_point(frame, transform_point(matrix_invert(run), p));
}

} // namespace

// --- the turn -------------------------------------------------------------------------

struct turn_case {
    double degrees;
    bool right;
    uint64_t seed;
};

void PrintTo(const turn_case& c, std::ostream* os)
{
    *os << c.degrees << (c.right ? " right" : " left") << ", seed " << c.seed;
}

class turn_acceptance : public testing::TestWithParam<turn_case> { };

TEST_P(turn_acceptance, direction_and_size_of_the_turn)
{
    const turn_case c = GetParam();
    swoop_options o;
    o.turn_degrees = c.degrees;
    o.right_turn = c.right;
    o.seed = c.seed;
    const sim_swoop sim = generate_swoop(o);
    const swoop s = analyse(sim);
    EXPECT_EQ(s.turn_degrees > 0, c.right);
    EXPECT_NEAR(s.turn_degrees, sim.truth.turn_degrees, 15);
}

INSTANTIATE_TEST_SUITE_P(simulated, turn_acceptance,
    testing::Values(turn_case { 90, true, 1 }, turn_case { 90, false, 2 }, turn_case { 270, true, 3 },
        turn_case { 270, false, 4 }, turn_case { 450, true, 5 }, turn_case { 450, false, 6 },
        turn_case { 630, true, 7 }, turn_case { 630, false, 8 }, turn_case { 180, true, 9 },
        turn_case { 360, false, 10 }),
    [](const testing::TestParamInfo<turn_case>& i) {
        return std::string(i.param.right ? "right_" : "left_")
            + std::to_string(static_cast<int>(i.param.degrees));
    });

// --- the entry gate -----------------------------------------------------------------

struct entry_case {
    double y; // m, where the run crosses the entry gate line
    bool made; // within 15 m of the centre
    uint64_t seed;
};

void PrintTo(const entry_case& c, std::ostream* os)
{
    *os << "y " << c.y << (c.made ? " made" : " missed") << ", seed " << c.seed;
}

class entry_acceptance : public testing::TestWithParam<entry_case> { };

TEST_P(entry_acceptance, crossing_time_speed_and_verdict)
{
    const entry_case c = GetParam();
    swoop_options o;
    o.entry_y = c.y;
    o.seed = c.seed;
    const sim_swoop sim = generate_swoop(o);
    ASSERT_EQ(sim.truth.entry_gate, c.made);
    const swoop s = analyse(sim);
    EXPECT_EQ(s.entry_gate != 0, c.made);
    if (!c.made) {
        EXPECT_EQ(s.entry_gate_time, 0u);
        EXPECT_EQ(s.entry_gate_speed, 0);
        return;
    }
    EXPECT_NEAR(static_cast<double>(s.entry_gate_time), static_cast<double>(sim.truth.entry_gate_time),
        static_cast<double>(sample_period(o)));
    EXPECT_NEAR(s.entry_gate_speed * mph, sim.truth.entry_gate_speed * mph, 1.0);
    EXPECT_NEAR(s.entry_gate_ypos, sim.truth.entry_gate_y, 1.0);
}

INSTANTIATE_TEST_SUITE_P(simulated, entry_acceptance,
    testing::Values(entry_case { 0, true, 11 }, entry_case { 10, true, 12 }, entry_case { -10, true, 13 },
        entry_case { 14, true, 14 }, entry_case { -14, true, 15 }, entry_case { 20, false, 16 },
        entry_case { -20, false, 17 }),
    [](const testing::TestParamInfo<entry_case>& i) {
        const int y = static_cast<int>(i.param.y);
        return (y < 0 ? "y_minus_" : "y_") + std::to_string(y < 0 ? -y : y);
    });

// --- the speed course ----------------------------------------------------------------

struct carve_case {
    bool right; // the course turns toward -y
    double miss; // m from the exit gate centre along its line, + toward the inner end
    int verdict; // 2 = exit gate made, 1 = side only, 0 = nothing
};

void PrintTo(const carve_case& c, std::ostream* os)
{
    *os << (c.right ? "right" : "left") << " course, miss " << c.miss << ", verdict " << c.verdict;
}

class carve_acceptance : public testing::TestWithParam<carve_case> { };

TEST_P(carve_acceptance, exit_gate_verdict)
{
    // The pilot flies the speed course of the survey; the gate is judged in a
    // frame slid `miss` metres along the exit gate line (toward its outer end),
    // as if the pilot had lined up on a course displaced by that much: the
    // run crosses the gate line `miss` metres inside its centre. Slid 25 m
    // outward, the entry gate is passed 12 m toward the turn, which alone
    // rules the course out.
    const carve_case c = GetParam();
    swoop_options o;
    o.carve = true;
    o.carve_right = c.right;
    o.seed = 21;
    const sim_swoop sim = generate_swoop(o);
    ASSERT_TRUE(sim.truth.exit_gate);

    vec3 inner, centre, outer;
    carve_points(75, carve_radius, carve_width, &inner, &centre, &outer);
    const double side = c.right ? -1 : 1;
    const double len = std::hypot(outer[0] - inner[0], outer[1] - inner[1]);
    const vec2 along { (outer[0] - inner[0]) / len, side * (outer[1] - inner[1]) / len };
    frame_matrix gate = sim.truth.course_matrix;
    gate[0][3] -= c.miss * along[0];
    gate[1][3] -= c.miss * along[1];

    const swoop s = analyse(sim, 0, &gate);
    ASSERT_NE(s.entry_gate, 0u);
    EXPECT_EQ(s.carve_detected, c.verdict > 0);
    if (c.verdict > 0) {
        EXPECT_EQ(s.carve_direction, c.right ? 0 : 1);
    }
    EXPECT_EQ(s.exit_gate != 0, c.verdict == 2);
    EXPECT_EQ(s.exit_gate_time != 0, c.verdict == 2);
}

INSTANTIATE_TEST_SUITE_P(simulated, carve_acceptance,
    testing::Values(carve_case { false, 0, 2 }, carve_case { false, 5, 2 }, carve_case { false, -5, 2 },
        carve_case { false, 15, 1 }, carve_case { false, -15, 1 }, carve_case { false, -25, 0 },
        carve_case { false, 25, 0 }, carve_case { true, 0, 2 }, carve_case { true, 5, 2 },
        carve_case { true, -5, 2 }, carve_case { true, 15, 1 }, carve_case { true, -15, 1 },
        carve_case { true, -25, 0 }, carve_case { true, 25, 0 }),
    [](const testing::TestParamInfo<carve_case>& i) {
        const int m = static_cast<int>(i.param.miss);
        return std::string(i.param.right ? "right_" : "left_") + (m < 0 ? "out_" : "in_")
            + std::to_string(m < 0 ? -m : m);
    });

TEST(carve_acceptance_truth, exit_gate_time_speed_and_position)
{
    for (bool right : { false, true }) {
        swoop_options o;
        o.carve = true;
        o.carve_right = right;
        o.theta = right ? -0.05 : 0.04;
        o.seed = 22;
        const sim_swoop sim = generate_swoop(o);
        ASSERT_TRUE(sim.truth.exit_gate);
        const swoop s = analyse(sim, o.theta);
        EXPECT_TRUE(s.carve_detected);
        EXPECT_EQ(s.carve_direction, sim.truth.carve_direction);
        // The second pass runs in the frame turned by theta: the run frame.
        EXPECT_EQ(s.matrix, sim.truth.run_matrix);
        EXPECT_NEAR(static_cast<double>(s.exit_gate_time), static_cast<double>(sim.truth.exit_gate_time),
            static_cast<double>(sample_period(o)));
        EXPECT_NEAR(s.exit_gate_speed * mph, sim.truth.exit_gate_speed * mph, 1.0);
        EXPECT_NEAR(s.exit_gate_xpos, sim.truth.exit_gate_x, 1.5);
    }
}

// --- reversed runs, plane exit, frame from the swoop, sample rates --------------------

TEST(reversed_acceptance, analysed_again_in_the_turned_frame)
{
    for (uint64_t seed : { 31, 32 }) {
        swoop_options o;
        o.reverse = true;
        o.seed = seed;
        o.right_turn = seed % 2 == 0;
        const sim_swoop sim = generate_swoop(o);
        const swoop s = analyse(sim);
        EXPECT_TRUE(s.reversal_detected);
        EXPECT_FALSE(s.carve_detected);
        EXPECT_EQ(s.matrix, sim.truth.run_matrix);
        ASSERT_NE(s.entry_gate, 0u);
        EXPECT_NEAR(static_cast<double>(s.entry_gate_time), static_cast<double>(sim.truth.entry_gate_time),
            static_cast<double>(sample_period(o)));
        EXPECT_NEAR(s.entry_gate_speed * mph, sim.truth.entry_gate_speed * mph, 1.0);
        EXPECT_EQ(s.turn_degrees > 0, o.right_turn);
        EXPECT_NEAR(s.turn_degrees, sim.truth.turn_degrees, 15);
        EXPECT_GT(s.track[s.stop].pos_local[0], 0);
    }
}

TEST(plane_exit_acceptance, exit_found_and_false_start_rejected)
{
    for (bool false_start : { false, true }) {
        swoop_options o;
        o.false_start = false_start;
        o.climb_start = false_start ? 0 : 800;
        o.seed = false_start ? 41 : 42;
        const sim_swoop sim = generate_swoop(o);
        const swoop s = analyse(sim);
        ASSERT_NE(s.plane_exit, 0u);
        const int64_t found = s.track[s.plane_exit].time;
        EXPECT_GE(found, sim.truth.plane_exit_time);
        EXPECT_LE(found, sim.truth.plane_exit_time + 2 * sample_period(o));
    }
}

TEST(frame_from_swoop_acceptance, origin_at_the_bottom_and_landing_on_plus_x)
{
    for (uint64_t seed : { 51, 52, 53 }) {
        swoop_options o;
        o.seed = seed;
        o.right_turn = seed != 52;
        o.entry_y = seed == 53 ? 8 : 0;
        const sim_swoop sim = generate_swoop(o);
        swoop s = from_samples(sim.samples);
        const char* err = nullptr;
        swoop_analyse(s, frame_from_swoop, nullptr, 0, &err);
        ASSERT_EQ(err, nullptr) << err;
        const vec3 bottom = in_frame(sim.truth.run_matrix, s.matrix, sim.truth.bottom_pos);
        const vec3 stop = in_frame(sim.truth.run_matrix, s.matrix, sim.truth.stop_pos);
        EXPECT_GT(stop[0], 100);
        EXPECT_NEAR(stop[1], 0, 2);
        EXPECT_NEAR(bottom[1], 0, 2);
        EXPECT_NEAR(bottom[0], 0, 15); // the run covers about 30 m per second
        EXPECT_NEAR(s.bottom_xpos, 0, 1);
        EXPECT_NEAR(s.bottom_ypos, 0, 1);
        EXPECT_EQ(s.entry_gate, s.bottom_of_turn);
    }
}

TEST(rate_acceptance, one_and_twenty_hertz_tracks_complete)
{
    for (double rate : { 1.0, 20.0 }) {
        swoop_options o;
        o.rate = rate;
        o.seed = 61;
        const sim_swoop sim = generate_swoop(o);
        swoop s = from_samples(sim.samples);
        const char* err = nullptr;
        swoop_analyse(s, frame_from_gate, &sim.truth.course_matrix, 0, &err);
        EXPECT_EQ(err, nullptr) << rate << " Hz: " << err;
    }
}
