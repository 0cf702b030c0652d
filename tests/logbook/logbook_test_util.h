// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the logbook tests: running the built skimra-logbook on a
// database in a temporary folder, writing swoop files, and reading the
// database back with plain SQLite.
#pragma once

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace logbook_test {

// Runs skimra-logbook --db <db> args... (TZ=UTC and the C locale unless env
// says otherwise; HOME and XDG_DATA_HOME point into the database's folder,
// so no run ever reaches the user's real files).
test_support::run_result run(
    const std::string& db, const std::vector<std::string>& args, const std::vector<std::string>& env = {});

// The bundled examples' source folder, gate walk and swoop files.
std::string examples_dir();
std::string example_gate();
std::vector<std::string> example_swoops();

// Copies the three example swoops into folder `copies` times each, named
// "<n>-<example name>", and returns the paths.
std::vector<std::string> copy_example_swoops(const std::string& folder, int copies);

// Writes a simulated swoop on the examples' course: seed, turn size and a
// start time (ms since the epoch, UTC). Returns the path.
std::string write_simulated_swoop(
    const std::string& path, uint64_t seed, double turn_degrees, int64_t start_ms);

// Every row of a query on the database file, each value as text ("NULL"
// for a null, reals with all 17 digits, blobs as their bytes).
std::vector<std::vector<std::string>> query(const std::string& db, const std::string& sql);

// The value of one row and column.
std::string query_one(const std::string& db, const std::string& sql);

// The last line of an add run.
inline std::string summary(int added, int updated, int unchanged, int failed = 0)
{
    return "added " + std::to_string(added) + ", updated " + std::to_string(updated) + ", unchanged "
        + std::to_string(unchanged) + ", failed " + std::to_string(failed) + "\n";
}

} // namespace logbook_test
