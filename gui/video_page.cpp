// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/video_page.h"

#include <glib/gstdio.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "gui/dialogs.h"
#include "gui/gtk_helpers.h"

namespace {

constexpr int64_t ns_per_ms = 1000000;

video_page_part& part_of(gpointer data)
{
    return *static_cast<video_page_part*>(data);
}

video_attachment* selected_video(video_page_part& p)
{
    auto it = p.videos.find(p.model.selected);
    return it == p.videos.end() ? nullptr : &it->second;
}

// The page comes after the last page of the notebook (the plot pages keep
// theirs ahead of it).
void page_show(video_page_part& p, bool make_current)
{
    GtkNotebook* notebook = GTK_NOTEBOOK(p.notebook);
    int index = gtk_notebook_page_num(notebook, p.page);
    if (index < 0) {
        gtk_widget_show_all(p.page);
        index = gtk_notebook_append_page(notebook, p.page, gtk_label_new("video"));
    }
    if (make_current)
        gtk_notebook_set_current_page(notebook, index);
}

void page_hide(video_page_part& p)
{
    GtkNotebook* notebook = GTK_NOTEBOOK(p.notebook);
    const int index = gtk_notebook_page_num(notebook, p.page);
    if (index >= 0)
        gtk_notebook_remove_page(notebook, index); // the part still holds the page
}

std::string seconds_text(int64_t ms)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.3f s", double(ms) / 1000);
    return text;
}

void controls_update(video_page_part& p)
{
    const bool usable = p.pipeline && p.pipeline->prerolled && p.model.time;
    gtk_widget_set_sensitive(p.sync_button, usable);
    for (GtkWidget* b : p.nudge_buttons)
        gtk_widget_set_sensitive(b, p.pipeline && p.pipeline->prerolled);
}

// "offset +2.345 s, video 12.345 s": the offset, and the video's own time
// of the slider's (GStreamer's position while it plays).
void label_update(video_page_part& p)
{
    const std::optional<int64_t> offset = video_offset(p);
    std::string text;
    if (offset) {
        char head[64];
        std::snprintf(head, sizeof head, "offset %+.3f s", double(*offset) / 1000);
        text = head;
    }
    const std::optional<int64_t> target = video_target_ms(p);
    if (target) {
        int64_t shown = *target;
        const video_pipeline* v = p.pipeline.get();
        const int64_t end_ms = v && v->duration_ns > 0 ? v->duration_ns / ns_per_ms : -1;
        if (v && !v->seek_busy && !v->state_busy && !v->next_seek && *target >= 0
            && (end_ms < 0 || *target < end_ms)) {
            // Playing: where GStreamer is; paused: the frame shown.
            const std::optional<int64_t> now = v->playing ? video_position_ns(*v) : video_shown_frame_ns(*v);
            if (now)
                shown = *now / ns_per_ms;
        }
        text += ", video " + seconds_text(shown);
        if (*target < 0)
            text += " (before it starts)";
        else if (end_ms >= 0 && *target >= end_ms)
            text += " (after it ends)";
    }
    gtk_label_set_text(GTK_LABEL(p.time_label), text.c_str());
}

// Stores the selected swoop's video start (a failure is said once per try).
void store_start(video_page_part& p)
{
    const swoop* s = p.model.selected;
    const video_attachment* a = selected_video(p);
    if (!s || !a)
        return;
    const std::string swoop_path = absolute_path(s->file);
    const std::optional<int64_t> size = file_size(swoop_path);
    if (!size)
        return; // the swoop file has gone: there is nothing to key the pair by
    std::string err;
    if (!video_sync_store(swoop_path, *size, a->path, a->start_ms, &err))
        show_error(
            p.window, "cannot store the video's place in %s: %s", video_sync_path().c_str(), err.c_str());
}

void sync(video_page_part& p, bool force = false);

gboolean on_start_timer(gpointer data)
{
    video_page_part& p = part_of(data);
    p.start_timer.release(); // this source ends with the FALSE below
    sync(p);
    return G_SOURCE_REMOVE;
}

