// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/runs.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <vector>

#include "cli/plot_document.h"
#include "core/files/container.h"
#include "core/files/kml_writer.h"
#include "core/gate/gate.h"
#include "core/gate/gate_file.h"
#include "core/geometry/geodetic.h"
#include "core/platform/platform.h"
#include "core/sensor/sensor_beside.h"
#include "core/swoop/baro_report.h"
#include "core/swoop/report.h"
#include "core/swoop/wind_report.h"
#include "core/track/error_text.h"

namespace {

using std::numbers::pi;

bool same_file(const std::string& input, const std::string& output)
{
    if (input.empty() || output.empty())
        return false;
    std::error_code ec;
    if (!std::filesystem::exists(input, ec) || !std::filesystem::exists(output, ec))
        return false;
    return std::filesystem::equivalent(input, output, ec);
}

void refuse_if_same(const std::string& input, const std::string& output)
{
    if (same_file(input, output))
        die_on_error(errmsg("output file would overwrite input file: %s", input.c_str()));
}

// Writes samples from..from + count as KML; with heights from the barometer
// their altitudes are the fused heights.
void write_kml(const std::string& path, const swoop& s, const baro_fusion& f, uint32_t from, uint32_t count,
    const vec3* markers, const char** err)
{
    if (f.height.size() != s.track_len) {
        kml_write(path.c_str(), s.track.data() + from, count, markers, err);
        return;
    }
    std::vector<gps_point> samples(s.track.begin() + from, s.track.begin() + from + count);
    for (uint32_t i = 0; i < count; ++i)
        samples[i].pos_wgs84[2] = f.height[from + i];
    kml_write(path.c_str(), samples.data(), count, markers, err);
}

} // namespace

void check_overwrites(const options& opts)
{
    std::vector<std::string> gate_outputs;
    if (!opts.gate_file.empty()) {
        gate_outputs
            = { output_name(opts.gate_file, "txt"), output_name(opts.gate_file, "kml"), "matrix.txt" };
        if (opts.debug)
            gate_outputs.push_back(output_name(opts.gate_file, "skm"));
        for (const std::string& out : gate_outputs)
            refuse_if_same(opts.gate_file, out);
    }
    if (!opts.swoop_file.empty()) {
        std::vector<std::string> outputs = gate_outputs;
        for (const char* ext : { "kml", "pdf", "txt" })
            outputs.push_back(output_name(opts.swoop_file, ext));
        if (opts.debug) {
            outputs.push_back(output_name(opts.swoop_file, "skm"));
            outputs.push_back("coord.txt");
        }
        for (const std::string& out : outputs)
            refuse_if_same(opts.swoop_file, out);
    }
}

void run_gate(const options& opts)
{
    std::string kml = replace_extension(opts.gate_file, "kml");
    std::string txt = replace_extension(opts.gate_file, "txt");
    std::string skm = replace_extension(opts.gate_file, "skm");

    const char* err = nullptr;
    std::string log;
    std::unique_ptr<gate> g = gate_open(opts.gate_file.c_str(), &log, &err);
    die_on_error(err);
    if (!log.empty()) {
        std::fputs(log.c_str(), stdout);
        std::fflush(stdout);
    }

    if (opts.debug) {
        gate_container_write(skm.c_str(), g->matrix, g->theta, g->pond, &err);
        die_on_error(err);
    }

    static const std::vector<vec3> no_pond;
    gate_file_write(txt.c_str(), g->matrix, g->theta * 180 / pi, opts.in_pond ? g->pond : no_pond, &err);
    die_on_error(err);

    if (!g->track.empty()) {
        vec3 markers[2];
        gate_markers(g->matrix, &markers[0], &markers[1]);
        kml_write(kml.c_str(), g->track.data(), g->track_len, markers, &err);
        die_on_error(err);
    }
    gate_free(g);
}

