// The field-name dialect reader on arbitrary bytes.
#include "core/track/csv_reader.h"
#include "fuzz/harness_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz_input_file(data, size, "csv");
    gps_track track;
    const char* err = nullptr;
    track_read_csv(path.c_str(), track, &err);
    return 0;
}
