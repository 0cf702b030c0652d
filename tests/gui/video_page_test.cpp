// SPDX-License-Identifier: GPL-3.0-or-later
// The video page: attaching a video by a drop, its page after the plot
// pages, the player driving it, its first place from the creation time.
#include <gtest/gtest.h>

#include "core/track/sample_time.h"
#include "gui/plot_pages.h"
#include "gui/swoop_list.h"
#include "gui/video_page.h"
#include "gui/window.h"
#include "tests/gui/gui_files.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/test_support.h"

using namespace gui_test;

namespace {

using strings = std::vector<std::string>;

// "2019-07-14T17:00:05Z" for ms since the epoch (whole seconds).
std::string iso_utc(int64_t utc_ms)
{
    GDateTime* t = g_date_time_new_from_unix_utc(utc_ms / 1000);
    g_text text(g_date_time_format(t, "%Y-%m-%dT%H:%M:%SZ"));
    g_date_time_unref(t);
    return text.get();
}

// The window with the time scale on, the example gate and one swoop.
struct video_window {
    test_support::temp_dir dir;
    std::unique_ptr<app_window> w;
    explicit video_window(const std::string& settings = "enable_scale=true\nplots_per_page=1\n")
    {
        clear_settings();
        std::remove(video_sync_path().c_str());
        write_settings("[settings]\n" + settings);
        w = std::make_unique<app_window>();
        EXPECT_TRUE(gate_open_file(window(), example("gate-walk.csv").c_str()));
        swoops_open(window(), { copy_example(dir.path(), "swoop-270-right.csv", "jump.csv") });
    }
    GtkWidget* window() const { return w->window(); }
    window_context* ctx() const { return context_of(window()); }
    video_page_part& video() const { return *ctx()->video; }
    const swoop& selected() const { return *ctx()->model.selected; }
    // The UTC time of the selected swoop's entry-gate crossing.
    int64_t gate_utc_ms() const { return *sample_time_to_utc_ms(int64_t(selected().entry_gate_time)); }
    bool ready() const { return video().pipeline && video().pipeline->prerolled; }
    // Prerolled and every seek done.
    bool settled() const
    {
        const video_pipeline* v = video().pipeline.get();
        return v && v->prerolled && !v->seek_busy && !v->state_busy && !v->next_seek;
    }
    void wait_settled() const
    {
        ASSERT_TRUE(spin_until([&] { return settled(); }, 20000));
    }
    // The number of the frame shown (frame k covers k / 30 s to (k + 1) / 30 s).
    int64_t shown_frame() const
    {
        const std::optional<int64_t> ns = video_shown_frame_ns(*video().pipeline);
        return ns ? *ns * 30 / 1000000000 : -1;
    }
    int64_t shown_ms() const
    {
        const std::optional<int64_t> ns = video_shown_frame_ns(*video().pipeline);
        return ns ? *ns / 1000000 : -1;
    }
    void set_time(double ms) const { gtk_range_set_value(GTK_RANGE(ctx()->time_scale), ms); }
    std::string time_text() const { return gtk_label_get_text(GTK_LABEL(video().time_label)); }
};

// The frame shown lies within one frame (33.3 ms) of the slider's time plus the offset.
void expect_frame_at_slider(const video_window& w)
{
    const int64_t want = *w.ctx()->model.time + *video_offset(w.video());
    const int64_t shown = w.shown_ms();
    EXPECT_LE(shown, want) << "slider " << *w.ctx()->model.time;
    EXPECT_GT(shown + 34, want) << "slider " << *w.ctx()->model.time;
}

// The pointer moved over a fraction of the widget's width and its first
// button pressed or released through the X server's test input (events as a
// hand makes them; no helper program, whose start from a large process can
// take seconds while the player runs). Returns once the widget has seen it.
void pointer_button(GtkWidget* widget, double fraction, bool press)
{
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    gui_test::pointer_button(widget, int(a.width * fraction), a.height / 2, press);
}

void send_button(GtkWidget* widget, double fraction, GdkEventType type)
{
    pointer_button(widget, fraction, type == GDK_BUTTON_PRESS);
}

// A real click on a button; returns once the button has taken it.
void click(GtkWidget* button)
{
    int clicked = 0;
    const gulong id = g_signal_connect(
        button, "clicked", G_CALLBACK(+[](GtkButton*, gpointer n) { ++*static_cast<int*>(n); }), &clicked);
    pointer_button(button, 0.5, true);
    pointer_button(button, 0.5, false);
    EXPECT_TRUE(spin_until([&] { return clicked > 0; }, 5000));
    g_signal_handler_disconnect(button, id);
}

GtkWidget* play_button(window_context* ctx)
{
    return find_widget(gtk_widget_get_parent(ctx->time_scale), [](GtkWidget* w) { return GTK_IS_BUTTON(w); });
}

// The names of this process's threads.
strings thread_names()
{
    strings names;
    g_autoptr(GDir) dir = g_dir_open("/proc/self/task", 0, nullptr);
    while (const char* task = dir ? g_dir_read_name(dir) : nullptr) {
        gchar* text = nullptr; // a thread may end between the listing and the reading
        if (g_file_get_contents(
                (std::string("/proc/self/task/") + task + "/comm").c_str(), &text, nullptr, nullptr))
            names.emplace_back(text);
        g_free(text);
    }
    return names;
}

// GStreamer's streaming threads are named after their element and pad.
int streaming_threads()
{
    int n = 0;
    for (const std::string& name : thread_names())
        if (name.find(':') != std::string::npos)
            n++;
    return n;
}

} // namespace

