// SPDX-License-Identifier: GPL-3.0-or-later
// Files as they come off real loggers and other tools, through the loaders:
// the reproducers in tests/data/quirks/ are named after what they exercise.
#include <cmath>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "core/files/container.h"
#include "core/track/track_load.h"
#include "tests/support/test_support.h"

namespace {

using test_support::data_file;

std::string message(const char* err)
{
    return err ? err : "";
}

// The swoop loader's samples, or its message.
struct swoop_load {
    gps_track track;
    std::string err;
};

swoop_load load_swoop(const std::string& path)
{
    swoop_load r;
    const char* err = nullptr;
    swoop_track_load(path.c_str(), r.track, &err);
    r.err = message(err);
    return r;
}

std::string gate_load_message(const std::string& path)
{
    gate_data gate;
    const char* err = nullptr;
    gate_track_load(path.c_str(), gate, &err);
    if (!err) {
        EXPECT_FALSE(gate.track.empty());
    }
    return message(err);
}

const std::string quirk(const char* name)
{
    return data_file(std::string("quirks/") + name);
}

} // namespace

TEST(track_quirks, record_dialect_header_lines_are_passed_over)
{
    // $VAR values with commas, a $UNIT line shorter than its $COL line and
    // 11-field rows without gpsFix: three samples, gpsfix 0.
    swoop_load r = load_swoop(quirk("var-values-with-commas-short-unit-line.gnss"));
    ASSERT_EQ(r.err, "");
    ASSERT_EQ(r.track.count, 3u);
    const gps_point& p = r.track.gps_points[2];
    EXPECT_EQ(p.pos_wgs84[0], 51.9564075);
    EXPECT_EQ(p.vel_ltp[0], -0.25);
    EXPECT_EQ(p.sacc, 0.32f);
    EXPECT_EQ(p.numsv, 12);
    for (const gps_point& q : r.track.gps_points)
        EXPECT_EQ(q.gpsfix, 0);
    EXPECT_EQ(gate_load_message(quirk("var-values-with-commas-short-unit-line.gnss")), "");
}

