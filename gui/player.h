// The player below the notebook: a play button and a time slider over the
// selected swoop, from its top of the turn to its stop, in milliseconds
// relative to its entry-gate crossing (or its top of the turn), with marks at
// its phases. Moving the slider, by hand or by playing in real time, moves a
// marker over every plot of every drawn swoop.
#pragma once

#include <gtk/gtk.h>

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

// Whether the window's player is playing (for tests and the tick).
bool player_playing(GtkWidget* window);
