// SPDX-License-Identifier: GPL-3.0-or-later
// The renderer: ranges, steps, cells, the area, and what lands on the pixels.
#include <cairo-pdf.h>
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "core/plot/plot.h"
#include "tests/plot/plot_test_util.h"
#include "tests/support/test_support.h"

using plot_test::canvas;
using plot_test::make_series;
using plot_test::pixel;

namespace {

constexpr uint32_t white = 0xffffff;
constexpr uint32_t black = 0x000000;

plot_layout layout_of(const plot& p, int cell = 0, int width = 1000, int height = 1000)
{
    canvas c(width, height);
    return plot_compute_layout(c.cr.get(), p, cell);
}

// Where a data point lands (the renderer's mapping, from the layout).
vec2 device(const plot& p, const plot_layout& l, double x, double y)
{
    const double kx = l.area_width / (l.x_max - l.x_min), ky = l.area_height / (l.y_max - l.y_min);
    const double dx
        = p.x_reversed ? l.area_left + l.area_width - (x - l.x_min) * kx : l.area_left + (x - l.x_min) * kx;
    const double dy
        = p.y_down ? l.area_top + (y - l.y_min) * ky : l.area_top + l.area_height - (y - l.y_min) * ky;
    return { dx, dy };
}

bool is_grey(uint32_t c)
{
    return c != white && c != black;
}

// A plot with every text: title, axis labels and tick labels up to "120000".
std::unique_ptr<plot> labelled_plot()
{
    auto p = plot_new();
    p->title = "dive speed";
    p->x_label = "height (feet)";
    p->y_label = "speed (mph)";
    plot_add_series(*p, make_series(style_line, 0xff0000, { { -2000, 0 }, { 120000, 95 } }));
    return p;
}

} // namespace

TEST(plot_layout, no_series_gives_0_to_100_widened_and_rounded_to_half_steps)
{
    auto p = plot_new();
    const plot_layout l = layout_of(*p);
    EXPECT_DOUBLE_EQ(l.x_min, -5);
    EXPECT_DOUBLE_EQ(l.x_max, 105);
    EXPECT_DOUBLE_EQ(l.y_min, -5);
    EXPECT_DOUBLE_EQ(l.y_max, 105);
    EXPECT_DOUBLE_EQ(l.x_step, 10);
    EXPECT_DOUBLE_EQ(l.y_step, 10);
    EXPECT_FALSE(l.vector);
}

TEST(plot_layout, one_point_gets_the_substitute_span_of_100)
{
    auto p = plot_new();
    plot_add_series(*p, make_series(style_line, 0, { { 30, -7 } }));
    const plot_layout l = layout_of(*p);
    EXPECT_DOUBLE_EQ(l.x_min, 25); // 28 down to a multiple of 5
    EXPECT_DOUBLE_EQ(l.x_max, 35); // 32 up
    EXPECT_DOUBLE_EQ(l.y_min, -10);
    EXPECT_DOUBLE_EQ(l.y_max, -5);
}

TEST(plot_layout, ranges_cover_every_point_of_every_series_and_fixed_steps_hold)
{
    auto p = plot_new();
    p->x_step = 50;
    p->y_step = 45;
    plot_add_series(*p, make_series(style_line, 0, { { 100, 10 }, { -120, 400 } }));
    plot_add_series(*p, make_series(style_dots, 0, {}));
    plot_add_series(*p, make_series(style_dots, 0, { { 900, -30 }, { NAN, 5000 } }));
    const plot_layout l = layout_of(*p);
    EXPECT_DOUBLE_EQ(l.x_step, 50);
    EXPECT_DOUBLE_EQ(l.y_step, 45);
    // x: -120 .. 900, span 1020, margin 20.4 -> -140.4 .. 920.4 -> -150 .. 925
    EXPECT_DOUBLE_EQ(l.x_min, -150);
    EXPECT_DOUBLE_EQ(l.x_max, 925);
    // y: -30 .. 400 (the point without an x is left out), margin 8.6 -> -38.6 .. 408.6
    EXPECT_DOUBLE_EQ(l.y_min, -45);
    EXPECT_DOUBLE_EQ(l.y_max, 427.5);
}

