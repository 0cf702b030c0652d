#include "gui/player.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "core/platform/glib_handles.h"
#include "gui/plot_pages.h"
#include "gui/swoop_list.h"
#include "gui/window.h"

namespace {

constexpr const char* player_key = "player";
constexpr guint tick_ms = 100;

int live_ticks = 0; // tick sources that exist, of every player

// One per slider, attached to it and freed with it.
struct player {
    GtkWidget* button = nullptr; // the play button, whose image shows the state
    g_timer_ptr timer; // real time since playback (re)started
    source_id tick_source; // the running tick, none while stopped
    double start_value = 0; // ms, slider value at which playback (re)started
    bool playing = false;
    std::vector<scale_mark> marks; // the slider's marks, as set last
};

player* player_of(GtkWidget* slider)
{
    return slider ? static_cast<player*>(g_object_get_data(G_OBJECT(slider), player_key)) : nullptr;
}

// The button shows "media-playback-start" while stopped and
// "media-playback-pause" while playing; assistive tools read "play" or
// "pause".
void show_state(GtkWidget* button, bool playing)
{
    gtk_button_set_image(GTK_BUTTON(button),
        gtk_image_new_from_icon_name(
            playing ? "media-playback-pause" : "media-playback-start", GTK_ICON_SIZE_DND));
    atk_object_set_name(gtk_widget_get_accessible(button), playing ? "pause" : "play");
}

// A slider value as whole milliseconds, within what an int32_t holds.
int32_t whole_ms(double value)
{
    return int32_t(std::clamp(value, double(INT32_MIN), double(INT32_MAX)));
}

gboolean on_player_tick(gpointer data);

// Starts the tick; any tick running before is removed first.
void start_tick(player& p, GtkWidget* button)
{
    p.tick_source.reset();
    live_ticks++;
    p.tick_source = source_id(g_timeout_add_full(
        G_PRIORITY_DEFAULT, tick_ms, on_player_tick, button, [](gpointer) { live_ticks--; }));
}

// The 100 ms tick: the slider goes to where real time has taken playback,
// and stops at the end of the range.
gboolean on_player_tick(gpointer data)
{
    GtkWidget* button = GTK_WIDGET(data);
    window_context* ctx = context_of(button);
    player* p = ctx ? player_of(ctx->time_scale) : nullptr;
    if (!p)
        return G_SOURCE_REMOVE;
    GtkAdjustment* adjustment = gtk_range_get_adjustment(GTK_RANGE(ctx->time_scale));
    const double upper = gtk_adjustment_get_upper(adjustment);
    double v = 1000 * g_timer_elapsed(p->timer.get(), nullptr) + p->start_value;
    bool keep_running = p->playing;
    if (v > upper) {
        v = upper;
        keep_running = false;
        p->playing = false;
        show_state(p->button, false);
    }
    if (!keep_running)
        p->tick_source.release(); // this source ends with the FALSE below
    gtk_range_set_value(GTK_RANGE(ctx->time_scale), v);
    return keep_running ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

void on_play_clicked(GtkButton* button, gpointer)
{
    window_context* ctx = context_of(GTK_WIDGET(button));
    player* p = ctx ? player_of(ctx->time_scale) : nullptr;
    if (!p)
        return;
    p->playing = !p->playing;
    if (p->playing) {
        g_timer_start(p->timer.get());
        p->start_value = gtk_range_get_value(GTK_RANGE(ctx->time_scale));
        start_tick(*p, p->button);
    } else {
        p->tick_source.reset();
    }
    show_state(p->button, p->playing);
}

// The user moves the slider: playing goes on from the new position.
gboolean on_scale_change_value(GtkRange* slider, GtkScrollType, gdouble value, gpointer)
{
    player* p = player_of(GTK_WIDGET(slider));
    if (p && p->playing) {
        p->tick_source.reset();
        g_timer_start(p->timer.get());
        p->start_value = value;
        start_tick(*p, p->button);
    }
    return FALSE;
}

// Markers of the ticked swoops, then of the selected one, at the new time.
void on_scale_value_changed(GtkRange* slider, gpointer data)
{
    GtkWidget* window = GTK_WIDGET(data);
    if (!context_of(window))
        return;
    const int32_t t = whole_ms(gtk_range_get_value(slider));
    GtkWidget* selected = selected_row(window);
    for (GtkWidget* row : swoop_rows(window))
        if (row != selected && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(row_check(row))))
            markers_set(window, row, t);
    if (selected)
        markers_set(window, selected, t);
    pages_redraw(window);
}

gchar* on_scale_format_value(GtkScale*, gdouble value, gpointer)
{
    return g_strdup_printf("%.2fs", value / 1000);
}

// The slider goes: its tick (if any) and its player with it.
void on_scale_destroy(GtkWidget* slider, gpointer)
{
    std::unique_ptr<player> p(static_cast<player*>(g_object_steal_data(G_OBJECT(slider), player_key)));
}

// ms from b to a on the logger's clock.
double ms_between(uint64_t a, uint64_t b)
{
    return double(int64_t(a - b));
}

} // namespace

