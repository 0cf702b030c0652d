// SPDX-License-Identifier: GPL-3.0-or-later
// Opening, checking and migrating the logbook database.

#include "logbook/logbook_db.h"

#include <glib.h>

#include <filesystem>
#include <system_error>

namespace {

// The migration steps: step i takes the schema from version i to i + 1.
// A released step never changes; a later version appends one.
const char* const migration_steps[logbook_schema_version] = {
    // 0 -> 1: the first schema. One row per swoop file; numbers in SI units,
    // NULL where the analysis has no value.
    "CREATE TABLE schema_version (version INTEGER NOT NULL);"
    "INSERT INTO schema_version (version) VALUES (0);"
    "CREATE TABLE jumps ("
    " id INTEGER PRIMARY KEY,"
    " path BLOB NOT NULL UNIQUE," // absolute, symbolic links resolved, raw bytes
    " file_size INTEGER NOT NULL," // bytes
    " file_mtime INTEGER NOT NULL," // the file system's modification stamp
    " content_sha256 TEXT," // hex, NULL when the file could not be read
    " course TEXT NOT NULL," // gate file name or 'own frame'
    " course_key TEXT NOT NULL," // 'own frame' or 'gate sha256:<hex of the gate file>'
    " skimra_version TEXT NOT NULL," // version of the analysis
    " jump_time_utc_ms INTEGER," // first sample, ms since the epoch, UTC
    " error TEXT," // why the analysis failed, NULL when it succeeded
    " turn_direction TEXT," // 'right' or 'left'
    " entry_gate_speed_mps REAL, exit_gate_speed_mps REAL, turn_degrees REAL,"
    " turn_time_s REAL, rollout_time_s REAL, time_aloft_s REAL, speed_course_time_s REAL,"
    " max_vertical_speed_mps REAL, max_total_speed_mps REAL, max_horizontal_speed_mps REAL,"
    " rollout_vertical_speed_mps REAL, stop_distance_m REAL, touchdown_distance_m REAL,"
    " touchdown_speed_mps REAL, exit_height_m REAL,"
    " turn_start_height_m REAL, turn_start_back_m REAL, turn_start_offset_m REAL,"
    " max_vertical_height_m REAL, max_vertical_back_m REAL, max_vertical_offset_m REAL,"
    " rollout_start_height_m REAL, rollout_start_back_m REAL, rollout_start_offset_m REAL,"
    " rollout_end_height_m REAL, rollout_end_back_m REAL, rollout_end_offset_m REAL,"
    " max_total_height_m REAL, max_total_back_m REAL, max_total_offset_m REAL,"
    " max_horizontal_height_m REAL, max_horizontal_back_m REAL, max_horizontal_offset_m REAL);"
    "CREATE INDEX jumps_by_time ON jumps (jump_time_utc_ms);",
    // 1 -> 2: heights from the logger's barometer (add -b). Rows recorded
    // before keep NULL: GPS heights, source not recorded.
    "ALTER TABLE jumps ADD COLUMN height_source TEXT;" // 'GPS', 'barometer and GPS', 'GPS (no sensor file)'
    "ALTER TABLE jumps ADD COLUMN sensor_sha256 TEXT;" // hex of the sensor file fused, NULL = none
    "ALTER TABLE jumps ADD COLUMN entry_gate_height_above_stop_m REAL;"
    "ALTER TABLE jumps ADD COLUMN entry_gate_height_sigma_m REAL;"
    "ALTER TABLE jumps ADD COLUMN exit_gate_height_above_stop_m REAL;"
    "ALTER TABLE jumps ADD COLUMN exit_gate_height_sigma_m REAL;",
    // 2 -> 3: the wind estimated under canopy and the entry-gate airspeed
    // (add -w). Rows recorded before hold no wind.
    "ALTER TABLE jumps ADD COLUMN with_wind INTEGER NOT NULL DEFAULT 0;" // 1 when analysed with -w
    "ALTER TABLE jumps ADD COLUMN wind_speed_mps REAL;"
    "ALTER TABLE jumps ADD COLUMN wind_from_deg REAL;" // degrees true the wind blows from
    "ALTER TABLE jumps ADD COLUMN wind_sigma_mps REAL;" // 1-sigma of the wind speed
    "ALTER TABLE jumps ADD COLUMN entry_gate_airspeed_mps REAL;",
};

std::string sqlite_message(sqlite3* db)
{
    return db ? sqlite3_errmsg(db) : "out of memory";
}

// The message for a failure while reading what the file is.
std::string identify_error(sqlite3* db, int rc, const std::string& path)
{
    switch (rc & 0xff) {
    case SQLITE_NOTADB:
        return "not a Skimra logbook: " + path + " (not an SQLite database)";
    case SQLITE_CORRUPT:
        return "the logbook is corrupt: " + path + " (" + sqlite_message(db) + ")";
    default:
        return "cannot read the logbook " + path + ": " + sqlite_message(db);
    }
}

// One integer from a query that returns one row.
bool query_int(sqlite3* db, const char* sql, int64_t& value, int& rc)
{
    sqlite3_stmt* raw = nullptr;
    rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    sqlite_stmt_ptr stmt(raw);
    if (rc != SQLITE_OK)
        return false;
    rc = sqlite3_step(stmt.get());
    if (rc != SQLITE_ROW)
        return false;
    value = sqlite3_column_int64(stmt.get(), 0);
    rc = SQLITE_OK;
    return true;
}

// What the file is: 0 for an empty database (a new logbook), else the
// schema version of a sound Skimra logbook that this program can read.
bool identify(sqlite3* db, const std::string& path, int& version, std::string& err)
{
    int rc = SQLITE_OK;
    int64_t application_id = 0, tables = 0, stored = 0;
    if (!query_int(db, "PRAGMA application_id", application_id, rc)
        || !query_int(db, "SELECT count(*) FROM sqlite_master", tables, rc)) {
        err = identify_error(db, rc, path);
        return false;
    }
    if (application_id == 0 && tables == 0) {
        version = 0;
        return true;
    }
    if (application_id != logbook_application_id) {
        err = "not a Skimra logbook: " + path;
        return false;
    }
    if (!query_int(db, "SELECT version FROM schema_version", stored, rc)) {
        err = rc == SQLITE_OK || (rc & 0xff) == SQLITE_ERROR
            ? "the logbook is corrupt: " + path + " (no schema version)"
            : identify_error(db, rc, path);
        return false;
    }
    if (stored > logbook_schema_version) {
        err = "the logbook " + path + " was written by a newer skimra-logbook (schema version "
            + std::to_string(stored) + ", this one reads up to " + std::to_string(logbook_schema_version)
            + ")";
        return false;
    }
    if (stored < 1) {
        err = "the logbook is corrupt: " + path + " (schema version " + std::to_string(stored) + ")";
        return false;
    }
    sqlite3_stmt* raw = nullptr;
    rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &raw, nullptr);
    sqlite_stmt_ptr check(raw);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(check.get());
    if (rc != SQLITE_ROW) {
        err = identify_error(db, rc, path);
        return false;
    }
    const char* verdict = reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0));
    if (!verdict || std::string(verdict) != "ok") {
        err = "the logbook is corrupt: " + path + " (" + (verdict ? verdict : "no verdict") + ")";
        return false;
    }
    version = static_cast<int>(stored);
    return true;
}

