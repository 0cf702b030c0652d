// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/app.h"

#include <string>
#include <vector>

#include "core/platform/glib_handles.h"
#include "gui/dialogs.h"
#include "gui/resources.h"
#include "gui/window.h"

namespace {

// The application's window: the active one, or a new one.
GtkWidget* main_window(GtkApplication* app)
{
    GtkWindow* active = gtk_application_get_active_window(app);
    return active ? GTK_WIDGET(active) : window_build(app);
}

void on_startup(GApplication*, gpointer)
{
    GtkSettings* settings = gtk_settings_get_default();
    if (settings)
        g_object_set(settings, "gtk-theme-name", "Adwaita", "gtk-icon-theme-name", "Adwaita", nullptr);
}

void on_activate(GApplication* app, gpointer)
{
    gtk_window_present(GTK_WINDOW(main_window(GTK_APPLICATION(app))));
}

// Files of the command line, or handed over by a second launch: always
// opened as swoops.
void on_open(GApplication* app, GFile** files, gint count, const gchar*, gpointer)
{
    GtkWidget* window = main_window(GTK_APPLICATION(app));
    gtk_window_present(GTK_WINDOW(window));
    std::vector<std::string> paths;
    for (gint i = 0; i < count; i++) {
        g_text path(g_file_get_path(files[i]));
        if (path)
            paths.emplace_back(path.get());
    }
    swoops_open(window, std::move(paths));
}

void on_shutdown(GApplication*, gpointer) { }

} // namespace

GtkApplication* app_new(GApplicationFlags extra_flags)
{
    GtkApplication* app
        = gtk_application_new(sk_gui_app_id, GApplicationFlags(G_APPLICATION_HANDLES_OPEN | extra_flags));
    g_signal_connect(app, "activate", G_CALLBACK(on_activate), nullptr);
    g_signal_connect(app, "open", G_CALLBACK(on_open), nullptr);
    g_signal_connect(app, "shutdown", G_CALLBACK(on_shutdown), nullptr);
    g_signal_connect(app, "startup", G_CALLBACK(on_startup), nullptr);
    return app;
}

int app_main(int argc, char** argv)
{
    gtk_set_debug_flags(gtk_get_debug_flags() | 0x2000);
    gtk_disable_setlocale(); // numbers are written and read with a decimal point
    g_set_prgname("skimra");
    resource_glib_register_resource();
    gobject_ptr<GtkApplication> app(app_new());
    const int status = g_application_run(G_APPLICATION(app.get()), argc, argv);
    app.reset();
    resource_glib_unregister_resource();
    return status;
}
