// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/track/track_frames.h"

#include <cmath>

#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"

void track_to_ecef(gps_point* points, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        gps_point& p = points[i];
        p.pos_ecef = wgs84_to_ecef(p.pos_wgs84);
        p.vel_ecef = ned_to_ecef_velocity(p.pos_wgs84, p.vel_ltp);
    }
}

void track_to_local(gps_point* points, uint32_t count, const frame_matrix& m)
{
    for (uint32_t i = 0; i < count; ++i) {
        gps_point& p = points[i];
        p.pos_local = transform_point(m, p.pos_ecef);
        p.vel_local = transform_vector(m, p.vel_ecef);
    }
}

double horizontal_speed(const gps_point& p)
{
    const vec3& v = p.vel_local;
    return std::sqrt(v[0] * v[0] + v[1] * v[1]);
}

double total_speed(const gps_point& p)
{
    const vec3& v = p.vel_local;
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}
