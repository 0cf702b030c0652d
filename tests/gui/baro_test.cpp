// SPDX-License-Identifier: GPL-3.0-or-later
// "barometric heights": swoops with, without and with a refused sensor file
// beside them, their reports against skimra-cli -b, and the side view's band.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/platform/pref_store.h"
#include "core/plot/plot.h"
#include "gui/options_frame.h"
#include "gui/plot_pages.h"
#include "gui/swoop_list.h"
#include "gui/window.h"
#include "tests/gui/gui_files.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_support.h"
#include "tests/tools/logger_session.h"

using namespace gui_test;
namespace fs = std::filesystem;

namespace {

// skimra-cli's report of a session with `-i` and the extra arguments, run on a copy.
std::string cli_session_report(const std::string& track, const std::vector<std::string>& extra)
{
    test_support::temp_dir scratch;
    for (const auto& e : fs::directory_iterator(fs::path(track).parent_path()))
        fs::copy_file(e.path(), scratch.file(e.path().filename().string()));
    std::vector<std::string> args = { "-i" };
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back("TRACK.CSV");
    const auto r = test_support::run_program(test_support::cli_path(), args, scratch.path());
    EXPECT_EQ(r.status, 0) << r.out;
    return test_support::read_file(scratch.file("TRACK.txt"));
}

void select_swoop(GtkWidget* window, const std::string& path)
{
    for (GtkWidget* row : swoop_rows(window))
        if (row_swoop(row)->file == path)
            gtk_list_box_select_row(GTK_LIST_BOX(context_of(window)->swoop_list), GTK_LIST_BOX_ROW(row));
    flush();
}

} // namespace

TEST(baro, heights_from_the_sensor_file_beside_each_swoop)
{
    clear_settings();
    test_support::temp_dir dir;
    const std::string with = write_logger_session(fs::path(dir.path()) / "with", 31, true);
    const std::string without = write_logger_session(fs::path(dir.path()) / "without", 32, false);
    const std::string refused = write_logger_session(fs::path(dir.path()) / "refused", 33, true, "$FILE,1\n");

    app_window w;
    window_context* ctx = context_of(w.window());
    GtkWidget* check = ctx->options->baro_check;
    EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(check)), "Barometric heights");
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(check)), "barometric heights");
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check))); // off by default

    swoops_open(w.window(), { with, without });
    select_swoop(w.window(), with);
    const std::string gps_report = cli_session_report(with, {});
    EXPECT_EQ(results_text(w.window()), gps_report);

    // On: the swoop with a sensor file reports as skimra-cli -b does, the
    // other adds only where its heights came from.
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), TRUE);
    flush();
    EXPECT_EQ(pref_get("use_baro"), "true");
    EXPECT_EQ(results_text(w.window()), cli_session_report(with, { "-b" }));
    const plot* side = ctx->pages->plots[1].get();
    ASSERT_TRUE(side && side->series);
    EXPECT_EQ(side->series->style, style_fill); // the band, under the curve after it
    EXPECT_EQ(side->series->next->style, style_line_dots);
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(ctx->layout_1x1_item), TRUE);
    flush();
    for (int i = 0; i < gtk_notebook_get_n_pages(GTK_NOTEBOOK(ctx->notebook)); i++)
        if (tab_labels(ctx->notebook)[size_t(i)] == "side")
            gtk_notebook_set_current_page(GTK_NOTEBOOK(ctx->notebook), i);
    wait_for_frame(ctx->notebook);
    screenshot(w.window(), "baro-side-view");

    select_swoop(w.window(), without);
    EXPECT_EQ(results_text(w.window()),
        cli_session_report(without, {}) + "\nheights from:          GPS (no sensor file)\n");
    EXPECT_EQ(ctx->pages->plots[1]->series->style, style_line_dots); // no band

    // A refused sensor file is told; the swoop opens with GPS heights.
    {
        dialog_answerer answer;
        swoops_open(w.window(), { refused });
        ASSERT_EQ(answer.texts().size(), 1u);
        EXPECT_NE(answer.texts()[0].find("sensor file has no barometer rows"), std::string::npos)
            << answer.texts()[0];
    }
    EXPECT_EQ(row_names(w.window()).size(), 3u);
    select_swoop(w.window(), refused);
    EXPECT_EQ(results_text(w.window()), cli_session_report(refused, {}));

    // Off again: GPS heights everywhere.
    select_swoop(w.window(), with);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), FALSE);
    flush();
    EXPECT_EQ(results_text(w.window()), gps_report);
    EXPECT_EQ(ctx->pages->plots[1]->series->style, style_line_dots);
}
