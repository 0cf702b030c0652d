// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/file_choosers.h"

#include <optional>
#include <string>
#include <vector>

#include "core/platform/glib_handles.h"
#include "core/platform/platform.h"
#include "gui/dialogs.h"
#include "gui/settings.h"

std::unique_ptr<file_choosers_part> file_choosers_new(window_model& m, GtkWidget* window,
    GtkWidget* open_gate_item, GtkWidget* close_gate_item, GtkWidget* open_swoop_item,
    GtkWidget* close_swoop_item)
{
    auto c = std::unique_ptr<file_choosers_part>(
        new file_choosers_part(m, window, open_gate_item, close_gate_item));
    for (GtkWidget* item : { open_gate_item, open_swoop_item })
        g_signal_connect(item, "activate", G_CALLBACK(on_open_activate), c.get());
    for (GtkWidget* item : { close_gate_item, close_swoop_item })
        g_signal_connect(item, "activate", G_CALLBACK(on_close_activate), c.get());
    g_signal_connect(window, "drag-data-received", G_CALLBACK(on_drag_data_received), c.get());
    return c;
}

void on_open_activate(GtkWidget* item, gpointer data)
{
    file_choosers_part& c = *static_cast<file_choosers_part*>(data);
    if (c.model.closing)
        return;
    const bool gate = item == c.open_gate_item;
    // The toolkit's chooser itself cannot start without its settings schema
    // (it would end the program); the files can still come by drop or
    // command line.
    if (!file_chooser_schema_installed()) {
        show_error(c.window,
            "cannot show the file chooser: the settings schema %s is not installed; drop the %s file on the "
            "window instead",
            file_chooser_schema, gate ? "gate" : "swoop");
        return;
    }
    GtkWidget* dialog = gtk_file_chooser_dialog_new(gate ? "Open Gate" : "Open Swoop", GTK_WINDOW(c.window),
        GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel", GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    file_chooser_settings_apply();
    // The chooser opens in the working directory: the folder of the last
    // file of this kind, when it still exists.
    const setting dir_setting = gate ? setting::gate_dir : setting::swoop_dir;
    if (std::optional<std::string> dir = setting_text(dir_setting))
        platform_chdir(dir->c_str());

    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        g_text file(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog)));
        if (file) {
            g_text folder(g_path_get_dirname(file.get()));
            setting_set_text(dir_setting, folder.get());
            if (gate)
                model_open_gate(c.model, file.get(), true);
            else
                model_open_swoops(c.model, { file.get() });
        }
    }
    gtk_widget_destroy(dialog);
}

void on_close_activate(GtkWidget* item, gpointer data)
{
    file_choosers_part& c = *static_cast<file_choosers_part*>(data);
    if (item == c.close_gate_item)
        model_close_gate(c.model);
    else
        model_close_swoop(c.model, c.model.selected);
}

void on_drag_data_received(
    GtkWidget*, GdkDragContext*, gint, gint, GtkSelectionData* data, guint, guint, gpointer part)
{
    file_choosers_part& c = *static_cast<file_choosers_part*>(part);
    if (c.model.closing)
        return;
    g_strv uris(gtk_selection_data_get_uris(data));
    if (!uris)
        return;
    std::vector<std::string> paths;
    for (gchar** uri = uris.get(); *uri; ++uri) {
        // Only local files; a web address among them is passed over.
        g_text path(g_filename_from_uri(*uri, nullptr, nullptr));
        if (path)
            paths.emplace_back(path.get());
    }
    model_open_swoops(c.model, std::move(paths));
}
