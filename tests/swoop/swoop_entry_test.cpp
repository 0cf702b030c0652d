// SPDX-License-Identifier: GPL-3.0-or-later
// The swoop record and the analysis entry: loading, gate types and their
// early returns, the gate location check, the debug dump and the turned
// second run.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <numbers>

#include "core/files/coord_dump.h"
#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "core/swoop/swoop.h"
#include "core/track/track_frames.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

namespace {

using test_support::scoped_cwd;
using test_support::temp_dir;

const std::string csv_header = "time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,heading,cAcc,gpsFix,numSV\r\n"
                               "(ISO8601),(deg),(deg),(m),(m/s),(m/s),(m/s),(m),(m),(m/s),(deg),(deg),,\r\n";

// A record holding samples at rest at the given geodetic points, 200 ms apart.
swoop resting_at(const std::vector<vec3>& points)
{
    swoop s;
    int64_t t = 1563120151000;
    for (const vec3& p : points) {
        gps_point g {};
        g.time = t;
        g.pos_wgs84 = p;
        g.vacc = 2;
        s.track.push_back(g);
        t += 200;
    }
    s.track_len = static_cast<uint32_t>(s.track.size());
    return s;
}

// A frame with the ECEF axes, placing the ECEF point `at` at local `local`.
frame_matrix frame_placing(const vec3& at, const vec3& local)
{
    frame_matrix m = frame_identity();
    for (int r = 0; r < 3; r++)
        m[r][3] = local[r] - at[r];
    return m;
}

constexpr double mile = 1609.344; // m

const vec3 field = { 47.2, 8.5, 420 }; // lat deg, lon deg, m

} // namespace

TEST(swoop_new, without_a_path_gives_an_empty_record)
{
    const char* err = nullptr;
    std::unique_ptr<swoop> s = swoop_new(nullptr, &err);
    ASSERT_TRUE(s);
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(s->track_len, 0u);
    EXPECT_TRUE(s->track.empty());
    EXPECT_TRUE(s->file.empty());
    swoop_free(s);
    EXPECT_FALSE(s);
    swoop_free(s); // freeing none is fine
}

TEST(swoop_new, loads_a_logger_file_and_keeps_its_path)
{
    temp_dir dir;
    const std::string path = dir.file("jump.csv");
    test_support::write_file(path,
        csv_header
            + "2019-07-14T16:02:31.400Z,47.2,8.5,900.5,1,2,3,2.1,3.2,0.4,0,0,3,12\r\n"
              "2019-07-14T16:02:31.600Z,47.2,8.5,899.5,1,2,3,2.1,3.2,0.4,0,0,3,12\r\n"
              "2019-07-14T16:02:31.800Z,47.2,8.5,898.5,1,2,3,2.1,3.2,0.4,0,0,3,12\r\n");
    const char* err = nullptr;
    std::unique_ptr<swoop> s = swoop_new(path.c_str(), &err);
    ASSERT_TRUE(s) << err;
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(s->file, path);
    ASSERT_EQ(s->track_len, 3u);
    EXPECT_EQ(s->track.size(), 3u);
    EXPECT_EQ(s->track[2].time - s->track[0].time, 400);
    EXPECT_EQ(s->track[1].pos_wgs84[2], 899.5);
    EXPECT_EQ(s->gate_type, 0u);
    EXPECT_EQ(s->stop, 0u);
    EXPECT_FALSE(s->debug);
}

TEST(swoop_new, a_file_that_does_not_load_gives_the_loader_message)
{
    temp_dir dir;
    const std::string missing = dir.file("missing.csv");
    const char* err = nullptr;
    EXPECT_FALSE(swoop_new(missing.c_str(), &err));
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(std::string(err), "failed to open file: " + missing);
}

TEST(swoop_analyse, an_empty_record_has_no_points)
{
    swoop s;
    const frame_matrix m = frame_identity();
    const char* err = nullptr;
    swoop_analyse(s, frame_as_given, &m, 0, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "no points found in track");
}

