// The field-name dialect reader on arbitrary bytes.
#include "core/track/csv_reader.h"
#include "fuzz/harness_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz_input_file(data, size, "track.csv");
    gps_track track;
    const char* err = nullptr;
    track_read_csv(path.c_str(), track, &err);
    if (err) {
        fuzz_check(fuzz_known_reader_message(err), "unexpected reader message");
        fuzz_check(track.gps_points.empty() && track.count == 0, "a failed read left samples");
    } else {
        fuzz_check(track.count > 0, "a successful read without samples");
        fuzz_check(track.count <= track.capacity && track.gps_points.size() == track.capacity,
                   "sample count beyond the array");
    }
    return 0;
}
