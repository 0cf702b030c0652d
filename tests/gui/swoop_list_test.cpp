// SPDX-License-Identifier: GPL-3.0-or-later
// The swoop list and the gate: opening, the order and selection of rows,
// duplicates, the "Incompatible gate" dialog and its outcomes, closing rows
// and the neighbour rule, ticking, the keys over the rows.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "core/platform/pref_store.h"
#include "gui/plot_pages.h"
#include "gui/swoop_list.h"
#include "gui/window.h"
#include "tests/gui/gui_files.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_support.h"

using namespace gui_test;
using strings = std::vector<std::string>;

namespace {

bool ticked(GtkWidget* row)
{
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(row_check(row)));
}

GtkWidget* row_named(GtkWidget* window, const std::string& name)
{
    for (GtkWidget* row : swoop_rows(window))
        if (std::filesystem::path(row_swoop(row)->file).filename() == name)
            return row;
    return nullptr;
}

// Names of the series in the overhead plot.
strings overhead_series(GtkWidget* window)
{
    strings names;
    const plot* p = context_of(window)->pages->plots[0].get();
    for (const series* s = p ? p->series.get() : nullptr; s; s = s->next.get())
        if (s->name)
            names.push_back(std::filesystem::path(*s->name).filename().string());
    return names;
}

} // namespace

TEST(swoop_list, opening_sorts_by_path_and_selects_the_first_new_row)
{
    clear_settings();
    test_support::temp_dir dir;
    const std::string b = copy_example(dir.path(), "swoop-450-left.csv", "b.csv");
    const std::string a = copy_example(dir.path(), "swoop-270-right.csv", "a.csv");
    app_window w;
    window_context* ctx = context_of(w.window());
    swoops_open(w.window(), { b, a });
    EXPECT_EQ(row_names(w.window()), (strings { "a.csv", "b.csv" }));
    EXPECT_EQ(selected_name(w.window()), "a.csv");
    EXPECT_TRUE(gtk_widget_get_sensitive(ctx->kml_button));
    EXPECT_EQ(results_text(w.window()), cli_report(a, "", false));
    for (int i = 0; i < 8; i++)
        EXPECT_TRUE(ctx->pages->plots[size_t(i)]) << i;

    // The row: tick box, base name with the full path as tooltip, close button.
    GtkWidget* row = row_named(w.window(), "a.csv");
    GtkWidget* label = find_widget(row, [](GtkWidget* x) { return GTK_IS_LABEL(x); });
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label)), "a.csv");
    g_text tip(gtk_widget_get_tooltip_text(label));
    EXPECT_EQ(std::string(tip.get()), a);
    EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(row_check(row))), "Compare a.csv");
    GtkWidget* close
        = find_widget(row, [](GtkWidget* x) { return GTK_IS_BUTTON(x) && !GTK_IS_TOGGLE_BUTTON(x); });
    EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(close)), "Close a.csv");

    // A second request with one file already open: it is refused, the other opens.
    const std::string c = copy_example(dir.path(), "swoop-carve.csv", "c.csv");
    dialog_answerer answer;
    swoops_open(w.window(), { a, c });
    EXPECT_EQ(answer.texts(), (strings { "swoop already open (" + a + ")" }));
    EXPECT_EQ(row_names(w.window()), (strings { "a.csv", "b.csv", "c.csv" }));
    EXPECT_EQ(selected_name(w.window()), "c.csv");
}

TEST(swoop_list, files_that_cannot_be_read_are_reported_and_nothing_open_is_lost)
{
    clear_settings();
    test_support::temp_dir dir;
    const std::string good = copy_example(dir.path(), "swoop-270-right.csv", "good.csv");
    test_support::write_file(dir.file("junk.csv"), "not,a,track\n1,2,3\n");
    app_window w;
    swoops_open(w.window(), { good });
    dialog_answerer answer;
    swoops_open(w.window(), { dir.file("missing.csv"), dir.file("junk.csv") });
    ASSERT_EQ(answer.seen().size(), 2u);
    EXPECT_EQ(answer.seen()[1].text, "failed to open file: " + dir.file("missing.csv"));
    EXPECT_EQ(row_names(w.window()), (strings { "good.csv" }));
    EXPECT_EQ(selected_name(w.window()), "good.csv");

    // A file removed after it was opened stays open: its samples are in memory.
    std::filesystem::remove(good);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(context_of(w.window())->metric_check), TRUE);
    EXPECT_NE(results_text(w.window()).find("km/h"), std::string::npos);
}

