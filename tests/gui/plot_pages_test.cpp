// SPDX-License-Identifier: GPL-3.0-or-later
// The plot pages: layouts and the page kept in view across them, the sheet,
// rendering only on allocation, the device scale, overlays and markers, the
// report, and "view in Google Earth".
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>

#include "core/platform/pref_store.h"
#include "core/plot/cairo_handles.h"
#include "gui/player.h"
#include "gui/plot_pages.h"
#include "gui/settings.h"
#include "gui/swoop_list.h"
#include "gui/window.h"
#include "tests/gui/gui_files.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

using namespace gui_test;
using strings = std::vector<std::string>;

namespace {

void choose_layout(window_context* ctx, int n)
{
    GtkWidget* item = n == 1 ? ctx->layout_1x1_item : n == 4 ? ctx->layout_2x2_item : ctx->layout_3x3_item;
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), TRUE);
    flush();
}

void show_tab(window_context* ctx, const std::string& name)
{
    const strings tabs = tab_labels(ctx->notebook);
    for (size_t i = 0; i < tabs.size(); i++)
        if (tabs[i] == name)
            gtk_notebook_set_current_page(GTK_NOTEBOOK(ctx->notebook), int(i));
    flush();
}

// The drawing area of the page shown.
GtkWidget* current_page(window_context* ctx)
{
    GtkNotebook* nb = GTK_NOTEBOOK(ctx->notebook);
    return page_drawing_area(gtk_notebook_get_nth_page(nb, gtk_notebook_get_current_page(nb)));
}

cairo_surface_t* page_surface(GtkWidget* page)
{
    return static_cast<cairo_surface_t*>(g_object_get_data(G_OBJECT(page), "surface"));
}

// 0xRRGGBB of a device pixel of an RGB24 surface.
uint32_t pixel(cairo_surface_t* s, int x, int y)
{
    cairo_surface_flush(s);
    uint32_t v;
    std::memcpy(&v, cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + 4 * x, 4);
    return v & 0xffffff;
}

// The window with the example gate, two example swoops (the first selected)
// and the layout given.
struct example_window {
    test_support::temp_dir dir;
    std::string gate, a, b;
    std::unique_ptr<app_window> w;
    example_window(int plots_per_page, bool time_scale = false)
    {
        clear_settings();
        write_settings("[settings]\nplots_per_page=" + std::to_string(plots_per_page)
            + "\nenable_scale=" + (time_scale ? "true" : "false") + "\n");
        gate = copy_example(dir.path(), "gate-walk.csv", "gate-walk.csv");
        a = copy_example(dir.path(), "swoop-270-right.csv", "swoop-270-right.csv");
        b = copy_example(dir.path(), "swoop-450-left.csv", "swoop-450-left.csv");
        w = std::make_unique<app_window>();
        EXPECT_TRUE(gate_open_file(window(), gate.c_str()));
        swoops_open(window(), { a, b });
    }
    GtkWidget* window() const { return w->window(); }
    window_context* ctx() const { return context_of(window()); }
};

} // namespace

TEST(plot_pages, the_page_in_view_survives_layout_changes)
{
    clear_settings();
    app_window w;
    window_context* ctx = context_of(w.window());
    EXPECT_EQ(current_tab(ctx->notebook), "metrics"); // a new window shows the report first

    show_tab(ctx, "turn rate");
    choose_layout(ctx, 4);
    EXPECT_EQ(current_tab(ctx->notebook), "plots 2");
    choose_layout(ctx, 1);
    EXPECT_EQ(current_tab(ctx->notebook), "turn rate");

    // From nine to a page to four, and from the second of four to one.
    w.close();
    write_settings("[settings]\nplots_per_page=9\n");
    app_window nine;
    ctx = context_of(nine.window());
    show_tab(ctx, "plots");
    choose_layout(ctx, 4);
    EXPECT_EQ(current_tab(ctx->notebook), "plots 1");
    show_tab(ctx, "plots 2");
    choose_layout(ctx, 1);
    EXPECT_EQ(current_tab(ctx->notebook), "dive angle");

    // From the metrics page every layout stays on it.
    show_tab(ctx, "metrics");
    for (int n : { 4, 9, 1 }) {
        choose_layout(ctx, n);
        EXPECT_EQ(current_tab(ctx->notebook), "metrics") << n;
    }
}

