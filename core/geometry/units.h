// Display units. Records hold metres and m/s; the analysis states its
// thresholds in feet and mph and the report and plots show either system.
#pragma once

constexpr double feet_per_metre = 3.2808399; // ft per m
constexpr double mph_per_mps = 2.23693629; // mph per m/s
constexpr double kmh_per_mps = 3.6; // km/h per m/s
constexpr double feet_per_mile = 5280; // ft per mile
constexpr double standard_gravity = 9.80665; // m/s^2 per g
