#include "gui/file_choosers.h"

#include <optional>
#include <string>
#include <vector>

#include "core/platform/glib_handles.h"
#include "core/platform/platform.h"
#include "core/platform/pref_store.h"
#include "gui/dialogs.h"
#include "gui/swoop_list.h"
#include "gui/window.h"

namespace {

constexpr const char* chooser_schema = "org.gtk.Settings.FileChooser";

} // namespace

bool file_chooser_schema_installed()
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema
        = source ? g_settings_schema_source_lookup(source, chooser_schema, TRUE) : nullptr;
    if (!schema)
        return false;
    g_settings_schema_unref(schema);
    return true;
}

bool file_chooser_settings_apply()
{
    // The keys belong to the toolkit's own schema: on a desktop without it
    // g_settings_new would abort the program, losing the user's work.
    if (!file_chooser_schema_installed())
        return false;
    gobject_ptr<GSettings> settings(g_settings_new(chooser_schema));
    g_settings_set_enum(settings.get(), "startup-mode", 1); // start in the current working directory
    g_settings_set_boolean(settings.get(), "sort-directories-first", TRUE);
    return true;
}

void on_open_activate(GtkWidget* item, gpointer data)
{
    GtkWidget* window = GTK_WIDGET(data);
    window_context* ctx = context_of(window);
    if (!ctx)
        return;
    const bool gate = item == ctx->open_gate_item;
    // The toolkit's chooser itself cannot start without its settings schema
    // (it would end the program); the files can still come by drop or
    // command line.
    if (!file_chooser_schema_installed()) {
        show_error(window,
            "cannot show the file chooser: the settings schema %s is not installed; drop the %s file on the "
            "window instead",
            chooser_schema, gate ? "gate" : "swoop");
        return;
    }
    GtkWidget* dialog = gtk_file_chooser_dialog_new(gate ? "Open Gate" : "Open Swoop", GTK_WINDOW(window),
        GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel", GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    file_chooser_settings_apply();
    // The chooser opens in the working directory: the folder of the last
    // file of this kind, when it still exists.
    const char* dir_key = gate ? "gate_dir" : "swoop_dir";
    if (std::optional<std::string> dir = pref_get(dir_key))
        platform_chdir(dir->c_str());

    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        g_text file(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog)));
        if (file) {
            g_text folder(g_path_get_dirname(file.get()));
            pref_set(dir_key, folder.get());
            if (!gate)
                swoops_open(window, { file.get() });
            else if (gate_open_file(window, file.get()))
                pref_set("gate_file", file.get());
        }
    }
    gtk_widget_destroy(dialog);
}

void on_close_activate(GtkWidget* item, gpointer data)
{
    GtkWidget* window = GTK_WIDGET(data);
    window_context* ctx = context_of(window);
    if (!ctx)
        return;
    if (item == ctx->close_gate_item) {
        gate_close(window);
    } else if (GtkWidget* row = selected_row(window)) {
        swoop_row_close(window, row);
    }
}

void on_drag_data_received(
    GtkWidget* window, GdkDragContext*, gint, gint, GtkSelectionData* data, guint, guint, gpointer)
{
    if (!context_of(window))
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
    swoops_open(window, std::move(paths));
}
