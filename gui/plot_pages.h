// SPDX-License-Identifier: GPL-3.0-or-later
// The right side of the window: the notebook with the "metrics" page (the
// selected swoop's report) and the plot pages, the window's eight plots with
// the overlays of compared swoops (grey, or each in its colour) and the
// player's markers, and the "view in Google Earth" button. Everything here
// follows the model: the selection, the compared swoops, the options and the
// player's time.
//
// The pointer questions a plot: a crosshair and a readout follow it, a click
// moves the player there (with the time scale on), the wheel zooms about
// it (with Shift the x axis only), a drag pans, and a double click or Home
// over it shows the whole plot again. Pages can be exported as images and
// the selected swoop's samples as CSV.
#pragma once

#include <gtk/gtk.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/plot/plot_set.h"
#include "core/swoop/wind.h"
#include "gui/window_model.h"

struct page_state;

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
    std::array<std::optional<plot_view>, plot_set_size> views; // each plot's zoom, or none
    const swoop* views_of = nullptr; // the swoop the zooms belong to
    bool views_metric = false; // the units they are in
    GtkWidget* export_page_item = nullptr; // the File menu's export items, sensitive when they apply
    GtkWidget* export_samples_item = nullptr;
    std::vector<page_state*> pages; // the plot pages there are (each owned by its drawing area)
    // The selected swoop's wind, fitted once per selection (or new analysis)
    // while "wind" is on; none otherwise.
    std::optional<wind_estimate> wind;
    const swoop* wind_of = nullptr; // the swoop it was fitted on
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

// The drawing area of a plot page (the notebook's page is an overlay that
// also holds its readout), and the readout label ("readout") of one.
GtkWidget* page_drawing_area(GtkWidget* page);
GtkWidget* page_readout(GtkWidget* page);

// Where a plot of the set (by index) lies on a page as rendered last, in the
// drawing area's coordinates; none when the page does not show it.
std::optional<plot_layout> page_plot_layout(GtkWidget* page, int plot);

// The File menu's "_Export page..." and "Export _samples...": their handlers
// and the items, which follow what can be exported.
void plot_pages_attach_export(
    plot_pages_part& p, GtkWidget* export_page_item, GtkWidget* export_samples_item);

// Writes the current plot page as shown (overlays, markers, zoom) to PNG,
// SVG or PDF by the name's extension, and the selected swoop's samples as
// CSV. Neither writes over an open gate or swoop ("output file would
// overwrite input file: %s"); failures go to the error dialog. False on
// failure.
bool export_current_page(plot_pages_part& p, const std::string& path);
bool export_selected_samples(plot_pages_part& p, const std::string& path);
