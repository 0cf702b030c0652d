// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/video_pipeline.h"

#include <gst/pbutils/missing-plugins.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "core/platform/glib_handles.h"

namespace {

constexpr guint play_flag_video = 1 << 0; // playbin's GST_PLAY_FLAG_VIDEO: pictures, no sound or subtitles

// The facts of the stream, once prerolled: duration and frame rate.
void learn_stream(video_pipeline& v)
{
    gint64 duration = -1;
    if (gst_element_query_duration(v.playbin.get(), GST_FORMAT_TIME, &duration))
        v.duration_ns = duration;
    GstElement* raw_sink = nullptr;
    g_object_get(v.playbin.get(), "video-sink", &raw_sink, nullptr);
    gst_ptr<GstElement> sink(raw_sink);
    if (!sink)
        return;
    gst_ptr<GstPad> pad(gst_element_get_static_pad(sink.get(), "sink"));
    gst_caps_ptr caps(pad ? gst_pad_get_current_caps(pad.get()) : nullptr);
    if (!caps || gst_caps_get_size(caps.get()) == 0)
        return;
    gint n = 0, d = 0;
    if (gst_structure_get_fraction(gst_caps_get_structure(caps.get(), 0), "framerate", &n, &d) && n > 0
        && d > 0) {
        v.fps_n = n;
        v.fps_d = d;
    }
}

void learn_tags(video_pipeline& v, GstMessage* message)
{
    GstTagList* raw = nullptr;
    gst_message_parse_tag(message, &raw);
    gst_tag_list_ptr tags(raw);
    GstDateTime* raw_date = nullptr;
    if (v.creation_utc_ms || !gst_tag_list_get_date_time(tags.get(), GST_TAG_DATE_TIME, &raw_date))
        return;
    gst_date_time_ptr date(raw_date);
    if (!gst_date_time_has_second(date.get()))
        return; // a date without its time of day places nothing
    GDateTime* g = gst_date_time_to_g_date_time(date.get());
    if (!g)
        return;
    v.creation_utc_ms = g_date_time_to_unix(g) * 1000 + g_date_time_get_microsecond(g) / 1000;
    g_date_time_unref(g);
}

void start_seek(video_pipeline& v, const video_pipeline::seek_request& r)
{
    const GstSeekFlags flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH
        | (r.accurate ? GST_SEEK_FLAG_ACCURATE : GST_SEEK_FLAG_KEY_UNIT | GST_SEEK_FLAG_SNAP_NEAREST));
    v.seek_busy = gst_element_seek_simple(v.playbin.get(), GST_FORMAT_TIME, flags, r.position_ns);
}

std::string missing_reason(const video_pipeline& v)
{
    return "no " + v.missing + " is installed (gstreamer1.0-libav provides most camera codecs)";
}

// Tells the owner through a copy of the event: the owner may free the
// pipeline, and the event with it.
void tell(const std::function<void()>& event)
{
    if (const std::function<void()> copy = event)
        copy();
}

// Closes the pipeline, then tells the owner why.
void tell_failed(video_pipeline& v, const std::string& reason)
{
    video_pipeline_close(v);
    if (const std::function<void(const std::string&)> failed = v.events.failed)
        failed(reason);
}

// The bus, on the main loop. The owner's events come last: each may close
// and free the pipeline.
gboolean on_bus_message(GstBus*, GstMessage* message, gpointer data)
{
    video_pipeline& v = *static_cast<video_pipeline*>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError* raw = nullptr;
        gst_message_parse_error(message, &raw, nullptr);
        g_error_ptr error(raw);
        const std::string reason = !v.missing.empty() ? missing_reason(v)
            : error                                   ? error->message
                                                      : "unknown error";
        tell_failed(v, reason);
        return G_SOURCE_REMOVE;
    }
    case GST_MESSAGE_ELEMENT:
        // Only a missing picture decoder matters: the sound is not played.
        if (gst_is_missing_plugin_message(message) && v.missing.empty()) {
            g_text detail(gst_missing_plugin_message_get_installer_detail(message));
            if (detail && std::strstr(detail.get(), "|decoder-video/")) {
                g_text what(gst_missing_plugin_message_get_description(message));
                v.missing = what ? what.get() : "video decoder";
            }
        }
        break;
    case GST_MESSAGE_TAG:
        learn_tags(v, message);
        break;
    case GST_MESSAGE_ASYNC_DONE: {
        if (!v.prerolled) {
            v.prerolled = true;
            learn_stream(v);
            if (!v.missing.empty()) {
                // Prerolled without the pictures (only another stream could be
                // decoded): as good as not playable.
                tell_failed(v, missing_reason(v));
                return G_SOURCE_REMOVE;
            }
            if (v.next_seek) {
                const video_pipeline::seek_request r = *v.next_seek;
                v.next_seek.reset();
                start_seek(v, r);
            }
            tell(v.events.ready);
            break;
        }
        const bool was_seeking = v.seek_busy;
        v.seek_busy = false;
        v.state_busy = false;
        if (v.next_seek) {
            const video_pipeline::seek_request r = *v.next_seek;
            v.next_seek.reset();
            start_seek(v, r);
            break;
        }
        if (was_seeking) {
            v.seeks_done++;
            tell(v.events.seeked);
        }
        break;
    }
    default:
        break;
    }
    return G_SOURCE_CONTINUE;
}

} // namespace

