// The window's menu bar: File, View and Help, with mnemonics and
// accelerators.
#pragma once

#include <gtk/gtk.h>

// The menu bar; its items go into the window's context, their accelerators
// into the group.
GtkWidget* menu_bar_new(GtkWidget* window, GtkAccelGroup* accel_group);