TEST(plot_pages, the_sheet_is_22_by_17_centred_on_grey)
{
    const plot_sheet wide = plot_sheet_for(1100, 600);
    EXPECT_NEAR(wide.width, 776.47, 0.005);
    EXPECT_EQ(wide.height, 600);
    EXPECT_NEAR(wide.x0, 161.76, 0.005);
    EXPECT_EQ(wide.y0, 0);
    const plot_sheet square = plot_sheet_for(600, 600);
    EXPECT_EQ(square.width, 600);
    EXPECT_NEAR(square.height, 463.64, 0.005);
    EXPECT_NEAR(square.y0, 68.18, 0.005);

    // The same on a page allocated that size, with nothing to plot.
    clear_settings();
    app_window w;
    window_context* ctx = context_of(w.window());
    show_tab(ctx, "overhead");
    GtkWidget* page = current_page(ctx);
    for (auto [width, height] : { std::pair { 1100, 600 }, std::pair { 600, 600 } }) {
        GtkAllocation a { 0, 0, width, height };
        gtk_widget_size_allocate(page, &a);
        cairo_surface_t* s = page_surface(page);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(cairo_image_surface_get_width(s), width);
        const uint32_t grey = 0x545454, white = 0xffffff;
        if (width == 1100) {
            EXPECT_EQ(pixel(s, 160, 300), grey);
            EXPECT_EQ(pixel(s, 162, 300), white);
            EXPECT_EQ(pixel(s, 937, 300), white);
            EXPECT_EQ(pixel(s, 939, 300), grey);
        } else {
            EXPECT_EQ(pixel(s, 300, 67), grey);
            EXPECT_EQ(pixel(s, 300, 69), white);
            EXPECT_EQ(pixel(s, 300, 530), white);
            EXPECT_EQ(pixel(s, 300, 532), grey);
        }
    }
}

TEST(plot_pages, pages_render_on_allocation_and_only_paint_when_exposed)
{
    example_window e(9);
    window_context* ctx = e.ctx();
    show_tab(ctx, "plots");
    GtkWidget* page = current_page(ctx);
    ASSERT_TRUE(spin_until([&] { return page_surface(page) != nullptr; }));
    wait_for_frame(page); // whatever layout was pending is done
    const uint64_t before = plot_page_renders();
    // Exposing: paints, no rendering.
    for (int i = 0; i < 3; i++) {
        gtk_widget_queue_draw(page);
        flush();
    }
    wait_for_frame(page);
    cairo_surface_ptr target(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 800, 600));
    cairo_context_ptr cr(cairo_create(target.get()));
    gtk_widget_draw(page, cr.get());
    EXPECT_EQ(plot_page_renders(), before);
    // Covering and uncovering: switching away and back renders nothing new
    // for the page that kept its size.
    show_tab(ctx, "metrics");
    show_tab(ctx, "plots");
    gtk_widget_queue_draw(page);
    flush();
    EXPECT_EQ(plot_page_renders(), before);
    // A redraw request renders the page once.
    pages_redraw(e.window());
    ASSERT_TRUE(spin_until([&] { return plot_page_renders() > before; }));
    flush();
    EXPECT_EQ(plot_page_renders(), before + 1);
}

