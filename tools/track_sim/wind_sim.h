// SPDX-License-Identifier: GPL-3.0-or-later
// Wind and the landing pattern of a simulated jump: the options that turn
// them on and the truth they leave. Both are off by default, and a jump
// without them is the same, byte for byte, as one flown before they existed.
//
// With wind on, everything airborne moves with the air: the ground velocity
// is the velocity through the air plus the wind, and the track is its
// integral. The air carries the aircraft from the takeoff roll on and lets
// go of the pilot over the run-out after touchdown. The plan's horizontal
// speeds (canopy_speed, entry_speed, ...) are then airspeeds, and the run is
// turned so that its ground track, not its heading, lies along the course.
//
// The landing pattern replaces the circles down to the approach by what a
// canopy pilot flies: a downwind leg, a base leg and the final leg (the
// approach before the diving turn), optionally after circles higher up, at a
// nearly constant airspeed.
#pragma once

#include <vector>

#include "core/geometry/vec_types.h"

struct sim_wind {
    bool on = false; // the air moves (with speed 0 it holds only the gusts)
    double speed = 0.0; // m/s, mean horizontal wind, 0 to 15
    double from = 0.0; // degrees true the mean wind blows from
    double gust = 0.3; // m/s RMS on each horizontal axis: eddies of 4 to 15 s
    double poor_sacc = 0.0; // chance per canopy sample that a stretch of 1 to 3 s of poor
                            // velocity starts (sAcc 1.5 to 4 m/s, errors to match)
};

struct sim_pattern {
    bool on = false; // downwind, base and final legs before the diving turn
    bool high_turns = false; // circles higher up, before the downwind leg
    bool opposite_hand = false; // pattern turns against the diving turn (else with it)
    double downwind_time = 25.0; // s on the downwind leg (shortened when the canopy opens low)
    double base_time = 12.0; // s on the base leg (likewise)
    double leg_turn_rate = 18.0; // degrees per second in the pattern's 90-degree turns
    double airspeed_wander = 0.2; // m/s RMS of the pilot's slow airspeed changes under canopy
};

struct sim_wind_truth {
    bool on = false; // the jump was flown in wind (sim_wind::on)
    double speed = 0; // m/s, mean wind
    double from = 0; // degrees true, [0, 360)
    vec2 north_east {}; // m/s, mean velocity of the air: north, east
    vec2 run {}; // m/s, the same in the run frame (x, y)
    double canopy_airspeed = 0; // m/s, planned horizontal airspeed under canopy before the turn
    double entry_gate_airspeed = 0; // m/s horizontal through the air at the entry-gate crossing
    double max_horizontal_airspeed
        = 0; // m/s, highest horizontal airspeed after the peak descent, to the stop
    // Per sample of the track (same order and count): the true horizontal
    // airspeed (m/s), gusts included: |ground velocity - velocity of the air|.
    std::vector<double> airspeed;
};
