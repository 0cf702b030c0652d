// SPDX-License-Identifier: GPL-3.0-or-later
// The gate survey on a fuzzed gate file (a walk in either dialect, or a
// stored gate in a container): gate_open, then what the gate run writes:
// the geometry file (read back), the container (read back) and the KML.
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

#include "core/files/container.h"
#include "core/files/kml_writer.h"
#include "core/gate/gate.h"
#include "core/gate/gate_file.h"
#include "core/geometry/geodetic.h"
#include "fuzz/harness_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz_input_file(data, size, "walk.csv");
    const char* err = nullptr;
    std::string log;
    std::unique_ptr<gate> g = gate_open(path.c_str(), &log, &err);
    if (!g) {
        fuzz_check(err != nullptr, "gate_open failed without a message");
        return 0;
    }
    fuzz_check(!err, "gate_open returned a gate and a message");
    fuzz_check(log.empty() || log.back() == '\n', "the survey log does not end its last line");
    fuzz_check(g->track_len == g->track.size(), "track length and samples differ");
    if (!g->pond.empty()) {
        const vec3& last = g->pond.back();
        fuzz_check(last[0] == 0 && last[1] == 0 && last[2] == 0, "the pond lacks its terminator");
    }

    const std::string txt = fuzz_scratch_path("walk.txt");
    gate_file_write(txt.c_str(), g->matrix, g->theta * 180 / std::numbers::pi, g->pond, &err);
    fuzz_check(!err, "writing the geometry file failed");
    std::unique_ptr<frame_matrix> matrix;
    std::vector<vec3> pond;
    double theta = 0;
    gate_file_read("matrix.txt", "swoop.csv", &matrix, &pond, &theta, &err);
    // Numbers whose fixed-point text makes a line longer than the reader's
    // 99 characters (a stored theta of 1e200) cannot come back; the rest,
    // which is what a survey gives, must.
    bool printable = std::isfinite(g->theta) && std::fabs(g->theta) < 1e6;
    for (const auto& row : g->matrix)
        for (double v : row)
            printable = printable && std::isfinite(v) && std::fabs(v) < 1e9;
    for (const vec3& p : g->pond)
        printable = printable && std::fabs(p[0]) < 1e6 && std::fabs(p[1]) < 1e6;
    if (printable)
        fuzz_check(!err && matrix, "the written geometry file does not read back");

    const std::string skm = fuzz_scratch_path("walk.skm");
    gate_container_write(skm.c_str(), g->matrix, g->theta, g->pond, &err);
    fuzz_check(!err, "writing the gate container failed");
    gate_geometry stored;
    gate_container_read(skm.c_str(), stored, &err);
    fuzz_check(!err && std::memcmp(&stored.matrix, &g->matrix, sizeof stored.matrix) == 0,
        "the gate container does not read back");

    if (!g->track.empty()) {
        vec3 markers[2];
        gate_markers(g->matrix, &markers[0], &markers[1]);
        const std::string kml = fuzz_scratch_path("walk.kml");
        kml_write(kml.c_str(), g->track.data(), g->track_len, markers, &err);
        fuzz_check(!err, "writing the KML failed");
    }
    return 0;
}
