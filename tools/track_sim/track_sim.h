// SPDX-License-Identifier: GPL-3.0-or-later
// Track simulator: physically plausible gate walks and swoops with their
// ground truth, written as the GPS logger writes them.
//
// Everything is deterministic: the same options (seed included) give the
// same samples and the same bytes. Generators throw std::invalid_argument
// when the options cannot be flown (for example a turn started below the
// height its rollout needs).
//
// Frames: the course frame is the local frame a survey of the course builds
// (origin at the centre of the entry gate on the ground, x along the course,
// y to the left, z up, metres). Swoop truth is given in the "run frame": the
// course frame turned about z by pi for a reversed run and by the course's
// theta for a speed-carve run, i.e. the frame the analysis ends up in.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/geometry/vec_types.h"
#include "core/track/gps_point.h"
#include "tools/track_sim/wind_sim.h"

// Where the course lies.
struct sim_course {
    double lat = 51.9561; // degrees north, centre of the entry gate
    double lon = 4.4369; // degrees east, centre of the entry gate
    double ground_height = 12.0; // m, hMSL of the ground at the gate
    double heading = 30.0; // degrees clockwise from true north: course direction (local +x)
};

// What the logger adds to the true motion.
struct sim_noise {
    double level = 1.0; // 0 = exact samples, 1 = a typical logger (jitter under 1 m)
    double drop_rate = 0.0; // probability 0..1 that a sample is lost (never the first or last)
};

// 2019-07-14T16:00:00Z in ms since the epoch.
constexpr int64_t sim_default_start = 1563120000000;

// A gate walk: stops at W0..W4 (and the exit gate W5) joined by walks along
// the pond edge. Waypoints: W0 start of the pond walk, W1 first entry-gate
// pole (left of the course when counterclockwise), W2 upstream course point,
// W3 second entry-gate pole, W4 downstream course point, W5 exit gate.
struct walk_options {
    sim_course course;
    uint64_t seed = 1;
    int64_t start_time = sim_default_start; // ms since the epoch (UTC) of the first sample
    double rate = 5.0; // Hz, 1 to 25
    sim_noise noise;
    double pond_length = 60.0; // m along the course, 40 to 80 (C to A)
    double pond_width = 20.0; // m, pole to pole at the entry gate (B to D)
    double upstream = 15.0; // m of pond upstream of the entry gate (C at x = -upstream)
    double start_angle = 45.0; // degrees round the pond from A to W0 (0 = at A, 90 = at the first pole)
    double stop_time = 10.0; // s standing still at each waypoint
    double walk_speed = 1.35; // m/s, 1.2 to 1.5
    double lead_time = 4.0; // s recorded before the first stop (walker arriving at W0)
    double tail_time = 3.0; // s recorded after the last stop
    double carry_height = 1.0; // m, logger above the ground while standing or walking
    bool clockwise = false; // walk the pond clockwise (seen from above)
    bool exit_gate = true; // stop at an exit gate W5 after W4
    bool exit_gate_right = false; // exit gate on the -y side (speed course turning right)
    vec2 exit_gate_offset { 0, 0 }; // m, W5 minus the nominal exit gate (course frame x, y)
};

// The survey puts its z = 0 one metre below the logger's mean height at the
// frame points; with carry_height 1 m that is the ground, and a survey of the
// walk gives `matrix` to within the GPS jitter.
struct walk_truth {
    frame_matrix matrix {}; // ECEF -> course frame, built with the project's geometry
    double theta = 0; // radians, the speed-course angle the survey should find
    bool has_exit_gate = false;
    std::array<vec3, 6> waypoints {}; // course frame m (logger height), W0..W5; W5 zero without exit gate
    std::array<vec3, 6> waypoints_wgs84 {}; // lat deg, lon deg, hMSL m of the same points
    std::array<int64_t, 6> stop_start {}; // ms since the epoch, start of standing at each waypoint (0 = none)
    std::array<int64_t, 6> stop_end {}; // ms since the epoch, end of standing
    std::vector<vec3> pond; // course frame m: the walked edge W0..W4 about every metre,
                            // closed (first point repeated) and ended by an all-zero point
    vec3 exit_gate_nominal {}; // course frame m: the nominal exit gate the survey compares with
};