// The video follows the model's time and the player's state.
void sync(video_page_part& p, bool force)
{
    video_pipeline* v = p.pipeline.get();
    p.start_timer.reset();
    if (!v || !v->prerolled || p.model.closing) {
        label_update(p);
        return;
    }
    const std::optional<int64_t> target = video_target_ms(p);
    if (!target) {
        video_set_playing(*v, false); // no time scale: the frame stays
        label_update(p);
        controls_update(p);
        return;
    }
    const int64_t frame = video_frame_ns(*v);
    const int64_t want = *target * ns_per_ms;
    const int64_t end = v->duration_ns;
    const int64_t last = end > 0 ? std::max<int64_t>(0, end - frame) : want;
    const int64_t clamped = std::clamp<int64_t>(want, 0, std::max<int64_t>(0, last));
    auto seek_unless_there = [&](bool accurate) {
        if (force || v->target_ns != clamped || (accurate && !v->target_accurate))
            video_seek(*v, clamped, accurate);
    };
    if (p.model.playing && !p.model.dragging) {
        if (want < 0) {
            // Before the video's first frame: it waits there and starts on time.
            video_set_playing(*v, false);
            seek_unless_there(true);
            const guint wait_ms = guint(std::ceil(double(-want) / ns_per_ms));
            p.start_timer = source_id(g_timeout_add(wait_ms, on_start_timer, &p));
        } else if (end > 0 && want >= end) {
            video_set_playing(*v, false); // past its end: its last frame stays
            seek_unless_there(true);
        } else if (!v->playing) {
            seek_unless_there(true);
            video_set_playing(*v, true);
        } else if (!v->seek_busy && !v->state_busy) {
            // Both run on the monotonic clock; a hand on the slider or a late
            // start puts them apart, and then the video jumps to the slider.
            const std::optional<int64_t> now = video_position_ns(*v);
            if (force || (now && std::llabs(*now - want) > 2 * frame))
                video_seek(*v, want, true);
        }
    } else {
        video_set_playing(*v, false);
        seek_unless_there(!p.model.dragging);
    }
    label_update(p);
    controls_update(p);
}

void close_page(video_page_part& p)
{
    video_release(p);
    page_hide(p);
}

// The video file went away: its page closes and says so.
void on_video_removed(video_page_part& p, const std::string& path)
{
    p.videos.erase(p.model.selected);
    close_page(p);
    show_error(p.window, "the video %s was removed; its page is closed", path.c_str());
}

void on_monitor_changed(GFileMonitor*, GFile*, GFile*, GFileMonitorEvent event, gpointer data)
{
    video_page_part& p = part_of(data);
    if (p.model.closing || !p.pipeline)
        return;
    if (event != G_FILE_MONITOR_EVENT_DELETED && event != G_FILE_MONITOR_EVENT_MOVED_OUT
        && event != G_FILE_MONITOR_EVENT_RENAMED)
        return;
    const std::string path = p.pipeline->path;
    if (!g_file_test(path.c_str(), G_FILE_TEST_EXISTS))
        on_video_removed(p, path);
}

void on_ready(video_page_part& p)
{
    video_attachment* a = selected_video(p);
    if (!a || !p.pipeline)
        return;
    if (!a->placed) {
        const video_start start = video_first_start(*p.model.selected, p.pipeline->creation_utc_ms);
        a->start_ms = start.start_ms;
        a->note = video_start_note(start);
        a->placed = true;
        store_start(p);
    }
    gtk_label_set_text(GTK_LABEL(p.note_label), a->note.c_str());
    sync(p, true);
}

void on_failed(video_page_part& p, const std::string& reason)
{
    const std::string path = p.pipeline ? p.pipeline->path : "";
    p.videos.erase(p.model.selected);
    close_page(p);
    show_error(p.window, "cannot play %s: %s", path.c_str(), reason.c_str());
}

// The selected swoop's video gets the pipeline (none without one).
void open_selected(video_page_part& p, bool make_current)
{
    video_release(p);
    const video_attachment* a = selected_video(p);
    if (!a) {
        page_hide(p);
        return;
    }
    const std::string path = a->path;
    if (!g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) {
        on_video_removed(p, path);
        return;
    }
    video_page_part* part = &p;
    video_events events;
    events.ready = [part] { on_ready(*part); };
    events.seeked = [part] {
        label_update(*part);
        // The frame of a seek is the sink's from now on: painted at once.
        if (part->pipeline && part->pipeline->widget)
            gtk_widget_queue_draw(part->pipeline->widget);
    };
    events.failed = [part](const std::string& reason) { on_failed(*part, reason); };
    page_show(p, make_current); // the picture's box is in the window before the sink starts
    std::string err;
    p.pipeline = video_pipeline_open(path, p.picture, std::move(events), &err);
    if (!p.pipeline) {
        p.videos.erase(p.model.selected);
        page_hide(p);
        show_error(p.window, "cannot play %s: %s", path.c_str(), err.c_str());
        return;
    }
    p.pipeline_swoop = p.model.selected;
    atk_object_set_name(gtk_widget_get_accessible(p.pipeline->widget), "video picture");
    gtk_drag_dest_unset(p.pipeline->widget); // a drop here reaches the window
    gobject_ptr<GFile> file(g_file_new_for_path(path.c_str()));
    p.monitor.reset(g_file_monitor_file(file.get(), G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr));
    if (p.monitor)
        g_signal_connect(p.monitor.get(), "changed", G_CALLBACK(on_monitor_changed), &p);
    gtk_label_set_text(GTK_LABEL(p.note_label), a->note.c_str());
    label_update(p);
    controls_update(p);
}

