// SPDX-License-Identifier: GPL-3.0-or-later
// The player below the notebook: a play button and a time slider over the
// selected swoop, from its top of the turn to its stop, in milliseconds
// relative to its entry-gate crossing (or its top of the turn), with marks at
// its phases. Moving the slider, by hand or by playing in real time, sets the
// model's time, which moves a marker over every plot of every drawn swoop.
// The model's player state follows the play button and the hand on the
// slider. The part exists while the time scale is on.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "core/platform/glib_handles.h"
#include "gui/window_model.h"

// A labelled mark below the slider.
struct scale_mark {
    double at; // ms, slider value
    std::string label; // "top of turn", "rollout", "gate" or "stop"
};

struct player_part {
    window_model& model;
    explicit player_part(window_model& m)
        : model(m)
    {
    }
    GtkWidget* box = nullptr; // the play button and the slider
    GtkWidget* button = nullptr; // the play button, whose image shows the state
    GtkWidget* slider = nullptr; // the time slider
    g_timer_ptr timer; // real time since playback (re)started
    source_id tick_source; // the running tick, none while stopped
    double start_value = 0; // ms, slider value at which playback (re)started
    bool playing = false;
    std::vector<scale_mark> marks; // the slider's marks, as set last
    std::vector<int> listeners; // model listener ids, disconnected when the part goes

    ~player_part();
};

// The player box for the selected swoop; the model's time follows its slider.
std::unique_ptr<player_part> player_new(window_model& m);

// Stops playback (nothing when stopped).
void player_stop(player_part& p);

// Sets the slider's range, value and marks for the selected swoop.
void scale_update(player_part& p);

// Whether the player is playing.
bool player_playing(const player_part& p);

// The tick timeouts that exist now, of every player: at most one per player,
// none while stopped.
int player_live_ticks();
