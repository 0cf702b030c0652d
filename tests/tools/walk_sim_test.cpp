// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated gate walk: stops, walking, jitter and the truth it reports.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "tests/tools/track_sim_support.h"
#include "tools/track_sim/track_sim.h"

namespace {

walk_options exact_walk()
{
    walk_options o;
    o.noise.level = 0;
    return o;
}

TEST(walk_sim, velocities_match_positions_and_walking_pace)
{
    sim_walk w = generate_walk(exact_walk());
    std::vector<gps_point> s = in_frame(w.samples, w.truth.matrix);
    // Rounding of the text (1 cm in latitude, 1 cm/s in speed) over 200 ms.
    EXPECT_LT(velocity_mismatch(s, 5.0), 0.12);
    double fastest = 0;
    for (const gps_point& p : s)
        fastest = std::max(fastest, horizontal(p.vel_local));
    EXPECT_NEAR(fastest, 1.35, 0.02);
    EXPECT_LT(max_acceleration(s, 5.0), 2.0);
    for (const gps_point& p : s)
        EXPECT_NEAR(p.pos_local[2], 1.0, 0.01);
}

TEST(walk_sim, stops_are_long_and_still_at_the_waypoints)
{
    walk_options o;
    o.stop_time = 9.0;
    sim_walk w = generate_walk(o);
    std::vector<gps_point> s = in_frame(w.samples, w.truth.matrix);
    ASSERT_TRUE(w.truth.has_exit_gate);
    for (size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(w.truth.stop_end[k] - w.truth.stop_start[k], 9000) << "stop " << k;
        int n = 0;
        for (const gps_point& p : s) {
            if (p.time < w.truth.stop_start[k] || p.time > w.truth.stop_end[k])
                continue;
            ++n;
            EXPECT_LT(vec2_distance(p.pos_local, w.truth.waypoints[k]), 1.0) << "stop " << k;
            EXPECT_LT(horizontal(p.vel_local), 0.3) << "stop " << k;
        }
        EXPECT_GE(n, 45) << "stop " << k; // 9 s at 5 Hz
    }
}

TEST(walk_sim, jitter_stays_under_a_metre_and_accuracies_look_like_a_logger)
{
    walk_options o;
    o.seed = 77;
    walk_options exact = o;
    exact.noise.level = 0;
    sim_walk n = generate_walk(o);
    std::vector<gps_point> noisy = in_frame(n.samples, n.truth.matrix);
    sim_walk e = generate_walk(exact);
    std::vector<gps_point> clean = in_frame(e.samples, e.truth.matrix);
    ASSERT_EQ(noisy.size(), clean.size());
    double largest = 0;
    for (size_t k = 0; k < noisy.size(); ++k) {
        largest = std::max(largest, vec2_distance(noisy[k].pos_local, clean[k].pos_local));
        EXPECT_LT(std::fabs(noisy[k].pos_local[2] - clean[k].pos_local[2]), 1.0);
        EXPECT_GE(noisy[k].hacc, 1.0f);
        EXPECT_LE(noisy[k].hacc, 3.0f);
        EXPECT_GE(noisy[k].vacc, 1.5f);
        EXPECT_LE(noisy[k].vacc, 4.0f);
        EXPECT_GE(noisy[k].sacc, 0.2f);
        EXPECT_LE(noisy[k].sacc, 0.6f);
        EXPECT_EQ(noisy[k].gpsfix, 3);
        EXPECT_GE(noisy[k].numsv, 8);
    }
    EXPECT_LT(largest, 1.0);
    EXPECT_GT(largest, 0.1); // there is noise at all
}

TEST(walk_sim, waypoints_lie_on_the_pond_walk_in_order)
{
    for (bool clockwise : { false, true }) {
        walk_options o = exact_walk();
        o.clockwise = clockwise;
        o.exit_gate = false;
        sim_walk w = generate_walk(o);
        const walk_truth& t = w.truth;
        EXPECT_FALSE(t.has_exit_gate);
        EXPECT_EQ(t.waypoints[5], (vec3 { 0, 0, 0 }));
        // B on the left of the course for a counterclockwise walk, C upstream, A downstream.
        double side = clockwise ? -1.0 : 1.0;
        EXPECT_NEAR(t.waypoints[1][0], 0.0, 1e-9);
        EXPECT_NEAR(t.waypoints[1][1], side * 10.0, 1e-9);
        EXPECT_NEAR(t.waypoints[2][0], -15.0, 1e-9);
        EXPECT_NEAR(t.waypoints[3][1], -side * 10.0, 1e-9);
        EXPECT_NEAR(t.waypoints[4][0], 45.0, 1e-9);
        // The pond: closed, zero-terminated, passing every waypoint W0..W4.
        ASSERT_GE(t.pond.size(), 40u);
        EXPECT_EQ(t.pond.back(), (vec3 { 0, 0, 0 }));
        EXPECT_EQ(t.pond[t.pond.size() - 2], t.pond.front());
        for (size_t k = 0; k < 5; ++k) {
            double nearest = 1e9;
            for (size_t i = 0; i + 1 < t.pond.size(); ++i)
                nearest = std::min(nearest, vec2_distance(t.pond[i], t.waypoints[k]));
            EXPECT_LT(nearest, 1.0) << "waypoint " << k;
        }
        // No exit gate: theta from the first pole (pi for a clockwise walk).
        EXPECT_NEAR(t.theta, clockwise ? std::numbers::pi : 0.0, 1e-9);
    }
}

TEST(walk_sim, theta_follows_the_exit_gate_like_the_survey)
{
    // Exit gate turned 3 degrees about the gate centre: the course turns by -3 degrees.
    vec3 in, n, out;
    carve_points(75.0, carve_radius, carve_width, &in, &n, &out);
    double phi = 3.0 * std::numbers::pi / 180.0;
    walk_options o = exact_walk();
    o.exit_gate_offset = { n[0] * std::cos(phi) - n[1] * std::sin(phi) - n[0],
        n[0] * std::sin(phi) + n[1] * std::cos(phi) - n[1] };
    EXPECT_NEAR(generate_walk(o).truth.theta, -phi, 1e-9);

    // Mirrored course: the exit gate on the -y side.
    o.exit_gate_offset = { 0, 0 };
    o.exit_gate_right = true;
    sim_walk right = generate_walk(o);
    EXPECT_LT(right.truth.waypoints[5][1], -30.0);
    EXPECT_NEAR(right.truth.theta, 0.0, 1e-9);

    // 6 m further out than the nominal gate: ignored, theta from the pole.
    o.exit_gate_right = false;
    o.exit_gate_offset = { 6.0 * n[0] / std::hypot(n[0], n[1]), 6.0 * n[1] / std::hypot(n[0], n[1]) };
    EXPECT_NEAR(generate_walk(o).truth.theta, 0.0, 1e-9);
}

TEST(walk_sim, course_frame_sits_on_the_ground_at_the_gate)
{
    walk_options o;
    o.course = { 47.1, -122.5, 250.0, 310.0 };
    sim_walk w = generate_walk(o);
    // The origin maps to the ground point under the gate; +x points along the heading.
    vec3 origin = ecef_to_wgs84(transform_point(matrix_invert(w.truth.matrix), { 0, 0, 0 }));
    EXPECT_NEAR(origin[0], 47.1, 1e-9);
    EXPECT_NEAR(origin[1], -122.5, 1e-9);
    EXPECT_NEAR(origin[2], 250.0, 1e-6);
    // The local x axis seen in north/east components at the origin.
    vec3 x_axis = transform_vector(matrix_invert(w.truth.matrix), { 1, 0, 0 });
    double phi = 47.1 * std::numbers::pi / 180.0, lambda = -122.5 * std::numbers::pi / 180.0;
    double north = -std::sin(phi) * std::cos(lambda) * x_axis[0]
        - std::sin(phi) * std::sin(lambda) * x_axis[1] + std::cos(phi) * x_axis[2];
    double east = -std::sin(lambda) * x_axis[0] + std::cos(lambda) * x_axis[1];
    EXPECT_NEAR(std::atan2(east, north) * 180.0 / std::numbers::pi, 310.0 - 360.0, 1e-6);
    EXPECT_NEAR(w.truth.waypoints_wgs84[2][2], 251.0, 1e-3); // logger 1 m above the ground
}

TEST(walk_sim, rejects_a_pond_too_small_for_the_survey)
{
    walk_options o;
    o.pond_width = 8.0;
    o.upstream = 6.0;
    EXPECT_THROW(generate_walk(o), std::invalid_argument);
    o = walk_options {};
    o.rate = 30;
    EXPECT_THROW(generate_walk(o), std::invalid_argument);
}

} // namespace
