// The right side of the window: the notebook with the "metrics" page (the
// selected swoop's report) and the plot pages, the window's eight plots with
// the grey overlays of ticked swoops and the player's markers, and the
// "view in Google Earth" button.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <string>

// The notebook with its "metrics" page; binds the zoom keys in the group.
GtkWidget* notebook_new(GtkWidget* window, GtkAccelGroup* accel_group);

// The "view in Google Earth" button, insensitive until swoops are open.
GtkWidget* kml_button_new(GtkWidget* window);

// Replaces the plot pages with a layout of 1, 4 or 9 plots per page, keeping
// the plot being looked at in view.
void pages_build(GtkWidget* window, int plots_per_page);

// After a change of selection, gate or option: plots, slider, report, pages.
void refresh_all(GtkWidget* window);

// Builds the eight plots of the selected swoop and the overlays of the
// ticked ones.
void plots_rebuild(GtkWidget* window);

// Adds a ticked row's swoop to the plots in grey, analysed in the selected
// swoop's frame; closes the row when that fails.
void overlay_add(GtkWidget* window, GtkWidget* row);

// Takes a row's overlay and marker off the plots.
void overlay_remove(GtkWidget* window, GtkWidget* row);

// Puts the row's markers at slider time t (ms from the selected swoop's
// entry-gate crossing, or from its top of the turn).
void markers_set(GtkWidget* window, GtkWidget* row, int32_t t);

// Empties the row's markers; markers_clear_all does so for every row drawn.
void markers_clear(GtkWidget* window, GtkWidget* row);
void markers_clear_all(GtkWidget* window);

// The selected swoop's report on the "metrics" page (empty without one).
void report_update(GtkWidget* window);

// Re-renders the plot pages (each when it is next allocated).
void pages_redraw(GtkWidget* window);

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