TEST(swoop_list, names_with_markup_characters_and_bytes_that_are_not_utf8)
{
    clear_settings();
    test_support::temp_dir dir;
    const std::string amp = copy_example(dir.path(), "swoop-270-right.csv", "R&D <1>.csv");
    const std::string latin1 = copy_example(dir.path(), "swoop-450-left.csv", "caf\xe9.csv");
    app_window w;
    dialog_answerer answer;
    swoops_open(w.window(), { amp, latin1 });
    EXPECT_TRUE(answer.seen().empty());
    ASSERT_EQ(swoop_rows(w.window()).size(), 2u);
    GtkWidget* first = swoop_rows(w.window())[0];
    GtkWidget* second = swoop_rows(w.window())[1];
    auto label_of = [](GtkWidget* row) {
        return std::string(
            gtk_label_get_text(GTK_LABEL(find_widget(row, [](GtkWidget* x) { return GTK_IS_LABEL(x); }))));
    };
    EXPECT_EQ(label_of(first), "R&D <1>.csv");
    EXPECT_EQ(label_of(second), "caf\xef\xbf\xbd.csv"); // shown with a replacement character
    EXPECT_EQ(row_swoop(second)->file, latin1); // the path itself is kept byte for byte
    // The same file again: the message names it, readable.
    swoops_open(w.window(), { amp });
    EXPECT_EQ(answer.texts(), (strings { "swoop already open (" + amp + ")" }));
}

TEST(swoop_list, the_incompatible_gate_dialog_and_its_two_outcomes)
{
    test_support::temp_dir dir;
    const far_course far = write_far_course(dir.path());
    const std::string a = copy_example(dir.path(), "swoop-270-right.csv", "a.csv");
    const std::string b = copy_example(dir.path(), "swoop-450-left.csv", "b.csv");
    for (int response : { 2, 1 }) {
        clear_settings();
        app_window w;
        window_context* ctx = context_of(w.window());
        swoops_open(w.window(), { a, b, far.swoop });
        ASSERT_EQ(row_names(w.window()), (strings { "a.csv", "b.csv", "far-swoop.csv" }));
        // The distances the analysis finds for the two swoops of the examples' course.
        std::vector<std::string> lines;
        for (const std::string& path : { a, b }) {
            const char* err = nullptr;
            std::unique_ptr<gate> g = gate_open(far.walk.c_str(), nullptr, &err);
            ASSERT_TRUE(g) << err;
            std::unique_ptr<swoop> s = swoop_new(path.c_str(), &err);
            swoop_analyse(*s, frame_from_gate, &g->matrix, g->theta, &err);
            ASSERT_NE(err, nullptr);
            float miles = 0;
            ASSERT_EQ(std::sscanf(err, "invalid gate location (%f miles", &miles), 1);
            EXPECT_GT(miles, 1.5);
            char line[128];
            std::snprintf(line, sizeof line, "%s (%.1f miles from gate)",
                std::filesystem::path(path).filename().c_str(), double(miles));
            lines.push_back(line);
        }

        dialog_answerer answer([&](GtkDialog*, const dialog_seen&) { return response; });
        const bool kept = gate_open_file(w.window(), far.walk.c_str());
        ASSERT_EQ(answer.seen().size(), 1u);
        EXPECT_EQ(answer.seen()[0].title, "Incompatible gate");
        EXPECT_EQ(answer.seen()[0].text,
            "The selected gate is incompatible with one or more swoops:\n\n" + lines[0] + "\n" + lines[1]
                + "\n");
        if (response == 2) { // "Close _swoops": the far ones go, the selected one last
            EXPECT_TRUE(kept);
            EXPECT_EQ(row_names(w.window()), (strings { "far-swoop.csv" }));
            EXPECT_EQ(selected_name(w.window()), "far-swoop.csv");
            EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(ctx->gate_label)), "far-walk.csv");
            EXPECT_EQ(results_text(w.window()), cli_report(far.swoop, far.walk, false));
        } else { // "Close _gate": every swoop stays, no gate, nothing remembered
            EXPECT_FALSE(kept);
            EXPECT_EQ(row_names(w.window()), (strings { "a.csv", "b.csv", "far-swoop.csv" }));
            EXPECT_EQ(ctx->model.gate, nullptr);
            EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(ctx->gate_label)), "(none selected)");
            EXPECT_FALSE(gtk_widget_get_sensitive(ctx->pond_check));
            EXPECT_EQ(pref_get("gate_file"), std::nullopt);
            EXPECT_EQ(results_text(w.window()), cli_report(a, "", false));
        }
    }
    clear_settings();
}