void write_debug_slice(const std::string& path, const swoop& s)
{
    const std::vector<gps_point>& t = s.track;
    const uint32_t n = s.track_len;
    auto T = [&](uint32_t i) { return static_cast<uint64_t>(t[i].time); };

    uint32_t first;
    if (s.plane_exit != 0) {
        uint64_t t0 = T(s.plane_exit) - 10000;
        uint32_t i = s.plane_exit;
        while (i > 0 && T(i) >= t0)
            i--;
        first = i;
    } else {
        uint32_t i = s.rollout;
        double h = t[i].pos_wgs84[2];
        uint64_t th = T(i);
        while (i > 0) {
            if (t[i].pos_wgs84[2] > h) {
                h = t[i].pos_wgs84[2];
                th = T(i);
            }
            if (th >= T(i) && th - T(i) > 10000)
                break;
            i--;
        }
        first = i;
    }

    uint32_t last;
    if (s.touchdown_time == T(s.stop)) {
        uint64_t t1 = T(s.stop) + 10000;
        uint32_t i = s.stop;
        while (i < n - 1 && T(i) <= t1)
            i++;
        last = i;
    } else {
        last = n - 1;
    }

    const char* err = nullptr;
    uint32_t count = last >= first ? last - first + 1 : 0;
    swoop_container_write(path.c_str(), t.data() + first, count, &err);
    die_on_error(err);
}

swoop_input load_swoop(const options& opts)
{
    replace_extension(opts.swoop_file, "kml"); // a name without an extension stops here, as before loading

    const char* err = nullptr;
    swoop_input in;
    in.s = swoop_new(opts.swoop_file.c_str(), &err);
    die_on_error(err);
    // An empty container has no first sample to name the KML track after.
    if (in.s->track_len == 0)
        die_on_error(errmsg("no points found in track"));
    if (opts.baro) {
        std::string sensor = opts.sensor_file;
        if (sensor.empty())
            sensor = sensor_file_beside(opts.swoop_file);
        if (sensor.empty())
            die_on_error(errmsg("no sensor file beside %s", opts.swoop_file.c_str()));
        swoop_baro_from_file(*in.s, sensor, in.fusion, &err);
        die_on_error(err);
        swoop_use_baro_heights(*in.s, in.fusion);
    }
    return in;
}

void run_swoop(const options& opts, swoop_input in)
{
    std::string kml = replace_extension(opts.swoop_file, "kml");
    std::string pdf = replace_extension(opts.swoop_file, "pdf");
    std::string txt = replace_extension(opts.swoop_file, "txt");
    std::string skm = replace_extension(opts.swoop_file, "skm");

    const char* err = nullptr;
    std::unique_ptr<swoop>& s = in.s;
    s->debug = opts.debug;
    s->time_aloft = opts.time_aloft;

    write_kml(kml, *s, in.fusion, 0, s->track_len, nullptr, &err);
    die_on_error(err);

    frame_kind gate_type = frame_from_swoop;
    std::unique_ptr<frame_matrix> matrix;
    std::vector<vec3> pond;
    double theta = 0;
    if (!opts.implicit_gate) {
        double theta_degrees = 0;
        gate_file_read("matrix.txt", opts.swoop_file.c_str(), &matrix, &pond, &theta_degrees, &err);
        die_on_error(err);
        theta = theta_degrees * pi / 180;
        gate_type = matrix ? frame_from_gate : frame_from_swoop;
    }

    swoop_analyse(*s, gate_type, matrix.get(), theta, &err);
    die_on_error(err);

    if (opts.debug)
        write_debug_slice(skm, *s);

    // The pond turns with the frame the swoop was judged in.
    const double angle = swoop_course_turn(*s);
    if (angle != 0)
        polygon_rotate(pond.empty() ? nullptr : pond.data(), angle);

    const display_units units(opts.metric); // the report and the plots show the units -m chose
    std::string report = swoop_report(*s, units, &err);
    die_on_error(err);
    if (opts.baro) {
        const gate_heights heights = swoop_gate_heights(*s, in.fusion);
        report += report_baro_lines(&heights, units);
    }
    if (opts.wind)
        report += report_wind_lines(*s, swoop_wind_estimate(*s), units);
    std::printf("\n%s", report.c_str());
    std::fflush(stdout);
    {
        file_ptr f(std::fopen(txt.c_str(), "wb"));
        if (!f)
            die_on_error(errmsg("failed to open file: %s", txt.c_str()));
        std::fwrite(report.data(), 1, report.size(), f.get());
        if (!file_close_checked(f))
            die_on_error(errmsg("failed to write file: %s", txt.c_str()));
    }

    vec3 markers[2];
    gate_markers(s->matrix, &markers[0], &markers[1]);
    uint32_t from = s->top_of_turn;
    uint32_t count = s->stop > from ? s->stop - from : 0;
    write_kml(kml, *s, in.fusion, from, count, markers, &err);
    die_on_error(err);

    write_plot_document(pdf.c_str(), *s, pond, units, &err);
    die_on_error(err);
    swoop_free(s);
}
