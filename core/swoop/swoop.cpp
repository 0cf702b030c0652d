// SPDX-License-Identifier: GPL-3.0-or-later
// The swoop record: loading, release, and the analysis entry that chooses
// the frame and runs the stages in order (twice when the frame must turn).
#include "core/swoop/swoop.h"

#include <new>
#include <numbers>

#include "core/files/coord_dump.h"
#include "core/geometry/geodetic.h"
#include "core/geometry/units.h"
#include "core/geometry/vector_math.h"
#include "core/swoop/swoop_stages.h"
#include "core/track/error_text.h"
#include "core/track/track_frames.h"
#include "core/track/track_load.h"

namespace {

constexpr double gate_range = 1000; // m, the swoop must come this close to the gate origin

// The swoop must pass within 1000 m of the frame origin somewhere; a frame
// from another field is recognised by its distance. Returns the closest
// approach (m) when it never comes that close, else 0.
double gate_location_check(const swoop& s, const char** err)
{
    double closest = 0; // m, smallest 3-D distance of pos_local from the origin so far
    for (uint32_t i = 0; i < s.track_len; i++) {
        const double d = vec3_norm(s.track[i].pos_local);
        if (i == 0 || d < closest)
            closest = d;
        if (closest < gate_range)
            return 0;
    }
    *err = errmsg("invalid gate location (%0.1f miles between gate and swoop)",
        closest * feet_per_metre / feet_per_mile);
    return closest;
}

// One pass of the analysis in the current matrix. A stage that sets the
// error ends the pass; the return value says which kind of failure it was.
analysis_failure run_pipeline(swoop& s, double* gate_distance, const char** err)
{
    gps_point* points = s.track.data();
    track_to_ecef(points, s.track_len);
    track_to_local(points, s.track_len, s.matrix);
    if (s.height_correction.size() == s.track_len) {
        for (uint32_t i = 0; i < s.track_len; i++)
            points[i].pos_local[2] += s.height_correction[i];
    }
    swoop_kinematics(s);
    if (s.debug) {
        coord_dump_write(points, s.track_len, err);
        if (*err)
            return analysis_failure::other;
    }
    *gate_distance = gate_location_check(s, err);
    if (*err)
        return analysis_failure::gate_too_far;
    swoop_run_stages(s, err);
    return *err ? analysis_failure::other : analysis_failure::none;
}

// The results of the record as the analysis leaves it (partial after a
// failure, as the report shows them), with the kind of failure.
void set_results(swoop& s, analysis_failure failure, double gate_distance = 0)
{
    s.results = swoop_results_compute(s);
    s.results.failure = failure;
    s.results.gate_distance = gate_distance;
}

// Clears what an analysis finds. A record analysed before in another frame
// keeps nothing of that analysis (the exit gate of a speed course, found
// only in a surveyed gate's frame, would otherwise outlive it); a fresh
// record is unchanged.
void clear_results(swoop& s)
{
    s.reversal_detected = false;
    s.carve_detected = false;
    s.plane_exit = s.pattern_entry = s.top_of_turn = s.rollout = s.bottom_of_turn = 0;
    s.entry_gate = s.exit_gate = s.stop = 0;
    s.max_vert_speed = s.max_horz_speed = s.max_total_speed = 0;
    s.carve_direction = 0;
    s.bottom_time = 0;
    s.bottom_xpos = s.bottom_ypos = s.bottom_zpos = 0;
    s.entry_gate_time = 0;
    s.entry_gate_speed = s.entry_gate_ypos = 0;
    s.exit_gate_time = 0;
    s.exit_gate_speed = s.exit_gate_xpos = 0;
    s.turn_degrees = 0;
    s.touchdown_time = 0;
    s.touchdown_speed = s.touchdown_distance = 0;
}

} // namespace

void swoop_run_stages(swoop& s, const char** err)
{
    swoop_detect_phases(s, err);
    if (*err)
        return;
    swoop_gate_crossings(s, err);
    if (*err)
        return;
    swoop_peak_speeds(s);
    swoop_turn_degrees(s);
    swoop_touchdown(s, err);
}