TEST(plot_pages, every_layout_with_overlays_and_markers)
{
    example_window e(1, true);
    window_context* ctx = e.ctx();
    GtkWidget* win = e.window();
    ASSERT_EQ(selected_name(win), "swoop-270-right.csv");
    EXPECT_EQ(results_text(win), cli_report(e.a, e.gate, false));
    screenshot(win, "plots-metrics");

    // Two more swoops ticked (one of them the carve): grey overlays in every
    // plot, markers at 1.5 s.
    swoops_open(win, { copy_example(e.dir.path(), "swoop-carve.csv", "swoop-carve.csv") });
    gtk_list_box_select_row(GTK_LIST_BOX(ctx->swoop_list), GTK_LIST_BOX_ROW(swoop_rows(win)[0]));
    for (size_t i : { 1u, 2u })
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(swoop_rows(win)[i])), TRUE);
    gtk_range_set_value(GTK_RANGE(ctx->time_scale), 1500);
    flush();
    for (const auto& p : ctx->pages->plots) {
        int grey = 0, markers = 0;
        for (const series* s = p->series.get(); s; s = s->next.get()) {
            grey += s->color == 0x808080;
            markers += s->style == style_marker && s->count == 1;
        }
        EXPECT_GE(grey, 2) << p->title;
        EXPECT_GE(markers,
            p->title == "GPS accuracy" || p->title == "speed during swoop"
                    || p->title == "overhead view of flight path" || p->title == "side view of flight path"
                ? 3
                : 0)
            << p->title;
    }
    for (int n : { 1, 4, 9 }) {
        choose_layout(ctx, n);
        const strings tabs = tab_labels(ctx->notebook);
        for (size_t i = 1; i < tabs.size(); i++) {
            show_tab(ctx, tabs[i]);
            ASSERT_TRUE(spin_until([&] { return page_surface(current_page(ctx)) != nullptr; }));
            if (n > 1 || i == 1 || i == 4)
                screenshot(win, "plots-" + std::to_string(n) + "-" + tabs[i]);
        }
    }
    // Metric units: the plots and the report in metres and km/h.
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ctx->metric_check), TRUE);
    EXPECT_EQ(results_text(win), cli_report(e.a, e.gate, true));
    EXPECT_EQ(ctx->pages->plots[2]->y_label, "speed (km/h)");
    screenshot(win, "plots-9-metric-overlay");
}

TEST(plot_pages, markers_follow_each_swoop_by_its_own_gate_crossing)
{
    example_window e(9, true);
    window_context* ctx = e.ctx();
    GtkWidget* win = e.window();
    GtkWidget* first = swoop_rows(win)[0];
    GtkWidget* second = swoop_rows(win)[1];
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(second)), TRUE);
    const swoop& s1 = *row_swoop(first);
    const swoop& s2 = *row_swoop(second);

    // At slider time 0 each swoop's marker sits on its own entry-gate crossing.
    markers_set(win, first, 0);
    markers_set(win, second, 0);
    auto marker_x = [&](const swoop& s) {
        for (const series* x = ctx->pages->plots[5]->series.get(); x;
             x = x->next.get()) // accuracy: x is s from the gate
            if (x->style == style_marker && x->name == s.file && x->count == 1)
                return x->points[0][0];
        return -999.0;
    };
    EXPECT_NEAR(marker_x(s1), 0, 1e-9);
    EXPECT_NEAR(marker_x(s2), 0, 1e-9);
    markers_set(win, second, 2000);
    EXPECT_NEAR(marker_x(s2), 2, 1e-9);
    // Past its stop the marker goes.
    markers_set(win, second, 100000);
    EXPECT_EQ(marker_x(s2), -999.0);
    // Switching the time scale off takes every marker off.
    markers_set(win, second, 1000);
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(ctx->time_scale_item), FALSE);
    EXPECT_EQ(marker_x(s1), -999.0);
    EXPECT_EQ(marker_x(s2), -999.0);
}

TEST(plot_pages, surfaces_have_device_pixels_at_the_widget_scale)
{
    if (!in_child()) {
        // Once more at scale factor 2, as on a hi-DPI screen.
        EXPECT_TRUE(run_test_in_child({ "GDK_SCALE=2" }));
    }
    example_window e(4);
    window_context* ctx = e.ctx();
    show_tab(ctx, "plots 1");
    GtkWidget* page = current_page(ctx);
    ASSERT_TRUE(spin_until([&] { return page_surface(page) != nullptr; }));
    const int scale = gtk_widget_get_scale_factor(page);
    EXPECT_EQ(scale, in_child() ? 2 : 1);
    cairo_surface_t* s = page_surface(page);
    const int w = gtk_widget_get_allocated_width(page), h = gtk_widget_get_allocated_height(page);
    EXPECT_EQ(cairo_image_surface_get_width(s), scale * w);
    EXPECT_EQ(cairo_image_surface_get_height(s), scale * h);
    double sx = 0, sy = 0;
    cairo_surface_get_device_scale(s, &sx, &sy);
    EXPECT_EQ(sx, scale);
    // The drawing is the same size: the sheet's edge at the same logical
    // place, in device pixels scale times as far.
    const plot_sheet sheet = plot_sheet_for(w, h);
    ASSERT_TRUE(sheet.x0 > 2 || sheet.y0 > 2) << w << "x" << h;
    if (sheet.x0 > 2) {
        EXPECT_EQ(pixel(s, int(std::ceil(sheet.x0 * scale)) + 1, scale * h / 2), 0xffffffu);
        EXPECT_EQ(pixel(s, int(sheet.x0 * scale) - 2, scale * h / 2), 0x545454u);
    } else {
        EXPECT_EQ(pixel(s, scale * w / 2, int(std::ceil(sheet.y0 * scale)) + 1), 0xffffffu);
        EXPECT_EQ(pixel(s, scale * w / 2, int(sheet.y0 * scale) - 2), 0x545454u);
    }
    screenshot(e.window(), in_child() ? "plots-4-scale-2" : "plots-4-scale-1");
    // A device-pixel copy of the page for a look at the sharpness.
    cairo_surface_write_to_png(s,
        (test_support::output_dir("gui") + "/page-surface-scale-" + std::to_string(scale) + ".png").c_str());
}

