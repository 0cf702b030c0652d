// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-logbook's subcommands, in-process, on a season of 1,000 simulated
// swoop files (made once per benchmark run in a scratch folder): the first
// add against a surveyed gate, an add with nothing changed, list, best and
// the progression PDF. SKIMRA_BENCH_KEEP_PDF=FILE keeps a copy of that PDF
// to look at.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "bench/bench_support.h"
#include "logbook/commands.h"
#include "tools/track_sim/track_sim.h"

namespace fs = std::filesystem;

namespace {

constexpr int season_jumps = 1000;

// A pilot's season on one course: turns growing from 270 to 630 degrees,
// entry speeds creeping up, a few jumps a day over about 300 days.
struct season_folder {
    std::string dir;
    std::string gate;
    std::string swoops;
    std::string db;

    season_folder()
    {
        char pattern[] = "/tmp/skimra-logbook-bench-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("mkdtemp failed");
        dir = pattern;
        gate = dir + "/gate-walk.csv";
        swoops = dir + "/season";
        db = dir + "/season.sqlite";
        fs::create_directories(swoops);

        walk_options wo;
        const sim_walk walk = generate_walk(wo);
        const char* err = nullptr;
        write_track(gate.c_str(), walk.samples, sim_dialect::field_names, &err);
        std::mt19937 random(1);
        std::uniform_real_distribution<double> jitter(-1, 1);
        for (int i = 0; i < season_jumps && !err; ++i) {
            const double progress = double(i) / season_jumps;
            swoop_options o = example_swoop_base(wo.course, walk.truth.theta);
            o.seed = 100 + uint64_t(i);
            o.turn_degrees = 270 + 90 * std::floor(progress * 4.99);
            o.turn_height = 150 + o.turn_degrees / 5 + 5 * jitter(random);
            o.right_turn = i % 4 == 0;
            o.entry_speed = 26 + 4 * progress + jitter(random);
            o.peak_descent = 23 + 4 * progress + jitter(random);
            o.entry_y = 3 * jitter(random);
            o.start_time = sim_default_start + int64_t(i / 3) * 26 * 3600000 + int64_t(i % 3) * 7200000;
            char name[64];
            std::snprintf(name, sizeof name, "/%04d.csv", i);
            write_track((swoops + name).c_str(), generate_swoop(o).samples, sim_dialect::field_names, &err);
        }
        if (err) {
            std::fprintf(stderr, "bench: %s\n", err);
            std::exit(1);
        }
    }
    ~season_folder()
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    void remove_db() const
    {
        for (const char* suffix : { "", "-wal", "-shm" })
            fs::remove(db + suffix);
    }

    int add() const
    {
        add_options opts;
        opts.gate_file = gate;
        opts.paths = { swoops };
        quiet_stream out;
        quiet_stream err(STDERR_FILENO);
        return logbook_add(db, opts);
    }

    // The logbook after one add of the whole season.
    void ensure_added() const
    {
        static bool added = false;
        if (!added && add() != exit_ok) {
            std::fprintf(stderr, "bench: add failed\n");
            std::exit(1);
        }
        added = true;
    }
};

const season_folder& season()
{
    static season_folder s;
    return s;
}

void bm_logbook_first_add(benchmark::State& state)
{
    const season_folder& s = season();
    for (auto _ : state) {
        state.PauseTiming();
        s.remove_db();
        state.ResumeTiming();
        benchmark::DoNotOptimize(s.add());
    }
    std::vector<jump_record> rows;
    load_jumps(s.db, jump_filter {}, rows);
    state.counters["files"] = double(rows.size());
    state.counters["failed"] = double(
        std::count_if(rows.begin(), rows.end(), [](const jump_record& j) { return j.error.has_value(); }));
}
BENCHMARK(bm_logbook_first_add)->Unit(benchmark::kSecond)->Iterations(1);

void bm_logbook_unchanged_add(benchmark::State& state)
{
    const season_folder& s = season();
    s.ensure_added();
    for (auto _ : state)
        benchmark::DoNotOptimize(s.add());
}
BENCHMARK(bm_logbook_unchanged_add)->Unit(benchmark::kMillisecond);

// Times a subcommand that reads the added season, its output thrown away.
template <class command> void time_reader(benchmark::State& state, command run)
{
    const season_folder& s = season();
    s.ensure_added();
    quiet_stream out;
    for (auto _ : state)
        benchmark::DoNotOptimize(run(s));
}

void bm_logbook_list(benchmark::State& state)
{
    time_reader(state, [](const season_folder& s) { return logbook_list(s.db, list_options {}); });
}
BENCHMARK(bm_logbook_list)->Unit(benchmark::kMillisecond);

void bm_logbook_best(benchmark::State& state)
{
    time_reader(state, [](const season_folder& s) { return logbook_best(s.db, false); });
}
BENCHMARK(bm_logbook_best)->Unit(benchmark::kMillisecond);

void bm_logbook_plot(benchmark::State& state)
{
    time_reader(
        state, [](const season_folder& s) { return logbook_plot(s.db, s.dir + "/progression.pdf", false); });
    if (const char* keep = std::getenv("SKIMRA_BENCH_KEEP_PDF"))
        fs::copy_file(season().dir + "/progression.pdf", keep, fs::copy_options::overwrite_existing);
}
BENCHMARK(bm_logbook_plot)->Unit(benchmark::kMillisecond);

} // namespace