TEST(swoop_analyse, gate_type_3_is_refused_and_changes_nothing)
{
    swoop s = resting_at({ field, field });
    s.matrix[0][0] = 7;
    s.rotate_theta = 0.25;
    s.stop = 1;
    s.reversal_detected = true;
    const swoop before = s;
    const frame_matrix m = frame_identity();
    const char* err = nullptr;
    swoop_analyse(s, frame_kind(3), &m, 1.5, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "invalid gate type");
    EXPECT_EQ(s.matrix, before.matrix);
    EXPECT_EQ(s.rotate_theta, before.rotate_theta);
    EXPECT_EQ(s.rotate_matrix_in, before.rotate_matrix_in);
    EXPECT_EQ(s.gate_type, before.gate_type);
    EXPECT_EQ(s.stop, before.stop);
    EXPECT_TRUE(s.reversal_detected);
    EXPECT_EQ(s.track[0].pos_local, before.track[0].pos_local);

    // Types 0 and 1 without a matrix have no frame to judge in.
    err = nullptr;
    swoop_analyse(s, frame_as_given, nullptr, 0, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "invalid gate type");
}

TEST(swoop_analyse, swoop_a_mile_from_the_gate_is_refused_with_the_distance)
{
    const vec3 higher = { field[0], field[1], field[2] + 300 };
    swoop s = resting_at({ higher, field, higher });
    const frame_matrix m = frame_placing(wgs84_to_ecef(field), { mile, 0, 0 });
    const char* err = nullptr;
    swoop_analyse(s, frame_as_given, &m, 0, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "invalid gate location (1.0 miles between gate and swoop)");
    // The frame and the local positions are in place; the phases were not reached.
    EXPECT_EQ(s.matrix, m);
    EXPECT_NEAR(s.track[1].pos_local[0], mile, 1e-6);
    EXPECT_EQ(s.top_of_turn, 0u);

    // The smallest distance counts, wherever it lies in the track.
    const frame_matrix two = frame_placing(wgs84_to_ecef(field), { 0, 2 * mile, 0 });
    swoop_analyse(s, frame_as_given, &two, 0, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "invalid gate location (2.0 miles between gate and swoop)");
}

TEST(swoop_analyse, one_sample_within_1000_m_passes_the_location_check)
{
    // The first sample 5 km up, the second 999 m from the origin.
    const vec3 high = { field[0], field[1], field[2] + 5000 };
    swoop s = resting_at({ high, field });
    const frame_matrix m = frame_placing(wgs84_to_ecef(field), { 999, 0, 0 });
    const char* err = nullptr;
    swoop_analyse(s, frame_as_given, &m, 0, &err);
    EXPECT_GT(vec3_norm(s.track[0].pos_local), 5000);
    // The analysis goes on past the check (and fails later on a track that is no swoop).
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(std::strstr(err, "invalid gate location"), nullptr) << err;
}

// Regression: a repeated call with the same frame returned at once, without
// an error, after an analysis that had failed.
TEST(swoop_analyse, a_failed_analysis_fails_again_when_repeated)
{
    swoop s = resting_at({ field, field, field });
    const frame_matrix m = frame_placing(wgs84_to_ecef(field), { 0, 0, 3 * mile });
    for (frame_kind type : { frame_as_given, frame_as_given, frame_from_gate, frame_from_gate }) {
        const char* err = nullptr;
        swoop_analyse(s, type, &m, 0.5, &err);
        ASSERT_NE(err, nullptr) << "gate type " << type;
        EXPECT_STREQ(err, "invalid gate location (3.0 miles between gate and swoop)");
    }
}

TEST(swoop_analyse, debug_writes_the_coordinate_dump_before_the_location_check)
{
    temp_dir dir;
    scoped_cwd cwd(dir.path());
    swoop s = resting_at({ field, field, field });
    s.debug = true;
    const frame_matrix m = frame_placing(wgs84_to_ecef(field), { 2 * mile, 0, 0 });
    const char* err = nullptr;
    swoop_analyse(s, frame_as_given, &m, 0, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "invalid gate location (2.0 miles between gate and swoop)");
    const std::string dump = test_support::read_file(dir.file("coord.txt"));
    EXPECT_EQ(dump.rfind("time  (posx,posy,posz)", 0), 0u);
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 2 + 3);
    EXPECT_NE(dump.find("10560.00"), std::string::npos); // 2 miles in feet
}

