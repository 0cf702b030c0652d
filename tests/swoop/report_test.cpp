// SPDX-License-Identifier: GPL-3.0-or-later
// The results report: its 17 lines in both unit systems, the dashes of
// missing values, the 5-character short fields and the signs.
#include <cmath>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "core/swoop/report.h"
#include "core/swoop/swoop.h"
#include "core/swoop/swoop_stages.h"

namespace {

constexpr int64_t t0 = 1563120000000; // ms
constexpr double ft = 3.2808399;

gps_point at(vec3 pos, vec3 vel, int64_t time = 0)
{
    gps_point p {};
    p.pos_local = pos;
    p.vel_local = vel;
    p.time = time;
    return p;
}

// A record with every result filled, one sample per reported index.
swoop analysed()
{
    swoop s;
    s.track = {
        at({ 0, 0, 0 }, { 0, 0, 0 }), at({ -3000, 0, 1000 }, { 40, 0, 0 }), // 1 plane exit
        at({ -250, 3, 120 }, { 10, 0, -8 }, t0), // 2 top of turn
        at({ -150, -2, 60 }, { 20, 0, -25 }, t0 + 2000), // 3 max vertical speed
        at({ -120, 1, 45 }, { 24, 0, -20 }, t0 + 4600), // 4 rollout
        at({ -60, -0.5, 10 }, { 30, 0, -15 }, t0 + 5600), // 5 max total speed
        at({ 10, 0.7, 1.2 }, { 35, 2, -0.5 }, t0 + 7000), // 6 max horizontal speed
        at({ 85.3, 1, 1 }, { 0.2, 0, 0 }, t0 + 16000), // 7 stop
    };
    s.track_len = 8;
    s.plane_exit = 1;
    s.top_of_turn = 2;
    s.max_vert_speed = 3;
    s.rollout = 4;
    s.max_total_speed = 5;
    s.max_horz_speed = 6;
    s.stop = 7;
    s.bottom_time = t0 + 4600 + 2350;
    s.bottom_xpos = -40;
    s.bottom_ypos = 0.1;
    s.bottom_zpos = 1.5;
    s.turn_degrees = 271.6;
    s.entry_gate_time = t0 + 6000;
    s.entry_gate_speed = 30.5;
    s.exit_gate_time = t0 + 8480;
    s.exit_gate_speed = 26;
    s.touchdown_time = t0 + 6950 + 5126;
    s.touchdown_distance = 70.2;
    s.touchdown_speed = 12.34;
    return s;
}

std::string report(const swoop& s, bool metric)
{
    const char* err = nullptr;
    swoop with_results = s;
    with_results.results = swoop_results_compute(s);
    std::string text = swoop_report(with_results, metric, &err);
    EXPECT_EQ(err, nullptr) << err;
    return text;
}

// Line n (1-based) of a report, with its line feed.
std::string line(const std::string& text, int n)
{
    size_t start = 0;
    for (int i = 1; i < n; ++i)
        start = text.find('\n', start) + 1;
    return text.substr(start, text.find('\n', start) + 1 - start);
}

} // namespace

TEST(report, imperial_lines)
{
    EXPECT_EQ(report(analysed(), false),
        "exited airplane:      3281 ft AGL\n"
        "initiated turn:        394 ft AGL,  820 ft back,  -10 ft offset\n"
        "max vertical speed:    197 ft AGL,  492 ft back,    7 ft offset (55.9 mph)\n"
        "started rollout:       148 ft AGL,  394 ft back,   -3 ft offset (44.7 mph)\n"
        "finished rollout:        5 ft AGL,  131 ft back,    0 ft offset\n"
        "max total speed:        33 ft AGL,  197 ft back,    2 ft offset (75.0 mph)\n"
        "max horizontal speed:    4 ft AGL,  -33 ft back,   -2 ft offset (78.4 mph)\n"
        "\n"
        "degrees of rotation:       272 deg (right-hand)\n"
        "time to execute turn:     4.60 sec\n"
        "time during rollout:      2.35 sec\n"
        "time aloft during swoop:  5.13 sec\n"
        "\n"
        "entry gate speed:      68.2 mph\n"
        "distance to stop:      280 ft\n"
        "touchdown estimate:    230 ft (27.6 mph)\n"
        "speed carve time:      2.48 sec (58.2 mph)\n");
}

