// SPDX-License-Identifier: GPL-3.0-or-later
// Files entering the program: the gate and swoop choosers with their stored
// folders, closing from the File menu, and files dropped on the window.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "core/platform/pref_store.h"
#include "gui/file_choosers.h"
#include "gui/swoop_list.h"
#include "gui/window.h"
#include "tests/gui/gui_files.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_support.h"

using namespace gui_test;
using strings = std::vector<std::string>;

namespace {

// The folder a chooser shows, once it has settled on one.
std::string chooser_folder(GtkDialog* d)
{
    std::string shown;
    spin_until(
        [&] {
            g_text folder(gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(d)));
            shown = folder ? folder.get() : "";
            return !shown.empty();
        },
        5000);
    return shown;
}

// Chooses a file in a chooser as a user does, waiting until the chooser has
// it selected (it loads the folder first; before that it would not accept).
void choose_file(GtkDialog* d, const std::string& file)
{
    gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(d), file.c_str());
    spin_until(
        [&] {
            g_text chosen(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(d)));
            return chosen && file == chosen.get();
        },
        5000);
}

void activate(GtkWidget* window, const char* label)
{
    gtk_menu_item_activate(GTK_MENU_ITEM(find_menu_item(menu_bar_of(window), label)));
    flush();
}

} // namespace

TEST(file_choosers, cancelled_choosers_write_nothing_and_open_nothing)
{
    clear_settings();
    test_support::scoped_cwd keep(test_support::source_dir());
    app_window w;
    dialog_answerer answer(GTK_RESPONSE_CANCEL);
    activate(w.window(), "Open _gate...");
    activate(w.window(), "Open _swoop...");
    ASSERT_EQ(answer.seen().size(), 2u);
    EXPECT_EQ(answer.seen()[0].title, "Open Gate");
    EXPECT_EQ(answer.seen()[0].type, "GtkFileChooserDialog");
    EXPECT_EQ(answer.seen()[1].title, "Open Swoop");
    EXPECT_FALSE(test_support::file_exists(settings_path()));
    EXPECT_TRUE(swoop_rows(w.window()).empty());
    EXPECT_EQ(context_of(w.window())->model.gate, nullptr);
}

TEST(file_choosers, choosers_open_in_their_stored_folders_and_remember_them)
{
    clear_settings();
    test_support::temp_dir gates, swoops, elsewhere;
    const std::string gate = copy_example(gates.path(), "gate-walk.csv", "gate-walk.csv");
    const std::string swoop = copy_example(swoops.path(), "swoop-270-right.csv", "swoop-270-right.csv");
    test_support::scoped_cwd keep(elsewhere.path());
    app_window w;
    GtkWidget* win = w.window();

    // Nothing stored: both open in the working directory.
    std::vector<std::string> folders;
    {
        dialog_answerer answer([&](GtkDialog* d, const dialog_seen&) {
            folders.push_back(chooser_folder(d));
            return int(GTK_RESPONSE_CANCEL);
        });
        activate(win, "Open _gate...");
        activate(win, "Open _swoop...");
    }
    EXPECT_EQ(folders, (strings { elsewhere.path(), elsewhere.path() }));

    // Choosing a gate and a swoop stores their folders and the gate.
    auto choose = [](const std::string& file) {
        return [file](GtkDialog* d, const dialog_seen&) {
            choose_file(d, file);
            return int(GTK_RESPONSE_ACCEPT);
        };
    };
    {
        dialog_answerer answer(choose(gate));
        activate(win, "Open _gate...");
    }
    EXPECT_EQ(pref_get("gate_dir"), gates.path());
    EXPECT_EQ(pref_get("gate_file"), gate);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(context_of(win)->gate_label)), "gate-walk.csv");
    {
        dialog_answerer answer(choose(swoop));
        activate(win, "Open _swoop...");
    }
    EXPECT_EQ(pref_get("swoop_dir"), swoops.path());
    EXPECT_EQ(selected_name(win), "swoop-270-right.csv");

    // The next choosers open there.
    folders.clear();
    {
        dialog_answerer answer([&](GtkDialog* d, const dialog_seen&) {
            folders.push_back(chooser_folder(d));
            return int(GTK_RESPONSE_CANCEL);
        });
        activate(win, "Open _gate...");
        activate(win, "Open _swoop...");
    }
    EXPECT_EQ(folders, (strings { gates.path(), swoops.path() }));

    // The shared file-chooser settings the choosers rely on.
    gobject_ptr<GSettings> settings(g_settings_new("org.gtk.Settings.FileChooser"));
    g_text mode(g_settings_get_string(settings.get(), "startup-mode"));
    EXPECT_STREQ(mode.get(), "cwd");
    EXPECT_TRUE(g_settings_get_boolean(settings.get(), "sort-directories-first"));

    // A stored folder that is gone leaves the working directory as it is.
    pref_set("swoop_dir", (swoops.path() + "/gone").c_str());
    const std::filesystem::path before = std::filesystem::current_path();
    folders.clear();
    {
        dialog_answerer answer([&](GtkDialog* d, const dialog_seen&) {
            folders.push_back(chooser_folder(d));
            return int(GTK_RESPONSE_CANCEL);
        });
        activate(win, "Open _swoop...");
    }
    EXPECT_EQ(std::filesystem::current_path(), before);
    EXPECT_EQ(folders, (strings { before.string() }));
    clear_settings();
}

