// SPDX-License-Identifier: GPL-3.0-or-later
// Settings: the typed reads of the store, what a window makes of stored
// values (sane, absurd or foreign), and what changing them in the window
// stores.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/platform/pref_store.h"
#include "gui/dialogs.h"
#include "gui/settings.h"
#include "gui/window.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_support.h"

using namespace gui_test;

namespace {

bool active(GtkWidget* w)
{
    return GTK_IS_CHECK_MENU_ITEM(w) ? gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(w))
                                     : gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w));
}

int notebook_height(window_context* ctx)
{
    int height = 0;
    gtk_container_child_get(GTK_CONTAINER(ctx->grid), ctx->notebook, "height", &height, nullptr);
    return height;
}

} // namespace

TEST(settings, typed_reads_of_stored_texts)
{
    clear_settings();
    struct {
        const char* stored;
        int32_t want;
    } ints[] = {
        { "42", 42 },
        { "  4.7", 4 },
        { "-4.7", -4 },
        { "9 plots", 9 },
        { "abc", 0 },
        { "", 0 },
        { "1e20", 0 }, // beyond 32 bits: read as no number, never cast
        { "-1e20", 0 },
        { "2147483647", 2147483647 },
        { "2147483648", 0 },
        { "-2147483648.9", -2147483647 - 1 },
        { "nan", 0 },
        { "inf", 0 },
        { "-infinity", 0 },
    };
    for (const auto& c : ints) {
        ASSERT_TRUE(pref_set("probe", c.stored));
        EXPECT_EQ(pref_get_int("probe", 77), c.want) << '"' << c.stored << '"';
    }
    pref_set("probe", nullptr);
    EXPECT_EQ(pref_get_int("probe", 77), 77);

    for (auto [stored, want] :
        { std::pair { "true", true }, { "TRUE", false }, { "yes", false }, { "", false } }) {
        pref_set("flag", stored);
        EXPECT_EQ(pref_get_bool("flag", true), want) << stored;
    }
    pref_set("flag", nullptr);
    EXPECT_TRUE(pref_get_bool("flag", true));
    EXPECT_FALSE(pref_get_bool("flag", false));

    EXPECT_TRUE(pref_set_int("n", -2500));
    EXPECT_EQ(pref_get("n"), "-2500");
}

TEST(settings, a_new_window_with_nothing_stored_stores_nothing)
{
    clear_settings();
    app_window w;
    window_context* ctx = context_of(w.window());
    EXPECT_TRUE(active(ctx->layout_1x1_item));
    EXPECT_EQ(tab_labels(ctx->notebook).size(), 9u);
    EXPECT_FALSE(active(ctx->time_scale_item));
    EXPECT_EQ(ctx->time_scale, nullptr);
    EXPECT_FALSE(active(ctx->metric_check));
    EXPECT_TRUE(active(ctx->pond_check));
    EXPECT_FALSE(gtk_widget_get_sensitive(ctx->pond_check));
    EXPECT_FALSE(test_support::file_exists(settings_path()));
}

TEST(settings, stored_layouts_sane_and_absurd)
{
    struct {
        const char* stored;
        std::vector<std::string> tabs;
        GtkWidget* window_context::*item;
        bool message;
    } cases[] = {
        { "4.7", { "metrics", "plots 1", "plots 2" }, &window_context::layout_2x2_item, false },
        { "9", { "metrics", "plots" }, &window_context::layout_3x3_item, false },
        { "2", { "metrics" }, &window_context::layout_1x1_item, true },
        { "abc", { "metrics" }, &window_context::layout_1x1_item, true },
        { "1e20", { "metrics" }, &window_context::layout_1x1_item, true },
        { "-9", { "metrics" }, &window_context::layout_1x1_item, true },
    };
    for (const auto& c : cases) {
        write_settings(std::string("[settings]\nplots_per_page=") + c.stored + "\n");
        testing::internal::CaptureStdout();
        app_window w;
        const std::string out = testing::internal::GetCapturedStdout();
        window_context* ctx = context_of(w.window());
        EXPECT_EQ(tab_labels(ctx->notebook), c.tabs) << c.stored;
        EXPECT_TRUE(active(ctx->*c.item)) << c.stored;
        EXPECT_EQ(out, c.message ? "ERROR: invalid plots_per_page\n" : "") << c.stored;
        EXPECT_EQ(pref_get("plots_per_page"), c.stored); // read, not rewritten
        if (std::string(c.stored) == "2") {
            // "_1x1 plots" looks chosen but built nothing; "_2x2 plots" builds two pages.
            gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(ctx->layout_2x2_item), TRUE);
            EXPECT_EQ(
                tab_labels(ctx->notebook), (std::vector<std::string> { "metrics", "plots 1", "plots 2" }));
            EXPECT_EQ(pref_get("plots_per_page"), "4");
        }
    }
    clear_settings();
}

