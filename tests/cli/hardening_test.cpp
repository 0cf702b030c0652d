// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-cli on damaged input: every output it writes stays well-formed.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

using test_support::read_file;
using test_support::run_program;
using test_support::temp_dir;
using test_support::write_file;

namespace {

// The text of a track with one position or velocity field of every 40th row
// (from row `first`) replaced by a value strtod reads as a non-finite
// number. `lat` is the column of the latitude.
std::string spoiled(std::string text, size_t first, size_t lat)
{
    const char* values[] = { "nan", "inf", "-1e999", "-nan", "Infinity" };
    size_t row = 0, n = 0;
    for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1, ++row) {
        if (row < first || (row - first) % 40 != 0)
            continue;
        size_t field = at;
        for (size_t comma = 0; comma < lat + n % 6; ++comma)
            field = text.find(',', field) + 1;
        text.replace(field, text.find(',', field) - field, values[n % 5]);
        ++n;
    }
    return text;
}

bool holds_non_number(const std::string& s)
{
    return s.find("nan") != std::string::npos || s.find("inf") != std::string::npos;
}

int count_lines(const std::string& s)
{
    int n = 0;
    for (char c : s)
        n += c == '\n';
    return n;
}

} // namespace

TEST(cli_hardening, non_numbers_in_both_logs_leave_every_output_well_formed)
{
    temp_dir dir;
    walk_options wo;
    const sim_walk walk = generate_walk(wo);
    swoop_options so;
    so.theta = walk.truth.theta;
    so.climb_start = 1100;
    const sim_swoop swoop = generate_swoop(so);
    write_file(dir.file("walk.csv"), spoiled(format_track(walk.samples, sim_dialect::field_names), 2, 1));
    write_file(dir.file("swoop.csv"), spoiled(format_track(swoop.samples, sim_dialect::records), 7, 2));

    const auto r
        = run_program(test_support::cli_path(), { "-p", "-d", "-g", "walk.csv", "swoop.csv" }, dir.path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    const std::string report = read_file(dir.file("swoop.txt"));
    EXPECT_EQ(count_lines(report), 17);
    EXPECT_FALSE(holds_non_number(report)) << report;
    EXPECT_NE(report.find("right-hand"), std::string::npos);
    for (const char* name : { "walk.kml", "swoop.kml", "walk.txt", "matrix.txt", "coord.txt" }) {
        const std::string text = read_file(dir.file(name));
        EXPECT_FALSE(text.empty()) << name;
        EXPECT_FALSE(holds_non_number(text)) << name;
    }
    EXPECT_EQ(read_file(dir.file("swoop.pdf")).substr(0, 5), "%PDF-");

    // The debug containers read back as the logs they came from.
    const auto again = run_program(test_support::cli_path(), { "swoop.skm" }, dir.path());
    ASSERT_EQ(again.status, 0) << again.out;
    EXPECT_EQ(read_file(dir.file("swoop.txt")), report);
}

// Found by fuzzing: a container whose wild values gave plots 100000 grid
// lines; the document took seconds and ended in "failed to write file".
TEST(cli_hardening, wild_values_still_give_the_plot_document)
{
    temp_dir dir;
    const sim_walk walk = generate_walk(walk_options {});
    write_file(dir.file("walk.csv"), format_track(walk.samples, sim_dialect::field_names));
    write_file(dir.file("wild.skm"),
        read_file(test_support::data_file("quirks/container-wild-values-for-fixed-plot-steps.skm")));
    const auto r = run_program(test_support::cli_path(), { "-g", "walk.csv", "wild.skm" }, dir.path());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(count_lines(read_file(dir.file("wild.txt"))), 17);
    EXPECT_EQ(read_file(dir.file("wild.pdf")).substr(0, 5), "%PDF-");
}
