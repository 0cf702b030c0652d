// SPDX-License-Identifier: GPL-3.0-or-later
// The few operating-system services the core needs, in one place: every
// difference between Windows and the other systems lives in this folder.
// Windows builds use _mktime64, _localtime64, _chdir and the 64-bit stream
// offsets; elsewhere the C library's mktime, localtime_r, chdir, fseeko and
// ftello.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>

// Converts a broken-down local time (tm_isdst honoured, -1 = let the system
// decide) to seconds since the epoch; -1 when it cannot be represented.
int64_t platform_mktime(std::tm* tm);

// Breaks seconds since the epoch down as local time; false on failure.
bool platform_localtime(int64_t seconds, std::tm* out);

// Changes the working directory; 0 on success.
int platform_chdir(const char* path);

// Moves a stream to a byte offset from the start of the file; false when
// the offset is beyond the 64-bit signed range or the seek fails.
bool platform_seek(std::FILE* f, uint64_t offset);

// Bytes from the start of the file to the stream's position; -1 on failure.
int64_t platform_tell(std::FILE* f);

// Moves a stream to its end; false on failure.
bool platform_seek_end(std::FILE* f);

// Tells the system that a large block of memory about to be filled is best
// backed by huge pages (far fewer page faults for tracks of tens of MB). Only
// a hint; does nothing where the system has no such advice.
void platform_advise_large_block(void* start, size_t bytes);

// An open C stream that closes itself.
struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<std::FILE, file_closer>;

// Closes a stream that was written and reports whether everything reached the
// file (no earlier write error, flush and close succeeded).
bool file_close_checked(file_ptr& file);
