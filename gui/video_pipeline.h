// SPDX-License-Identifier: GPL-3.0-or-later
// One video file played by GStreamer into a GTK widget: a playbin with the
// GTK video sink and no sound. Decoding runs in GStreamer's streaming
// threads; they never call into the program. What the pipeline has to say
// (prerolled, a seek done, the end, an error, a missing decoder, the
// container's tags) comes through the bus watch, on the main loop, where the
// events below are called.
//
// Seeks never wait: a seek asked for while another is under way replaces
// any one still waiting and is made when the first is done, so a drag over
// the slider costs the main loop nothing but the last seek.
//
// The pipeline exists from video_pipeline_open to video_pipeline_close (or
// its destruction): closing takes it to the NULL state, which stops and joins
// its streaming threads, and lets the idle threads of GLib's shared pool go.
#pragma once

#include <gst/gst.h>
#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "gui/gst_handles.h"

// What the pipeline tells its owner, on the main loop. Each may close the
// pipeline (then nothing more is told).
struct video_events {
    std::function<void()> ready; // prerolled the first time: duration, frame rate and tags known
    std::function<void()> seeked; // a seek is done and its frame is shown
    std::function<void(const std::string& reason)> failed; // it cannot play (GStreamer's reason)
};

struct video_pipeline {
    std::string path;
    gst_ptr<GstElement> playbin;
    GtkWidget* widget = nullptr; // the sink's widget, shown by whoever packs it
    gst_bus_watch watch;
    video_events events;

    // Learned while prerolling.
    bool prerolled = false;
    int64_t duration_ns = -1; // -1 unknown
    int fps_n = 30, fps_d = 1; // frame rate, 30/1 until the caps say otherwise
    std::optional<int64_t> creation_utc_ms; // the container's creation time
    std::string missing; // description of the decoder or element that is not installed

    // State and seeking.
    bool playing = false; // asked to play
    bool seek_busy = false; // a seek was made and is not done
    bool state_busy = false; // a change of state is under way (a seek waits for it)
    struct seek_request {
        int64_t position_ns;
        bool accurate;
    };
    std::optional<seek_request> next_seek; // asked for while one is busy
    int64_t target_ns = -1; // the position of the last seek asked for (-1 none)
    bool target_accurate = false;
    uint64_t seeks_done = 0; // for tests and benchmarks

    ~video_pipeline();
};

// Whether GStreamer could be started (it is started by the first call).
bool video_gstreamer_start(std::string* err);

// A paused pipeline for the file, prerolling, its picture packed into the
// box (which must be inside a window already: the sink makes a window of its
// own for a picture without one); none with *err set when it cannot even be
// built (GStreamer or the GTK sink missing).
std::unique_ptr<video_pipeline> video_pipeline_open(
    const std::string& path, GtkWidget* box, video_events events, std::string* err);

// Stops the pipeline (NULL state, streaming threads joined) and its watch.
void video_pipeline_close(video_pipeline& v);

// Seeks to a position, clamped to the video; to the nearest key frame, or
// accurate to the frame. Made once prerolled (and once the seek under way is
// done).
void video_seek(video_pipeline& v, int64_t position_ns, bool accurate);

// Plays or pauses.
void video_set_playing(video_pipeline& v, bool playing);

// The position GStreamer reports now (the running position while playing,
// the frame shown while paused); none before it knows.
std::optional<int64_t> video_position_ns(const video_pipeline& v);

// The time stamp of the frame the sink shows now, if any.
std::optional<int64_t> video_shown_frame_ns(const video_pipeline& v);

// One frame, in ns.
int64_t video_frame_ns(const video_pipeline& v);

// GStreamer's threads now alive in this process that the pipeline's
// elements started (for tests): the count of the process's threads.
int process_thread_count();
