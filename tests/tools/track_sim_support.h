// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers for the simulator's tests: samples in a local frame.
#pragma once

#include <cmath>
#include <vector>

#include "core/geometry/geodetic.h"
#include "core/track/gps_point.h"
#include "core/track/track_frames.h"

// The samples with pos_local and vel_local filled in the frame m.
inline std::vector<gps_point> in_frame(std::vector<gps_point> samples, const frame_matrix& m)
{
    track_to_ecef(samples.data(), static_cast<uint32_t>(samples.size()));
    track_to_local(samples.data(), static_cast<uint32_t>(samples.size()), m);
    return samples;
}

inline double horizontal(const vec3& v)
{
    return std::hypot(v[0], v[1]);
}

// Time step between two samples on the logger's grid of the given rate (s):
// the reader may take a millisecond off a time, the position is the grid's.
inline double grid_step(const gps_point& a, const gps_point& b, double rate)
{
    return std::round(static_cast<double>(b.time - a.time) * rate / 1000.0) / rate;
}

// Largest gap between the velocity implied by two neighbouring positions and
// the mean of the two velocities the logger reports (m/s).
inline double velocity_mismatch(const std::vector<gps_point>& s, double rate)
{
    double worst = 0;
    for (size_t k = 1; k < s.size(); ++k) {
        double dt = grid_step(s[k - 1], s[k], rate);
        for (size_t a = 0; a < 3; ++a) {
            double from_pos = (s[k].pos_local[a] - s[k - 1].pos_local[a]) / dt;
            double reported = (s[k].vel_local[a] + s[k - 1].vel_local[a]) / 2.0;
            worst = std::max(worst, std::fabs(from_pos - reported));
        }
    }
    return worst;
}

// Largest acceleration between neighbouring samples (m/s^2).
inline double max_acceleration(const std::vector<gps_point>& s, double rate)
{
    double worst = 0;
    for (size_t k = 1; k < s.size(); ++k) {
        double dt = grid_step(s[k - 1], s[k], rate);
        double ax = (s[k].vel_local[0] - s[k - 1].vel_local[0]) / dt;
        double ay = (s[k].vel_local[1] - s[k - 1].vel_local[1]) / dt;
        double az = (s[k].vel_local[2] - s[k - 1].vel_local[2]) / dt;
        worst = std::max(worst, std::sqrt(ax * ax + ay * ay + az * az));
    }
    return worst;
}

// Index of the first sample at or after time t (ms).
inline size_t sample_at(const std::vector<gps_point>& s, int64_t t)
{
    size_t k = 0;
    while (k + 1 < s.size() && s[k].time < t)
        ++k;
    return k;
}