sqlite_db_ptr open_connection(const std::string& path, int flags, std::string& err)
{
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    sqlite_db_ptr db(raw);
    if (rc != SQLITE_OK) {
        err = "cannot open the logbook " + path + ": " + sqlite_message(db.get());
        return nullptr;
    }
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), logbook_busy_timeout);
    return db;
}

// Brings the schema from `from` to the current version, inside the caller's transaction.
bool migrate(const logbook& lb, int from, std::string& err)
{
    for (int step = from; step < logbook_schema_version; ++step) {
        if (!logbook_exec(lb, migration_steps[step], err))
            return false;
        sqlite_stmt_ptr set = logbook_prepare(lb, "UPDATE schema_version SET version = ?", err);
        if (!set)
            return false;
        sqlite3_bind_int(set.get(), 1, step + 1);
        if (!logbook_step_done(lb, set.get(), err))
            return false;
    }
    const std::string mark = "PRAGMA application_id = " + std::to_string(logbook_application_id);
    return logbook_exec(lb, mark.c_str(), err);
}

bool open_for_writing(logbook& lb, const std::string& path, std::string& err)
{
    lb.db = open_connection(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, err);
    if (!lb.db)
        return false;
    // Switching to write-ahead logging writes the file, so it comes only
    // after the file has been found to be a logbook, empty or missing.
    {
        sqlite_stmt_ptr mode = logbook_prepare(lb, "PRAGMA journal_mode = WAL", err);
        if (!mode)
            return false;
        if (sqlite3_step(mode.get()) != SQLITE_ROW) {
            err = "cannot open the logbook " + path + ": " + sqlite_message(lb.db.get());
            return false;
        }
    }
    // Committed work survives a crash of the program; a power cut may lose
    // the last transactions but never leaves the file inconsistent.
    if (!logbook_exec(lb, "PRAGMA synchronous = NORMAL", err))
        return false;
    write_transaction txn(lb, err);
    if (!txn.begun())
        return false;
    // Another run may have created or migrated the file in the meantime.
    int version = 0;
    if (!identify(lb.db.get(), path, version, err))
        return false;
    if (version < logbook_schema_version && !migrate(lb, version, err))
        return false;
    return txn.commit(err);
}

} // namespace

