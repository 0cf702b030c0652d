// SPDX-License-Identifier: GPL-3.0-or-later
// The eight plots of a swoop for the plot tests: built from the core's set,
// other swoops added as grey overlays, player markers set.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/plot/plot_set.h"
#include "core/swoop/point_at.h"

namespace plot_test {

// Overhead, side view, dive speed, swoop speed, dive angle, accuracy, turn
// rate, heading; the pond in the swoop's frame (empty = none).
inline std::vector<std::unique_ptr<plot>> eight_plots(
    const swoop& s, const std::vector<vec3>& pond, bool metric)
{
    plot_set_plots built = plot_set_build(&s, pond, metric);
    return { std::make_move_iterator(built.begin()), std::make_move_iterator(built.end()) };
}

// Adds swoop o, analysed in the frame of the plotted swoop, to the eight
// plots in grey. False when a plot got no series from it; the other plots
// still get theirs.
inline bool add_overlay(std::vector<std::unique_ptr<plot>>& plots, const swoop& o, bool metric)
{
    bool all = true;
    for (int i = 0; i < plot_set_size; i++) {
        std::unique_ptr<series> made = plot_set[size_t(i)].overlay(o, metric);
        all = all && made;
        for (series* x = made.get(); x; x = x->next.get())
            x->color = 0x808080;
        plot_add_series(*plots[size_t(i)], std::move(made));
    }
    return all;
}

// The player marks of swoop s at t ms after its entry-gate crossing (after
// its top of turn when it missed the gate); the offset is summed in 64 bits.
inline void set_markers(std::vector<std::unique_ptr<plot>>& plots, const swoop& s, int64_t t, bool metric)
{
    const int64_t top = s.track[s.top_of_turn].time;
    const int64_t offset = s.entry_gate_time != 0 ? t + (int64_t(s.entry_gate_time) - top) : t;
    std::unique_ptr<gps_point> g = swoop_point_at(s, offset);
    for (int i = 0; i < plot_set_size; i++)
        plot_set[size_t(i)].mark(*plots[size_t(i)], s, g.get(), metric);
}

} // namespace plot_test
