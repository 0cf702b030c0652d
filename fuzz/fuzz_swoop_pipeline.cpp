// A whole swoop analysis on a fuzzed track: load, analyse without a gate,
// report in both unit systems.
#include "core/swoop/swoop.h"
#include "core/swoop/swoop_stages.h"
#include "fuzz/harness_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz_input_file(data, size, "csv");
    const char* err = nullptr;
    std::unique_ptr<swoop> s = swoop_new(path.c_str(), &err);
    if (!s)
        return 0;
    swoop_analyse(*s, 2, nullptr, 0, &err);
    if (err)
        return 0;
    swoop_report(*s, false, &err);
    err = nullptr;
    swoop_report(*s, true, &err);
    return 0;
}
