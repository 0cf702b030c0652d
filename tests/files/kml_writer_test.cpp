// SPDX-License-Identifier: GPL-3.0-or-later
// The KML document: exact lines, coordinate order, track name, failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/files/kml_writer.h"
#include "core/platform/platform.h"
#include "tests/support/test_support.h"

namespace {

gps_point sample(double lat, double lon, double h, int64_t time = 0)
{
    gps_point p {};
    p.time = time;
    p.pos_wgs84 = { lat, lon, h };
    return p;
}

// 2019-07-14T16:02:31.400Z read as local time.
int64_t logger_time(int year, int mon, int day, int hour, int min, int sec, int ms)
{
    std::tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = mon - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = min;
    tm.tm_sec = sec;
    tm.tm_isdst = -1;
    return platform_mktime(&tm) * 1000 + ms;
}

const char* const expected_three
    = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
      "  <Document>\n"
      "    <Placemark>\n"
      "      <name>Jul14 16:02</name>\n"
      "      <Style>\n"
      "        <LineStyle> <color>7f0000ff</color> <width>1</width> </LineStyle>\n"
      "        <PolyStyle> <color>7f00ff00</color> </PolyStyle>\n"
      "      </Style>\n"
      "      <LineString>\n"
      "        <altitudeMode>absolute</altitudeMode>\n"
      "        <extrude>1</extrude>\n"
      "        <coordinates>\n"
      "          8.7654321,47.1234567,456.789\n"
      "          -0.0000001,-33.0000000,-12.500\n"
      "          179.9999999,0.5000000,0.000\n"
      "        </coordinates>\n"
      "      </LineString>\n"
      "    </Placemark>\n"
      "  </Document>\n"
      "</kml>\n";

} // namespace

TEST(kml_write, three_samples_give_the_exact_document)
{
    test_support::temp_dir dir;
    int64_t t = logger_time(2019, 7, 14, 16, 2, 31, 400);
    std::vector<gps_point> track = { sample(47.1234567, 8.7654321, 456.789, t),
        sample(-33, -0.0000001, -12.5, t + 200), sample(0.5, 179.9999999, 0, t + 400) };
    const char* err = nullptr;
    std::string path = dir.file("swoop.kml");
    kml_write(path.c_str(), track.data(), 3, nullptr, &err);
    ASSERT_EQ(err, nullptr);
    std::string kml = test_support::read_file(path);
    EXPECT_EQ(kml, expected_three);
    EXPECT_EQ(std::count(kml.begin(), kml.end(), '\n'), 21);
}

TEST(kml_write, markers_add_the_entry_gate_placemark)
{
    test_support::temp_dir dir;
    std::vector<gps_point> track = { sample(1, 2, 3), sample(1, 2, 3), sample(1, 2, 3) };
    vec3 markers[2] = { { 10.5, 20.25, 101.5 }, { -10.5, -20.25, 99 } };
    const char* err = nullptr;
    std::string path = dir.file("gate.kml");
    kml_write(path.c_str(), track.data(), 3, markers, &err);
    ASSERT_EQ(err, nullptr);
    std::string kml = test_support::read_file(path);
    EXPECT_EQ(std::count(kml.begin(), kml.end(), '\n'), 32);
    EXPECT_NE(kml.find("    <Placemark>\n"
                       "      <name>entry gate</name>\n"
                       "      <LineString>\n"
                       "        <altitudeMode>absolute</altitudeMode>\n"
                       "        <extrude>1</extrude>\n"
                       "        <coordinates>\n"
                       "          20.2500000,10.5000000,101.500\n"
                       "          -20.2500000,-10.5000000,99.000\n"
                       "        </coordinates>\n"
                       "      </LineString>\n"
                       "    </Placemark>\n"
                       "  </Document>\n"),
        std::string::npos);
}

TEST(kml_write, zero_samples_still_name_the_track)
{
    test_support::temp_dir dir;
    gps_point first = sample(0, 0, 0);
    const char* err = nullptr;
    std::string path = dir.file("empty.kml");
    kml_write(path.c_str(), &first, 0, nullptr, &err);
    ASSERT_EQ(err, nullptr);
    std::string kml = test_support::read_file(path);
    EXPECT_EQ(std::count(kml.begin(), kml.end(), '\n'), 18);
    EXPECT_NE(kml.find("<name>Jan01 00:00</name>"), std::string::npos);
}

TEST(kml_write, track_name_shows_the_logger_reading_in_any_zone)
{
    for (const char* zone : { "UTC", "America/New_York", "Asia/Kolkata", "Europe/Berlin" }) {
        test_support::scoped_tz tz(zone);
        char name[32];
        kml_track_name(logger_time(2019, 7, 14, 16, 2, 31, 400), name, sizeof name);
        EXPECT_STREQ(name, "Jul14 16:02") << zone;
        kml_track_name(logger_time(2020, 12, 3, 9, 59, 59, 999), name, sizeof name);
        EXPECT_STREQ(name, "Dec03 09:59") << zone;
    }
}

TEST(kml_write, unwritable_paths_are_reported)
{
    test_support::temp_dir dir;
    gps_point first = sample(0, 0, 0);
    const char* err = nullptr;
    std::string path = dir.file("missing/folder/x.kml");
    kml_write(path.c_str(), &first, 1, nullptr, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(std::string(err), "failed to open file: " + path);
    EXPECT_FALSE(test_support::file_exists(path));

    // A full device: the open succeeds, the data never arrives.
    if (test_support::file_exists("/dev/full")) {
        err = nullptr;
        kml_write("/dev/full", &first, 1, nullptr, &err);
        ASSERT_NE(err, nullptr);
        EXPECT_STREQ(err, "failed to write file: /dev/full");
    }
}
