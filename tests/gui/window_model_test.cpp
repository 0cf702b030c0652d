// SPDX-License-Identifier: GPL-3.0-or-later
// The window model: one notification per change, told in the order the
// listeners connected, and the window's parts kept in step through it.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui/window.h"
#include "gui/window_model.h"
#include "tests/gui/gui_files.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_support.h"

namespace {

// Records each change it hears as "<listener>:<kind>".
struct recorder {
    std::vector<std::string> heard;
    void listen(window_model& m, const std::string& who, model_change kind)
    {
        model_listen(m, kind, [this, who, kind](const model_event&) {
            heard.push_back(who + ":" + std::to_string(int(kind)));
        });
    }
};

} // namespace

TEST(window_model, each_change_is_told_once_to_its_listeners_in_order)
{
    window_model m;
    swoop a, b, c;
    recorder r;
    r.listen(m, "first", model_change::compared);
    r.listen(m, "second", model_change::compared);
    r.listen(m, "rows", model_change::rows);
    std::vector<model_event> events;
    model_listen(m, model_change::rows, [&](const model_event& e) { events.push_back(e); });

    for (swoop* s : { &a, &b, &c })
        model_add_swoop(m, s);
    model_select(m, &b);
    model_set_compared(m, &c, true);
    model_set_compared(m, &a, true);
    model_set_compared(m, &a, true); // no change: nothing told
    EXPECT_EQ(m.compared, (std::vector<swoop*> { &a, &c })); // in list order
    EXPECT_EQ(model_overlays(m), (std::vector<swoop*> { &a, &c }));
    model_set_compared(m, &b, true);
    EXPECT_EQ(model_overlays(m), (std::vector<swoop*> { &a, &c })); // the selected one is drawn in full

    model_remove_swoop(m, &b);
    EXPECT_EQ(m.selected, nullptr);
    EXPECT_EQ(m.compared, (std::vector<swoop*> { &a, &c }));
    model_remove_swoop(m, &a);
    EXPECT_EQ(m.swoops, (std::vector<swoop*> { &c }));
    EXPECT_EQ(m.compared, (std::vector<swoop*> { &c }));

    const std::vector<std::string> compared_then_rows = { "rows:0", "rows:0", "rows:0", "first:2", "second:2",
        "first:2", "second:2", "first:2", "second:2", "rows:0", "rows:0" };
    EXPECT_EQ(r.heard, compared_then_rows);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_TRUE(events[0].added);
    EXPECT_EQ(events[3].changed, &b);
    EXPECT_TRUE(events[3].was_selected);
    EXPECT_FALSE(events[4].was_selected);

    // The time is told when it changes; nothing is told while the window goes.
    int times = 0;
    model_listen(m, model_change::time, [&](const model_event&) { times++; });
    model_set_time(m, 5);
    model_set_time(m, 5);
    model_set_time(m, std::nullopt);
    EXPECT_EQ(times, 2);
    m.closing = true;
    model_set_time(m, 7);
    model_select(m, &c);
    EXPECT_EQ(times, 2);
    EXPECT_EQ(r.heard.size(), compared_then_rows.size());
}

TEST(window_model, listeners_may_connect_and_disconnect_while_a_change_is_told)
{
    window_model m;
    std::vector<std::string> heard;
    int late = 0;
    int second = 0;
    model_listen(m, model_change::options, [&](const model_event& e) {
        heard.push_back("first " + std::to_string(e.before.plots_per_page));
        if (late == 0)
            late = model_listen(
                m, model_change::options, [&](const model_event&) { heard.push_back("late"); });
        model_unlisten(m, second);
    });
    second = model_listen(m, model_change::options, [&](const model_event&) { heard.push_back("second"); });
    window_options options;
    options.plots_per_page = 4;
    model_set_options(m, options); // the second is gone before its turn; the late one hears the next
    options.plots_per_page = 9;
    model_set_options(m, options);
    EXPECT_EQ(heard, (std::vector<std::string> { "first 1", "first 4", "late" }));
    EXPECT_EQ(m.listeners.size(), 2u);
}

// In the window: one selection told per selection, one compared change per
// tick, and what the parts show follows.
TEST(window_model, the_window_tells_its_parts_once_per_change)
{
    gui_test::clear_settings();
    test_support::temp_dir dir;
    const gui_test::two_swoops files(dir.path());
    gui_test::app_window w;
    GtkWidget* win = w.window();
    window_context& ctx = *context_of(win);
    int selections = 0, compared = 0;
    model_listen(ctx.model, model_change::selection, [&](const model_event&) { selections++; });
    model_listen(ctx.model, model_change::compared, [&](const model_event&) { compared++; });

    swoops_open(win, { files.a, files.b });
    EXPECT_EQ(selections, 1);
    ASSERT_EQ(ctx.model.swoops.size(), 2u);
    EXPECT_EQ(ctx.model.selected, ctx.model.swoops[0]);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(swoop_rows(win)[1])), TRUE);
    EXPECT_EQ(compared, 1);
    EXPECT_EQ(model_overlays(ctx.model), (std::vector<swoop*> { ctx.model.swoops[1] }));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ctx.metric_check), TRUE);
    EXPECT_TRUE(ctx.model.options.units.metric);
    EXPECT_EQ(ctx.pages->plots[2]->y_label, "speed (km/h)");
    EXPECT_EQ(selections, 1);
    gui_test::clear_settings();
}
