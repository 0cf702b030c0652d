// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/options_frame.h"

#include "gui/gtk_helpers.h"
#include "gui/settings.h"

namespace {

// "toggled" of "metric units" and "draw pond": the option changes and is
// stored (a failed write changes nothing visible).
void on_setting_toggled(GtkWidget* widget, gpointer data)
{
    options_part& o = *static_cast<options_part*>(data);
    if (o.model.closing)
        return;
    const bool active = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget));
    window_options options = o.model.options;
    setting key = setting::draw_pond;
    if (widget == o.metric_check) {
        options.units = display_units(active);
        key = setting::use_metric;
    } else if (widget == o.color_check) {
        options.color_overlays = active;
        key = setting::color_overlays;
    } else if (widget == o.baro_check) {
        options.use_baro = active;
        key = setting::use_baro;
    } else if (widget == o.wind_check) {
        options.use_wind = active;
        key = setting::use_wind;
    } else {
        options.draw_pond = active;
    }
    model_set_options(o.model, options);
    setting_set_bool(key, active);
}

void show_options(options_part& o)
{
    const window_options& options = o.model.options;
    set_toggle_quietly(o.metric_check, options.units.metric, G_CALLBACK(on_setting_toggled), &o);
    set_toggle_quietly(o.pond_check, options.draw_pond, G_CALLBACK(on_setting_toggled), &o);
    set_toggle_quietly(o.color_check, options.color_overlays, G_CALLBACK(on_setting_toggled), &o);
    set_toggle_quietly(o.baro_check, options.use_baro, G_CALLBACK(on_setting_toggled), &o);
    set_toggle_quietly(o.wind_check, options.use_wind, G_CALLBACK(on_setting_toggled), &o);
}

} // namespace

std::unique_ptr<options_part> options_frame_new(window_model& m)
{
    auto o = std::unique_ptr<options_part>(new options_part(m));
    o->frame = gtk_frame_new("options");
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_set_border_width(GTK_CONTAINER(box), 5);
    gtk_container_add(GTK_CONTAINER(o->frame), box);

    o->metric_check = gtk_check_button_new_with_label("metric units");
    o->pond_check = gtk_check_button_new_with_label("draw pond");
    gtk_widget_set_sensitive(o->pond_check, m.gate != nullptr); // until a gate is open
    o->color_check = gtk_check_button_new_with_label("colour compared swoops");
    o->baro_check = gtk_check_button_new_with_label("barometric heights");
    atk_object_set_name(gtk_widget_get_accessible(o->baro_check), "Barometric heights");
    gtk_widget_set_tooltip_text(o->baro_check, "heights from the SENSOR.CSV beside each swoop");
    o->wind_check = gtk_check_button_new_with_label("wind");
    atk_object_set_name(gtk_widget_get_accessible(o->wind_check), "wind and airspeed");
    gtk_widget_set_tooltip_text(
        o->wind_check, "the wind from the canopy flight before the turn, and the airspeeds it gives");
    for (GtkWidget* check :
        { o->metric_check, o->pond_check, o->color_check, o->baro_check, o->wind_check }) {
        g_object_set(check, "margin-start", 5, "can-focus", FALSE, nullptr);
        gtk_box_pack_start(GTK_BOX(box), check, FALSE, FALSE, 0);
        g_signal_connect(check, "toggled", G_CALLBACK(on_setting_toggled), o.get());
    }
    show_options(*o);
    options_part* part = o.get();
    model_listen(m, model_change::options, [part](const model_event&) { show_options(*part); });
    model_listen(m, model_change::gate, [part](const model_event&) {
        gtk_widget_set_sensitive(part->pond_check, part->model.gate != nullptr);
    });
    return o;
}

void settings_apply(window_model& m)
{
    window_options options;
    options.plots_per_page = setting_int(setting::plots_per_page);
    options.time_scale = setting_bool(setting::enable_scale);
    options.units = display_units(setting_bool(setting::use_metric));
    options.draw_pond = setting_bool(setting::draw_pond);
    options.color_overlays = setting_bool(setting::color_overlays);
    options.use_baro = setting_bool(setting::use_baro);
    options.use_wind = setting_bool(setting::use_wind);
    model_set_options(m, options);
}
