// The main window of sk-gui: its context record, its construction and
// layout, the CSS helper and the key handler shared by the swoop list and
// the plot notebook.
//
// Layout grid (column, row, width, height):
//   menu bar (0, 0, 2, 1)
//   options frame (0, 1)   notebook (1, 1, 1, 3)
//   gate frame (0, 2)
//   swoop frame (0, 3)
//   Google Earth button (0, 4)   player box (1, 4)
// With the time scale off the player box is gone and the notebook covers
// rows 1 to 4.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/gate/gate.h"
#include "core/geometry/vec_types.h"
#include "core/plot/plot_set.h"

// One per main window, attached to it as object data "context" and freed
// when the window is destroyed. The widget pointers belong to the window's
// containers and stay valid until then.
struct window_context {
    GtkWidget* pond_check = nullptr; // "draw pond"
    GtkWidget* metric_check = nullptr; // "metric units"
    GtkWidget* gate_label = nullptr; // base name of the open gate, or "(none selected)"
    GtkWidget* swoop_list = nullptr; // list box, one row per open swoop
    GtkWidget* kml_button = nullptr; // "view in Google Earth"
    GtkWidget* grid = nullptr; // the window's layout grid
    GtkWidget* open_gate_item = nullptr; // "Open _gate..."
    GtkWidget* close_gate_item = nullptr; // "Close g_ate..."
    GtkWidget* layout_1x1_item = nullptr; // radio items: plots per page 1, 4, 9
    GtkWidget* layout_2x2_item = nullptr;
    GtkWidget* layout_3x3_item = nullptr;
    GtkWidget* time_scale_item = nullptr; // "Time _scale"
    GtkWidget* notebook = nullptr; // page 0 "metrics", then the plot pages
    GtkWidget* results_view = nullptr; // the selected swoop's report
    GtkWidget* time_scale = nullptr; // the player's slider; none while the time scale is off
    int32_t window_width = 0; // pixels, last allocated size; 0 until the first allocation
    int32_t window_height = 0;
    uint32_t saved_plot_page = 0; // page to return to across layouts: 0 "metrics", 1 to 8 one plot
    plot_set_plots plots; // the selected swoop's plots in the set's index order, each may be none
    std::unique_ptr<::gate> gate; // the open gate, or none
    std::vector<vec3> pond; // the window's copy of the gate's pond outline in the selected swoop's
                            // frame (local metres, ended by x = y = 0); empty without a gate
    double pond_angle = 0; // radians by which pond is turned
};

// The context of the widget's top-level window; null once the window is
// being destroyed (handlers that run during the teardown then do nothing).
window_context* context_of(GtkWidget* widget);

// The bare application window with its context, sized by the stored size or
// the monitor rule, icon, drop target and signals.
GtkWidget* window_new(GtkApplication* app);

// One complete main window: menus, options, gate, swoop list, Google Earth
// button, notebook and player, the stored settings applied and the
// remembered gate reopened.
GtkWidget* window_build(GtkApplication* app);

// Adds a CSS text to the widget's own style context (application priority).
void apply_css(GtkWidget* widget, const char* css);

// "key-press-event" of the swoop list and the notebook: Tab does nothing,
// Left and Right move to the notebook's pages, Up and Down to the list's
// rows (with wrap-around).
gboolean on_key_press(GtkWidget* widget, GdkEventKey* event, gpointer data);

// Accelerator of the zoom keys ("+", "=" and "-", with and without Ctrl):
// activates the layout item with fewer ("+", "=") or more ("-") plots per
// page. Returns FALSE.
gboolean on_zoom_key(
    GtkAccelGroup* group, GObject* acceleratable, guint keyval, GdkModifierType modifier, gpointer data);

// The monitor rule for a window without a stored size: 1370 x 980 on a
// monitor wider than 1376 and taller than 979 pixels, else 994 x 690.
void window_default_size(int monitor_width, int monitor_height, int* width, int* height);