TEST(report, metric_lines)
{
    // Top of turn 120 m up, 250 m before the gate, 3 m to the left: -3 offset.
    EXPECT_EQ(report(analysed(), true),
        "exited airplane:      1000 m AGL\n"
        "initiated turn:        120 m AGL,  250 m back,   -3 m offset\n"
        "max vertical speed:     60 m AGL,  150 m back,    2 m offset (90.0 km/h)\n"
        "started rollout:        45 m AGL,  120 m back,   -1 m offset (72.0 km/h)\n"
        "finished rollout:        2 m AGL,   40 m back,    0 m offset\n"
        "max total speed:        10 m AGL,   60 m back,    0 m offset (120.7 km/h)\n"
        "max horizontal speed:    1 m AGL,  -10 m back,   -1 m offset (126.2 km/h)\n"
        "\n"
        "degrees of rotation:       272 deg (right-hand)\n"
        "time to execute turn:     4.60 sec\n"
        "time during rollout:      2.35 sec\n"
        "time aloft during swoop:  5.13 sec\n"
        "\n"
        "entry gate speed:      109.8 km/h\n"
        "distance to stop:      85 m\n"
        "touchdown estimate:    70 m (44.4 km/h)\n"
        "speed carve time:      2.48 sec (93.6 km/h)\n");
}

TEST(report, missing_values_print_dashes)
{
    swoop s = analysed();
    s.plane_exit = 0;
    s.entry_gate_speed = 0;
    s.entry_gate_time = 0;
    s.exit_gate_time = 0;
    s.exit_gate_speed = 0;
    const std::string text = report(s, false);
    EXPECT_EQ(line(text, 1), "exited airplane:     ----- ft AGL\n");
    EXPECT_EQ(line(text, 14), "entry gate speed:      ---- mph\n");
    EXPECT_EQ(line(text, 17), "speed carve time:      ---- sec (---- mph)\n");

    // Each field on its own: a time without a speed and a speed without a time.
    s = analysed();
    s.exit_gate_speed = 0;
    EXPECT_EQ(line(report(s, true), 17), "speed carve time:      2.48 sec (---- km/h)\n");
    s = analysed();
    s.exit_gate_time = 0;
    EXPECT_EQ(line(report(s, true), 17), "speed carve time:      ---- sec (93.6 km/h)\n");
}

TEST(report, short_fields_are_cut_to_five_characters)
{
    swoop s = analysed();
    s.track[1].pos_local[2] = 123456 / ft; // exit at 123456 ft
    s.entry_gate_speed = 1234.56 / 2.23693629; // "1234.6"
    s.exit_gate_time = s.entry_gate_time + 123456;
    s.exit_gate_speed = 99999.9 / 2.23693629;
    const std::string text = report(s, false);
    EXPECT_EQ(line(text, 1), "exited airplane:     12345 ft AGL\n");
    EXPECT_EQ(line(text, 14), "entry gate speed:      1234. mph\n");
    EXPECT_EQ(line(text, 17), "speed carve time:      123.4 sec (99999 mph)\n");
}

TEST(report, left_hand_turn_prints_its_size)
{
    swoop s = analysed();
    s.turn_degrees = -620;
    EXPECT_EQ(line(report(s, false), 9), "degrees of rotation:       620 deg (left-hand)\n");
    s.turn_degrees = 0;
    EXPECT_EQ(line(report(s, false), 9), "degrees of rotation:         0 deg (right-hand)\n");
}

TEST(report, bottom_near_the_gate_line_has_no_negative_zero)
{
    swoop s = analysed();
    for (double back_ft : { 0.3, -0.3, 0.49, -0.49 }) {
        s.bottom_xpos = -back_ft / ft;
        s.bottom_ypos = back_ft / ft;
        EXPECT_EQ(
            line(report(s, false), 5), "finished rollout:        5 ft AGL,    0 ft back,    0 ft offset\n")
            << back_ft;
    }
    // Half a unit either way rounds to a zero too, without a sign.
    for (double half : { 0.5, -0.5 }) {
        s.bottom_xpos = half;
        s.bottom_ypos = -half;
        EXPECT_EQ(line(report(s, true), 5), "finished rollout:        2 m AGL,    0 m back,    0 m offset\n")
            << half;
    }
    s.bottom_xpos = 0.6 / ft; // 0.6 ft past the gate line
    s.bottom_ypos = 0;
    EXPECT_EQ(line(report(s, false), 5), "finished rollout:        5 ft AGL,   -1 ft back,    0 ft offset\n");
}

