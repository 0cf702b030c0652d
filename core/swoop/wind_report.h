// SPDX-License-Identifier: GPL-3.0-or-later
// The wind's lines of the results report.
#pragma once

#include <string>

#include "core/geometry/units.h"
#include "core/swoop/swoop.h"
#include "core/swoop/wind.h"

// The lines the wind adds after the results report: a blank line, the wind
// (its speed, the direction it blows from in whole degrees true, and the
// speed's 1-sigma), the horizontal airspeed at the entry-gate crossing and
// the highest from rollout to stop, each ended by a line feed, in the units
// given. Without an estimate the wind line gives the reason and both
// airspeeds print as "----"; so does an entry gate the swoop missed.
std::string report_wind_lines(const swoop& s, const wind_estimate& w, const display_units& units);

// The direction a wind blows from (degrees true) as the report prints it:
// rounded to a whole degree in [0, 360), so that 359.6 gives 0.
double wind_from_rounded(double from);
