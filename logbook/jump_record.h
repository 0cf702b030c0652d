// SPDX-License-Identifier: GPL-3.0-or-later
// One jump of the logbook: the swoop file it came from, the course it was
// judged on and the results of the analysis in SI units, as one row of the
// database holds them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/swoop/swoop.h"
#include "core/track/sample_time.h" // sample_time_to_utc_ms, the jump's UTC time

// The version of the analysis that filled a row ("2.23"); a row analysed by
// another version is analysed again.
extern const char* const logbook_analysis_version;

// What a result measures, for converting it to display units.
enum class quantity {
    speed, // m/s
    length, // m
    duration, // s
    angle, // degrees
};

// The numeric results, in the order of their columns. Heights are above the
// course frame's ground, "back" is the distance before the entry-gate line
// along the course and "offset" the distance right of the course line, as in
// the results report.
enum result_id : int {
    entry_gate_speed, // horizontal speed at the entry gate, none = gate missed
    exit_gate_speed, // horizontal speed at the exit gate, none = no exit gate
    turn_degrees, // size of the turn (the direction is stored beside it)
    turn_time, // top of the turn to the start of the rollout
    rollout_time, // start of the rollout to the bottom of the swoop
    time_aloft, // bottom of the swoop to the touchdown estimate
    speed_course_time, // entry gate to exit gate, none = no exit gate
    max_vertical_speed, // highest descent rate
    max_total_speed, // highest 3-D speed
    max_horizontal_speed, // highest horizontal speed
    rollout_vertical_speed, // descent rate at the start of the rollout
    stop_distance, // local x at the stop (distance to stop)
    touchdown_distance, // local x of the touchdown estimate
    touchdown_speed, // horizontal speed at the touchdown estimate
    exit_height, // height at the exit from the aircraft, none = not found
    turn_start_height,
    turn_start_back,
    turn_start_offset,
    max_vertical_height,
    max_vertical_back,
    max_vertical_offset,
    rollout_start_height,
    rollout_start_back,
    rollout_start_offset,
    rollout_end_height, // the bottom of the swoop
    rollout_end_back,
    rollout_end_offset,
    max_total_height,
    max_total_back,
    max_total_offset,
    max_horizontal_height,
    max_horizontal_back,
    max_horizontal_offset,
    // With the wind (add -w); none without an estimate or when not asked for.
    wind_speed, // the wind estimated under canopy before the turn
    wind_from, // degrees true it blows from, [0, 360)
    wind_sigma, // 1-sigma of the wind speed
    entry_gate_airspeed, // horizontal airspeed at the entry gate, none = gate missed
    result_count
};

struct result_field {
    const char* column; // column of the jumps table and of the export, SI unit as suffix
    quantity kind;
    std::optional<double> (*of)(const swoop_results& r); // the value in the analysis' results;
                                                         // null for the wind's (jump_wind_from_swoop)
};

// Indexed by result_id.
extern const std::array<result_field, result_count> result_fields;

// Where the heights of a row came from, and the gate heights the barometer
// gives (add -b). Heights are the logger's height at the gate crossing minus
// its height at the stop, in m, each with its 1-sigma.
struct jump_heights {
    std::optional<std::string> source; // "GPS", "barometer and GPS" or "GPS (no sensor file)";
                                       // none = recorded before heights had a source
    std::string sensor_sha256; // hex of the sensor file fused, empty = none
    std::optional<double> entry_gate; // none = no barometer, or the gate was not crossed
    std::optional<double> entry_gate_sigma;
    std::optional<double> exit_gate;
    std::optional<double> exit_gate_sigma;
};

// The columns of the barometer's heights, in the jumps table and the export.
constexpr const char* height_columns[] = { "entry_gate_height_above_stop_m", "entry_gate_height_sigma_m",
    "exit_gate_height_above_stop_m", "exit_gate_height_sigma_m", "height_source" };

struct jump_record {
    std::string path; // absolute, symbolic links resolved; bytes as the file system has them
    int64_t file_size = 0; // bytes
    int64_t file_mtime = 0; // modification stamp of the file system's clock, compared only
    std::string content_sha256; // hex; empty when the file could not be read
    std::string course; // gate file name for display, or "own frame"
    std::string course_key; // what decides "the same course" (see course_identity)
    std::string analysis_version; // version of the analysis that filled the row
    std::optional<int64_t> jump_time_utc; // ms since the epoch, UTC; none = not loaded
    std::optional<std::string> error; // why the analysis failed; none = analysed
    std::optional<bool> right_hand; // turn direction, none = not analysed
    bool with_wind = false; // the wind was estimated (add -w), whether or not there was an estimate
    std::array<std::optional<double>, result_count> results {}; // SI; none = missing
    jump_heights heights;
};

// The four gate heights of a row in the order of height_columns.
std::array<std::optional<double>, 4> jump_gate_heights(const jump_heights& h);

// The results of an analysed swoop as the row stores them: the analysis'
// results record, column by column, and the turn's direction.
void jump_results_from_swoop(const swoop& s, jump_record& jump);

// The wind estimated from the swoop's canopy flight and the entry-gate
// airspeed it gives, into the row's wind results; marks the row with_wind.
void jump_wind_from_swoop(const swoop& s, jump_record& jump);

// "2019-07-14T17:00:00.000Z" for ms since the epoch.
std::string utc_iso8601(int64_t utc_ms);

// "2019-07-14 17:00:00" for ms since the epoch.
std::string utc_date_time(int64_t utc_ms);

// ms since the epoch of midnight UTC of a "YYYY-MM-DD" date; none when the
// text is not such a date.
std::optional<int64_t> utc_midnight_ms(const std::string& date);
