// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-logbook add, list and best end to end: the built program on real
// swoop files and a real database in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/logbook/logbook_test_util.h"
#include "tools/track_sim/track_sim.h"

namespace fs = std::filesystem;
using logbook_test::query;
using logbook_test::query_one;
using logbook_test::run;
using logbook_test::summary;
using test_support::temp_dir;

namespace {

} // namespace

TEST(add, skips_unchanged_files_and_analyses_changed_content_or_course_again)
{
    temp_dir dir;
    const std::string db = dir.file("season.sqlite");
    const std::string season = dir.file("season");
    std::vector<std::string> files = logbook_test::copy_example_swoops(season, 1);
    const std::string gate = logbook_test::example_gate();

    auto r = run(db, { "add", "-g", gate, season });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, summary(3, 0, 0, 0));
    EXPECT_EQ(
        query_one(db, "SELECT count(*) FROM jumps WHERE course = 'gate-walk.csv' AND error IS NULL"), "3");

    r = run(db, { "add", "-g", gate, season });
    EXPECT_EQ(r.out, summary(0, 0, 3, 0));

    // A new modification time with the same content is read, not analysed again.
    fs::last_write_time(files[0], fs::last_write_time(files[0]) + std::chrono::hours(1));
    r = run(db, { "add", "-g", gate, season });
    EXPECT_EQ(r.out, summary(0, 0, 3, 0));
    r = run(db, { "add", "-g", gate, season });
    EXPECT_EQ(r.out, summary(0, 0, 3, 0));

    // New content: the right-hand 270 becomes the left-hand 450.
    fs::copy_file(files[1], files[0], fs::copy_options::overwrite_existing);
    r = run(db, { "add", "-g", gate, season });
    EXPECT_EQ(r.out, summary(0, 1, 2, 0));
    const std::string where = "path = CAST('" + fs::canonical(files[0]).string() + "' AS BLOB)";
    EXPECT_EQ(query_one(db, "SELECT turn_direction FROM jumps WHERE " + where), "left");

    // Another course: each swoop in its own frame.
    r = run(db, { "add", "-i", season });
    EXPECT_EQ(r.out, summary(0, 3, 0, 0));
    EXPECT_EQ(query_one(db, "SELECT count(*) FROM jumps WHERE course = 'own frame'"), "3");

    // The course surveyed again under the same file name is another course.
    const std::string resurveyed = dir.file("gate-walk.csv");
    walk_options wo;
    wo.seed = 7;
    const char* err = nullptr;
    ASSERT_TRUE(write_track(resurveyed.c_str(), generate_walk(wo).samples, sim_dialect::field_names, &err));
    r = run(db, { "add", "-g", gate, season });
    EXPECT_EQ(r.out, summary(0, 3, 0, 0));
    const std::string first_key = query_one(db, "SELECT DISTINCT course_key FROM jumps");
    r = run(db, { "add", "-g", resurveyed, season });
    EXPECT_EQ(r.out, summary(0, 3, 0, 0));
    EXPECT_EQ(query_one(db, "SELECT count(DISTINCT course) FROM jumps"), "1");
    EXPECT_NE(query_one(db, "SELECT DISTINCT course_key FROM jumps"), first_key);
    EXPECT_EQ(query_one(db, "SELECT count(*) FROM jumps"), "3");
}

TEST(add, walks_folders_resolves_links_and_records_failures)
{
    temp_dir dir;
    const std::string db = dir.file("season.sqlite");
    const fs::path tree = dir.file("tree");
    fs::create_directories(tree / "a" / "b");
    fs::copy_file(logbook_test::example_swoops()[0], tree / "a" / "b" / "JUMP.CSV");
    fs::copy_file(logbook_test::example_swoops()[1], tree / "a" / "notes.txt"); // not a swoop file name
    fs::create_symlink(tree / "a" / "b" / "JUMP.CSV", tree / "link.csv");
    fs::create_symlink(tree / "nowhere.csv", tree / "dangling.csv");
    test_support::write_file((tree / "garbage.csv").string(), "this is no logger file\n");
    test_support::write_file((tree / "broken.Skm").string(), "SKM");
    // The gate walk among the swoops is the course, not a jump.
    fs::copy_file(logbook_test::example_gate(), tree / "gate.csv");

    auto r = run(db, { "add", "-g", (tree / "gate.csv").string(), tree.string() });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, summary(1, 0, 0, 2));
    EXPECT_NE(r.err.find("garbage.csv: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("broken.Skm: "), std::string::npos) << r.err;

    auto rows = query(db, "SELECT path, error IS NULL FROM jumps ORDER BY path");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], fs::canonical(tree / "a" / "b" / "JUMP.CSV").string());
    EXPECT_EQ(rows[0][1], "1");
    EXPECT_EQ(rows[1][0], fs::canonical(tree / "broken.Skm").string());
    EXPECT_EQ(rows[2][1], "0");

    // Failed rows are listed with their error.
    r = run(db, { "list" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("garbage.csv  (failed: "), std::string::npos) << r.out;

    // A path that names nothing is reported; the rest of the run goes on.
    r = run(db, { "add", "-i", dir.file("missing.csv"), logbook_test::example_swoops()[2] });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, summary(1, 0, 0, 1));
    EXPECT_NE(r.err.find("skimra-logbook: " + dir.file("missing.csv")), std::string::npos) << r.err;
}

