// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/track/track_frames.h"

#include <vector>

#include <gtest/gtest.h>

#include "core/geometry/geodetic.h"

namespace {

void expect_vec_near(const vec3& got, const vec3& want, double tol)
{
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(got[k], want[k], tol) << "component " << k;
}

} // namespace

TEST(track_frames, conversions_and_speeds)
{
    std::vector<gps_point> track(2);
    track[0].pos_wgs84 = { 47.5, 8.25, 500 };
    track[0].vel_ltp = { 3, 4, 12 };
    track[1].pos_wgs84 = { 47.5001, 8.2502, 401 };
    track[1].vel_ltp = { -1, 0, 0 };
    track_to_ecef(track.data(), 1); // only the first sample
    expect_vec_near(track[0].pos_ecef, vec3 { 4272529.118923035, 619487.239620917, 4679866.384654880 }, 1e-6);
    EXPECT_EQ(track[1].pos_ecef, (vec3 { 0, 0, 0 }));
    track_to_ecef(track.data(), 2);

    // A frame that is north, west, up at the first sample: x = vN, y = -vE, z = -vD.
    const vec3 o = track[0].pos_ecef;
    const vec3 north = ned_to_ecef_velocity(track[0].pos_wgs84, { 1000, 0, 0 });
    vec3 rows[3];
    frame_from_points(
        wgs84_to_ecef({ 47.5, 8.25, 600 }), o, { o[0] + north[0], o[1] + north[1], o[2] + north[2] }, rows);
    track_to_local(track.data(), 2, frame_matrix_from_rows(rows, o));
    expect_vec_near(track[0].pos_local, { 0, 0, 0 }, 1e-8);
    expect_vec_near(track[0].vel_local, { 3, -4, -12 }, 1e-9);
    EXPECT_NEAR(horizontal_speed(track[0]), 5.0, 1e-9);
    EXPECT_NEAR(total_speed(track[0]), 13.0, 1e-9);
    EXPECT_NEAR(track[1].pos_local[0], 11.118778244, 1e-3); // 0.0001 deg north
}
