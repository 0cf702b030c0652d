// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis on inputs found by fuzzing (tests/data/quirks/container-*),
// and the report of values that are not finite numbers.
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/swoop/point_at.h"
#include "core/swoop/report.h"
#include "core/swoop/swoop.h"
#include "core/swoop/swoop_stages.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();
constexpr double infinite = std::numeric_limits<double>::infinity();

std::string line(const std::string& report, int n)
{
    size_t at = 0;
    for (int i = 1; i < n; ++i)
        at = report.find('\n', at) + 1;
    return report.substr(at, report.find('\n', at) - at + 1);
}

int count_lines(const std::string& s)
{
    int n = 0;
    for (char c : s)
        n += c == '\n';
    return n;
}

// Every analysis the programs run on a record, with the checks that must
// hold whatever the track: reports of 17 lines without a non-number, indices
// inside the track, player samples on or after the top of the turn.
void analyse_every_way(swoop& s, const frame_matrix& course)
{
    const struct {
        frame_kind type;
        const frame_matrix* matrix;
        double theta;
    } runs[] = { { frame_from_gate, &course, 0.0208 }, { frame_from_swoop, nullptr, 0 },
        { frame_as_given, &course, 0 } };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.type);
        const char* err = nullptr;
        swoop_analyse(s, run.type, run.matrix, run.theta, &err);
        const bool analysed = err == nullptr;
        for (bool metric : { false, true }) {
            err = nullptr;
            const std::string report = swoop_report(s, metric, &err);
            EXPECT_EQ(err, nullptr);
            EXPECT_EQ(count_lines(report), 17);
            EXPECT_EQ(report.find("nan"), std::string::npos) << report;
            EXPECT_EQ(report.find("inf"), std::string::npos) << report;
        }
        if (!analysed)
            continue;
        for (uint32_t i :
            { s.plane_exit, s.pattern_entry, s.top_of_turn, s.rollout, s.bottom_of_turn, s.stop })
            EXPECT_LT(i, s.track_len);
        for (int64_t offset : { int64_t { 0 }, int64_t { 2000 }, int64_t { -1 } })
            swoop_point_at(s, offset);
    }
}

const sim_swoop& jump()
{
    static const sim_swoop sim = [] {
        swoop_options o;
        o.climb_start = 1100;
        return generate_swoop(o);
    }();
    return sim;
}

swoop analysed_jump()
{
    swoop s;
    s.track = jump().samples;
    s.track_len = static_cast<uint32_t>(s.track.size());
    const char* err = nullptr;
    swoop_analyse(s, frame_from_gate, &jump().truth.course_matrix, 0, &err);
    EXPECT_EQ(err, nullptr);
    return s;
}

} // namespace

// Found by fuzzing: neighbouring times in a container 2^63 ms and more
// apart made the time steps overflow (signed 64-bit arithmetic).
TEST(swoop_hardening, container_with_times_far_apart)
{
    const char* err = nullptr;
    std::unique_ptr<swoop> s
        = swoop_new(test_support::data_file("quirks/container-times-far-apart.skm").c_str(), &err);
    ASSERT_NE(s, nullptr) << err;
    bool far_apart = false;
    for (uint32_t i = 1; i < s->track_len; ++i) {
        const int64_t a = s->track[i - 1].time, b = s->track[i].time;
        far_apart = far_apart || (a < 0) != (b < 0);
    }
    EXPECT_TRUE(far_apart);
    analyse_every_way(*s, jump().truth.course_matrix);
}

// Found by fuzzing: a container with wild but finite values; its analysis
// succeeds in the course frame with heights of 1e90 ft.
TEST(swoop_hardening, container_with_wild_values)
{
    const char* err = nullptr;
    std::unique_ptr<swoop> s = swoop_new(
        test_support::data_file("quirks/container-wild-values-for-fixed-plot-steps.skm").c_str(), &err);
    ASSERT_NE(s, nullptr) << err;
    analyse_every_way(*s, jump().truth.course_matrix);
}

// Values that are not finite numbers print as the dashes of a missing value,
// as wide as the number's field; the other values of the report stay as
// they are.
TEST(swoop_hardening, report_shows_values_that_are_not_numbers_as_dashes)
{
    swoop s = analysed_jump();
    // A sample of its own for the highest descent rate, so that only its
    // line shows the change made to it.
    s.max_vert_speed = s.top_of_turn + 1;
    s.results = swoop_results_compute(s);
    const char* err = nullptr;
    const std::string before = swoop_report(s, false, &err);
    ASSERT_EQ(err, nullptr);

    s.track[s.top_of_turn].pos_local = { not_a_number, infinite, -infinite };
    s.track[s.max_vert_speed].vel_local[2] = -not_a_number;
    s.track[s.plane_exit].pos_local[2] = not_a_number;
    s.bottom_xpos = not_a_number;
    s.touchdown_speed = infinite;
    s.entry_gate_speed = not_a_number;
    s.exit_gate_time = s.entry_gate_time + 5123;
    s.exit_gate_speed = -infinite;
    s.track[s.stop].pos_local[0] = not_a_number;
    s.results = swoop_results_compute(s);
    const std::string after = swoop_report(s, false, &err);
    ASSERT_EQ(err, nullptr);
    ASSERT_EQ(count_lines(after), 17);

    EXPECT_EQ(line(after, 1), "exited airplane:     ----- ft AGL\n");
    EXPECT_EQ(line(after, 2), "initiated turn:       ---- ft AGL, ---- ft back, ---- ft offset\n");
    EXPECT_EQ(line(after, 3).substr(line(after, 3).find('(')), "(---- mph)\n");
    EXPECT_EQ(line(after, 5).substr(0, 35), line(before, 5).substr(0, 35));
    EXPECT_EQ(line(after, 5).substr(35, 14), "---- ft back, ");
    EXPECT_EQ(line(after, 14), "entry gate speed:      ---- mph\n");
    EXPECT_EQ(line(after, 15), "distance to stop:      ---- ft\n");
    EXPECT_EQ(line(after, 16).substr(line(after, 16).find('(')), "(---- mph)\n");
    EXPECT_EQ(line(after, 17), "speed carve time:      5.12 sec (---- mph)\n");
    for (int n : { 4, 6, 7, 9, 10, 11, 12 })
        EXPECT_EQ(line(after, n), line(before, n)) << n;
}