GtkWidget* player_new(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    GtkWidget* button = gtk_button_new();
    g_object_set(button, "can-focus", FALSE, "valign", GTK_ALIGN_CENTER, "margin-bottom", 10, nullptr);
    apply_css(button, "* { padding : 0 }");
    show_state(button, false);
    g_signal_connect(button, "clicked", G_CALLBACK(on_play_clicked), nullptr);

    player* p = new (std::nothrow) player;
    if (!p) {
        std::printf("fatal error: failed to malloc player\n");
        std::exit(1);
    }
    p->button = button;
    p->timer.reset(g_timer_new());

    GtkAdjustment* adjustment = gtk_adjustment_new(0, 0, 0, 100, 1000, 0);
    GtkWidget* slider = gtk_scale_new(GTK_ORIENTATION_HORIZONTAL, adjustment);
    gtk_scale_set_has_origin(GTK_SCALE(slider), FALSE);
    atk_object_set_name(gtk_widget_get_accessible(slider), "time");
    g_object_set_data(G_OBJECT(slider), player_key, p);
    g_object_set(slider, "can-focus", FALSE, "margin", 10, "margin-top", 0, nullptr);
    g_signal_connect(slider, "destroy", G_CALLBACK(on_scale_destroy), nullptr);
    g_signal_connect(slider, "change-value", G_CALLBACK(on_scale_change_value), window);
    g_signal_connect(slider, "value-changed", G_CALLBACK(on_scale_value_changed), window);
    g_signal_connect(slider, "format-value", G_CALLBACK(on_scale_format_value), nullptr);
    // A primary click on the trough jumps the slider to the click.
    g_object_set(gtk_settings_get_default(), "gtk-primary-button-warps-slider", TRUE, nullptr);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_pack_start(GTK_BOX(box), button, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), slider, TRUE, TRUE, 0);
    gtk_widget_show_all(box);
    ctx->time_scale = slider;
    return box;
}

void player_stop(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    player* p = ctx ? player_of(ctx->time_scale) : nullptr;
    if (!p || !p->playing)
        return;
    p->tick_source.reset();
    p->playing = false;
    show_state(p->button, false);
}

std::vector<scale_mark> player_marks(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    player* p = ctx ? player_of(ctx->time_scale) : nullptr;
    return p ? p->marks : std::vector<scale_mark> {};
}

int player_live_ticks()
{
    return live_ticks;
}

bool player_playing(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    player* p = ctx ? player_of(ctx->time_scale) : nullptr;
    return p && p->playing;
}

void scale_update(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    if (!ctx || !ctx->time_scale)
        return;
    GtkScale* scale = GTK_SCALE(ctx->time_scale);
    GtkRange* range = GTK_RANGE(ctx->time_scale);
    gtk_scale_clear_marks(scale);
    std::vector<scale_mark>& marks = player_of(ctx->time_scale)->marks;
    marks.clear();
    auto add_mark = [&](double at, const char* name) {
        gtk_scale_add_mark(scale, at, GTK_POS_BOTTOM, name);
        marks.push_back({ at, name });
    };
    GtkWidget* selected = selected_row(window);
    const swoop* s = selected ? row_swoop(selected) : nullptr;
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

void time_scale_disable(GtkWidget* window, bool refresh)
{
    window_context* ctx = context_of(window);
    if (!ctx || !ctx->time_scale)
        return;
    gtk_widget_destroy(gtk_widget_get_parent(ctx->time_scale)); // the box, the slider and its player
    ctx->time_scale = nullptr;
    gtk_container_child_set(GTK_CONTAINER(ctx->grid), ctx->notebook, "height", 4, nullptr);
    g_object_set(ctx->notebook, "margin-bottom", 0, nullptr);
    if (refresh) {
        markers_clear_all(window);
        pages_redraw(window);
    }
}

void time_scale_enable(GtkWidget* window)
{
    window_context* ctx = context_of(window);
    if (!ctx || ctx->time_scale)
        return;
    gtk_container_child_set(GTK_CONTAINER(ctx->grid), ctx->notebook, "height", 3, nullptr);
    g_object_set(ctx->notebook, "margin-bottom", 10, nullptr);
    GtkWidget* box = player_new(window);
    gtk_grid_attach(GTK_GRID(ctx->grid), box, 1, 4, 1, 1);
    scale_update(window);
}
