// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/file_choosers.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/glib_handles.h"
#include "core/platform/platform.h"
#include "gui/dialogs.h"
#include "gui/settings.h"
#include "gui/video_sync.h"

namespace {

// The video chooser shows videos first, any file on request.
void add_video_filters(GtkWidget* dialog)
{
    GtkFileFilter* videos = gtk_file_filter_new();
    gtk_file_filter_set_name(videos, "videos (mp4, mov, mkv, webm, avi)");
    gtk_file_filter_add_custom(
        videos, GTK_FILE_FILTER_DISPLAY_NAME,
        [](const GtkFileFilterInfo* info, gpointer) -> gboolean {
            return info->display_name && is_video_file(info->display_name);
        },
        nullptr, nullptr);
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), videos);
    GtkFileFilter* all = gtk_file_filter_new();
    gtk_file_filter_set_name(all, "all files");
    gtk_file_filter_add_pattern(all, "*");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), all);
}

} // namespace

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

void file_choosers_add_video(file_choosers_part& c, GtkWidget* open_video_item)
{
    c.open_video_item = open_video_item;
    g_signal_connect(open_video_item, "activate", G_CALLBACK(on_open_activate), &c);
}

void on_open_activate(GtkWidget* item, gpointer data)
{
    file_choosers_part& c = *static_cast<file_choosers_part*>(data);
    if (c.model.closing)
        return;
    const bool gate = item == c.open_gate_item;
    const bool video = item == c.open_video_item;
    // The toolkit's chooser itself cannot start without its settings schema
    // (it would end the program); the files can still come by drop or
    // command line.
    if (!file_chooser_schema_installed()) {
        show_error(c.window,
            "cannot show the file chooser: the settings schema %s is not installed; drop the %s file on the "
            "window instead",
            file_chooser_schema,
            gate        ? "gate"
                : video ? "video"
                        : "swoop");
        return;
    }
    const char* title = gate ? "Open Gate" : video ? "Open Video" : "Open Swoop";
    GtkWidget* dialog = gtk_file_chooser_dialog_new(title, GTK_WINDOW(c.window), GTK_FILE_CHOOSER_ACTION_OPEN,
        "_Cancel", GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    if (video)
        add_video_filters(dialog);
    file_chooser_settings_apply();
    // The chooser opens in the working directory: the folder of the last
    // file of this kind, when it still exists.
    const setting dir_setting = gate ? setting::gate_dir : video ? setting::video_dir : setting::swoop_dir;
    if (std::optional<std::string> dir = setting_text(dir_setting))
        platform_chdir(dir->c_str());

    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        g_text file(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog)));
        if (file) {
            g_text folder(g_path_get_dirname(file.get()));
            setting_set_text(dir_setting, folder.get());
            if (gate)
                model_open_gate(c.model, file.get(), true);
            else if (video)
                model_attach_video(c.model, file.get());
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
    std::vector<std::string> paths, videos;
    for (gchar** uri = uris.get(); *uri; ++uri) {
        // Only local files; a web address among them is passed over.
        g_text path(g_filename_from_uri(*uri, nullptr, nullptr));
        if (path)
            (is_video_file(path.get()) ? videos : paths).emplace_back(path.get());
    }
    if (!paths.empty() || videos.empty())
        model_open_swoops(c.model, std::move(paths));
    // One video per swoop: the first by path is attached to the selected
    // swoop (the first new one of the same drop), the others are refused.
    std::sort(videos.begin(), videos.end());
    for (size_t i = 0; i < videos.size() && !c.model.closing; i++) {
        if (i == 0)
            model_attach_video(c.model, videos[0]);
        else
            show_error(c.window, "one video per swoop: %s is not attached", videos[i].c_str());
    }
}
