#include "gui/settings.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "core/platform/pref_store.h"
#include "gui/player.h"
#include "gui/plot_pages.h"
#include "gui/window.h"

bool pref_get_bool(const char* key, bool fallback)
{
    std::optional<std::string> text = pref_get(key);
    return text ? *text == "true" : fallback;
}

int32_t pref_get_int(const char* key, int32_t fallback)
{
    std::optional<std::string> text = pref_get(key);
    if (!text)
        return fallback;
    // A decimal number with a point whatever the locale; what no 32-bit
    // integer holds reads as a text that is not a number.
    const double value = g_ascii_strtod(text->c_str(), nullptr);
    if (!std::isfinite(value) || value <= double(INT32_MIN) - 1 || value >= double(INT32_MAX) + 1)
        return 0;
    return int32_t(value);
}

bool pref_set_int(const char* key, int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return pref_set(key, text);
}

int32_t stored_window_size(const char* key)
{
    const int32_t size = pref_get_int(key, 0);
    return size >= 1 && size <= 16384 ? size : 0;
}

GtkWidget* options_frame_new(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    GtkWidget* frame = gtk_frame_new("options");
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_set_border_width(GTK_CONTAINER(box), 5);
    gtk_container_add(GTK_CONTAINER(frame), box);

    ctx->metric_check = gtk_check_button_new_with_label("metric units");
    ctx->pond_check = gtk_check_button_new_with_label("draw pond");
    gtk_widget_set_sensitive(ctx->pond_check, FALSE); // until a gate is open
    for (GtkWidget* check : { ctx->metric_check, ctx->pond_check }) {
        g_object_set(check, "margin-start", 5, "can-focus", FALSE, nullptr);
        gtk_box_pack_start(GTK_BOX(box), check, FALSE, FALSE, 0);
        g_signal_connect(check, "toggled", G_CALLBACK(on_setting_toggled), window);
    }
    return frame;
}

void settings_apply(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    GtkWidget* toggles[] = { ctx->layout_1x1_item, ctx->layout_2x2_item, ctx->layout_3x3_item,
        ctx->time_scale_item, ctx->metric_check, ctx->pond_check };
    for (GtkWidget* w : toggles)
        g_signal_handlers_block_by_func(w, gpointer(on_setting_toggled), window);

    const int32_t n = pref_get_int("plots_per_page", 1);
    GtkWidget* layout = n == 1 ? ctx->layout_1x1_item
        : n == 4               ? ctx->layout_2x2_item
        : n == 9               ? ctx->layout_3x3_item
                               : nullptr;
    if (layout)
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(layout), TRUE);
    pages_build(window, n);

    const bool scale = pref_get_bool("enable_scale", false);
    const bool metric = pref_get_bool("use_metric", false);
    const bool pond = pref_get_bool("draw_pond", true);
    if (!scale)
        time_scale_disable(window, false);
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(ctx->time_scale_item), scale);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ctx->metric_check), metric);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ctx->pond_check), pond);

    for (GtkWidget* w : toggles)
        g_signal_handlers_unblock_by_func(w, gpointer(on_setting_toggled), window);
}

void on_setting_toggled(GtkWidget* widget, gpointer data)
{
    GtkWidget* window = GTK_WIDGET(data);
    window_context* ctx = context_of(window);
    if (!ctx)
        return;
    const bool layout
        = widget == ctx->layout_1x1_item || widget == ctx->layout_2x2_item || widget == ctx->layout_3x3_item;
    const bool active = GTK_IS_CHECK_MENU_ITEM(widget)
        ? gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(widget))
        : gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget));
    if (layout && !active)
        return; // the item that became active does the work

    const char* key = nullptr;
    const char* value = active ? "true" : "false";
    if (layout) {
        const int n = widget == ctx->layout_1x1_item ? 1 : widget == ctx->layout_2x2_item ? 4 : 9;
        key = "plots_per_page";
        value = n == 1 ? "1" : n == 4 ? "4" : "9";
        pages_build(window, n);
    } else if (widget == ctx->time_scale_item) {
        key = "enable_scale";
        if (active)
            time_scale_enable(window);
        else
            time_scale_disable(window, true);
    } else if (widget == ctx->metric_check || widget == ctx->pond_check) {
        key = widget == ctx->metric_check ? "use_metric" : "draw_pond";
        refresh_all(window);
    } else {
        return;
    }
    pref_set(key, value); // a failed write changes nothing visible
}
