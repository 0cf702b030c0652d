// SPDX-License-Identifier: GPL-3.0-or-later
// The wind estimate on a 30-minute 5 Hz jump log (the swoop run's log, flown
// in a 6 m/s wind on a landing pattern): the analysis alone, the analysis
// with the wind and the airspeeds the report shows, and the fit alone on an
// analysed swoop. What the fit adds is the difference of the first two.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "core/swoop/swoop.h"
#include "core/swoop/wind.h"
#include "tools/track_sim/track_sim.h"

namespace {

struct windy_log {
    sim_swoop sim;
    swoop analysed;

    windy_log()
    {
        swoop_options o;
        o.ground_time = 780; // on the ground with the logger running
        o.stand_time = 600; // and standing after the landing: 30 minutes in all
        o.wind.on = true;
        o.wind.speed = 6;
        o.wind.from = 250;
        o.wind.poor_sacc = 0.01;
        o.pattern.on = true;
        o.pattern.high_turns = true;
        sim = generate_swoop(o);
        analysed = analyse();
    }

    swoop analyse() const
    {
        swoop s;
        s.track = sim.samples;
        s.track_len = static_cast<uint32_t>(sim.samples.size());
        const char* err = nullptr;
        swoop_analyse(s, frame_from_gate, &sim.truth.course_matrix, 0, &err);
        if (err) {
            std::fprintf(stderr, "bench: %s\n", err);
            std::exit(1);
        }
        return s;
    }
};

const windy_log& log_30_minutes()
{
    static const windy_log l;
    return l;
}

void bm_analysis_30min(benchmark::State& state)
{
    const windy_log& l = log_30_minutes();
    for (auto _ : state) {
        swoop s = l.analyse();
        benchmark::DoNotOptimize(s.entry_gate_speed);
    }
    state.counters["samples"] = static_cast<double>(l.sim.samples.size());
}
BENCHMARK(bm_analysis_30min)->Unit(benchmark::kMillisecond);

void bm_analysis_with_wind_30min(benchmark::State& state)
{
    const windy_log& l = log_30_minutes();
    for (auto _ : state) {
        swoop s = l.analyse();
        const wind_estimate w = swoop_wind_estimate(s);
        benchmark::DoNotOptimize(swoop_entry_gate_airspeed(s, w));
        benchmark::DoNotOptimize(swoop_max_horz_airspeed(s, w, nullptr));
    }
}
BENCHMARK(bm_analysis_with_wind_30min)->Unit(benchmark::kMillisecond);

void bm_wind_fit(benchmark::State& state)
{
    const windy_log& l = log_30_minutes();
    wind_estimate w;
    for (auto _ : state) {
        w = swoop_wind_estimate(l.analysed);
        benchmark::DoNotOptimize(w.speed);
    }
    state.counters["window"] = w.samples;
    state.counters["present"] = w.present;
}
BENCHMARK(bm_wind_fit)->Unit(benchmark::kMicrosecond);

} // namespace
