// Fuzz inputs reach the readers through a real file, as a user's would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Writes the input to a per-process scratch file with the given extension
// and returns its path.
const std::string& fuzz_input_file(const uint8_t* data, size_t size, const char* ext);
