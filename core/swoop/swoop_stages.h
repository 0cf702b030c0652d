// SPDX-License-Identifier: GPL-3.0-or-later
// The stages of the swoop analysis, called in order by swoop_analyse.
// Each stage is a plain function on the record; a stage that fails sets *err.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "core/swoop/swoop.h"

// A time interpolated between two samples (ms, as a double) truncated toward
// zero to whole milliseconds. Samples whose values are not numbers give a
// time that is not one: the time of the sample the interpolation starts
// from (`from`, ms) stands then; one beyond the 64-bit range becomes the
// nearest end of it.
inline int64_t swoop_whole_ms(double ms, int64_t from)
{
    if (std::isnan(ms))
        return from;
    if (ms >= 9.2e18)
        return INT64_MAX;
    if (ms <= -9.2e18)
        return INT64_MIN;
    return static_cast<int64_t>(ms);
}

// --- kinematics (kinematics.cpp) ---------------------------------------------
// acc_local, dive_angle, heading, turn_angle (with the steep-dive repair) and
// turn_rate of every sample, from pos_local and vel_local.
void swoop_kinematics(swoop& s);

// --- phase detection (phases.cpp) -----------------------------------------------
// Builds the frame from the swoop itself (gate type 2) into *matrix.
void swoop_frame_from_swoop(swoop& s, frame_matrix* matrix, const char** err);
// Plane exit, pattern entry, top of turn, stop, rollout and bottom of the turn.
void swoop_detect_phases(swoop& s, const char** err);
// Highest descent rate, horizontal and total speed.
void swoop_peak_speeds(swoop& s);

// --- gate crossings, turn total, touchdown (gate_crossings.cpp, touchdown.cpp) ---
// Entry gate, then the speed-course exit gate.
void swoop_gate_crossings(swoop& s, const char** err);
// Signed turn total in degrees from the top of the turn to the bottom of the turn.
void swoop_turn_degrees(swoop& s);
// Touchdown estimate (time, speed, distance).
void swoop_touchdown(swoop& s, const char** err);

// The stages after the kinematics and the gate location check, in order:
// phases, gate crossings, peak speeds, turn total, touchdown.
void swoop_run_stages(swoop& s, const char** err);
