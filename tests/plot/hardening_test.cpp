// SPDX-License-Identifier: GPL-3.0-or-later
// Plots of tracks found by fuzzing: a plot's own grid step over a span
// millions of times its size.
#include <cairo-pdf.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/plot/plot.h"
#include "core/plot/plot_catalogue.h"
#include "core/plot/plot_set.h"
#include "core/swoop/swoop.h"
#include "tests/plot/plot_test_util.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

namespace {

struct pdf_deleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};

} // namespace

// A container with wild but finite values (heights of 1e90 ft) that the
// analysis accepts: the dive plots' own steps (200 ft, 10 mph) would have
// drawn 100000 grid lines and labels, taken seconds and run the PDF surface
// out of memory. Over such a span the renderer chooses the step.
TEST(plot_hardening, own_step_gives_way_over_a_wild_span)
{
    const char* err = nullptr;
    std::unique_ptr<swoop> s = swoop_new(
        test_support::data_file("quirks/container-wild-values-for-fixed-plot-steps.skm").c_str(), &err);
    ASSERT_NE(s, nullptr) << err;
    const frame_matrix course = sim_course_matrix(sim_course {});
    swoop_analyse(*s, frame_from_gate, &course, 0, &err);
    ASSERT_EQ(err, nullptr) << err;

    std::unique_ptr<plot> dive = plot_dive_speed(s.get(), false, false);
    ASSERT_NE(dive, nullptr);
    ASSERT_EQ(dive->y_step, 10);
    plot_test::canvas c(800, 600);
    const plot_layout l = plot_compute_layout(c.cr.get(), *dive, 0);
    EXPECT_GT(l.y_step, 1e80);
    EXPECT_LE(plot_axis_ticks(l.y_min, l.y_max, l.y_step).size(), 30u);

    // The whole two-page document of such a swoop is written.
    test_support::temp_dir dir;
    const std::string path = dir.file("wild.pdf");
    std::unique_ptr<cairo_surface_t, pdf_deleter> pdf(cairo_pdf_surface_create(path.c_str(), 792, 612));
    {
        plot_test::context_ptr cr(cairo_create(pdf.get()));
        const std::vector<vec3> no_pond;
        std::unique_ptr<plot> plots[8] = {
            plot_overhead(s.get(), no_pond, false, false),
            plot_side_view(s.get(), false, false),
            plot_dive_speed(s.get(), false, false),
            plot_swoop_speed(s.get(), false),
            plot_dive_angle(s.get(), false, false),
            plot_gps_accuracy(s.get(), false, false),
            plot_turn_rate(s.get(), false, false),
            plot_heading(s.get(), false, false),
        };
        for (int k = 0; k < 8; ++k) {
            plot_render(cr.get(), plots[k].get(), 1 + k % 4);
            if (k == 3)
                cairo_surface_show_page(pdf.get());
        }
    }
    cairo_surface_finish(pdf.get());
    EXPECT_EQ(cairo_surface_status(pdf.get()), CAIRO_STATUS_SUCCESS);
}

// A plot's own step holds for every span up to 100 of its steps.
TEST(plot_hardening, own_step_holds_over_ordinary_spans)
{
    std::unique_ptr<plot> p = plot_new();
    p->x_step = 50;
    p->y_step = 10;
    std::unique_ptr<series> s = series_new(2);
    series_add_point(*s, { -4000, 0 });
    series_add_point(*s, { 900, 95 });
    plot_add_series(*p, std::move(s));
    plot_test::canvas c(800, 600);
    const plot_layout l = plot_compute_layout(c.cr.get(), *p, 0);
    EXPECT_EQ(l.x_step, 50);
    EXPECT_EQ(l.y_step, 10);
}

// A container whose samples hold extreme values: analysed in another swoop's
// frame (as a compared swoop is), its overhead and side views span more
// than a double holds, and the equal-scale interval count was an infinite
// ratio converted to int. Every analysis the programs run is followed by
// the plots; the sanitizer build catches the conversion.
TEST(plot_hardening, infinite_spans_get_bounded_interval_counts)
{
    const char* err = nullptr;
    std::unique_ptr<swoop> s = swoop_new(
        test_support::data_file("quirks/container-extreme-values-infinite-plot-span.skm").c_str(), &err);
    ASSERT_NE(s, nullptr) << err;
    const frame_matrix course = sim_course_matrix(sim_course {});
    plot_test::canvas c(240, 180);
    int rendered = 0;
    for (frame_kind type : { frame_from_gate, frame_from_swoop, frame_as_given }) {
        swoop_analyse(*s, type, type == frame_from_swoop ? nullptr : &course, 0.0208, &err);
        if (err)
            continue;
        for (auto& p : plot_set_build(s.get(), {}, false)) {
            plot_render(c.cr.get(), p.get(), 1);
            rendered++;
        }
    }
    EXPECT_GT(rendered, 0);

    // The rule on its own: spans of a double's range in both directions.
    for (double far : { 1e308, 1.7e308 }) {
        std::unique_ptr<plot> p = plot_new();
        p->equal_scale = true;
        std::unique_ptr<series> points = series_new(2);
        series_add_point(*points, { -far, -far });
        series_add_point(*points, { far, far * 0.9 });
        plot_add_series(*p, std::move(points));
        const plot_layout l = plot_compute_layout(c.cr.get(), *p, 0);
        EXPECT_LE(plot_axis_ticks(l.x_min, l.x_max, l.x_step).size(), 100001u);
        plot_render(c.cr.get(), p.get(), 0);
    }
}
