// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program's speed, on its real window under an X server (run it
// as `scripts/with-display --dbus -- build/bench/skimra_gui_bench`):
//   - building, showing and destroying the main window (target 100 ms);
//   - selecting a swoop of a 30-minute 5 Hz log at 1370 x 980 with nine plots
//     to a page: analysis, eight plots, report, the page rendered (50 ms), and
//     the same with ten ticked swoops of that size drawn over it (150 ms);
//   - opening 20 such swoops in one request (1.5 s, 300 MB resident);
//   - one player tick with four ticked swoops (16 ms), and the slider dragged
//     across its range in 100 steps (1 s);
//   - the pointer over a 3x3 page with four compared swoops: the readout and
//     crosshair per move (8 ms of CPU), one wheel step of zoom (16 ms) and a
//     click that moves the player (20 ms).
// Selections alternate between a swoop flown along the course and one flown
// against it, so that every selection analyses the compared swoops again in
// the new frame, as a pilot going through a season's jumps makes it do.
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/glib_handles.h"
#include "core/platform/pref_store.h"
#include "gui/app.h"
#include "gui/player.h"
#include "gui/plot_pages.h"
#include "gui/resources.h"
#include "gui/swoop_list.h"
#include "gui/video_page.h"
#include "gui/window.h"
#include "tools/track_sim/track_sim.h"