TEST(report, touchdown_before_the_bottom_is_a_negative_time)
{
    swoop s = analysed();
    s.touchdown_time = s.bottom_time - 1500;
    EXPECT_EQ(line(report(s, false), 12), "time aloft during swoop: -1.50 sec\n");
}

TEST(report, lines_of_index_0_report_sample_0)
{
    swoop s = analysed();
    s.max_total_speed = 0;
    s.track[0] = at({ -5, 2, 3 }, { 3, 4, 0 });
    EXPECT_EQ(line(report(s, true), 6),
        "max total speed:         3 m AGL,    5 m back,   -2 m offset (18.0 km/h)\n");
}

TEST(report, record_without_samples_has_no_report)
{
    swoop s;
    const char* err = nullptr;
    EXPECT_EQ(swoop_report(s, false, &err), "");
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "no points found in track");
}

// --- golden reports of simulated jumps ---------------------------------------------
//
// Each jump is written as a logger file, loaded and analysed in the course
// frame like the command-line tool does, and its reports are compared with
// tests/data/swoop/<name>.imperial.txt and .metric.txt byte for byte.
// SKIMRA_UPDATE_GOLDEN=1 rewrites them (check the figures against the
// simulator's truth before keeping them).

#include <cstdlib>

#include "core/track/track_frames.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

namespace {

struct golden_case {
    const char* name;
    swoop_options options;
    uint32_t time_aloft; // ms, 0 = not given
};

std::vector<golden_case> golden_cases()
{
    std::vector<golden_case> cases;
    swoop_options o;
    o.seed = 71;
    cases.push_back({ "swoop-270-right", o, 0 });

    o = swoop_options {};
    o.seed = 72;
    o.turn_degrees = 450;
    o.right_turn = false;
    o.entry_y = -6;
    o.climb_start = 900;
    cases.push_back({ "swoop-450-left-time-aloft", o, 5200 });

    o = swoop_options {};
    o.seed = 73;
    o.carve = true;
    o.theta = 0.04;
    o.rate = 10;
    cases.push_back({ "swoop-carve-left", o, 0 });

    o = swoop_options {};
    o.seed = 74;
    o.reverse = true;
    o.entry_y = 18;
    o.walk_away = 8;
    cases.push_back({ "swoop-reversed-missed-gate", o, 0 });
    return cases;
}

} // namespace

TEST(report, golden_reports_of_simulated_jumps)
{
    const bool update = std::getenv("SKIMRA_UPDATE_GOLDEN") != nullptr;
    test_support::temp_dir dir;
    for (const golden_case& c : golden_cases()) {
        const sim_swoop sim = generate_swoop(c.options);
        const std::string path = dir.file(std::string(c.name) + ".csv");
        const char* err = nullptr;
        ASSERT_TRUE(write_track(path.c_str(), sim.samples, sim_dialect::field_names, &err)) << err;
        std::unique_ptr<swoop> s = swoop_new(path.c_str(), &err);
        ASSERT_TRUE(s) << err;
        s->time_aloft = c.time_aloft;
        swoop_analyse(
            *s, frame_from_gate, &sim.truth.course_matrix, c.options.carve ? c.options.theta : 0, &err);
        ASSERT_EQ(err, nullptr) << c.name << ": " << err;
        for (bool metric : { false, true }) {
            const std::string text = report(*s, metric);
            const std::string golden = test_support::data_file(
                std::string("swoop/") + c.name + (metric ? ".metric.txt" : ".imperial.txt"));
            if (update)
                test_support::write_file(golden, text);
            EXPECT_EQ(text, test_support::read_file(golden)) << golden;
        }
    }
}
