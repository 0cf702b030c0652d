// The gate geometry file reader, mapping lines included (a mapping to the
// input's own name exercises the nesting limit).
#include <memory>

#include "core/gate/gate_file.h"
#include "fuzz/harness_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz_input_file(data, size, "txt");
    std::unique_ptr<frame_matrix> matrix;
    std::vector<vec3> pond;
    double theta = 0;
    const char* err = nullptr;
    gate_file_read(path.c_str(), "2019-07-14.csv", &matrix, &pond, &theta, &err);
    return 0;
}
