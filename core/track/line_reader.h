// SPDX-License-Identifier: GPL-3.0-or-later
// The block line reader of the logger readers: the file is read in blocks
// of 32768 bytes and split into lines and comma-separated fields in place,
// without copying a line or allocating per row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/platform/platform.h"

constexpr size_t csv_block_size = 32768; // bytes; a line with its line end must be shorter

struct csv_file {
    file_ptr fp; // open file, binary mode
    std::unique_ptr<char[]> block_ptr; // read block of csv_block_size bytes
    char* line = nullptr; // start of the current line, advanced field by field
    char* scan = nullptr; // scanning position inside the block
    char* block_end = nullptr; // end of the valid bytes in the block
    bool overflow = false; // a line did not fit into the block
    bool line_ended = false; // the current line had line-end bytes (false: cut by the end of the file)
};

// Opens the file (binary mode) and allocates its block.
bool csv_open(const char* path, csv_file& file, const char** err);

// The size of the open file in bytes, or 0 when it cannot be told (a pipe);
// call before the first line.
uint64_t csv_file_size(csv_file& file);

// Makes the next line available at file.line, its line-end bytes turned into
// zero bytes. CR, LF, CR LF, LF CR and CR CR LF each end one line; a
// repeated CR or LF otherwise starts a new, empty line. False at the end of the file or when a line does
// not fit into the block (overflow is set then).
bool csv_next_line(csv_file& file);

// The next comma-separated field of the current line, or nullptr.
char* csv_next_field(csv_file& file);
