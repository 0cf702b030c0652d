// SPDX-License-Identifier: GPL-3.0-or-later
// The main window of sk-gui: its context record, which holds the window's
// model and its parts, its construction and layout, and the key handlers
// that span the swoop list and the plot notebook. The window is where the
// parts meet: each is built on the model here, and the functions below act
// on a window as a whole (for the application, the tests and the
// benchmarks).
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
#include <string>
#include <vector>

#include "gui/file_choosers.h"
#include "gui/menu_bar.h"
#include "gui/options_frame.h"
#include "gui/player.h"
#include "gui/plot_pages.h"
#include "gui/swoop_list.h"
#include "gui/video_page.h"
#include "gui/window_model.h"

// One per main window, attached to it as object data "context" until the
// window is destroyed and freed when its last child has gone. The widget
// pointers belong to the window's containers and stay valid until then.
struct window_context {
    window_model model;
    std::unique_ptr<menu_bar_part> menu;
    std::unique_ptr<options_part> options;
    std::unique_ptr<swoop_list_part> list;
    std::unique_ptr<plot_pages_part> pages;
    std::unique_ptr<player_part> player; // none while the time scale is off
    std::unique_ptr<file_choosers_part> choosers;
    std::unique_ptr<video_page_part> video; // the "video" page, after the plot pages while shown

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
};

// The context of the widget's top-level window; null once the window is
// being destroyed.
window_context* context_of(GtkWidget* widget);

// The bare application window with its context, sized by the stored size or
// the monitor rule, icon, drop target and signals.
GtkWidget* window_new(GtkApplication* app);

// One complete main window: menus, options, gate, swoop list, Google Earth
// button, notebook and player, the stored settings applied and the
// remembered gate reopened.
GtkWidget* window_build(GtkApplication* app);

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

// The window's list and gate, as its swoop list does them (see swoop_list.h).
void swoops_open(GtkWidget* window, std::vector<std::string> paths);
bool gate_open_file(GtkWidget* window, const char* path);
void gate_close(GtkWidget* window);
std::vector<GtkWidget*> swoop_rows(GtkWidget* window);
GtkWidget* selected_row(GtkWidget* window);
void swoop_row_close(GtkWidget* window, GtkWidget* row);

// The window's markers and pages, as its plot pages do them: the row's
// swoop's markers at slider time t (see plot_pages.h).
void markers_set(GtkWidget* window, GtkWidget* row, int32_t t);
void pages_redraw(GtkWidget* window);

// The window's player: whether it plays, and the marks its slider shows
// (none without the time scale).
bool player_playing(GtkWidget* window);
std::vector<scale_mark> player_marks(GtkWidget* window);