TEST(swoop_analyse, a_dump_that_cannot_be_written_ends_the_analysis)
{
    temp_dir dir;
    scoped_cwd cwd(dir.path());
    std::filesystem::create_directory(dir.file("coord.txt"));
    swoop s = resting_at({ field, field });
    s.debug = true;
    const frame_matrix m = frame_placing(wgs84_to_ecef(field), { 2 * mile, 0, 0 });
    const char* err = nullptr;
    swoop_analyse(s, frame_as_given, &m, 0, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "failed to open file: coord.txt");
}

// --- on simulated jumps -------------------------------------------------------

namespace {

swoop from_samples(const std::vector<gps_point>& samples)
{
    swoop s;
    s.file = "simulated.csv";
    s.track = samples;
    s.track_len = static_cast<uint32_t>(samples.size());
    return s;
}

// The phase indices and gate results a pass computes.
void expect_same_results(const swoop& a, const swoop& b)
{
    EXPECT_EQ(a.plane_exit, b.plane_exit);
    EXPECT_EQ(a.pattern_entry, b.pattern_entry);
    EXPECT_EQ(a.top_of_turn, b.top_of_turn);
    EXPECT_EQ(a.rollout, b.rollout);
    EXPECT_EQ(a.bottom_of_turn, b.bottom_of_turn);
    EXPECT_EQ(a.stop, b.stop);
    EXPECT_EQ(a.entry_gate, b.entry_gate);
    EXPECT_EQ(a.entry_gate_time, b.entry_gate_time);
    EXPECT_EQ(a.entry_gate_ypos, b.entry_gate_ypos);
    EXPECT_EQ(a.max_vert_speed, b.max_vert_speed);
    EXPECT_EQ(a.max_horz_speed, b.max_horz_speed);
    EXPECT_EQ(a.max_total_speed, b.max_total_speed);
    EXPECT_EQ(a.bottom_time, b.bottom_time);
    EXPECT_EQ(a.turn_degrees, b.turn_degrees);
    EXPECT_EQ(a.touchdown_time, b.touchdown_time);
    EXPECT_EQ(a.touchdown_distance, b.touchdown_distance);
}

frame_matrix turned(frame_matrix m, double angle)
{
    matrix_rotate_z(m, angle);
    return m;
}

sim_swoop simulate(bool reverse, bool carve = false, double theta = 0)
{
    swoop_options o;
    o.seed = 7;
    o.reverse = reverse;
    o.carve = carve;
    o.theta = theta;
    return generate_swoop(o);
}

// A simulated jump with its record after an analysis against the course
// (gate type 0, speed-course angle theta in radians).
struct judged {
    sim_swoop sim;
    frame_matrix gate {}; // the course frame the analysis was given
    swoop s;
    std::string err; // the analysis' message, "" when it succeeded
};

judged judge(const sim_swoop& sim, double theta)
{
    judged j { sim, sim.truth.course_matrix, from_samples(sim.samples), "" };
    const char* err = nullptr;
    swoop_analyse(j.s, frame_from_gate, &j.gate, theta, &err);
    if (err)
        j.err = err;
    return j;
}

} // namespace

