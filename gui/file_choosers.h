// Files entering sk-gui besides the command line: the gate and swoop
// choosers of the File menu, closing from the File menu, and files dropped
// on the window.
#pragma once

#include <gtk/gtk.h>

// "activate" of "Open _gate..." and "Open _swoop...".
void on_open_activate(GtkWidget* item, gpointer window);

// "activate" of "Close g_ate..." and "Close s_woop...".
void on_close_activate(GtkWidget* item, gpointer window);

// "drag-data-received" of the window: local files of a URI list open as swoops.
void on_drag_data_received(GtkWidget* window, GdkDragContext* context, gint x, gint y, GtkSelectionData* data,
    guint info, guint time, gpointer user_data);

// Whether the toolkit's file-chooser settings schema is installed; its
// chooser cannot start without it.
bool file_chooser_schema_installed();

// Sets the two keys of the toolkit's file-chooser settings the choosers rely
// on (start in the working directory, folders first), only when that schema
// is installed. False when it is not.
bool file_chooser_settings_apply();
