// SPDX-License-Identifier: GPL-3.0-or-later
// The field-name dialect reader on arbitrary bytes.
#include "core/track/csv_reader.h"
#include "fuzz/harness_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz_logger_reader(data, size, "track.csv", track_read_csv);
    return 0;
}
