// SPDX-License-Identifier: GPL-3.0-or-later
// Display units. Records hold metres and m/s; the analysis states its
// thresholds in feet and mph and the report and plots show either system.
#pragma once

constexpr double feet_per_metre = 3.2808399; // ft per m
constexpr double mph_per_mps = 2.23693629; // mph per m/s
constexpr double kmh_per_mps = 3.6; // km/h per m/s
constexpr double feet_per_mile = 5280; // ft per mile
constexpr double standard_gravity = 9.80665; // m/s^2 per g

// The units a report, a plot or a logbook table shows: feet and mph, or
// metres and km/h. Chosen once where the user chooses (the -m option, the
// "metric units" box) and handed down as one value. The metric flag
// converts to it, so a caller may pass the flag where the units are asked.
struct display_units {
    bool metric = false; // metres and km/h; clear: feet and mph
    double length_factor = feet_per_metre; // display length per metre
    double speed_factor = mph_per_mps; // display speed per m/s
    const char* length_name = "feet"; // axis labels: "feet" or "meters"
    const char* length_short = "ft"; // report lines and legends: "ft" or "m"
    const char* speed_name = "mph"; // "mph" or "km/h"

    constexpr display_units(bool metric_units = false) // NOLINT: the flag is the choice
    {
        if (metric_units) {
            metric = true;
            length_factor = 1;
            speed_factor = kmh_per_mps;
            length_name = "meters";
            length_short = "m";
            speed_name = "km/h";
        }
    }
};

constexpr display_units imperial_units { false };
constexpr display_units metric_units { true };