bool video_gstreamer_start(std::string* err)
{
    static bool started = false;
    if (started)
        return true;
    GError* raw = nullptr;
    if (!gst_init_check(nullptr, nullptr, &raw)) {
        g_error_ptr error(raw);
        if (err)
            *err = error ? error->message : "GStreamer cannot start";
        return false;
    }
    // GLib's shared pool keeps idle threads for the next job; GStreamer's
    // streaming tasks run on it, so a pipeline taken down would leave
    // threads behind. None are kept: each goes when its job ends.
    g_thread_pool_set_max_unused_threads(0);
    started = true;
    return true;
}

video_pipeline::~video_pipeline()
{
    video_pipeline_close(*this);
}

std::unique_ptr<video_pipeline> video_pipeline_open(
    const std::string& path, GtkWidget* box, video_events events, std::string* err)
{
    if (!video_gstreamer_start(err))
        return nullptr;
    auto v = std::make_unique<video_pipeline>();
    v->path = path;
    v->events = std::move(events);
    v->playbin.reset(gst_element_factory_make("playbin", nullptr));
    GstElement* sink = gst_element_factory_make("gtksink", nullptr);
    if (!v->playbin || !sink) {
        if (sink)
            gst_object_unref(gst_object_ref_sink(sink));
        if (err)
            *err = !v->playbin ? "GStreamer's playbin is missing (install gstreamer1.0-plugins-base)"
                               : "GStreamer's GTK video sink is missing (install gstreamer1.0-gtk3)";
        v->playbin.reset();
        return nullptr;
    }
    gst_object_ref_sink(v->playbin.get()); // ours, not floating
    g_object_get(sink, "widget", &v->widget, nullptr); // a reference of ours, let go once packed
    g_text uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
    g_object_set(
        v->playbin.get(), "uri", uri ? uri.get() : "", "video-sink", sink, "flags", play_flag_video, nullptr);
    gtk_box_pack_start(GTK_BOX(box), v->widget, TRUE, TRUE, 0);
    gtk_widget_show(v->widget);
    gst_ptr<GstBus> bus(gst_element_get_bus(v->playbin.get()));
    v->watch.start(bus.get(), on_bus_message, v.get());
    gst_element_set_state(v->playbin.get(), GST_STATE_PAUSED);
    return v;
}

void video_pipeline_close(video_pipeline& v)
{
    v.watch.reset();
    if (v.playbin) {
        gst_element_set_state(v.playbin.get(), GST_STATE_NULL);
        v.playbin.reset();
        // The streaming threads are joined; the shared pool's idle ones go too.
        g_thread_pool_stop_unused_threads();
    }
    if (v.widget) {
        g_object_unref(v.widget);
        v.widget = nullptr;
    }
}

void video_seek(video_pipeline& v, int64_t position_ns, bool accurate)
{
    if (!v.playbin)
        return;
    int64_t last = v.duration_ns > 0 ? v.duration_ns - video_frame_ns(v) : INT64_MAX;
    position_ns = std::clamp<int64_t>(position_ns, 0, std::max<int64_t>(0, last));
    v.target_ns = position_ns;
    v.target_accurate = accurate;
    const video_pipeline::seek_request r { position_ns, accurate };
    // One thing at a time: the end of a change of state and the end of a
    // seek look alike on the bus.
    if (!v.prerolled || v.seek_busy || v.state_busy) {
        v.next_seek = r;
        return;
    }
    start_seek(v, r);
}

void video_set_playing(video_pipeline& v, bool playing)
{
    if (!v.playbin || v.playing == playing)
        return;
    v.playing = playing;
    if (gst_element_set_state(v.playbin.get(), playing ? GST_STATE_PLAYING : GST_STATE_PAUSED)
        == GST_STATE_CHANGE_ASYNC)
        v.state_busy = true;
}

std::optional<int64_t> video_position_ns(const video_pipeline& v)
{
    gint64 position = -1;
    if (!v.playbin || !v.prerolled
        || !gst_element_query_position(v.playbin.get(), GST_FORMAT_TIME, &position))
        return std::nullopt;
    return position;
}

std::optional<int64_t> video_shown_frame_ns(const video_pipeline& v)
{
    if (!v.playbin)
        return std::nullopt;
    GstElement* raw_sink = nullptr;
    g_object_get(v.playbin.get(), "video-sink", &raw_sink, nullptr);
    gst_ptr<GstElement> sink(raw_sink);
    if (!sink)
        return std::nullopt;
    GstSample* raw = nullptr;
    g_object_get(sink.get(), "last-sample", &raw, nullptr);
    gst_sample_ptr sample(raw);
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample.get()) : nullptr;
    if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer))
        return std::nullopt;
    // The stream time of the frame: its time stamp in the segment it was played in.
    const GstSegment* segment = gst_sample_get_segment(sample.get());
    if (segment) {
        const guint64 stream = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
        if (stream != GST_CLOCK_TIME_NONE)
            return int64_t(stream);
    }
    return int64_t(GST_BUFFER_PTS(buffer));
}

int64_t video_frame_ns(const video_pipeline& v)
{
    return int64_t(gst_util_uint64_scale_int(GST_SECOND, v.fps_d, v.fps_n));
}

int process_thread_count()
{
    std::error_code ec;
    int count = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        count++;
    return count;
}