TEST(plot_layout, cells_line_width_and_font_size_follow_the_clip_area)
{
    auto p = plot_new();
    plot_layout l = layout_of(*p, 4, 900, 600);
    EXPECT_DOUBLE_EQ(l.cell_x, 450);
    EXPECT_DOUBLE_EQ(l.cell_y, 300);
    EXPECT_DOUBLE_EQ(l.cell_width, 450);
    EXPECT_DOUBLE_EQ(l.cell_height, 300);
    EXPECT_DOUBLE_EQ(l.line_width, 0.6);
    EXPECT_DOUBLE_EQ(l.font_size, 6.75);

    l = layout_of(*p, 13, 900, 600);
    EXPECT_DOUBLE_EQ(l.cell_x, 600);
    EXPECT_DOUBLE_EQ(l.cell_y, 400);
    EXPECT_DOUBLE_EQ(l.cell_width, 300);
    EXPECT_DOUBLE_EQ(l.cell_height, 200);
    l = layout_of(*p, 6, 900, 600);
    EXPECT_DOUBLE_EQ(l.cell_x, 300);
    EXPECT_DOUBLE_EQ(l.cell_y, 0);

    for (int cell : { 0, 14, -1 }) {
        l = layout_of(*p, cell, 900, 600);
        EXPECT_DOUBLE_EQ(l.cell_width, 900);
        EXPECT_DOUBLE_EQ(l.line_width, 1); // capped
        EXPECT_DOUBLE_EQ(l.font_size, 12); // capped
    }

    // The cell is taken from the clip, wherever it lies.
    canvas c(1000, 800);
    cairo_rectangle(c.cr.get(), 100, 50, 440, 340);
    cairo_clip(c.cr.get());
    l = plot_compute_layout(c.cr.get(), *p, 2);
    EXPECT_DOUBLE_EQ(l.cell_x, 320);
    EXPECT_DOUBLE_EQ(l.cell_y, 50);
    EXPECT_DOUBLE_EQ(l.area_left, 320 + 22);
    EXPECT_DOUBLE_EQ(l.area_top, 50 + 0.08 * 170);
}

TEST(plot_layout, equal_scale_gives_both_axes_the_same_units_per_length)
{
    auto p = plot_new();
    p->equal_scale = true;
    plot_add_series(*p, make_series(style_line, 0, { { -50, -20 }, { 250, 40 } }));
    const plot_layout l = layout_of(*p, 0, 1100, 850);
    const double kx = l.area_width / (l.x_max - l.x_min), ky = l.area_height / (l.y_max - l.y_min);
    EXPECT_NEAR(kx, ky, 1e-9);
    EXPECT_DOUBLE_EQ(l.area_width, 0.84 * 1100); // wide data: the height shrinks
    EXPECT_LT(l.area_height, 0.84 * 850);
    EXPECT_NEAR(l.area_top + l.area_height / 2, 0.08 * 850 + 0.84 * 850 / 2, 1e-9); // centred
}

// With equal_scale a flat or narrow track used to get no interval at all on
// its short axis, and nice_step never returned.
TEST(plot_layout, equal_scale_keeps_at_least_one_interval_on_a_short_axis)
{
    auto flat = plot_new();
    flat->equal_scale = true;
    plot_add_series(*flat, make_series(style_line, 0, { { 0, 0 }, { 100, 5 } })); // 12 * 5 / 100 < 1
    plot_layout l = layout_of(*flat);
    EXPECT_DOUBLE_EQ(l.y_step, 10); // nice_step(5, 1)
    EXPECT_GT(l.area_height, 0);

    auto narrow = plot_new();
    narrow->equal_scale = true;
    plot_add_series(*narrow, make_series(style_line, 0, { { 0, 0 }, { 1, 100 } })); // 10 * 1 / 100 < 1
    l = layout_of(*narrow);
    EXPECT_DOUBLE_EQ(l.x_step, 1); // nice_step(1, 1)
    EXPECT_GT(l.area_width, 0);

    canvas c(600, 400);
    plot_render(c.cr.get(), flat.get(), 0);
    plot_render(c.cr.get(), narrow.get(), 0);
    EXPECT_EQ(cairo_status(c.cr.get()), CAIRO_STATUS_SUCCESS);
}

