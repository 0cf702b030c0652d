// SPDX-License-Identifier: GPL-3.0-or-later
// Speed of the preference store: reading one value from a settings file of
// the desktop program's nine keys (target: at most 100 µs) and writing one
// (lock, read, write the new file, rename; target: at most 5 ms on a local
// disk), with the new file synced to the disk before the rename (sync:1, the
// default) and without (sync:0). The store lives in a fresh folder under the
// temporary directory; set TMPDIR to measure another disk.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "core/platform/pref_store.h"

namespace {

// The store in its own folder, filled as a user's would be; removed at exit.
struct bench_store {
    std::string folder;
    bench_store()
    {
        folder = (std::filesystem::temp_directory_path() / "skimra-bench-XXXXXX").string();
        if (!mkdtemp(folder.data()))
            throw std::runtime_error("mkdtemp failed");
        pref_store_use_folder(folder.c_str());
        const char* settings[][2] = { { "plots_per_page", "4" }, { "enable_scale", "true" },
            { "use_metric", "false" }, { "draw_pond", "true" }, { "window_width", "1280" },
            { "window_height", "960" }, { "gate_dir", "/home/pilot/swoops/2023/gates" },
            { "swoop_dir", "/home/pilot/swoops/2023/jumps" },
            { "gate_file", "/home/pilot/swoops/2023/gates/pond north.csv" } };
        for (const auto& setting : settings)
            pref_set(setting[0], setting[1]);
    }
    bench_store(const bench_store&) = delete;
    bench_store& operator=(const bench_store&) = delete;
    ~bench_store()
    {
        pref_store_use_folder(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

void use_bench_store()
{
    static bench_store store;
}

void BM_pref_get(benchmark::State& state)
{
    use_bench_store();
    for (auto _ : state) {
        auto text = pref_get("gate_file");
        if (!text) {
            state.SkipWithError("gate_file not stored");
            break;
        }
        benchmark::DoNotOptimize(text);
    }
}

void BM_pref_set(benchmark::State& state)
{
    use_bench_store();
    pref_store_set_sync(state.range(0) != 0);
    int width = 1000;
    for (auto _ : state) {
        std::string text = std::to_string(width++ % 2000); // a new value each time
        if (!pref_set("window_width", text.c_str())) {
            state.SkipWithError("pref_set failed");
            break;
        }
    }
    pref_store_set_sync(true);
}

BENCHMARK(BM_pref_get)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_pref_set)->ArgName("sync")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace
