// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-cli -w on simulated jumps flown in wind: the wind's lines after the
// report, against the simulator's truth, in both unit systems, with and
// without an estimate; without -w the report is what it always was.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <functional>

#include "core/geometry/units.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

using test_support::read_file;
using test_support::run_program;
using test_support::temp_dir;

namespace {

struct wind_lines {
    std::string wind, entry, max_horz; // the three lines, without their line ends
};

// The last four lines of the output: a blank line and the wind's three.
bool split_tail(const std::string& out, wind_lines& w)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(out.substr(start, end - start));
    if (lines.size() < 4 || !lines[lines.size() - 4].empty())
        return false;
    w = { lines[lines.size() - 3], lines[lines.size() - 2], lines[lines.size() - 1] };
    return true;
}

struct wind_case {
    const char* name;
    std::function<void(swoop_options&)> fly;
    bool metric;
    const char* reason; // "" when an estimate is expected
    bool gate; // the entry gate was crossed
};

} // namespace

TEST(cli_wind, lines_after_the_report_follow_the_estimate_and_the_units)
{
    const wind_case cases[] = {
        { "pattern in a 6 m/s wind",
            [](swoop_options& o) {
                o.wind.speed = 6;
                o.wind.from = 250;
            },
            false, "", true },
        { "metric, wind from the north",
            [](swoop_options& o) {
                o.wind.speed = 4;
                o.wind.from = 0.3;
                o.seed = 5;
            },
            true, "", true },
        { "missed entry gate",
            [](swoop_options& o) {
                o.wind.speed = 3;
                o.wind.from = 120;
                o.entry_y = 300;
            },
            false, "", false },
        { "straight final from high up",
            [](swoop_options& o) {
                o.wind.speed = 5;
                o.wind.from = 90;
                o.pattern.on = false;
                o.approach_time = 180;
            },
            true, "too little change of heading", true },
        { "one sample a second, short window",
            [](swoop_options& o) {
                o.wind.speed = 5;
                o.wind.from = 90;
                o.rate = 1;
                o.pattern.on = false;
                o.canopy_sink = 12;
                o.approach_sink = 12;
                o.approach_time = 5;
                o.turn_height = 560;
            },
            false, "too few samples under canopy", true },
    };
    // The course the swoops are judged on, surveyed once.
    temp_dir dir;
    walk_options course;
    const sim_walk walk = generate_walk(course);
    const char* err = nullptr;
    ASSERT_TRUE(write_track(dir.file("walk.csv").c_str(), walk.samples, sim_dialect::field_names, &err));
    ASSERT_EQ(run_program(test_support::cli_path(), { "-g", "walk.csv" }, dir.path()).status, 0);

    for (const wind_case& c : cases) {
        SCOPED_TRACE(c.name);
        swoop_options o;
        o.course = course.course;
        o.theta = walk.truth.theta;
        o.wind.on = true;
        o.pattern.on = true;
        c.fly(o);
        const sim_swoop sim = generate_swoop(o);
        ASSERT_TRUE(write_track(dir.file("jump.csv").c_str(), sim.samples, sim_dialect::field_names, &err));
        std::vector<std::string> plain_args = { "jump.csv" }, wind_args = { "-w", "jump.csv" };
        if (c.metric) {
            plain_args.insert(plain_args.begin(), "-m");
            wind_args.insert(wind_args.begin(), "-m");
        }
        const auto plain = run_program(test_support::cli_path(), plain_args, dir.path());
        ASSERT_EQ(plain.status, 0) << plain.out;
        const std::string plain_report = read_file(dir.file("jump.txt"));
        const auto windy = run_program(test_support::cli_path(), wind_args, dir.path());
        ASSERT_EQ(windy.status, 0) << windy.out;
        const std::string windy_report = read_file(dir.file("jump.txt"));

        // The report is unchanged; the lines come after it, printed and written.
        ASSERT_EQ(windy.out.substr(0, plain.out.size()), plain.out);
        ASSERT_EQ(windy_report.substr(0, plain_report.size()), plain_report);
        EXPECT_EQ(windy_report.substr(plain_report.size()), windy.out.substr(plain.out.size()));
        wind_lines w;
        ASSERT_TRUE(split_tail(windy.out, w)) << windy.out;
        EXPECT_EQ(
            windy.out.size(), plain.out.size() + w.wind.size() + w.entry.size() + w.max_horz.size() + 4);

        const display_units u(c.metric);
        const std::string v = u.speed_name;
        const sim_wind_truth& truth = sim.truth.wind;
        if (*c.reason) {
            EXPECT_EQ(w.wind, std::string("wind:                  ---- (") + c.reason + ")");
            EXPECT_EQ(w.entry, "entry gate airspeed:   ---- " + v);
            EXPECT_EQ(w.max_horz, "max horz airspeed:     ---- " + v);
            continue;
        }
        double speed = 0, sigma = 0;
        int from = -1;
        char unit1[8] = {}, unit2[8] = {};
        ASSERT_EQ(std::sscanf(w.wind.c_str(), "wind:                  %lf %7s from %3d deg (+/- %lf %7[^)])",
                      &speed, unit1, &from, &sigma, unit2),
            5)
            << w.wind;
        const std::string digits = w.wind.substr(w.wind.find(" from ") + 6, 4);
        EXPECT_TRUE(
            std::isdigit(digits[0]) && std::isdigit(digits[1]) && std::isdigit(digits[2]) && digits[3] == ' ')
            << w.wind; // three digits, zero-padded
        EXPECT_EQ(unit1, v);
        EXPECT_EQ(unit2, v);
        EXPECT_NEAR(speed, truth.speed * u.speed_factor, 0.5 * u.speed_factor);
        EXPECT_NEAR(std::remainder(from - truth.from, 360.0), 0, 10);
        EXPECT_GE(from, 0);
        EXPECT_LT(from, 360);
        EXPECT_GT(sigma, 0);
        EXPECT_LT(sigma, 0.5 * u.speed_factor);

        double max_horz = 0;
        ASSERT_EQ(std::sscanf(w.max_horz.c_str(), "max horz airspeed:     %lf", &max_horz), 1) << w.max_horz;
        EXPECT_NEAR(max_horz, truth.max_horizontal_airspeed * u.speed_factor, 0.6 * u.speed_factor);
        EXPECT_EQ(w.max_horz.substr(w.max_horz.rfind(' ') + 1), v);
        if (!c.gate) {
            EXPECT_EQ(w.entry, "entry gate airspeed:   ---- " + v);
            continue;
        }
        double entry = 0;
        ASSERT_EQ(std::sscanf(w.entry.c_str(), "entry gate airspeed:   %lf", &entry), 1) << w.entry;
        EXPECT_NEAR(entry, truth.entry_gate_airspeed * u.speed_factor, 0.5 * u.speed_factor);
        EXPECT_EQ(w.entry.substr(w.entry.rfind(' ') + 1), v);
    }
}