TEST(settings, a_corrupt_or_foreign_settings_file_reads_as_defaults_and_is_kept)
{
    write_settings(std::string("\x89PNG\r\n\x1a\n\0\0 binary junk", 21));
    {
        app_window w;
        window_context* ctx = context_of(w.window());
        EXPECT_TRUE(active(ctx->layout_1x1_item));
        EXPECT_FALSE(active(ctx->metric_check));
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ctx->metric_check), TRUE); // the first write
        EXPECT_EQ(pref_get("use_metric"), "true");
    }
    EXPECT_TRUE(test_support::file_exists(settings_path() + ".bad"));
    std::remove((settings_path() + ".bad").c_str());

    write_settings("[other program]\nplots_per_page=9\nuse_metric=true\n");
    app_window w;
    window_context* ctx = context_of(w.window());
    EXPECT_TRUE(active(ctx->layout_1x1_item));
    EXPECT_FALSE(active(ctx->metric_check));
    w.close();
    clear_settings();
}

TEST(settings, changes_in_the_window_are_stored_and_rebuild_only_once)
{
    clear_settings();
    write_settings("[settings]\nuse_metric=TRUE\ndraw_pond=false\nenable_scale=TRUE\n");
    app_window w;
    window_context* ctx = context_of(w.window());
    EXPECT_FALSE(active(ctx->metric_check)); // "TRUE" is not "true"
    EXPECT_FALSE(active(ctx->time_scale_item));
    EXPECT_EQ(ctx->time_scale, nullptr);
    EXPECT_FALSE(active(ctx->pond_check));

    int added = 0;
    const gulong id = g_signal_connect(ctx->notebook, "page-added",
        G_CALLBACK(+[](GtkNotebook*, GtkWidget*, guint, gpointer n) { ++*static_cast<int*>(n); }), &added);
    gtk_menu_item_activate(GTK_MENU_ITEM(ctx->layout_3x3_item));
    EXPECT_EQ(added, 1); // the "plots" page only: the item that was active rebuilt nothing
    g_signal_handler_disconnect(ctx->notebook, id);
    EXPECT_EQ(pref_get("plots_per_page"), "9");

    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ctx->metric_check), TRUE);
    EXPECT_EQ(pref_get("use_metric"), "true");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ctx->pond_check), TRUE);
    EXPECT_EQ(pref_get("draw_pond"), "true");

    // The time scale: on builds the player below the notebook, off removes it.
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(ctx->time_scale_item), TRUE);
    EXPECT_EQ(pref_get("enable_scale"), "true");
    ASSERT_NE(ctx->time_scale, nullptr);
    EXPECT_EQ(notebook_height(ctx), 3);
    GtkWidget* box = gtk_grid_get_child_at(GTK_GRID(ctx->grid), 1, 4);
    EXPECT_EQ(box, gtk_widget_get_parent(ctx->time_scale));
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(ctx->time_scale_item), FALSE);
    EXPECT_EQ(pref_get("enable_scale"), "false");
    EXPECT_EQ(ctx->time_scale, nullptr);
    EXPECT_EQ(notebook_height(ctx), 4);
    w.close();
    clear_settings();
}

TEST(settings, a_stored_time_scale_comes_back_on)
{
    write_settings("[settings]\nenable_scale=true\nuse_metric=true\nplots_per_page=4\n");
    app_window w;
    window_context* ctx = context_of(w.window());
    EXPECT_TRUE(active(ctx->time_scale_item));
    EXPECT_NE(ctx->time_scale, nullptr);
    EXPECT_EQ(notebook_height(ctx), 3);
    EXPECT_TRUE(active(ctx->metric_check));
    EXPECT_TRUE(active(ctx->layout_2x2_item));
    w.close();
    clear_settings();
}

TEST(dialogs, error_texts_reach_the_user_as_written)
{
    clear_settings();
    app_window w;
    dialog_answerer answer;
    show_error(w.window(), "failed to open file: %s", "/tmp/R&D <new>/jump.csv");
    show_error(w.window(), "failed to open file: %s", "/tmp/caf\xe9/jump.csv"); // Latin-1, not UTF-8
    show_error(w.window(), "%s", "plain");
    ASSERT_EQ(answer.seen().size(), 3u);
    EXPECT_EQ(answer.seen()[0].text, "failed to open file: /tmp/R&D <new>/jump.csv");
    EXPECT_EQ(answer.seen()[1].text, "failed to open file: /tmp/caf\xef\xbf\xbd/jump.csv");
    EXPECT_EQ(answer.seen()[2].text, "plain");
    for (const dialog_seen& d : answer.seen()) {
        EXPECT_EQ(d.title, "Error");
        EXPECT_EQ(d.type, "GtkMessageDialog");
    }
}
