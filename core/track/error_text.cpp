// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/track/error_text.h"

#include "core/platform/platform.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <new>

namespace {

thread_local char error_buffer[256];

} // namespace

const char* errmsg(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vsnprintf(error_buffer, sizeof error_buffer, format, args);
    va_end(args);
    return error_buffer;
}

bool strbuf_new(strbuf& sb, const char** err)
{
    sb.err = err;
    sb.len = 0;
    try {
        sb.buf.assign(1024, '\0');
    } catch (const std::bad_alloc&) {
        sb.size = 0;
        *err = errmsg("realloc failed");
        return false;
    }
    sb.size = 1024;
    return true;
}

void strbuf_printf(strbuf& sb, const char* format, ...)
{
    if (sb.size == 0)
        return;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(sb.buf.data() + sb.len, sb.size - sb.len, format, args);
    va_end(args);
    if (n < 0) {
        *sb.err = errmsg("vsnprintf() failed (%d)\n", n);
        sb.buf[sb.len] = '\0';
        va_end(again);
        return;
    }
    if (static_cast<uint64_t>(n) >= sb.size - sb.len) {
        uint64_t size = sb.size;
        while (size < static_cast<uint64_t>(sb.len) + static_cast<uint64_t>(n) + 1)
            size *= 2;
        if (size > UINT32_MAX) {
            *sb.err = errmsg("realloc failed");
            sb.buf[sb.len] = '\0';
            va_end(again);
            return;
        }
        try {
            sb.buf.resize(size);
        } catch (const std::bad_alloc&) {
            *sb.err = errmsg("realloc failed");
            sb.buf[sb.len] = '\0';
            va_end(again);
            return;
        }
        sb.size = static_cast<uint32_t>(size);
        std::vsnprintf(sb.buf.data() + sb.len, sb.size - sb.len, format, again);
    }
    va_end(again);
    sb.len += static_cast<uint32_t>(n);
}

void file_copy(const char* destination, const char* source, const char** err)
{
    file_ptr in(std::fopen(source, "rb"));
    if (!in) {
        *err = errmsg("could not open %s for reading", source);
        return;
    }
    file_ptr out(std::fopen(destination, "wb"));
    if (!out) {
        *err = errmsg("could not open %s for writing", destination);
        return;
    }
    char block[65536];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, in.get())) > 0) {
        if (std::fwrite(block, 1, n, out.get()) != n) {
            *err = errmsg("failure during write to %s", destination);
            return;
        }
    }
    // A failing close loses data as surely as a failing write.
    if (std::fclose(out.release()) != 0)
        *err = errmsg("failure during write to %s", destination);
}