TEST(swoop_analyse, reversed_swoop_is_judged_again_in_the_frame_turned_by_pi)
{
    const judged j = judge(simulate(true), 0);
    ASSERT_EQ(j.err, "");
    const swoop& s = j.s;
    const frame_matrix& gate = j.gate;
    EXPECT_TRUE(s.reversal_detected);
    EXPECT_FALSE(s.carve_detected);
    EXPECT_EQ(s.gate_type, 0u);
    EXPECT_EQ(s.rotate_matrix_in, gate);
    EXPECT_EQ(s.rotate_theta, 0);
    EXPECT_EQ(s.matrix, turned(gate, std::numbers::pi));
    EXPECT_EQ(s.rotate_matrix_out, s.matrix);
    // Every sample and result comes from the second pass: flown toward +x now.
    EXPECT_LT(s.track[s.rollout].pos_local[0], 0);
    EXPECT_GT(s.track[s.stop].pos_local[0], 0);
    EXPECT_NE(s.entry_gate, 0u);
    EXPECT_NEAR(
        static_cast<double>(s.entry_gate_time), static_cast<double>(j.sim.truth.entry_gate_time), 250);

    // The same as a single pass in the turned frame.
    swoop once = from_samples(j.sim.samples);
    const char* err = nullptr;
    swoop_analyse(once, frame_as_given, &s.matrix, 0, &err);
    ASSERT_EQ(err, nullptr) << err;
    EXPECT_FALSE(once.reversal_detected);
    expect_same_results(s, once);
    for (uint32_t i = 0; i < s.track_len; i += 97)
        EXPECT_EQ(s.track[i].pos_local, once.track[i].pos_local) << i;
}

TEST(swoop_analyse, swoop_flown_along_the_gate_is_judged_once)
{
    const judged j = judge(simulate(false), 0.3);
    ASSERT_EQ(j.err, "");
    const swoop& s = j.s;
    EXPECT_FALSE(s.reversal_detected);
    EXPECT_FALSE(s.carve_detected);
    EXPECT_EQ(s.matrix, j.gate);
    EXPECT_EQ(s.rotate_theta, 0.3);
    EXPECT_EQ(s.rotate_matrix_out, frame_matrix {}); // never turned
    EXPECT_NE(s.entry_gate, 0u);
}

TEST(swoop_analyse, speed_course_verdict_turns_by_theta_and_pi_when_reversed)
{
    const double theta = 0.2; // radians
    for (bool reverse : { false, true }) {
        SCOPED_TRACE(reverse ? "reversed" : "along the course");
        const judged j = judge(simulate(reverse, true, theta), theta);
        ASSERT_EQ(j.err, "");
        const swoop& s = j.s;
        EXPECT_TRUE(s.carve_detected);
        EXPECT_EQ(s.reversal_detected, reverse);
        const double angle = (reverse ? std::numbers::pi : 0) + theta;
        EXPECT_EQ(s.matrix, turned(j.gate, angle));
        EXPECT_EQ(s.rotate_matrix_out, s.matrix);
    }
}

TEST(swoop_analyse, unchanged_frame_returns_at_once)
{
    judged j = judge(simulate(true), 0);
    ASSERT_EQ(j.err, "");
    swoop& s = j.s;
    const frame_matrix& gate = j.gate;
    const char* err = nullptr;
    const uint32_t stop = s.stop;

    // Gate type 0: same theta and gate, and the frame is still the turned one.
    s.stop = 1; // a pass would recompute it
    swoop_analyse(s, frame_from_gate, &gate, 0, &err);
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(s.stop, 1u);
    // Another theta runs again.
    swoop_analyse(s, frame_from_gate, &gate, 0.1, &err);
    ASSERT_EQ(err, nullptr) << err;
    EXPECT_EQ(s.stop, stop);
    EXPECT_EQ(s.rotate_theta, 0.1);

    // Gate type 1: the matrix in use.
    const frame_matrix current = s.matrix;
    s.stop = 1;
    swoop_analyse(s, frame_as_given, &current, 0, &err);
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(s.stop, 1u);
    EXPECT_EQ(s.gate_type, 0u);
    swoop_analyse(s, frame_as_given, &gate, 0, &err); // unturned: flown backwards, not turned for type 1
    ASSERT_EQ(err, nullptr) << err;
    EXPECT_EQ(s.stop, stop);
    EXPECT_EQ(s.gate_type, 1u);
    EXPECT_EQ(s.matrix, gate);
    EXPECT_TRUE(s.reversal_detected);
}

