// SPDX-License-Identifier: GPL-3.0-or-later
// What the wind adds to the plots of a swoop: the airspeed beside the ground
// speed, and an arrow where the wind blows on the overhead view.
#pragma once

#include "core/geometry/units.h"
#include "core/plot/plot.h"
#include "core/swoop/swoop.h"
#include "core/swoop/wind.h"

// Adds the dashed horizontal airspeed (dashed in the legend too) (legend "horz airspeed") over local x
// to the swoop-speed plot, on the samples the ground speed shows; nothing
// without an estimate. False when memory runs out (the plot unchanged).
bool plot_add_airspeed(plot& swoop_speed, const swoop& s, const wind_estimate& w, const display_units& units);

// Sets the overhead view's corner arrow to the wind: pointing where it blows
// to, labelled "wind %.1f <speed unit>"; "wind ----" without an estimate
// (no arrow).
void plot_set_wind_arrow(plot& overhead, const wind_estimate& w, const display_units& units);
