// The stages of the swoop analysis, called in order by swoop_analyse.
// Each stage is a plain function on the record; a stage that fails sets *err.
#pragma once

#include <cstdint>
#include <string>

#include "core/swoop/swoop.h"

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

// --- results report (report.cpp) ---------------------------------------------------
// The results text in imperial (feet, mph) or metric (metres, km/h) units.
std::string swoop_report(const swoop& s, bool metric, const char** err);
