// SPDX-License-Identifier: GPL-3.0-or-later
// A plot page written to a file as the window shows it: PNG, SVG or PDF by
// the name's extension (PNG for any other).
#pragma once

#include <string>

#include "core/plot/plot_set.h"

// The smallest text size (px) on the window's pages and their exports.
constexpr double page_min_font_size = 9;

enum class export_format { png, svg, pdf };

// The format a file name asks for: ".svg" and ".pdf" (any letter case) give
// theirs, anything else PNG.
export_format export_format_of(const std::string& path);

// The name to write: the one chosen, with ".png" added when it has no
// extension at all.
std::string export_path_for(const std::string& chosen);

// Draws the page's plots (with their overlays, markers and zoom) on a white
// sheet of width x height (px, or points for SVG and PDF), texts at least
// page_min_font_size; a PNG is drawn at the scale factor. "failed to write
// file: %s" when it cannot be written.
void page_export(const std::string& path, const plot_page& page, const plot_set_plots& plots, double width,
    double height, int scale, const char** err);
