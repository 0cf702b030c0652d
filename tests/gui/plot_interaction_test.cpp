// SPDX-License-Identifier: GPL-3.0-or-later
// The pointer over the plots, through real X pointer events: the readout and
// crosshair, click to seek, zoom and pan, compared swoops in colour, and the
// exports of a page and of the samples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/platform/pref_store.h"
#include "core/swoop/samples_csv.h"
#include "gui/plot_readout.h"
#include "gui/window.h"
#include "tests/gui/gui_files.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_support.h"

using namespace gui_test;

namespace {

constexpr int overhead = 0, side = 1, dive_speed = 2;

// The example gate and three swoops, the first selected and the others
// ticked, in a layout, with or without the time scale.
struct pointer_window {
    test_support::temp_dir dir;
    std::string gate, a, b, c;
    std::unique_ptr<app_window> w;
    pointer_window(int plots_per_page, bool time_scale, const std::string& more = "")
    {
        clear_settings();
        write_settings("[settings]\nplots_per_page=" + std::to_string(plots_per_page)
            + "\nenable_scale=" + (time_scale ? "true" : "false") + "\n" + more);
        gate = copy_example(dir.path(), "gate-walk.csv", "gate-walk.csv");
        a = copy_example(dir.path(), "swoop-270-right.csv", "a.csv");
        b = copy_example(dir.path(), "swoop-450-left.csv", "b.csv");
        c = copy_example(dir.path(), "swoop-carve.csv", "c.csv");
        w = std::make_unique<app_window>();
        EXPECT_TRUE(gate_open_file(window(), gate.c_str()));
        swoops_open(window(), { a, b, c });
        for (int i : { 1, 2 })
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(swoop_rows(window())[size_t(i)])), TRUE);
        flush();
    }
    ~pointer_window() { clear_settings(); }
    GtkWidget* window() const { return w->window(); }
    window_context& ctx() const { return *context_of(window()); }
    // Shows the page and waits for its rendering; returns its drawing area.
    GtkWidget* show(const std::string& name) const
    {
        const std::vector<std::string> tabs = tab_labels(ctx().notebook);
        for (size_t i = 0; i < tabs.size(); i++)
            if (tabs[i] == name)
                gtk_notebook_set_current_page(GTK_NOTEBOOK(ctx().notebook), int(i));
        GtkNotebook* nb = GTK_NOTEBOOK(ctx().notebook);
        GtkWidget* page = gtk_notebook_get_nth_page(nb, gtk_notebook_get_current_page(nb));
        if (!page_readout(page))
            return page; // not a plot page
        spin_until([&] {
            for (int i = 0; i < int(plot_set_size); i++)
                if (page_plot_layout(page, i))
                    return true;
            return false;
        });
        wait_for_frame(page);
        return page;
    }
    plot& plot_of(int index) const { return *ctx().pages->plots[size_t(index)]; }
};

// A point of a plot's area, as fractions of it.
std::pair<int, int> area_point(GtkWidget* page, int index, double fx, double fy)
{
    const plot_layout l = *page_plot_layout(page, index);
    return { int(l.area_left + fx * l.area_width), int(l.area_top + fy * l.area_height) };
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

std::string readout_text(GtkWidget* page)
{
    return gtk_label_get_text(GTK_LABEL(page_readout(page)));
}

} // namespace

