// SPDX-License-Identifier: GPL-3.0-or-later
// One track sample and the growing sample array the logger readers fill.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/geometry/vec_types.h"

struct gps_point {
    // Raw fields, read from the logger file (and stored in containers).
    int64_t time; // ms: seconds since the epoch x 1000 + ms; the logger's UTC clock taken as local time
    vec3 pos_wgs84; // latitude (deg, north +), longitude (deg, east +), height hMSL (m)
    vec3 vel_ltp; // velocity north, east, down (m/s)
    float hacc; // horizontal accuracy estimate (m)
    float vacc; // vertical accuracy estimate (m)
    float sacc; // speed accuracy estimate (m/s)
    uint8_t gpsfix; // fix type; 0 when the file has no gpsFix column
    uint8_t numsv; // number of satellites used

    // Derived fields, filled by the geometry and the swoop analysis.
    vec3 pos_ecef; // ECEF position (m)
    vec3 pos_local; // local course frame position (m): x along the course, y left, z up
    vec3 vel_ecef; // ECEF velocity (m/s)
    vec3 vel_local; // local course frame velocity (m/s)
    vec3 acc_local; // local course frame acceleration (m/s^2)
    double dive_angle; // degrees below the horizontal, positive descending
    double heading; // degrees, 0 to below 360, clockwise from local +x
    double turn_angle; // degrees of heading change since the previous sample
    double turn_rate; // degrees per second
};

// The array a text reader grows. gps_points.size() is the allocated capacity;
// count samples are in use. Capacity starts at 4096 and doubles.
struct gps_track {
    std::vector<gps_point> gps_points;
    uint32_t count = 0;
    uint32_t capacity = 0;
};

// Makes room for one more sample and returns the slot at index count (not yet
// counted; the caller increments count once the slot is filled). Every new
// slot is zeroed. On allocation failure sets *err to "failed to realloc
// gps_points" and returns nullptr.
gps_point* gps_track_append(gps_track& track, const char** err);

// Sets aside storage for about `samples` samples without changing count or
// capacity, so that doubling the capacity later neither moves nor re-touches
// the samples read so far. Only a hint: nothing happens when the storage
// cannot be had.
void gps_track_reserve(gps_track& track, size_t samples);

// Frees the samples and resets the track to empty.
void gps_track_clear(gps_track& track);
