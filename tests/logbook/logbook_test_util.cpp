// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/logbook/logbook_test_util.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "tools/track_sim/track_sim.h"

namespace fs = std::filesystem;

namespace logbook_test {

test_support::run_result run(
    const std::string& db, const std::vector<std::string>& args, const std::vector<std::string>& env)
{
    const std::string home = fs::path(db).parent_path().string();
    std::vector<std::string> full_env = { "HOME=" + home, "XDG_DATA_HOME=" + home + "/data" };
    full_env.insert(full_env.end(), env.begin(), env.end());
    std::vector<std::string> full_args = { "--db", db };
    full_args.insert(full_args.end(), args.begin(), args.end());
    return test_support::run_program(test_support::logbook_path(), full_args, home, full_env);
}

std::string examples_dir()
{
    return test_support::source_dir() + "/examples";
}

std::string example_gate()
{
    return examples_dir() + "/gate-walk.csv";
}

std::vector<std::string> example_swoops()
{
    return { examples_dir() + "/swoop-270-right.csv", examples_dir() + "/swoop-450-left.csv",
        examples_dir() + "/swoop-carve.csv" };
}

std::vector<std::string> copy_example_swoops(const std::string& folder, int copies)
{
    std::vector<std::string> paths;
    fs::create_directories(folder);
    for (int n = 0; n < copies; ++n)
        for (const std::string& example : example_swoops()) {
            const fs::path to
                = fs::path(folder) / (std::to_string(n) + "-" + fs::path(example).filename().string());
            fs::copy_file(example, to, fs::copy_options::overwrite_existing);
            paths.push_back(to.string());
        }
    return paths;
}

std::string write_simulated_swoop(
    const std::string& path, uint64_t seed, double turn_degrees, int64_t start_ms)
{
    static const sim_walk walk = generate_walk(walk_options {});
    swoop_options o = example_swoop_base(walk_options {}.course, walk.truth.theta);
    o.seed = seed;
    o.turn_degrees = turn_degrees;
    o.start_time = start_ms;
    const char* err = nullptr;
    if (!write_track(path.c_str(), generate_swoop(o).samples, sim_dialect::field_names, &err))
        throw std::runtime_error(err);
    return path;
}

std::vector<std::vector<std::string>> query(const std::string& db, const std::string& sql)
{
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(db.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> conn(raw, sqlite3_close_v2);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot open " + db);
    sqlite3_stmt* stmt_raw = nullptr;
    if (sqlite3_prepare_v2(conn.get(), sql.c_str(), -1, &stmt_raw, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(conn.get()));
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(stmt_raw, sqlite3_finalize);
    std::vector<std::vector<std::string>> rows;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int c = 0; c < sqlite3_column_count(stmt.get()); ++c) {
            const int type = sqlite3_column_type(stmt.get(), c);
            if (type == SQLITE_NULL) {
                row.push_back("NULL");
                continue;
            }
            if (type == SQLITE_FLOAT) {
                char text[64]; // every digit a double needs to read back the same
                std::snprintf(text, sizeof text, "%.17g", sqlite3_column_double(stmt.get(), c));
                row.push_back(text);
                continue;
            }
            const void* bytes = sqlite3_column_blob(stmt.get(), c);
            row.emplace_back(
                static_cast<const char*>(bytes), static_cast<size_t>(sqlite3_column_bytes(stmt.get(), c)));
        }
        rows.push_back(row);
    }
    if (rc != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(conn.get()));
    return rows;
}

std::string query_one(const std::string& db, const std::string& sql)
{
    auto rows = query(db, sql);
    if (rows.empty() || rows.front().empty())
        throw std::runtime_error("no row for " + sql);
    return rows.front().front();
}

} // namespace logbook_test