// A swoop opened again gets the video it had, when it is still there.
void restore(video_page_part& p, const swoop& s)
{
    const std::string swoop_path = absolute_path(s.file);
    const std::optional<int64_t> size = file_size(swoop_path);
    if (!size)
        return;
    const std::optional<stored_video> stored = video_sync_find(swoop_path, *size);
    if (!stored || !g_file_test(stored->video.c_str(), G_FILE_TEST_IS_REGULAR))
        return;
    video_attachment a;
    a.path = stored->video;
    a.start_ms = stored->start_ms;
    a.placed = true;
    a.note = "placed where it was synchronised last";
    p.videos[&s] = a;
}

void on_rows_changed(video_page_part& p, const model_event& e)
{
    if (e.added) {
        restore(p, *e.changed);
        return;
    }
    p.videos.erase(e.changed);
    if (p.pipeline_swoop == e.changed)
        close_page(p);
}

void on_selection_changed(video_page_part& p)
{
    if (p.pipeline && p.pipeline_swoop == p.model.selected) {
        sync(p, true); // analysed again: the slider's origin may have moved
        return;
    }
    open_selected(p, false);
}

void on_window_destroy(GtkWidget*, gpointer data)
{
    video_release(part_of(data));
}

void on_sync_clicked(GtkButton*, gpointer data)
{
    video_sync_here(part_of(data));
}

void on_nudge_clicked(GtkButton* button, gpointer data)
{
    video_page_part& p = part_of(data);
    const int frames[4] = { 0, -1, 1, 0 };
    const int seconds[4] = { -1, 0, 0, 1 };
    for (int i = 0; i < 4; i++)
        if (GTK_WIDGET(button) == p.nudge_buttons[i])
            video_nudge(p, frames[i], seconds[i]);
}

GtkWidget* control_button(const char* label, const char* name)
{
    GtkWidget* button = gtk_button_new_with_label(label);
    g_object_set(button, "can-focus", FALSE, nullptr);
    atk_object_set_name(gtk_widget_get_accessible(button), name);
    return button;
}

} // namespace

video_page_part::~video_page_part()
{
    video_release(*this);
    for (int id : listeners)
        model_unlisten(model, id);
    if (page) {
        gtk_widget_destroy(page);
        g_object_unref(page);
    }
}

std::unique_ptr<video_page_part> video_page_new(window_model& m, GtkWidget* window, GtkWidget* notebook)
{
    auto p = std::make_unique<video_page_part>(m, window, notebook);
    video_page_part* part = p.get();

    p->picture = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    g_object_set(p->picture, "expand", TRUE, nullptr);
    apply_css(p->picture, "* { background-color: black; }");

    GtkWidget* controls = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 5);
    p->sync_button = control_button("Sync here", "sync here");
    gtk_widget_set_tooltip_text(p->sync_button, "the frame shown now is the moment the slider shows");
    gtk_box_pack_start(GTK_BOX(controls), p->sync_button, FALSE, FALSE, 0);
    const char* labels[4] = { "\u22121 s", "\u22121 frame", "+1 frame", "+1 s" };
    const char* names[4] = { "back 1 s", "back 1 frame", "on 1 frame", "on 1 s" };
    for (int i = 0; i < 4; i++) {
        p->nudge_buttons[i] = control_button(labels[i], names[i]);
        gtk_box_pack_start(GTK_BOX(controls), p->nudge_buttons[i], FALSE, FALSE, 0);
        g_signal_connect(p->nudge_buttons[i], "clicked", G_CALLBACK(on_nudge_clicked), part);
    }
    g_signal_connect(p->sync_button, "clicked", G_CALLBACK(on_sync_clicked), part);
    p->time_label = gtk_label_new("");
    atk_object_set_name(gtk_widget_get_accessible(p->time_label), "video time");
    gtk_label_set_xalign(GTK_LABEL(p->time_label), 1);
    apply_css(p->time_label, "* { font-family: Monospace; }");
    gtk_box_pack_end(GTK_BOX(controls), p->time_label, TRUE, TRUE, 0);

    p->note_label = gtk_label_new("");
    atk_object_set_name(gtk_widget_get_accessible(p->note_label), "video placement");
    gtk_label_set_xalign(GTK_LABEL(p->note_label), 0);
    gtk_label_set_ellipsize(GTK_LABEL(p->note_label), PANGO_ELLIPSIZE_END);

    p->page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 5);
    gtk_container_set_border_width(GTK_CONTAINER(p->page), 10);
    gtk_box_pack_start(GTK_BOX(p->page), p->picture, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(p->page), controls, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(p->page), p->note_label, FALSE, FALSE, 0);
    g_object_ref_sink(p->page); // the part's: the page leaves the notebook and comes back

    m.commands.attach_video = [part](std::string path) { video_attach(*part, path); };
    p->listeners = {
        model_listen(m, model_change::rows, [part](const model_event& e) { on_rows_changed(*part, e); }),
        model_listen(m, model_change::selection, [part](const model_event&) { on_selection_changed(*part); }),
        model_listen(m, model_change::time, [part](const model_event&) { sync(*part); }),
        model_listen(m, model_change::player, [part](const model_event&) { sync(*part); }),
    };
    // The pipeline stops before the window's widgets go.
    g_signal_connect(window, "destroy", G_CALLBACK(on_window_destroy), part);
    return p;
}

