// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-logbook add -w: the wind and the entry-gate airspeed in the row, the
// export and the bests; a logbook of the schema before the wind opens with its
// rows, and a file recorded without the wind is analysed again.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cmath>
#include <filesystem>

#include "logbook/logbook_db.h"
#include "tests/logbook/logbook_test_util.h"
#include "tools/track_sim/track_sim.h"

namespace fs = std::filesystem;
using logbook_test::query;
using logbook_test::query_one;
using logbook_test::run;
using logbook_test::summary;
using test_support::temp_dir;

namespace {

// Turns a logbook back into one written before the wind existed: the wind's
// columns gone, the schema version before them.
void make_older(const std::string& db)
{
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(db.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> conn(raw, sqlite3_close_v2);
    const char* sql = "ALTER TABLE jumps DROP COLUMN with_wind;"
                      "ALTER TABLE jumps DROP COLUMN wind_speed_mps;"
                      "ALTER TABLE jumps DROP COLUMN wind_from_deg;"
                      "ALTER TABLE jumps DROP COLUMN wind_sigma_mps;"
                      "ALTER TABLE jumps DROP COLUMN entry_gate_airspeed_mps;"
                      "UPDATE schema_version SET version = 2;";
    char* message = nullptr;
    ASSERT_EQ(sqlite3_exec(conn.get(), sql, nullptr, nullptr, &message), SQLITE_OK) << message;
}

double number(const std::string& db, const std::string& sql)
{
    return std::stod(query_one(db, sql));
}

} // namespace

TEST(add_wind, records_the_wind_and_analyses_rows_without_it_again)
{
    temp_dir dir;
    const std::string db = dir.file("season.sqlite");
    const std::string season = dir.file("season");
    logbook_test::copy_example_swoops(season, 1);
    const std::string gate = logbook_test::example_gate();
    const sim_walk walk = generate_walk(walk_options {});
    swoop_options o;
    o.course = walk_options {}.course;
    o.theta = walk.truth.theta;
    o.wind.on = true;
    o.wind.speed = 5;
    o.wind.from = 300;
    o.pattern.on = true;
    const sim_swoop windy = generate_swoop(o);
    const std::string windy_path = season + "/windy.csv";
    const char* err = nullptr;
    ASSERT_TRUE(write_track(windy_path.c_str(), windy.samples, sim_dialect::field_names, &err));
    const std::string where
        = " FROM jumps WHERE path = CAST('" + fs::canonical(windy_path).string() + "' AS BLOB)";

    // Recorded without the wind, in a logbook from before the wind.
    auto r = run(db, { "add", "-g", gate, season });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, summary(4, 0, 0));
    const auto before = query(db, "SELECT path, entry_gate_speed_mps, turn_degrees FROM jumps ORDER BY path");
    make_older(db);
    r = run(db, { "list" }); // reading brings the schema forward
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(query_one(db, "SELECT version FROM schema_version"), std::to_string(logbook_schema_version));
    EXPECT_EQ(query(db, "SELECT path, entry_gate_speed_mps, turn_degrees FROM jumps ORDER BY path"), before);
    EXPECT_EQ(
        query_one(db, "SELECT count(*) FROM jumps WHERE with_wind = 0 AND wind_speed_mps IS NULL"), "4");

    // -w: every row recorded without the wind counts as changed, once.
    r = run(db, { "add", "-w", "-g", gate, season });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, summary(0, 4, 0));
    r = run(db, { "add", "-w", "-g", gate, season });
    EXPECT_EQ(r.out, summary(0, 0, 4));
    r = run(db, { "add", "-g", gate, season }); // without -w the wind stays
    EXPECT_EQ(r.out, summary(0, 0, 4));
    EXPECT_EQ(query_one(db, "SELECT count(*) FROM jumps WHERE with_wind = 1"), "4");

    const sim_wind_truth& truth = windy.truth.wind;
    EXPECT_NEAR(number(db, "SELECT wind_speed_mps" + where), truth.speed, 0.5);
    EXPECT_NEAR(std::remainder(number(db, "SELECT wind_from_deg" + where) - truth.from, 360.0), 0, 10);
    const double sigma = number(db, "SELECT wind_sigma_mps" + where);
    EXPECT_GT(sigma, 0);
    EXPECT_LT(sigma, 0.5);
    const double airspeed = number(db, "SELECT entry_gate_airspeed_mps" + where);
    EXPECT_NEAR(airspeed, truth.entry_gate_airspeed, 0.5);

    // The export's columns, after the results and before the heights.
    r = run(db, { "export", "--csv", "-" });
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string header = r.out.substr(0, r.out.find("\r\n"));
    EXPECT_NE(header.find(",max_horizontal_offset_m,wind_speed_mps,wind_from_deg,wind_sigma_mps,"
                          "entry_gate_airspeed_mps,entry_gate_height_above_stop_m,"),
        std::string::npos)
        << header;

    // The best entry-gate airspeed, in the units asked for.
    for (bool metric : { false, true }) {
        r = run(db, metric ? std::vector<std::string> { "best", "-m" } : std::vector<std::string> { "best" });
        ASSERT_EQ(r.status, 0) << r.err;
        const size_t at = r.out.find("entry gate airspeed");
        ASSERT_NE(at, std::string::npos) << r.out;
        const std::string line = r.out.substr(at, r.out.find('\n', at) - at);
        const double best = std::stod(query_one(db, "SELECT max(entry_gate_airspeed_mps) FROM jumps"));
        char value[64];
        std::snprintf(
            value, sizeof value, metric ? "%.1f km/h" : "%.1f mph", best * (metric ? 3.6 : 2.23693629));
        EXPECT_NE(line.find(value), std::string::npos) << line;
        EXPECT_GT(r.out.find("entry gate airspeed"), r.out.find("entry gate speed")) << r.out;
    }
}