struct sim_walk {
    std::vector<gps_point> samples; // raw fields only (time ms UTC, wgs84, vel_ltp, accuracies)
    walk_truth truth;
};

// A whole jump ending in a swoop on the course.
struct swoop_options {
    sim_course course; // the same course as the gate walk
    double theta = 0; // radians, the course's speed-carve angle (walk_truth::theta)
    uint64_t seed = 1;
    int64_t start_time = sim_default_start; // ms since the epoch (UTC) of the first sample
    double rate = 5.0; // Hz, 1 to 25
    sim_noise noise;

    // Aircraft and freefall.
    double ground_time = 20.0; // s standing before the takeoff roll (log starts on the ground)
    double climb_start = 0.0; // m above ground where the log starts in the climbing aircraft; 0 = whole climb
    double exit_height = 1200.0; // m above ground at the exit (over 2500 ft)
    double climb_rate = 6.0; // m/s aircraft climb
    double jump_run = 20.0; // s of level jump run before the exit
    bool false_start = false; // the aircraft dips, then climbs on before the real exit
    double freefall_time = 6.0; // s from exit to deployment
    double opening_time = 4.0; // s of canopy opening

    // Canopy flight down to the turn.
    double canopy_speed = 10.0; // m/s horizontal, before the turn (8 to 12)
    double canopy_sink = 6.0; // m/s descent while losing height above the pattern
    double approach_sink = 3.5; // m/s descent on the final approach leg
    double approach_time = 15.0; // s of straight approach before the turn

    // The swoop.
    double turn_degrees = 270.0; // size of the diving turn, 90 to 630 and more
    bool right_turn = true; // clockwise seen from above
    double turn_height = 170.0; // m above ground (logger) where the turn starts
    double peak_descent = 25.0; // m/s, highest descent rate (20 to 30)
    double rollout_height = 45.0; // m lost from the peak descent to level flight
    double entry_speed = 28.0; // m/s horizontal at the entry gate (25 to 32)
    double entry_y = 0.0; // m, run-frame y where the entry-gate line is crossed; beyond
                          // 15 m the gate is missed (e.g. 300 for a swoop flown without a gate)
    double skim_height = 1.0; // m, feet above the surface in the level run (0.5 to 2)
    double carry_height = 1.0; // m, logger above the feet
    double drag_length = 200.0; // m, speed decay length of the level run: dv/dt = -v^2 / drag_length
    double flare_speed = 12.0; // m/s where the pilot settles onto the surface
    bool carve = false; // fly the curved 75-degree speed course after the entry gate
    bool carve_right = false; // the speed course turns toward -y
    bool reverse = false; // fly the course from +x to -x of the course frame
    double stand_time = 10.0; // s standing after the stop
    double walk_away = 0.0; // s walking away after standing (0 = none)

    // Wind and the landing pattern (wind_sim.h); both off by default.
    sim_wind wind;
    sim_pattern pattern;
    bool record_motion = false; // keep the true motion every 10 ms (sim_swoop::motion)
};

