// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's two runs, in-process, on simulated files: the swoop run
// (read, analyse, report, both KML writes, PDF) on a 30-minute 5 Hz jump log
// and the gate run (survey, geometry file, matrix.txt, KML) on a gate walk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_support.h"
#include "cli/runs.h"
#include "tools/track_sim/track_sim.h"

namespace {

// A scratch folder with a gate walk, its matrix.txt and a long jump log; the
// runs write their outputs there.
struct run_folder {
    std::string dir;
    std::string old_cwd;
    uint32_t swoop_samples = 0;

    run_folder()
    {
        old_cwd = std::filesystem::current_path().string();
        char pattern[] = "/tmp/skimra-bench-XXXXXX";
        dir = mkdtemp(pattern);
        walk_options wo;
        sim_walk walk = generate_walk(wo);
        swoop_options so;
        so.course = wo.course;
        so.theta = walk.truth.theta;
        so.ground_time = 780; // on the ground with the logger running
        so.stand_time = 600; // and standing after the landing: 30 minutes in all
        sim_swoop sw = generate_swoop(so);
        swoop_samples = static_cast<uint32_t>(sw.samples.size());
        const char* err = nullptr;
        write_track((dir + "/walk.csv").c_str(), walk.samples, sim_dialect::field_names, &err);
        write_track((dir + "/jump.csv").c_str(), sw.samples, sim_dialect::field_names, &err);
        if (err) {
            std::fprintf(stderr, "bench: %s\n", err);
            std::exit(1);
        }
        std::filesystem::current_path(dir);
    }
    ~run_folder()
    {
        std::filesystem::current_path(old_cwd);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

run_folder& folder()
{
    static run_folder f;
    return f;
}

void bm_gate_run(benchmark::State& state)
{
    folder();
    options opts;
    opts.gate_file = "walk.csv";
    opts.in_pond = true;
    quiet_stream quiet;
    for (auto _ : state)
        run_gate(opts);
}
BENCHMARK(bm_gate_run)->Unit(benchmark::kMillisecond);

void bm_swoop_run(benchmark::State& state)
{
    run_folder& f = folder();
    {
        options gate;
        gate.gate_file = "walk.csv";
        gate.in_pond = true;
        quiet_stream quiet;
        run_gate(gate);
    }
    options opts;
    opts.swoop_file = "jump.csv";
    quiet_stream quiet;
    for (auto _ : state)
        run_swoop(opts, load_swoop(opts));
    state.counters["samples"] = f.swoop_samples;
}
BENCHMARK(bm_swoop_run)->Unit(benchmark::kMillisecond);

} // namespace
