// SPDX-License-Identifier: GPL-3.0-or-later
// Barometric heights against the simulator's truth: 100 jumps with fixed
// seeds, read back from their TRACK.CSV and SENSOR.CSV, the entry-gate
// height above the stop fused and from GPS alone.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

#include "core/sensor/baro_fusion.h"
#include "core/sensor/sensor_file.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/sensor_sim.h"
#include "tools/track_sim/track_sim.h"

namespace {

// Height at a time between samples k and k + 1 (ms) from per-sample values.
double between(const std::vector<double>& h, const swoop& s, uint32_t k, int64_t t)
{
    const double t0 = static_cast<double>(s.track[k].time), t1 = static_cast<double>(s.track[k + 1].time);
    const double w = std::clamp((static_cast<double>(t) - t0) / (t1 - t0), 0.0, 1.0);
    return (1 - w) * h[k] + w * h[k + 1];
}

// The i-th jump of the set: turns of 90 to 630 degrees either way, entry
// speeds of 25 to 32 m/s, descents of 20 to 30 m/s, 5 and 10 Hz.
swoop_options jump(uint64_t i)
{
    static constexpr double turns[] = { 90, 270, 450, 630 };
    static constexpr double heights[] = { 110, 170, 255, 330 };
    swoop_options o = example_swoop_base(sim_course {}, 0.0);
    o.seed = 1000 + i;
    o.turn_degrees = turns[i % 4];
    o.turn_height = heights[i % 4];
    o.right_turn = (i / 4) % 2 == 0;
    o.rate = (i / 2) % 2 == 0 ? 5.0 : 10.0;
    o.entry_speed = 25.0 + static_cast<double>((i * 7) % 8);
    o.peak_descent = 20.0 + static_cast<double>((i * 3) % 11);
    o.entry_y = static_cast<double>(static_cast<int>(i % 7) - 3);
    o.record_motion = true;
    return o;
}

struct outcome {
    double fused_error = 0; // m
    double gps_error = 0; // m
    double sigma = 0; // m
};

outcome fly(uint64_t i, const test_support::temp_dir& dir)
{
    outcome r;
    swoop_options o = jump(i);
    sim_swoop sim = generate_swoop(o);
    sensor_options so;
    so.seed = o.seed;
    sim_sensor sensor = simulate_swoop_sensor(sim, o, so);
    const std::string track_path = dir.file("TRACK.CSV"), sensor_path = dir.file("SENSOR.CSV");
    test_support::write_file(track_path, format_track(sim.samples, sim_dialect::field_names));
    test_support::write_file(sensor_path, sensor.text);

    const char* err = nullptr;
    std::unique_ptr<swoop> s = swoop_new(track_path.c_str(), &err);
    EXPECT_EQ(err, nullptr) << err;
    sensor_file file;
    sensor_file_read(sensor_path.c_str(), file, &err);
    EXPECT_EQ(err, nullptr) << err;
    baro_fusion fusion;
    swoop_baro_fuse(*s, file, fusion, &err);
    EXPECT_EQ(err, nullptr) << err;
    if (err)
        return r;
    swoop_use_baro_heights(*s, fusion);
    swoop_analyse(*s, frame_from_gate, &sim.truth.course_matrix, 0, &err);
    EXPECT_EQ(err, nullptr) << err;
    EXPECT_NE(s->entry_gate, 0u) << "jump " << i;
    const gate_heights g = swoop_gate_heights(*s, fusion);
    EXPECT_TRUE(g.entry_gate.known) << "jump " << i;

    const uint32_t k = s->entry_gate;
    const int64_t t = static_cast<int64_t>(s->entry_gate_time);
    const std::vector<double>& truth = sensor.truth.sample_height;
    std::vector<double> gps(s->track_len);
    for (uint32_t j = 0; j < s->track_len; ++j)
        gps[j] = s->track[j].pos_wgs84[2];
    const double true_height = between(truth, *s, k, t) - truth[s->stop];
    r.fused_error = g.entry_gate.height - true_height;
    r.gps_error = between(gps, *s, k, t) - gps[s->stop] - true_height;
    r.sigma = g.entry_gate.sigma;
    return r;
}

double rms(const std::vector<double>& v)
{
    double sum = 0;
    for (double x : v)
        sum += x * x;
    return std::sqrt(sum / static_cast<double>(v.size()));
}

} // namespace

TEST(BaroAccuracy, EntryGateHeightAboveTheStopOverAHundredJumps)
{
    test_support::temp_dir dir;
    std::vector<double> fused, gps, abs_fused;
    int within_1 = 0, within_2 = 0;
    const int jumps = 100;
    for (int i = 0; i < jumps; ++i) {
        const outcome r = fly(static_cast<uint64_t>(i), dir);
        fused.push_back(r.fused_error);
        gps.push_back(r.gps_error);
        abs_fused.push_back(std::fabs(r.fused_error));
        within_1 += std::fabs(r.fused_error) <= r.sigma ? 1 : 0;
        within_2 += std::fabs(r.fused_error) <= 2 * r.sigma ? 1 : 0;
        if (std::getenv("SKIMRA_BARO_DETAIL"))
            std::printf(
                "jump %3d: fused %+.3f gps %+.3f sigma %.3f\n", i, r.fused_error, r.gps_error, r.sigma);
    }
    std::sort(abs_fused.begin(), abs_fused.end());
    const double p95 = abs_fused[94];
    const double fused_rms = rms(fused), gps_rms = rms(gps);
    std::printf("entry gate above the stop over %d jumps: fused RMS %.3f m, p95 %.3f m; GPS-only RMS %.3f m; "
                "1-sigma covers %d, 2-sigma %d\n",
        jumps, fused_rms, p95, gps_rms, within_1, within_2);
    RecordProperty("fused_rms_m", std::to_string(fused_rms));
    RecordProperty("gps_rms_m", std::to_string(gps_rms));
    EXPECT_LE(fused_rms, 0.35);
    EXPECT_LE(p95, 0.7);
    EXPECT_LE(fused_rms, 0.6 * gps_rms);
    EXPECT_GE(within_1, 58);
    EXPECT_LE(within_1, 78);
    EXPECT_GE(within_2, 90);
}
