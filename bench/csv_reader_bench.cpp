// SPDX-License-Identifier: GPL-3.0-or-later
// Reading speed of both logger dialects on a day of logging: 200,000 rows of
// the 14 columns the logger writes (about 22 MB per file).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/track/csv_reader.h"

namespace {

constexpr int bench_rows = 200000;

struct bench_files {
    std::string field_names; // path of the field-name dialect file
    std::string records; // path of the record dialect file
    size_t field_names_bytes = 0;
    size_t records_bytes = 0;
    bench_files();
    bench_files(const bench_files&) = delete;
    bench_files& operator=(const bench_files&) = delete;
    ~bench_files()
    {
        std::error_code ec;
        if (!field_names.empty())
            std::filesystem::remove(field_names, ec);
        if (!records.empty())
            std::filesystem::remove(records, ec);
    }
};

// Writes both files into the temporary folder; removed again at exit.
bench_files::bench_files()
{
    std::filesystem::path dir = std::filesystem::temp_directory_path();
    field_names = (dir / "skimra_bench_field_names.csv").string();
    records = (dir / "skimra_bench_records.txt").string();
    const char* columns = "time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,heading,cAcc,gpsFix,numSV";
    const char* units = "(deg),(deg),(m),(m/s),(m/s),(m/s),(m),(m),(m/s),(deg),(deg),,";
    std::string csv = std::string(columns) + "\r\n," + units + "\r\n";
    std::string gnss = "$FLYS,1\r\n$VAR,FIRMWARE_VER,v2023.09.22\r\n$COL,GNSS," + std::string(columns)
        + "\r\n$UNIT,GNSS,," + units + "\r\n";
    char row[256];
    for (int i = 0; i < bench_rows; ++i) {
        long whole = i / 5; // s; 5 Hz, about 11 hours: hundreds of distinct minutes
        double t = i * 0.2;
        int ms = (i % 5) * 200;
        double a = t / 37.0;
        std::snprintf(row, sizeof row,
            "2019-07-14T%02ld:%02ld:%02ld.%03dZ,%.7f,%.7f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.3f,%.5f,%.5f,%d,%d",
            whole / 3600 % 24, whole / 60 % 60, whole % 60, ms, 47.1234567 + 0.001 * std::sin(a),
            -122.1234567 + 0.001 * std::cos(a), 1234.567 - 0.1 * std::fmod(t, 600.0), 12.5 * std::sin(a),
            -8.25 * std::cos(a), 15.125 * std::sin(a * 3), 2.345 + 0.001 * (i % 7), 3.456 + 0.001 * (i % 11),
            0.567 + 0.001 * (i % 13), std::fmod(t * 3.7, 360.0), 1.23456 + 0.0001 * (i % 17), 3, 8 + i % 9);
        csv += row;
        csv += "\r\n";
        gnss += "$GNSS,";
        gnss += row;
        gnss += "\r\n";
    }
    std::ofstream(field_names, std::ios::binary) << csv;
    std::ofstream(records, std::ios::binary) << gnss;
    field_names_bytes = csv.size();
    records_bytes = gnss.size();
}

const bench_files& files()
{
    static bench_files f;
    return f;
}

void read_file_bench(benchmark::State& state, bool record_dialect)
{
    const bench_files& f = files();
    const std::string& path = record_dialect ? f.records : f.field_names;
    size_t bytes = record_dialect ? f.records_bytes : f.field_names_bytes;
    for (auto _ : state) {
        gps_track track;
        const char* err = nullptr;
        if (record_dialect)
            track_read_gnss(path.c_str(), track, &err);
        else
            track_read_csv(path.c_str(), track, &err);
        if (err || track.count != bench_rows) {
            state.SkipWithError(err ? err : "wrong sample count");
            break;
        }
        benchmark::DoNotOptimize(track.gps_points.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["MB/s"]
        = benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_track_read_csv(benchmark::State& state)
{
    read_file_bench(state, false);
}
void BM_track_read_gnss(benchmark::State& state)
{
    read_file_bench(state, true);
}

BENCHMARK(BM_track_read_csv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_track_read_gnss)->Unit(benchmark::kMillisecond);

} // namespace
