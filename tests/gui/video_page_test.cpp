// SPDX-License-Identifier: GPL-3.0-or-later
// The video page: attaching a video by a drop, its page after the plot
// pages, the player driving it, its first place from the creation time.
#include <gtest/gtest.h>

#include "core/track/sample_time.h"
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
        return v && v->prerolled && !v->seek_busy && !v->next_seek;
    }
    void wait_settled() const { ASSERT_TRUE(spin_until([&] { return settled(); }, 20000)); }
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
