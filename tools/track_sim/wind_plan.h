// SPDX-License-Identifier: GPL-3.0-or-later
// The moving air, the pilot's airspeed wander and the landing pattern, as the
// swoop generator uses them (wind_sim.cpp). See wind_sim.h for what they
// simulate.
#pragma once

#include <cstdint>
#include <vector>

#include "core/geometry/vec_types.h"
#include "tools/track_sim/sim_internal.h"
#include "tools/track_sim/track_sim.h"

namespace sim_detail {

// When the air holds the jumper (ms from the start of the log).
struct air_times {
    int64_t end = 0; // last millisecond of the log
    int64_t takeoff = -1; // start of the takeoff roll; -1 = the log starts in the air
    int64_t touchdown = 0; // feet on the surface
    int64_t release = 500; // ms over which the ground takes over from the air after touchdown
    int64_t canopy_from = 0; // canopy flight before the diving turn: from the end of the opening
    int64_t canopy_to = 0; // to the start of the diving turn
};

// The air in the run frame, and what it does to the planned motion in the
// planning frame (the run frame turned back by the rotation that lines the
// run up with the course). Gusts and the airspeed wander are tabulated every
// 100 ms and read back by linear interpolation, so a millisecond costs no
// trigonometry.
class air_model {
public:
    air_model(const swoop_options& o, const air_times& times);

    // m/s in the run frame: the mean wind (set by the generator once the run
    // frame is known) and the air's velocity at n ms (mean plus gusts).
    void set_mean(const vec2& run) { mean_ = run; }
    const vec2& mean() const { return mean_; }
    vec2 air_run(int64_t n) const;

    // Radians (counterclockwise) from the planning frame to the run frame.
    void set_rotation(double radians);

    // m/s, planning frame: what the air adds to the ground velocity at n ms
    // (nothing on the ground, all of it in flight; nothing at all while
    // drifting is off).
    vec2 drift(int64_t n) const;
    void set_drifting(bool on) { drifting_ = on; }
    // m, planning frame: how far the air has carried the jumper from the
    // start to n ms (the integral of drift with drifting on).
    vec2 carried(int64_t n) const;
    // m/s added to the plan's horizontal speed through the air at n ms.
    double airspeed_change(int64_t n) const;

private:
    static double table_value(const std::vector<double>& table, int64_t n);
    double hold(int64_t n) const; // 0 on the ground .. 1 in flight

    air_times times_;
    vec2 mean_ {};
    double cos_ = 1, sin_ = 0; // of the rotation
    bool drifting_ = true;
    std::vector<double> gust_x_, gust_y_; // m/s, run frame, every 100 ms
    std::vector<double> wander_; // m/s, every 100 ms
};

// Fills the wind truth as the generator integrates the jump.
class wind_recorder {
public:
    wind_recorder(const air_model& air, sim_wind_truth& truth, int64_t turn_ms, int64_t peak_ms);
    // Every millisecond n of the run-frame motion; `stopped` once the pilot has stopped.
    void see(int64_t n, const vec3& pos, const vec3& vel, bool stopped);
    // The logger kept the sample of the millisecond seen last.
    void sample_kept() { truth_.airspeed.push_back(airspeed()); }
    // Degrees, unwound direction of the ground track at the millisecond seen last.
    double ground_heading() const { return ground_heading_; }

private:
    const air_model& air_;
    sim_wind_truth& truth_;
    double airspeed() const; // m/s at the millisecond seen last
    int64_t turn_ms_, peak_ms_;
    bool started_ = false, gate_done_ = false;
    int64_t n_ = 0; // the millisecond seen last
    vec2 vel_ {}; // m/s, run frame, at n_
    double prev_airspeed_ = 0; // m/s
    double prev_x_ = 0; // m
    vec2 prev_vel_ {}; // m/s
    double ground_heading_ = 0; // degrees clockwise from +x, unwound
};

// The canopy flight from t_hold for `hold` seconds in the landing pattern:
// the turn into the downwind leg (after circles when asked), downwind, the
// turn onto base, base, and the turn onto the final heading, which ends at
// t_hold + hold. Headings in degrees clockwise from +x; `hand` is +1 for
// right-hand (clockwise) pattern turns, -1 for left-hand ones. Adds its turns
// to the turn-rate channel; throws std::invalid_argument when the legs do not
// fit.
void plan_pattern(const sim_pattern& o, channel& turn, double t_hold, double hold, double heading_start,
    double final_heading, double hand);

// Stretches of poor velocity in the canopy flight between two times (ms
// since the epoch): the logger reports a large sAcc and velocities off by
// about as much.
void spoil_canopy_velocities(
    std::vector<gps_point>& samples, int64_t from, int64_t to, double rate, double chance, uint64_t seed);

// The wind's velocity (north, east, m/s) for a speed and the direction it blows from (degrees true).
vec2 wind_north_east(double speed, double from);

} // namespace sim_detail
