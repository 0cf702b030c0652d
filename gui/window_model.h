// SPDX-License-Identifier: GPL-3.0-or-later
// The state the parts of a main window share, and how they hear of its
// changes: the open gate and its pond copy, the open swoops in list order,
// the selection, the compared swoops, the options and the player's time and
// state.
//
// A part changes the model through the functions below; each change tells
// the listeners of its kind once, in the order they were connected. The
// parts never call each other: the list and gate part installs the commands
// the others may ask for (open or close a gate or swoops).
//
// The rows of the swoop list own their records; the model holds plain
// pointers to them, valid while the swoop is in `swoops`.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/gate/gate.h"
#include "core/geometry/units.h"
#include "core/geometry/vec_types.h"
#include "core/sensor/baro_fusion.h"
#include "core/swoop/swoop.h"

// The kinds of change, one notification each.
enum class model_change : uint8_t {
    rows, // a swoop was opened or closed
    selection, // another swoop (or none) is selected, or the selected one was analysed again
    compared, // a swoop was ticked or unticked for comparing
    gate, // a gate was opened or closed
    options, // units, pond, plots per page, the time scale or the wind
    time, // the player's time moved (or the time scale came or went)
    player, // the player started or stopped playing, or a drag of its slider began or ended
};

// The window's options.
struct window_options {
    display_units units; // "metric units"
    bool draw_pond = true; // "draw pond"
    int32_t plots_per_page = 1; // View menu: 1, 4 or 9 (any other number builds no plot page)
    bool time_scale = false; // View > Time scale
    bool color_overlays = false; // "colour compared swoops": each in its own colour (else grey)
    bool use_baro = false; // "barometric heights": from the sensor file beside each swoop
    bool use_wind = false; // "wind": the wind and airspeeds in the report, the plots and the overhead view
};

// A swoop's heights from the barometer: whether a sensor file lies beside it
// and, once "barometric heights" first needed it, the fusion (run once).
struct swoop_baro {
    bool looked = false; // the folder was searched and the file, if any, fused
    std::string sensor; // the sensor file beside the swoop, empty = none
    bool fused = false; // fusion holds the swoop's heights
    baro_fusion fusion;
};

// What a listener is told.
struct model_event {
    model_change kind;
    swoop* changed = nullptr; // rows, compared: the swoop opened, closed, ticked or unticked
    bool added = false; // rows, compared: opened or ticked
    bool was_selected = false; // rows: the swoop closed was the selected one
    window_options before; // options: as they were before the change
};

using model_listener = std::function<void(const model_event&)>;

// What the list and gate part does when another part asks for it.
struct model_commands {
    std::function<void(std::vector<std::string> paths)> open_swoops;
    std::function<bool(const char* path, bool remember)> open_gate; // remember: store as the gate to reopen
    std::function<void()> close_gate;
    std::function<void(swoop* s)> close_swoop;
    std::function<void(std::string path)> attach_video; // installed by the video page
};

struct window_model {
    std::unique_ptr<::gate> gate; // the open gate, or none
    std::vector<vec3> pond; // the window's copy of the gate's pond outline in the selected swoop's
                            // frame (local metres, ended by x = y = 0); empty without a gate
    double pond_angle = 0; // radians by which pond is turned
    std::vector<swoop*> swoops; // the open swoops in list order
    swoop* selected = nullptr; // the selected swoop, or none
    std::vector<swoop*> compared; // the ticked swoops in list order (a ticked selected swoop is
                                  // drawn in full, not as an overlay)
    window_options options;
    std::map<const swoop*, swoop_baro> baro; // per open swoop, filled on first need
    std::optional<int32_t> time; // ms on the player's slider; none without the time scale
    bool playing = false; // the player plays (time moves in real time)
    bool dragging = false; // the user holds the player's slider
    bool closing = false; // the window is going: no more notifications or commands
    model_commands commands;

    struct listener {
        int id;
        model_change kind;
        model_listener notify; // empty once disconnected
    };
    std::vector<listener> listeners;
    int next_listener = 1;
    int notifying = 0; // depth of notifications running
};

// Connects a listener to one kind of change; returns its id for
// model_unlisten. A listener connected while a change is being told hears
// the next one.
int model_listen(window_model& m, model_change kind, model_listener listener);
void model_unlisten(window_model& m, int id);

// Changes, each told to the listeners of its kind.
void model_add_swoop(window_model& m, swoop* s);
// Takes a swoop out of the list (and out of the selection, which the caller
// then sets again) before its row goes.
void model_remove_swoop(window_model& m, swoop* s);
// Always told, also for the same swoop: it may have been analysed again.
void model_select(window_model& m, swoop* s);
void model_set_compared(window_model& m, swoop* s, bool compared);
// The gate (or none) and the window's copy of its pond outline.
void model_set_gate(window_model& m, std::unique_ptr<::gate> g, std::vector<vec3> pond);
// Always told (the window's first options build its pages).
void model_set_options(window_model& m, const window_options& options);
// Told only when the time changes.
void model_set_time(window_model& m, std::optional<int32_t> time);
// The player's state; told only when it changes.
void model_set_player(window_model& m, bool playing, bool dragging);

// Whether a swoop is ticked, and the ticked swoops drawn as overlays (all
// but the selected one) in list order.
bool model_is_compared(const window_model& m, const swoop* s);
std::vector<swoop*> model_overlays(const window_model& m);

// The colour of a compared swoop with "colour compared swoops" on: a
// colour-blind-safe palette in list order of the overlays, again from its
// start after the last; none with the option off, or for a swoop not drawn
// as an overlay (0xRRGGBB).
std::optional<uint32_t> model_overlay_color(const window_model& m, const swoop* s);

// Gives a swoop the heights the options ask for: with "barometric heights"
// the fused heights of its sensor file (found and fused on first need), else
// GPS heights. The next analysis uses them. Returns the sensor file's message
// ("<file>: <message>") when it was refused; the swoop keeps GPS heights.
std::string model_apply_heights(window_model& m, swoop& s);

// The fusion behind a swoop's heights, or none (GPS heights).
const baro_fusion* model_fusion(const window_model& m, const swoop* s);

// The report's heights lines for a swoop with "barometric heights" on: the
// gate heights, or "GPS (no sensor file)" for a swoop without one; empty with
// the option off or for a swoop whose sensor file was refused.
std::string model_heights_lines(const window_model& m, const swoop& s);

// The pond copy turned to the angle (radians) from the gate's outline.
void model_turn_pond(window_model& m, double angle);

// Requests handled by the list and gate part (nothing before it is built or
// while the window goes).
void model_open_swoops(window_model& m, std::vector<std::string> paths);
bool model_open_gate(window_model& m, const char* path, bool remember);
void model_close_gate(window_model& m);
void model_close_swoop(window_model& m, swoop* s);
// Attaches a video file to the selected swoop (handled by the video page).
void model_attach_video(window_model& m, std::string path);
