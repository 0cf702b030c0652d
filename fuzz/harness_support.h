// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz inputs reach the readers through a real file, as a user's would.
//
// Each harness process works in a scratch folder of its own
// ($TMPDIR/skimra-fuzz-<pid>, /dev/shm in scripts/fuzz), which is also its
// working directory, so that "matrix.txt", "coord.txt" and mapping lines of
// geometry files resolve there. Standard output is sent to /dev/null: the
// readers print their unknown-field warnings on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/track/gps_point.h"

// Writes the input to `name` in the scratch folder and returns the full path.
const std::string& fuzz_input_file(const uint8_t* data, size_t size, const char* name);

// Full path of another file in the scratch folder.
std::string fuzz_scratch_path(const char* name);

// Stops the run with a message when a property of the result does not hold;
// libFuzzer saves the input as a crash.
void fuzz_check(bool condition, const char* what);

// True when err is one of the messages the track readers and loaders may
// give (compared up to the first "%s" of the message's format).
bool fuzz_known_reader_message(const char* err);

// Runs a logger reader on the input (written as `name`) and checks what any
// reader promises: a known message and no samples on failure, samples within
// the array on success.
void fuzz_logger_reader(const uint8_t* data, size_t size, const char* name,
    void (*reader)(const char*, gps_track&, const char**));
