// SPDX-License-Identifier: GPL-3.0-or-later
// A whole swoop analysis on a fuzzed track: load; analyse in the frame of the
// examples' course (gate type 0, with its speed-course angle), then without a
// gate (type 2), then in a given matrix (type 1); after each, the report in
// both unit systems, the player's samples, the KML and the eight plots.
// Some inputs also write the coordinate dump and render the plots.
#include <cairo.h>
#include <cmath>
#include <cstring>
#include <memory>

#include "core/files/kml_writer.h"
#include "core/geometry/geodetic.h"
#include "core/plot/plot.h"
#include "core/plot/plot_catalogue.h"
#include "core/swoop/point_at.h"
#include "core/swoop/report.h"
#include "core/swoop/swoop.h"
#include "core/swoop/swoop_stages.h"
#include "core/track/track_frames.h"
#include "fuzz/harness_support.h"

// fontconfig keeps its configuration until exit (see tests/plot).
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace {

// The course of examples/gate-walk.csv: ECEF -> local frame, and its
// speed-course angle (radians).
constexpr frame_matrix course_matrix { {
    { -0.71866523324255027, 0.44573905704415934, 0.53370120437733182, 17983.648847871926 },
    { -0.32559261521561972, -0.89389249375926272, 0.30813253401401808, 10382.864505685866 },
    { 0.61441820565921079, 0.047674968549860891, 0.78753880280801747, -6364894.3083675262 },
    { 0, 0, 0, 1 },
} };
constexpr double course_theta = 0.020816374;

// Every index the analysis found lies inside the track, in phase order.
void check_indices(const swoop& s)
{
    const uint32_t n = s.track_len;
    for (uint32_t i : { s.plane_exit, s.pattern_entry, s.top_of_turn, s.rollout, s.bottom_of_turn,
             s.entry_gate, s.exit_gate, s.stop, s.max_vert_speed, s.max_horz_speed, s.max_total_speed })
        fuzz_check(i < n, "an index beyond the track");
    fuzz_check(s.pattern_entry <= s.top_of_turn && s.top_of_turn <= s.rollout && s.rollout <= s.stop,
        "phases out of order");
}

// Seventeen lines, each ended by a line feed, without a non-number printed
// as a number.
void check_report(const std::string& report)
{
    size_t lines = 0;
    for (char c : report)
        lines += c == '\n';
    fuzz_check(lines == 17 && !report.empty() && report.back() == '\n', "the report is not 17 lines");
    fuzz_check(report.find("nan") == std::string::npos && report.find("inf") == std::string::npos,
        "a non-number in the report");
}

void check_player(const swoop& s)
{
    for (int64_t offset : { int64_t { 0 }, int64_t { 500 }, int64_t { 3000 }, int64_t { -1 }, INT64_MAX }) {
        std::unique_ptr<gps_point> p = swoop_point_at(s, offset);
        // Times compare as unsigned, as the player adds them.
        if (p)
            fuzz_check(static_cast<uint64_t>(p->time) >= static_cast<uint64_t>(s.track[s.top_of_turn].time),
                "a player sample before the top of the turn");
    }
}

void build_plots(const swoop& s, const std::vector<vec3>& pond, bool render)
{
    std::unique_ptr<plot> plots[8] = {
        plot_overhead(&s, pond, false, false),
        plot_side_view(&s, true, false),
        plot_dive_speed(&s, false, true),
        plot_swoop_speed(&s, true),
        plot_dive_angle(&s, false, false),
        plot_gps_accuracy(&s, true, true),
        plot_turn_rate(&s, false, false),
        plot_heading(&s, true, true),
    };
    if (!render)
        return;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 240, 180);
    cairo_t* cr = cairo_create(surface);
    for (int k = 0; k < 8; ++k)
        plot_render(cr, plots[k].get(), 1 + k % 4);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

void analyse(swoop& s, frame_kind gate_type, const frame_matrix* matrix, double theta, bool render)
{
    const char* err = nullptr;
    swoop_analyse(s, gate_type, matrix, theta, &err);
    const bool analysed = !err;
    // Reports of a failed analysis are not shown, but must not fail either.
    for (bool metric : { false, true }) {
        err = nullptr;
        std::string report = swoop_report(s, metric, &err);
        if (analysed) {
            fuzz_check(!err, "the report of an analysed swoop failed");
            check_report(report);
        }
    }
    if (!analysed)
        return;
    check_indices(s);
    check_player(s);

    const std::string kml = fuzz_scratch_path("swoop.kml");
    vec3 markers[2];
    gate_markers(s.matrix, &markers[0], &markers[1]);
    kml_write(kml.c_str(), s.track.data() + s.top_of_turn, s.stop - s.top_of_turn, markers, &err);
    fuzz_check(!err, "writing the KML failed");

    std::vector<vec3> pond
        = { { -10, 10, 0 }, { 40, 12, 0 }, { 40, -12, 0 }, { -10, -10, 0 }, { -10, 10, 0 }, { 0, 0, 0 } };
    build_plots(s, pond, render);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz_input_file(data, size, "swoop.csv");
    const char* err = nullptr;
    std::unique_ptr<swoop> s = swoop_new(path.c_str(), &err);
    if (!s)
        return 0;
    fuzz_check(s->track_len == s->track.size(), "track length and samples differ");

    // The size picks the options, so that every input is analysed the same
    // way each time it runs.
    s->time_aloft = size % 3 == 0 ? 0 : static_cast<uint32_t>(size * 7919 % 20000);
    s->debug = size % 5 == 0;
    const bool render = size % 8 == 0;

    analyse(*s, frame_from_gate, &course_matrix, course_theta, render);
    analyse(*s, frame_from_swoop, nullptr, 0, render);
    analyse(*s, frame_as_given, &course_matrix, 0, false);
    return 0;
}
