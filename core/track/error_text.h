// SPDX-License-Identifier: GPL-3.0-or-later
// The core's error convention and its text helpers.
//
// Every fallible core operation takes `const char** err` as its last
// argument. The caller sets *err to nullptr first; on failure the operation
// points it at a message made by errmsg() and returns. Messages are lower
// case, without prefix or line end, and never need freeing: they live in one
// shared 256-byte buffer (one per thread) until the next message is made.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Formats a message into the shared error buffer (at most 255 characters,
// longer ones are cut) and returns the buffer.
const char* errmsg(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A growing text. Starts with 1024 bytes; when an append does not fit, the
// size doubles until it does. Failures while appending are reported through
// err, and the earlier text stays intact.
struct strbuf {
    std::vector<char> buf; // the text, always zero-terminated; buf.size() == size
    uint32_t len = 0; // characters in use
    uint32_t size = 0; // bytes allocated, never 0 once created
    const char** err = nullptr; // error out-parameter of the operation that owns the buffer
};

// Allocates the first 1024 bytes and points err at the owner's error
// out-parameter. Returns false (with "realloc failed" in *err) when the
// memory is not there.
bool strbuf_new(strbuf& sb, const char** err);

// Appends formatted text.
void strbuf_printf(strbuf& sb, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The text so far.
inline std::string strbuf_text(const strbuf& sb)
{
    return std::string(sb.buf.data(), sb.len);
}

// Copies a file byte for byte.
void file_copy(const char* destination, const char* source, const char** err);
