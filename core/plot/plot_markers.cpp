// SPDX-License-Identifier: GPL-3.0-or-later
// The player marks: a star on each plot where the player's sample lies.
#include "core/plot/catalogue_support.h"
#include "core/plot/plot_catalogue.h"

using namespace catalogue;

namespace {

// The sample mapped by point when its time lies between the times of
// samples first and last; none otherwise.
template <class Point>
std::optional<vec2> locate(
    const swoop& s, const gps_point& sample, uint32_t first, uint32_t last, Point point)
{
    const index_span span = span_of(s, first, last);
    if (span.empty || sample.time < s.track[span.first].time || sample.time > s.track[span.last].time)
        return std::nullopt;
    return point(sample);
}

// Sets the swoop's marker to where the sample lies, or empties it.
void set_marker(plot& p, const swoop& s, const std::optional<vec2>& at)
{
    plot_set_marker(p, s.file.c_str(), at ? &*at : nullptr);
}

} // namespace

std::optional<vec2> locate_gps_accuracy(const swoop& s, const gps_point& g, const display_units& units)
{
    const int64_t t0 = time_origin(s);
    return locate(
        s, g, s.top_of_turn, s.stop, [&](const gps_point& x) { return accuracy_point(x, units, t0); });
}

std::optional<vec2> locate_dive_angle(const swoop& s, const gps_point& g, const display_units& units)
{
    return locate(s, g, s.top_of_turn, s.bottom_of_turn,
        [&](const gps_point& x) { return dive_angle_point(x, units); });
}

std::optional<vec2> locate_dive_speed(const swoop& s, const gps_point& g, const display_units& units)
{
    return locate(s, g, s.top_of_turn, s.bottom_of_turn,
        [&](const gps_point& x) { return dive_speed_point(x, units); });
}

// The sample's heading is the unwound one of swoop_point_at.
std::optional<vec2> locate_heading(const swoop& s, const gps_point& g, const display_units& units)
{
    return locate(
        s, g, s.top_of_turn, s.bottom_of_turn, [&](const gps_point& x) { return heading_point(x, units); });
}

std::optional<vec2> locate_overhead(const swoop& s, const gps_point& g, const display_units& units)
{
    return locate(s, g, s.top_of_turn, s.stop, [&](const gps_point& x) { return overhead_point(x, units); });
}

std::optional<vec2> locate_side_view(const swoop& s, const gps_point& g, const display_units& units)
{
    return locate(s, g, s.top_of_turn, s.stop, [&](const gps_point& x) { return side_view_point(x, units); });
}

std::optional<vec2> locate_swoop_speed(const swoop& s, const gps_point& g, const display_units& units)
{
    return locate(
        s, g, swoop_speed_start(s), s.stop, [&](const gps_point& x) { return swoop_speed_point(x, units); });
}

std::optional<vec2> locate_turn_rate(const swoop& s, const gps_point& g, const display_units& units)
{
    return locate(
        s, g, s.top_of_turn, s.bottom_of_turn, [&](const gps_point& x) { return turn_rate_point(x, units); });
}

void marker_gps_accuracy(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample ? locate_gps_accuracy(s, *sample, units) : std::nullopt);
}

void marker_dive_angle(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample ? locate_dive_angle(s, *sample, units) : std::nullopt);
}

void marker_dive_speed(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample ? locate_dive_speed(s, *sample, units) : std::nullopt);
}

// The sample's heading is the unwound one of swoop_point_at.
void marker_heading(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample ? locate_heading(s, *sample, units) : std::nullopt);
}

void marker_overhead(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample ? locate_overhead(s, *sample, units) : std::nullopt);
}

void marker_side_view(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample ? locate_side_view(s, *sample, units) : std::nullopt);
}

void marker_swoop_speed(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample ? locate_swoop_speed(s, *sample, units) : std::nullopt);
}

void marker_turn_rate(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample ? locate_turn_rate(s, *sample, units) : std::nullopt);
}
