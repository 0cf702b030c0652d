// SPDX-License-Identifier: GPL-3.0-or-later
// The eight standard plots of an analysed swoop, the series another swoop
// contributes to each as an overlay, and the player marks.
//
// Every constructor takes the swoop (null = no plot), the display units (or
// the metric flag that selects them) and whole_flight (series start at plane_exit
// instead of top_of_turn), and returns a plot owned by the caller, or none
// when memory runs out. The red series of a swoop carries its file as name,
// so a shared plot can find, replace or remove it.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "core/geometry/units.h"
#include "core/geometry/vec_types.h"
#include "core/plot/plot.h"
#include "core/swoop/swoop.h"
#include "core/track/gps_point.h"

// Plot colours (0xRRGGBB).
constexpr uint32_t plot_red = 0xff0000;
constexpr uint32_t plot_blue = 0x1010e0;
constexpr uint32_t plot_green = 0x10b010;
constexpr uint32_t plot_purple = 0x801080;

// --- Constructors -----------------------------------------------------------

// Horizontal, vertical and speed accuracy and satellites over time (s from
// the entry gate, or from the top of the turn when the gate was missed).
std::unique_ptr<plot> plot_gps_accuracy(const swoop* s, const display_units& units, bool whole_flight);
// Dive angle (deg) over height, height falling to the right.
std::unique_ptr<plot> plot_dive_angle(const swoop* s, const display_units& units, bool whole_flight);
// Local x, y, descent and total speed over height down to the bottom of the turn.
std::unique_ptr<plot> plot_dive_speed(const swoop* s, const display_units& units, bool whole_flight);
// Heading unwound through the turn over height; repaired samples dashed.
std::unique_ptr<plot> plot_heading(const swoop* s, const display_units& units, bool whole_flight);
// Flight path seen from above with the course marks and the pond. pond is
// the outline in the swoop's frame (local metres, ended by an all-zero point)
// or empty; with a pond the plot is built even without a swoop.
std::unique_ptr<plot> plot_overhead(
    const swoop* s, const std::vector<vec3>& pond, const display_units& units, bool whole_flight);
// Flight path seen from the side: height over local x.
std::unique_ptr<plot> plot_side_view(const swoop* s, const display_units& units, bool whole_flight);
// Horizontal speed over local x from the entry gate (or the fastest sample)
// to the stop, with the max speed, gate and touchdown marks.
std::unique_ptr<plot> plot_swoop_speed(const swoop* s, const display_units& units);
// Turn rate (deg/s) over height.
std::unique_ptr<plot> plot_turn_rate(const swoop* s, const display_units& units, bool whole_flight);

// --- Series builders (overlays) ---------------------------------------------
// Each builds the one red series of its plot (name = the swoop's file, room
// for 300 points), or none when memory runs out.

// Speed accuracy over time, with its legend text "speed_acc".
std::unique_ptr<series> series_gps_accuracy(const swoop& s, const display_units& units, bool whole_flight);
// Dive angle over height.
std::unique_ptr<series> series_dive_angle(const swoop& s, const display_units& units, bool whole_flight);
// Descent rate over height, without the legend text the plot's own has.
std::unique_ptr<series> series_dive_speed(const swoop& s, const display_units& units, bool whole_flight);
// The unwound heading over height as a chain: solid runs and dashed runs of
// repaired samples, joined.
std::unique_ptr<series> series_heading(const swoop& s, const display_units& units, bool whole_flight);
// The flight path seen from above.
std::unique_ptr<series> series_overhead(const swoop& s, const display_units& units, bool whole_flight);
// The flight path seen from the side.
std::unique_ptr<series> series_side_view(const swoop& s, const display_units& units, bool whole_flight);
// Horizontal speed over local x.
std::unique_ptr<series> series_swoop_speed(const swoop& s, const display_units& units);
// Turn rate over height.
std::unique_ptr<series> series_turn_rate(const swoop& s, const display_units& units, bool whole_flight);

// --- Player marks -----------------------------------------------------------
// Each maps the sample (from swoop_point_at, or null) into its plot's
// coordinates when its time lies within the plot's time span (both ends
// included) and sets the marker named after the swoop's file; otherwise the
// marker is emptied.

void marker_gps_accuracy(plot& p, const swoop& s, const gps_point* sample, const display_units& units);
void marker_dive_angle(plot& p, const swoop& s, const gps_point* sample, const display_units& units);
void marker_dive_speed(plot& p, const swoop& s, const gps_point* sample, const display_units& units);
void marker_heading(plot& p, const swoop& s, const gps_point* sample, const display_units& units);
void marker_overhead(plot& p, const swoop& s, const gps_point* sample, const display_units& units);
void marker_side_view(plot& p, const swoop& s, const gps_point* sample, const display_units& units);
void marker_swoop_speed(plot& p, const swoop& s, const gps_point* sample, const display_units& units);
void marker_turn_rate(plot& p, const swoop& s, const gps_point* sample, const display_units& units);

// --- Sample positions --------------------------------------------------------
// Each gives where a sample (from the swoop's track or swoop_point_at) lies
// in its plot's coordinates, the point its player mark would take; none when
// the sample's time lies outside the plot's time span.

std::optional<vec2> locate_gps_accuracy(const swoop& s, const gps_point& sample, const display_units& units);
std::optional<vec2> locate_dive_angle(const swoop& s, const gps_point& sample, const display_units& units);
std::optional<vec2> locate_dive_speed(const swoop& s, const gps_point& sample, const display_units& units);
std::optional<vec2> locate_heading(const swoop& s, const gps_point& sample, const display_units& units);
std::optional<vec2> locate_overhead(const swoop& s, const gps_point& sample, const display_units& units);
std::optional<vec2> locate_side_view(const swoop& s, const gps_point& sample, const display_units& units);
std::optional<vec2> locate_swoop_speed(const swoop& s, const gps_point& sample, const display_units& units);
std::optional<vec2> locate_turn_rate(const swoop& s, const gps_point& sample, const display_units& units);