void video_attach(video_page_part& p, const std::string& path)
{
    if (p.model.closing)
        return;
    if (!p.model.selected) {
        show_error(
            p.window, "no swoop is selected to attach the video %s to; open the swoop first", path.c_str());
        return;
    }
    video_attachment a;
    a.path = absolute_path(path);
    p.videos[p.model.selected] = a;
    open_selected(p, true);
}

bool video_page_shown(const video_page_part& p)
{
    return gtk_notebook_page_num(GTK_NOTEBOOK(p.notebook), p.page) >= 0;
}

std::optional<int64_t> video_offset(const video_page_part& p)
{
    auto it = p.videos.find(p.model.selected);
    if (it == p.videos.end() || !it->second.placed)
        return std::nullopt;
    return video_offset_ms(*p.model.selected, it->second.start_ms);
}

std::optional<int64_t> video_target_ms(const video_page_part& p)
{
    const std::optional<int64_t> offset = video_offset(p);
    if (!offset || !p.model.time)
        return std::nullopt;
    return *p.model.time + *offset;
}

void video_release(video_page_part& p)
{
    p.start_timer.reset();
    p.monitor.reset();
    if (!p.pipeline)
        return;
    std::unique_ptr<video_pipeline> v = std::move(p.pipeline);
    p.pipeline_swoop = nullptr;
    GtkWidget* widget = v->widget ? GTK_WIDGET(g_object_ref(v->widget)) : nullptr;
    video_pipeline_close(*v); // the streaming threads are gone after this
    v.reset();
    if (widget) {
        if (gtk_widget_get_parent(widget) == p.picture)
            gtk_container_remove(GTK_CONTAINER(p.picture), widget);
        g_object_unref(widget);
    }
    if (!p.model.closing) {
        label_update(p);
        controls_update(p);
    }
}

void video_sync_here(video_page_part& p)
{
    video_attachment* a = selected_video(p);
    const swoop* s = p.model.selected;
    if (!a || !s || !p.pipeline || !p.model.time || s->track_len == 0)
        return;
    std::optional<int64_t> shown = video_shown_frame_ns(*p.pipeline);
    if (!shown)
        shown = video_position_ns(*p.pipeline);
    const std::optional<int64_t> origin = slider_origin(*s);
    if (!shown || !origin)
        return;
    // video time = origin + t - (first sample + start), at the middle of
    // the frame shown, so that the ms kept lie inside it. (The time stamp of
    // a frame shown after an accurate seek is the seek's position, which
    // may lie anywhere in the frame.)
    const int64_t frame_ns = video_frame_ns(*p.pipeline);
    const int64_t frame_start = *shown / frame_ns * frame_ns;
    const int64_t middle_ms = (frame_start + frame_ns / 2) / ns_per_ms;
    a->start_ms = *origin + *p.model.time - middle_ms - s->track[0].time;
    a->note = "synchronised by hand";
    gtk_label_set_text(GTK_LABEL(p.note_label), a->note.c_str());
    store_start(p);
    sync(p, true);
}

void video_nudge(video_page_part& p, int frames, int seconds)
{
    video_attachment* a = selected_video(p);
    if (!a || !p.pipeline || !a->placed)
        return;
    // The video moves on (+) or back (-) against the slider: its offset grows
    // as its start comes earlier. A frame step lands in the middle of the
    // frame next to the one the slider's time shows.
    const int64_t frame_ns = video_frame_ns(*p.pipeline);
    int64_t step_ms = frames * (frame_ns + ns_per_ms / 2) / ns_per_ms;
    if (const std::optional<int64_t> target = video_target_ms(p); target && frames != 0) {
        const int64_t k = int64_t(std::floor(double(*target) * ns_per_ms / double(frame_ns)));
        step_ms = std::llround((double(k + frames) + 0.5) * double(frame_ns) / ns_per_ms) - *target;
    }
    a->start_ms -= step_ms + seconds * int64_t(1000);
    a->note = "synchronised by hand";
    gtk_label_set_text(GTK_LABEL(p.note_label), a->note.c_str());
    store_start(p);
    sync(p, true);
}
