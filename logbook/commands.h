// SPDX-License-Identifier: GPL-3.0-or-later
// The subcommands of skimra-logbook. Each opens the logbook itself, prints
// its output (stdout) and messages (stderr, "skimra-logbook: ...") and
// returns the program's exit status.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/geometry/units.h"
#include "logbook/jump_store.h"

constexpr int exit_ok = 0;
constexpr int exit_failure = 1; // anything but a usage error
constexpr int exit_usage = 2;

struct add_options {
    std::string gate_file; // -g: gate walk or gate container; empty with -i
    bool own_frame = false; // -i: each swoop in a frame of its own
    bool baro = false; // -b: heights from the sensor file beside each swoop
    bool wind = false; // -w: estimate the wind and the entry-gate airspeed too
    std::vector<std::string> paths; // files and folders
};

struct list_options {
    std::optional<int64_t> since_utc; // --since: ms since the epoch of a UTC midnight
    std::optional<std::string> course; // --course: course name
    display_units units; // -m: metres and km/h, else feet and mph
};

// Analyses the files against one course and records them; ends with the line
// "added N, updated N, unchanged N, failed N".
int logbook_add(const std::string& db_path, const add_options& opts);

// The table of jumps, newest first.
int logbook_list(const std::string& db_path, const list_options& opts);

// The best of each headline result, with the jump it came from.
int logbook_best(const std::string& db_path, const display_units& units);

// Every row as CSV (RFC 4180) to csv_path, or to stdout for "-".
int logbook_export_csv(const std::string& db_path, const std::string& csv_path);

// The progression document: four plots on one PDF page.
int logbook_plot(const std::string& db_path, const std::string& pdf_path, const display_units& units);

// The whole command line: [--db PATH] SUBCOMMAND ...
int logbook_main(int argc, char** argv);

// Prints "skimra-logbook: <message>" on stderr.
void print_error(const std::string& message);

// Opens the logbook for reading and reads the rows that pass the filter,
// newest first; false (with the message printed) when that fails.
bool load_jumps(const std::string& db_path, const jump_filter& filter, std::vector<jump_record>& rows);
