// SPDX-License-Identifier: GPL-3.0-or-later
// The application object of sk-gui: one main window per process; a second
// launch hands its files to the running one over the session bus.
#pragma once

#include <gtk/gtk.h>

constexpr const char* sk_gui_app_id = "com.skimra";

// The application "com.skimra" with G_APPLICATION_HANDLES_OPEN (plus the
// extra flags) and its four handlers connected. Tests add
// G_APPLICATION_NON_UNIQUE so that each test process has its own.
GtkApplication* app_new(GApplicationFlags extra_flags = G_APPLICATION_DEFAULT_FLAGS);

// The whole program: debug flag, locale, program name, application, run.
int app_main(int argc, char** argv);
