// SPDX-License-Identifier: GPL-3.0-or-later
// The reader converts each distinct minute once and adds the seconds; this
// must give what one conversion per row gives, also across daylight-saving
// changes.
#include "core/track/csv_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/platform/platform.h"
#include "tests/support/test_support.h"

namespace {

struct clock_reading {
    int year, month, day, hour, minute;
    double seconds;
};

// One conversion per row, as the logger time was defined before the minute
// cache.
int64_t reference_ms(const clock_reading& r)
{
    uint32_t m = static_cast<uint32_t>(r.seconds * 1000);
    std::tm tm {};
    tm.tm_year = r.year - 1900;
    tm.tm_mon = r.month - 1;
    tm.tm_mday = r.day;
    tm.tm_hour = r.hour;
    tm.tm_min = r.minute;
    tm.tm_sec = static_cast<int>(m / 1000);
    tm.tm_isdst = -1;
    return platform_mktime(&tm) * 1000 + m % 1000;
}

// Rows every 700 ms for four hours of the logger's clock from 00:30.
std::vector<clock_reading> readings(int year, int month, int day)
{
    std::vector<clock_reading> out;
    for (int64_t ms = 1800 * 1000; ms < (4 * 3600 + 1800) * 1000; ms += 700) {
        int64_t s = ms / 1000;
        out.push_back({ year, month, day, static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60),
            static_cast<double>(s % 60) + static_cast<double>(ms % 1000) / 1000 });
    }
    return out;
}

void expect_reader_matches_reference(const char* zone, int year, int month, int day)
{
    SCOPED_TRACE(std::string(zone) + " " + std::to_string(month) + "/" + std::to_string(day));
    test_support::scoped_tz tz(zone);
    std::vector<clock_reading> rows = readings(year, month, day);
    std::string text = "$COL,GNSS,time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,numSV\n";
    char line[160];
    for (const clock_reading& r : rows) {
        std::snprintf(line, sizeof line, "$GNSS,%04d-%02d-%02dT%02d:%02d:%06.3fZ,1,2,3,4,5,6,7,8,9,10\n",
            r.year, r.month, r.day, r.hour, r.minute, r.seconds);
        text += line;
    }
    test_support::temp_dir dir;
    std::string path = dir.file("dst.txt");
    test_support::write_file(path, text);
    gps_track track;
    const char* err = nullptr;
    track_read_gnss(path.c_str(), track, &err);
    ASSERT_EQ(err, nullptr) << err;
    ASSERT_EQ(track.count, rows.size());
    int mismatches = 0;
    int64_t jumps = 0; // the change shows as a step of an hour
    for (size_t i = 0; i < rows.size(); ++i) {
        int64_t expected = reference_ms(rows[i]);
        if (track.gps_points[i].time != expected && ++mismatches < 10)
            ADD_FAILURE() << "row " << i << ": " << track.gps_points[i].time << " != " << expected;
        // (700 give or take the millisecond that truncating seconds x 1000 may cost)
        if (i > 0 && std::abs(track.gps_points[i].time - track.gps_points[i - 1].time - 700) > 1)
            ++jumps;
    }
    EXPECT_EQ(jumps, std::string(zone) == "UTC" ? 0 : 1);
}

TEST(logger_time, minute_cache_equals_conversion_per_row_across_daylight_saving)
{
    expect_reader_matches_reference("Europe/Berlin", 2019, 3, 31);
    expect_reader_matches_reference("Europe/Berlin", 2019, 10, 27);
    expect_reader_matches_reference("America/New_York", 2019, 3, 10);
    expect_reader_matches_reference("America/New_York", 2019, 11, 3);
    expect_reader_matches_reference("UTC", 2019, 7, 14);
}

TEST(logger_time, cache_follows_every_field_of_the_minute)
{
    test_support::scoped_tz tz("UTC");
    logger_minute_cache cache;
    int64_t ms = 0;
    const char* const times[] = { "2019-07-14T16:02:31.400Z", "2019-07-14T16:03:31.400Z",
        "2019-07-14T17:03:31.400Z", "2019-07-15T17:03:31.400Z", "2019-08-15T17:03:31.400Z",
        "2020-08-15T17:03:31.400Z", "2020-08-15T17:03:00.000Z" };
    const int64_t expected[] = { 1563120151400, 1563120211400, 1563123811400, 1563210211400, 1565888611400,
        1597511011400, 1597510980000 };
    for (size_t i = 0; i < std::size(times); ++i) {
        ASSERT_TRUE(csv_parse_time(times[i], cache, &ms)) << times[i];
        EXPECT_EQ(ms, expected[i]) << times[i];
    }
}

} // namespace
