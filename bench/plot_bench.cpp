// SPDX-License-Identifier: GPL-3.0-or-later
// Rendering the plot pages of the desktop program: the player redraws every
// visible plot on each 100 ms tick, so a full page has to render well within
// a screen frame (target: under 16 ms for the 3 x 3 page).
//
// Setup: a simulated 270-degree swoop analysed against its course, four other
// simulated swoops as grey overlays in its frame, and markers on all five.
#include <benchmark/benchmark.h>

#include <cairo.h>

#include <memory>
#include <string>
#include <vector>

#include "core/plot/plot_set.h"
#include "core/swoop/point_at.h"
#include "tools/track_sim/track_sim.h"

namespace {

struct page_fixture {
    std::vector<std::unique_ptr<swoop>> swoops; // [0] is the selected swoop
    plot_set_plots plots; // the desktop program's index order
};

std::unique_ptr<swoop> simulated(
    const swoop_options& o, const frame_matrix& m, double theta, const char* name)
{
    sim_swoop sim = generate_swoop(o);
    auto s = std::make_unique<swoop>();
    s->file = name;
    s->track = std::move(sim.samples);
    s->track_len = uint32_t(s->track.size());
    const char* err = nullptr;
    swoop_analyse(*s, frame_from_gate, &m, theta, &err);
    return s;
}

const page_fixture& fixture()
{
    static const page_fixture f = [] {
        page_fixture made;
        walk_options walk;
        walk.seed = 11;
        const sim_walk gate = generate_walk(walk);

        const swoop_options base = example_swoop_base(walk.course, gate.truth.theta);
        const double turns[5] = { 270, 450, 270, 630, 180 };
        for (int k = 0; k < 5; k++) {
            swoop_options o = base;
            o.seed = 21 + uint64_t(k);
            o.turn_degrees = turns[k];
            o.right_turn = k % 2 == 0;
            o.turn_height = 150 + 20 * k;
            o.entry_speed = 27 + 0.5 * k;
            const std::string name = "swoop-" + std::to_string(k) + ".csv";
            made.swoops.push_back(simulated(o, gate.truth.matrix, gate.truth.theta, name.c_str()));
        }
        const swoop& s = *made.swoops[0];
        made.plots = plot_set_build(&s, gate.truth.pond, false);
        for (size_t k = 1; k < made.swoops.size(); k++) {
            swoop& o = *made.swoops[k];
            const char* err = nullptr;
            swoop_analyse(o, frame_as_given, &s.matrix, 0, &err); // in the selected swoop's frame
            for (size_t i = 0; i < made.plots.size(); i++) {
                std::unique_ptr<series> grey = plot_set[i].overlay(o, false);
                for (series* x = grey.get(); x; x = x->next.get())
                    x->color = 0x808080;
                plot_add_series(*made.plots[i], std::move(grey));
            }
        }
        // Markers 1.5 s after each swoop's entry-gate crossing.
        for (const auto& sw : made.swoops) {
            const int64_t offset = 1500 + int64_t(sw->entry_gate_time) - sw->track[sw->top_of_turn].time;
            std::unique_ptr<gps_point> g = swoop_point_at(*sw, offset);
            for (size_t i = 0; i < made.plots.size(); i++)
                plot_set[i].mark(*made.plots[i], *sw, g.get(), false);
        }
        return made;
    }();
    return f;
}

// One page as the desktop program renders it on a size-allocate: grey
// background, the 22:17 sheet in white, then the page's plots by cell code.
void render_page(cairo_surface_t* surface, const plot_page& page)
{
    const page_fixture& f = fixture();
    const double W = cairo_image_surface_get_width(surface), H = cairo_image_surface_get_height(surface);
    double w = W, h = H;
    if (W / H < 22.0 / 17.0)
        h = W * 17 / 22;
    else
        w = H * 22 / 17;
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0.33, 0.33, 0.33);
    cairo_paint(cr);
    cairo_rectangle(cr, (W - w) / 2, (H - h) / 2, w, h);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    plot_set_render_page(cr, page, f.plots);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
}

void run_page(benchmark::State& state, const char* name)
{
    fixture();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1370, 980);
    for (auto _ : state)
        render_page(surface, *plot_set_page(name));
    cairo_surface_destroy(surface);
}

void plot_page_3x3(benchmark::State& state)
{
    run_page(state, "plots");
}

void plot_page_2x2_first(benchmark::State& state)
{
    run_page(state, "plots 1");
}

void plot_page_2x2_second(benchmark::State& state)
{
    run_page(state, "plots 2");
}

// Each plot alone in its cell of the 3 x 3 page, by index (what each costs).
void plot_one_of_nine(benchmark::State& state)
{
    const page_fixture& f = fixture();
    const plot_page& nine = plot_set_pages(9)[0];
    const plot_cell cell = nine.cells[size_t(state.range(0))];
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1370, 980);
    cairo_t* cr = cairo_create(surface);
    for (auto _ : state)
        plot_render(cr, f.plots[size_t(cell.plot)].get(), cell.cell);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    state.SetLabel(plot_set[size_t(cell.plot)].name);
}

// Building the eight plots of a swoop (a new selection).
void plot_build_eight(benchmark::State& state)
{
    const swoop& s = *fixture().swoops[0];
    const std::vector<vec3> pond;
    for (auto _ : state) {
        auto plots = plot_set_build(&s, pond, false);
        benchmark::DoNotOptimize(plots.data());
    }
}

} // namespace

BENCHMARK(plot_page_3x3)->Unit(benchmark::kMillisecond);
BENCHMARK(plot_page_2x2_first)->Unit(benchmark::kMillisecond);
BENCHMARK(plot_page_2x2_second)->Unit(benchmark::kMillisecond);
BENCHMARK(plot_one_of_nine)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);
BENCHMARK(plot_build_eight)->Unit(benchmark::kMicrosecond);
