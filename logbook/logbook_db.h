// SPDX-License-Identifier: GPL-3.0-or-later
// The logbook database: one SQLite file per pilot. Opening checks that the
// file is a logbook this program can read before anything writes to it, and
// brings an older schema forward; writers use write-ahead logging, a busy
// timeout and immediate transactions, so two runs and a reader can work on
// one file at the same time.
//
// Errors: functions that can fail take `std::string& err` last and set it to
// one lower-case message (the messages name paths, which the core's 256-byte
// error buffer would cut).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>

struct sqlite_db_release {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct sqlite_stmt_release {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using sqlite_db_ptr = std::unique_ptr<sqlite3, sqlite_db_release>;
using sqlite_stmt_ptr = std::unique_ptr<sqlite3_stmt, sqlite_stmt_release>;

// The schema version this program writes. Each release that changes the
// schema appends a migration step and raises this number.
constexpr int logbook_schema_version = 3;

// Marks the file as a Skimra logbook (SQLite's application id, "SkLb").
constexpr int32_t logbook_application_id = 0x536b4c62;

// ms the busy handler waits for another run's transaction before giving up.
constexpr int logbook_busy_timeout = 120000;

enum class logbook_access {
    read, // the logbook must exist; the connection is read-only
    write, // the logbook is created when missing and migrated when older
};

struct logbook {
    sqlite_db_ptr db;
    std::string path; // as given
};

// g_get_user_data_dir()/skimra/logbook.sqlite
std::string logbook_default_path();

// Opens the logbook at path. A file that is not a Skimra logbook, is corrupt
// or has a newer schema is refused untouched. For writing, a missing file is
// created (its folder must exist) and an older schema is migrated inside an
// immediate transaction. For reading, an older schema is migrated first by a
// write connection and then opened read-only.
bool logbook_open(logbook& lb, const std::string& path, logbook_access access, std::string& err);

// Statements. A failure sets err to SQLite's message.
sqlite_stmt_ptr logbook_prepare(const logbook& lb, const char* sql, std::string& err);
bool logbook_exec(const logbook& lb, const char* sql, std::string& err);
// Steps a statement that returns no rows, then resets it.
bool logbook_step_done(const logbook& lb, sqlite3_stmt* stmt, std::string& err);

// A BEGIN IMMEDIATE transaction, rolled back when it goes away uncommitted.
class write_transaction {
public:
    write_transaction(const logbook& lb, std::string& err);
    ~write_transaction();
    write_transaction(const write_transaction&) = delete;
    write_transaction& operator=(const write_transaction&) = delete;
    bool begun() const { return begun_; }
    bool commit(std::string& err);

private:
    const logbook& lb_;
    bool begun_ = false;
};
