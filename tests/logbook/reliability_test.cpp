// SPDX-License-Identifier: GPL-3.0-or-later
// What the logbook must survive: an add killed part way, two adds at once on
// overlapping folders, and paths no spreadsheet or shell likes, which the CSV
// export must carry to Python's csv module unchanged.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <random>
#include <thread>

#include "logbook/jump_record.h"
#include "tests/logbook/logbook_test_util.h"

namespace fs = std::filesystem;
using logbook_test::query;
using logbook_test::run;
using test_support::temp_dir;

namespace {

// Every row of the jumps table but its id, by path.
std::vector<std::vector<std::string>> all_rows(const std::string& db)
{
    auto rows = query(db, "SELECT * FROM jumps ORDER BY path");
    for (auto& row : rows)
        row.erase(row.begin());
    return rows;
}

// Starts skimra-logbook --db db args..., output thrown away.
pid_t spawn(const std::string& db, const std::vector<std::string>& args)
{
    std::vector<std::string> argv_text = { test_support::logbook_path(), "--db", db };
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_text)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        setenv("TZ", "UTC", 1);
        setenv("LC_ALL", "C", 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

std::vector<std::string> hex_fields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t at = 0;
    while (at <= line.size()) {
        size_t end = line.find(' ', at);
        if (end == std::string::npos)
            end = line.size();
        const std::string hex = line.substr(at, end - at);
        std::string bytes;
        for (size_t i = 0; hex != "-" && i + 1 < hex.size(); i += 2)
            bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        fields.push_back(bytes);
        at = end + 1;
    }
    return fields;
}

} // namespace

TEST(reliability, add_killed_at_a_random_point_then_run_again_equals_one_clean_run)
{
    temp_dir dir;
    const std::string season = dir.file("season");
    logbook_test::copy_example_swoops(season, 25);
    const std::vector<std::string> args = { "add", "-g", logbook_test::example_gate(), season };

    const std::string clean = dir.file("clean.sqlite");
    const auto start = std::chrono::steady_clock::now();
    auto r = run(clean, args);
    const auto clean_ms
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
              .count();
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out, "added 75, updated 0, unchanged 0, failed 0\n");

    std::random_device seed;
    std::mt19937 random(seed());
    const std::string killed = dir.file("killed.sqlite");
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int delay_ms = std::uniform_int_distribution<int>(0, static_cast<int>(clean_ms))(random);
        SCOPED_TRACE(
            "killed after " + std::to_string(delay_ms) + " ms of a " + std::to_string(clean_ms) + " ms run");
        pid_t pid = spawn(killed, args);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    r = run(killed, args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("failed 0\n"), r.out.size() - 9) << r.out;
    EXPECT_EQ(logbook_test::query_one(killed, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(all_rows(killed), all_rows(clean));
    EXPECT_EQ(run(killed, args).out, "added 0, updated 0, unchanged 75, failed 0\n");
}

TEST(reliability, two_adds_at_once_on_overlapping_folders_record_each_file_once)
{
    temp_dir dir;
    const std::string a = dir.file("a"), b = dir.file("b"), db = dir.file("season.sqlite");
    logbook_test::copy_example_swoops(a, 12);
    logbook_test::copy_example_swoops(b, 12);
    auto first = std::async(std::launch::async, [&] { return run(db, { "add", "-i", a, b }); });
    auto second = std::async(std::launch::async, [&] { return run(db, { "add", "-i", b, a }); });
    const test_support::run_result results[] = { first.get(), second.get() };
    int added = 0;
    for (const auto& r : results) {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        int n = 0, u = 0, c = 0, f = 0;
        ASSERT_EQ(
            std::sscanf(r.out.c_str(), "added %d, updated %d, unchanged %d, failed %d", &n, &u, &c, &f), 4)
            << r.out;
        EXPECT_EQ(n + u + c, 72) << r.out;
        EXPECT_EQ(f, 0);
        added += n;
    }
    EXPECT_EQ(added, 72);
    EXPECT_EQ(logbook_test::query_one(db, "SELECT count(*) FROM jumps"), "72");
    EXPECT_EQ(logbook_test::query_one(db, "SELECT count(DISTINCT path) FROM jumps"), "72");
}

TEST(reliability, csv_export_reads_back_in_python_with_the_same_values_and_paths)
{
    temp_dir dir;
    const std::string db = dir.file("season.sqlite");
    const fs::path odd = dir.file("we\"ird, 'dir'\r\nline \xfe\xff");
    logbook_test::copy_example_swoops(odd.string(), 1);
    test_support::write_file((odd / "not, a \"swoop\".csv").string(), "time,lat\n");
    ASSERT_EQ(run(db, { "add", "-g", logbook_test::example_gate(), odd.string() }).status, 0);
    const std::string csv = dir.file("season.csv");
    auto r = run(db, { "export", "--csv", csv });
    ASSERT_EQ(r.status, 0) << r.err;

    const char* script
        = "import csv, sys\n"
          "with open(sys.argv[1], newline='', encoding='utf-8', errors='surrogateescape') as f:\n"
          "    for row in csv.reader(f, strict=True):\n"
          "        print(' '.join(x.encode('utf-8', 'surrogateescape').hex() or '-' for x in row))\n";
    const std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    r = test_support::run_program(python, { "-c", script, csv });
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::vector<std::string>> rows;
    for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1)
        rows.push_back(hex_fields(r.out.substr(at, end - at)));
    ASSERT_EQ(rows.size(), 5u);
    const std::vector<std::string>& header = rows[0];
    ASSERT_GE(header.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(header.begin(), header.begin() + 7),
        (std::vector<std::string> { "path", "jump_time_utc", "course", "entry_gate_speed_mps",
            "exit_gate_speed_mps", "turn_degrees", "turn_direction" }));
    EXPECT_EQ(header[header.size() - 2], "skimra_version");
    EXPECT_EQ(header.back(), "error");

    // Oldest first; the failed file has no time and comes last.
    EXPECT_EQ(rows[1][1], "2019-07-14T17:00:00.000Z");
    EXPECT_EQ(rows[4][1], "");
    for (size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), header.size());
        const std::string path = rows[i][0];
        EXPECT_EQ(path.rfind(fs::canonical(odd).string() + "/", 0), 0u) << path;
        std::string hex_path;
        for (unsigned char ch : path) {
            char two[3];
            std::snprintf(two, sizeof two, "%02X", ch);
            hex_path += two;
        }
        for (size_t c = 2; c < header.size(); ++c) {
            if (header[c] == "jump_time_utc")
                continue;
            const bool number = !(header[c] == "course" || header[c] == "turn_direction"
                || header[c] == "skimra_version" || header[c] == "error");
            auto stored
                = query(db, "SELECT " + header[c] + " FROM jumps WHERE hex(path) = '" + hex_path + "'");
            ASSERT_EQ(stored.size(), 1u) << path;
            const std::string& value = stored[0][0];
            if (value == "NULL" || rows[i][c].empty()) {
                EXPECT_TRUE(rows[i][c].empty()) << header[c] << " of " << path;
                EXPECT_TRUE(value == "NULL") << header[c] << " of " << path;
            } else if (number) {
                EXPECT_EQ(std::strtod(rows[i][c].c_str(), nullptr), std::strtod(value.c_str(), nullptr))
                    << header[c] << " of " << path;
            } else {
                EXPECT_EQ(rows[i][c], value) << header[c] << " of " << path;
            }
        }
    }
}
