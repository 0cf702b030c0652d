#include "gui/menu_bar.h"

#include "gui/dialogs.h"
#include "gui/file_choosers.h"
#include "gui/settings.h"
#include "gui/window.h"

namespace {

// A menu item with a mnemonic, appended to the menu, with margin 3.
GtkWidget* add_item(GtkWidget* menu, const char* label)
{
    GtkWidget* item = gtk_menu_item_new_with_mnemonic(label);
    g_object_set(item, "margin", 3, nullptr);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    return item;
}

void add_accelerator(GtkWidget* item, GtkAccelGroup* group, guint key, GdkModifierType modifiers)
{
    gtk_widget_add_accelerator(item, "activate", group, key, modifiers, GTK_ACCEL_VISIBLE);
}

// A top-level menu of the bar with its submenu.
GtkWidget* add_menu(GtkWidget* bar, const char* label)
{
    GtkWidget* top = gtk_menu_item_new_with_mnemonic(label);
    GtkWidget* menu = gtk_menu_new();
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), menu);
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
    return menu;
}

void add_separator(GtkWidget* menu)
{
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
}

} // namespace

GtkWidget* menu_bar_new(GtkWidget* window, GtkAccelGroup* accel_group)
{
    window_context* ctx = context_of(window);
    GtkWidget* bar = gtk_menu_bar_new();

    GtkWidget* file = add_menu(bar, "_File");
    ctx->open_gate_item = add_item(file, "Open _gate...");
    add_accelerator(ctx->open_gate_item, accel_group, GDK_KEY_g, GDK_CONTROL_MASK);
    ctx->close_gate_item = add_item(file, "Close g_ate...");
    add_accelerator(ctx->close_gate_item, accel_group, GDK_KEY_w, GDK_CONTROL_MASK);
    add_separator(file);
    GtkWidget* open_swoop = add_item(file, "Open _swoop...");
    add_accelerator(open_swoop, accel_group, GDK_KEY_o, GDK_CONTROL_MASK);
    GtkWidget* close_swoop = add_item(file, "Close s_woop...");
    add_accelerator(close_swoop, accel_group, GDK_KEY_Delete, GdkModifierType(0));
    add_separator(file);
    GtkWidget* exit = add_item(file, "E_xit");
    add_accelerator(exit, accel_group, GDK_KEY_q, GDK_CONTROL_MASK);
    for (GtkWidget* item : { ctx->open_gate_item, open_swoop })
        g_signal_connect(item, "activate", G_CALLBACK(on_open_activate), window);
    for (GtkWidget* item : { ctx->close_gate_item, close_swoop })
        g_signal_connect(item, "activate", G_CALLBACK(on_close_activate), window);
    g_signal_connect_swapped(exit, "activate", G_CALLBACK(gtk_widget_destroy), window);

    GtkWidget* view = add_menu(bar, "_View");
    GSList* group = nullptr;
    GtkWidget** layouts[] = { &ctx->layout_1x1_item, &ctx->layout_2x2_item, &ctx->layout_3x3_item };
    const char* labels[] = { "_1x1 plots", "_2x2 plots", "_3x3 plots" };
    for (int i = 0; i < 3; i++) {
        GtkWidget* item = gtk_radio_menu_item_new_with_mnemonic(group, labels[i]);
        group = gtk_radio_menu_item_get_group(GTK_RADIO_MENU_ITEM(item));
        gtk_check_menu_item_set_draw_as_radio(GTK_CHECK_MENU_ITEM(item), FALSE);
        gtk_menu_shell_append(GTK_MENU_SHELL(view), item);
        g_signal_connect(item, "toggled", G_CALLBACK(on_setting_toggled), window);
        *layouts[i] = item;
    }
    add_separator(view);
    ctx->time_scale_item = gtk_check_menu_item_new_with_mnemonic("Time _scale");
    gtk_menu_shell_append(GTK_MENU_SHELL(view), ctx->time_scale_item);
    g_signal_connect(ctx->time_scale_item, "toggled", G_CALLBACK(on_setting_toggled), window);

    GtkWidget* help = add_menu(bar, "_Help");
    GtkWidget* about = add_item(help, "_About");
    g_signal_connect_swapped(about, "activate", G_CALLBACK(about_show), window);
    return bar;
}
