// SPDX-License-Identifier: GPL-3.0-or-later
// Simulated gate walks with logger noise, surveyed through their logger
// files: the frame, theta and pond must match the simulator's truth.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <numbers>
#include <string>

#include "core/gate/gate.h"
#include "core/geometry/vector_math.h"
#include "tests/gate/gate_test_util.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

namespace {

using gate_test::count_lines;

using std::numbers::pi;

struct survey {
    sim_walk walk;
    std::unique_ptr<gate> g;
    std::string log;
    const char* err = nullptr;
};

survey survey_walk(const walk_options& o, sim_dialect dialect = sim_dialect::field_names)
{
    survey s;
    s.walk = generate_walk(o);
    test_support::temp_dir dir;
    std::string path = dir.file("walk.csv");
    const char* err = nullptr;
    EXPECT_TRUE(write_track(path.c_str(), s.walk.samples, dialect, &err)) << err;
    s.g = gate_open(path.c_str(), &s.log, &s.err);
    return s;
}

// A course-frame point (truth) in the surveyed frame.
vec3 in_survey(const survey& s, const vec3& p)
{
    return transform_point(s.g->matrix, transform_point(matrix_invert(s.walk.truth.matrix), p));
}

// A surveyed-frame point in the course frame (truth).
vec3 in_truth(const survey& s, const vec3& p)
{
    return transform_point(s.walk.truth.matrix, transform_point(matrix_invert(s.g->matrix), p));
}

// The log with every number (sign included) as "#" and runs of blanks as
// one blank: the shape of the text without its figures.
std::string shape(const std::string& log)
{
    std::string out;
    for (size_t k = 0; k < log.size(); ++k) {
        char c = log[k];
        if (c == '-' && k + 1 < log.size() && std::isdigit(static_cast<unsigned char>(log[k + 1])))
            continue;
        if (std::isdigit(static_cast<unsigned char>(c))) {
            if (out.empty() || out.back() != '#')
                out += '#';
            continue;
        }
        if (c == ' ' && !out.empty() && out.back() == ' ')
            continue;
        out += c;
    }
    return out;
}

double degrees(double radians)
{
    return radians * 180 / pi;
}

// Horizontal distance (m) from p to the closed polyline of a terminated outline.
double distance_to_outline(const vec3& p, const std::vector<vec3>& outline)
{
    double best = 1e30;
    for (size_t k = 0; k + 2 < outline.size(); ++k) {
        vec2 closest;
        best = std::min(best, point_segment_distance(xy(p), xy(outline[k]), xy(outline[k + 1]), &closest));
    }
    return best;
}

} // namespace

TEST(gate_walk, frame_matches_the_course)
{
    for (bool clockwise : { false, true })
        for (double rate : { 5.0, 1.0 })
            for (bool exit_gate : { false, true }) {
                walk_options o;
                o.clockwise = clockwise;
                o.rate = rate;
                o.exit_gate = exit_gate;
                o.seed = 11 + (clockwise ? 4 : 0) + (rate == 1.0 ? 2 : 0) + (exit_gate ? 1 : 0);
                o.course.heading = clockwise ? 212 : 37;
                SCOPED_TRACE(testing::Message()
                    << "clockwise " << clockwise << ", " << rate << " Hz, exit gate " << exit_gate);
                survey s = survey_walk(o, rate == 1.0 ? sim_dialect::records : sim_dialect::field_names);
                ASSERT_EQ(s.err, nullptr) << s.err << "\n" << s.log;
                ASSERT_TRUE(s.g);

                vec3 origin = in_survey(s, { 0, 0, 0 });
                EXPECT_LT(std::hypot(origin[0], origin[1]), 1.0) << origin[0] << ", " << origin[1];
                vec3 ahead = in_survey(s, { 100, 0, 0 });
                vec3 axis = { ahead[0] - origin[0], ahead[1] - origin[1], 0 };
                EXPECT_LT(std::fabs(degrees(std::atan2(axis[1], axis[0]))), 2.0);
                vec3 up = in_survey(s, { 0, 0, 100 });
                EXPECT_GT(up[2] - origin[2], 99.9);

                EXPECT_EQ(count_lines(s.log, "waypoint detected: "), exit_gate ? 6 : 5) << s.log;
                EXPECT_EQ(count_lines(s.log, "WARNING: clockwise pond walk detected"), clockwise ? 1 : 0)
                    << s.log;
                EXPECT_EQ(count_lines(s.log, "WARNING: exit gate location ignored"), 0) << s.log;
                if (exit_gate) {
                    EXPECT_LT(std::fabs(degrees(s.g->theta - s.walk.truth.theta)), 3.0);
                }

                // The pond: every recorded point near the walked edge.
                ASSERT_GT(s.g->pond.size(), 10u);
                for (size_t k = 0; k + 1 < s.g->pond.size(); ++k)
                    EXPECT_LT(distance_to_outline(in_truth(s, s.g->pond[k]), s.walk.truth.pond), 2.0) << k;
            }
}

