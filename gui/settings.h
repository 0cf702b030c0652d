// The settings sk-gui keeps between runs, the typed reads and writes on the
// preference store, the "options" frame and the handler of every setting the
// user changes in the window.
//
// Keys (all values are text):
//   "plots_per_page"  "1", "4" or "9"        default 1      layout items of the View menu
//   "enable_scale"    "true" / "false"        default false  View > Time scale
//   "use_metric"      "true" / "false"        default false  "metric units"
//   "draw_pond"       "true" / "false"        default true   "draw pond"
//   "window_width"    decimal integer         default none   stored when the window closes
//   "window_height"   decimal integer         default none
//   "gate_dir"        folder path             none           gate chooser
//   "swoop_dir"       folder path             none           swoop chooser
//   "gate_file"       file path               none           the open gate, reopened at start
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

// True exactly when the stored text is "true"; the default when absent.
bool pref_get_bool(const char* key, bool fallback);

// The stored text as a decimal number (leading blanks skipped, reading stops
// where the number does) truncated toward zero; 0 for a text that is not a
// number or whose value no 32-bit integer holds ("1e20", "nan", "inf"); the
// default when absent.
int32_t pref_get_int(const char* key, int32_t fallback);

// Stores the value as "%d".
bool pref_set_int(const char* key, int32_t value);

// A stored window width or height, or 0 when none is stored or it lies
// outside 1 to 16384 pixels (GTK refuses a negative size, and no screen shows
// a larger one): 0 lets the monitor rule choose.
int32_t stored_window_size(const char* key);

// The "options" frame with "metric units" and "draw pond".
GtkWidget* options_frame_new(GtkWidget* window);

// Applies the stored layout, time scale, units and pond setting while the
// window is built, without storing anything or rebuilding twice.
void settings_apply(GtkWidget* window);

// "toggled" of the layout items, "Time _scale", "metric units" and "draw
// pond": acts on the change and stores it.
void on_setting_toggled(GtkWidget* widget, gpointer window);
