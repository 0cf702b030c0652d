// SPDX-License-Identifier: GPL-3.0-or-later
// The jump's UTC time, recovered from a sample time that the reader made by
// taking the logger's UTC reading as local time, in zones other than UTC and
// across their daylight-saving changes.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/track/csv_reader.h"
#include "logbook/jump_record.h"
#include "tests/logbook/logbook_test_util.h"
#include "tools/track_sim/track_sim.h"

using test_support::scoped_tz;

namespace {

// ms since the epoch of "YYYY-MM-DDTHH:MM:SS.mmmZ", computed without any time zone.
int64_t utc_ms(const std::string& text)
{
    auto field = [&](size_t at, size_t n) { return std::stoll(text.substr(at, n)); };
    return *utc_midnight_ms(text.substr(0, 10))
        + ((field(11, 2) * 60 + field(14, 2)) * 60 + field(17, 2)) * 1000 + field(20, 3);
}

// The sample time the reader makes of a logger reading in the current zone.
int64_t sample_time(const std::string& reading)
{
    logger_minute_cache cache;
    int64_t ms = 0;
    EXPECT_TRUE(csv_parse_time(reading.c_str(), cache, &ms)) << reading;
    return ms;
}

} // namespace

TEST(jump_time, readings_come_back_as_utc_in_any_zone_on_both_sides_of_daylight_saving_changes)
{
    // Europe/Berlin changes at 01:00Z on 2019-03-31 and 2019-10-27,
    // America/New_York at 07:00Z on 2019-03-10 and 06:00Z on 2019-11-03.
    // Readings whose local reading repeats (autumn) come back too.
    const char* readings[]
        = { "2019-07-14T17:00:00.000Z", "2019-03-31T00:59:59.999Z", "2019-03-31T01:00:00.000Z",
              "2019-03-31T03:00:00.250Z", "2019-10-27T00:30:00.000Z", "2019-10-27T01:30:00.000Z",
              "2019-10-27T02:30:00.500Z", "2019-03-10T06:59:00.000Z", "2019-03-10T07:30:00.000Z",
              "2019-11-03T01:30:00.000Z", "2019-11-03T06:30:00.000Z", "2038-01-19T03:14:08.000Z" };
    for (const char* zone : { "UTC", "Europe/Berlin", "America/New_York", "Australia/Lord_Howe" }) {
        scoped_tz tz(zone);
        for (const char* reading : readings) {
            std::optional<int64_t> utc = sample_time_to_utc_ms(sample_time(reading));
            ASSERT_TRUE(utc) << zone << " " << reading;
            EXPECT_EQ(utc_iso8601(*utc), reading) << zone;
            EXPECT_EQ(*utc, utc_ms(reading)) << zone;
        }
    }
    // The limit: a reading in the hour that a spring-forward skips locally
    // (02:30 on 2019-03-31 in Berlin) cannot be told from the hour after it.
    scoped_tz tz("Europe/Berlin");
    EXPECT_EQ(utc_iso8601(*sample_time_to_utc_ms(sample_time("2019-03-31T02:30:00.000Z"))),
        "2019-03-31T03:30:00.000Z");
}

TEST(jump_time, add_in_another_zone_records_the_loggers_utc_time)
{
    test_support::temp_dir dir;
    const std::string db = dir.file("season.sqlite");
    // Two jumps on either side of Berlin's spring-forward, and the examples.
    logbook_test::write_simulated_swoop(dir.file("before.csv"), 3, 270, utc_ms("2019-03-31T00:20:00.000Z"));
    logbook_test::write_simulated_swoop(dir.file("after.csv"), 4, 270, utc_ms("2019-03-31T01:10:00.000Z"));
    for (const char* zone : { "Europe/Berlin", "America/New_York" }) {
        std::vector<std::string> args = { "add", "-i", dir.file("before.csv"), dir.file("after.csv") };
        for (const std::string& example : logbook_test::example_swoops())
            args.push_back(example);
        auto r = logbook_test::run(db, args, { std::string("TZ=") + zone });
        ASSERT_EQ(r.status, 0) << r.err;
        auto rows = logbook_test::query(db, "SELECT jump_time_utc_ms FROM jumps ORDER BY jump_time_utc_ms");
        ASSERT_EQ(rows.size(), 5u) << zone;
        EXPECT_EQ(std::stoll(rows[0][0]), utc_ms("2019-03-31T00:20:00.000Z")) << zone;
        EXPECT_EQ(std::stoll(rows[1][0]), utc_ms("2019-03-31T01:10:00.000Z")) << zone;
        EXPECT_EQ(std::stoll(rows[2][0]), utc_ms("2019-07-14T17:00:00.000Z")) << zone;
        EXPECT_EQ(std::stoll(rows[4][0]), utc_ms("2019-07-14T19:00:00.000Z")) << zone;
        for (const char* suffix : { "", "-wal", "-shm" })
            std::filesystem::remove(db + suffix);
    }
}