TEST(plot_interaction, the_readout_follows_the_pointer_without_rendering_again)
{
    pointer_window e(9, false);
    GtkWidget* page = e.show("plots");
    GtkWidget* area = page_drawing_area(page);
    const uint64_t renders = plot_page_renders();

    // The dive speed over height: the x value, then every drawn swoop, the
    // selected one first, each series interpolated at that x.
    auto [x, y] = area_point(page, dive_speed, 0.4, 0.5);
    pointer_move(area, x, y);
    ASSERT_TRUE(gtk_widget_get_visible(page_readout(page)));
    std::vector<std::string> lines = lines_of(readout_text(page));
    ASSERT_EQ(lines.size(), 4u) << readout_text(page);
    EXPECT_EQ(lines[0].rfind("height (feet): ", 0), 0u);
    EXPECT_EQ(lines[1].rfind("a.csv: x-axis ", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find("z-axis "), std::string::npos);
    EXPECT_EQ(lines[2].rfind("b.csv: ", 0), 0u);
    EXPECT_EQ(lines[3].rfind("c.csv: ", 0), 0u);
    EXPECT_EQ(lines[1].substr(lines[1].size() - 4), " mph");
    // The selected swoop's descent rate, as its red series has it there.
    const double at = std::atof(lines[0].c_str() + std::string("height (feet): ").size());
    for (const series* s = e.plot_of(dive_speed).series.get(); s; s = s->next.get())
        if (s->name && *s->name == e.a && s->style != style_marker) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "z-axis %.1f", *series_y_at(*s, at));
            EXPECT_NE(lines[1].find(expected), std::string::npos) << lines[1];
        }

    // Beside the pointer, below and to the right where there is room.
    // (Where the label lies on the drawing area: an overlay's child is
    // allocated in a window of its own.)
    auto label_box = [&] {
        wait_for_frame(page);
        GdkRectangle box {};
        gtk_widget_translate_coordinates(page_readout(page), area, 0, 0, &box.x, &box.y);
        box.width = gtk_widget_get_allocated_width(page_readout(page));
        box.height = gtk_widget_get_allocated_height(page_readout(page));
        return box;
    };
    const GdkRectangle beside = label_box();
    EXPECT_GT(beside.x, x);
    EXPECT_GT(beside.y, y);

    // It moves with the pointer and stays on the page.
    const std::string first = readout_text(page);
    std::tie(x, y) = area_point(page, dive_speed, 0.95, 0.95);
    pointer_move(area, x, y);
    EXPECT_NE(readout_text(page), first);
    const GdkRectangle label = label_box();
    EXPECT_GE(label.x, 0);
    EXPECT_LE(label.x + label.width, gtk_widget_get_allocated_width(area));
    EXPECT_LE(label.y + label.height, gtk_widget_get_allocated_height(area));

    // The overhead view: the nearest point of each swoop with its time from
    // its own entry gate; near the gate that time is about 0.
    const plot_layout l = *page_plot_layout(page, overhead);
    const vec2 gate = plot_to_surface(l, e.plot_of(overhead), { 0, 0 });
    pointer_move(area, int(gate[0]), int(gate[1]));
    lines = lines_of(readout_text(page));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("a.csv: ", 0), 0u);
    const size_t t = lines[0].find(" at ");
    ASSERT_NE(t, std::string::npos);
    EXPECT_LE(std::fabs(std::atof(lines[0].c_str() + t + 4)), 0.25) << lines[0];
    screenshot(e.window(), "pointer-readout-overhead-3x3");

    // Off the plots the readout goes; nothing was rendered for the moves.
    pointer_move(area, 2, 2);
    EXPECT_FALSE(gtk_widget_get_visible(page_readout(page)));
    EXPECT_EQ(plot_page_renders(), renders);
}