TEST(plot_pages, view_in_google_earth_hands_the_file_to_the_kml_viewer)
{
    // A viewer registered for KML files that records the path it was given.
    const std::string data = g_get_user_data_dir(), config = g_get_user_config_dir();
    const std::string record = data + "/viewer-got";
    std::filesystem::create_directories(data + "/applications");
    test_support::write_file(data + "/applications/skimra-test-kml-viewer.desktop",
        "[Desktop Entry]\nType=Application\nName=KML recorder\nExec=sh -c 'printf %s \"$1\" > " + record
            + "' sh %f\nMimeType=application/vnd.google-earth.kml+xml;\nNoDisplay=true\n");
    test_support::write_file(config + "/mimeapps.list",
        "[Default Applications]\napplication/vnd.google-earth.kml+xml=skimra-test-kml-viewer.desktop\n");

    test_support::temp_dir dir;
    const std::string a = copy_example(dir.path(), "swoop-270-right.csv", "run.2.csv");
    clear_settings();
    app_window w;
    swoops_open(w.window(), { a });
    dialog_answerer answer;
    gtk_button_clicked(GTK_BUTTON(context_of(w.window())->kml_button));
    const std::string expected = std::string(g_get_tmp_dir()) + "/run.2.kml";
    // The launch is asynchronous, and the viewer writes its record after
    // creating the file.
    ASSERT_TRUE(spin_until(
        [&] { return test_support::file_exists(record) && test_support::read_file(record) == expected; },
        15000))
        << (test_support::file_exists(record) ? test_support::read_file(record) : "no record");
    EXPECT_TRUE(answer.seen().empty());
    // The file: the flight from the top of the turn to the stop, with the gate.
    const std::string kml = test_support::read_file(expected);
    EXPECT_NE(kml.find("<kml"), std::string::npos);
    EXPECT_NE(kml.find("<Placemark>"), std::string::npos);
    std::remove(expected.c_str());
    EXPECT_EQ(kml_temp_name("C:\\logs\\run.2.csv"), "C:\\logs\\run.2.kml"); // no folders on this system
    EXPECT_EQ(kml_temp_name("/logs/run.2.csv"), "run.2.kml");
    EXPECT_EQ(kml_temp_name("/logs/noextension"), "noextension.kml");
}

TEST(plot_pages, without_a_kml_viewer_the_user_learns_where_the_file_is)
{
    if (!in_child()) {
        // A desktop without any application: nothing the machine has counts.
        EXPECT_TRUE(run_test_in_child({ "SKIMRA_TEST_SYSTEM_DATA=minimal" }));
        return;
    }
    test_support::temp_dir dir;
    const std::string a = copy_example(dir.path(), "swoop-270-right.csv", "nowhere.csv");
    clear_settings();
    app_window w;
    swoops_open(w.window(), { a });
    dialog_answerer answer;
    gtk_button_clicked(GTK_BUTTON(context_of(w.window())->kml_button));
    const std::string path = std::string(g_get_tmp_dir()) + "/nowhere.kml";
    ASSERT_EQ(answer.seen().size(), 1u);
    EXPECT_EQ(answer.seen()[0].title, "Error");
    EXPECT_EQ(answer.seen()[0].text.rfind("could not open " + path + " with a viewer for KML files (", 0), 0u)
        << answer.seen()[0].text;
    EXPECT_TRUE(test_support::file_exists(path));
    std::remove(path.c_str());
}

