// SPDX-License-Identifier: GPL-3.0-or-later
// Samples in the ECEF and local course frames, and their speeds there.
#pragma once

#include <cstdint>

#include "core/geometry/vec_types.h"
#include "core/track/gps_point.h"

// pos_ecef and vel_ecef of every sample from pos_wgs84 and vel_ltp.
void track_to_ecef(gps_point* points, uint32_t count);
// pos_local and vel_local of every sample from pos_ecef and vel_ecef.
void track_to_local(gps_point* points, uint32_t count, const frame_matrix& m);

double horizontal_speed(const gps_point& p); // m/s, from vel_local x and y
double total_speed(const gps_point& p); // m/s, |vel_local|
