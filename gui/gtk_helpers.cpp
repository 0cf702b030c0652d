// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/gtk_helpers.h"

#include "core/platform/glib_handles.h"

void apply_css(GtkWidget* widget, const char* css)
{
    gobject_ptr<GtkCssProvider> provider(gtk_css_provider_new());
    gtk_css_provider_load_from_data(provider.get(), css, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(provider.get()),
        GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

std::string display_base_name(const std::string& path)
{
    g_text name(g_filename_display_basename(path.c_str()));
    return name.get();
}

void set_toggle_quietly(GtkWidget* toggle, bool active, GCallback handler, gpointer data)
{
    g_signal_handlers_block_by_func(toggle, gpointer(handler), data);
    if (GTK_IS_CHECK_MENU_ITEM(toggle))
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(toggle), active);
    else
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(toggle), active);
    g_signal_handlers_unblock_by_func(toggle, gpointer(handler), data);
}

bool file_chooser_schema_installed()
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema
        = source ? g_settings_schema_source_lookup(source, file_chooser_schema, TRUE) : nullptr;
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
    gobject_ptr<GSettings> settings(g_settings_new(file_chooser_schema));
    g_settings_set_enum(settings.get(), "startup-mode", 1); // start in the current working directory
    g_settings_set_boolean(settings.get(), "sort-directories-first", TRUE);
    return true;
}
