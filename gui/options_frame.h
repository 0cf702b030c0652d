// SPDX-License-Identifier: GPL-3.0-or-later
// The "options" frame ("metric units", "draw pond", "colour compared
// swoops", "wind"), and the stored
// settings applied to a new window's model.
#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "gui/window_model.h"

struct options_part {
    window_model& model;
    explicit options_part(window_model& m)
        : model(m)
    {
    }
    GtkWidget* frame = nullptr; // "options"
    GtkWidget* metric_check = nullptr; // "metric units"
    GtkWidget* pond_check = nullptr; // "draw pond", sensitive while a gate is open
    GtkWidget* color_check = nullptr; // "colour compared swoops"
    GtkWidget* baro_check = nullptr; // "barometric heights"
    GtkWidget* wind_check = nullptr; // "wind"
};

// The "options" frame; its boxes follow the model's options and gate.
std::unique_ptr<options_part> options_frame_new(window_model& m);

// Sets the model's options from the stored settings while the window is
// built, without storing anything.
void settings_apply(window_model& m);