TEST(video_page, a_dropped_video_is_placed_by_its_creation_time_and_follows_the_slider)
{
    video_window w;
    // The camera started 3 s before the entry-gate crossing.
    const int64_t gate = w.gate_utc_ms();
    const std::string video
        = make_test_video(w.dir.path(), "helmet.WebM", { 20, 320, 240, iso_utc(gate - 3000) });
    dialog_answerer answer;
    drop_files(w.window(), { video });
    ASSERT_TRUE(spin_until([&] { return w.ready(); }, 20000));
    EXPECT_TRUE(answer.seen().empty());
    EXPECT_EQ(tab_labels(w.ctx()->notebook).back(), "video");
    EXPECT_EQ(current_tab(w.ctx()->notebook), "video");
    // Whole seconds of the creation time: the gate is 3 s (and the ms the
    // crossing has) into the video.
    EXPECT_EQ(*video_offset(w.video()), 3000 + gate % 1000);
    w.wait_settled();
    for (double t : { -2000.0, 0.0, 1234.0, 4321.0, -517.0 }) {
        w.set_time(t);
        w.wait_settled();
        expect_frame_at_slider(w);
    }
    EXPECT_NE(w.time_text().find("video "), std::string::npos) << w.time_text();
    screenshot(w.window(), "video_page_1370x980");
}

TEST(video_page, in_another_time_zone_the_creation_time_places_the_video_the_same)
{
    if (!in_child()) {
        EXPECT_TRUE(run_test_in_child({ "TZ=Europe/Amsterdam" }));
        return;
    }
    // The logger's UTC readings were taken as Amsterdam time (UTC+2 in
    // July); the swoop's times are turned back into UTC before comparing.
    video_window w;
    const int64_t gate = w.gate_utc_ms();
    EXPECT_EQ(gate, int64_t(w.selected().entry_gate_time) + 2 * 3600 * 1000);
    drop_files(
        w.window(), { make_test_video(w.dir.path(), "a.mp4.webm", { 20, 320, 240, iso_utc(gate - 3000) }) });
    ASSERT_TRUE(spin_until([&] { return w.ready(); }, 20000));
    EXPECT_EQ(*video_offset(w.video()), 3000 + gate % 1000);
    EXPECT_EQ(gtk_label_get_text(GTK_LABEL(w.video().note_label)),
        std::string("placed by the video's creation time"));
}

