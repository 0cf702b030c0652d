// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs of sk-gui: the error dialog every message goes through and the
// About dialog.
#pragma once

#include <gtk/gtk.h>

// Formats the message and shows it in a modal "Error" dialog until the user
// closes it. The text is shown as written: bytes that are not UTF-8 are
// replaced and markup characters ("&", "<") are escaped.
void show_error(GtkWidget* window, const char* format, ...) G_GNUC_PRINTF(2, 3);

// The About dialog: the logo, "Skimra" and the version text.
void about_show(GtkWidget* window);

// The version text of the About dialog.
constexpr const char* sk_gui_version = "version 2.23 (August 2, 2026)";