TEST(plot_render, draws_nothing_for_no_plot_and_leaves_the_context_as_it_was)
{
    canvas c(200, 100);
    cairo_set_source_rgb(c.cr.get(), 0, 0, 1);
    cairo_paint(c.cr.get());
    plot_render(c.cr.get(), nullptr, 0);
    EXPECT_EQ(pixel(c.surface.get(), 100, 50), 0x0000ffu);

    auto p = plot_new();
    p->title = "t";
    p->y_label = "y";
    cairo_set_line_width(c.cr.get(), 7);
    plot_render(c.cr.get(), p.get(), 0);
    EXPECT_EQ(pixel(c.surface.get(), 1, 1), white);
    EXPECT_DOUBLE_EQ(cairo_get_line_width(c.cr.get()), 7);
    cairo_matrix_t m;
    cairo_get_matrix(c.cr.get(), &m);
    EXPECT_DOUBLE_EQ(m.xx, 1); // the y label's rotation is undone
    EXPECT_DOUBLE_EQ(m.xy, 0);
}

// A 1000-unit high cell has lw = 1: on an image surface the frame and the
// solid zero line land on pixel centres and fill exactly one pixel column.
TEST(plot_render, image_surface_frame_and_zero_line_land_on_pixel_centres)
{
    auto p = plot_new();
    canvas c(1000, 1000);
    plot_render(c.cr.get(), p.get(), 0);
    cairo_surface_t* s = c.surface.get();
    // Frame: area_left 100 -> x 100.5, one black column 100.
    EXPECT_EQ(pixel(s, 100, 520), black);
    EXPECT_EQ(pixel(s, 99, 520), white);
    EXPECT_EQ(pixel(s, 101, 520), white);
    // Top edge: area_top 80 -> y 80.5.
    EXPECT_EQ(pixel(s, 540, 80), black);
    EXPECT_EQ(pixel(s, 540, 79), white);
    EXPECT_EQ(pixel(s, 540, 81), white);
    // The zero line of x (-5 .. 105 over 840 units: at 138.18) is solid and
    // sits on column 138.
    EXPECT_EQ(pixel(s, 138, 520), black);
    EXPECT_EQ(pixel(s, 137, 520), white);
    EXPECT_EQ(pixel(s, 139, 520), white);
    // The line at 10 (214.55) is half as wide and dashed: grey on column
    // 214 in its dashes, white in its gaps, nothing beside it.
    int grey_rows = 0, white_rows = 0;
    for (int y = 300; y < 330; y++) {
        const uint32_t v = pixel(s, 214, y);
        if (v == white)
            white_rows++;
        else if (is_grey(v))
            grey_rows++;
        EXPECT_EQ(pixel(s, 213, y), white);
        EXPECT_EQ(pixel(s, 215, y), white);
    }
    EXPECT_EQ(grey_rows, 10);
    EXPECT_EQ(white_rows, 20);
}

// The same plot on a PDF page is not snapped. Rasterised at two pixels a
// point, the frame at x = 100 covers pixels 199 and 200 (snapped to 100.5 it
// would cover 200 and 201), and the zero line at 138.18 covers 275.36 to
// 277.36: two thirds of 275, all of 276, a third of 277.
TEST(plot_render, pdf_surface_is_not_snapped)
{
    test_support::temp_dir dir;
    const std::string pdf = dir.file("plot.pdf");
    {
        auto p = plot_new();
        plot_test::surface_ptr surface(cairo_pdf_surface_create(pdf.c_str(), 1000, 1000));
        plot_test::context_ptr cr(cairo_create(surface.get()));
        EXPECT_TRUE(plot_compute_layout(cr.get(), *p, 0).vector);
        plot_render(cr.get(), p.get(), 0);
    }
    const test_support::run_result r = test_support::run_program(
        "/usr/bin/pdftocairo", { "-png", "-r", "144", "-singlefile", pdf, dir.file("page") });
    if (r.status != 0)
        GTEST_SKIP() << "pdftocairo (poppler-utils) is needed to rasterise the PDF: " << r.err;
    plot_test::surface_ptr png(cairo_image_surface_create_from_png(dir.file("page.png").c_str()));
    ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_image_surface_get_width(png.get()), 2000);
    cairo_surface_t* s = png.get();
    const int y = 1040;
    EXPECT_EQ(pixel(s, 198, y), white);
    EXPECT_EQ(pixel(s, 199, y), black);
    EXPECT_EQ(pixel(s, 200, y), black);
    EXPECT_EQ(pixel(s, 201, y), white);
    const uint32_t left = pixel(s, 275, y), right = pixel(s, 277, y);
    EXPECT_TRUE(is_grey(left));
    EXPECT_EQ(pixel(s, 276, y), black);
    EXPECT_TRUE(is_grey(right));
    EXPECT_LT(plot_test::red(left), plot_test::red(right));
}