std::unique_ptr<swoop> swoop_new(const char* path, const char** err)
{
    *err = nullptr;
    std::unique_ptr<swoop> s;
    try {
        s = std::make_unique<swoop>();
    } catch (const std::bad_alloc&) {
        *err = errmsg("failed to allocate memory for swoop");
        return nullptr;
    }
    if (!path)
        return s;
    try {
        s->file = path;
    } catch (const std::bad_alloc&) {
        *err = errmsg("strdup() failed");
        return nullptr;
    }

    gps_track loaded;
    swoop_track_load(path, loaded, err);
    if (*err)
        return nullptr;
    // The loader's array may be larger than the samples in it; shrinking
    // the size releases nothing and moves nothing.
    loaded.gps_points.resize(loaded.count);
    s->track = std::move(loaded.gps_points);
    s->track_len = loaded.count;
    return s;
}

void swoop_free(std::unique_ptr<swoop>& s)
{
    s.reset();
}

void swoop_set_height_correction(swoop& s, std::vector<double> correction)
{
    s.height_correction = std::move(correction);
    s.heights_changed = true;
}

double swoop_course_turn(const swoop& s)
{
    double angle = s.reversal_detected ? std::numbers::pi : 0; // radians
    if (s.carve_detected)
        angle += s.rotate_theta;
    return angle;
}

void swoop_analyse(swoop& s, frame_kind gate_type, const frame_matrix* matrix, double theta, const char** err)
{
    *err = nullptr;
    if (s.track_len == 0 || s.track.size() < s.track_len) {
        set_results(s, analysis_failure::no_samples);
        *err = errmsg("no points found in track");
        return;
    }
    // Types 0 and 1 bring their frame; without one there is nothing to judge in.
    if (gate_type > frame_from_swoop || (gate_type != frame_from_swoop && !matrix)) {
        set_results(s, analysis_failure::other);
        *err = errmsg("invalid gate type");
        return;
    }

    // An unchanged frame keeps the results in force, unless the last
    // analysis failed: its results are partial and a repeat must say so again.
    // For a surveyed gate the last analysis must have been one too: a swoop
    // compared in another's frame may sit in the same turned matrix without
    // the speed course's verdict.
    const bool rerun = s.analysis_failed || s.heights_changed;
    switch (gate_type) {
    case frame_from_gate:
        if (!rerun && s.gate_type == frame_from_gate && s.rotate_theta == theta
            && s.rotate_matrix_in == *matrix && s.rotate_matrix_out == s.matrix)
            return;
        s.rotate_theta = theta;
        s.rotate_matrix_in = *matrix;
        s.matrix = *matrix;
        break;
    case frame_as_given:
        if (!rerun && s.matrix == *matrix)
            return;
        s.matrix = *matrix;
        break;
    case frame_from_swoop:
        if (!rerun && s.gate_type == frame_from_swoop)
            return;
        s.analysis_failed = true;
        swoop_frame_from_swoop(s, &s.matrix, err);
        if (*err) {
            set_results(s, analysis_failure::other);
            return;
        }
        break;
    }

    s.gate_type = gate_type;
    clear_results(s);
    s.analysis_failed = true;
    s.heights_changed = false;
    double gate_distance = 0; // m, when the swoop lies too far from the gate
    analysis_failure failure = run_pipeline(s, &gate_distance, err);
    if (*err) {
        set_results(s, failure, gate_distance);
        return;
    }

    // A swoop flown against the frame's direction, or a speed-course run,
    // is judged again in the frame turned to match it. The flags of the
    // first pass stay set for the second.
    const double angle = swoop_course_turn(s);
    if (s.gate_type == frame_from_gate && angle != 0) {
        matrix_rotate_z(s.matrix, angle);
        s.rotate_matrix_out = s.matrix;
        failure = run_pipeline(s, &gate_distance, err);
        if (*err) {
            set_results(s, failure, gate_distance);
            return;
        }
    }
    s.analysis_failed = false;
    set_results(s, analysis_failure::none);
}
