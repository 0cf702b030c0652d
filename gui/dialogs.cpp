// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/dialogs.h"

#include <cstdarg>

#include "core/platform/glib_handles.h"

void show_error(GtkWidget* window, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    g_text text(g_strdup_vprintf(format, args));
    va_end(args);
    // Paths are bytes and may hold "&" or "<": GTK shows an empty dialog for
    // text that is not UTF-8 or not valid markup, so both are made safe here.
    g_text valid(g_utf8_make_valid(text.get(), -1));
    g_text markup(g_markup_escape_text(valid.get(), -1));

    GtkWidget* dialog = gtk_message_dialog_new(window ? GTK_WINDOW(window) : nullptr, GTK_DIALOG_MODAL,
        GTK_MESSAGE_ERROR, GTK_BUTTONS_CLOSE, nullptr);
    gtk_message_dialog_set_markup(GTK_MESSAGE_DIALOG(dialog), markup.get());
    // The error icon beside the text (GTK 3 draws none by itself), and room
    // between the text and the button.
    GtkWidget* icon = gtk_image_new_from_icon_name("dialog-error", GTK_ICON_SIZE_DIALOG);
    gtk_widget_show(icon);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), icon);
    G_GNUC_END_IGNORE_DEPRECATIONS
    GtkWidget* message = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
    g_object_set(
        message, "margin-start", 6, "margin-end", 12, "margin-top", 12, "margin-bottom", 12, nullptr);
    gtk_container_set_border_width(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), 6);
    gtk_window_set_title(GTK_WINDOW(dialog), "Error");
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

void about_show(GtkWidget* window)
{
    GtkWidget* dialog = gtk_about_dialog_new();
    if (gobject_ptr<GdkPixbuf> logo { gdk_pixbuf_new_from_resource("/sk-256.png", nullptr) })
        gtk_about_dialog_set_logo(GTK_ABOUT_DIALOG(dialog), logo.get());
    gtk_about_dialog_set_program_name(GTK_ABOUT_DIALOG(dialog), "Skimra");
    gtk_about_dialog_set_version(GTK_ABOUT_DIALOG(dialog), sk_gui_version);
    gtk_about_dialog_set_license_type(GTK_ABOUT_DIALOG(dialog), GTK_LICENSE_GPL_3_0);
    gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(window));
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}
