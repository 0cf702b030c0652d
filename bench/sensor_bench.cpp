// SPDX-License-Identifier: GPL-3.0-or-later
// The barometer's share of a session of 40 minutes (80,000 sensor rows, about
// 4 MB; targets: the sensor file read in 60 ms, the whole analysis with
// barometric heights in 150 ms).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/sensor/baro_fusion.h"
#include "core/sensor/sensor_file.h"
#include "core/swoop/swoop.h"
#include "core/track/error_text.h"
#include "tools/track_sim/sensor_sim.h"
#include "tools/track_sim/track_sim.h"

namespace {

// A jump after half an hour on the ground: 40 minutes of track at 5 Hz.
struct forty_minutes {
    std::string folder;
    std::string track;
    std::string sensor;
    frame_matrix matrix {};
    forty_minutes()
    {
        folder = (std::filesystem::temp_directory_path() / "skimra-sensor-bench").string();
        std::filesystem::create_directories(folder);
        track = folder + "/TRACK.CSV";
        sensor = folder + "/SENSOR.CSV";
        swoop_options o;
        o.ground_time = 1800.0;
        o.record_motion = true;
        sim_swoop s = generate_swoop(o);
        sensor_options so;
        sim_sensor file = simulate_swoop_sensor(s, o, so);
        const char* err = nullptr;
        write_text_file(sensor.c_str(), file.text, &err);
        write_track(track.c_str(), s.samples, sim_dialect::field_names, &err);
        matrix = s.truth.course_matrix;
    }
    ~forty_minutes() { std::filesystem::remove_all(folder); }
};

const forty_minutes& session()
{
    static forty_minutes s;
    return s;
}

void BM_sensor_read_40min(benchmark::State& state)
{
    const forty_minutes& s = session();
    for (auto _ : state) {
        sensor_file f;
        const char* err = nullptr;
        sensor_file_read(s.sensor.c_str(), f, &err);
        if (err)
            state.SkipWithError(err);
        benchmark::DoNotOptimize(f.baro.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations())
        * static_cast<int64_t>(std::filesystem::file_size(s.sensor)));
}

// Load the swoop, read and link the sensor file, fuse, analyse with the fused
// heights and find the gate heights above the stop.
void BM_baro_analysis_40min(benchmark::State& state)
{
    const forty_minutes& s = session();
    for (auto _ : state) {
        const char* err = nullptr;
        std::unique_ptr<swoop> sw = swoop_new(s.track.c_str(), &err);
        sensor_file f;
        if (!err)
            sensor_file_read(s.sensor.c_str(), f, &err);
        baro_fusion fusion;
        if (!err)
            swoop_baro_fuse(*sw, f, fusion, &err);
        if (!err) {
            swoop_use_baro_heights(*sw, fusion);
            swoop_analyse(*sw, frame_from_gate, &s.matrix, 0, &err);
        }
        if (err) {
            state.SkipWithError(err);
            break;
        }
        benchmark::DoNotOptimize(swoop_gate_heights(*sw, fusion));
    }
}

} // namespace

BENCHMARK(BM_sensor_read_40min)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_baro_analysis_40min)->Unit(benchmark::kMillisecond);
