// SPDX-License-Identifier: GPL-3.0-or-later
// The eight plots of a swoop as one set: their index order, the operations
// of each plot, and the cells they take on pages of one, four or nine plots.
//
// The index order is the one every holder of the eight plots uses: overhead
// view, side view, dive speed, swoop speed, dive angle, GPS accuracy, turn
// rate, heading. Every plot starts at the swoop's top of the turn.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/geometry/units.h"
#include "core/geometry/vec_types.h"
#include "core/plot/plot.h"
#include "core/swoop/swoop.h"
#include "core/track/gps_point.h"

constexpr int plot_set_size = 8;

// The operations of one plot of the set.
struct plot_set_entry {
    const char* name; // page name of the plot on a page of its own, e.g. "dive speed"
    // Builds the plot of swoop s (none without a swoop, except the overhead
    // view, which shows a pond alone). pond: outline in the swoop's frame
    // (local metres, ended by an all-zero point) or empty; only the overhead
    // view draws it.
    std::unique_ptr<plot> (*build)(const swoop* s, const std::vector<vec3>& pond, const display_units& units);
    // The red series swoop s contributes to another swoop's plot (a chain for
    // the heading), named after its file; none when memory runs out.
    std::unique_ptr<series> (*overlay)(const swoop& s, const display_units& units);
    // Sets swoop s's player marker to the sample (from swoop_point_at) or
    // empties it (null sample, or a sample outside the plot's time span).
    void (*mark)(plot& p, const swoop& s, const gps_point* sample, const display_units& units);
    // Where a sample lies in the plot (the point its mark would take), or
    // none outside the plot's time span.
    std::optional<vec2> (*locate)(const swoop& s, const gps_point& sample, const display_units& units);
    bool time_axis; // x is the time from the entry gate
    bool position_axes; // one position against another (the path seen from above or from the side)
};

// The eight plots in index order.
extern const std::array<plot_set_entry, plot_set_size> plot_set;

// The eight plots of a swoop in index order (entries may be none).
using plot_set_plots = std::array<std::unique_ptr<plot>, plot_set_size>;
plot_set_plots plot_set_build(const swoop* s, const std::vector<vec3>& pond, const display_units& units);

// One plot on a page: its index in the set and the renderer's cell code
// (0 whole page, 1 to 4 quarters, 5 to 13 ninths; see plot_render).
struct plot_cell {
    int plot; // index in plot_set
    int cell; // cell code
};

// One page of plots: its name and its cells, in index order.
struct plot_page {
    const char* name; // "overhead" ... "heading", "plots 1", "plots 2" or "plots"
    std::vector<plot_cell> cells;
};

// The pages of a layout with 1, 4 or 9 plots per page: eight single pages,
// two pages of four ("plots 1", "plots 2") or one of nine ("plots", its last
// cell empty). Empty for any other count.
const std::vector<plot_page>& plot_set_pages(int plots_per_page);

// The page called name in any layout, or null.
const plot_page* plot_set_page(const char* name);

// Draws the page's plots into their cells of the context's clip area; a plot
// that is none leaves its cell as it is.
void plot_set_render_page(
    cairo_t* cr, const plot_page& page, const plot_set_plots& plots, const plot_render_options& options = {});
