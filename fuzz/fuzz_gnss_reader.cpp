// SPDX-License-Identifier: GPL-3.0-or-later
// The record dialect reader on arbitrary bytes.
#include "core/track/csv_reader.h"
#include "fuzz/harness_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_logger_reader(data, size, "track.txt", track_read_gnss);
    return 0;
}
