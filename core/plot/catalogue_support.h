// SPDX-License-Identifier: GPL-3.0-or-later
// What the plot catalogue's constructors, series builders and player marks
// share: display units, sample spans, series construction and, per plot, the
// mapping of a sample to a point of that plot. Internal to core/plot.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "core/geometry/units.h"
#include "core/plot/plot.h"
#include "core/plot/plot_catalogue.h"
#include "core/swoop/swoop.h"
#include "core/track/gps_point.h"
#include "core/track/track_frames.h"

namespace catalogue {

constexpr uint32_t room = 300; // points a swoop series starts with

// printf into a string (texts of the plots are short: 255 characters at most).
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Samples the record really holds (track_len and the array agree after
// loading; an empty or unanalysed record has none).
inline uint32_t sample_count(const swoop& s)
{
    return uint32_t(std::min<size_t>(s.track_len, s.track.size()));
}

// The sample at index i, or null when the record does not have it.
inline const gps_point* sample_at(const swoop& s, uint32_t i)
{
    return i < sample_count(s) ? &s.track[i] : nullptr;
}

// An inclusive run of sample indices, cut to the samples present.
struct index_span {
    uint32_t first = 0;
    uint32_t last = 0;
    bool empty = true;
};

inline index_span span_of(const swoop& s, uint32_t first, uint32_t last)
{
    index_span r;
    const uint32_t n = sample_count(s);
    if (n == 0 || first >= n || first > last)
        return r;
    r.first = first;
    r.last = std::min(last, n - 1);
    r.empty = false;
    return r;
}

// First sample of the series: the plane exit for the whole flight, else the
// top of the turn.
inline uint32_t start_index(const swoop& s, bool whole_flight)
{
    return whole_flight ? s.plane_exit : s.top_of_turn;
}

// First sample of the swoop-speed plot: the entry gate or the fastest sample,
// whichever comes first; the fastest when the gate was missed.
inline uint32_t swoop_speed_start(const swoop& s)
{
    return s.entry_gate == 0 ? s.max_horz_speed : std::min(s.entry_gate, s.max_horz_speed);
}

// ms the accuracy plot counts from: the entry-gate crossing, or the top of
// the turn when the gate was missed.
inline int64_t time_origin(const swoop& s)
{
    if (s.entry_gate_time != 0)
        return int64_t(s.entry_gate_time);
    const gps_point* top = sample_at(s, s.top_of_turn);
    return top ? top->time : 0;
}

// s between two times; the difference wraps instead of overflowing.
inline double seconds_since(int64_t time, int64_t origin)
{
    return double(int64_t(uint64_t(time) - uint64_t(origin))) / 1000;
}

// --- Where a sample lands in each plot (series and player mark alike) ----------

// GPS accuracy: speed accuracy over s from the time origin t0.
inline vec2 accuracy_point(const gps_point& g, const display_units& u, int64_t t0)
{
    return { seconds_since(g.time, t0), g.sacc * u.speed_factor };
}
// Dive angle over height.
inline vec2 dive_angle_point(const gps_point& g, const display_units& u)
{
    return { g.pos_local[2] * u.length_factor, g.dive_angle };
}
// Descent rate over height.
inline vec2 dive_speed_point(const gps_point& g, const display_units& u)
{
    return { g.pos_local[2] * u.length_factor, -g.vel_local[2] * u.speed_factor };
}
// Heading over height; the series unwinds y itself from the start sample.
inline vec2 heading_point(const gps_point& g, const display_units& u)
{
    return { g.pos_local[2] * u.length_factor, g.heading };
}
// Seen from above: local y over local x.
inline vec2 overhead_point(const gps_point& g, const display_units& u)
{
    return { g.pos_local[0] * u.length_factor, g.pos_local[1] * u.length_factor };
}
// Seen from the side: height over local x.
inline vec2 side_view_point(const gps_point& g, const display_units& u)
{
    return { g.pos_local[0] * u.length_factor, g.pos_local[2] * u.length_factor };
}
// Horizontal speed over local x.
inline vec2 swoop_speed_point(const gps_point& g, const display_units& u)
{
    return { g.pos_local[0] * u.length_factor, horizontal_speed(g) * u.speed_factor };
}
// Turn rate over height.
inline vec2 turn_rate_point(const gps_point& g, const display_units& u)
{
    return { g.pos_local[2] * u.length_factor, g.turn_rate };
}

// --- Construction ----------------------------------------------------------------
// Allocation failures inside the catalogue unwind to the public operation,
// which returns none; everything built so far is freed on the way.

std::unique_ptr<series> make_series(series_style style, uint32_t color, uint32_t capacity);
void add_point(series& s, double x, double y);
std::unique_ptr<plot> make_plot(const char* title, std::string x_label, std::string y_label);

// One series over an inclusive run of samples, point by point.
template <class Point>
std::unique_ptr<series> sample_series(
    const swoop& s, index_span span, series_style style, uint32_t color, Point point)
{
    std::unique_ptr<series> out = make_series(style, color, room);
    if (!span.empty)
        for (uint32_t i = span.first; i <= span.last; i++) {
            const vec2 v = point(s.track[i]);
            add_point(*out, v[0], v[1]);
        }
    return out;
}

// The red series of a swoop, named after its file.
template <class Point>
std::unique_ptr<series> swoop_series(const swoop& s, index_span span, series_style style, Point point)
{
    std::unique_ptr<series> out = sample_series(s, span, style, plot_red, point);
    out->name = s.file;
    return out;
}

// Runs a builder and turns a lack of memory into none.
template <class Build> auto or_none(Build build) -> decltype(build())
{
    try {
        return build();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// The red series of each plot, throwing std::bad_alloc when memory runs out
// (plot_series.cpp).
std::unique_ptr<series> build_accuracy(const swoop& s, const display_units& units, bool whole_flight);
std::unique_ptr<series> build_dive_angle(const swoop& s, const display_units& units, bool whole_flight);
std::unique_ptr<series> build_dive_speed(const swoop& s, const display_units& units, bool whole_flight);
std::unique_ptr<series> build_heading(const swoop& s, const display_units& units, bool whole_flight);
std::unique_ptr<series> build_overhead(const swoop& s, const display_units& units, bool whole_flight);
std::unique_ptr<series> build_side_view(const swoop& s, const display_units& units, bool whole_flight);
// The band of the side view's heights +-1 sigma (heights from the barometer),
// light red under the curve; none without sigmas.
std::unique_ptr<series> build_side_view_band(const swoop& s, const display_units& units, bool whole_flight);
std::unique_ptr<series> build_swoop_speed(const swoop& s, const display_units& units);
std::unique_ptr<series> build_turn_rate(const swoop& s, const display_units& units, bool whole_flight);

} // namespace catalogue