TEST(gate_walk, exit_gate_displaced)
{
    const vec2 offsets[] = { { 3, 0 }, { 0, 3 }, { -2.1, 2.1 }, { 2.1, -2.1 } };
    for (bool right : { false, true })
        for (const vec2& off : offsets) {
            walk_options o;
            o.exit_gate_right = right;
            o.exit_gate_offset = off;
            // A seed per case; negative sums wrap as they always did.
            o.seed = 40 + static_cast<uint64_t>(static_cast<int64_t>(off[0] * 10 + off[1])) + (right ? 1 : 0);
            SCOPED_TRACE(testing::Message() << "right " << right << ", offset " << off[0] << ", " << off[1]);
            survey s = survey_walk(o);
            ASSERT_EQ(s.err, nullptr) << s.err << "\n" << s.log;
            EXPECT_EQ(count_lines(s.log, "exit gate location error (before, after) = "), 1) << s.log;
            EXPECT_EQ(count_lines(s.log, "WARNING"), 0) << s.log;
            EXPECT_LT(std::fabs(degrees(s.g->theta - s.walk.truth.theta)), 3.0)
                << degrees(s.g->theta) << " vs " << degrees(s.walk.truth.theta);
        }
}

TEST(gate_walk, exit_gate_too_far_out_is_ignored)
{
    walk_options o;
    o.seed = 77;
    const vec3& n = generate_walk(o).truth.exit_gate_nominal;
    double len = std::hypot(n[0], n[1]);
    o.exit_gate_offset = { 10 * n[0] / len, 10 * n[1] / len };
    survey s = survey_walk(o);
    ASSERT_EQ(s.err, nullptr) << s.err << "\n" << s.log;
    EXPECT_NE(
        s.log.find("\nWARNING: exit gate location ignored (error too large)\ntheta = "), std::string::npos)
        << s.log;
    // Without a usable exit gate theta comes from entry-gate end B.
    const vec3& b = s.g->waypoints[1];
    EXPECT_NEAR(s.g->theta, std::atan2(b[0], b[1]), 0.01);
}

TEST(gate_walk, short_stops_are_not_waypoints)
{
    // The samples walking in and out within 2 m of a stop count as standing
    // (about 1.5 s each way at walking pace), so stops of 5.5 s and more
    // already pass the 8 s test; stops of 4 s never do.
    walk_options o;
    o.seed = 5;
    o.stop_time = 4;
    survey s = survey_walk(o);
    EXPECT_FALSE(s.g);
    EXPECT_STREQ(s.err, "could not detect waypoint") << s.log;

    o.stop_time = 7;
    s = survey_walk(o);
    EXPECT_EQ(s.err, nullptr) << s.err;
    EXPECT_EQ(count_lines(s.log, "waypoint detected: "), 6) << s.log;
}

TEST(gate_walk, log_lines)
{
    walk_options o;
    o.seed = 3;
    o.exit_gate = false;
    survey s = survey_walk(o);
    ASSERT_EQ(s.err, nullptr) << s.err;
    std::string waypoint = "waypoint detected: # points, #ms interval, #.#m deviation\n";
    EXPECT_EQ(shape(s.log),
        waypoint + waypoint + waypoint + waypoint + waypoint
            + "average height: #.#m (#.#m, #.#m, #.#m, #.#m deviation)\n"
              "theta = #.# degrees\n")
        << s.log;

    o.clockwise = true;
    o.exit_gate = true;
    s = survey_walk(o);
    ASSERT_EQ(s.err, nullptr) << s.err;
    EXPECT_EQ(shape(s.log),
        waypoint + waypoint + waypoint + waypoint + waypoint + waypoint
            + "average height: #.#m (#.#m, #.#m, #.#m, #.#m deviation)\n"
              "WARNING: clockwise pond walk detected\n"
              "exit gate location error (before, after) = (#.#m, #.#m)\n"
              "theta = #.# degrees\n")
        << s.log;
    // The walk is kept with its local positions filled.
    EXPECT_EQ(s.g->track_len, s.walk.samples.size());
    const gps_point& first = s.g->track[0];
    EXPECT_EQ(first.pos_local, transform_point(s.g->matrix, first.pos_ecef));
}

TEST(gate_walk, failures)
{
    const char* err = nullptr;
    std::string log = "old";
    EXPECT_FALSE(gate_open(nullptr, &log, &err));
    EXPECT_STREQ(err, "gate filename not specified");

    err = nullptr;
    EXPECT_FALSE(gate_open("/no/such/walk.csv", &log, &err));
    EXPECT_STREQ(err, "failed to open file: /no/such/walk.csv");
    EXPECT_EQ(log, "");

    // The logger 5 m higher while standing at D: the survey stops after the
    // height line, and the log so far is handed over.
    walk_options o;
    o.seed = 9;
    sim_walk walk = generate_walk(o);
    for (gps_point& p : walk.samples)
        if (p.time >= walk.truth.stop_start[3] && p.time <= walk.truth.stop_end[3])
            p.pos_wgs84[2] += 5;
    test_support::temp_dir dir;
    std::string path = dir.file("walk.csv");
    ASSERT_TRUE(write_track(path.c_str(), walk.samples, sim_dialect::field_names, &err)) << err;
    err = nullptr;
    EXPECT_FALSE(gate_open(path.c_str(), &log, &err));
    EXPECT_EQ(std::string(err ? err : "").substr(0, 37), "excessive error in waypoint height (3");
    EXPECT_EQ(count_lines(log, "waypoint detected: "), 6) << log;
    EXPECT_EQ(count_lines(log, "average height: "), 1) << log;
    EXPECT_EQ(log.find("theta"), std::string::npos);
}