TEST(video_page, a_camera_clock_on_local_time_is_shifted_by_whole_hours_and_said_so)
{
    struct {
        int64_t creation_from_gate_ms;
        int64_t offset; // expected, without the crossing's ms
        const char* note;
    } cases[] = {
        { 2 * 3600 * 1000 - 3000, 3000,
            "placed by the video's creation time shifted by -2 h: the camera wrote its local time as UTC" },
        { -5 * 3600 * 1000 - 3000, 3000,
            "placed by the video's creation time shifted by +5 h: the camera wrote its local time as UTC" },
        { 400LL * 24 * 3600 * 1000, 0,
            "no creation time inside the jump: the video starts at the entry-gate crossing" },
    };
    video_window w;
    const int64_t gate = w.gate_utc_ms();
    int n = 0;
    for (const auto& c : cases) {
        const std::string video = make_test_video(w.dir.path(), "v" + std::to_string(n++) + ".mkv",
            { 4, 320, 240, iso_utc(gate + c.creation_from_gate_ms) });
        drop_files(w.window(), { video });
        ASSERT_TRUE(spin_until([&] { return w.ready() && w.video().pipeline->path == video; }, 20000));
        EXPECT_EQ(*video_offset(w.video()), c.offset == 0 ? 0 : c.offset + gate % 1000) << c.note;
        EXPECT_EQ(gtk_label_get_text(GTK_LABEL(w.video().note_label)), std::string(c.note));
    }
}

TEST(video_page, playing_plays_both_a_drag_seeks_key_frames_and_the_end_stops_both)
{
    video_window w;
    const int64_t gate = w.gate_utc_ms();
    drop_files(
        w.window(), { make_test_video(w.dir.path(), "v.webm", { 30, 320, 240, iso_utc(gate - 3000) }) });
    ASSERT_TRUE(spin_until([&] { return w.ready(); }, 20000));
    w.wait_settled();
    window_context* ctx = w.ctx();
    const int64_t offset = *video_offset(w.video());

    // Play: both run, the video within two frames of the slider. A slow
    // build (the sanitizers) ticks seldom: the ticks checked end well before
    // the end of the range, so that the pause below comes first.
    const double upper = gtk_adjustment_get_upper(gtk_range_get_adjustment(GTK_RANGE(ctx->time_scale)));
    w.set_time(-2500);
    w.wait_settled();
    click(play_button(ctx));
    ASSERT_TRUE(ctx->model.playing);
    for (int tick = 0; tick < 10 && (tick < 2 || *ctx->model.time < upper - 8000); tick++) {
        const double before = *ctx->model.time;
        ASSERT_TRUE(spin_until([&] { return *ctx->model.time > before; }, 2000));
        const std::optional<int64_t> pos = video_position_ns(*w.video().pipeline);
        ASSERT_TRUE(pos);
        EXPECT_NEAR(double(*pos) / 1e6, *ctx->model.time + offset, 67) << "tick " << tick;
    }
    EXPECT_TRUE(w.video().pipeline->playing);
    click(play_button(ctx));
    EXPECT_FALSE(ctx->model.playing);
    EXPECT_FALSE(w.video().pipeline->playing);
    w.wait_settled();
    expect_frame_at_slider(w);

    // A press on the slider jumps it and starts a drag: key frames only
    // (one a second), then the exact frame when it ends.
    send_button(ctx->time_scale, 0.4, GDK_BUTTON_PRESS);
    ASSERT_TRUE(ctx->model.dragging);
    w.wait_settled();
    EXPECT_TRUE(w.shown_ms() % 1000 == 0) << w.shown_ms();
    send_button(ctx->time_scale, 0.4, GDK_BUTTON_RELEASE);
    EXPECT_FALSE(ctx->model.dragging);
    w.wait_settled();
    expect_frame_at_slider(w);
    const int64_t target = *ctx->model.time + offset;
    if (target % 1000 > 40) { // not on a key frame: the drag's frame was another one
        EXPECT_NE(w.shown_ms() % 1000, 0);
    }

    // The end of the range stops both.
    w.set_time(upper - 500);
    w.wait_settled();
    click(play_button(ctx));
    ASSERT_TRUE(spin_until([&] { return !ctx->model.playing; }, 5000));
    EXPECT_EQ(*ctx->model.time, int32_t(upper));
    EXPECT_FALSE(w.video().pipeline->playing);
    w.wait_settled();
    expect_frame_at_slider(w);
    screenshot(w.window(), "video_page_played_to_the_end");
}

