// SPDX-License-Identifier: GPL-3.0-or-later
// The report's lines on where its heights came from, appended after the
// results report's last line when heights from the barometer were asked for.
#pragma once

#include <string>

#include "core/geometry/units.h"
#include "core/sensor/baro_fusion.h"

// With the gate heights of a fused swoop: a blank line, "heights from:"
// barometer and GPS, then the entry- and exit-gate heights above the stop
// with their 1-sigma in the display units (dashes for a gate not crossed).
// With none (null): the blank line and "heights from:" GPS (no sensor file).
std::string report_baro_lines(const gate_heights* heights, const display_units& u);
