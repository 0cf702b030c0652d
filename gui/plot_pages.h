// SPDX-License-Identifier: GPL-3.0-or-later
// The right side of the window: the notebook with the "metrics" page (the
// selected swoop's report) and the plot pages, the window's eight plots with
// the grey overlays of compared swoops and the player's markers, and the
// "view in Google Earth" button. Everything here follows the model: the
// selection, the compared swoops, the options and the player's time.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>
#include <string>

#include "core/plot/plot_set.h"
#include "gui/window_model.h"

struct plot_pages_part {
    window_model& model;
    GtkWidget* window; // the main window, parent of the dialogs
    plot_pages_part(window_model& m, GtkWidget* w)
        : model(m)
        , window(w)
    {
    }
    GtkWidget* notebook = nullptr; // page 0 "metrics", then the plot pages
    GtkWidget* results_view = nullptr; // the selected swoop's report
    GtkWidget* kml_button = nullptr; // "view in Google Earth"
    plot_set_plots plots; // the selected swoop's plots in the set's index order, each may be none
    uint32_t saved_plot_page = 0; // page to return to across layouts: 0 "metrics", 1 to 8 one plot
    bool pages_built = false; // the first options have built the plot pages
};

// The notebook with its "metrics" page and the "view in Google Earth"
// button, insensitive until a swoop is selected.
std::unique_ptr<plot_pages_part> plot_pages_new(window_model& m, GtkWidget* window);

// Replaces the plot pages with a layout of 1, 4 or 9 plots per page, keeping
// the plot being looked at in view. Pages other parts appended after the
// plot pages stay after them and count for nothing in the page mapping.
void pages_build(plot_pages_part& p, int plots_per_page);

// After a change of selection or option: plots, report, markers, pages.
void refresh_all(plot_pages_part& p);

// Builds the eight plots of the selected swoop and the overlays of the
// compared ones.
void plots_rebuild(plot_pages_part& p);

// Adds a compared swoop to the plots in grey (it has been analysed in the
// selected swoop's frame); closes it when memory runs out.
void overlay_add(plot_pages_part& p, swoop& s);

// Takes a swoop's overlay and marker off the plots.
void overlay_remove(plot_pages_part& p, const swoop& s);

// Puts the swoop's markers at slider time t (ms from the selected swoop's
// entry-gate crossing, or from its top of the turn).
void markers_set(plot_pages_part& p, const swoop& s, int32_t t);

// Empties the swoop's markers; markers_clear_all does so for every swoop drawn.
void markers_clear(plot_pages_part& p, const swoop& s);
void markers_clear_all(plot_pages_part& p);

// The selected swoop's report on the "metrics" page (empty without one).
void report_update(plot_pages_part& p);

// Re-renders the plot pages (each when it is next allocated); other parts'
// pages are left alone.
void pages_redraw(plot_pages_part& p);

// The plot sheet on a page of width x height: a landscape 11 x 8.5 sheet
// (22:17), as large as fits, centred on the page.
struct plot_sheet {
    double x0, y0; // top left corner
    double width, height;
};
plot_sheet plot_sheet_for(double width, double height);

// Renders done by plot pages since the program started (for tests: exposing
// a page must not render it again).
uint64_t plot_page_renders();

// The temporary KML file name for a swoop file: its base name cut at the
// last ".", plus ".kml".
std::string kml_temp_name(const char* swoop_file);