struct swoop_truth {
    frame_matrix course_matrix {}; // ECEF -> course frame (as the survey builds it)
    frame_matrix run_matrix {}; // ECEF -> run frame (course frame turned by run_rotation)
    double run_rotation = 0; // radians: pi for a reversed run plus theta for a carve
    // Times in ms since the epoch (the samples' clock; a sample's own time may
    // read 1 ms early, as the reader truncates the text), 0 = did not happen.
    int64_t takeoff_time = 0; // start of the takeoff roll
    int64_t false_start_time = 0; // start of the aircraft's dip
    int64_t plane_exit_time = 0; // the jumper leaves the aircraft
    int64_t deployment_time = 0; // canopy opening starts
    int64_t pattern_entry_time = 0; // first below 2500 ft above the ground (logger height)
    int64_t top_of_turn_time = 0; // the diving turn starts
    int64_t max_descent_time = 0; // peak descent rate: the turn ends, the rollout starts
    int64_t bottom_time = 0; // descent rate falls to 1.25 m/s: levelled out
    int64_t touchdown_time = 0; // feet on the surface
    int64_t stop_time = 0; // horizontal speed under 2 mph after touchdown
    int64_t end_time = 0; // last sample time
    double turn_degrees = 0; // signed heading change of the turn, + = right-hand
    double max_descent_rate = 0; // m/s
    double max_horizontal_speed = 0; // m/s, highest horizontal speed after the turn
    vec3 bottom_pos {}; // run frame m at bottom_time
    // Entry gate: the run-frame line x = 0.
    bool entry_gate = false; // crossed within 15 m of the centre
    int64_t entry_gate_time = 0; // ms
    double entry_gate_speed = 0; // m/s horizontal
    double entry_gate_y = 0; // m, run frame
    // Exit gate of the speed course (carve runs only).
    bool exit_gate = false;
    int carve_direction = 0; // 1 = +y course, 0 = -y course
    int64_t exit_gate_time = 0; // ms
    double exit_gate_speed = 0; // m/s horizontal
    double exit_gate_x = 0; // m, run-frame x of the crossing of the exit-gate line
    // Touchdown and stop.
    double touchdown_speed = 0; // m/s horizontal
    double touchdown_x = 0; // m, run frame
    vec3 stop_pos {}; // run frame m
    sim_wind_truth wind; // the wind and the true airspeeds (with sim_wind::on)
};

// The true motion at one moment, in the run frame (see sensor_sim.h).
struct sim_motion {
    int64_t time; // ms since the epoch (UTC)
    vec3 pos; // m, run frame
    vec3 vel; // m/s, run frame
    double heading; // degrees clockwise from +x, unwound
};

struct sim_swoop {
    std::vector<gps_point> samples; // raw fields only (time ms UTC, wgs84, vel_ltp, accuracies)
    swoop_truth truth;
    std::vector<sim_motion> motion; // every 10 ms when swoop_options::record_motion is set
};

sim_walk generate_walk(const walk_options& options);
sim_swoop generate_swoop(const swoop_options& options);

// The course frame of a course: ECEF -> local, origin at the gate centre on the ground.
frame_matrix sim_course_matrix(const sim_course& course);

// The two logger dialects.
enum class sim_dialect {
    field_names, // header line, units line, CR LF, columns
                 // time,lat,lon,hMSL,velN,velE,velD,hAcc,vAcc,sAcc,heading,cAcc,gpsFix,numSV
    records, // "$" header lines, "$COL,GNSS,..." then "$GNSS,..." rows, LF
};

// The text of a track file. Values are printed with the logger's precision;
// the generators already round every sample to it, so reading the text back
// gives the same samples.
std::string format_track(const std::vector<gps_point>& samples, sim_dialect dialect);

// Writes a track file, a walk or swoop truth file. False with *err (an errmsg
// text) when the file cannot be written.
bool write_track(
    const char* path, const std::vector<gps_point>& samples, sim_dialect dialect, const char** err);
std::string walk_truth_json(const walk_truth& truth);
std::string swoop_truth_json(const swoop_truth& truth);
bool write_text_file(const char* path, const std::string& text, const char** err);

// "2019-07-14T16:02:31.400Z" for a time in ms since the epoch (UTC).
std::string sim_time_text(int64_t ms);

// The bundled examples (examples/ in the source tree): a gate walk with an
// exit gate and three swoops on its course, each with its truth file.
struct sim_file {
    std::string name; // file name, e.g. "gate-walk.csv"
    std::string text; // its exact content
};
std::vector<sim_file> bundled_examples();

// The swoops of the bundled examples, for benchmarks and tests that fly them
// (or others like them) on a course: `course` and its speed-course angle
// `theta` (radians). Their logs start late in the climb, which keeps the files
// small, at sim_default_start (the bundled files start an hour apart).
enum class sim_example {
    right_270, // 270 degrees to the right
    left_450, // 450 degrees to the left, after a false start; walks away at the end
    carve, // 270 degrees to the left onto the curved speed course
};
// What every example swoop shares; other turns can be flown from it.
swoop_options example_swoop_base(const sim_course& course, double theta);
swoop_options example_swoop(const sim_course& course, double theta, sim_example which);
