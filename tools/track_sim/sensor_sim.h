// SPDX-License-Identifier: GPL-3.0-or-later
// The logger's sensor file (SENSOR.CSV) for a simulated track, and the GPS
// height and vertical-speed errors that make the barometer worth having.
//
// The model, per run (all drawn from the seed unless given):
// - Atmosphere: a polytropic atmosphere off the standard one, ground
//   temperature 288.15 K +-15 K, lapse rate 5 to 8 K/km, ground pressure
//   99000 to 103000 Pa that drifts with the weather (a tendency of up to
//   0.02 Pa/s and a random walk of 0.1 Pa per square-root second).
// - Sensor: white noise of 1 Pa, a first-order lag of 0.07 to 0.13 s, a zero
//   that moves by up to 1 Pa per kelvin of the logger's temperature (25 deg C
//   in the aircraft, settling toward the air's over two minutes after exit),
//   and a fixed zero error of up to 50 Pa.
// - Airflow: the static pressure reads c rho V^2 / 2 low at airspeed V (still
//   air: the GPS velocity), so the barometric height reads c V^2 / 2g high.
//   c is drawn per jump in +-0.05 and varies by +-30% with attitude: with
//   the canopy's bank and dive angle in flight (a sensitivity to each drawn
//   per jump), with one drawn attitude in freefall; in the aircraft the cabin
//   has a coefficient of its own, 0 to -0.05.
// - Clock: the device clock counts seconds since power-on (5 to 30 s before
//   the first fix), drifts by up to +-5 ppm; TIME rows at every whole second
//   carry week and time of week on the UTC clock (or on GPS time, 18 s
//   ahead, if asked) and are off the track by a clock offset of up to
//   +-0.2 s, with a millisecond of jitter.
// - GPS (added to the track's samples): a height error that is a
//   Gauss-Markov process with sigma 0.6 vAcc and a time constant drawn in
//   20 to 60 s, and a velD error that is one with sigma sAcc and tau 1 s.
// - Rows: BARO and MAG at 10 Hz, IMU at 12.5 Hz, HUM, VBAT and TIME at 1 Hz,
//   interleaved by device time, each time with up to 2 ms of jitter.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tools/track_sim/track_sim.h"

struct sensor_options {
    uint64_t seed = 1;
    double coefficient = std::numeric_limits<double>::quiet_NaN(); // per-jump c; NaN = drawn in +-0.05
    double clock_offset = std::numeric_limits<double>::quiet_NaN(); // s; NaN = drawn in +-0.2
    bool gps_time = false; // TIME rows on GPS time (18 s ahead of UTC)
    bool gps_errors = true; // add the GPS height and velD errors to the track
    bool barometer_errors = true; // false: a perfect barometer in the standard atmosphere
};

struct sensor_truth {
    std::vector<int64_t> sample_time; // ms since the epoch of each track sample
    std::vector<double> sample_height; // m, true logger hMSL at each track sample
    std::vector<double> baro_time; // ms since the epoch (UTC), true time of each BARO row
    std::vector<double> baro_height; // m, true logger hMSL at each BARO row
    double coefficient = 0; // the jump's c
    double clock_offset = 0; // s, true time minus the TIME rows' time
    double lag = 0; // s, the barometer's time constant
    double temperature_offset = 0; // K off the standard ground temperature
    double lapse_rate = 0; // K/m
    double gps_height_tau = 0; // s
};

struct sim_sensor {
    std::string text; // the sensor file
    sensor_truth truth;
};

// The sensor file for a swoop generated with swoop_options::record_motion;
// with gps_errors the swoop's samples get their errors in place.
sim_sensor simulate_swoop_sensor(sim_swoop& s, const swoop_options& o, const sensor_options& so);

// The same for a gate walk (the walker carries the logger at carry_height).
sim_sensor simulate_walk_sensor(sim_walk& w, const walk_options& o, const sensor_options& so);

// The truth beside the sensor file: the run's draws on a comment line, then
// "kind,time,height" lines, one per track sample ("sample", ms since the
// epoch) and per BARO row ("baro", its true time in ms), with the true
// logger height (m, hMSL).
std::string sensor_truth_csv(const sensor_truth& t);