TEST(plot_render, x_reversed_and_y_down_move_the_points)
{
    for (int flags = 0; flags < 4; flags++) {
        auto p = plot_new();
        p->x_reversed = flags & 1;
        p->y_down = flags & 2;
        auto red_dot = make_series(style_dots, 0xff0000, { { 0, 0 } });
        red_dot->radius = 3;
        auto blue_dot = make_series(style_dots, 0x0000ff, { { 100, 100 } });
        blue_dot->radius = 3;
        plot_add_series(*p, std::move(red_dot));
        plot_add_series(*p, std::move(blue_dot));
        canvas c(800, 800);
        plot_render(c.cr.get(), p.get(), 0);
        const plot_layout l = plot_compute_layout(c.cr.get(), *p, 0);
        const vec2 r = device(*p, l, 0, 0), b = device(*p, l, 100, 100);
        EXPECT_EQ(pixel(c.surface.get(), int(r[0]), int(r[1])), 0xff0000u) << flags;
        EXPECT_EQ(pixel(c.surface.get(), int(b[0]), int(b[1])), 0x0000ffu) << flags;
        // Where the point is in the unflipped view.
        const bool red_left = r[0]<400, red_low = r[1]> 400;
        EXPECT_EQ(red_left, !p->x_reversed) << flags;
        EXPECT_EQ(red_low, !p->y_down) << flags;
    }
}

TEST(plot_render, legend_only_for_labelled_series)
{
    // With h = 1000 the legend box (padding included) starts at (110, 90).
    auto p = plot_new();
    plot_add_series(*p, make_series(style_line, 0xff0000, { { 0, 0 }, { 100, 50 } }));
    canvas c(1000, 1000);
    plot_render(c.cr.get(), p.get(), 0);
    EXPECT_EQ(pixel(c.surface.get(), 111, 91), white);

    auto labelled = make_series(style_line, 0x0000ff, { { 0, 100 }, { 100, 60 } });
    labelled->label = "z-axis";
    plot_add_series(*p, std::move(labelled));
    plot_render(c.cr.get(), p.get(), 0);
    EXPECT_EQ(pixel(c.surface.get(), 111, 91), 0xf5f5f5u);
    // The sample line of the one row: blue, starting at the box's left edge.
    bool blue_sample = false;
    for (int y = 93; y < 107; y++) {
        const uint32_t v = pixel(c.surface.get(), 120, y);
        blue_sample |= plot_test::blue(v) > 200 && plot_test::red(v) < 120;
    }
    EXPECT_TRUE(blue_sample);

    p->legend_right = true;
    plot_render(c.cr.get(), p.get(), 0);
    EXPECT_EQ(pixel(c.surface.get(), 111, 91), white);
    EXPECT_EQ(pixel(c.surface.get(), 930, 91), 0xf5f5f5u); // box right edge 928, padding 3
}