TEST(video_page, the_page_stays_after_the_plot_pages_and_out_of_their_mapping)
{
    video_window w("enable_scale=true\nplots_per_page=1\n");
    window_context* ctx = w.ctx();
    GtkNotebook* nb = GTK_NOTEBOOK(ctx->notebook);
    auto layout = [&](const char* label) {
        gtk_menu_item_activate(GTK_MENU_ITEM(find_menu_item(menu_bar_of(w.window()), label)));
        flush();
    };
    drop_files(w.window(), { make_test_video(w.dir.path(), "v.avi.webm", { 4, 320, 240, "" }) });
    ASSERT_TRUE(spin_until([&] { return w.ready(); }, 20000));
    EXPECT_EQ(tab_labels(ctx->notebook),
        (strings { "metrics", "overhead", "side", "dive speed", "swoop speed", "dive angle", "accuracy",
            "turn rate", "heading", "video" }));
    // In view, it stays in view across layouts.
    layout("_2x2 plots");
    EXPECT_EQ(tab_labels(ctx->notebook), (strings { "metrics", "plots 1", "plots 2", "video" }));
    EXPECT_EQ(current_tab(ctx->notebook), "video");
    layout("_3x3 plots");
    EXPECT_EQ(tab_labels(ctx->notebook), (strings { "metrics", "plots", "video" }));
    EXPECT_EQ(current_tab(ctx->notebook), "video");
    // The plots' own mapping as without it: "turn rate" -> "plots 2" -> "turn rate".
    layout("_1x1 plots");
    gtk_notebook_set_current_page(nb, 7);
    ASSERT_EQ(current_tab(ctx->notebook), "turn rate");
    layout("_2x2 plots");
    EXPECT_EQ(current_tab(ctx->notebook), "plots 2");
    layout("_1x1 plots");
    EXPECT_EQ(current_tab(ctx->notebook), "turn rate");
    EXPECT_EQ(tab_labels(ctx->notebook).back(), "video");
    // Redrawing the plots leaves the page alone; the page goes with the
    // selection of a swoop without a video and comes back with its own.
    gtk_notebook_set_current_page(nb, -1);
    ASSERT_EQ(current_tab(ctx->notebook), "video");
    wait_for_frame(w.window());
    int allocated = 0;
    const gulong id = g_signal_connect(w.video().page, "size-allocate",
        G_CALLBACK(+[](GtkWidget*, GdkRectangle*, gpointer n) { ++*static_cast<int*>(n); }), &allocated);
    pages_redraw(w.window());
    wait_for_frame(w.window());
    EXPECT_EQ(allocated, 0);
    g_signal_handler_disconnect(w.video().page, id);
    swoops_open(w.window(), { copy_example(w.dir.path(), "swoop-450-left.csv", "other.csv") });
    ASSERT_EQ(selected_name(w.window()), "other.csv");
    EXPECT_EQ(tab_labels(ctx->notebook).back(), "heading");
    EXPECT_EQ(w.video().pipeline, nullptr);
    gtk_list_box_select_row(GTK_LIST_BOX(ctx->swoop_list), GTK_LIST_BOX_ROW(swoop_rows(w.window())[0]));
    EXPECT_EQ(tab_labels(ctx->notebook).back(), "video");
    ASSERT_TRUE(spin_until([&] { return w.ready(); }, 20000));
}

