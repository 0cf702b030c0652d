// SPDX-License-Identifier: GPL-3.0-or-later
// Heights from GPS and the logger's barometer together: an extended Kalman
// filter over the whole track with a Rauch-Tung-Striebel smoother behind it.
//
// One step per track sample (time t_i, true UTC). The barometer, about
// 10 Hz, is interpolated linearly to the sample's time between the two BARO
// rows around it (no step where they are more than 1 s apart or missing).
//
// States (units):
//   h    logger height on the GPS height datum (hMSL), m
//   v    vertical velocity, up, m/s
//   a    vertical acceleration, up, m/s^2
//   o    barometer offset: barometric minus true height at the reference, m
//   s    barometer scale error (a non-standard atmosphere), dimensionless
//   k    barometer curvature: the rest of the pressure-height relation, m per km^2
//   c    static-pressure coefficient: the barometer reads c V^2 / 2g high at
//        airspeed V, dimensionless (a fraction of the dynamic pressure)
//   cb   its change with the canopy's bank: + cb sin(bank), dimensionless
//   cd   its change with the dive angle: + cd sin(dive), dimensionless
//   ev   velD error, m/s
//   eh   GPS height error, m
//   dt   what is left of the barometer's timing after sensor_link's match, s
//        (the barometer reads the height of dt seconds later)
//
// Motion: h, v, a integrate a white vertical jerk of spectral density
// 50 m^2/s^5 (a canopy's rollout changes its vertical acceleration by about
// 7 m/s^2 within a second). o is a random walk of 1e-4 m^2/s (weather moves
// the pressure at the ground by a hectopascal or two in three hours, about
// 1.5 mm/s, and the sensor's temperature moves its zero by some pascals as the
// logger leaves the aircraft). s, k, cb and cd are constants. c is a random
// walk of 1e-6 per second: beyond what bank and dive angle explain, the
// coefficient drifts with the pilot's posture, about 0.01 over a canopy
// flight of two minutes, so the opening, the dive and the run all tell of
// the c at the gate. Before the canopy has opened (in the aircraft and in
// freefall, flight_regimes in sensor_link.h) o and c walk by 1 m^2/s and
// 1e-3 per second: a cabin has a pressure of its own and the freefall
// another attitude, so neither says anything of the canopy. ev is a
// Gauss-Markov process with sigma = sAcc and tau = 1 s, eh one with
// sigma = vAcc and tau = 60 s (sigmas as the receiver's own accuracy fields
// give them; GPS height errors stay correlated for 20 to 60 s, and the long
// end is taken: a shorter tau would claim fresh height information every
// half minute that the receiver does not give, and settle c on it).
//
// Priors: h, o within 50 m; v within 10 m/s; a within 5 m/s^2; s within 5%
// (plus or minus 15 K off the standard atmosphere); k within 3 m/km^2 (a
// lapse rate 1.5 K/km off the standard one bends the relation by about
// 2.6 m at 1.2 km); c within 0.03 (coefficients of up to 0.05 either way;
// 0.05 is 2 m at 28 m/s); cb, cd within 0.005 (30% of a coefficient's
// typical size, 0.03, times a typical share of the attitude's full effect,
// 0.6; 0.015 is the most either reaches); ev within
// sAcc, eh within vAcc; dt within 0.02 s (the velocity match is off by
// 0.03 s RMS on simulated jumps; dt v mimics cd in the dive, where V hardly
// changes, so a prior a little tighter than that keeps the two from
// trading). Bank (the bank a coordinated turn at the GPS turn rate needs)
// and dive angle come from the GPS velocities.
//
// Measurements at a sample:
//   GPS height   hMSL = h + eh                  + 0.05 m white (text rounding, receiver)
//   velD         velD = -v - ev                 + 0.05 m/s white
//   barometer    b    = o + (1 + s) u + k (u / 1 km)^2
//                         + (c + cb sin(bank) + cd sin(dive)) V^2 / 2g
//                         + dt v                + 0.1 m white (about 1 Pa of sensor noise)
// with u = h - h_ref (h_ref the last sample's GPS height) and V the sample's
// 3-D GPS speed (the air is taken as still). b is the standard-atmosphere
// height of the pressure (sensor_link.h), whose lag of about 0.1 s is taken
// out with the clock offset that sensor_link matches; dt v (linearised
// about the estimated v) takes up the rest, dt a constant.
#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <vector>

#include "core/sensor/sensor_link.h"
#include "core/swoop/swoop.h"
#include "core/track/gps_point.h"

constexpr int fusion_states = 12;
using fusion_vector = Eigen::Matrix<double, fusion_states, 1>;
using fusion_matrix = Eigen::Matrix<double, fusion_states, fusion_states>;

struct baro_fusion {
    std::vector<double> height; // m, smoothed logger height per sample, GPS height datum
    std::vector<double> sigma; // m, its 1-sigma
    std::vector<fusion_vector> state; // smoothed state per sample (order as above)
    std::vector<fusion_matrix> covariance; // smoothed covariance per sample
    std::vector<fusion_matrix> gain; // smoother gain from sample i to i + 1 (last: zero)
};

// Fuses a track with its linked sensor file (sensor_link_track). The only
// failure is "barometric height estimate failed" (the filter lost its
// covariance: inputs no logger writes).
void baro_fuse(
    const gps_point* track, uint32_t count, const sensor_link& link, baro_fusion& out, const char** err);

// Covariance of the smoothed states of samples i and j.
fusion_matrix baro_cross_covariance(const baro_fusion& f, uint32_t i, uint32_t j);

// The logger's height at a time between samples `before` and `before` + 1
// minus its height at sample `stop`, with that difference's 1-sigma (from the
// smoother's cross-covariances, not two independent sigmas).
struct height_above_stop {
    bool known = false; // false: no such crossing
    double height = 0; // m
    double sigma = 0; // m
};
height_above_stop baro_height_above_stop(
    const baro_fusion& f, const swoop& s, uint32_t before, int64_t time_ms, uint32_t stop);

// The entry- and exit-gate heights above the stop of an analysed swoop.
struct gate_heights {
    height_above_stop entry_gate;
    height_above_stop exit_gate;
};
gate_heights swoop_gate_heights(const swoop& s, const baro_fusion& f);

// Links the sensor file to the swoop's track (coverage included) and fuses:
// the barometer's whole part of an analysis, run once right after loading.
void swoop_baro_fuse(const swoop& s, const sensor_file& sensor, baro_fusion& out, const char** err);

// Makes the next swoop_analyse use the fused heights: the fused minus the GPS
// height of each sample is added to pos_local.z once the frame is built.
void swoop_use_baro_heights(swoop& s, const baro_fusion& f);