TEST(track_quirks, files_that_do_not_load_give_the_field_name_reader_message)
{
    struct {
        const char* file;
        const char* message;
    } cases[] = {
        // "FILE,1" is taken as the field names: no required column.
        { "dollar-prefixes-missing.gnss", "invalid field names" },
        // "COL,GNSS,time,..." names every column, two too many in front:
        // the rows' time lands in a skipped column and lat in time.
        { "dollar-prefixes-missing-from-column-line.gnss", "invalid time field" },
        { "empty-file.csv", "missing field names" },
        { "binary-not-a-container.png", "invalid field names" },
        { "only-non-numbers.csv", "no GPS points found" },
        // Another logger's columns, and a course file given as a track.
        { "other-logger-speed-columns.csv", "invalid field names" },
        { "../gate/written_gate.txt", "invalid field names" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        swoop_load r = load_swoop(quirk(c.file));
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(r.track.count, 0u);
        EXPECT_TRUE(r.track.gps_points.empty());
        EXPECT_EQ(gate_load_message(quirk(c.file)), c.message);
    }
}

// Once its "$COL,GNSS," line was read the file is plainly record dialect:
// the record reader's message tells the pilot what is wrong in it.
TEST(track_quirks, record_dialect_files_broken_after_their_column_line_give_the_record_reader_message)
{
    struct {
        const char* file;
        const char* message;
    } cases[] = {
        { "record-dialect-time-unreadable.gnss", "invalid time field" },
        { "record-dialect-row-without-dollar.gnss", "missing $ prefix" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        swoop_load r = load_swoop(quirk(c.file));
        EXPECT_EQ(r.err, c.message);
        EXPECT_TRUE(r.track.gps_points.empty());
        EXPECT_EQ(gate_load_message(quirk(c.file)), c.message);
    }
}

// One firmware writes a negative sub-second part as "20.-002Z" (also
// "20.-02Z", "20.-2Z"): 2 ms before second 20.
TEST(track_quirks, negative_milliseconds_count_back_from_the_whole_second)
{
    test_support::scoped_tz tz("UTC");
    const int64_t second_20 = 1772758160000; // 2026-03-06T00:49:20Z
    swoop_load r = load_swoop(quirk("negative-milliseconds.gnss"));
    ASSERT_EQ(r.err, "");
    ASSERT_EQ(r.track.count, 5u);
    const int64_t expected[]
        = { second_20 - 200, second_20 - 2, second_20 - 2, second_20 - 2, second_20 + 200 };
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(r.track.gps_points[i].time, expected[i]) << "row " << i;
    EXPECT_EQ(r.track.gps_points[1].numsv, 11);
    EXPECT_EQ(gate_load_message(quirk("negative-milliseconds.gnss")), "");
}

// A file saved again by some Windows tools ends every line with CR CR LF;
// both dialects read it as the plain file.
TEST(track_quirks, cr_cr_lf_line_ends_are_one_line_end)
{
    for (const char* file : { "cr-cr-lf-line-ends.csv", "cr-cr-lf-line-ends.gnss" }) {
        SCOPED_TRACE(file);
        swoop_load r = load_swoop(quirk(file));
        ASSERT_EQ(r.err, "");
        ASSERT_EQ(r.track.count, 3u);
        EXPECT_EQ(r.track.gps_points[0].pos_wgs84[0], 51.9564078);
        EXPECT_EQ(r.track.gps_points[2].numsv, 12);
        EXPECT_EQ(r.track.gps_points[2].time - r.track.gps_points[0].time, 400);
        EXPECT_EQ(gate_load_message(quirk(file)), "");
    }
}

TEST(track_quirks, trailing_commas_add_no_field)
{
    swoop_load r = load_swoop(quirk("trailing-commas.csv"));
    ASSERT_EQ(r.err, "");
    ASSERT_EQ(r.track.count, 3u);
    EXPECT_EQ(r.track.gps_points[0].numsv, 10);
    EXPECT_EQ(r.track.gps_points[2].numsv, 12);
}

TEST(track_quirks, a_last_row_cut_by_power_loss_is_left_out)
{
    for (const char* file : { "last-row-cut-by-power-loss.csv", "last-row-cut-in-time-field.csv" }) {
        SCOPED_TRACE(file);
        swoop_load r = load_swoop(quirk(file));
        ASSERT_EQ(r.err, "");
        ASSERT_EQ(r.track.count, 2u);
        EXPECT_EQ(r.track.gps_points[1].numsv, 11);
        EXPECT_EQ(gate_load_message(quirk(file)), "");
    }
}

TEST(track_quirks, one_sample_loads)
{
    swoop_load r = load_swoop(quirk("one-sample.csv"));
    ASSERT_EQ(r.err, "");
    ASSERT_EQ(r.track.count, 1u);
    EXPECT_EQ(r.track.gps_points.size(), 1u);
}

// "nan", "inf", "1e999" and their kin read through strtod as numbers that
// are not finite. Rows whose position or velocity holds one are left out;
// accuracies that are not numbers are kept (they compare as poor ones).
TEST(track_quirks, rows_that_cannot_be_placed_are_left_out)
{
    swoop_load r = load_swoop(quirk("non-numbers-in-some-rows.csv"));
    ASSERT_EQ(r.err, "");
    ASSERT_EQ(r.track.count, 2u);
    ASSERT_EQ(r.track.gps_points.size(), 2u);
    const gps_point& first = r.track.gps_points[0];
    EXPECT_EQ(first.pos_wgs84[0], 51.9564078);
    EXPECT_TRUE(std::isnan(first.hacc));
    EXPECT_TRUE(std::isinf(first.vacc));
    EXPECT_TRUE(std::isinf(first.sacc));
    EXPECT_EQ(r.track.gps_points[1].pos_wgs84[0], 51.9564074);

    gate_data gate;
    const char* err = nullptr;
    gate_track_load(quirk("non-numbers-in-some-rows.csv").c_str(), gate, &err);
    ASSERT_EQ(message(err), "");
    EXPECT_EQ(gate.track_len, 2u);
    EXPECT_EQ(gate.track.size(), 2u);
}

TEST(track_quirks, container_samples_that_cannot_be_placed_are_left_out_by_the_loader)
{
    test_support::temp_dir dir;
    gps_point points[3] = {};
    for (int i = 0; i < 3; ++i) {
        points[i].time = 1563120000000 + 200 * i;
        points[i].pos_wgs84 = { 51.95, 4.43, 12.0 + i };
    }
    points[1].vel_ltp[2] = NAN;
    const std::string path = dir.file("swoop.skm");
    const char* err = nullptr;
    swoop_container_write(path.c_str(), points, 3, &err);
    ASSERT_EQ(message(err), "");

    // The container itself keeps every sample as written ...
    gps_track raw;
    swoop_container_read(path.c_str(), raw, &err);
    ASSERT_EQ(message(err), "");
    EXPECT_EQ(raw.count, 3u);

    // ... the loader hands over the two that can be placed.
    swoop_load r = load_swoop(path);
    ASSERT_EQ(r.err, "");
    ASSERT_EQ(r.track.count, 2u);
    EXPECT_EQ(r.track.capacity, 2u);
    EXPECT_EQ(r.track.gps_points[1].pos_wgs84[2], 14.0);
}
