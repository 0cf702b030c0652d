// SPDX-License-Identifier: GPL-3.0-or-later
// The eight plots of simulated, analysed swoops: what they show agrees with
// the simulator's truth, and every plot is written to PNG (one to a page,
// four to a page, nine to a page with grey overlays and markers, and the
// two-page PDF) under the test output folder for a look by eye.
#include <cairo-pdf.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "core/geometry/geodetic.h"
#include "core/plot/plot_catalogue.h"
#include "core/track/track_frames.h"
#include "tests/plot/eight_plots.h"
#include "tests/plot/plot_test_util.h"
#include "tests/support/test_support.h"
#include "tools/track_sim/track_sim.h"

using plot_test::add_overlay;
using plot_test::canvas;
using plot_test::eight_plots;
using plot_test::set_markers;

namespace {

constexpr double ft = 3.2808399;
using std::numbers::pi;

struct course {
    walk_options walk;
    sim_walk gate;
    frame_matrix matrix {};
};

const course& the_course()
{
    static const course c = [] {
        course made;
        made.walk.seed = 11;
        made.gate = generate_walk(made.walk);
        made.matrix = made.gate.truth.matrix;
        return made;
    }();
    return c;
}

// One of the bundled example swoops, flown on the course.
swoop_options example_options(sim_example which)
{
    return example_swoop(the_course().walk.course, the_course().gate.truth.theta, which);
}

struct analysed {
    std::unique_ptr<swoop> s;
    swoop_truth truth;
};

// A simulated swoop analysed against the surveyed course (gate type 0).
analysed analyse(const swoop_options& o, const std::string& name)
{
    sim_swoop sim = generate_swoop(o);
    analysed a;
    a.truth = sim.truth;
    a.s = std::make_unique<swoop>();
    a.s->file = name;
    a.s->track = std::move(sim.samples);
    a.s->track_len = uint32_t(a.s->track.size());
    const char* err = nullptr;
    swoop_analyse(*a.s, frame_from_gate, &the_course().matrix, the_course().gate.truth.theta, &err);
    EXPECT_EQ(err, nullptr) << name << ": " << err;
    return a;
}

analysed right_270()
{
    return analyse(example_options(sim_example::right_270), "swoop-270-right.csv");
}

// The pond of the course turned into the swoop's frame, as the callers do.
std::vector<vec3> pond_for(const swoop& s)
{
    std::vector<vec3> pond = the_course().gate.truth.pond;
    double angle = s.reversal_detected ? pi : 0;
    if (s.carve_detected)
        angle += s.rotate_theta;
    polygon_rotate(pond.data(), angle);
    return pond;
}

const char* const plot_names[8]
    = { "overhead", "side", "dive_speed", "swoop_speed", "dive_angle", "accuracy", "turn_rate", "heading" };

// Pixels in the cell that are neither white nor grey: something coloured was drawn.
int coloured_pixels(cairo_surface_t* s, int x0, int y0, int w, int h)
{
    int n = 0;
    for (int y = y0; y < y0 + h; y++)
        for (int x = x0; x < x0 + w; x++) {
            const uint32_t c = plot_test::pixel(s, x, y);
            n += !(plot_test::red(c) == plot_test::green(c) && plot_test::green(c) == plot_test::blue(c));
        }
    return n;
}

void write_png(cairo_surface_t* s, const std::string& name)
{
    EXPECT_EQ(cairo_surface_write_to_png(s, (test_support::output_dir("plot") + "/" + name).c_str()),
        CAIRO_STATUS_SUCCESS);
}

} // namespace

TEST(plot_simulated, plots_agree_with_the_simulated_truth)
{
    const analysed a = right_270();
    const swoop& s = *a.s;
    ASSERT_NE(s.top_of_turn, 0u);
    ASSERT_NE(s.entry_gate, 0u);
    ASSERT_GT(s.stop, s.bottom_of_turn);

    // The heading turns through the whole turn, unwound, to the right.
    auto heading = plot_heading(&s, true, false);
    const series* first = heading->series.get();
    const series* last = first;
    while (last->next)
        last = last->next.get();
    const double turned = last->points[last->count - 1][1] - first->points[0][1];
    EXPECT_NEAR(turned, a.truth.turn_degrees, 45);

    // The overhead path ends where the pilot stopped, and starts far upstream.
    auto overhead = plot_overhead(&s, pond_for(s), false, false);
    const series* path = overhead->series.get();
    EXPECT_NEAR(path->points[path->count - 1][0], a.truth.stop_pos[0] * ft, 5 * ft);
    EXPECT_NEAR(path->points[path->count - 1][1], a.truth.stop_pos[1] * ft, 5 * ft);
    const series* pond = path->next->next->next.get();
    ASSERT_TRUE(pond);
    EXPECT_EQ(pond->style, style_dotted);
    EXPECT_GT(pond->count, 50u);

    // The fastest point of the run and the descent peak.
    auto speed = plot_swoop_speed(&s, true);
    const series* fastest = speed->series->next.get();
    EXPECT_NEAR(fastest->points[0][1], a.truth.max_horizontal_speed * 3.6, 3 * 3.6);
    ASSERT_TRUE(fastest->next && fastest->next->label);
    EXPECT_EQ(fastest->next->label->rfind("entry gate (", 0), 0u);
    auto dive = plot_dive_speed(&s, true, false);
    const series* descent = dive->series->next->next.get();
    double peak = 0;
    for (uint32_t i = 0; i < descent->count; i++)
        peak = std::max(peak, descent->points[i][1]);
    EXPECT_NEAR(peak, a.truth.max_descent_rate * 3.6, 3 * 3.6);
}

