// SPDX-License-Identifier: GPL-3.0-or-later
// Gate walks and geometry files as they come off real cards: first fixes of
// poor accuracy, rows that are not numbers, files too short to survey, and
// geometry files holding "nan".
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/gate/gate.h"
#include "core/gate/gate_file.h"
#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

namespace {

using test_support::temp_dir;
using test_support::write_file;

struct opened {
    std::unique_ptr<gate> g;
    std::string log;
    std::string err;
};

opened open_text(const std::string& text)
{
    temp_dir dir;
    const std::string path = dir.file("walk.csv");
    write_file(path, text);
    opened o;
    const char* err = nullptr;
    o.g = gate_open(path.c_str(), &o.log, &err);
    o.err = err ? err : "";
    return o;
}

const sim_walk& walk()
{
    static const sim_walk w = generate_walk(walk_options {});
    return w;
}

// The samples of the walk as the logger writes them, with `damage` applied
// to each before writing; samples it returns false for are not written.
template <class Damage> std::string walk_text(Damage damage)
{
    std::vector<gps_point> samples;
    for (size_t k = 0; k < walk().samples.size(); ++k) {
        gps_point p = walk().samples[k];
        if (damage(k, p))
            samples.push_back(p);
    }
    return format_track(samples, sim_dialect::field_names);
}

// A sample standing at `at` (ECEF metres), 200 ms after the one before.
std::vector<gps_point> standing(const vec3& at, int n)
{
    std::vector<gps_point> t(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        t[i].time = 1563120000000 + 200 * i;
        t[i].pos_ecef = at;
    }
    return t;
}

} // namespace

TEST(gate_quirks, first_fixes_with_poor_accuracy_and_irregular_spacing_change_nothing)
{
    const opened clean = open_text(walk_text([](size_t, gps_point&) { return true; }));
    ASSERT_EQ(clean.err, "");
    // Before the walk, the receiver's first fixes: accuracies of hundreds
    // of metres, positions far off, at irregular intervals.
    std::vector<gps_point> samples = walk().samples;
    std::vector<gps_point> first;
    int64_t time = samples.front().time;
    for (int k = 0; k < 12; ++k) {
        gps_point p = samples.front();
        time -= 200 * (1 + k % 4) + 37 * (k % 3);
        p.time = time;
        p.hacc = static_cast<float>(150 + 40 * k);
        p.vacc = static_cast<float>(300 + 25 * k);
        p.pos_wgs84[0] += 0.003 * std::sin(static_cast<double>(k));
        p.pos_wgs84[2] += 250 * std::cos(static_cast<double>(k));
        first.insert(first.begin(), p);
    }
    samples.insert(samples.begin(), first.begin(), first.end());
    const opened damaged = open_text(format_track(samples, sim_dialect::field_names));
    ASSERT_EQ(damaged.err, "");
    EXPECT_EQ(damaged.log, clean.log);
    EXPECT_EQ(damaged.g->matrix, clean.g->matrix);
    EXPECT_EQ(damaged.g->theta, clean.g->theta);
}

TEST(gate_quirks, rows_that_are_not_numbers_are_left_out_of_the_survey)
{
    const opened clean = open_text(walk_text([](size_t, gps_point&) { return true; }));
    ASSERT_EQ(clean.err, "");
    std::string text = walk_text([](size_t, gps_point&) { return true; });
    // Spoil one field in every 25th row, the first and the last among them.
    const char* values[] = { "nan", "inf", "-1e999", "-nan" };
    size_t row = 0, spoiled = 0;
    for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1, ++row) {
        if (row < 2 || (row - 2) % 25 != 0)
            continue;
        size_t field = at;
        for (int comma = 0; comma < 1 + static_cast<int>(spoiled % 6); ++comma)
            field = text.find(',', field) + 1;
        text.replace(field, text.find(',', field) - field, values[spoiled % 4]);
        ++spoiled;
    }
    const opened damaged = open_text(text);
    ASSERT_EQ(damaged.err, "");
    EXPECT_EQ(damaged.g->track_len, walk().samples.size() - spoiled);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(damaged.g->matrix[r][c], clean.g->matrix[r][c], 1e-4);
        EXPECT_NEAR(damaged.g->matrix[r][3], clean.g->matrix[r][3], 0.5);
    }
    EXPECT_NEAR(damaged.g->theta, clean.g->theta, 0.01);
    ASSERT_FALSE(damaged.g->pond.empty());
    for (const vec3& p : damaged.g->pond)
        EXPECT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]));
}

