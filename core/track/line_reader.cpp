// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/track/line_reader.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/track/error_text.h"

namespace {

// Moves the partial line to the start of the block and reads behind it.
// Returns the number of bytes read; sets overflow when the line fills the
// block.
size_t csv_refill(csv_file& file, bool& full)
{
    char* block = file.block_ptr.get();
    size_t partial = static_cast<size_t>(file.scan - file.line);
    if (partial == csv_block_size) {
        file.overflow = true;
        full = true;
        return 0;
    }
    full = false;
    if (partial > 0 && file.line != block)
        std::memmove(block, file.line, partial);
    file.line = block;
    file.scan = block + partial;
    size_t n = std::fread(file.scan, 1, csv_block_size - partial, file.fp.get());
    file.block_end = file.scan + n;
    return n;
}

} // namespace

bool csv_open(const char* path, csv_file& file, const char** err)
{
    file.fp.reset(std::fopen(path, "rb"));
    if (!file.fp) {
        *err = errmsg("failed to open file: %s", path);
        return false;
    }
    file.block_ptr.reset(new (std::nothrow) char[csv_block_size]);
    if (!file.block_ptr) {
        file.fp.reset();
        *err = errmsg("failed to malloc file.block_ptr");
        return false;
    }
    file.line = file.scan = file.block_end = file.block_ptr.get();
    return true;
}

uint64_t csv_file_size(csv_file& file)
{
    std::FILE* f = file.fp.get();
    if (!platform_seek_end(f))
        return 0;
    int64_t size = platform_tell(f);
    if (!platform_seek(f, 0))
        return 0; // left at the end: the read finds nothing rather than a tail
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

bool csv_next_line(csv_file& file)
{
    file.line = file.scan;
    bool seen_lf = false;
    bool seen_cr = false;
    // A second CR right after a lone CR, kept until the next byte tells: CR
    // CR LF (a file saved again by some Windows tools) is one line end, CR CR
    // anything else is a line end and the start of an empty line.
    bool pending_cr = false;
    for (;;) {
        if (file.scan == file.block_end) {
            if (pending_cr && static_cast<size_t>(file.scan - file.line) == csv_block_size) {
                --file.scan; // no room to look further: the CR starts the next line
                break;
            }
            bool full = false;
            if (csv_refill(file, full) == 0) {
                if (full)
                    return false;
                if (pending_cr) {
                    --file.scan; // the CR ends the file's last, empty line
                    break;
                }
                // End of file: a last line without line end still counts.
                *file.scan = '\0';
                file.line_ended = seen_lf || seen_cr;
                return file.scan != file.line;
            }
        }
        char* p = file.scan;
        char* end = file.block_end;
        if (!seen_lf && !seen_cr) {
            while (p != end && *p != '\n' && *p != '\r')
                ++p;
            file.scan = p;
            if (p == end)
                continue;
        }
        char c = *p;
        if (pending_cr) {
            if (c != '\n') {
                file.scan = p - 1;
                break;
            }
            p[-1] = '\0';
            *p = '\0';
            seen_lf = true;
            pending_cr = false;
        } else if (c == '\n') {
            if (seen_lf)
                break;
            seen_lf = true;
            *p = '\0';
        } else if (c == '\r') {
            if (seen_cr && seen_lf)
                break;
            if (seen_cr)
                pending_cr = true;
            else
                *p = '\0';
            seen_cr = true;
        } else {
            break;
        }
        file.scan = p + 1;
    }
    file.line_ended = true;
    return true;
}

char* csv_next_field(csv_file& file)
{
    char* field = file.line;
    if (*field == '\0')
        return nullptr;
    char* p = field;
    while (*p != ',' && *p != '\0')
        ++p;
    if (*p == ',') {
        *p = '\0';
        ++p;
    }
    file.line = p;
    return field;
}
