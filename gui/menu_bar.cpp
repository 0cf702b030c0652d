// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/menu_bar.h"

#include "gui/dialogs.h"
#include "gui/gtk_helpers.h"
#include "gui/settings.h"

namespace {

constexpr int layout_plots[3] = { 1, 4, 9 };

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

// "toggled" of the layout items and "Time _scale": the option changes and
// is stored (a failed write changes nothing visible).
void on_setting_toggled(GtkWidget* widget, gpointer data)
{
    menu_bar_part& b = *static_cast<menu_bar_part*>(data);
    if (b.model.closing)
        return;
    const bool active = gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(widget));
    window_options options = b.model.options;
    if (widget == b.time_scale_item) {
        options.time_scale = active;
        model_set_options(b.model, options);
        setting_set_bool(setting::enable_scale, active);
        return;
    }
    if (!active)
        return; // the item that became active does the work
    for (int i = 0; i < 3; i++)
        if (widget == b.layout_items[i])
            options.plots_per_page = layout_plots[i];
    model_set_options(b.model, options);
    setting_set_int(setting::plots_per_page, options.plots_per_page);
}

// The items show the model's options. A layout no item has leaves the items
// as they are.
void show_options(menu_bar_part& b)
{
    const window_options& options = b.model.options;
    for (int i = 0; i < 3; i++) {
        GtkCheckMenuItem* item = GTK_CHECK_MENU_ITEM(b.layout_items[i]);
        if (options.plots_per_page != layout_plots[i] || gtk_check_menu_item_get_active(item))
            continue;
        // The radio group turns the item that was active off.
        for (GtkWidget* w : b.layout_items)
            g_signal_handlers_block_by_func(w, gpointer(on_setting_toggled), &b);
        gtk_check_menu_item_set_active(item, TRUE);
        for (GtkWidget* w : b.layout_items)
            g_signal_handlers_unblock_by_func(w, gpointer(on_setting_toggled), &b);
    }
    set_toggle_quietly(b.time_scale_item, options.time_scale, G_CALLBACK(on_setting_toggled), &b);
}

} // namespace

std::unique_ptr<menu_bar_part> menu_bar_new(window_model& m, GtkWidget* window, GtkAccelGroup* accel_group)
{
    auto b = std::unique_ptr<menu_bar_part>(new menu_bar_part(m, window));
    b->bar = gtk_menu_bar_new();

    GtkWidget* file = add_menu(b->bar, "_File");
    b->open_gate_item = add_item(file, "Open _gate...");
    add_accelerator(b->open_gate_item, accel_group, GDK_KEY_g, GDK_CONTROL_MASK);
    b->close_gate_item = add_item(file, "Close g_ate...");
    add_accelerator(b->close_gate_item, accel_group, GDK_KEY_w, GDK_CONTROL_MASK);
    add_separator(file);
    b->open_swoop_item = add_item(file, "Open _swoop...");
    add_accelerator(b->open_swoop_item, accel_group, GDK_KEY_o, GDK_CONTROL_MASK);
    b->close_swoop_item = add_item(file, "Close s_woop...");
    add_accelerator(b->close_swoop_item, accel_group, GDK_KEY_Delete, GdkModifierType(0));
    b->open_video_item = add_item(file, "Open _video...");
    add_accelerator(
        b->open_video_item, accel_group, GDK_KEY_o, GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK));
    add_separator(file);
    b->export_page_item = add_item(file, "_Export page...");
    add_accelerator(b->export_page_item, accel_group, GDK_KEY_e, GDK_CONTROL_MASK);
    b->export_samples_item = add_item(file, "Export _samples...");
    add_separator(file);
    GtkWidget* exit = add_item(file, "E_xit");
    add_accelerator(exit, accel_group, GDK_KEY_q, GDK_CONTROL_MASK);
    g_signal_connect_swapped(exit, "activate", G_CALLBACK(gtk_widget_destroy), window);

    GtkWidget* view = add_menu(b->bar, "_View");
    GSList* group = nullptr;
    const char* labels[] = { "_1x1 plots", "_2x2 plots", "_3x3 plots" };
    for (int i = 0; i < 3; i++) {
        GtkWidget* item = gtk_radio_menu_item_new_with_mnemonic(group, labels[i]);
        group = gtk_radio_menu_item_get_group(GTK_RADIO_MENU_ITEM(item));
        gtk_check_menu_item_set_draw_as_radio(GTK_CHECK_MENU_ITEM(item), FALSE);
        gtk_menu_shell_append(GTK_MENU_SHELL(view), item);
        g_signal_connect(item, "toggled", G_CALLBACK(on_setting_toggled), b.get());
        b->layout_items[i] = item;
    }
    add_separator(view);
    b->time_scale_item = gtk_check_menu_item_new_with_mnemonic("Time _scale");
    gtk_menu_shell_append(GTK_MENU_SHELL(view), b->time_scale_item);
    g_signal_connect(b->time_scale_item, "toggled", G_CALLBACK(on_setting_toggled), b.get());

    GtkWidget* help = add_menu(b->bar, "_Help");
    GtkWidget* about = add_item(help, "_About");
    g_signal_connect_swapped(about, "activate", G_CALLBACK(about_show), window);

    menu_bar_part* part = b.get();
    model_listen(m, model_change::options, [part](const model_event&) { show_options(*part); });
    return b;
}
