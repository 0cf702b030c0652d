// SPDX-License-Identifier: GPL-3.0-or-later
// The results of a swoop's analysis as plain numbers: what the report
// prints, the logbook stores and the desktop app shows, computed once from
// the record after an analysis. Every value is in SI units (metres, m/s,
// seconds, degrees) and is none when it is missing: not found, or not a
// finite number.
#pragma once

#include <cstdint>
#include <optional>

struct swoop;

// Why the last analysis of a swoop failed.
enum class analysis_failure : uint8_t {
    none, // it succeeded, or the record was never analysed
    no_samples, // the track holds no samples
    gate_too_far, // the swoop never comes within 1000 m of the frame's origin
    other, // any other error (its message says which)
};

// Where the pilot was at a reported moment: height above the frame's
// ground, distance before the entry-gate line along the course, and
// distance right of the course line. Metres, each none when not finite.
struct result_position {
    std::optional<double> height; // m, local z
    std::optional<double> back; // m, minus local x
    std::optional<double> offset; // m, minus local y
};

struct swoop_results {
    bool has_samples = false; // the record held samples to report on
    analysis_failure failure = analysis_failure::none;
    double gate_distance = 0; // m, closest approach to the frame's origin when the swoop lies too
                              // far from the gate (failure gate_too_far); 0 = not too far

    std::optional<double> exit_height; // m, at the exit from the aircraft; none = exit not found
    result_position turn_start; // top of the turn
    result_position max_vertical; // sample of the highest descent rate
    result_position rollout_start;
    result_position rollout_end; // the bottom of the swoop
    result_position max_total; // sample of the highest 3-D speed
    result_position max_horizontal; // sample of the highest horizontal speed
    std::optional<double> max_vertical_speed; // m/s, descent rate there (positive down)
    std::optional<double> rollout_vertical_speed; // m/s, descent rate at the start of the rollout
    std::optional<double> max_total_speed; // m/s
    std::optional<double> max_horizontal_speed; // m/s

    std::optional<double> turn_degrees; // degrees, size of the turn
    bool right_hand = false; // the turn's sum of heading change is not negative
    double turn_time = 0; // s, top of the turn to the start of the rollout
    double rollout_time = 0; // s, start of the rollout to the bottom (negative when before)
    double time_aloft = 0; // s, bottom of the swoop to the touchdown estimate

    std::optional<double> entry_gate_speed; // m/s horizontal; none = gate missed
    std::optional<double> exit_gate_speed; // m/s horizontal; none = no exit gate
    std::optional<double> speed_course_time; // s, entry gate to exit gate; none = no exit gate
    std::optional<double> stop_distance; // m, local x at the stop
    std::optional<double> touchdown_distance; // m, local x of the touchdown estimate
    std::optional<double> touchdown_speed; // m/s horizontal at the touchdown estimate
};

// The results of the record as it stands: its result fields and the samples
// at its phase indices (an index past the track reads sample 0). A record
// without samples gives has_samples clear and nothing else.
swoop_results swoop_results_compute(const swoop& s);
