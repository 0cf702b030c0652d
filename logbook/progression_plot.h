// SPDX-License-Identifier: GPL-3.0-or-later
// The progression document: how entry-gate speed, max horizontal speed,
// degrees of rotation and rollout height develop over a season, each against
// days since the logbook's first jump, with a trailing mean.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/geometry/units.h"
#include "core/plot/plot.h"
#include "logbook/jump_record.h"

// Jumps in the trailing mean.
constexpr size_t progression_window = 10;

// The mean of each value with the values before it, window values at most.
std::vector<double> trailing_mean(const std::vector<double>& values, size_t window);

// The four plots (entry-gate speed, max horizontal speed, degrees of
// rotation, rollout height), from the analysed rows in any order. A plot
// holds the jumps that have its value: the points (style_dots) and their
// trailing mean (style_line). Empty when no row has a jump time.
std::vector<std::unique_ptr<plot>> progression_plots(
    const std::vector<jump_record>& rows, const display_units& units);

// Draws the four plots on one 792 x 612 pt PDF page.
bool write_progression_pdf(
    const std::string& path, const std::vector<std::unique_ptr<plot>>& plots, std::string& err);
