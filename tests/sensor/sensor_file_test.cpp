// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor-file reader, its link to the track's clock and the analysis'
// height hook, through real files.
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/sensor/baro_fusion.h"
#include "core/sensor/sensor_file.h"
#include "core/sensor/sensor_link.h"
#include "core/swoop/swoop.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/sensor_sim.h"
#include "tools/track_sim/track_sim.h"

namespace {

using test_support::temp_dir;

const char* header = "$FILE,1\n$VAR,FIRMWARE_VER,v1\n$COL,BARO,time,pressure,temperature\n"
                     "$UNIT,BARO,s,Pa,deg C\n$COL,TIME,time,tow,week\n$UNIT,TIME,s,s,\n$DATA\n";

// Ten seconds of rows: BARO at 10 Hz, TIME at 1 Hz (device 100.050 is tow
// 240996 of week 2332), an IMU row now and then.
std::string rows(double drift_ms_per_row = 0)
{
    std::string out;
    char buf[96];
    for (int k = 0; k < 100; ++k) {
        std::snprintf(buf, sizeof buf, "$BARO,%.3f,%.2f,25.5\n", 100.0 + 0.1 * k, 99300.0 - 0.2 * k);
        out += buf;
        if (k % 10 == 5) {
            std::snprintf(buf, sizeof buf, "$TIME,%.3f,%.3f,2332\n",
                100.05 + 0.1 * k + (k == 95 ? drift_ms_per_row / 1000.0 : 0.0), 240996.0 + (k - 5) / 10);
            out += buf;
        }
        if (k % 8 == 0)
            out += "$IMU,1,2,3,4,5,6,7,8\n";
    }
    return out;
}

std::string replace_all(std::string s, const std::string& from, const std::string& to)
{
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

struct read_result {
    std::string err; // empty on success
    sensor_file file;
};

read_result read_text(const temp_dir& dir, const std::string& text)
{
    read_result r;
    const std::string path = dir.file("SENSOR.CSV");
    test_support::write_file(path, text);
    const char* err = nullptr;
    sensor_file_read(path.c_str(), r.file, &err);
    if (err)
        r.err = err;
    return r;
}

// A short jump with its sensor file (the examples' climb and freefall).
struct session {
    sim_swoop sim;
    sim_sensor sensor;
};

session fly(uint64_t seed, const sensor_options& so = {})
{
    swoop_options o = example_swoop_base(sim_course {}, 0.0);
    o.seed = seed;
    o.record_motion = true;
    session s { generate_swoop(o), {} };
    sensor_options with_seed = so;
    with_seed.seed = seed;
    s.sensor = simulate_swoop_sensor(s.sim, o, with_seed);
    return s;
}

// Sets the time zone for the life of the object (the C library's own rule
// string, so no zone database is needed).
class zone {
public:
    explicit zone(const char* tz)
    {
        const char* old = std::getenv("TZ");
        had_ = old != nullptr;
        if (old)
            old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~zone()
    {
        if (had_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

} // namespace

TEST(SensorFile, ReadsTheRowsWhateverTheLineEndsAndColumnOrder)
{
    temp_dir dir;
    const std::string base = std::string(header) + rows();
    struct variant {
        const char* name;
        std::string text;
    };
    const std::string reordered = replace_all(
        base, "$COL,BARO,time,pressure,temperature", "$COL,BARO,temperature,extra,pressure,time");
    const std::vector<variant> variants = {
        { "LF", base },
        { "CR LF", replace_all(base, "\n", "\r\n") },
        { "CR", replace_all(base, "\n", "\r") },
        { "LF CR", replace_all(base, "\n", "\n\r") },
        { "CR CR LF", replace_all(base, "\n", "\r\r\n") },
        { "unknown $ lines and records, lines without $",
            "$SOMETHING,1\nnot a record\n" + replace_all(base, "$DATA\n", "$DATA\n$XYZ,1,2,3\n\n") },
    };
    for (const variant& v : variants) {
        const read_result r = read_text(dir, v.text);
        EXPECT_EQ(r.err, "") << v.name;
        ASSERT_EQ(r.file.baro.size(), 100u) << v.name;
        EXPECT_DOUBLE_EQ(r.file.baro[3].time, 100.3) << v.name;
        EXPECT_DOUBLE_EQ(r.file.baro[3].pressure, 99299.4) << v.name;
        EXPECT_DOUBLE_EQ(r.file.baro[3].temperature, 25.5) << v.name;
        EXPECT_EQ(r.file.clock.rows, 10u) << v.name;
    }
    // Columns found by name: the reordered line names time last; its rows
    // must follow it.
    std::string moved;
    char buf[64];
    for (int k = 0; k < 100; ++k) {
        std::snprintf(buf, sizeof buf, "$BARO,25.5,x,%.2f,%.3f\n", 99300.0 - 0.2 * k, 100.0 + 0.1 * k);
        moved += buf;
        if (k % 10 == 5) {
            std::snprintf(
                buf, sizeof buf, "$TIME,%.3f,%.3f,2332\n", 100.05 + 0.1 * k, 240996.0 + (k - 5) / 10);
            moved += buf;
        }
    }
    const read_result r = read_text(dir, reordered.substr(0, reordered.find("$DATA")) + "$DATA\n" + moved);
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(r.file.baro.size(), 100u);
    EXPECT_DOUBLE_EQ(r.file.baro[3].time, 100.3);
    EXPECT_DOUBLE_EQ(r.file.baro[3].pressure, 99299.4);
}

TEST(SensorFile, FitsTheClockThroughTheTimeRows)
{
    temp_dir dir;
    const read_result r = read_text(dir, std::string(header) + rows());
    ASSERT_EQ(r.err, "");
    // Device 100.550 s is week 2332, tow 240996: 1980-01-06 + 2332 weeks.
    const double expected = 315964800.0 + 2332.0 * 604800.0 + 240996.0;
    EXPECT_NEAR(sensor_clock_time(r.file.clock, 100.55), expected, 1e-6);
    EXPECT_NEAR(sensor_clock_time(r.file.clock, 109.55), expected + 9.0, 1e-6);
    EXPECT_NEAR(r.file.clock.rate, 1.0, 1e-12);
    EXPECT_LT(r.file.clock.residual, 1e-6);
    // 4 ms off the line still holds, 9 ms does not.
    EXPECT_EQ(read_text(dir, std::string(header) + rows(4.0)).err, "");
    EXPECT_EQ(
        read_text(dir, std::string(header) + rows(9.0)).err, "sensor file has no usable time reference");
}

TEST(SensorFile, RefusesFilesWithoutBarometerOrTimeAndDropsBadRows)
{
    temp_dir dir;
    const std::string base = std::string(header) + rows();
    struct bad {
        const char* name;
        std::string text;
        const char* err;
    };
    std::string no_time, one_time, no_baro;
    for (const std::string& line : { base }) {
        size_t at = 0;
        while (at < line.size()) {
            size_t end = line.find('\n', at);
            std::string l = line.substr(at, end - at + 1);
            at = end + 1;
            const bool time_row = l.rfind("$TIME,", 0) == 0, baro_row = l.rfind("$BARO,", 0) == 0;
            if (!time_row)
                no_time += l;
            if (!time_row || one_time.find("$TIME,") == std::string::npos)
                one_time += l;
            if (!baro_row)
                no_baro += l;
        }
    }
    const std::vector<bad> cases = {
        { "no BARO rows", no_baro, "sensor file has no barometer rows" },
        { "BARO rows before their column line",
            replace_all(base, "$COL,BARO,time,pressure,temperature\n", "") + "$COL,BARO,time,pressure\n",
            "sensor file has no barometer rows" },
        { "no TIME rows", no_time, "sensor file has no usable time reference" },
        { "one TIME row", one_time, "sensor file has no usable time reference" },
        { "TIME rows a tenth of a percent fast", replace_all(base, "240996.000,2332", "240995.990,2332"),
            "sensor file has no usable time reference" },
        { "empty file", "", "sensor file has no barometer rows" },
        { "a line of 40000 bytes", base + "$BARO," + std::string(40000, '1') + "\n",
            "line length exceeded size of buffer" },
    };
    for (const bad& c : cases)
        EXPECT_EQ(read_text(dir, c.text).err, c.err) << c.name;

    // Rows that cannot be read are left out, the others kept.
    const std::string dropped = base + "$BARO,111.000,abc,20\n$BARO,111.100\n$BARO,105.000,99000,20\n"
        + "$BARO,111.200,nan,20\n$BARO,111.300,99000.5,20\n$BARO,111.400,9931";
    const read_result r = read_text(dir, dropped);
    ASSERT_EQ(r.err, "");
    ASSERT_EQ(r.file.baro.size(), 101u); // only 111.300; the cut last row goes too
    EXPECT_DOUBLE_EQ(r.file.baro.back().time, 111.3);
    const char* err = nullptr;
    sensor_file f;
    sensor_file_read(dir.file("missing.csv").c_str(), f, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(std::string(err), "failed to open file: " + dir.file("missing.csv"));
}

TEST(SensorLink, TurnsTrackTimesBackIntoUtcInAnyZone)
{
    // 2019-07-14T16:02:31.400Z read as local time in a zone two hours ahead
    // (summer time) is 14:02:31.400 UTC: 2 hours early.
    const int64_t utc = 1563120151400;
    {
        zone cest("CET-1CEST,M3.5.0,M10.5.0/3");
        std::tm tm {};
        tm.tm_year = 119;
        tm.tm_mon = 6;
        tm.tm_mday = 14;
        tm.tm_hour = 16;
        tm.tm_min = 2;
        tm.tm_sec = 31;
        tm.tm_isdst = -1;
        const int64_t as_local = static_cast<int64_t>(std::mktime(&tm)) * 1000 + 400;
        EXPECT_EQ(as_local, utc - 7200000);
        EXPECT_DOUBLE_EQ(track_time_utc(as_local), static_cast<double>(utc) / 1000.0);
        EXPECT_DOUBLE_EQ(track_time_utc(as_local - 1000000), static_cast<double>(utc - 1000000) / 1000.0);
    }
    {
        zone west("EST5EDT,M3.2.0,M11.1.0");
        EXPECT_DOUBLE_EQ(track_time_utc(utc + 4 * 3600000), static_cast<double>(utc) / 1000.0);
    }
    EXPECT_DOUBLE_EQ(track_time_utc(utc), static_cast<double>(utc) / 1000.0); // the tests' UTC
}

TEST(SensorLink, MatchesTheClockAndRefusesWhatItCannotConfirm)
{
    temp_dir dir;
    sensor_options so;
    so.clock_offset = 0.15;
    session s = fly(7, so);
    const read_result r = read_text(dir, s.sensor.text);
    ASSERT_EQ(r.err, "");
    sensor_link link;
    const char* err = nullptr;
    const auto count = static_cast<uint32_t>(s.sim.samples.size());
    sensor_link_track(s.sim.samples.data(), count, r.file, link, &err);
    ASSERT_EQ(err, nullptr) << err;
    // The match takes up the clock offset less the barometer's lag, to
    // within a tenth of a second.
    EXPECT_NEAR(link.offset, s.sensor.truth.clock_offset - s.sensor.truth.lag, 0.1);
    EXPECT_GT(link.match_shifted, 2.0 * link.match);

    // The same track read in another zone links the same.
    {
        zone cest("CET-1CEST,M3.5.0,M10.5.0/3");
        std::vector<gps_point> local = s.sim.samples;
        for (gps_point& p : local)
            p.time -= 7200000; // what the reader makes of the UTC reading there
        sensor_link there;
        sensor_link_track(local.data(), count, r.file, there, &err);
        ASSERT_EQ(err, nullptr) << err;
        EXPECT_NEAR(there.offset, link.offset, 1e-9);
        EXPECT_DOUBLE_EQ(there.utc_start, link.utc_start);
    }

    // A sample no logger writes (a velD of 1e300 m/s) leaves the match alone.
    {
        std::vector<gps_point> absurd = s.sim.samples;
        absurd[count / 2].vel_ltp[2] = 1e300;
        sensor_link odd;
        sensor_link_track(absurd.data(), count, r.file, odd, &err);
        ASSERT_EQ(err, nullptr) << err;
        EXPECT_NEAR(odd.offset, link.offset, 0.02);
    }

    // TIME rows on GPS time are 18 s off: refused.
    so.gps_time = true;
    session g = fly(7, so);
    sensor_link_track(g.sim.samples.data(), count, read_text(dir, g.sensor.text).file, link, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "sensor file has no usable time reference");

    // A sensor file of another session does not cover the swoop.
    std::vector<gps_point> later = s.sim.samples;
    for (gps_point& p : later)
        p.time += 3600000;
    sensor_link_track(later.data(), count, r.file, link, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(err, "sensor file does not cover the swoop");
}

// The airflow at the logger moves the barometer's speed by c dV^2/2g/dt in
// the exit, the opening and the dive; the match fits it out, so the same jump
// links alike with the largest coefficients either way.
TEST(SensorLink, TheMatchDoesNotLeanWithTheAirflowCoefficient)
{
    temp_dir dir;
    double lean = 0;
    const int jumps = 5;
    for (int j = 0; j < jumps; ++j) {
        double error[2];
        for (int k = 0; k < 2; ++k) {
            sensor_options so;
            so.coefficient = k == 0 ? -0.05 : 0.05;
            session s = fly(static_cast<uint64_t>(11 + j), so);
            sensor_link link;
            const char* err = nullptr;
            const auto count = static_cast<uint32_t>(s.sim.samples.size());
            sensor_link_track(s.sim.samples.data(), count, read_text(dir, s.sensor.text).file, link, &err);
            ASSERT_EQ(err, nullptr) << err;
            error[k] = link.offset - (s.sensor.truth.clock_offset - s.sensor.truth.lag);
            EXPECT_LT(std::fabs(error[k]), 0.1) << j << " " << so.coefficient;
            if (j > 0)
                continue;
            // The regimes the match and the estimate go by, against the jump's truth.
            const std::vector<flight_regime>& regimes = link.regime;
            for (uint32_t i = 0; i < count; ++i) {
                const int64_t at = s.sim.samples[i].time;
                const int64_t exit = s.sim.truth.plane_exit_time, open = s.sim.truth.deployment_time;
                if (at < exit) {
                    EXPECT_EQ(regimes[i], flight_regime::aircraft) << i;
                } else if (at > exit + 2000 && at < open) {
                    EXPECT_EQ(regimes[i], flight_regime::freefall) << i;
                } else if (at > open + 6000) {
                    EXPECT_EQ(regimes[i], flight_regime::canopy) << i;
                }
            }
        }
        lean += std::fabs(error[1] - error[0]) / jumps;
    }
    // Left in, the airflow moved the match by 0.15 s between the two.
    EXPECT_LT(lean, 0.07) << lean;

    // A track without an exit is canopy flight throughout.
    std::vector<gps_point> level(40);
    std::vector<double> time(level.size());
    for (size_t i = 0; i < level.size(); ++i) {
        level[i].pos_wgs84 = { 52.0, 4.0, 1000.0 - 2.0 * static_cast<double>(i) };
        level[i].vel_ltp = { 10.0, 0.0, 5.0 };
        time[i] = 0.4 * static_cast<double>(i);
    }
    for (flight_regime r : flight_regimes(level.data(), time, static_cast<uint32_t>(level.size())))
        EXPECT_EQ(r, flight_regime::canopy);
}

TEST(SensorHook, FusedHeightsMoveOnlyTheHeightsAndOnlyWhenAsked)
{
    temp_dir dir;
    session s = fly(9);
    const std::string track = dir.file("TRACK.CSV");
    test_support::write_file(track, format_track(s.sim.samples, sim_dialect::field_names));
    const read_result r = read_text(dir, s.sensor.text);
    ASSERT_EQ(r.err, "");
    const char* err = nullptr;
    std::unique_ptr<swoop> gps = swoop_new(track.c_str(), &err);
    std::unique_ptr<swoop> baro = swoop_new(track.c_str(), &err);
    ASSERT_TRUE(gps && baro);
    baro_fusion fusion;
    swoop_baro_fuse(*baro, r.file, fusion, &err);
    ASSERT_EQ(err, nullptr) << err;
    ASSERT_EQ(fusion.height.size(), baro->track_len);
    swoop_analyse(*gps, frame_from_gate, &s.sim.truth.course_matrix, 0, &err);
    ASSERT_EQ(err, nullptr);
    swoop_analyse(*baro, frame_from_gate, &s.sim.truth.course_matrix, 0, &err);
    ASSERT_EQ(err, nullptr);
    for (uint32_t i = 0; i < gps->track_len; ++i)
        ASSERT_EQ(gps->track[i].pos_local, baro->track[i].pos_local) << "not asked: GPS heights";

    // Asked in the same frame: the analysis runs again with the fused heights.
    swoop_use_baro_heights(*baro, fusion);
    swoop_analyse(*baro, frame_from_gate, &s.sim.truth.course_matrix, 0, &err);
    ASSERT_EQ(err, nullptr);
    double worst_truth = 0;
    for (uint32_t i = 0; i < gps->track_len; ++i) {
        const gps_point& a = gps->track[i];
        const gps_point& b = baro->track[i];
        EXPECT_EQ(a.pos_local[0], b.pos_local[0]);
        EXPECT_EQ(a.vel_local, b.vel_local);
        EXPECT_NEAR(b.pos_local[2] - a.pos_local[2], fusion.height[i] - a.pos_wgs84[2], 1e-9);
        EXPECT_GT(fusion.sigma[i], 0.0);
        worst_truth = std::max(worst_truth, std::fabs(fusion.height[i] - s.sensor.truth.sample_height[i]));
    }
    EXPECT_LT(worst_truth, 6.0); // the fused height follows the truth everywhere
    const gate_heights g = swoop_gate_heights(*baro, fusion);
    ASSERT_TRUE(g.entry_gate.known);
    EXPECT_FALSE(g.exit_gate.known);
    EXPECT_GT(g.entry_gate.sigma, 0.05);
    EXPECT_LT(g.entry_gate.sigma, 1.0);
    // The difference's sigma is smaller than two independent ones would give.
    const double independent = std::hypot(fusion.sigma[baro->entry_gate], fusion.sigma[baro->stop]);
    EXPECT_LT(g.entry_gate.sigma, independent);

    // Back to GPS heights: the same results as never asked.
    swoop_set_height_correction(*baro, {});
    swoop_analyse(*baro, frame_from_gate, &s.sim.truth.course_matrix, 0, &err);
    ASSERT_EQ(err, nullptr);
    EXPECT_EQ(baro->stop, gps->stop);
    EXPECT_EQ(baro->entry_gate_time, gps->entry_gate_time);
    for (uint32_t i = 0; i < gps->track_len; ++i)
        ASSERT_EQ(gps->track[i].pos_local, baro->track[i].pos_local);
}
