// SPDX-License-Identifier: GPL-3.0-or-later
// The logbook file itself: what a new one holds, and files that are not a
// logbook this program may write (another program's database, a newer
// schema, a corrupt logbook, not a database at all), which every subcommand
// refuses without changing a byte.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>

#include "logbook/logbook_db.h"
#include "tests/logbook/logbook_test_util.h"

using logbook_test::query_one;
using logbook_test::run;
using test_support::read_file;
using test_support::temp_dir;

namespace {

void exec(const std::string& db, const std::string& sql)
{
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> conn(raw, sqlite3_close_v2);
    ASSERT_EQ(sqlite3_exec(conn.get(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(conn.get());
}

// Every subcommand fails with a message containing `expected` and leaves the file as it was.
void expect_refused(const temp_dir& dir, const std::string& db, const std::string& expected)
{
    const std::string before = read_file(db);
    const std::vector<std::vector<std::string>> commands = {
        { "add", "-i", logbook_test::example_swoops()[0] },
        { "list" },
        { "best" },
        { "export", "--csv", dir.file("out.csv") },
        { "plot", dir.file("out.pdf") },
    };
    for (const auto& args : commands) {
        auto r = run(db, args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_NE(r.err.find(expected), std::string::npos) << args[0] << ": " << r.err;
        EXPECT_EQ(read_file(db), before) << args[0] << " changed the file";
    }
}

} // namespace

TEST(database, new_logbook_is_marked_versioned_and_write_ahead_logged)
{
    temp_dir dir;
    const std::string db = dir.file("season.sqlite");
    ASSERT_EQ(run(db, { "add", "-i", logbook_test::example_swoops()[0] }).status, 0);
    EXPECT_EQ(query_one(db, "PRAGMA application_id"), std::to_string(logbook_application_id));
    EXPECT_EQ(query_one(db, "SELECT version FROM schema_version"), std::to_string(logbook_schema_version));
    EXPECT_EQ(query_one(db, "PRAGMA journal_mode"), "wal");

    // An empty file given as the logbook becomes one.
    const std::string empty = dir.file("empty.sqlite");
    test_support::write_file(empty, "");
    auto r = run(empty, { "list" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(query_one(empty, "SELECT version FROM schema_version"), std::to_string(logbook_schema_version));
}

TEST(database, foreign_newer_corrupt_or_non_database_files_are_refused_untouched)
{
    temp_dir dir;
    {
        const std::string db = dir.file("notes.sqlite");
        test_support::write_file(db, "not a database, just some notes\n");
        expect_refused(dir, db, "not a Skimra logbook");
    }
    {
        const std::string db = dir.file("other.sqlite");
        exec(db, "CREATE TABLE jumps (path TEXT); INSERT INTO jumps VALUES ('x')");
        expect_refused(dir, db, "not a Skimra logbook");
    }
    {
        const std::string db = dir.file("newer.sqlite");
        ASSERT_EQ(run(db, { "add", "-i", logbook_test::example_swoops()[0] }).status, 0);
        exec(db, "UPDATE schema_version SET version = 99");
        expect_refused(dir, db, "newer skimra-logbook");
    }
    {
        // A logbook with the pages after the first two overwritten.
        const std::string db = dir.file("corrupt.sqlite");
        ASSERT_EQ(run(db, { "add", "-i", logbook_test::example_swoops()[0] }).status, 0);
        std::string bytes = read_file(db);
        ASSERT_GT(bytes.size(), 3 * 4096u);
        for (size_t i = 2 * 4096; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(0xa5);
        test_support::write_file(db, bytes);
        expect_refused(dir, db, "corrupt");
    }
}
