// The player below the notebook: a play button and a time slider over the
// selected swoop, from its top of the turn to its stop, in milliseconds
// relative to its entry-gate crossing (or its top of the turn), with marks at
// its phases. Moving the slider, by hand or by playing in real time, moves a
// marker over every plot of every drawn swoop.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

// The player box; stores the slider as the window's time_scale.
GtkWidget* player_new(GtkWidget* window);

// Stops playback (nothing when stopped).
void player_stop(GtkWidget* window);

// Sets the slider's range, value and marks for the selected swoop.
void scale_update(GtkWidget* window);

// Switch the player on and off; off destroys the slider and its player, and
// with refresh takes the markers off the plots.
void time_scale_enable(GtkWidget* window);
void time_scale_disable(GtkWidget* window, bool refresh);

// Whether the window's player is playing.
bool player_playing(GtkWidget* window);

// A labelled mark below the slider.
struct scale_mark {
    double at; // ms, slider value
    std::string label; // "top of turn", "rollout", "gate" or "stop"
};
// The marks the slider shows now (none without a slider).
std::vector<scale_mark> player_marks(GtkWidget* window);

// The tick timeouts that exist now, of every player: at most one per player,
// none while stopped.
int player_live_ticks();
