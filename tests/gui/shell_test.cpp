// SPDX-License-Identifier: GPL-3.0-or-later
// The application shell: the window, its layout and menus, its size, the
// keys, the icons and the application's actions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/platform/pref_store.h"
#include "gui/dialogs.h"
#include "gui/window.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_support.h"

using namespace gui_test;

namespace {

struct grid_place {
    int left, top, width, height;
    bool operator==(const grid_place&) const = default;
};

grid_place place_of(GtkWidget* grid, GtkWidget* child)
{
    grid_place p {};
    gtk_container_child_get(GTK_CONTAINER(grid), child, "left-attach", &p.left, "top-attach", &p.top, "width",
        &p.width, "height", &p.height, nullptr);
    return p;
}

int int_property(GtkWidget* w, const char* name)
{
    int v = 0;
    g_object_get(w, name, &v, nullptr);
    return v;
}

// The accelerator of a menu item's "activate", as GTK names it, or "".
std::string accelerator_of(GtkWidget* item)
{
    std::string found;
    GList* closures = gtk_widget_list_accel_closures(item);
    for (GList* l = closures; l; l = l->next) {
        auto* closure = static_cast<GClosure*>(l->data);
        GtkAccelGroup* group = gtk_accel_group_from_accel_closure(closure);
        GtkAccelKey* key = group
            ? gtk_accel_group_find(
                group, [](GtkAccelKey*, GClosure* c, gpointer wanted) -> gboolean { return c == wanted; },
                closure)
            : nullptr;
        if (key) {
            g_text name(gtk_accelerator_name(key->accel_key, key->accel_mods));
            found = name.get();
        }
    }
    g_list_free(closures);
    return found;
}

} // namespace

TEST(shell, window_layout_and_properties)
{
    clear_settings();
    app_window w;
    window_context* ctx = context_of(w.window());
    ASSERT_NE(ctx, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(w.window())), "Skimra");
    EXPECT_TRUE(gtk_window_get_icon(GTK_WINDOW(w.window())));

    // Nothing stored: time scale off, so the notebook covers rows 1 to 4.
    GtkWidget* grid = ctx->grid;
    EXPECT_EQ(place_of(grid, menu_bar_of(w.window())), (grid_place { 0, 0, 2, 1 }));
    EXPECT_EQ(place_of(grid, ctx->notebook), (grid_place { 1, 1, 1, 4 }));
    EXPECT_EQ(int_property(ctx->notebook, "margin-bottom"), 0);
    EXPECT_EQ(ctx->time_scale, nullptr);
    GtkWidget* options = gtk_grid_get_child_at(GTK_GRID(grid), 0, 1);
    GtkWidget* gate = gtk_grid_get_child_at(GTK_GRID(grid), 0, 2);
    GtkWidget* swoops = gtk_grid_get_child_at(GTK_GRID(grid), 0, 3);
    GtkWidget* kml = gtk_grid_get_child_at(GTK_GRID(grid), 0, 4);
    EXPECT_STREQ(gtk_frame_get_label(GTK_FRAME(options)), "options");
    EXPECT_STREQ(gtk_frame_get_label(GTK_FRAME(gate)), "gate");
    EXPECT_STREQ(gtk_frame_get_label(GTK_FRAME(swoops)), "swoop");
    EXPECT_EQ(kml, ctx->kml_button);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(kml)), "view in Google Earth");
    EXPECT_FALSE(gtk_widget_get_sensitive(kml));
    EXPECT_EQ(int_property(options, "width-request"), 150);
    EXPECT_EQ(int_property(options, "margin-start"), 10);
    EXPECT_EQ(int_property(gate, "margin-top"), 0);
    EXPECT_TRUE(gtk_widget_get_vexpand(swoops));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(ctx->gate_label)), "(none selected)");
    EXPECT_EQ(tab_labels(ctx->notebook),
        (std::vector<std::string> { "metrics", "overhead", "side", "dive speed", "swoop speed", "dive angle",
            "accuracy", "turn rate", "heading" }));
    EXPECT_EQ(current_tab(ctx->notebook), "metrics");
    EXPECT_TRUE(gtk_widget_has_focus(ctx->notebook));

    // The results view: read-only, no cursor, monospace 14 px on GTK 3.24.
    EXPECT_FALSE(gtk_text_view_get_editable(GTK_TEXT_VIEW(ctx->results_view)));
    EXPECT_FALSE(gtk_text_view_get_cursor_visible(GTK_TEXT_VIEW(ctx->results_view)));
    EXPECT_EQ(gtk_drag_dest_get_target_list(ctx->results_view), nullptr);
    PangoFontDescription* font = nullptr;
    gtk_style_context_get(
        gtk_widget_get_style_context(ctx->results_view), GTK_STATE_FLAG_NORMAL, "font", &font, nullptr);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(pango_font_description_get_size(font), 14 * PANGO_SCALE * 3 / 4); // 14 px = 10.5 pt
    EXPECT_STREQ(pango_font_description_get_family(font), "Monospace");
    pango_font_description_free(font);
    // The whole window is a drop target for URI lists.
    EXPECT_NE(gtk_drag_dest_get_target_list(w.window()), nullptr);
    screenshot(w.window(), "shell-empty-window");
}