namespace {

// --- the program's environment ------------------------------------------------

std::string scratch; // private HOME, XDG folders and the track files

void private_folders()
{
    char pattern[] = "/tmp/skimra-gui-bench-XXXXXX";
    scratch = mkdtemp(pattern);
    for (const char* name : { "home", "config", "data", "cache", "runtime", "tracks" })
        std::filesystem::create_directories(scratch + "/" + name);
    std::filesystem::permissions(scratch + "/runtime", std::filesystem::perms::owner_all);
    setenv("HOME", (scratch + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (scratch + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (scratch + "/data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (scratch + "/cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (scratch + "/runtime").c_str(), 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GDK_BACKEND", "x11", 1);
}

gboolean wake_up(gpointer)
{
    return G_SOURCE_CONTINUE;
}

void spin_until(const std::function<bool()>& cond)
{
    source_id tick(g_timeout_add(5, wake_up, nullptr));
    const gint64 end = g_get_monotonic_time() + 20 * G_USEC_PER_SEC;
    while (!cond() && g_get_monotonic_time() < end)
        g_main_context_iteration(nullptr, TRUE);
}

void flush()
{
    gdk_display_sync(gdk_display_get_default());
    while (g_main_context_pending(nullptr))
        g_main_context_iteration(nullptr, FALSE);
}

GtkApplication* application()
{
    static GtkApplication* app = [] {
        GtkApplication* made = app_new(G_APPLICATION_NON_UNIQUE);
        g_application_register(G_APPLICATION(made), nullptr, nullptr);
        return made;
    }();
    return app;
}

GtkWidget* open_window()
{
    g_application_activate(G_APPLICATION(application()));
    GtkWidget* window = GTK_WIDGET(gtk_application_get_active_window(application()));
    spin_until([&] { return gtk_widget_get_mapped(window); });
    flush();
    return window;
}

// --- the files: a course and 30-minute jump logs on it ------------------------

struct tracks {
    std::string gate;
    std::string along; // flown along the course
    std::string against; // flown against it
    std::vector<std::string> others; // 20 more, for overlays and opening
    uint32_t samples = 0; // of one log
};

const tracks& files()
{
    static const tracks t = [] {
        tracks made;
        const std::string dir = scratch + "/tracks/";
        walk_options wo;
        const sim_walk walk = generate_walk(wo);
        const char* err = nullptr;
        made.gate = dir + "gate.csv";
        write_track(made.gate.c_str(), walk.samples, sim_dialect::field_names, &err);
        auto jump = [&](const std::string& name, uint64_t seed, bool reverse, double turn) {
            swoop_options o = example_swoop_base(wo.course, walk.truth.theta);
            o.seed = seed;
            o.reverse = reverse;
            o.turn_degrees = turn;
            o.climb_start = 0;
            o.ground_time = 780; // the logger runs on the ground,
            o.stand_time = 600; // and after the landing: 30 minutes in all
            const sim_swoop s = generate_swoop(o);
            made.samples = uint32_t(s.samples.size());
            const std::string path = dir + name;
            write_track(path.c_str(), s.samples, sim_dialect::field_names, &err);
            return path;
        };
        made.along = jump("along.csv", 1, false, 270);
        made.against = jump("against.csv", 2, true, 450);
        for (int i = 0; i < 20; i++)
            made.others.push_back(jump(
                "other-" + std::to_string(i) + ".csv", uint64_t(10 + i), i % 3 == 0, 270 + 90 * (i % 4)));
        return made;
    }();
    return t;
}

// A window at 1370 x 980 with nine plots to a page showing, the course open
// and the two swoops to select between, plus `ticked` others compared.
struct bench_window {
    GtkWidget* window = nullptr;
    explicit bench_window(size_t ticked, bool time_scale = false)
    {
        pref_set("plots_per_page", "9");
        pref_set("enable_scale", time_scale ? "true" : "false");
        pref_set("window_width", "1370");
        pref_set("window_height", "980");
        window = open_window();
        gate_open_file(window, files().gate.c_str());
        std::vector<std::string> paths { files().along, files().against };
        for (size_t i = 0; i < ticked; i++)
            paths.push_back(files().others[i]);
        swoops_open(window, paths);
        for (GtkWidget* row : swoop_rows(window)) {
            const std::string& file = row_swoop(row)->file;
            if (file != files().along && file != files().against)
                gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(row_check(row)), TRUE);
        }
        GtkNotebook* nb = GTK_NOTEBOOK(context_of(window)->notebook);
        gtk_notebook_set_current_page(nb, 1);
        rendered();
    }
    ~bench_window() { gtk_widget_destroy(window), flush(); }
    window_context* ctx() const { return context_of(window); }
    // Waits until the page in view has rendered what was asked of it.
    void rendered() const
    {
        const uint64_t before = plot_page_renders();
        pages_redraw(window);
        spin_until([&] { return plot_page_renders() > before; });
    }
    GtkWidget* row(const std::string& path) const
    {
        for (GtkWidget* r : swoop_rows(window))
            if (row_swoop(r)->file == path)
                return r;
        return nullptr;
    }
    void select(const std::string& path) const
    {
        const uint64_t before = plot_page_renders();
        gtk_list_box_select_row(GTK_LIST_BOX(ctx()->swoop_list), GTK_LIST_BOX_ROW(row(path)));
        spin_until([&] { return plot_page_renders() > before; });
    }
};

GtkWidget* find_play_button(window_context* ctx)
{
    GtkWidget* box = gtk_widget_get_parent(ctx->time_scale);
    g_autoptr(GList) children = gtk_container_get_children(GTK_CONTAINER(box));
    for (GList* l = children; l; l = l->next)
        if (GTK_IS_BUTTON(l->data))
            return GTK_WIDGET(l->data);
    return nullptr;
}

long resident_mb()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

// --- benchmarks ---------------------------------------------------------------------

void window_build_show_destroy(benchmark::State& state)
{
    pref_set("plots_per_page", "9");
    for (auto _ : state) {
        GtkWidget* window = open_window();
        gtk_widget_destroy(window);
        flush();
    }
}

// Each selection analyses the selected swoop again (as the first selection
// after a change of gate does; an unchanged frame would keep its results).
void select_swoop(benchmark::State& state, size_t ticked)
{
    bench_window w(ticked);
    bool along = true; // the first one opened (sorted by path) is "against.csv"
    for (auto _ : state) {
        const std::string& path = along ? files().along : files().against;
        row_swoop(w.row(path))->analysis_failed = true; // its results count as stale
        w.select(path);
        along = !along;
    }
    state.counters["samples"] = files().samples;
}

void select_swoop_alone(benchmark::State& state)
{
    select_swoop(state, 0);
}

void select_swoop_with_10_compared(benchmark::State& state)
{
    select_swoop(state, 10);
}

void open_20_swoops(benchmark::State& state)
{
    pref_set("plots_per_page", "9");
    for (auto _ : state) {
        state.PauseTiming();
        GtkWidget* window = open_window();
        state.ResumeTiming();
        swoops_open(window, files().others);
        flush();
        state.PauseTiming();
        state.counters["resident_mb"] = double(resident_mb());
        gtk_widget_destroy(window);
        flush();
        state.ResumeTiming();
    }
}

void player_tick_with_4_compared(benchmark::State& state)
{
    bench_window w(4, true);
    w.select(files().along);
    GtkRange* slider = GTK_RANGE(w.ctx()->time_scale);
    const double lower = gtk_adjustment_get_lower(gtk_range_get_adjustment(slider));
    double t = lower;
    for (auto _ : state) {
        t += 100;
        const uint64_t before = plot_page_renders();
        gtk_range_set_value(slider, t); // what a tick does
        spin_until([&] { return plot_page_renders() > before; });
        if (t > gtk_adjustment_get_upper(gtk_range_get_adjustment(slider)) - 200)
            t = lower;
    }
}

// --- the video --------------------------------------------------------------------

// A 30 s 720p 30 fps VP8 video with a key frame every 30 frames, made once by
// gst-launch-1.0 as the tests make theirs (its creation time lies outside
// the jump: it starts at the entry-gate crossing).
const std::string& video_file()
{
    static const std::string path = [] {
        const std::string made = scratch + "/tracks/helmet.webm";
        const std::string command = "gst-launch-1.0 -q videotestsrc num-buffers=900 ! "
                                    "video/x-raw,width=1280,height=720,framerate=30/1 ! timeoverlay ! "
                                    "vp8enc keyframe-max-dist=30 deadline=1 ! "
                                    "webmmux creation-time=2001-01-01T00:00:00Z ! filesink location="
            + made;
        gint status = 1;
        if (!g_spawn_command_line_sync(command.c_str(), nullptr, nullptr, &status, nullptr) || status != 0)
            std::fprintf(stderr, "gui_bench: gst-launch-1.0 could not make the video\n");
        return made;
    }();
    return path;
}

// The bench window with the video attached to the selected swoop and prerolled.
video_page_part& attach_video(const bench_window& w)
{
    w.select(files().along);
    video_page_part& v = *w.ctx()->video;
    model_attach_video(w.ctx()->model, video_file());
    spin_until([&] { return v.pipeline && v.pipeline->prerolled && !v.pipeline->seek_busy; });
    return v;
}

void video_paused_seek(benchmark::State& state)
{
    bench_window w(0, true);
    video_page_part& v = attach_video(w);
    GtkRange* slider = GTK_RANGE(w.ctx()->time_scale);
    const double upper = std::min(29000.0, gtk_adjustment_get_upper(gtk_range_get_adjustment(slider)));
    GdkFrameClock* clock = gtk_widget_get_frame_clock(w.window);
    int painted = 0;
    const gulong id = g_signal_connect(clock, "after-paint",
        G_CALLBACK(+[](GdkFrameClock*, gpointer n) { ++*static_cast<int*>(n); }), &painted);
    double t = 0;
    for (auto _ : state) {
        t = std::fmod(t + 7377, upper); // never on a key frame twice in a row
        const uint64_t done = v.pipeline->seeks_done;
        gtk_range_set_value(slider, t);
        spin_until([&] { return v.pipeline->seeks_done > done; }); // the sink has the frame
        const int before = painted;
        spin_until([&] { return painted > before; }); // and it is on the screen
    }
    g_signal_handler_disconnect(clock, id);
}

// One tick while playing, with four compared swoops, at the pace of real time
// (the slider's value is where the clock has taken playback), with or without
// the video playing along.
void player_tick_playing(benchmark::State& state, bool video)
{
    bench_window w(4, true);
    w.select(files().along);
    if (video) {
        attach_video(w);
        gtk_notebook_set_current_page(GTK_NOTEBOOK(w.ctx()->notebook), 1); // the plots in view
        w.rendered();
    }
    GtkRange* slider = GTK_RANGE(w.ctx()->time_scale);
    const double upper = gtk_adjustment_get_upper(gtk_range_get_adjustment(slider));
    model_set_player(w.ctx()->model, true, false); // the benchmark is the tick
    double start = 0;
    g_timer_ptr timer(g_timer_new());
    for (auto _ : state) {
        double t = start + 1000 * g_timer_elapsed(timer.get(), nullptr);
        if (t > upper - 200) {
            state.PauseTiming();
            start = 0;
            g_timer_start(timer.get());
            t = 0;
            state.ResumeTiming();
        }
        const uint64_t before = plot_page_renders();
        gtk_range_set_value(slider, t); // what a tick does
        spin_until([&] { return plot_page_renders() > before; });
    }
    model_set_player(w.ctx()->model, false, false);
}

void player_tick_playing_with_4_compared(benchmark::State& state)
{
    player_tick_playing(state, false);
}

void player_tick_playing_with_4_compared_and_video(benchmark::State& state)
{
    player_tick_playing(state, true);
}

// 30 s of playback with the real player, from the gate to the end of the
// range and again: at every tick, GStreamer's position and the frame shown
// against the slider's time (the video's offset is 0).
void video_position_over_30s_playback(benchmark::State& state)
{
    bench_window w(0, true);
    video_page_part& v = attach_video(w);
    window_context* ctx = w.ctx();
    GtkRange* slider = GTK_RANGE(ctx->time_scale);
    GtkWidget* play = find_play_button(ctx);
    const double frame_ms = 1000.0 / 30;
    double max_error = 0, max_lag = 0, sum_error = 0;
    int ticks = 0;
    for (auto _ : state) {
        double played = 0;
        while (played < 30000) {
            gtk_range_set_value(slider, 0);
            spin_until([&] { return !v.pipeline->seek_busy && !v.pipeline->next_seek; });
            const gint64 started = g_get_monotonic_time();
            gtk_button_clicked(GTK_BUTTON(play));
            while (ctx->model.playing) {
                const int32_t before = *ctx->model.time;
                spin_until([&] { return !ctx->model.playing || *ctx->model.time != before; });
                if (!ctx->model.playing || *ctx->model.time < 200)
                    continue; // the first ticks: the pipeline is starting
                const double want = *ctx->model.time + *video_offset(v);
                const std::optional<int64_t> pos = video_position_ns(*v.pipeline);
                const std::optional<int64_t> shown = video_shown_frame_ns(*v.pipeline);
                if (!pos || !shown || want >= 29900)
                    continue;
                const double error = std::abs(double(*pos) / 1e6 - want);
                max_error = std::max(max_error, error);
                max_lag = std::max(max_lag, want - double(*shown) / 1e6);
                sum_error += error;
                ticks++;
            }
            played += double(g_get_monotonic_time() - started) / 1000;
        }
    }
    state.counters["max_error_frames"] = max_error / frame_ms;
    state.counters["mean_error_frames"] = ticks ? sum_error / ticks / frame_ms : 0;
    state.counters["max_shown_lag_frames"] = max_lag / frame_ms;
    state.counters["ticks"] = ticks;
}

// The slider of a window with the first swoop selected and four compared,
// and its range.
struct slider_range {
    GtkRange* slider;
    double lower, upper; // ms
};

slider_range selected_slider(const bench_window& w)
{
    w.select(files().along);
    GtkRange* slider = GTK_RANGE(w.ctx()->time_scale);
    GtkAdjustment* adjustment = gtk_range_get_adjustment(slider);
    return { slider, gtk_adjustment_get_lower(adjustment), gtk_adjustment_get_upper(adjustment) };
}

// Moves the slider to step of 100 as a drag does.
void drag_to(const slider_range& r, int step)
{
    gboolean handled = FALSE;
    const double v = r.lower + (r.upper - r.lower) * step / 100;
    g_signal_emit_by_name(r.slider, "change-value", GTK_SCROLL_JUMP, v, &handled);
    gtk_range_set_value(r.slider, v);
}

// A drag: 100 moves as fast as the program takes them (each handled before
// the next; the toolkit renders at its frame rate, the last position always).
void slider_drag_100_steps(benchmark::State& state)
{
    bench_window w(4, true);
    const slider_range r = selected_slider(w);
    uint64_t renders = 0;
    for (auto _ : state) {
        const uint64_t start = plot_page_renders();
        for (int step = 1; step <= 100; step++) {
            drag_to(r, step);
            while (g_main_context_pending(nullptr))
                g_main_context_iteration(nullptr, FALSE);
        }
        // The last position is on the page.
        const uint64_t before = plot_page_renders();
        spin_until([&] { return plot_page_renders() > before; });
        renders += plot_page_renders() - start;
    }
    state.counters["renders"] = benchmark::Counter(double(renders), benchmark::Counter::kAvgIterations);
}

// The same with every move rendered before the next: the worst a drag can
// ask, paced by the toolkit's frame clock (real time) and costing one
// render per move (CPU time).
void slider_drag_100_steps_each_rendered(benchmark::State& state)
{
    bench_window w(4, true);
    const slider_range r = selected_slider(w);
    for (auto _ : state) {
        for (int step = 1; step <= 100; step++) {
            const uint64_t before = plot_page_renders();
            drag_to(r, step);
            spin_until([&] { return plot_page_renders() > before; });
        }
    }
}

// --- the pointer over the plots -------------------------------------------------------

struct gdk_event_release {
    void operator()(GdkEvent* e) const { gdk_event_free(e); }
};
using gdk_event_ptr = std::unique_ptr<GdkEvent, gdk_event_release>;

// The bench window with the selected swoop's nine plots in view, and events
// made as the X server would deliver them to the page's drawing area.
struct pointer_page {
    bench_window w { 4, true };
    GtkWidget* area = nullptr;
    GdkFrameClock* clock = nullptr;
    int painted = 0;
    pointer_page()
    {
        w.select(files().along);
        GtkNotebook* nb = GTK_NOTEBOOK(w.ctx()->notebook);
        area = page_drawing_area(gtk_notebook_get_nth_page(nb, gtk_notebook_get_current_page(nb)));
        clock = gtk_widget_get_frame_clock(area);
        g_signal_connect(clock, "after-paint",
            G_CALLBACK(+[](GdkFrameClock*, gpointer n) { ++*static_cast<int*>(n); }), &painted);
    }
    ~pointer_page() { g_signal_handlers_disconnect_by_data(clock, &painted); }
    // A point of the dive-speed plot (the third of the set) as fractions of its area.
    std::pair<double, double> at(double fx, double fy) const
    {
        GtkNotebook* nb = GTK_NOTEBOOK(w.ctx()->notebook);
        const plot_layout l
            = *page_plot_layout(gtk_notebook_get_nth_page(nb, gtk_notebook_get_current_page(nb)), 2);
        return { l.area_left + fx * l.area_width, l.area_top + fy * l.area_height };
    }
    gdk_event_ptr event(GdkEventType type, double x, double y) const
    {
        gdk_event_ptr e(gdk_event_new(type));
        GdkWindow* window = gtk_widget_get_window(area);
        GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
        gdk_event_set_device(e.get(), pointer);
        if (type == GDK_MOTION_NOTIFY) {
            e->motion.window = GDK_WINDOW(g_object_ref(window));
            e->motion.x = x, e->motion.y = y;
        } else if (type == GDK_SCROLL) {
            e->scroll.window = GDK_WINDOW(g_object_ref(window));
            e->scroll.x = x, e->scroll.y = y;
        } else {
            e->button.window = GDK_WINDOW(g_object_ref(window));
            e->button.x = x, e->button.y = y;
            e->button.button = 1;
        }
        return e;
    }
    // Delivers an event and waits for the frame that paints what it changed.
    void deliver(const gdk_event_ptr& e)
    {
        const int before = painted;
        gtk_widget_event(area, e.get());
        spin_until([&] { return painted > before; });
    }
};

// The readout and the crosshair follow the pointer across the plot.
void hover_readout_per_move(benchmark::State& state)
{
    pointer_page p;
    int k = 0;
    for (auto _ : state) {
        const auto [x, y] = p.at(0.05 + 0.009 * (k++ % 100), 0.5);
        p.deliver(p.event(GDK_MOTION_NOTIFY, x, y));
    }
}

// One wheel step, in and out in turn, about the pointer: one plot rendered.
void zoom_step_one_plot(benchmark::State& state)
{
    pointer_page p;
    const auto [x, y] = p.at(0.4, 0.5);
    p.deliver(p.event(GDK_MOTION_NOTIFY, x, y));
    bool in = true;
    for (auto _ : state) {
        gdk_event_ptr e = p.event(GDK_SCROLL, x, y);
        e->scroll.direction = in ? GDK_SCROLL_UP : GDK_SCROLL_DOWN;
        in = !in;
        p.deliver(e);
    }
}

// A click on the plot: the player moves there once no double click can come
// (the wait for it is idle time) and the page renders with the markers.
void click_to_seek(benchmark::State& state)
{
    pointer_page p;
    GtkRange* slider = GTK_RANGE(p.w.ctx()->time_scale);
    int k = 0;
    for (auto _ : state) {
        const auto [x, y] = p.at(k++ % 2 ? 0.3 : 0.7, 0.5);
        const double before = gtk_range_get_value(slider);
        const uint64_t renders = plot_page_renders();
        gtk_widget_event(p.area, p.event(GDK_BUTTON_PRESS, x, y).get());
        gtk_widget_event(p.area, p.event(GDK_BUTTON_RELEASE, x, y).get());
        spin_until([&] { return gtk_range_get_value(slider) != before && plot_page_renders() > renders; });
    }
}

} // namespace

BENCHMARK(window_build_show_destroy)->Unit(benchmark::kMillisecond);
BENCHMARK(select_swoop_alone)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(select_swoop_with_10_compared)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(open_20_swoops)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(player_tick_with_4_compared)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(slider_drag_100_steps)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(slider_drag_100_steps_each_rendered)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(video_paused_seek)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(player_tick_playing_with_4_compared)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(player_tick_playing_with_4_compared_and_video)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(hover_readout_per_move)->Unit(benchmark::kMillisecond);
BENCHMARK(zoom_step_one_plot)->Unit(benchmark::kMillisecond);
BENCHMARK(click_to_seek)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(video_position_over_30s_playback)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    private_folders();
    benchmark::Initialize(&argc, argv);
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "skimra_gui_bench: no display (run it under scripts/with-display)\n");
        return 1;
    }
    resource_glib_register_resource();
    pref_store_use_folder((scratch + "/config").c_str());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
    return 0;
}
