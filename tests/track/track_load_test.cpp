// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/track/track_load.h"

#include <gtest/gtest.h>

#include <string>

#include "core/files/container.h"
#include "core/track/csv_reader.h"
#include "tests/support/test_support.h"

namespace {

using test_support::temp_dir;
using test_support::write_file;

const std::string columns = "time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,gpsFix,numSV";
const std::string row1 = "2019-07-14T16:02:31.400Z,47.5,8.5,450,1,2,3,1.5,2.5,0.5,3,12";
const std::string row2 = "2019-07-14T16:02:31.600Z,47.6,8.6,449,1,2,3,1.5,2.5,0.5,3,12";

std::string field_name_file()
{
    return columns + "\n\n" + row1 + "\n" + row2 + "\n";
}
std::string record_file()
{
    return "$COL,GNSS," + columns + "\n$GNSS," + row1 + "\n$GNSS," + row2 + "\n";
}

std::string message(const char* err)
{
    return err ? err : "";
}

TEST(track_load, text_dialects_load_for_swoop_and_gate)
{
    temp_dir dir;
    for (const std::string& content : { record_file(), field_name_file() }) {
        write_file(dir.file("t.csv"), content);
        gps_track track;
        const char* err = nullptr;
        swoop_track_load(dir.file("t.csv").c_str(), track, &err);
        ASSERT_EQ(message(err), "");
        ASSERT_EQ(track.count, 2u);
        EXPECT_EQ(track.gps_points.size(), 2u);
        EXPECT_EQ(track.gps_points[1].pos_wgs84[0], 47.6);

        gate_data gate;
        gate_track_load(dir.file("t.csv").c_str(), gate, &err);
        ASSERT_EQ(message(err), "");
        EXPECT_EQ(gate.track_len, 2u);
        EXPECT_EQ(gate.track.size(), 2u);
        EXPECT_EQ(gate.track[0].pos_wgs84[1], 8.5);
        EXPECT_TRUE(gate.pond.empty());
    }
}

TEST(track_load, containers_load_as_their_own_kind_only)
{
    temp_dir dir;
    write_file(dir.file("t.csv"), record_file());
    gps_track text;
    const char* err = nullptr;
    track_read_gnss(dir.file("t.csv").c_str(), text, &err);
    swoop_container_write(dir.file("swoop.skm").c_str(), text.gps_points.data(), text.count, &err);
    frame_matrix matrix = frame_identity();
    matrix[0][3] = 12.5;
    gate_container_write(dir.file("gate.skm").c_str(), matrix, 0.25,
        { { 1, 2, 0 }, { 3, 4, 0 }, { 1, 2, 0 }, { 0, 0, 0 } }, &err);
    ASSERT_EQ(message(err), "");

    gps_track swoop;
    swoop_track_load(dir.file("swoop.skm").c_str(), swoop, &err);
    ASSERT_EQ(message(err), "");
    EXPECT_EQ(swoop.count, 2u);
    EXPECT_EQ(swoop.gps_points[0].time, text.gps_points[0].time);

    gate_data gate;
    gate_track_load(dir.file("gate.skm").c_str(), gate, &err);
    ASSERT_EQ(message(err), "");
    EXPECT_TRUE(gate.track.empty());
    EXPECT_EQ(gate.matrix, matrix);
    EXPECT_EQ(gate.theta, 0.25);
    EXPECT_EQ(gate.pond.size(), 4u);

    // The wrong kind falls through to the text readers; the field-name
    // reader's message is the one that stays.
    testing::internal::CaptureStdout();
    gps_track wrong_swoop;
    swoop_track_load(dir.file("gate.skm").c_str(), wrong_swoop, &err);
    EXPECT_EQ(message(err), "invalid field names");
    EXPECT_TRUE(wrong_swoop.gps_points.empty());
    gate_data wrong_gate;
    gate_track_load(dir.file("swoop.skm").c_str(), wrong_gate, &err);
    EXPECT_EQ(message(err), "invalid field names");
    EXPECT_TRUE(wrong_gate.track.empty());
    EXPECT_TRUE(wrong_gate.pond.empty());
    testing::internal::GetCapturedStdout();
}

TEST(track_load, failures_report_the_reader_of_the_files_dialect)
{
    temp_dir dir;
    gps_track track;
    gate_data gate;
    const char* err = nullptr;
    std::string missing = dir.file("missing.csv");
    swoop_track_load(missing.c_str(), track, &err);
    EXPECT_EQ(message(err), "failed to open file: " + missing);
    gate_track_load(missing.c_str(), gate, &err);
    EXPECT_EQ(message(err), "failed to open file: " + missing);

    // A record-dialect file that breaks after some rows: its column line
    // was read, so the record reader's message is the result, and no track
    // is left.
    write_file(dir.file("broken.txt"), record_file() + row1 + "\n$GNSS," + row2 + "\n");
    gps_track alone;
    track_read_gnss(dir.file("broken.txt").c_str(), alone, &err);
    std::string expected = message(err);
    EXPECT_EQ(expected, "missing $ prefix");
    swoop_track_load(dir.file("broken.txt").c_str(), track, &err);
    EXPECT_EQ(message(err), expected);
    EXPECT_TRUE(track.gps_points.empty());
    gate_track_load(dir.file("broken.txt").c_str(), gate, &err);
    EXPECT_EQ(message(err), expected);
    EXPECT_TRUE(gate.track.empty());

    write_file(dir.file("units.csv"), columns + "\n");
    swoop_track_load(dir.file("units.csv").c_str(), track, &err);
    EXPECT_EQ(message(err), "missing field units");
}

} // namespace