TEST(video_page, sync_here_and_the_nudges_move_the_video_and_are_stored_for_the_next_opening)
{
    video_window w;
    window_context* ctx = w.ctx();
    // No creation time inside the jump: the video starts at the gate.
    const std::string video
        = make_test_video(w.dir.path(), "v.MOV.webm", { 20, 320, 240, "2001-01-01T00:00:00Z" });
    drop_files(w.window(), { video });
    ASSERT_TRUE(spin_until([&] { return w.ready(); }, 20000));
    EXPECT_EQ(*video_offset(w.video()), 0);
    w.set_time(2000);
    w.wait_settled();
    expect_frame_at_slider(w);
    EXPECT_EQ(w.shown_ms(), 2000);
    EXPECT_EQ(w.time_text(), "offset +0.000 s, video 2.000 s");

    // Frames and seconds either way, each shown at once.
    struct {
        int button; // -1 s, -1 frame, +1 frame, +1 s
        int64_t frame; // the frame then shown
    } steps[] = { { 2, 61 }, { 2, 62 }, { 1, 61 }, { 3, 91 }, { 0, 61 }, { 1, 60 } };
    for (const auto& step : steps) {
        click(w.video().nudge_buttons[step.button]);
        w.wait_settled();
        EXPECT_EQ(w.shown_frame(), step.frame) << "button " << step.button;
        expect_frame_at_slider(w);
    }

    // Sync here: the frame shown is the slider's moment, wherever the slider goes.
    click(w.video().nudge_buttons[3]); // the video 1 s on
    w.wait_settled();
    w.set_time(-1500);
    w.wait_settled();
    const int64_t shown = w.shown_frame();
    click(w.video().sync_button);
    w.wait_settled();
    EXPECT_EQ(w.shown_frame(), shown);
    expect_frame_at_slider(w);
    const int64_t offset = *video_offset(w.video());
    // At the middle of the frame shown: video time = slider time + offset.
    EXPECT_EQ(offset, (shown * 1000 + 500) / 30 + 1500);
    EXPECT_EQ(gtk_label_get_text(GTK_LABEL(w.video().note_label)), std::string("synchronised by hand"));

    // The store keeps the pair: closing and opening the swoop again brings
    // the video back at the same place.
    const std::string stored = test_support::read_file(video_sync_path());
    EXPECT_NE(stored.find("swoop=file://"), std::string::npos) << stored;
    EXPECT_NE(stored.find("video=file://"), std::string::npos) << stored;
    const std::string swoop_path = w.selected().file;
    swoop_row_close(w.window(), selected_row(w.window()));
    EXPECT_EQ(w.video().pipeline, nullptr);
    EXPECT_EQ(tab_labels(ctx->notebook).back(), "heading");
    dialog_answerer answer;
    swoops_open(w.window(), { swoop_path });
    ASSERT_TRUE(spin_until([&] { return w.ready(); }, 20000));
    EXPECT_EQ(*video_offset(w.video()), offset);
    EXPECT_EQ(tab_labels(ctx->notebook).back(), "video");

    // Without the video file, it is silently not attached.
    swoop_row_close(w.window(), selected_row(w.window()));
    std::remove(video.c_str());
    swoops_open(w.window(), { swoop_path });
    flush();
    EXPECT_EQ(w.video().pipeline, nullptr);
    EXPECT_EQ(tab_labels(ctx->notebook).back(), "heading");
    EXPECT_TRUE(answer.seen().empty());
}

