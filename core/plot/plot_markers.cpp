// SPDX-License-Identifier: GPL-3.0-or-later
// The player marks: a star on each plot where the player's sample lies.
#include "core/plot/catalogue_support.h"
#include "core/plot/plot_catalogue.h"

using namespace catalogue;

namespace {

// Sets the swoop's marker to the sample mapped by point when the sample's
// time lies between the times of samples first and last; empties it otherwise.
template <class Point>
void set_marker(plot& p, const swoop& s, const gps_point* sample, uint32_t first, uint32_t last, Point point)
{
    const index_span span = span_of(s, first, last);
    bool inside = sample && !span.empty && sample->time >= s.track[span.first].time
        && sample->time <= s.track[span.last].time;
    vec2 at {};
    if (inside)
        at = point(*sample);
    plot_set_marker(p, s.file.c_str(), inside ? &at : nullptr);
}

} // namespace

void marker_gps_accuracy(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    const int64_t t0 = time_origin(s);
    set_marker(p, s, sample, s.top_of_turn, s.stop,
        [&](const gps_point& g) { return accuracy_point(g, units, t0); });
}

void marker_dive_angle(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample, s.top_of_turn, s.bottom_of_turn,
        [&](const gps_point& g) { return dive_angle_point(g, units); });
}

void marker_dive_speed(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample, s.top_of_turn, s.bottom_of_turn,
        [&](const gps_point& g) { return dive_speed_point(g, units); });
}

// The sample's heading is the unwound one of swoop_point_at.
void marker_heading(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample, s.top_of_turn, s.bottom_of_turn,
        [&](const gps_point& g) { return heading_point(g, units); });
}

void marker_overhead(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(
        p, s, sample, s.top_of_turn, s.stop, [&](const gps_point& g) { return overhead_point(g, units); });
}

void marker_side_view(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(
        p, s, sample, s.top_of_turn, s.stop, [&](const gps_point& g) { return side_view_point(g, units); });
}

void marker_swoop_speed(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample, swoop_speed_start(s), s.stop,
        [&](const gps_point& g) { return swoop_speed_point(g, units); });
}

void marker_turn_rate(plot& p, const swoop& s, const gps_point* sample, const display_units& units)
{
    set_marker(p, s, sample, s.top_of_turn, s.bottom_of_turn,
        [&](const gps_point& g) { return turn_rate_point(g, units); });
}