TEST(command_line, help_usage_errors_and_exit_statuses)
{
    temp_dir dir;
    const std::string db = dir.file("season.sqlite");
    auto r = run(db, { "--help" });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: skimra-logbook", 0), 0u) << r.out;
    for (const char* sub : { "add", "list", "best", "export", "plot" }) {
        r = run(db, { sub, "--help" });
        EXPECT_EQ(r.status, 0) << sub;
        EXPECT_NE(r.out.find(std::string("skimra-logbook [--db PATH] ") + sub), std::string::npos) << r.out;
    }
    const std::vector<std::vector<std::string>> usage_errors = {
        {},
        { "frobnicate" },
        { "add", logbook_test::example_swoops()[0] },
        { "add", "-i", "-g", logbook_test::example_gate(), logbook_test::example_swoops()[0] },
        { "add", "-i" },
        { "list", "--since", "2019-13-01" },
        { "list", "--colour" },
        { "best", "extra" },
        { "export" },
        { "plot" },
    };
    for (const auto& args : usage_errors) {
        r = run(db, args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.err.rfind("skimra-logbook: ", 0), 0u) << r.err;
    }
    EXPECT_FALSE(test_support::file_exists(db)) << "a usage error created the logbook";

    r = run(db, { "list" });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no logbook at " + db), std::string::npos) << r.err;
    r = run(db, { "add", "-g", dir.file("no-gate.csv"), logbook_test::example_swoops()[0] });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("skimra-logbook: ", 0), 0u) << r.err;

    // Without --db the logbook lives in the user's data folder.
    r = test_support::run_program(test_support::logbook_path(),
        { "add", "-i", logbook_test::example_swoops()[0] }, dir.path(),
        { "HOME=" + dir.path(), "XDG_DATA_HOME=" + dir.file("xdg") });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(test_support::file_exists(dir.file("xdg/skimra/logbook.sqlite")));
}

TEST(list, filters_units_bests_and_unusual_paths)
{
    temp_dir dir;
    const std::string db = dir.file("season.sqlite");
    // Names with a space, quotes, a comma and a byte that is not UTF-8.
    const fs::path odd = dir.file("jumps, \"July\" 'n\xff more");
    fs::create_directories(odd);
    logbook_test::write_simulated_swoop((odd / "early jump.csv").string(), 11, 270, sim_default_start);
    logbook_test::write_simulated_swoop(dir.file("late.csv"), 12, 630, sim_default_start + 40LL * 86400000);
    ASSERT_EQ(run(db, { "add", "-i", odd.string(), dir.file("late.csv") }).status, 0);
    ASSERT_EQ(
        run(db, { "add", "-g", logbook_test::example_gate(), logbook_test::example_swoops()[0] }).status, 0);

    auto r = run(db, { "list" });
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string odd_path = fs::canonical(odd / "early jump.csv").string();
    EXPECT_NE(r.out.find(odd_path + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("entry mph"), std::string::npos);
    // Newest first: late (2019-08-23), then the two jumps of 2019-07-14.
    EXPECT_LT(r.out.find("2019-08-23 16:00:00"), r.out.find("2019-07-14 17:00:00"));
    EXPECT_LT(r.out.find("2019-07-14 17:00:00"), r.out.find("2019-07-14 16:00:00"));
    EXPECT_NE(r.out.find("630 R"), std::string::npos) << r.out;

    r = run(db, { "list", "-m", "--since", "2019-08-01" });
    EXPECT_NE(r.out.find("entry km/h"), std::string::npos);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
    r = run(db, { "list", "--course", "gate-walk.csv" });
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
    EXPECT_NE(r.out.find("swoop-270-right.csv"), std::string::npos);

    r = run(db, { "best" });
    ASSERT_EQ(r.status, 0) << r.err;
    const size_t rotation = r.out.find("degrees of rotation");
    ASSERT_NE(rotation, std::string::npos) << r.out;
    const std::string line = r.out.substr(rotation, r.out.find('\n', rotation) - rotation);
    EXPECT_NE(line.find("630 deg (right-hand)"), std::string::npos) << line;
    EXPECT_NE(line.find(dir.file("late.csv")), std::string::npos) << line;
}
