// SPDX-License-Identifier: GPL-3.0-or-later
// The jumps table: looking a file up, writing its row, reading rows back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "logbook/jump_record.h"
#include "logbook/logbook_db.h"

// What decides whether a file has to be read or analysed again.
struct stored_file {
    int64_t file_size = 0; // bytes
    int64_t file_mtime = 0; // the file system's modification stamp
    std::string content_sha256; // hex, empty when the file could not be read
    std::string course_key;
    std::string analysis_version;
    std::optional<std::string> height_source; // none: recorded before heights had a source (GPS)
    std::string sensor_sha256; // the sensor file fused, empty = none
    bool with_wind = false; // the row holds the wind (add -w)
};

// The bookkeeping of the row for path, if there is one.
std::optional<stored_file> jump_store_find(const logbook& lb, const std::string& path, std::string& err);

// Inserts the row, or replaces every field of the row with the same path.
bool jump_store_put(const logbook& lb, const jump_record& jump, std::string& err);

// Records a new size and modification stamp for a file whose content is unchanged.
bool jump_store_touch(
    const logbook& lb, const std::string& path, int64_t file_size, int64_t file_mtime, std::string& err);

// Which rows jump_store_rows returns.
struct jump_filter {
    std::optional<int64_t>
        since_utc; // ms since the epoch: jumps at or after it (rows without a time drop out)
    std::optional<std::string> course; // course name as stored
};

// The rows that pass the filter, newest jump first; rows without a time
// (files that could not be read) come last, by path.
std::vector<jump_record> jump_store_rows(const logbook& lb, const jump_filter& filter, std::string& err);
