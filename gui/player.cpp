// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/player.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "gui/gtk_helpers.h"

namespace {

constexpr guint tick_ms = 100;

int live_ticks = 0; // tick sources that exist, of every player

player_part& part_of(gpointer data)
{
    return *static_cast<player_part*>(data);
}

// The button shows "media-playback-start" while stopped and
// "media-playback-pause" while playing; assistive tools read "play" or
// "pause".
void show_state(GtkWidget* button, bool playing)
{
    gtk_button_set_image(GTK_BUTTON(button),
        gtk_image_new_from_icon_name(
            playing ? "media-playback-pause-symbolic" : "media-playback-start-symbolic",
            GTK_ICON_SIZE_BUTTON));
    atk_object_set_name(gtk_widget_get_accessible(button), playing ? "pause" : "play");
}

// A slider value as whole milliseconds, within what an int32_t holds.
int32_t whole_ms(double value)
{
    return int32_t(std::clamp(value, double(INT32_MIN), double(INT32_MAX)));
}

gboolean on_player_tick(gpointer data);

// Starts the tick; any tick running before is removed first.
void start_tick(player_part& p)
{
    p.tick_source.reset();
    live_ticks++;
    p.tick_source = source_id(
        g_timeout_add_full(G_PRIORITY_DEFAULT, tick_ms, on_player_tick, &p, [](gpointer) { live_ticks--; }));
}

// The 100 ms tick: the slider goes to where real time has taken playback,
// and stops at the end of the range.
gboolean on_player_tick(gpointer data)
{
    player_part& p = part_of(data);
    if (p.model.closing) {
        p.tick_source.release(); // this source ends with the FALSE below
        return G_SOURCE_REMOVE;
    }
    GtkAdjustment* adjustment = gtk_range_get_adjustment(GTK_RANGE(p.slider));
    const double upper = gtk_adjustment_get_upper(adjustment);
    double v = 1000 * g_timer_elapsed(p.timer.get(), nullptr) + p.start_value;
    bool keep_running = p.playing;
    if (v > upper) {
        v = upper;
        keep_running = false;
        p.playing = false;
        show_state(p.button, false);
    }
    if (!keep_running)
        p.tick_source.release(); // this source ends with the FALSE below
    gtk_range_set_value(GTK_RANGE(p.slider), v);
    model_set_player(p.model, p.playing, p.model.dragging);
    return keep_running ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void on_play_clicked(GtkButton*, gpointer data)
{
    player_part& p = part_of(data);
    p.playing = !p.playing;
    if (p.playing) {
        g_timer_start(p.timer.get());
        p.start_value = gtk_range_get_value(GTK_RANGE(p.slider));
        start_tick(p);
    } else {
        p.tick_source.reset();
    }
    show_state(p.button, p.playing);
    model_set_player(p.model, p.playing, p.model.dragging);
}

// The user moves the slider: playing goes on from the new position.
gboolean on_scale_change_value(GtkRange*, GtkScrollType, gdouble value, gpointer data)
{
    player_part& p = part_of(data);
    if (p.playing) {
        p.tick_source.reset();
        g_timer_start(p.timer.get());
        p.start_value = value;
        start_tick(p);
    }
    return FALSE;
}

// The model's time follows the slider.
void on_scale_value_changed(GtkRange* slider, gpointer data)
{
    player_part& p = part_of(data);
    model_set_time(p.model, whole_ms(gtk_range_get_value(slider)));
}

// A time set elsewhere (a click on a plot): the slider goes there, and
// playing goes on from there.
void follow_model_time(player_part& p)
{
    if (!p.model.time || whole_ms(gtk_range_get_value(GTK_RANGE(p.slider))) == *p.model.time)
        return;
    const double value = *p.model.time;
    if (p.playing) {
        p.tick_source.reset();
        g_timer_start(p.timer.get());
        p.start_value = value;
        start_tick(p);
    }
    gtk_range_set_value(GTK_RANGE(p.slider), value);
}

// A press on the slider starts a drag (or a jump to the click), the release
// ends it.
gboolean on_scale_button_event(GtkWidget*, GdkEventButton* event, gpointer data)
{
    player_part& p = part_of(data);
    if (event->type == GDK_BUTTON_PRESS || event->type == GDK_BUTTON_RELEASE)
        model_set_player(p.model, p.playing, event->type == GDK_BUTTON_PRESS);
    return FALSE;
}

gchar* on_scale_format_value(GtkScale*, gdouble value, gpointer)
{
    return g_strdup_printf("%.2fs", value / 1000);
}

// ms from b to a on the logger's clock.
double ms_between(uint64_t a, uint64_t b)
{
    return double(int64_t(a - b));
}

} // namespace

player_part::~player_part()
{
    tick_source.reset();
    for (int id : listeners)
        model_unlisten(model, id);
    model_set_player(model, false, false); // the time scale went: nothing plays or drags
}

std::unique_ptr<player_part> player_new(window_model& m)
{
    std::unique_ptr<player_part> p(new (std::nothrow) player_part(m));
    if (!p) {
        std::printf("fatal error: failed to malloc player\n");
        std::exit(1);
    }
    player_part* part = p.get();
    p->button = gtk_button_new();
    g_object_set(p->button, "can-focus", FALSE, "valign", GTK_ALIGN_CENTER, "margin-bottom", 10, nullptr);
    apply_css(p->button, "* { padding : 0 }");
    show_state(p->button, false);
    g_signal_connect(p->button, "clicked", G_CALLBACK(on_play_clicked), part);
    p->timer.reset(g_timer_new());

    GtkAdjustment* adjustment = gtk_adjustment_new(0, 0, 0, 100, 1000, 0);
    p->slider = gtk_scale_new(GTK_ORIENTATION_HORIZONTAL, adjustment);
    gtk_scale_set_has_origin(GTK_SCALE(p->slider), FALSE);
    atk_object_set_name(gtk_widget_get_accessible(p->slider), "time");
    g_object_set(p->slider, "can-focus", FALSE, "margin", 10, "margin-top", 0, nullptr);
    g_signal_connect(p->slider, "change-value", G_CALLBACK(on_scale_change_value), part);
    g_signal_connect(p->slider, "value-changed", G_CALLBACK(on_scale_value_changed), part);
    g_signal_connect(p->slider, "format-value", G_CALLBACK(on_scale_format_value), nullptr);
    g_signal_connect(p->slider, "button-press-event", G_CALLBACK(on_scale_button_event), part);
    g_signal_connect(p->slider, "button-release-event", G_CALLBACK(on_scale_button_event), part);
    // A primary click on the trough jumps the slider to the click.
    g_object_set(gtk_settings_get_default(), "gtk-primary-button-warps-slider", TRUE, nullptr);

    p->box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_pack_start(GTK_BOX(p->box), p->button, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(p->box), p->slider, TRUE, TRUE, 0);
    gtk_widget_show_all(p->box);

    // A new selection, and a change of units or pond, start at its top of
    // the turn; closing the selected swoop stops playing.
    p->listeners = {
        model_listen(m, model_change::selection, [part](const model_event&) { scale_update(*part); }),
        model_listen(m, model_change::options,
            [part](const model_event& e) {
                const window_options& now = part->model.options;
                if (now.units.metric != e.before.units.metric || now.draw_pond != e.before.draw_pond)
                    scale_update(*part);
            }),
        model_listen(m, model_change::rows,
            [part](const model_event& e) {
                if (e.was_selected)
                    player_stop(*part);
            }),
        model_listen(m, model_change::time, [part](const model_event&) { follow_model_time(*part); }),
    };
    scale_update(*p);
    model_set_time(m, whole_ms(gtk_range_get_value(GTK_RANGE(p->slider))));
    return p;
}

void player_stop(player_part& p)
{
    if (!p.playing)
        return;
    p.tick_source.reset();
    p.playing = false;
    show_state(p.button, false);
    model_set_player(p.model, false, p.model.dragging);
}

int player_live_ticks()
{
    return live_ticks;
}

bool player_playing(const player_part& p)
{
    return p.playing;
}

void scale_update(player_part& p)
{
    GtkScale* scale = GTK_SCALE(p.slider);
    GtkRange* range = GTK_RANGE(p.slider);
    gtk_scale_clear_marks(scale);
    p.marks.clear();
    auto add_mark = [&](double at, const char* name) {
        gtk_scale_add_mark(scale, at, GTK_POS_BOTTOM, name);
        p.marks.push_back({ at, name });
    };
    const swoop* s = p.model.selected;
    if (!s || s->top_of_turn >= s->track_len || s->rollout >= s->track_len || s->stop >= s->track_len) {
        gtk_range_set_range(range, 0, 0);
        return;
    }
    const uint64_t T = uint64_t(s->track[s->top_of_turn].time);
    const uint64_t R = uint64_t(s->track[s->rollout].time);
    const uint64_t S = uint64_t(s->track[s->stop].time);
    const uint64_t G = s->entry_gate_time;
    const uint64_t origin = G != 0 ? G : T; // the slider's 0
    gtk_range_set_range(range, ms_between(T, origin), ms_between(S, origin));
    gtk_range_set_value(range, ms_between(T, origin));
    add_mark(ms_between(T, origin), "top of turn");
    add_mark(ms_between(R, origin), "rollout");
    if (G != 0)
        add_mark(0, "gate");
    add_mark(ms_between(S, origin), "stop");
}
