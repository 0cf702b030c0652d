// The left column of the window: the open gate and the list of open swoops,
// one row per swoop owning its record, with a tick box to compare it and a
// close button.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "core/swoop/swoop.h"

// The "gate" frame with the gate's name.
GtkWidget* gate_frame_new(GtkWidget* window);

// The "swoop" frame with the list of swoops.
GtkWidget* swoop_frame_new(GtkWidget* window);

// Opens a gate file as the window's gate and checks every open swoop against
// it. False when it cannot be opened, or when the user closed it again
// because of swoops too far away.
bool gate_open_file(GtkWidget* window, const char* path);

// Closes the gate (nothing without one) and forgets it in the preferences.
void gate_close(GtkWidget* window);

// At window start: reopens the gate the preferences remember, forgetting it
// when it no longer opens.
void gate_restore(GtkWidget* window);

// Opens swoop files as rows (sorted by path, byte order) and selects the
// first new one.
void swoops_open(GtkWidget* window, std::vector<std::string> paths);

// True when a row holds the file already (and says so in the error dialog).
bool swoop_is_open(GtkWidget* window, const char* path);

// A new row owning the swoop, appended to the list.
GtkWidget* swoop_row_new(GtkWidget* window, std::unique_ptr<swoop> s);

// Closes a row; when it is the selected one, its neighbour is selected.
void swoop_row_close(GtkWidget* window, GtkWidget* row);

// Analyses the swoop in the window's frame (the gate's, or its own). False
// when it does not fit: distance_miles > 0 when it lies too far from the gate
// (nothing shown), else its error has been shown.
bool swoop_check_gate(GtkWidget* window, swoop& s, float* distance_miles);

// Turns the window's pond copy to the angle (radians).
void pond_rotate(GtkWidget* window, double angle);

// The swoop a row owns, and its tick box.
swoop* row_swoop(GtkWidget* row);
GtkWidget* row_check(GtkWidget* row);

// The rows of the list in order, and the selected row (or null).
std::vector<GtkWidget*> swoop_rows(GtkWidget* window);
GtkWidget* selected_row(GtkWidget* window);

// "row-selected" of the list.
void on_row_selected(GtkListBox* list, GtkListBoxRow* row, gpointer window);
