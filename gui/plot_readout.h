// SPDX-License-Identifier: GPL-3.0-or-later
// What the pointer over a plot reads off it, and the sample a click on it
// takes the player to. Plain computations on a rendered plot's layout (no
// widgets), for the plot pages and their tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/geometry/units.h"
#include "core/plot/plot.h"
#include "core/plot/plot_set.h"
#include "core/swoop/swoop.h"

// The readout at surface point (x, y) of a plot laid out as l: the x value,
// then for every drawn swoop (the selected one first) its base name and the
// y of each of its series at that x, interpolated, in the plot's units. On a
// plot of one position against another, the nearest point of each swoop
// instead, with its time from its own entry-gate crossing. Lines end with a
// line feed except the last.
std::string plot_readout(const plot& p, const plot_layout& l, const plot_set_entry& entry,
    const std::vector<const swoop*>& drawn, const display_units& units, double x, double y);

// The index of the selected swoop's sample (top of the turn to stop) a click
// at (x, y) picks: nearest in time on a time axis, nearest on the surface
// otherwise; none when no sample lies in the plot.
std::optional<uint32_t> plot_pick_sample(const plot& p, const plot_layout& l, const plot_set_entry& entry,
    const swoop& s, const display_units& units, double x, double y);

// The player's slider time (ms from the swoop's entry-gate crossing, or from
// its top of the turn) of one of its samples.
int32_t slider_time_of(const swoop& s, uint32_t sample);

// The file's base name, as a label shows it.
std::string swoop_display_name(const swoop& s);