TEST(shell, menus_mnemonics_accelerators_and_margins)
{
    clear_settings();
    app_window w;
    GtkWidget* bar = menu_bar_of(w.window());
    struct item {
        const char* label;
        const char* accel;
        bool margin;
    } items[] = {
        { "Open _gate...", "<Primary>g", true },
        { "Close g_ate...", "<Primary>w", true },
        { "Open _swoop...", "<Primary>o", true },
        { "Close s_woop...", "Delete", true },
        { "E_xit", "<Primary>q", true },
        { "_1x1 plots", "", false },
        { "_2x2 plots", "", false },
        { "_3x3 plots", "", false },
        { "Time _scale", "", false },
        { "_About", "", true },
    };
    for (const item& i : items) {
        GtkWidget* found = find_menu_item(bar, i.label);
        ASSERT_NE(found, nullptr) << i.label;
        EXPECT_TRUE(gtk_menu_item_get_use_underline(GTK_MENU_ITEM(found))) << i.label;
        EXPECT_EQ(accelerator_of(found), i.accel) << i.label;
        EXPECT_EQ(int_property(found, "margin-top"), i.margin ? 3 : 0) << i.label;
    }
    for (const char* top : { "_File", "_View", "_Help" })
        EXPECT_NE(find_menu_item(bar, top), nullptr) << top;
    // The layout items are a radio group drawn as check marks; 1x1 is active.
    GtkWidget* one = find_menu_item(bar, "_1x1 plots");
    EXPECT_TRUE(GTK_IS_RADIO_MENU_ITEM(one));
    EXPECT_FALSE(gtk_check_menu_item_get_draw_as_radio(GTK_CHECK_MENU_ITEM(one)));
    EXPECT_TRUE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(one)));
    EXPECT_FALSE(gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(find_menu_item(bar, "Time _scale"))));
}

TEST(shell, monitor_rule_on_real_screens)
{
    if (!in_child()) {
        // Each screen is an X server of its own, and the test runs there.
        for (const char* screen : { "1920x1080", "1366x768", "1376x1000" })
            EXPECT_TRUE(run_test_in_child({ std::string("SKIMRA_TEST_SCREEN=") + screen }, screen)) << screen;
        return;
    }
    clear_settings();
    const std::string screen = std::getenv("SKIMRA_TEST_SCREEN");
    // Exactly 1376 wide is not wider than 1376.
    const bool large = screen == "1920x1080";
    app_window w;
    GdkRectangle monitor {};
    gdk_monitor_get_geometry(gdk_display_get_monitor(gdk_display_get_default(), 0), &monitor);
    EXPECT_EQ(std::to_string(monitor.width) + "x" + std::to_string(monitor.height), screen);
    gint width = 0, height = 0;
    gtk_window_get_default_size(GTK_WINDOW(w.window()), &width, &height);
    EXPECT_EQ(width, large ? 1370 : 994) << screen;
    EXPECT_EQ(height, large ? 980 : 690) << screen;
    if (screen == "1920x1080")
        screenshot(w.window(), "shell-1370x980");
    if (screen == "1366x768")
        screenshot(w.window(), "shell-994x690");
}

