// The swoop and gate container readers on arbitrary bytes.
#include "core/files/container.h"
#include "fuzz/harness_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz_input_file(data, size, "skm");
    const char* err = nullptr;
    gps_track track;
    swoop_container_read(path.c_str(), track, &err);
    err = nullptr;
    gate_data gate;
    gate_container_read(path.c_str(), gate, &err);
    return 0;
}