TEST(swoop_list, a_far_swoop_opened_under_a_gate_leads_to_the_same_dialog)
{
    clear_settings();
    test_support::temp_dir dir;
    const far_course far = write_far_course(dir.path());
    const std::string a = copy_example(dir.path(), "swoop-270-right.csv", "a.csv");
    app_window w;
    ASSERT_TRUE(gate_open_file(w.window(), gui_test::example("gate-walk.csv").c_str()));
    swoops_open(w.window(), { a });
    dialog_answerer answer(2);
    swoops_open(w.window(), { far.swoop });
    ASSERT_EQ(answer.seen().size(), 1u);
    EXPECT_EQ(answer.seen()[0].title, "Incompatible gate");
    EXPECT_EQ(row_names(w.window()), (strings { "a.csv" }));
    EXPECT_EQ(selected_name(w.window()), "a.csv");
}

TEST(swoop_list, closing_rows_and_the_neighbour_rule)
{
    clear_settings();
    test_support::temp_dir dir;
    std::vector<std::string> paths;
    for (const char* n : { "a.csv", "b.csv", "c.csv", "d.csv" })
        paths.push_back(copy_example(dir.path(), "swoop-270-right.csv", n));
    app_window w;
    GtkWidget* win = w.window();
    window_context* ctx = context_of(win);
    swoops_open(win, paths);
    ASSERT_EQ(selected_name(win), "a.csv");

    // The first row, selected: the new first row is selected.
    swoop_row_close(win, row_named(win, "a.csv"));
    EXPECT_EQ(row_names(win), (strings { "b.csv", "c.csv", "d.csv" }));
    EXPECT_EQ(selected_name(win), "b.csv");
    // A selected row with one before it: that one is selected.
    gtk_list_box_select_row(GTK_LIST_BOX(ctx->swoop_list), GTK_LIST_BOX_ROW(row_named(win, "d.csv")));
    swoop_row_close(win, row_named(win, "d.csv"));
    EXPECT_EQ(selected_name(win), "c.csv");
    // A ticked row that is not selected: its overlay leaves the plots.
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(row_named(win, "b.csv"))), TRUE);
    EXPECT_EQ(overhead_series(win), (strings { "c.csv", "b.csv" }));
    swoop_row_close(win, row_named(win, "b.csv"));
    EXPECT_EQ(overhead_series(win), (strings { "c.csv" }));
    EXPECT_EQ(selected_name(win), "c.csv");
    // The only row: an empty list, no plots, no report, no Google Earth.
    swoop_row_close(win, row_named(win, "c.csv"));
    EXPECT_TRUE(row_names(win).empty());
    EXPECT_EQ(selected_name(win), "");
    EXPECT_FALSE(gtk_widget_get_sensitive(ctx->kml_button));
    EXPECT_EQ(results_text(win), "");
    for (const auto& p : ctx->pages->plots)
        EXPECT_FALSE(p);
}

TEST(swoop_list, ticking_compares_and_the_selected_row_is_always_drawn_in_full)
{
    test_support::temp_dir dir;
    const two_swoops files(dir.path());
    const std::string &a = files.a, &b = files.b;
    app_window w;
    GtkWidget* win = w.window();
    swoops_open(win, { a, b });
    // Ticking the selected row changes nothing.
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(row_named(win, "a.csv"))), TRUE);
    EXPECT_EQ(overhead_series(win), (strings { "a.csv" }));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(row_named(win, "a.csv"))), FALSE);
    // Ticking another: a grey overlay in every plot; unticking takes it away.
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(row_named(win, "b.csv"))), TRUE);
    EXPECT_EQ(overhead_series(win), (strings { "a.csv", "b.csv" }));
    for (const auto& p : context_of(win)->pages->plots) {
        bool grey = false;
        for (const series* s = p->series.get(); s; s = s->next.get())
            grey = grey || (s->name && s->name->ends_with("b.csv") && s->color == 0x808080);
        EXPECT_TRUE(grey) << p->title;
    }
    // Selecting the ticked one draws it in full and the other, not ticked, not at all.
    gtk_list_box_select_row(
        GTK_LIST_BOX(context_of(win)->swoop_list), GTK_LIST_BOX_ROW(row_named(win, "b.csv")));
    EXPECT_EQ(overhead_series(win), (strings { "b.csv" }));
    EXPECT_TRUE(ticked(row_named(win, "b.csv")));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(row_named(win, "b.csv"))), FALSE);
    EXPECT_EQ(overhead_series(win), (strings { "b.csv" }));
}