TEST(plot_render, marker_star_is_drawn_and_emptied)
{
    auto p = plot_new();
    plot_add_series(*p, make_series(style_line, 0xff0000, { { 0, 0 }, { 100, 100 } }));
    const vec2 at { 33, 67 };
    plot_set_marker(*p, "run.csv", &at)->radius = 5; // data units: a big star
    canvas c(900, 900);
    plot_render(c.cr.get(), p.get(), 0);
    const plot_layout l = plot_compute_layout(c.cr.get(), *p, 0);
    const vec2 d = device(*p, l, 33, 67);
    const double q = 2 * 5 * l.area_width / (l.x_max - l.x_min); // tips q from the centre
    EXPECT_EQ(pixel(c.surface.get(), int(d[0]), int(d[1])), 0x00b0b0u);
    EXPECT_EQ(pixel(c.surface.get(), int(d[0]), int(d[1] - q / 2)), 0x00b0b0u); // upper arm
    EXPECT_EQ(pixel(c.surface.get(), int(d[0] + q / 2), int(d[1])), 0x00b0b0u); // right arm
    EXPECT_EQ(pixel(c.surface.get(), int(d[0] + 0.6 * q), int(d[1] - 0.6 * q)), white); // between tips
    EXPECT_EQ(cairo_surface_write_to_png(
                  c.surface.get(), (test_support::output_dir("plot") + "/marker.png").c_str()),
        CAIRO_STATUS_SUCCESS);

    plot_set_marker(*p, "run.csv", nullptr);
    plot_render(c.cr.get(), p.get(), 0);
    EXPECT_EQ(pixel(c.surface.get(), int(d[0]), int(d[1])), white);
}

TEST(plot_render, every_style_draws_and_unknown_styles_draw_nothing)
{
    auto p = plot_new();
    p->title = "every style";
    p->x_label = "x (units)";
    p->y_label = "y (units)";
    for (int32_t style = 0; style <= 9; style++) {
        auto s = make_series(series_style(style), 0x1010e0, {});
        for (int i = 0; i <= 10; i++)
            series_add_point(*s, { i * 10.0 + 5, style * 10.0 + (i % 2) * 4 });
        s->label = "style " + std::to_string(style);
        plot_add_series(*p, std::move(s));
    }
    canvas c(1100, 850);
    plot_render(c.cr.get(), p.get(), 0);
    const plot_layout l = plot_compute_layout(c.cr.get(), *p, 0);
    // Open circles: coloured ring, white centre.
    const vec2 circle = device(*p, l, 55, 44);
    EXPECT_EQ(pixel(c.surface.get(), int(circle[0]), int(circle[1])), white);
    const double r = 2 * l.line_width;
    EXPECT_NE(pixel(c.surface.get(), int(circle[0] + r), int(circle[1])), white);
    // Filled dots: coloured centre.
    const vec2 dot = device(*p, l, 55, 34);
    EXPECT_EQ(pixel(c.surface.get(), int(dot[0]), int(dot[1])), 0x1010e0u);
    // Style 7 fills the polygon lightly: the zigzag's notch between two of its points is tinted.
    const vec2 fill = device(*p, l, 55, 73);
    const uint32_t tint = pixel(c.surface.get(), int(fill[0]), int(fill[1]));
    EXPECT_NE(tint, white);
    EXPECT_GT(tint & 0xff, 0xe0u); // a fifth of the colour over white
    // Style 8 is dashed: a dash starts at its first point.
    const vec2 dash = device(*p, l, 5, 80);
    EXPECT_NE(pixel(c.surface.get(), int(dash[0] + 1), int(dash[1])), white);
    // Style 9 is unknown: its points stay white.
    const vec2 none = device(*p, l, 55, 94);
    EXPECT_EQ(pixel(c.surface.get(), int(none[0]), int(none[1])), white);
    EXPECT_EQ(cairo_surface_write_to_png(
                  c.surface.get(), (test_support::output_dir("plot") + "/every_style.png").c_str()),
        CAIRO_STATUS_SUCCESS);
}

