// SPDX-License-Identifier: GPL-3.0-or-later
// The wind, estimated from the canopy flight before the swoop, and the
// airspeeds it gives.
//
// Model. Under canopy, from `pattern_entry` to `top_of_turn` (both
// included), the pilot flies the landing pattern at a nearly constant
// airspeed on changing headings. For every sample i of that window, in the
// horizontal plane of the swoop's local frame (x, y of vel_local, m/s):
//
//     g_i = V (cos a_i, sin a_i) + w + e_i
//
//   g_i   the ground velocity the logger reports;
//   w     the wind, (w_x, w_y) m/s, constant over the window (unknown);
//   V     the horizontal airspeed, m/s, constant over the window (unknown);
//   a_i   the heading through the air, a nuisance eliminated by the
//         geometric residual r_i = |g_i - w| - V: the ground velocities lie
//         on a circle of radius V about w;
//   e_i   the error of the sample, taken along the circle's radius with
//         variance s_i^2 = sAcc_i^2 + q^2:
//         - sAcc_i, the logger's own 1-sigma speed accuracy of the sample
//           (a sample without one counts as 0 m/s);
//         - q = 0.5 m/s, assumed: what the airspeed of a canopy flown
//           without input and the gusts of a light to moderate wind add,
//           sample to sample. It only sets how much more a sample of good
//           sAcc counts than one of poor; the spread of the fit is measured
//           on the residuals themselves (below).
//
// Fit. The algebraic circle fit (linear in w_x, w_y and V^2 - |w|^2) starts
// an iteratively reweighted least-squares fit of the geometric residuals
// (Gauss-Newton on w_x, w_y, V). Each sample weighs 1 / s_i^2 times a robust
// weight of its residual in units of s_i, scaled by the residuals' median
// absolute deviation: Huber's (k = 1.345) for the first iterations, then
// Tukey's biweight (c = 4.685), which gives no weight at all to what the model
// does not describe: the opening's surge, the first samples of the turn,
// gusts beyond the usual and stretches of poor velocity.
//
// Uncertainty. Residuals of neighbouring samples are not independent: a gust
// or an airspeed change lasts seconds. The covariance of (w_x, w_y, V) is the
// sandwich H^-1 S H^-1 (J_i the residual's gradient, w_i the final weight):
// H = sum of w_i J_i J_i^T, and S = the sum over all pairs of samples of
// exp(-|t_i - t_k| / 4 s) c_i c_k^T, c_i = w_i r_i J_i, the residuals' own
// products correlated over 4 s (gusts last 4 to 15 s), scaled by
// n / (n - 3) for the three unknowns. The 4 s are what makes the 1-sigma
// cover the speed error on two simulated jumps in three (winds 0 to 8 m/s
// from every direction, gusts of 0.15 to 0.6 m/s, 0.2 m/s of airspeed
// wander, stretches of poor sAcc; 61% to 73% on sets of 100 jumps). The
// 1-sigma of the wind speed is the covariance's spread along the wind, that
// of the direction the spread across it over the speed (at most 90 degrees).
//
// Direction. The fit runs in the frame the samples are in (vel_local); the
// wind is turned into north and east through the frame matrix (local to
// ECEF) and the north and east of the mid-window sample's latitude and
// longitude, so any frame (a surveyed gate, another swoop's, the swoop's
// own) gives the same true direction.
//
// No estimate: fewer than 20 samples in the window ("too few samples under
// canopy"); headings of the ground track (samples moving at 1 m/s or more)
// spanning less than 90 degrees ("too little change of heading"); a fit that
// finds no airspeed between 2 and 40 m/s ("no steady airspeed under canopy").
#pragma once

#include <cstdint>

#include "core/geometry/vec_types.h"
#include "core/swoop/swoop.h"

struct wind_estimate {
    bool present = false; // false: no estimate, see reason
    const char* reason = ""; // why there is none (a static text), "" with an estimate
    vec2 local {}; // m/s, velocity of the air over the ground, local frame x and y
    double speed = 0; // m/s
    double from = 0; // degrees true the wind blows from, [0, 360)
    double speed_sigma = 0; // m/s, 1-sigma of the speed
    double from_sigma = 0; // degrees, 1-sigma of the direction
    double airspeed = 0; // m/s, horizontal airspeed fitted over the window
    double airspeed_sigma = 0; // m/s, its 1-sigma
    uint32_t first = 0; // window: pattern_entry
    uint32_t last = 0; // window: top_of_turn
    uint32_t samples = 0; // samples in the window the fit could use
    uint32_t weighted = 0; // of these, those the robust fit kept (weight above 0)
    double heading_span = 0; // degrees covered by the ground-track headings in the window
};

// Fits the wind over the window of an analysed swoop. Never fails: without
// an estimate `present` is clear and `reason` says why.
wind_estimate swoop_wind_estimate(const swoop& s);

// m/s: the horizontal airspeed of a sample, the norm of x and y of
// (vel_local - wind); 0 without an estimate.
double sample_airspeed(const gps_point& p, const wind_estimate& w);

// m/s: the horizontal airspeed at the entry-gate crossing, interpolated in
// x at x = 0 between the samples entry_gate and entry_gate + 1, as the entry
// gate speed is; 0 without an entry gate or without an estimate.
double swoop_entry_gate_airspeed(const swoop& s, const wind_estimate& w);

// m/s: the highest horizontal airspeed from rollout to stop (both included),
// with its sample in *at when at is not null (the first of equal maxima);
// 0 (and *at 0) without an estimate or without those phases.
double swoop_max_horz_airspeed(const swoop& s, const wind_estimate& w, uint32_t* at);