std::string logbook_default_path()
{
    return (std::filesystem::path(g_get_user_data_dir()) / "skimra" / "logbook.sqlite").string();
}

bool logbook_open(logbook& lb, const std::string& path, logbook_access access, std::string& err)
{
    lb.db.reset();
    lb.path = path;
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    if (!exists && access == logbook_access::read) {
        err = "no logbook at " + path + " (skimra-logbook add starts one)";
        return false;
    }
    if (exists) {
        lb.db = open_connection(path, SQLITE_OPEN_READONLY, err);
        if (!lb.db)
            return false;
        // One snapshot for all the questions: another run may be creating
        // the logbook meanwhile, and a header read before its commit with
        // tables read after it would look like another program's file.
        int version = 0;
        sqlite3_exec(lb.db.get(), "BEGIN", nullptr, nullptr, nullptr);
        const bool known = identify(lb.db.get(), path, version, err);
        sqlite3_exec(lb.db.get(), "COMMIT", nullptr, nullptr, nullptr);
        if (!known) {
            lb.db.reset();
            return false;
        }
        if (access == logbook_access::read && version == logbook_schema_version)
            return true;
        lb.db.reset();
    }
    if (!open_for_writing(lb, path, err)) {
        lb.db.reset();
        return false;
    }
    if (access == logbook_access::read)
        return logbook_open(lb, path, access, err);
    return true;
}

sqlite_stmt_ptr logbook_prepare(const logbook& lb, const char* sql, std::string& err)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(lb.db.get(), sql, -1, &raw, nullptr) != SQLITE_OK) {
        err = sqlite_message(lb.db.get());
        return nullptr;
    }
    return sqlite_stmt_ptr(raw);
}

bool logbook_exec(const logbook& lb, const char* sql, std::string& err)
{
    if (sqlite3_exec(lb.db.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        err = sqlite_message(lb.db.get());
        return false;
    }
    return true;
}

bool logbook_step_done(const logbook& lb, sqlite3_stmt* stmt, std::string& err)
{
    int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE) {
        err = sqlite_message(lb.db.get());
        return false;
    }
    return true;
}

write_transaction::write_transaction(const logbook& lb, std::string& err)
    : lb_(lb)
{
    begun_ = logbook_exec(lb_, "BEGIN IMMEDIATE", err);
}

write_transaction::~write_transaction()
{
    if (begun_)
        sqlite3_exec(lb_.db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

bool write_transaction::commit(std::string& err)
{
    if (!begun_)
        return false;
    if (!logbook_exec(lb_, "COMMIT", err))
        return false;
    begun_ = false;
    return true;
}