TEST(swoop_list, up_and_down_walk_the_rows_with_wrap_around)
{
    clear_settings();
    test_support::temp_dir dir;
    std::vector<std::string> paths;
    for (const char* n : { "a.csv", "b.csv", "c.csv" })
        paths.push_back(copy_example(dir.path(), "swoop-270-right.csv", n));
    app_window w;
    GtkWidget* win = w.window();
    GtkWidget* list = context_of(win)->swoop_list;
    swoops_open(win, paths);
    gtk_widget_grab_focus(list);
    send_key(list, GDK_KEY_Up); // from the first row to the last
    EXPECT_EQ(selected_name(win), "c.csv");
    send_key(list, GDK_KEY_Down); // from the last row to the first
    EXPECT_EQ(selected_name(win), "a.csv");
    send_key(list, GDK_KEY_Down);
    EXPECT_EQ(selected_name(win), "b.csv");
    // From the notebook, Down comes to the list.
    GtkWidget* notebook = context_of(win)->notebook;
    gtk_widget_grab_focus(notebook);
    send_key(notebook, GDK_KEY_Down);
    EXPECT_EQ(selected_name(win), "c.csv");
    // With no row selected, Up and Down do nothing.
    gtk_list_box_unselect_all(GTK_LIST_BOX(list));
    gtk_widget_grab_focus(list);
    send_key(list, GDK_KEY_Down);
    EXPECT_EQ(selected_name(win), "");
}

TEST(gate, opening_closing_and_restoring)
{
    clear_settings();
    test_support::temp_dir dir;
    const std::string gate_path = copy_example(dir.path(), "gate-walk.csv", "gate-walk.csv");
    const std::string a = copy_example(dir.path(), "swoop-carve.csv", "swoop-carve.csv");
    {
        app_window w;
        window_context* ctx = context_of(w.window());
        swoops_open(w.window(), { a });
        ASSERT_TRUE(gate_open_file(w.window(), gate_path.c_str()));
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(ctx->gate_label)), "gate-walk.csv");
        EXPECT_TRUE(gtk_widget_get_sensitive(ctx->pond_check));
        ASSERT_GE(ctx->model.pond.size(), 2u);
        EXPECT_EQ(ctx->model.pond.back(), (vec3 { 0, 0, 0 }));
        for (bool metric : { false, true }) {
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ctx->metric_check), metric);
            EXPECT_EQ(results_text(w.window()), cli_report(a, gate_path, metric)) << metric;
        }
        // A carve run turns the pond with its frame.
        EXPECT_NE(ctx->model.pond_angle, 0);

        // A gate that cannot be surveyed: its error, the open gate stays.
        dialog_answerer answer;
        EXPECT_FALSE(gate_open_file(w.window(), a.c_str()));
        ASSERT_EQ(answer.seen().size(), 1u);
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(ctx->gate_label)), "gate-walk.csv");

        gate_close(w.window());
        EXPECT_EQ(ctx->model.gate, nullptr);
        EXPECT_TRUE(ctx->model.pond.empty());
        EXPECT_EQ(results_text(w.window()), cli_report(a, "", true));
        gate_close(w.window()); // no gate: nothing
    }
    // A remembered gate reopens at start; one that is gone is forgotten after its error.
    pref_set("gate_file", gate_path.c_str());
    {
        app_window w;
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(context_of(w.window())->gate_label)), "gate-walk.csv");
        // "Close g_ate..." with no gate keeps the preference; with one it goes.
    }
    EXPECT_EQ(pref_get("gate_file"), gate_path);
    std::filesystem::remove(gate_path);
    {
        dialog_answerer answer;
        app_window w;
        EXPECT_EQ(answer.texts(), (strings { "failed to open file: " + gate_path }));
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(context_of(w.window())->gate_label)), "(none selected)");
    }
    EXPECT_EQ(pref_get("gate_file"), std::nullopt);
    clear_settings();
}

TEST(gate, reports_match_the_command_line_for_every_example)
{
    clear_settings();
    test_support::temp_dir dir;
    const std::string gate_path = copy_example(dir.path(), "gate-walk.csv", "gate-walk.csv");
    std::vector<std::string> swoops;
    for (const char* n : { "swoop-270-right.csv", "swoop-450-left.csv", "swoop-carve.csv" })
        swoops.push_back(copy_example(dir.path(), n, n));
    app_window w;
    GtkWidget* win = w.window();
    window_context* ctx = context_of(win);
    swoops_open(win, swoops);
    for (bool with_gate : { false, true }) {
        if (with_gate) {
            ASSERT_TRUE(gate_open_file(win, gate_path.c_str()));
        }
        for (const std::string& path : swoops) {
            gtk_list_box_select_row(GTK_LIST_BOX(ctx->swoop_list),
                GTK_LIST_BOX_ROW(row_named(win, std::filesystem::path(path).filename())));
            for (bool metric : { false, true }) {
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ctx->metric_check), metric);
                EXPECT_EQ(results_text(win), cli_report(path, with_gate ? gate_path : "", metric))
                    << path << (with_gate ? " with the gate" : " without a gate")
                    << (metric ? ", metric" : "");
            }
        }
    }
}