TEST(plot_interaction, a_click_moves_the_player_and_a_double_click_does_not)
{
    pointer_window e(1, true);
    GtkWidget* page = e.show("side");
    GtkWidget* area = page_drawing_area(page);
    const swoop& s = *e.ctx().model.selected;
    GtkRange* slider = GTK_RANGE(e.ctx().time_scale);

    // A click on the path's point of a sample late in the swoop.
    const uint32_t k = s.stop - 5;
    const plot_layout l = *page_plot_layout(page, side);
    const vec2 on
        = plot_to_surface(l, e.plot_of(side), *plot_set[side].locate(s, s.track[k], imperial_units));
    pointer_click(area, int(std::lround(on[0])), int(std::lround(on[1])));
    ASSERT_TRUE(spin_until([&] { return gtk_range_get_value(slider) == slider_time_of(s, k); }, 3000))
        << gtk_range_get_value(slider) << " " << slider_time_of(s, k);
    EXPECT_EQ(e.ctx().model.time, slider_time_of(s, k));

    // A double click shows the whole plot and leaves the player where it is.
    auto [x, y] = area_point(page, side, 0.3, 0.3);
    pointer_click(area, x, y, 4);
    ASSERT_TRUE(e.plot_of(side).view);
    pointer_double_click(area, x, y);
    EXPECT_FALSE(e.plot_of(side).view);
    spin_until([] { return false; }, 600); // longer than a double click takes
    EXPECT_EQ(gtk_range_get_value(slider), slider_time_of(s, k));

    // While playing, playback goes on from the click.
    gtk_button_clicked(GTK_BUTTON(e.ctx().player->button));
    const uint32_t early = s.top_of_turn + 3;
    const vec2 early_on
        = plot_to_surface(l, e.plot_of(side), *plot_set[side].locate(s, s.track[early], imperial_units));
    pointer_click(area, int(std::lround(early_on[0])), int(std::lround(early_on[1])));
    ASSERT_TRUE(spin_until([&] { return gtk_range_get_value(slider) < slider_time_of(s, k) - 2000; }, 3000));
    EXPECT_TRUE(player_playing(e.window()));
    const double from = gtk_range_get_value(slider);
    ASSERT_TRUE(spin_until([&] { return gtk_range_get_value(slider) > from + 150; }, 3000));
}

TEST(plot_interaction, the_wheel_zooms_a_drag_pans_and_home_shows_the_whole_plot)
{
    pointer_window e(4, false);
    GtkWidget* page = e.show("plots 1");
    GtkWidget* area = page_drawing_area(page);
    const uint64_t renders = plot_page_renders();
    const plot_layout whole = *page_plot_layout(page, dive_speed);

    // About the pointer: the point under it stays; with Shift only x.
    auto [x, y] = area_point(page, dive_speed, 0.25, 0.6);
    const vec2 under = plot_to_data(whole, e.plot_of(dive_speed), x, y);
    pointer_click(area, x, y, 4);
    ASSERT_TRUE(e.plot_of(dive_speed).view);
    plot_view v = *e.plot_of(dive_speed).view;
    EXPECT_NEAR(v.x_max - v.x_min, (whole.x_max - whole.x_min) * 0.8, 1e-6);
    EXPECT_NEAR(v.y_max - v.y_min, (whole.y_max - whole.y_min) * 0.8, 1e-6);
    const plot_layout zoomed = *page_plot_layout(page, dive_speed);
    const vec2 still = plot_to_data(zoomed, e.plot_of(dive_speed), x, y);
    EXPECT_NEAR(still[0], under[0], 1e-6 * (whole.x_max - whole.x_min));
    EXPECT_NEAR(still[1], under[1], 1e-6 * (whole.y_max - whole.y_min));
    pointer_click(area, x, y, 4, GDK_SHIFT_MASK);
    const plot_view shifted = *e.plot_of(dive_speed).view;
    EXPECT_NEAR(shifted.x_max - shifted.x_min, (v.x_max - v.x_min) * 0.8, 1e-6);
    EXPECT_DOUBLE_EQ(shifted.y_max - shifted.y_min, v.y_max - v.y_min);
    screenshot(e.window(), "pointer-zoom-2x2");

    // A drag moves the view with the pointer.
    v = shifted;
    const plot_layout before_drag = *page_plot_layout(page, dive_speed);
    pointer_drag(area, x, y, x + 40, y + 30);
    const plot_view dragged = *e.plot_of(dive_speed).view;
    const vec2 d0 = plot_to_data(before_drag, e.plot_of(dive_speed), x, y);
    const vec2 d1 = plot_to_data(before_drag, e.plot_of(dive_speed), x + 40, y + 30);
    EXPECT_NEAR(dragged.x_min - v.x_min, d0[0] - d1[0], 1e-6 * (whole.x_max - whole.x_min));
    EXPECT_NEAR(dragged.y_min - v.y_min, d0[1] - d1[1], 1e-6 * (whole.y_max - whole.y_min));

    // The zoom holds when the page renders again; zooming never rendered it.
    EXPECT_EQ(plot_page_renders(), renders);
    pages_redraw(e.window());
    ASSERT_TRUE(spin_until([&] { return plot_page_renders() > renders; }));
    EXPECT_TRUE(e.plot_of(dive_speed).view);

    // Home over the plot: the whole plot, and neither the page nor the
    // selection changes.
    pointer_move(area, x, y);
    const std::string tab = current_tab(e.ctx().notebook);
    pointer_key(area, GDK_KEY_Home);
    EXPECT_FALSE(e.plot_of(dive_speed).view);
    EXPECT_EQ(current_tab(e.ctx().notebook), tab);
    EXPECT_EQ(selected_name(e.window()), "a.csv");

    // Another swoop selected, or another layout, shows every plot whole.
    pointer_click(area, x, y, 4);
    gtk_list_box_select_row(GTK_LIST_BOX(e.ctx().swoop_list), GTK_LIST_BOX_ROW(swoop_rows(e.window())[1]));
    flush();
    EXPECT_FALSE(e.plot_of(dive_speed).view);
    page = e.show("plots 1");
    std::tie(x, y) = area_point(page, dive_speed, 0.5, 0.5);
    pointer_click(page_drawing_area(page), x, y, 4);
    ASSERT_TRUE(e.plot_of(dive_speed).view);
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(e.ctx().layout_3x3_item), TRUE);
    flush();
    EXPECT_FALSE(e.plot_of(dive_speed).view);
}

