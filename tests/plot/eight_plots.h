// The eight plots of a swoop as the desktop program shows them: built in its
// index order, other swoops added as grey overlays, player markers set. For
// the plot tests and the plot benchmark.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/plot/plot_catalogue.h"
#include "core/swoop/kinematics.h"

namespace plot_test {

// Overhead, side view, dive speed, swoop speed, dive angle, accuracy, turn
// rate, heading; the pond in the swoop's frame (empty = none).
inline std::vector<std::unique_ptr<plot>> eight_plots(const swoop& s, const std::vector<vec3>& pond, bool metric)
{
    std::vector<std::unique_ptr<plot>> plots;
    plots.reserve(8);
    plots.push_back(plot_overhead(&s, pond, metric, false));
    plots.push_back(plot_side_view(&s, metric, false));
    plots.push_back(plot_dive_speed(&s, metric, false));
    plots.push_back(plot_swoop_speed(&s, metric));
    plots.push_back(plot_dive_angle(&s, metric, false));
    plots.push_back(plot_gps_accuracy(&s, metric, false));
    plots.push_back(plot_turn_rate(&s, metric, false));
    plots.push_back(plot_heading(&s, metric, false));
    return plots;
}

// Adds swoop o, analysed in the frame of the plotted swoop, to the eight
// plots in grey. False when a plot got no series from it.
inline bool add_overlay(std::vector<std::unique_ptr<plot>>& plots, const swoop& o, bool metric)
{
    std::unique_ptr<series> made[8] = {series_overhead(o, metric, false), series_side_view(o, metric, false),
        series_dive_speed(o, metric, false), series_swoop_speed(o, metric), series_dive_angle(o, metric, false),
        series_gps_accuracy(o, metric, false), series_turn_rate(o, metric, false), series_heading(o, metric, false)};
    bool all = true;
    for (int i = 0; i < 8; i++) {
        all = all && made[i];
        for (series* x = made[i].get(); x; x = x->next.get())
            x->color = 0x808080;
        plot_add_series(*plots[i], std::move(made[i]));
    }
    return all;
}

// The player marks of swoop s at t ms after its entry-gate crossing (after
// its top of turn when it missed the gate).
inline void set_markers(std::vector<std::unique_ptr<plot>>& plots, const swoop& s, int64_t t, bool metric)
{
    const int64_t top = s.track[s.top_of_turn].time;
    const int64_t offset = s.entry_gate_time != 0 ? t + (int64_t(s.entry_gate_time) - top) : t;
    std::unique_ptr<gps_point> g = swoop_point_at(s, offset);
    const gps_point* p = g.get();
    marker_overhead(*plots[0], s, p, metric);
    marker_side_view(*plots[1], s, p, metric);
    marker_dive_speed(*plots[2], s, p, metric);
    marker_swoop_speed(*plots[3], s, p, metric);
    marker_dive_angle(*plots[4], s, p, metric);
    marker_gps_accuracy(*plots[5], s, p, metric);
    marker_turn_rate(*plots[6], s, p, metric);
    marker_heading(*plots[7], s, p, metric);
}

} // namespace plot_test