TEST(shell, stored_size_is_used_and_absurd_sizes_fall_back_to_the_monitor_rule)
{
    struct stored {
        const char* width;
        const char* height;
        int want_width, want_height;
    } cases[] = {
        { "1200", "800", 1200, 800 },
        { "1200.9", " 800x", 1200, 800 }, // numbers are read as far as they go, truncated
        { "0", "800", 1370, 980 }, // one of them 0: both ignored
        { "-500", "800", 1370, 980 },
        { "1200", "99999", 1370, 980 },
        { "1e20", "800", 1370, 980 },
        { "abc", "nan", 1370, 980 },
    };
    for (const stored& c : cases) {
        write_settings(
            std::string("[settings]\nwindow_width=") + c.width + "\nwindow_height=" + c.height + "\n");
        app_window w;
        gint width = 0, height = 0;
        gtk_window_get_default_size(GTK_WINDOW(w.window()), &width, &height);
        EXPECT_EQ(width, c.want_width) << c.width << " x " << c.height;
        EXPECT_EQ(height, c.want_height) << c.width << " x " << c.height;
        w.close();
    }
    clear_settings();
}

TEST(shell, closing_stores_the_size_and_the_next_window_opens_at_it)
{
    clear_settings();
    {
        app_window w;
        gtk_window_resize(GTK_WINDOW(w.window()), 1111, 777);
        ASSERT_TRUE(spin_until([&] { return context_of(w.window())->window_width == 1111; }));
        w.close();
    }
    EXPECT_EQ(pref_get("window_width"), "1111");
    EXPECT_EQ(pref_get("window_height"), "777");
    app_window again;
    gint width = 0, height = 0;
    gtk_window_get_default_size(GTK_WINDOW(again.window()), &width, &height);
    EXPECT_EQ(width, 1111);
    EXPECT_EQ(height, 777);
    again.close();
    clear_settings();
}

TEST(shell, a_size_that_cannot_be_stored_is_reported_and_the_window_still_closes)
{
    clear_settings();
    app_window w;
    // The settings folder is a file: nothing can be stored.
    const std::string folder = std::string(g_get_user_config_dir()) + "/skimra";
    std::filesystem::remove_all(folder);
    test_support::write_file(folder, "not a folder");
    dialog_answerer answer;
    w.close();
    EXPECT_EQ(w.window(), nullptr);
    EXPECT_EQ(answer.texts(),
        (std::vector<std::string> { "failed to store preference", "failed to store preference" }));
    for (const dialog_seen& d : answer.seen())
        EXPECT_EQ(d.title, "Error");
    std::remove(folder.c_str());
}

TEST(shell, zoom_keys_step_the_layout_and_store_it)
{
    clear_settings();
    write_settings("[settings]\nplots_per_page=9\n");
    app_window w;
    window_context* ctx = context_of(w.window());
    GtkWidget* notebook = ctx->notebook;
    EXPECT_EQ(tab_labels(notebook).size(), 2u);
    auto pages = [&] { return int(tab_labels(notebook).size()) - 1; };
    const struct {
        guint key;
        GdkModifierType mods;
        int pages;
        const char* stored;
    } steps[] = {
        { GDK_KEY_plus, GdkModifierType(0), 2, "4" }, { GDK_KEY_equal, GDK_CONTROL_MASK, 8, "1" },
        { GDK_KEY_plus, GdkModifierType(0), 8, "1" }, // 1 stays 1
        { GDK_KEY_minus, GdkModifierType(0), 2, "4" }, { GDK_KEY_minus, GDK_CONTROL_MASK, 1, "9" },
        { GDK_KEY_minus, GdkModifierType(0), 1, "9" }, // 9 stays 9
    };
    for (const auto& s : steps) {
        send_key(notebook, s.key, s.mods);
        EXPECT_TRUE(spin_until([&] { return pages() == s.pages; }, 3000)) << s.key << " -> " << pages();
        EXPECT_EQ(pref_get("plots_per_page"), s.stored);
    }
    clear_settings();
}

TEST(shell, tab_never_moves_the_focus_and_arrows_turn_the_pages)
{
    clear_settings();
    app_window w;
    window_context* ctx = context_of(w.window());
    GtkWidget* notebook = ctx->notebook;
    ASSERT_TRUE(gtk_widget_has_focus(notebook));
    send_key(notebook, GDK_KEY_Tab);
    EXPECT_TRUE(gtk_widget_has_focus(notebook));
    send_key(notebook, GDK_KEY_Right);
    EXPECT_EQ(current_tab(notebook), "overhead");
    send_key(notebook, GDK_KEY_Right);
    EXPECT_EQ(current_tab(notebook), "side");
    send_key(notebook, GDK_KEY_Left);
    EXPECT_EQ(current_tab(notebook), "overhead");

    // From the list, Left and Right go to the notebook and turn its page.
    gtk_widget_grab_focus(ctx->swoop_list);
    send_key(ctx->swoop_list, GDK_KEY_Tab);
    EXPECT_TRUE(gtk_widget_has_focus(ctx->swoop_list));
    send_key(ctx->swoop_list, GDK_KEY_Right);
    EXPECT_TRUE(gtk_widget_has_focus(notebook));
    EXPECT_EQ(current_tab(notebook), "side");
    // Up from the notebook goes to the list; with no row nothing is selected.
    send_key(notebook, GDK_KEY_Up);
    EXPECT_TRUE(gtk_widget_has_focus(ctx->swoop_list));
    EXPECT_EQ(gtk_list_box_get_selected_row(GTK_LIST_BOX(ctx->swoop_list)), nullptr);
}

