// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-logbook add -b: gate heights from the sensor file beside each swoop,
// on simulated logger sessions.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "logbook/logbook_db.h"
#include "tests/logbook/logbook_test_util.h"
#include "tests/tools/logger_session.h"

namespace fs = std::filesystem;
using logbook_test::query;
using logbook_test::run;
using logbook_test::summary;
using test_support::write_file;

namespace {

void exec(const std::string& db, const char* sql)
{
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> conn(raw, sqlite3_close_v2);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
}

} // namespace

TEST(logbook_baro, heights_recorded_shown_and_analysed_again_when_their_source_changes)
{
    test_support::temp_dir dir;
    const std::string db = dir.file("season.sqlite");
    const fs::path tree = dir.file("cards");
    write_logger_session(tree / "a", 21, true);
    write_logger_session(tree / "b", 22, false);

    // Without -b the sensor file is passed over: it is not a swoop.
    auto r = run(db, { "add", "-i", tree.string() });
    ASSERT_EQ(r.out, summary(2, 0, 0, 0)) << r.err;
    EXPECT_EQ(query(db, "SELECT DISTINCT height_source FROM jumps"),
        (std::vector<std::vector<std::string>> { { "GPS" } }));

    // Added before without -b: analysed again, once.
    const struct {
        std::vector<std::string> args;
        std::string out;
    } runs[] = {
        { { "add", "-i", "-b", tree.string() }, summary(0, 2, 0, 0) },
        { { "add", "-i", "-b", tree.string() }, summary(0, 0, 2, 0) },
    };
    for (const auto& c : runs)
        EXPECT_EQ(run(db, c.args).out, c.out);
    auto rows = query(db,
        "SELECT height_source, entry_gate_height_above_stop_m IS NOT NULL, entry_gate_height_sigma_m > 0,"
        " sensor_sha256 IS NOT NULL FROM jumps ORDER BY path");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::string> { "barometer and GPS", "1", "1", "1" }));
    EXPECT_EQ(rows[1], (std::vector<std::string> { "GPS (no sensor file)", "0", "NULL", "0" }));
    const double entry
        = std::stod(query(db, "SELECT entry_gate_height_above_stop_m FROM jumps ORDER BY path")[0][0]);
    EXPECT_GT(entry, 0.0);
    EXPECT_LT(entry, 10.0);

    // A changed sensor file, and one that appears beside a swoop, count as changes.
    std::string text = test_support::read_file((tree / "a" / "SENSOR.CSV").string());
    write_file((tree / "a" / "SENSOR.CSV").string(), text + "$VAR,NOTE,copied again\n");
    write_file((tree / "b" / "sensor.csv"), "$FILE,1\n");
    r = run(db, { "add", "-i", "-b", tree.string() });
    EXPECT_EQ(r.out, summary(0, 1, 0, 1));
    EXPECT_NE(r.err.find("sensor file has no barometer rows"), std::string::npos) << r.err;
    fs::remove(tree / "b" / "sensor.csv");
    EXPECT_EQ(run(db, { "add", "-i", "-b", tree.string() }).out, summary(0, 1, 1, 0));

    // list, best and export show the heights.
    r = run(db, { "list", "-m" });
    EXPECT_NE(r.out.find("entry height m"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("barometer and GPS"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" +/- "), std::string::npos) << r.out;
    r = run(db, { "best" });
    EXPECT_NE(r.out.find("ft above the stop"), std::string::npos) << r.out;
    r = run(db, { "export", "--csv", "-" });
    const std::string header = r.out.substr(0, r.out.find("\r\n"));
    EXPECT_NE(
        header.find(",entry_gate_height_above_stop_m,entry_gate_height_sigma_m,exit_gate_height_above_stop_m,"
                    "exit_gate_height_sigma_m,height_source,skimra_version,error"),
        std::string::npos)
        << header;
    EXPECT_NE(r.out.find(",barometer and GPS,"), std::string::npos);

    // A logbook of the schema before the heights opens, keeps its rows and
    // gains the columns empty.
    exec(db,
        "ALTER TABLE jumps DROP COLUMN with_wind; ALTER TABLE jumps DROP COLUMN wind_speed_mps;"
        "ALTER TABLE jumps DROP COLUMN wind_from_deg; ALTER TABLE jumps DROP COLUMN wind_sigma_mps;"
        "ALTER TABLE jumps DROP COLUMN entry_gate_airspeed_mps;"
        "ALTER TABLE jumps DROP COLUMN height_source; ALTER TABLE jumps DROP COLUMN sensor_sha256;"
        "ALTER TABLE jumps DROP COLUMN entry_gate_height_above_stop_m;"
        "ALTER TABLE jumps DROP COLUMN entry_gate_height_sigma_m;"
        "ALTER TABLE jumps DROP COLUMN exit_gate_height_above_stop_m;"
        "ALTER TABLE jumps DROP COLUMN exit_gate_height_sigma_m; UPDATE schema_version SET version = 1;");
    r = run(db, { "list" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;
    EXPECT_EQ(r.out.find("heights"), std::string::npos) << r.out;
    EXPECT_EQ(query(db, "SELECT version FROM schema_version")[0][0], std::to_string(logbook_schema_version));
    EXPECT_EQ(query(db, "SELECT count(*) FROM jumps WHERE height_source IS NULL")[0][0], "2");
    // Old rows have GPS heights: unchanged without -b, analysed again with it.
    EXPECT_EQ(run(db, { "add", "-i", tree.string() }).out, summary(0, 0, 2, 0));
    EXPECT_EQ(run(db, { "add", "-i", "-b", tree.string() }).out, summary(0, 2, 0, 0));
}
