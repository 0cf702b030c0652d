// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers every part of the window uses on its widgets.
#pragma once

#include <gtk/gtk.h>

#include <string>

// Adds a CSS text to the widget's own style context (application priority).
void apply_css(GtkWidget* widget, const char* css);

// A file's base name as a label can show it: file names are bytes, labels UTF-8.
std::string display_base_name(const std::string& path);

// Sets a toggle (check button or check menu item) without running the
// handler connected to it with that data, so that showing a state the model
// already has neither acts nor stores anything again.
void set_toggle_quietly(GtkWidget* toggle, bool active, GCallback handler, gpointer data);

// The toolkit's file-chooser settings schema, and whether it is installed;
// its chooser cannot start without it.
constexpr const char* file_chooser_schema = "org.gtk.Settings.FileChooser";
bool file_chooser_schema_installed();

// Sets the two keys of the toolkit's file-chooser settings the choosers rely
// on (start in the working directory, folders first), only when that schema
// is installed. False when it is not.
bool file_chooser_settings_apply();
