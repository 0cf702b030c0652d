// SPDX-License-Identifier: GPL-3.0-or-later
// Files entering sk-gui besides the command line: the gate, swoop and video
// choosers of the File menu, closing from the File menu, and files dropped
// on the window. Each asks the model's commands.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "gui/gtk_helpers.h"
#include "gui/window_model.h"

struct file_choosers_part {
    window_model& model;
    GtkWidget* window; // the main window: parent of the choosers, target of drops
    GtkWidget* open_gate_item = nullptr; // the File menu's items this part handles
    GtkWidget* close_gate_item = nullptr;
    GtkWidget* open_video_item = nullptr;

    file_choosers_part(window_model& m, GtkWidget* w, GtkWidget* open_gate, GtkWidget* close_gate)
        : model(m)
        , window(w)
        , open_gate_item(open_gate)
        , close_gate_item(close_gate)
    {
    }
};

// Connects the File menu's open and close items and the window's drop.
std::unique_ptr<file_choosers_part> file_choosers_new(window_model& m, GtkWidget* window,
    GtkWidget* open_gate_item, GtkWidget* close_gate_item, GtkWidget* open_swoop_item,
    GtkWidget* close_swoop_item);

// Connects "Open _video...", whose chooser attaches a video to the selected
// swoop.
void file_choosers_add_video(file_choosers_part& c, GtkWidget* open_video_item);

// "activate" of "Open _gate...", "Open _swoop..." and "Open _video...".
void on_open_activate(GtkWidget* item, gpointer part);

// "activate" of "Close g_ate..." and "Close s_woop...".
void on_close_activate(GtkWidget* item, gpointer part);

// "drag-data-received" of the window: local files of a URI list open as
// swoops, except videos (see is_video_file), which are attached to the
// selected swoop after the swoops of the same drop have opened.
void on_drag_data_received(GtkWidget* window, GdkDragContext* context, gint x, gint y, GtkSelectionData* data,
    guint info, guint time, gpointer part);
