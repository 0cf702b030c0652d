// SPDX-License-Identifier: GPL-3.0-or-later
// The gate geometry file reader, mapping lines included. The input is
// "matrix.txt" in the working directory, so a mapping to "matrix.txt" (or a
// chain through "other.txt", which is written with the same bytes) exercises
// the nesting limit. What reads is written again and must read back.
#include <cmath>
#include <memory>

#include "core/gate/gate_file.h"
#include "fuzz/harness_support.h"

namespace {

void check_result(const std::unique_ptr<frame_matrix>& matrix, const std::vector<vec3>& pond, const char* err)
{
    if (err || !matrix) {
        fuzz_check(pond.empty(), "a pond without a matrix");
        return;
    }
    if (!pond.empty()) {
        const vec3& last = pond.back();
        fuzz_check(last[0] == 0 && last[1] == 0 && last[2] == 0, "the pond lacks its terminator");
        for (const vec3& p : pond)
            fuzz_check(p[2] == 0, "a pond point off the ground");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz_input_file(data, size, "matrix.txt");
    fuzz_input_file(data, size, "other.txt");
    std::unique_ptr<frame_matrix> matrix;
    std::vector<vec3> pond;
    double theta = 0; // degrees
    const char* err = nullptr;
    gate_file_read(path.c_str(), "2019-07-14.csv", &matrix, &pond, &theta, &err);
    check_result(matrix, pond, err);
    if (err || !matrix)
        return 0;

    // Written again (this also copies over "matrix.txt"), the file reads back.
    const std::string written = fuzz_scratch_path("written.txt");
    gate_file_write(written.c_str(), *matrix, theta, pond, &err);
    fuzz_check(!err, "writing the geometry file failed");
    std::unique_ptr<frame_matrix> again;
    std::vector<vec3> again_pond;
    double again_theta = 0;
    gate_file_read(written.c_str(), "2019-07-14.csv", &again, &again_pond, &again_theta, &err);
    // Numbers whose fixed-point text makes a line longer than the reader's
    // 99 characters (1e300 prints 300 digits) cannot come back; the rest
    // must.
    bool printable = std::isfinite(theta) && std::fabs(theta) < 1e9;
    for (const auto& row : *matrix)
        for (double v : row)
            printable = printable && std::isfinite(v) && std::fabs(v) < 1e9;
    for (const vec3& p : pond)
        printable = printable && std::fabs(p[0]) < 1e6 && std::fabs(p[1]) < 1e6;
    if (printable)
        fuzz_check(!err && again, "a written geometry file does not read back");
    return 0;
}
