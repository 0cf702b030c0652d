// SPDX-License-Identifier: GPL-3.0-or-later
// The swoop and gate container readers on arbitrary bytes. What reads is
// written again and must read back with the same fields, bit for bit.
#include <cstring>

#include "core/files/container.h"
#include "fuzz/harness_support.h"

namespace {

bool same_bits(const void* a, const void* b, size_t n)
{
    return std::memcmp(a, b, n) == 0;
}

bool same_raw_fields(const gps_point& a, const gps_point& b)
{
    return a.time == b.time && same_bits(&a.pos_wgs84, &b.pos_wgs84, sizeof a.pos_wgs84)
        && same_bits(&a.vel_ltp, &b.vel_ltp, sizeof a.vel_ltp) && same_bits(&a.hacc, &b.hacc, sizeof a.hacc)
        && same_bits(&a.vacc, &b.vacc, sizeof a.vacc) && same_bits(&a.sacc, &b.sacc, sizeof a.sacc)
        && a.gpsfix == b.gpsfix && a.numsv == b.numsv;
}

void swoop_round_trip(const gps_track& track)
{
    const std::string copy = fuzz_scratch_path("copy.skm");
    const char* err = nullptr;
    swoop_container_write(copy.c_str(), track.gps_points.data(), track.count, &err);
    fuzz_check(!err, "writing a swoop container failed");
    gps_track again;
    swoop_container_read(copy.c_str(), again, &err);
    fuzz_check(!err && again.count == track.count, "a written swoop container does not read back");
    for (uint32_t i = 0; i < track.count; ++i)
        fuzz_check(
            same_raw_fields(track.gps_points[i], again.gps_points[i]), "a sample changed in the round trip");
}

void gate_round_trip(const gate_geometry& gate)
{
    const std::string copy = fuzz_scratch_path("copy.skm");
    const char* err = nullptr;
    gate_container_write(copy.c_str(), gate.matrix, gate.theta, gate.pond, &err);
    fuzz_check(!err, "writing a gate container failed");
    gate_geometry again;
    gate_container_read(copy.c_str(), again, &err);
    fuzz_check(!err, "a written gate container does not read back");
    fuzz_check(same_bits(&gate.matrix, &again.matrix, sizeof gate.matrix)
            && same_bits(&gate.theta, &again.theta, sizeof gate.theta),
        "the matrix or theta changed in the round trip");
    // The writer stops at the first all-zero point: a pond point at (0, 0)
    // ends the pond early, as it does everywhere else.
    fuzz_check(again.pond.size() <= gate.pond.size(), "the pond grew in the round trip");
    for (size_t i = 0; i + 1 < again.pond.size(); ++i)
        fuzz_check(
            same_bits(&gate.pond[i], &again.pond[i], sizeof(vec3)), "a pond point changed in the round trip");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz_input_file(data, size, "input.skm");
    const char* err = nullptr;
    gps_track track;
    swoop_container_read(path.c_str(), track, &err);
    if (err) {
        fuzz_check(track.gps_points.empty() && track.count == 0, "a failed swoop read left samples");
    } else {
        fuzz_check(track.gps_points.size() == track.count, "swoop samples and count differ");
        swoop_round_trip(track);
    }

    err = nullptr;
    gate_geometry gate;
    gate_container_read(path.c_str(), gate, &err);
    if (err) {
        fuzz_check(gate.pond.empty(), "a failed gate read left a pond");
    } else {
        const vec3& last = gate.pond.back(); // the terminator is always there
        fuzz_check(last[0] == 0 && last[1] == 0 && last[2] == 0, "the pond lacks its terminator");
        gate_round_trip(gate);
    }
    return 0;
}
