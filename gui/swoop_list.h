// SPDX-License-Identifier: GPL-3.0-or-later
// The left column of the window: the open gate and the list of open swoops,
// one row per swoop owning its record, with a tick box to compare it and a
// close button. This part analyses the swoops: each against the window's
// frame (the gate's, or its own) when it is opened or selected and when the
// gate changes, and each compared swoop in the selected one's frame. It
// installs the model's commands to open and close gates and swoops.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "core/swoop/swoop.h"
#include "gui/window_model.h"

struct swoop_list_part {
    window_model& model;
    GtkWidget* window; // the main window, parent of the dialogs
    swoop_list_part(window_model& m, GtkWidget* w)
        : model(m)
        , window(w)
    {
    }
    GtkWidget* gate_frame = nullptr; // "gate"
    GtkWidget* gate_label = nullptr; // base name of the open gate, or "(none selected)"
    GtkWidget* swoop_frame = nullptr; // "swoop"
    GtkWidget* list = nullptr; // list box, one row per open swoop
};

// The "gate" and "swoop" frames; installs the model's commands.
std::unique_ptr<swoop_list_part> swoop_list_new(window_model& m, GtkWidget* window);

// Opens a gate file as the window's gate and checks every open swoop against
// it. False when it cannot be opened, or when the user closed it again
// because of swoops too far away. remember: store it as the gate to reopen.
bool gate_open_file(swoop_list_part& l, const char* path, bool remember = false);

// Closes the gate (nothing without one) and forgets it in the preferences.
void gate_close(swoop_list_part& l);

// At window start: reopens the gate the preferences remember, forgetting it
// when it no longer opens.
void gate_restore(swoop_list_part& l);

// Opens swoop files as rows (sorted by path, byte order) and selects the
// first new one.
void swoops_open(swoop_list_part& l, std::vector<std::string> paths);

// True when a row holds the file already (and says so in the error dialog).
bool swoop_is_open(swoop_list_part& l, const char* path);

// A new row owning the swoop, appended to the list.
GtkWidget* swoop_row_new(swoop_list_part& l, std::unique_ptr<swoop> s);

// Closes a row; when it is the selected one, its neighbour is selected. The
// keyboard focus stays in the list.
void swoop_row_close(swoop_list_part& l, GtkWidget* row);

// Analyses the swoop in the window's frame (the gate's, or its own). False
// when it does not fit: distance_miles > 0 when it lies too far from the gate
// (nothing shown), else its error has been shown.
bool swoop_check_gate(swoop_list_part& l, swoop& s, double* distance_miles);

// The swoop a row owns, and its tick box.
swoop* row_swoop(GtkWidget* row);
GtkWidget* row_check(GtkWidget* row);

// The rows of the list in order, the selected row (or null), and the row of
// a swoop (or null).
std::vector<GtkWidget*> swoop_rows(const swoop_list_part& l);
GtkWidget* selected_row(const swoop_list_part& l);
GtkWidget* row_of(const swoop_list_part& l, const swoop* s);

// "row-selected" of the list.
void on_row_selected(GtkListBox* list, GtkListBoxRow* row, gpointer part);
