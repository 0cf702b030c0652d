// SPDX-License-Identifier: GPL-3.0-or-later
// The window's menu bar: File, View and Help, with mnemonics and
// accelerators. The View menu's items show and change the model's layout
// and time scale; the File menu's items are handed to the file choosers by
// the window.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "gui/window_model.h"

struct menu_bar_part {
    window_model& model;
    GtkWidget* window; // the main window, which "E_xit" closes
    menu_bar_part(window_model& m, GtkWidget* w)
        : model(m)
        , window(w)
    {
    }
    GtkWidget* bar = nullptr;
    GtkWidget* open_gate_item = nullptr; // "Open _gate..."
    GtkWidget* close_gate_item = nullptr; // "Close g_ate..."
    GtkWidget* open_swoop_item = nullptr; // "Open _swoop..."
    GtkWidget* close_swoop_item = nullptr; // "Close s_woop..."
    GtkWidget* export_page_item = nullptr; // "_Export page..."
    GtkWidget* export_samples_item = nullptr; // "Export _samples..."
    GtkWidget* open_video_item = nullptr; // "Open _video..."
    GtkWidget* layout_items[3] {}; // radio items: plots per page 1, 4, 9
    GtkWidget* time_scale_item = nullptr; // "Time _scale"
};

// The menu bar; the accelerators go into the group.
std::unique_ptr<menu_bar_part> menu_bar_new(window_model& m, GtkWidget* window, GtkAccelGroup* accel_group);