TEST(plot_interaction, compared_swoops_in_colour_with_their_names_in_the_legends)
{
    pointer_window e(9, false);
    auto overlay_colors = [&](int index) {
        std::vector<uint32_t> colors;
        for (const series* s = e.plot_of(index).series.get(); s; s = s->next.get())
            if (s->name && *s->name != e.a && s->style != style_marker)
                colors.push_back(s->color);
        return colors;
    };
    auto legend = [&](int index) {
        std::vector<std::pair<std::string, uint32_t>> names;
        for (const series* s = e.plot_of(index).series.get(); s; s = s->next.get())
            if (s->label && s->count == 0)
                names.emplace_back(*s->label, s->color);
        return names;
    };
    GtkWidget* swatch
        = find_widget(swoop_rows(e.window())[1], [](GtkWidget* w) { return GTK_IS_DRAWING_AREA(w); });
    ASSERT_NE(swatch, nullptr);
    EXPECT_EQ(overlay_colors(side), (std::vector<uint32_t> { 0x808080, 0x808080 }));
    EXPECT_TRUE(legend(side).empty());
    EXPECT_FALSE(gtk_widget_get_visible(swatch));

    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(e.ctx().options->color_check), TRUE);
    flush();
    EXPECT_EQ(pref_get("color_overlays"), "true");
    EXPECT_EQ(overlay_colors(side), (std::vector<uint32_t> { 0xE69F00, 0x56B4E9 }));
    using entry = std::pair<std::string, uint32_t>;
    EXPECT_EQ(legend(dive_speed),
        (std::vector<entry> { { "a.csv", 0xff0000 }, { "b.csv", 0xE69F00 }, { "c.csv", 0x56B4E9 } }));
    EXPECT_TRUE(gtk_widget_get_visible(swatch));
    EXPECT_EQ(model_overlay_color(e.ctx().model, row_swoop(swoop_rows(e.window())[2])), 0x56B4E9u);
    e.show("plots");
    screenshot(e.window(), "pointer-colours-3x3");
    // The small window: every text of the nine plots still legible.
    gtk_window_resize(GTK_WINDOW(e.window()), 994, 690);
    ASSERT_TRUE(spin_until([&] { return gtk_widget_get_allocated_width(e.window()) == 994; }));
    GtkWidget* page = e.show("plots");
    const auto [x, y] = area_point(page, dive_speed, 0.5, 0.5);
    pointer_move(page_drawing_area(page), x, y);
    screenshot(e.window(), "pointer-colours-3x3-994x690");

    // The colours go in list order of what is drawn.
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(swoop_rows(e.window())[1])), FALSE);
    flush();
    EXPECT_EQ(overlay_colors(side), (std::vector<uint32_t> { 0xE69F00 }));
    EXPECT_EQ(legend(side), (std::vector<entry> { { "a.csv", 0xff0000 }, { "c.csv", 0xE69F00 } }));
}

