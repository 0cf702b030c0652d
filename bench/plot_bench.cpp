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

#include "core/plot/plot_catalogue.h"
#include "tests/plot/eight_plots.h"
#include "tools/track_sim/track_sim.h"

namespace {

struct page_fixture {
    std::vector<std::unique_ptr<swoop>> swoops; // [0] is the selected swoop
    std::vector<std::unique_ptr<plot>> plots; // the desktop program's index order
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
    swoop_analyse(*s, 0, &m, theta, &err);
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
        made.plots = plot_test::eight_plots(s, gate.truth.pond, false);
        for (size_t k = 1; k < made.swoops.size(); k++) {
            swoop& o = *made.swoops[k];
            const char* err = nullptr;
            swoop_analyse(o, 1, &s.matrix, 0, &err); // in the selected swoop's frame
            plot_test::add_overlay(made.plots, o, false);
        }
        for (const auto& sw : made.swoops)
            plot_test::set_markers(made.plots, *sw, 1500, false);
        return made;
    }();
    return f;
}

// One page as the desktop program renders it on a size-allocate: grey
// background, the 22:17 sheet in white, then the page's plots by cell code.
void render_page(cairo_surface_t* surface, const std::vector<std::pair<int, int>>& cells)
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
    for (const auto& [index, cell] : cells)
        plot_render(cr, f.plots[size_t(index)].get(), cell);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
}

void run_page(benchmark::State& state, const std::vector<std::pair<int, int>>& cells)
{
    fixture();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1370, 980);
    for (auto _ : state)
        render_page(surface, cells);
    cairo_surface_destroy(surface);
}

// "plots": overhead 5, side 8, dive speed 6, swoop speed 9, dive angle 11,
// accuracy 12, turn rate 7, heading 10.
void plot_page_3x3(benchmark::State& state)
{
    run_page(state, { { 0, 5 }, { 1, 8 }, { 2, 6 }, { 3, 9 }, { 4, 11 }, { 5, 12 }, { 6, 7 }, { 7, 10 } });
}

// "plots 1": overhead 1, side 3, dive speed 2, swoop speed 4.
void plot_page_2x2_first(benchmark::State& state)
{
    run_page(state, { { 0, 1 }, { 1, 3 }, { 2, 2 }, { 3, 4 } });
}

// "plots 2": dive angle 1, accuracy 3, turn rate 2, heading 4.
void plot_page_2x2_second(benchmark::State& state)
{
    run_page(state, { { 4, 1 }, { 5, 3 }, { 6, 2 }, { 7, 4 } });
}

// Building the eight plots of a swoop (a new selection).
void plot_build_eight(benchmark::State& state)
{
    const swoop& s = *fixture().swoops[0];
    const std::vector<vec3> pond;
    for (auto _ : state) {
        auto plots = plot_test::eight_plots(s, pond, false);
        benchmark::DoNotOptimize(plots.data());
    }
}

} // namespace

BENCHMARK(plot_page_3x3)->Unit(benchmark::kMillisecond);
BENCHMARK(plot_page_2x2_first)->Unit(benchmark::kMillisecond);
BENCHMARK(plot_page_2x2_second)->Unit(benchmark::kMillisecond);
BENCHMARK(plot_build_eight)->Unit(benchmark::kMicrosecond);