TEST(swoop_analyse, gate_type_2_builds_the_frame_once)
{
    const sim_swoop sim = simulate(false);
    swoop s = from_samples(sim.samples);
    const char* err = nullptr;
    swoop_analyse(s, frame_from_swoop, nullptr, 0, &err);
    ASSERT_EQ(err, nullptr) << err;
    EXPECT_EQ(s.gate_type, 2u);
    EXPECT_NE(s.matrix, frame_matrix {});
    // The origin is the bottom of the swoop: the gate is passed near the start of the run.
    EXPECT_NE(s.entry_gate, 0u);

    const frame_matrix built = s.matrix;
    s.matrix = frame_identity(); // a rebuild would replace it
    swoop_analyse(s, frame_from_swoop, nullptr, 0, &err);
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(s.matrix, frame_identity());

    // After another gate type the frame is built again, the same way.
    swoop_analyse(s, frame_as_given, &sim.truth.course_matrix, 0, &err);
    ASSERT_EQ(err, nullptr) << err;
    swoop_analyse(s, frame_from_swoop, nullptr, 0, &err);
    ASSERT_EQ(err, nullptr) << err;
    EXPECT_EQ(s.matrix, built);
}

TEST(swoop_analyse, debug_dump_of_a_turned_run_holds_the_turned_frame)
{
    temp_dir dir;
    const sim_swoop sim = simulate(true);
    const frame_matrix gate = sim.truth.course_matrix;
    swoop s = from_samples(sim.samples);
    s.debug = true;
    {
        scoped_cwd cwd(dir.path());
        const char* err = nullptr;
        swoop_analyse(s, frame_from_gate, &gate, 0, &err);
        ASSERT_EQ(err, nullptr) << err;
    }
    ASSERT_TRUE(s.reversal_detected);
    temp_dir again;
    {
        scoped_cwd cwd(again.path());
        const char* err = nullptr;
        coord_dump_write(s.track.data(), s.track_len, &err);
        ASSERT_EQ(err, nullptr) << err;
    }
    EXPECT_EQ(
        test_support::read_file(dir.file("coord.txt")), test_support::read_file(again.file("coord.txt")));
}

// The desktop program analyses one record in several frames: its gate's,
// its own after the gate is closed, another swoop's when it is compared.
// Each analysis gives what a fresh record would.
TEST(swoop_analyse, a_record_analysed_again_in_another_frame_keeps_nothing_of_the_last)
{
    const double theta = 0.25;
    const sim_swoop sim = simulate(false, true, theta);
    judged j = judge(sim, theta);
    ASSERT_EQ(j.err, "");
    ASSERT_TRUE(j.s.carve_detected);
    ASSERT_NE(j.s.exit_gate_time, 0u);
    const char* err = nullptr;

    // Without the gate: no speed course, as for a record analysed only so.
    swoop again = j.s;
    swoop_analyse(again, frame_from_swoop, nullptr, 0, &err);
    ASSERT_EQ(err, nullptr) << err;
    swoop fresh = from_samples(sim.samples);
    swoop_analyse(fresh, frame_from_swoop, nullptr, 0, &err);
    ASSERT_EQ(err, nullptr) << err;
    expect_same_results(again, fresh);
    EXPECT_EQ(again.exit_gate, 0u);
    EXPECT_EQ(again.exit_gate_time, 0u);
    EXPECT_EQ(again.exit_gate_speed, 0);
    EXPECT_FALSE(again.carve_detected);

    // Compared in a frame equal to its own turned one, then judged against
    // the gate again: the gate's analysis runs, with the speed course.
    swoop compared = j.s;
    const frame_matrix own = j.s.matrix;
    swoop_analyse(compared, frame_from_swoop, nullptr, 0, &err);
    swoop_analyse(compared, frame_as_given, &own, 0, &err);
    ASSERT_EQ(err, nullptr) << err;
    EXPECT_FALSE(compared.carve_detected);
    swoop_analyse(compared, frame_from_gate, &j.gate, theta, &err);
    ASSERT_EQ(err, nullptr) << err;
    expect_same_results(compared, j.s);
    EXPECT_TRUE(compared.carve_detected);
    EXPECT_EQ(compared.exit_gate_time, j.s.exit_gate_time);
    EXPECT_EQ(compared.gate_type, frame_from_gate);
}