TEST(plot_interaction, exports_write_the_page_and_the_samples_but_no_input)
{
    pointer_window e(4, false);
    GtkWidget* page = e.show("plots 2");
    auto [x, y] = area_point(page, 5, 0.5, 0.5);
    pointer_click(page_drawing_area(page), x, y, 4); // the page as shown: zoomed
    plot_pages_part& p = *e.ctx().pages;
    const std::string out = e.dir.path();
    struct {
        const char* chosen;
        const char* written;
        const char* starts;
    } formats[] = {
        { "page", "page.png", "\x89PNG" },
        { "page.svg", "page.svg", "<?xml" },
        { "page.PDF", "page.PDF", "%PDF" },
    };
    for (const auto& f : formats) {
        SCOPED_TRACE(f.chosen);
        ASSERT_TRUE(export_current_page(p, out + "/" + f.chosen));
        const std::string text = test_support::read_file(out + "/" + f.written);
        EXPECT_EQ(text.rfind(f.starts, 0), 0u);
    }

    // The samples of the selected swoop, from the top of the turn to the stop.
    ASSERT_TRUE(export_selected_samples(p, out + "/samples.csv"));
    const std::string csv = test_support::read_file(out + "/samples.csv");
    const swoop& s = *e.ctx().model.selected;
    EXPECT_EQ(csv.rfind(std::string(samples_csv_header) + "\r\n", 0), 0u);
    size_t rows = 0;
    for (size_t at = csv.find("\r\n"); at != std::string::npos; at = csv.find("\r\n", at + 2))
        rows++;
    EXPECT_EQ(rows, 1 + s.stop - s.top_of_turn + 1);
    char first[64];
    std::snprintf(first, sizeof first, "\r\n%.3f,",
        double(s.track[s.top_of_turn].time - int64_t(s.entry_gate_time)) / 1000);
    EXPECT_NE(csv.find(first), std::string::npos);

    // An open input is never written over; other failures are told.
    const std::string swoop_before = test_support::read_file(e.b);
    {
        dialog_answerer answer;
        EXPECT_FALSE(export_selected_samples(p, e.b));
        EXPECT_FALSE(export_current_page(p, e.gate));
        EXPECT_FALSE(export_current_page(p, out + "/no such folder/page.png"));
        EXPECT_EQ(answer.texts(),
            (std::vector<std::string> { "output file would overwrite input file: " + e.b,
                "output file would overwrite input file: " + e.gate,
                "failed to write file: " + out + "/no such folder/page.png" }));
    }
    EXPECT_EQ(test_support::read_file(e.b), swoop_before);

    // The menu's item through the chooser; it is insensitive on "metrics".
    GtkWidget* item = find_menu_item(menu_bar_of(e.window()), "_Export page...");
    ASSERT_NE(item, nullptr);
    {
        dialog_answerer answer([&](GtkDialog* d, const dialog_seen&) {
            gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(d), "chosen.svg");
            gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(d), out.c_str());
            return int(GTK_RESPONSE_ACCEPT);
        });
        gtk_menu_item_activate(GTK_MENU_ITEM(item));
        flush();
    }
    EXPECT_EQ(test_support::read_file(out + "/chosen.svg").rfind("<?xml", 0), 0u);
    e.show("metrics");
    EXPECT_FALSE(gtk_widget_get_sensitive(item));
}
