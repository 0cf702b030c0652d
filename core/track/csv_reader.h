// SPDX-License-Identifier: GPL-3.0-or-later
// The logger's comma-separated text tracks, in both dialects:
//  - field-name dialect: line 1 names the columns, line 2 gives their units,
//    every further line is one sample;
//  - record dialect: every line starts with a `$` tag; "$COL,GNSS," names the
//    columns and "$GNSS," lines carry the samples.
// Both share one block line reader (32768-byte blocks, split in place), one
// header parser and one row parser.
#pragma once

#include <cstdint>
#include <ctime>

#include "core/track/gps_point.h"

// Reads a field-name dialect file into an empty track. On failure *err holds
// the message and the track is left empty.
void track_read_csv(const char* path, gps_track& track, const char** err);

// Reads a record dialect file into an empty track. On failure *err holds the
// message and the track is left empty.
void track_read_gnss(const char* path, gps_track& track, const char** err);

// As above; column_line_seen tells whether the file's "$COL,GNSS," column
// line was read (also when the read failed after it).
void track_read_gnss(const char* path, gps_track& track, bool& column_line_seen, const char** err);

// Converts seconds of the logger's calendar reading to seconds since the
// epoch as platform_mktime() would for the same fields with tm_isdst = -1,
// calling it once per distinct minute. One cache per read.
struct logger_minute_cache {
    bool valid = false;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0; // calendar fields of the cached minute
    int64_t minute_start = 0; // s since the epoch of second 0 of that minute
};

// Parses a logger time field ("2019-07-14T16:02:31.400Z", anything after the
// Z ignored) into ms (the UTC reading taken as local time). A negative
// sub-second part, ".-" and 1 to 3 digits of milliseconds ("20.-002Z"), is
// that many ms before the whole second. False when the field has another
// form.
bool csv_parse_time(const char* text, logger_minute_cache& cache, int64_t* ms);