TEST(video_page, files_it_cannot_play_get_the_error_dialog_and_a_removed_video_closes_its_page)
{
    video_window w;
    window_context* ctx = w.ctx();
    dialog_answerer answer;
    const std::string garbage = w.dir.file("garbage.MP4");
    std::string bytes;
    for (int i = 0; i < 100000; i++)
        bytes += char((i * 7919) % 251);
    test_support::write_file(garbage, bytes);
    drop_files(w.window(), { garbage });
    ASSERT_TRUE(spin_until([&] { return !answer.seen().empty(); }, 20000));
    EXPECT_EQ(answer.seen()[0].text.rfind("cannot play " + garbage + ": ", 0), 0u) << answer.seen()[0].text;
    EXPECT_EQ(tab_labels(ctx->notebook).back(), "heading");
    EXPECT_EQ(w.video().pipeline, nullptr);

    // A truncated file: what can be played is, and nothing breaks.
    const std::string whole = make_test_video(w.dir.path(), "whole.webm", { 20, 320, 240, "" });
    const std::string cut = w.dir.file("cut.webm");
    const std::string data = test_support::read_file(whole);
    test_support::write_file(cut, data.substr(0, data.size() / 3));
    drop_files(w.window(), { cut });
    ASSERT_TRUE(spin_until([&] { return w.ready() || answer.seen().size() > 1; }, 20000));
    for (double t : { 0.0, 3000.0, 9000.0 }) {
        w.set_time(t);
        spin_until([&] { return !w.video().pipeline || w.settled(); }, 5000);
    }

    // A video removed while attached closes its page and says so.
    const std::string video = make_test_video(w.dir.path(), "going.webm", { 4, 320, 240, "" });
    drop_files(w.window(), { video });
    ASSERT_TRUE(spin_until([&] { return w.ready() && w.video().pipeline->path == video; }, 20000));
    const size_t seen = answer.seen().size();
    std::remove(video.c_str());
    ASSERT_TRUE(spin_until([&] { return answer.seen().size() > seen; }, 10000));
    EXPECT_EQ(answer.seen().back().text, "the video " + video + " was removed; its page is closed");
    EXPECT_EQ(tab_labels(ctx->notebook).back(), "heading");

    // Without a selected swoop there is nothing to attach to.
    swoop_row_close(w.window(), selected_row(w.window()));
    drop_files(w.window(), { garbage });
    EXPECT_EQ(answer.seen().back().text,
        "no swoop is selected to attach the video " + garbage + " to; open the swoop first");
}

TEST(video_page, a_missing_decoder_is_named_with_the_package_that_has_most_camera_codecs)
{
    if (!in_child()) {
        // Both of the VP8 decoders taken out of the automatic choice.
        EXPECT_TRUE(run_test_in_child({ "GST_PLUGIN_FEATURE_RANK=vp8dec:NONE,avdec_vp8:NONE" }));
        return;
    }
    video_window w;
    dialog_answerer answer;
    const std::string video = make_test_video(w.dir.path(), "v.webm", { 2, 320, 240, "" });
    drop_files(w.window(), { video });
    ASSERT_TRUE(spin_until([&] { return !answer.seen().empty(); }, 20000));
    EXPECT_EQ(answer.seen()[0].text,
        "cannot play " + video
            + ": no VP8 decoder is installed (gstreamer1.0-libav provides most camera codecs)");
    EXPECT_EQ(tab_labels(w.ctx()->notebook).back(), "heading");
}