TEST(plot_pages, wind_adds_its_lines_the_airspeed_and_the_arrow)
{
    // A swoop flown in a 6 m/s wind from 250 degrees true on the examples' course.
    test_support::temp_dir dir;
    clear_settings();
    write_settings("[settings]\nplots_per_page=1\n");
    const std::string gate = copy_example(dir.path(), "gate-walk.csv", "gate-walk.csv");
    const sim_walk walk = generate_walk(walk_options {});
    swoop_options o;
    o.course = walk_options {}.course;
    o.theta = walk.truth.theta;
    o.wind = { true, 6, 250, 0.3, 0 };
    o.pattern.on = true;
    const sim_swoop sim = generate_swoop(o);
    const std::string jump = dir.file("windy.csv");
    const char* err = nullptr;
    ASSERT_TRUE(write_track(jump.c_str(), sim.samples, sim_dialect::field_names, &err));
    app_window w;
    GtkWidget* win = w.window();
    window_context* ctx = context_of(win);
    ASSERT_TRUE(gate_open_file(win, gate.c_str()));
    swoops_open(win, { jump });
    ASSERT_EQ(selected_name(win), "windy.csv");

    GtkWidget* check = ctx->options->wind_check;
    ASSERT_TRUE(check);
    EXPECT_STREQ(atk_object_get_name(gtk_widget_get_accessible(check)), "wind and airspeed");
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check)));
    EXPECT_EQ(results_text(win), cli_report(jump, gate, false));
    EXPECT_FALSE(ctx->pages->plots[0]->arrow);

    auto airspeed_series = [&]() -> const series* {
        for (const series* s = ctx->pages->plots[3]->series.get(); s; s = s->next.get())
            if (s->label && *s->label == "horz airspeed")
                return s;
        return nullptr;
    };
    for (bool metric : { false, true }) {
        SCOPED_TRACE(metric ? "metric" : "imperial");
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ctx->metric_check), metric);
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), TRUE);
        flush();
        EXPECT_TRUE(setting_bool(setting::use_wind));
        EXPECT_EQ(results_text(win), cli_report(jump, gate, metric, true));

        // The dashed airspeed beside the ground speed, its peak the true one.
        const display_units u(metric);
        const series* air = airspeed_series();
        ASSERT_TRUE(air);
        EXPECT_EQ(air->style, style_dashed_key);
        ASSERT_GT(air->count, 10u);
        double largest = 0;
        for (uint32_t k = 0; k < air->count; k++)
            largest = std::max(largest, air->points[k][1]);
        EXPECT_NEAR(largest, sim.truth.wind.max_horizontal_airspeed * u.speed_factor, 0.6 * u.speed_factor);

        // The arrow points where the wind blows, labelled with its speed.
        const std::optional<plot_arrow>& arrow = ctx->pages->plots[0]->arrow;
        ASSERT_TRUE(arrow);
        const vec2 truth = sim.truth.wind.run;
        const double cosine = (arrow->toward[0] * truth[0] + arrow->toward[1] * truth[1])
            / std::hypot(arrow->toward[0], arrow->toward[1]) / std::hypot(truth[0], truth[1]);
        EXPECT_GT(cosine, std::cos(10 * std::numbers::pi / 180));
        char label[64];
        ASSERT_TRUE(ctx->pages->wind);
        std::snprintf(
            label, sizeof label, "wind %.1f %s", ctx->pages->wind->speed * u.speed_factor, u.speed_name);
        EXPECT_EQ(arrow->label, label);
        EXPECT_NEAR(std::hypot(arrow->toward[0], arrow->toward[1]), 6, 0.5);

        for (const char* tab : { "overhead", "swoop speed" }) {
            show_tab(ctx, tab);
            ASSERT_TRUE(spin_until([&] { return page_surface(current_page(ctx)) != nullptr; })) << tab;
            wait_for_frame(win);
            screenshot(win, std::string("wind-") + tab + (metric ? "-metric" : ""));
        }
    }

    // Off again: the report, the plots and the setting as before.
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), FALSE);
    flush();
    EXPECT_FALSE(setting_bool(setting::use_wind));
    EXPECT_EQ(results_text(win), cli_report(jump, gate, true));
    EXPECT_FALSE(airspeed_series());
    EXPECT_FALSE(ctx->pages->plots[0]->arrow);
}
