// SPDX-License-Identifier: GPL-3.0-or-later
// The "video" page: the pilot's video of the selected swoop beside its
// numbers, after the last plot page while the selected swoop has one. One
// video per swoop, attached by the model's attach_video command (the File
// menu's "Open _video..." and dropped video files) or brought back from the
// video sync store when the swoop is opened again.
//
// The player drives it: the model's time is the slider's, the video shows
// time + offset (see video_sync.h). Playing plays both; a drag seeks to the
// nearest key frame, its end and every move while paused to the exact frame;
// the end of the slider's range stops both. The page's buttons place the
// video: "Sync here" (the frame shown now is the slider's moment) and nudges
// of one frame and one second either way; every new place is stored.
//
// Only the selected swoop's video has a pipeline; it goes with the
// selection, the swoop or the window.
#pragma once

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/glib_handles.h"
#include "gui/video_pipeline.h"
#include "gui/video_sync.h"
#include "gui/window_model.h"

struct video_attachment {
    std::string path; // the video file, absolute
    int64_t start_ms = 0; // see video_sync.h
    bool placed = false; // false until the first start is worked out (at the first preroll)
    std::string note; // how the start was found, shown on the page
};

struct video_page_part {
    window_model& model;
    GtkWidget* window; // the main window, parent of the dialogs
    GtkWidget* notebook; // the window's notebook, where the page comes and goes
    video_page_part(window_model& m, GtkWidget* w, GtkWidget* nb)
        : model(m)
        , window(w)
        , notebook(nb)
    {
    }
    GtkWidget* page = nullptr; // held by the part while out of the notebook
    GtkWidget* picture = nullptr; // box holding the sink's widget
    GtkWidget* time_label = nullptr; // "video time": offset and the video's own time
    GtkWidget* note_label = nullptr; // "video placement": how the first start was found
    GtkWidget* sync_button = nullptr; // "Sync here"
    GtkWidget* nudge_buttons[4] {}; // -1 s, -1 frame, +1 frame, +1 s

    std::map<const swoop*, video_attachment> videos; // the open swoops' videos
    std::unique_ptr<video_pipeline> pipeline; // the selected swoop's video, when it has one
    const swoop* pipeline_swoop = nullptr;
    gobject_ptr<GFileMonitor> monitor; // notices the video file going away
    source_id start_timer; // starts the video when playback reaches its first frame
    std::vector<int> listeners;

    ~video_page_part();
};

// The page (not in the notebook yet); installs the model's attach_video.
std::unique_ptr<video_page_part> video_page_new(window_model& m, GtkWidget* window, GtkWidget* notebook);

// Attaches a video to the selected swoop (replacing the one it had) and
// shows its page.
void video_attach(video_page_part& p, const std::string& path);

// Whether the page is in the notebook.
bool video_page_shown(const video_page_part& p);

// The offset (ms) of the selected swoop's video: video time = slider time + offset.
std::optional<int64_t> video_offset(const video_page_part& p);

// The video position (ms) the slider's time asks for now.
std::optional<int64_t> video_target_ms(const video_page_part& p);

// Stops and frees the pipeline (the page stays as it is).
void video_release(video_page_part& p);

// The buttons' work.
void video_sync_here(video_page_part& p);
void video_nudge(video_page_part& p, int frames, int seconds);
