// SPDX-License-Identifier: GPL-3.0-or-later
// The surveyed course: a gate walk turned into the local frame of the course,
// the speed-carve angle and the pond outline.
//
// The walker stands still for at least 8 s at each waypoint, in this order:
//   W0 start of the pond walk
//   W1 B, one end of the entry gate (left of the course on a counterclockwise walk)
//   W2 C, course point before the entry gate
//   W3 D, the other end of the entry gate
//   W4 A, course point after the entry gate (C -> A is +x)
//   W5 exit gate (optional)
// and walks along the pond edge from W0 to W4.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/geometry/vec_types.h"
#include "core/track/error_text.h"
#include "core/track/gps_point.h"

struct gate {
    std::string file; // gate file path given to gate_open
    std::vector<gps_point> track; // the walk; empty for a stored gate from a container
    uint32_t track_len = 0; // samples in track (== track.size())
    frame_matrix matrix {}; // ECEF -> local course frame
    double theta = 0; // radians, entry-gate turn for speed-carve runs, 0 = none
    std::vector<vec3> pond; // local metres: outline, first point repeated, then an
                            // all-zero terminator; empty = no pond
    std::array<vec3, 5> waypoints {}; // local metres, W0 to W4 (all zero for a stored gate)
};

// Loads a gate file (container first, then the two logger dialects). A stored
// gate from a container is taken as it is; a walk is surveyed and its pond
// walked. The survey log (one message per line) goes to *log when log is not
// null; it is also set when the survey fails part way. nullptr and *err set on
// failure.
std::unique_ptr<gate> gate_open(const char* path, std::string* log, const char** err);

// Releases a gate; accepts an empty pointer.
void gate_free(std::unique_ptr<gate>& g);

// --- The steps of the survey, in calling order ---------------------------------

// Fills pos_ecef of the walk, finds the waypoints, builds the frame, moves its
// origin onto the entry-gate line and finds theta. The log text goes to *log
// (when log is not null) whether or not the survey succeeds.
void gate_survey(gate& g, std::string* log, const char** err);

// W0 to W5 in ECEF (metres); w[5] stays all zero when there is no exit gate.
void detect_waypoints(const gps_point* track, uint32_t track_len, vec3 w[6], strbuf& log, const char** err);

// Finds a stationary stretch of at least 8 s within 2 m from sample `start`
// on, averages its middle into *waypoint (ECEF, metres) and returns the index
// of the last sample averaged (the next start).
uint32_t detect_waypoint(const gps_point* track, uint32_t track_len, uint32_t start, vec3* waypoint,
    strbuf& log, const char** err);

// Index of the first sample 10 m or more from sample `start`.
uint32_t detect_motion(const gps_point* track, uint32_t track_len, uint32_t start, const char** err);

// Sets the four frame points (ECEF) to their mean height less 1 m; fails when
// one of them is more than 3.5 m off that mean.
void level_waypoints(vec3 p[4], strbuf& log, const char** err);

// Where the entry-gate line B-D crosses the course line A-C (local x and y,
// z = 0). Points in local metres: p[0] = A, p[1] = B, p[2] = C, p[3] = D.
vec3 gate_centre(const vec3 p[4], const char** err);

// Radians: the turn of the course for a speed-carve run, from the exit gate
// (local metres; null when the walk has none) or else from entry-gate end B.
double carve_theta(const vec3& b, const vec3* exit_gate, strbuf& log);

// Traces the pond edge between W0 and W4 into g.pond (local metres).
void pond_walk(gate& g, const char** err);
