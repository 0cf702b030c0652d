// SPDX-License-Identifier: GPL-3.0-or-later
// One analysed swoop: the track, the frame it is judged in and every result.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/geometry/vec_types.h"
#include "core/swoop/results.h"
#include "core/track/gps_point.h"

// How swoop_analyse chooses the frame a swoop is judged in. The values are
// part of the analysis' contract; any other value is an invalid gate type.
enum frame_kind : uint32_t {
    frame_from_gate = 0, // a surveyed gate's matrix with its speed-course angle, turned to match the run
    frame_as_given = 1, // a matrix taken as it is (another swoop's frame, for comparing swoops)
    frame_from_swoop = 2, // a frame derived from the swoop itself (no gate)
};

struct swoop {
    std::string file; // path of the track file
    std::vector<gps_point> track; // samples in time order
    uint32_t track_len = 0; // number of samples (== track.size())
    bool debug = false; // write the coordinate dump during the analysis
    uint32_t time_aloft = 0; // ms from entry gate to touchdown given by the user, 0 = not given
    frame_kind gate_type = frame_from_gate; // how the frame was chosen
    double rotate_theta = 0; // radians, speed-course angle of the gate frame (frame_from_gate)
    frame_matrix rotate_matrix_in {}; // gate matrix passed with frame_from_gate
    frame_matrix rotate_matrix_out {}; // matrix after the automatic turn (frame_from_gate)
    frame_matrix matrix {}; // ECEF-to-local matrix in use
    bool reversal_detected = false; // crossed the entry gate line from +x to -x
    bool carve_detected = false; // the speed course reached a verdict on the side
    uint32_t plane_exit = 0; // sample index, 0 = not found
    uint32_t pattern_entry = 0; // first sample below 2500 ft
    uint32_t top_of_turn = 0; // start of the turn
    uint32_t rollout = 0; // start of the rollout
    uint32_t bottom_of_turn = 0; // sample before the bottom of the swoop
    uint32_t entry_gate = 0; // sample before the entry-gate crossing, 0 = missed
    uint32_t exit_gate = 0; // sample before the exit-gate crossing, 0 = none
    uint32_t stop = 0; // end of motion after the swoop
    uint32_t max_vert_speed = 0; // sample of the highest descent rate
    uint32_t max_horz_speed = 0; // sample of the highest horizontal speed
    uint32_t max_total_speed = 0; // sample of the highest 3-D speed
    uint8_t carve_direction = 0; // side of the speed course: 1 = +y, 0 = -y
    uint64_t bottom_time = 0; // ms, time of the bottom of the swoop
    double bottom_xpos = 0; // m, local position at bottom_time
    double bottom_ypos = 0; // m
    double bottom_zpos = 0; // m
    uint64_t entry_gate_time = 0; // ms, 0 = none
    double entry_gate_speed = 0; // m/s horizontal, 0 = none
    double entry_gate_ypos = 0; // m, local y where the entry gate line was crossed
    uint64_t exit_gate_time = 0; // ms, 0 = none
    double exit_gate_speed = 0; // m/s horizontal, 0 = none
    double exit_gate_xpos = 0; // m, local x of the exit-gate crossing
    double turn_degrees = 0; // degrees, signed sum of heading change, + = right-hand
    uint64_t touchdown_time = 0; // ms, estimated touchdown
    double touchdown_speed = 0; // m/s horizontal at touchdown
    double touchdown_distance = 0; // m, local x at touchdown
    bool analysis_failed = false; // the last analysis ended in an error: the next one runs in
                                  // full instead of returning early on an unchanged frame
    swoop_results results; // of the last analysis (partial after a failure, with its kind)
    // Heights from another source than GPS (the barometer): when it holds one
    // value per sample, the analysis adds it to pos_local.z of each sample once
    // the frame is built. Empty (the default): GPS heights, as specified.
    std::vector<double> height_correction; // m per sample
    bool heights_changed = false; // set with height_correction: the next analysis runs in full
    // The 1-sigma of those heights, one value per sample (m), for the side
    // view's band; empty: none drawn.
    std::vector<double> height_sigma; // m per sample
};

// Loads a swoop from a track file (container, record dialect or field-name
// dialect). With a null path returns an empty record. nullptr and *err set
// on failure.
std::unique_ptr<swoop> swoop_new(const char* path, const char** err);

// Releases a swoop (the unique_ptr does the same; kept for callers that hold
// the record by name).
void swoop_free(std::unique_ptr<swoop>& s);

// Chooses the frame by gate type (a surveyed gate with its speed-course angle
// theta in radians, a matrix as it is, or a frame from the swoop, which needs
// no matrix) and runs the analysis. Fills the record's results, which after
// a failure hold what the analysis found before it and the kind of failure.
void swoop_analyse(
    swoop& s, frame_kind gate_type, const frame_matrix* matrix, double theta, const char** err);

// Sets the per-sample height correction (one value per sample, m; empty for
// GPS heights) that the next swoop_analyse applies, even in an unchanged frame.
void swoop_set_height_correction(swoop& s, std::vector<double> correction);

// Radians by which the analysis turned a gate's frame to match the run: pi
// when the run was flown against the frame's direction, plus the speed
// course's angle when a carve was detected. The gate's pond, drawn in the
// swoop's frame, turns by the same angle.
double swoop_course_turn(const swoop& s);