TEST(plot_simulated, every_plot_one_four_and_nine_to_a_page)
{
    analysed main = right_270();
    const swoop& s = *main.s;
    const std::vector<vec3> pond = pond_for(s);

    // One to a page, imperial, at the proportions of the plot sheet.
    {
        auto plots = eight_plots(s, pond, false);
        for (int i = 0; i < 8; i++) {
            ASSERT_TRUE(plots[i]) << plot_names[i];
            canvas c(1100, 850);
            plot_render(c.cr.get(), plots[i].get(), 0);
            EXPECT_GT(coloured_pixels(c.surface.get(), 0, 0, 1100, 850), 200) << plot_names[i];
            write_png(c.surface.get(), std::string("single_") + plot_names[i] + ".png");
        }
    }

    // Four others as grey overlays, markers 1.5 s after the entry gate.
    std::vector<analysed> others;
    const double turns[4] = { 450, 270, 630, 180 };
    for (int k = 0; k < 4; k++) {
        swoop_options o = example_swoop_base(the_course().walk.course, the_course().gate.truth.theta);
        o.seed = 40 + k;
        o.turn_degrees = turns[k];
        o.right_turn = k % 2 == 0;
        o.turn_height = 150 + 40 * (k % 3);
        o.entry_speed = 26 + k;
        o.entry_y = k - 1.5;
        others.push_back(analyse(o, "other-" + std::to_string(k) + ".csv"));
        const char* err = nullptr;
        swoop_analyse(*others.back().s, frame_as_given, &s.matrix, 0, &err); // in the selected swoop's frame
        ASSERT_EQ(err, nullptr) << err;
    }

    for (bool metric : { false, true }) {
        auto plots = eight_plots(s, pond, metric);
        for (const analysed& o : others)
            ASSERT_TRUE(add_overlay(plots, *o.s, metric));
        for (const analysed& o : others)
            set_markers(plots, *o.s, 1500, metric);
        set_markers(plots, s, 1500, metric);
        const char* unit = metric ? "metric" : "imperial";

        // Nine to a page: the desktop program's cell codes.
        const int nine[8] = { 5, 8, 6, 9, 11, 12, 7, 10 };
        canvas page(1370, 980);
        cairo_set_source_rgb(page.cr.get(), 1, 1, 1);
        cairo_paint(page.cr.get());
        for (int i = 0; i < 8; i++)
            plot_render(page.cr.get(), plots[i].get(), nine[i]);
        for (int i = 0; i < 8; i++) {
            const int k = nine[i] - 5;
            EXPECT_GT(
                coloured_pixels(page.surface.get(), (k % 3) * 1370 / 3, (k / 3) * 980 / 3, 1370 / 3, 980 / 3),
                100)
                << plot_names[i];
        }
        write_png(page.surface.get(), std::string("page9_") + unit + ".png");

        // Four to a page.
        const int four[8] = { 1, 3, 2, 4, 1, 3, 2, 4 };
        for (int half = 0; half < 2; half++) {
            canvas quarter(1100, 850);
            for (int i = 4 * half; i < 4 * half + 4; i++)
                plot_render(quarter.cr.get(), plots[i].get(), four[i]);
            write_png(quarter.surface.get(),
                std::string("page4_") + std::to_string(half + 1) + "_" + unit + ".png");
        }
    }

    // The two-page document layout on PDF.
    const std::string pdf = test_support::output_dir("plot") + "/document.pdf";
    {
        auto plots = eight_plots(s, pond, false);
        plot_test::surface_ptr surface(cairo_pdf_surface_create(pdf.c_str(), 792, 612));
        plot_test::context_ptr cr(cairo_create(surface.get()));
        plot_render(cr.get(), plots[0].get(), 1);
        plot_render(cr.get(), plots[1].get(), 3);
        plot_render(cr.get(), plots[2].get(), 2);
        plot_render(cr.get(), plots[3].get(), 4);
        cairo_surface_show_page(surface.get());
        plot_render(cr.get(), plots[4].get(), 1);
        plot_render(cr.get(), plots[5].get(), 3);
        plot_render(cr.get(), plots[6].get(), 2);
        plot_render(cr.get(), plots[7].get(), 4);
        cairo_surface_show_page(surface.get());
        EXPECT_EQ(cairo_surface_status(surface.get()), CAIRO_STATUS_SUCCESS);
    }
    EXPECT_TRUE(test_support::file_exists(pdf));
}

TEST(plot_simulated, speed_course_and_frame_from_the_swoop)
{
    analysed carve = analyse(example_options(sim_example::carve), "swoop-carve.csv");
    const swoop& s = *carve.s;
    ASSERT_TRUE(s.carve_detected);
    auto p = plot_overhead(&s, pond_for(s), true, false);
    ASSERT_TRUE(p);
    const series* poles = p->series->next.get();
    ASSERT_EQ(poles->count, 10u);
    EXPECT_EQ(poles->style, style_circles);
    EXPECT_EQ(poles->next->style, style_dotted); // the pond follows: no landing area
    canvas c(1100, 850);
    plot_render(c.cr.get(), p.get(), 0);
    write_png(c.surface.get(), "carve_overhead.png");

    // The same flight judged without a gate: just the path.
    analysed free = right_270();
    const char* err = nullptr;
    swoop_analyse(*free.s, frame_from_swoop, nullptr, 0, &err);
    ASSERT_EQ(err, nullptr) << err;
    p = plot_overhead(free.s.get(), {}, false, false);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->series->next);
    plot_render(c.cr.get(), p.get(), 0);
    write_png(c.surface.get(), "no_gate_overhead.png");
}