TEST(shell, icons_resources_and_theme)
{
    clear_settings();
    app_window w;
    GtkSettings* settings = gtk_settings_get_default();
    g_text theme, icons;
    {
        gchar* t = nullptr;
        gchar* i = nullptr;
        g_object_get(settings, "gtk-theme-name", &t, "gtk-icon-theme-name", &i, nullptr);
        theme.reset(t);
        icons.reset(i);
    }
    EXPECT_STREQ(theme.get(), "Adwaita");
    EXPECT_STREQ(icons.get(), "Adwaita");
    GtkIconTheme* icon_theme = gtk_icon_theme_get_default();
    for (const char* name : { "window-close", "media-playback-start", "media-playback-pause" }) {
        gobject_ptr<GtkIconInfo> info(
            gtk_icon_theme_lookup_icon(icon_theme, name, 32, GtkIconLookupFlags(0)));
        EXPECT_TRUE(info) << name;
    }
    for (auto [path, size] : { std::pair { "/sk-256.png", 256 }, std::pair { "/sk-32.png", 32 } }) {
        gobject_ptr<GdkPixbuf> icon(gdk_pixbuf_new_from_resource(path, nullptr));
        ASSERT_TRUE(icon) << path;
        EXPECT_EQ(gdk_pixbuf_get_width(icon.get()), size);
        EXPECT_EQ(gdk_pixbuf_get_height(icon.get()), size);
    }
}

TEST(shell, quit_and_about_actions)
{
    clear_settings();
    app_window w;
    {
        GtkAboutDialog* about = nullptr;
        dialog_answerer look([&](GtkDialog* d, const dialog_seen&) {
            about = GTK_IS_ABOUT_DIALOG(d) ? GTK_ABOUT_DIALOG(d) : nullptr;
            if (about) {
                EXPECT_STREQ(gtk_about_dialog_get_program_name(about), "Skimra");
                EXPECT_STREQ(gtk_about_dialog_get_version(about), "version 2.23 (August 2, 2026)");
                EXPECT_EQ(gtk_about_dialog_get_license_type(about), GTK_LICENSE_GPL_3_0); // or later
                GdkPixbuf* logo = gtk_about_dialog_get_logo(about);
                EXPECT_TRUE(logo && gdk_pixbuf_get_width(logo) == 256);
                EXPECT_EQ(gtk_about_dialog_get_comments(about), nullptr);
                EXPECT_EQ(gtk_about_dialog_get_website(about), nullptr);
            }
            return GTK_RESPONSE_DELETE_EVENT;
        });
        g_action_group_activate_action(G_ACTION_GROUP(w.app()), "about", nullptr);
        EXPECT_NE(about, nullptr);
    }
    g_action_group_activate_action(G_ACTION_GROUP(w.app()), "quit", nullptr);
    flush();
    EXPECT_EQ(w.window(), nullptr);
}

TEST(shell, exit_item_and_ctrl_q_destroy_the_window)
{
    clear_settings();
    app_window w;
    send_key(context_of(w.window())->notebook, GDK_KEY_q, GDK_CONTROL_MASK);
    EXPECT_TRUE(spin_until([&] { return w.window() == nullptr; }, 3000));
}

TEST(shell, without_a_display_the_program_says_so_and_ends)
{
    test_support::temp_dir home;
    const test_support::run_result r = test_support::run_program(SK_GUI_PATH, { "whatever.csv" }, home.path(),
        { "DISPLAY=", "WAYLAND_DISPLAY=", "GDK_BACKEND=x11", "HOME=" + home.path(),
            "XDG_CONFIG_HOME=" + home.path() });
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.status, -1) << "it must end, not crash";
    EXPECT_NE(r.err.find("cannot open display"), std::string::npos) << r.err;
    EXPECT_FALSE(test_support::file_exists(home.file("skimra/settings.ini"))); // nothing stored
}