// Window pages ask for texts of at least 9 px: on a small cell the area
// shrinks to make room and crowded tick labels are thinned out; on a large
// one nothing changes.
TEST(plot_layout, legible_texts_shrink_the_area_and_thin_the_labels)
{
    const auto p = labelled_plot();
    const plot_render_options legible { 9 };
    struct {
        int width, height; // of the whole surface, 3x3 cells
        bool raised;
    } sizes[] = { { 700, 500, true }, { 420, 300, true }, { 2400, 1800, false } };
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height));
        canvas c(s.width, s.height);
        const plot_layout plain = plot_compute_layout(c.cr.get(), *p, 5);
        const plot_layout l = plot_compute_layout(c.cr.get(), *p, 5, legible);
        EXPECT_GE(l.font_size, 9);
        EXPECT_EQ(l.legible, s.raised);
        if (!s.raised) {
            EXPECT_DOUBLE_EQ(l.area_width, plain.area_width);
            continue;
        }
        EXPECT_LT(l.area_width, plain.area_width);
        EXPECT_LT(l.area_height, plain.area_height);
        EXPECT_GE(l.area_left, l.cell_x);
        EXPECT_LE(l.area_left + l.area_width, l.cell_x + l.cell_width);
        EXPECT_LE(l.area_top + l.area_height, l.cell_y + l.cell_height);
        // Labelled x grid lines far enough apart for "120000" and a gap.
        const double spacing = l.area_width * l.x_step * l.x_label_every / (l.x_max - l.x_min);
        EXPECT_GE(spacing, 6 * 0.5 * l.font_size) << l.x_label_every;
        EXPECT_GT(l.x_label_every, 1);
        // The PDF and the plain window surfaces keep the cell-height size.
        EXPECT_LT(plain.font_size, 9);
    }
}

// Texts are measured once per thread and reused: a rendering after the same
// texts were measured at other sizes, at device scale 2, rotated and on a PDF
// matches one made on a fresh thread, pixel for pixel.
TEST(plot_render, reused_text_measurements_draw_as_fresh_ones)
{
    const auto p = labelled_plot();
    auto draw = [&](int scale, bool rotate, double font) {
        canvas c(600 * scale, 450 * scale);
        cairo_surface_set_device_scale(c.surface.get(), scale, scale);
        if (rotate)
            cairo_rotate(c.cr.get(), 0.3);
        plot_render(c.cr.get(), p.get(), 0, plot_render_options { font });
        cairo_surface_flush(c.surface.get());
        const unsigned char* data = cairo_image_surface_get_data(c.surface.get());
        return std::vector<unsigned char>(
            data, data + cairo_image_surface_get_stride(c.surface.get()) * 450 * scale);
    };
    std::vector<unsigned char> fresh;
    std::thread([&] { fresh = draw(1, false, 11); }).join();

    draw(2, false, 11);
    draw(1, true, 11);
    draw(1, false, 7);
    cairo_surface_ptr pdf(cairo_pdf_surface_create_for_stream(
        [](void*, const unsigned char*, unsigned int) { return CAIRO_STATUS_SUCCESS; }, nullptr, 600, 450));
    cairo_context_ptr cr(cairo_create(pdf.get()));
    plot_render(cr.get(), p.get(), 0, plot_render_options { 11 });
    EXPECT_EQ(draw(1, false, 11), fresh);
}

// A view draws its own ranges with steps for them, and the series stop at
// the frame.
TEST(plot_render, a_zoomed_view_has_its_own_grid_and_cuts_the_series_at_the_frame)
{
    auto p = plot_new();
    plot_add_series(*p, make_series(style_line, 0xff0000, { { 0, 0 }, { 1000, 1000 } }));
    const plot_layout whole = layout_of(*p, 0, 400, 400);
    p->view = plot_view { 400, 500, 400, 500 };
    canvas c(400, 400);
    cairo_set_source_rgb(c.cr.get(), 1, 1, 1);
    cairo_paint(c.cr.get());
    plot_render(c.cr.get(), p.get(), 0);
    const plot_layout l = plot_compute_layout(c.cr.get(), *p, 0);
    EXPECT_DOUBLE_EQ(l.x_min, 400);
    EXPECT_DOUBLE_EQ(l.x_max, 500);
    EXPECT_DOUBLE_EQ(l.y_max, 500);
    EXPECT_LT(l.x_step, whole.x_step);
    EXPECT_DOUBLE_EQ(l.area_width, whole.area_width); // the same frame, a finer grid
    // The diagonal crosses the area; outside it, along the diagonal's
    // continuation past the frame, nothing red is drawn.
    const vec2 mid = device(*p, l, 450, 450);
    EXPECT_EQ(pixel(c.surface.get(), int(mid[0]), int(mid[1])) >> 16, 0xffu);
    const vec2 beyond = device(*p, l, 505, 505);
    ASSERT_LT(beyond[0], 400);
    ASSERT_GT(beyond[0], l.area_left + l.area_width);
    EXPECT_NE(pixel(c.surface.get(), int(beyond[0]), int(beyond[1])), 0xff0000u);
}
