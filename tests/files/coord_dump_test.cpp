// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/files/coord_dump.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using test_support::scoped_cwd;
using test_support::temp_dir;

std::vector<gps_point> golden_samples()
{
    std::vector<gps_point> s(5, gps_point {});
    s[0].time = 1563120151400;
    s[1].time = 1563120151600;
    s[1].acc_local = { 0, 0, 9.80665 };
    s[2].time = 1563120152000;
    s[2].pos_local = { 10, -20.5, 3 };
    s[2].vel_local = { 12.5, -3, 0.25 };
    s[2].acc_local = { 1, -2, 0.5 };
    s[2].dive_angle = 45.4;
    s[2].heading = 359.6;
    s[2].turn_rate = -12.345;
    s[3].time = -1; // taken as unsigned
    s[3].pos_local = { 0.0015, -0.0015, 0 };
    s[3].dive_angle = -0.4;
    s[4].time = 99999999;
    s[4].pos_local = { 1234.5, -0.001, -1000 };
    s[4].vel_local = { -100, 0, -33.3 };
    s[4].acc_local = { -50, 60, -70 };
    s[4].dive_angle = -89.6;
    s[4].heading = 0.4;
    s[4].turn_rate = 1234.567;
    for (gps_point& p : s) {
        p.pos_wgs84 = { 47, 8, 400 }; // not written
        p.turn_angle = 99;
        p.hacc = 3;
    }
    return s;
}

TEST(coord_dump, writes_the_golden_table)
{
    temp_dir dir;
    scoped_cwd here(dir.path()); // the dump writes "coord.txt" in the working directory
    std::vector<gps_point> samples = golden_samples();
    const char* err = "stale";
    coord_dump_write(samples.data(), static_cast<uint32_t>(samples.size()), &err);
    EXPECT_EQ(err, nullptr);
    EXPECT_EQ(test_support::read_file(dir.file("coord.txt")),
        test_support::read_file(test_support::data_file("files/coord_dump.txt")));

    // Written again, the file holds only the new samples.
    coord_dump_write(samples.data(), 1, &err);
    std::string one = test_support::read_file(dir.file("coord.txt"));
    EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 3);
}

TEST(coord_dump, open_and_write_failures_are_reported)
{
    temp_dir dir;
    scoped_cwd here(dir.path());
    std::vector<gps_point> samples = golden_samples();
    const char* err = nullptr;

    std::filesystem::create_directory(dir.file("coord.txt"));
    coord_dump_write(samples.data(), 5, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "failed to open file: coord.txt");
    std::filesystem::remove(dir.file("coord.txt"));

    // A full disk shows when the lines are flushed; no silent success.
    std::filesystem::create_symlink("/dev/full", dir.file("coord.txt"));
    coord_dump_write(samples.data(), 5, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "failed to write file: coord.txt");
}

} // namespace