TEST(video_page, closing_the_swoop_or_the_window_leaves_no_streaming_thread)
{
    video_window w;
    const std::string video = make_test_video(w.dir.path(), "v.webm", { 4, 320, 240, "" });
    drop_files(w.window(), { video });
    ASSERT_TRUE(spin_until([&] { return w.ready(); }, 20000));
    click(play_button(w.ctx()));
    spin_until([] { return false; }, 300);
    EXPECT_GT(streaming_threads(), 0);
    swoop_row_close(w.window(), selected_row(w.window()));
    // Joined at once; their pool's idle threads (which keep their last
    // names) go as soon as they wake.
    EXPECT_TRUE(spin_until([] { return streaming_threads() == 0; }, 5000)) << streaming_threads();

    const std::string swoop = copy_example(w.dir.path(), "swoop-450-left.csv", "again.csv");
    swoops_open(w.window(), { swoop });
    drop_files(w.window(), { video });
    ASSERT_TRUE(spin_until([&] { return w.ready(); }, 20000));
    click(play_button(w.ctx()));
    spin_until([] { return false; }, 300);
    EXPECT_GT(streaming_threads(), 0);
    w.w->close();
    EXPECT_TRUE(spin_until([] { return streaming_threads() == 0; }, 5000)) << streaming_threads();
}

TEST(video_page, screenshots_at_both_window_sizes)
{
    for (const char* size : { "1370x980", "994x690" }) {
        const std::string s = size;
        const std::string width = s.substr(0, s.find('x')), height = s.substr(s.find('x') + 1);
        video_window w("enable_scale=true\nplots_per_page=9\nwindow_width=" + width
            + "\nwindow_height=" + height + "\n");
        drop_files(w.window(),
            { make_test_video(w.dir.path(), "v.webm",
                { 20, 1280, 720, iso_utc(w.gate_utc_ms() + 2 * 3600 * 1000 - 3000) }) });
        ASSERT_TRUE(spin_until([&] { return w.ready(); }, 20000));
        w.set_time(1500);
        w.wait_settled();
        screenshot(w.window(), "video_page_" + s);
    }
}

TEST(video_sync, video_files_by_extension_in_any_case)
{
    for (const char* yes : { "a.mp4", "B.MOV", "c.MkV", "/x/y.webm", "clip.AVI", "a.b.mp4" })
        EXPECT_TRUE(is_video_file(yes)) << yes;
    for (const char* no : { "a.csv", "mp4", "a.mp4.csv", "/x.mp4/y", "a.mp", "a.mpeg", "" })
        EXPECT_FALSE(is_video_file(no)) << no;
}

TEST(video_sync, the_store_keeps_each_pair_and_gives_a_swoop_its_last_video)
{
    std::remove(video_sync_path().c_str());
    EXPECT_FALSE(video_sync_find("/logs/a.csv", 100));
    std::string err;
    ASSERT_TRUE(video_sync_store("/logs/a.csv", 100, "/videos/one.mp4", 1234, &err)) << err;
    ASSERT_TRUE(video_sync_store("/logs/a.csv", 100, "/videos/two [x].mp4", -500, &err)) << err;
    ASSERT_TRUE(video_sync_store("/logs/b.csv", 100, "/videos/one.mp4", 77, &err)) << err;
    std::optional<stored_video> a = video_sync_find("/logs/a.csv", 100);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->video, "/videos/two [x].mp4");
    EXPECT_EQ(a->start_ms, -500);
    // The first pair again: kept, and now the last.
    ASSERT_TRUE(video_sync_store("/logs/a.csv", 100, "/videos/one.mp4", 1300, &err)) << err;
    a = video_sync_find("/logs/a.csv", 100);
    EXPECT_EQ(a->video, "/videos/one.mp4");
    EXPECT_EQ(a->start_ms, 1300);
    EXPECT_EQ(video_sync_find("/logs/b.csv", 100)->start_ms, 77);
    // Another size is another swoop file.
    EXPECT_FALSE(video_sync_find("/logs/a.csv", 101));
    // A store it cannot write says why.
    test_support::write_file(video_sync_path(), "[pair\n"); // an unreadable file is an empty store
    EXPECT_FALSE(video_sync_find("/logs/a.csv", 100));
    EXPECT_TRUE(video_sync_store("/logs/a.csv", 100, "/videos/one.mp4", 1, &err));
    std::remove(video_sync_path().c_str());
}