TEST(file_choosers, a_gate_that_does_not_open_is_not_remembered)
{
    clear_settings();
    test_support::temp_dir dir;
    test_support::write_file(dir.file("not-a-walk.csv"), "hello\n");
    test_support::scoped_cwd keep(dir.path());
    app_window w;
    int dialogs = 0;
    dialog_answerer answer([&](GtkDialog* d, const dialog_seen&) {
        if (dialogs++ == 0) {
            choose_file(d, dir.file("not-a-walk.csv"));
            return int(GTK_RESPONSE_ACCEPT);
        }
        return int(GTK_RESPONSE_CLOSE); // the error
    });
    activate(w.window(), "Open _gate...");
    ASSERT_EQ(answer.seen().size(), 2u);
    EXPECT_EQ(answer.seen()[1].title, "Error");
    EXPECT_EQ(pref_get("gate_dir"), dir.path());
    EXPECT_EQ(pref_get("gate_file"), std::nullopt);
}

TEST(file_choosers, without_the_toolkits_chooser_schema_the_program_says_so_and_lives_on)
{
    if (!in_child()) {
        EXPECT_TRUE(run_test_in_child({ "SKIMRA_TEST_SYSTEM_DATA=minimal" }));
        return;
    }
    EXPECT_FALSE(file_chooser_schema_installed());
    EXPECT_FALSE(file_chooser_settings_apply()); // the step is skipped, the program lives on
    clear_settings();
    test_support::temp_dir dir;
    test_support::scoped_cwd keep(dir.path());
    app_window w;
    dialog_answerer answer;
    activate(w.window(), "Open _swoop...");
    ASSERT_EQ(answer.seen().size(), 1u);
    EXPECT_EQ(answer.seen()[0].title, "Error");
    EXPECT_EQ(answer.seen()[0].text,
        "cannot show the file chooser: the settings schema org.gtk.Settings.FileChooser is not installed; "
        "drop "
        "the swoop file on the window instead");
    // The window is still there, and files still come in by a drop or the command line.
    swoops_open(w.window(), { copy_example(dir.path(), "swoop-270-right.csv", "a.csv") });
    EXPECT_EQ(row_names(w.window()), (strings { "a.csv" }));
}

TEST(file_choosers, close_items_of_the_file_menu)
{
    test_support::temp_dir dir;
    const two_swoops files(dir.path());
    const std::string &a = files.a, &b = files.b;
    app_window w;
    GtkWidget* win = w.window();
    pref_set("gate_file", "/somewhere/gate.csv");
    activate(win, "Close g_ate..."); // no gate: nothing, the preference stays
    EXPECT_EQ(pref_get("gate_file"), "/somewhere/gate.csv");
    activate(win, "Close s_woop..."); // no row: nothing
    swoops_open(win, { a, b });
    ASSERT_TRUE(gate_open_file(win, example("gate-walk.csv").c_str()));
    // Delete (no modifier) closes the selected swoop; Ctrl+W the gate.
    send_key(context_of(win)->notebook, GDK_KEY_Delete);
    EXPECT_EQ(row_names(win), (strings { "b.csv" }));
    send_key(context_of(win)->notebook, GDK_KEY_w, GDK_CONTROL_MASK);
    EXPECT_EQ(context_of(win)->model.gate, nullptr);
    EXPECT_EQ(pref_get("gate_file"), std::nullopt);

    // Regression: closing the focused row from the menu left no widget with
    // the focus, and Up and Down went nowhere. The focus stays in the list: on
    // the row selected next, or on the list once it is empty.
    swoops_open(win, { a });
    GtkWidget* list = context_of(win)->swoop_list;
    gtk_widget_grab_focus(selected_row(win));
    activate(win, "Close s_woop...");
    EXPECT_EQ(row_names(win), (strings { "b.csv" }));
    ASSERT_EQ(gtk_window_get_focus(GTK_WINDOW(win)), selected_row(win));
    activate(win, "Close s_woop...");
    EXPECT_TRUE(row_names(win).empty());
    EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(win)), list);
    clear_settings();
}

TEST(drop, local_files_of_a_drop_open_as_swoops_and_web_addresses_are_passed_over)
{
    clear_settings();
    test_support::temp_dir dir;
    strings uris;
    for (const char* n : { "c.csv", "a.csv", "b.csv" }) {
        g_text uri(
            g_filename_to_uri(copy_example(dir.path(), "swoop-270-right.csv", n).c_str(), nullptr, nullptr));
        uris.emplace_back(uri.get());
    }
    uris.insert(uris.begin() + 1, "https://example.com/jump.csv");
    app_window w;
    dialog_answerer answer;
    drop_uris(w.window(), uris);
    EXPECT_TRUE(answer.seen().empty());
    EXPECT_EQ(row_names(w.window()), (strings { "a.csv", "b.csv", "c.csv" }));
    EXPECT_EQ(selected_name(w.window()), "a.csv");

    // A folder and a file that is not a track: each says why, nothing else changes.
    g_text folder(g_filename_to_uri(dir.path().c_str(), nullptr, nullptr));
    test_support::write_file(dir.file("photo.jpg"), "\xff\xd8\xff\xe0 not a track");
    g_text photo(g_filename_to_uri(dir.file("photo.jpg").c_str(), nullptr, nullptr));
    drop_uris(w.window(), { folder.get(), photo.get() });
    ASSERT_EQ(answer.seen().size(), 2u);
    EXPECT_EQ(answer.seen()[0].text, "cannot open a folder as a swoop: " + dir.path());
    EXPECT_EQ(row_names(w.window()), (strings { "a.csv", "b.csv", "c.csv" }));
    EXPECT_EQ(selected_name(w.window()), "a.csv");
}
