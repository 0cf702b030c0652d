// SPDX-License-Identifier: GPL-3.0-or-later
// The player: the slider's labels, range and marks, playback in real time,
// a hand move while playing, the end of the range, and every way playback
// ends leaving no tick behind.
#include <gtest/gtest.h>

#include "gui/player.h"
#include "gui/plot_pages.h"
#include "gui/swoop_list.h"
#include "gui/window.h"
#include "tests/gui/gui_files.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

using namespace gui_test;

namespace {

std::string format_value(GtkWidget* slider, double value)
{
    gchar* text = nullptr;
    g_signal_emit_by_name(slider, "format-value", value, &text);
    g_text owned(text);
    return owned ? owned.get() : "";
}

GtkWidget* play_button(window_context* ctx)
{
    return find_widget(gtk_widget_get_parent(ctx->time_scale), [](GtkWidget* w) { return GTK_IS_BUTTON(w); });
}

std::string play_name(window_context* ctx)
{
    return atk_object_get_name(gtk_widget_get_accessible(play_button(ctx)));
}

double value(window_context* ctx)
{
    return gtk_range_get_value(GTK_RANGE(ctx->time_scale));
}

double upper(window_context* ctx)
{
    return gtk_adjustment_get_upper(gtk_range_get_adjustment(GTK_RANGE(ctx->time_scale)));
}

// The window with the time scale on, the example gate and the given swoops.
struct player_window {
    test_support::temp_dir dir;
    std::unique_ptr<app_window> w;
    explicit player_window(const std::vector<std::string>& examples)
    {
        clear_settings();
        write_settings("[settings]\nenable_scale=true\nplots_per_page=9\n");
        w = std::make_unique<app_window>();
        EXPECT_TRUE(gate_open_file(window(), example("gate-walk.csv").c_str()));
        std::vector<std::string> paths;
        for (const std::string& e : examples)
            paths.push_back(copy_example(dir.path(), e, e));
        swoops_open(window(), paths);
    }
    GtkWidget* window() const { return w->window(); }
    window_context* ctx() const { return context_of(window()); }
};

} // namespace

TEST(player, slider_labels_range_and_marks)
{
    player_window p({ "swoop-270-right.csv" });
    window_context* ctx = p.ctx();
    ASSERT_NE(ctx->time_scale, nullptr);
    EXPECT_EQ(format_value(ctx->time_scale, 1234), "1.23s");
    EXPECT_EQ(format_value(ctx->time_scale, -2500), "-2.50s");
    EXPECT_EQ(play_name(ctx), "play");

    // With an entry-gate crossing: from the top of the turn to the stop,
    // counted from the crossing.
    const swoop& s = *row_swoop(selected_row(p.window()));
    const double T = double(s.track[s.top_of_turn].time - int64_t(s.entry_gate_time));
    const double R = double(s.track[s.rollout].time - int64_t(s.entry_gate_time));
    const double S = double(s.track[s.stop].time - int64_t(s.entry_gate_time));
    ASSERT_LT(T, 0);
    EXPECT_EQ(gtk_adjustment_get_lower(gtk_range_get_adjustment(GTK_RANGE(ctx->time_scale))), T);
    EXPECT_EQ(upper(ctx), S);
    EXPECT_EQ(value(ctx), T);
    const std::vector<scale_mark> marks = player_marks(p.window());
    ASSERT_EQ(marks.size(), 4u);
    EXPECT_EQ(marks[0].label, "top of turn");
    EXPECT_EQ(marks[0].at, T);
    EXPECT_EQ(marks[1].label, "rollout");
    EXPECT_EQ(marks[1].at, R);
    EXPECT_EQ(marks[2].label, "gate");
    EXPECT_EQ(marks[2].at, 0);
    EXPECT_EQ(marks[3].label, "stop");
    EXPECT_EQ(marks[3].at, S);

    // Every refresh puts the slider back to the start of its range.
    gtk_range_set_value(GTK_RANGE(ctx->time_scale), 2000);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ctx->metric_check), TRUE);
    EXPECT_EQ(value(ctx), T);

    // No swoop selected: a zero-length range.
    swoop_row_close(p.window(), selected_row(p.window()));
    EXPECT_EQ(upper(ctx), 0);
    EXPECT_TRUE(player_marks(p.window()).empty());
}

TEST(player, a_swoop_without_an_entry_gate_crossing_counts_from_its_top_of_the_turn)
{
    clear_settings();
    test_support::temp_dir dir;
    // The examples' swoop flown 300 m to the side of the gate.
    swoop_options o = example_swoop(sim_course {}, 0, sim_example::right_270);
    o.entry_y = 300;
    const char* err = nullptr;
    ASSERT_TRUE(write_track(
        dir.file("missed.csv").c_str(), generate_swoop(o).samples, sim_dialect::field_names, &err));
    write_settings("[settings]\nenable_scale=true\n");
    app_window w;
    window_context* ctx = context_of(w.window());
    ASSERT_TRUE(gate_open_file(w.window(), example("gate-walk.csv").c_str()));
    swoops_open(w.window(), { dir.file("missed.csv") });
    const swoop& s = *row_swoop(selected_row(w.window()));
    ASSERT_EQ(s.entry_gate_time, 0u);
    EXPECT_EQ(gtk_adjustment_get_lower(gtk_range_get_adjustment(GTK_RANGE(ctx->time_scale))), 0);
    EXPECT_EQ(upper(ctx), double(s.track[s.stop].time - s.track[s.top_of_turn].time));
    std::vector<std::string> labels;
    for (const scale_mark& m : player_marks(w.window()))
        labels.push_back(m.label);
    EXPECT_EQ(labels, (std::vector<std::string> { "top of turn", "rollout", "stop" }));
}

