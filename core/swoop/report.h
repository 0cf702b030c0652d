// SPDX-License-Identifier: GPL-3.0-or-later
// The results report of an analysed swoop.
#pragma once

#include <string>

#include "core/geometry/units.h"
#include "core/swoop/swoop.h"

// The text of the swoop's results (from its last analysis) in imperial
// (feet, mph) or metric (metres, km/h) units: seventeen lines, each ended by
// a line feed. A value that is not a finite number prints as dashes as wide
// as its field (four at least), as missing values do. "no points found in
// track" when the results hold no samples.
std::string swoop_report(const swoop& s, const display_units& units, const char** err);