TEST(gate_quirks, files_too_short_to_survey_give_the_right_message)
{
    const std::string one = test_support::read_file(test_support::data_file("quirks/one-sample.csv"));
    EXPECT_EQ(open_text(one).err, "could not detect waypoint");
    EXPECT_EQ(open_text("").err, "missing field names");
    EXPECT_EQ(
        open_text(walk_text([](size_t k, gps_point&) { return k < 30; })).err, "could not detect waypoint");
}

// A position that is not a number (the survey sees ECEF positions) makes
// every distance to it not a number; the stop search passes over it instead
// of waiting for the distance to fall below 2 m for ever.
TEST(gate_quirks, waypoint_search_passes_over_a_sample_without_a_position)
{
    const vec3 at = { 3928000.0, 304500.0, 5003000.0 };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int bad : { 0, 10, 30, 99 }) {
        SCOPED_TRACE(bad);
        std::vector<gps_point> t = standing(at, 100); // 20 s
        t[static_cast<size_t>(bad)].pos_ecef = { nan, nan, nan };
        strbuf log;
        const char* err = nullptr;
        ASSERT_TRUE(strbuf_new(log, &err));
        vec3 waypoint {};
        detect_waypoint(t.data(), 100, 0, &waypoint, log, &err);
        ASSERT_EQ(err, nullptr) << err;
        EXPECT_LT(vec3_distance(waypoint, at), 1e-6);
    }
    // A stop cut in two by such a sample, neither half long enough.
    std::vector<gps_point> t = standing(at, 70);
    t[35].pos_ecef = { nan, nan, nan };
    strbuf log;
    const char* err = nullptr;
    ASSERT_TRUE(strbuf_new(log, &err));
    vec3 waypoint {};
    detect_waypoint(t.data(), 70, 0, &waypoint, log, &err);
    EXPECT_STREQ(err, "could not detect waypoint");
}

TEST(gate_quirks, geometry_file_numbers_that_are_not_finite_fail_the_read)
{
    temp_dir dir;
    const std::string rows = "[1, 0, 0, 10]\n[0, 1, 0, 20]\n[0, 0, 1, 30]\n[0, 0, 0, 1]\n";
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        { "matrix nan", "[1, 0, 0, nan]\n[0, 1, 0, 20]\n[0, 0, 1, 30]\n[0, 0, 0, 1]\n" },
        { "matrix inf", "[1, 0, 0, 10]\n[0, inf, 0, 20]\n[0, 0, 1, 30]\n[0, 0, 0, 1]\n" },
        { "matrix 1e999", rows.substr(0, 42) + "[0, 0, 0, 1e999]\n" },
        { "theta nan", rows + "theta = nan\n" },
        { "pond inf", rows + "(1.0, 2.0),  (-inf, 3.0),\n" },
        { "pond 1e999", rows + "(1e999, 2.0),\n" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("matrix.txt");
        write_file(path, c.text);
        std::unique_ptr<frame_matrix> matrix;
        std::vector<vec3> pond;
        double theta = 7;
        const char* err = nullptr;
        gate_file_read(path.c_str(), "swoop.csv", &matrix, &pond, &theta, &err);
        EXPECT_EQ(std::string(err ? err : ""), "failed to parse " + path);
        EXPECT_EQ(matrix, nullptr);
        EXPECT_TRUE(pond.empty());
        EXPECT_EQ(theta, 7);
    }
}