TEST(player, playing_runs_in_real_time_to_the_end_and_stops_there)
{
    player_window p({ "swoop-270-right.csv" });
    window_context* ctx = p.ctx();
    // Start 1.2 s before the end.
    gtk_range_set_value(GTK_RANGE(ctx->time_scale), upper(ctx) - 1200);
    const gint64 started = g_get_monotonic_time();
    gtk_button_clicked(GTK_BUTTON(play_button(ctx)));
    EXPECT_TRUE(player_playing(p.window()));
    EXPECT_EQ(play_name(ctx), "pause");
    EXPECT_EQ(player_live_ticks(), 1);
    ASSERT_TRUE(spin_until([&] { return !player_playing(p.window()); }, 10000));
    const double elapsed_ms = double(g_get_monotonic_time() - started) / 1000;
    EXPECT_GE(elapsed_ms, 1200); // never ahead of the clock
    EXPECT_EQ(value(ctx), upper(ctx));
    EXPECT_EQ(play_name(ctx), "play");
    EXPECT_EQ(player_live_ticks(), 0);
    screenshot(p.window(), "player-at-the-end");

    // Play at the upper bound: stops at the first tick without moving.
    gtk_button_clicked(GTK_BUTTON(play_button(ctx)));
    ASSERT_TRUE(spin_until([&] { return !player_playing(p.window()); }, 3000));
    EXPECT_EQ(value(ctx), upper(ctx));
    EXPECT_EQ(player_live_ticks(), 0);
}

TEST(player, a_hand_move_while_playing_continues_from_there)
{
    player_window p({ "swoop-270-right.csv", "swoop-450-left.csv" });
    window_context* ctx = p.ctx();
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(swoop_rows(p.window())[1])), TRUE);
    gtk_button_clicked(GTK_BUTTON(play_button(ctx)));
    ASSERT_TRUE(spin_until([&] {
        return value(ctx) > gtk_adjustment_get_lower(gtk_range_get_adjustment(GTK_RANGE(ctx->time_scale)));
    }));
    // The user drops the slider at 3 s (a drag ends in "change-value").
    gboolean handled = FALSE;
    const gint64 dropped = g_get_monotonic_time();
    g_signal_emit_by_name(ctx->time_scale, "change-value", GTK_SCROLL_JUMP, 3000.0, &handled);
    gtk_range_set_value(GTK_RANGE(ctx->time_scale), 3000);
    EXPECT_EQ(player_live_ticks(), 1); // the old tick went, one new one runs
    ASSERT_TRUE(spin_until([&] { return value(ctx) > 3000; }));
    const double since_drop = double(g_get_monotonic_time() - dropped) / 1000;
    EXPECT_GE(value(ctx), 3000);
    EXPECT_LE(value(ctx), 3000 + since_drop + 1); // from the drop, not from the old start
    EXPECT_TRUE(player_playing(p.window()));
    // The markers of both swoops moved with it.
    int markers = 0;
    for (const series* s = ctx->pages->plots[0]->series.get(); s; s = s->next.get())
        markers += s->style == style_marker && s->count == 1;
    EXPECT_EQ(markers, 2);
    gtk_button_clicked(GTK_BUTTON(play_button(ctx)));
    EXPECT_EQ(player_live_ticks(), 0);
}

TEST(player, closing_the_selected_swoop_or_the_time_scale_stops_playback)
{
    player_window p({ "swoop-270-right.csv", "swoop-450-left.csv" });
    window_context* ctx = p.ctx();
    gtk_button_clicked(GTK_BUTTON(play_button(ctx)));
    ASSERT_TRUE(player_playing(p.window()));
    swoop_row_close(p.window(), selected_row(p.window()));
    EXPECT_FALSE(player_playing(p.window()));
    EXPECT_EQ(player_live_ticks(), 0);
    EXPECT_EQ(play_name(ctx), "play");

    // Switching the time scale off while playing: the slider and its tick go.
    gtk_button_clicked(GTK_BUTTON(play_button(ctx)));
    ASSERT_TRUE(player_playing(p.window()));
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(ctx->time_scale_item), FALSE);
    EXPECT_EQ(ctx->time_scale, nullptr);
    EXPECT_EQ(player_live_ticks(), 0);
    // Three tick periods later nothing has ticked: no timeout, no marker.
    const gint64 until = g_get_monotonic_time() + 350 * 1000;
    spin_until([&] { return g_get_monotonic_time() > until; });
    EXPECT_EQ(player_live_ticks(), 0);
    for (const auto& plot : ctx->pages->plots)
        for (const series* s = plot->series.get(); s; s = s->next.get())
            EXPECT_FALSE(s->style == style_marker && s->count > 0) << plot->title;
    // On again: a new, stopped player at the start of the range.
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(ctx->time_scale_item), TRUE);
    ASSERT_NE(ctx->time_scale, nullptr);
    EXPECT_FALSE(player_playing(p.window()));
    EXPECT_EQ(value(ctx), gtk_adjustment_get_lower(gtk_range_get_adjustment(GTK_RANGE(ctx->time_scale))));
}
