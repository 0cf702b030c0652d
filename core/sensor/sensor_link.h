// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor file put on the track's clock.
//
// Track times are the logger's UTC reading converted as a local time of this
// machine; turning them back through the local-time breakdown gives true UTC.
// The sensor file's TIME rows map its device clock to GPS week and time of
// week. The loggers seen so far write them on the UTC clock (no 18 s leap
// seconds), but that is confirmed, not assumed: the barometer's vertical
// speed is matched against the track's velD over +-20 s of offset. The
// best match must lie within 1 s of the TIME rows' mapping, and must fit
// clearly better (half the mean square mismatch) than the mapping shifted by
// 18 s either way; otherwise the file has no usable time reference. The
// matched offset, which also takes up the barometer's lag, is the one used.
//
// The barometer's speed is not the climb rate alone: it reads (1 + s) times
// it (a non-standard atmosphere) plus c times the rate of change of V^2 / 2g
// (the airflow at the logger). Left in, the airflow term follows the
// vertical acceleration through the dive and the opening and moves the
// match by about 1.4 s per unit of c, a few hundredths of a second. So at
// every offset the scale and one airflow coefficient per flight regime are
// fitted by least squares and only the rest counts as mismatch, and the
// stretches where the coefficient jumps are left out: from 2 s before the
// exit is seen (the logger leaves the cabin's pressure) to 1 s after, and the
// opening. On simulated jumps the matched offset is then off by 0.03 s RMS
// (the velD errors), with no lean that follows c.
#pragma once

#include <cstdint>
#include <vector>

#include "core/sensor/sensor_file.h"
#include "core/track/gps_point.h"

// What the logger is doing at each track sample, as the GPS velocities tell:
// in the aircraft (before the exit), in freefall (from a downward
// acceleration of over 6 m/s^2 more than 500 m above the landing until the
// descent has slowed by 5 m/s), under the opening canopy (the next 3 s) and
// under the flying canopy (from then on, and the whole track when no exit
// is seen). The airflow at the barometer differs in each.
enum class flight_regime : uint8_t { aircraft, freefall, opening, canopy };
std::vector<flight_regime> flight_regimes(
    const gps_point* track, const std::vector<double>& time, uint32_t count);

struct sensor_link {
    double utc_start = 0; // s since 1970 (true UTC) of the track's first sample
    double offset = 0; // s added to the TIME rows' mapping (the matched offset)
    double match = 0; // m/s, RMS of barometric minus GPS vertical speed at the offset
    double match_shifted = 0; // m/s, the same at the offset moved by 18 s (the better side)
    std::vector<double> track_time; // s since the first sample, per track sample (true UTC)
    std::vector<flight_regime> regime; // per track sample
    std::vector<double> baro_time; // s since the track's first sample, per BARO row
    std::vector<double> baro_height; // m, standard-atmosphere height of each BARO row
};

// Longest stretch of the track (s) that may lack barometer rows at either end.
constexpr double sensor_cover_slack = 30.0;

// Seconds since 1970, true UTC, of a track time (ms, the logger's UTC reading
// taken as local time).
double track_time_utc(int64_t time_ms);

// Standard-atmosphere height (m) of a pressure (Pa).
double pressure_height(double pressure);

// Puts the sensor file on the track's clock. Failures: "sensor file does not
// cover the swoop" (the BARO rows start more than 30 s after the first sample,
// end more than 30 s before the last, or break off for more than 30 s
// between), "sensor file has no usable time reference" (the match refuses
// the TIME rows' mapping).
void sensor_link_track(
    const gps_point* track, uint32_t count, const sensor_file& sensor, sensor_link& out, const char** err);
