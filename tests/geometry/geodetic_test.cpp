// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/geometry/geodetic.h"

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <numbers>

#include "core/geometry/vector_math.h"

namespace {

struct geo_ecef {
    vec3 geodetic; // latitude deg, longitude deg, height m
    vec3 ecef; // m
};

// Produced with GeographicLib's CartConvert (WGS84), "CartConvert -p 9",
// one geodetic point per input line; independent of the code under test.
const geo_ecef reference[] = {
    { { 0, 0, 0 }, { 6378137.000000000, 0.000000000, 0.000000000 } },
    { { 0, 90, 0 }, { 0.000000000, 6378137.000000000, 0.000000000 } },
    { { 0, -90, 0 }, { 0.000000000, -6378137.000000000, 0.000000000 } },
    { { 90, 0, 0 }, { 0.000000000, 0.000000000, 6356752.314245179 } },
    { { -90, 0, 0 }, { 0.000000000, 0.000000000, -6356752.314245179 } },
    { { 47.5, 8.25, 500 }, { 4272529.118923035, 619487.239620917, 4679866.384654880 } },
    { { -33.9, 151.2, 30 }, { -4643967.847776636, 2553042.928948853, -3537262.080258525 } },
    { { 52.2053, 0.1218, 12.5 }, { 3916933.125544839, 8326.672180810, 5016844.859626713 } },
    { { 45, -120, 9000 }, { -2261977.419939805, -3917859.816909305, 4493712.369896598 } },
    { { 60, 25, 30000 }, { 2911155.399905315, 1357494.057055126, 5526457.896052172 } },
    { { 31.5, 35.5, -420 }, { 4431128.159000219, 3160692.998778076, 3313067.568163347 } },
    { { 10, 180, 100 }, { -6281971.310378755, 0.000000000, 1100265.912553128 } },
    { { -10, -179.9999, 0 }, { -6281872.829593885, -10.963936407, -1100248.547735361 } },
    { { -0.000001, 179.999999, 2 }, { -6378138.999999998, 0.111319525, -0.110574311 } },
    { { 89.9, 45, 1500 }, { 7899.804145852, 7899.804145852, 6358242.564824684 } },
};

// Difference of two longitudes in degrees, across the antimeridian.
double lon_diff(double a, double b)
{
    double d = std::fmod(a - b, 360.0);
    if (d > 180.0)
        d -= 360.0;
    if (d < -180.0)
        d += 360.0;
    return d;
}

double dot(const vec3& a, const vec3& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void expect_orthonormal(const vec3 rows[3])
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(dot(rows[i], rows[j]), i == j ? 1.0 : 0.0, 1e-12) << i << "," << j;
    // Right-handed: x cross y = z.
    const vec3 z = vec3_cross(rows[0], rows[1]);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(z[k], rows[2][k], 1e-12);
}

void expect_vec_near(const vec3& got, const vec3& want, double tol)
{
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(got[k], want[k], tol) << "component " << k;
}

} // namespace

TEST(geodetic, wgs84_to_ecef_matches_reference_table)
{
    for (const auto& r : reference) {
        SCOPED_TRACE(testing::Message() << r.geodetic[0] << " " << r.geodetic[1] << " " << r.geodetic[2]);
        expect_vec_near(wgs84_to_ecef(r.geodetic), r.ecef, 1e-6);
    }
}

TEST(geodetic, ecef_to_wgs84_one_step_matches_reference_table)
{
    for (const auto& r : reference) {
        SCOPED_TRACE(testing::Message() << r.geodetic[0] << " " << r.geodetic[1] << " " << r.geodetic[2]);
        const vec3 g = ecef_to_wgs84(r.ecef);
        EXPECT_NEAR(g[0], r.geodetic[0], 1e-9);
        if (std::fabs(r.geodetic[0]) < 90) {
            EXPECT_NEAR(lon_diff(g[1], r.geodetic[1]), 0.0, 1e-9);
        }
        EXPECT_NEAR(g[2], r.geodetic[2], 1e-4);
    }
}

TEST(geodetic, origin_round_trip)
{
    const vec3 e = wgs84_to_ecef({ 0, 0, 0 });
    EXPECT_EQ(e, (vec3 { 6378137.0, 0.0, 0.0 }));
    const vec3 g = ecef_to_wgs84(e);
    EXPECT_EQ(g[0], 0.0);
    EXPECT_EQ(g[1], 0.0);
    EXPECT_NEAR(g[2], 0.0, 1e-9);
    EXPECT_DOUBLE_EQ(wgs84_to_ecef({ 90, 0, 0 })[2], 6356752.314245179);
}

// Regression: on the polar axis the single step divided 0 by 0 and put the
// north pole at latitude -90 and 6400 km below the ground.
TEST(geodetic, ecef_to_wgs84_on_the_polar_axis)
{
    vec3 g = ecef_to_wgs84({ 0, 0, 6356752.314245179 + 250 });
    EXPECT_DOUBLE_EQ(g[0], 90.0);
    EXPECT_NEAR(g[2], 250.0, 1e-6);
    g = ecef_to_wgs84({ 0, 0, -6356752.314245179 + 10 });
    EXPECT_DOUBLE_EQ(g[0], -90.0);
    EXPECT_NEAR(g[2], -10.0, 1e-6);
}

TEST(geodetic, ned_velocity_axes)
{
    // At (0, 0): north is ECEF +z, east +y, down -x.
    expect_vec_near(ned_to_ecef_velocity({ 0, 0, 0 }, { 1, 0, 0 }), { 0, 0, 1 }, 1e-15);
    expect_vec_near(ned_to_ecef_velocity({ 0, 0, 0 }, { 0, 1, 0 }), { 0, 1, 0 }, 1e-15);
    expect_vec_near(ned_to_ecef_velocity({ 0, 0, 0 }, { 0, 0, 1 }), { -1, 0, 0 }, 1e-15);
    // At the north pole on the 0 meridian: north is -x, east +y, down -z.
    expect_vec_near(ned_to_ecef_velocity({ 90, 0, 0 }, { 1, 0, 0 }), { -1, 0, 0 }, 1e-15);
    expect_vec_near(ned_to_ecef_velocity({ 90, 0, 0 }, { 0, 0, 1 }), { 0, 0, -1 }, 1e-15);

    // Anywhere: vN N + vE E + vD D with the local axes, and the speed kept.
    const double lat = 47.5 * std::numbers::pi / 180, lon = -122.25 * std::numbers::pi / 180;
    const vec3 n = { -std::sin(lat) * std::cos(lon), -std::sin(lat) * std::sin(lon), std::cos(lat) };
    const vec3 e = { -std::sin(lon), std::cos(lon), 0 };
    const vec3 d = { -std::cos(lat) * std::cos(lon), -std::cos(lat) * std::sin(lon), -std::sin(lat) };
    const vec3 ned = { 12.5, -7.25, 3.0 };
    vec3 want;
    for (int k = 0; k < 3; ++k)
        want[k] = ned[0] * n[k] + ned[1] * e[k] + ned[2] * d[k];
    const vec3 got = ned_to_ecef_velocity({ 47.5, -122.25, 800 }, ned);
    expect_vec_near(got, want, 1e-12);
    EXPECT_NEAR(vec3_norm(got), vec3_norm(ned), 1e-12);
}

TEST(geodetic, course_frame_from_a_survey)
{
    // A small course near 47.5 N: O upstream, A 100 m east (downstream),
    // B 20 m north of O (to the left of O -> A seen from above).
    const vec3 o = wgs84_to_ecef({ 47.5, 8.25, 400 });
    const vec3 a = wgs84_to_ecef({ 47.5, 8.25 + 100 / 75200.0, 400 });
    const vec3 b = wgs84_to_ecef({ 47.5 + 20 / 111200.0, 8.25, 400 });
    vec3 rows[3];
    bool flipped = true;
    local_frame_from_points(a, b, o, rows, &flipped);
    EXPECT_FALSE(flipped);
    expect_orthonormal(rows);
    EXPECT_GT(dot(rows[2], o) / vec3_norm(o), 0.99); // z up
    const vec3 oa = vec3_sub(o, a);
    EXPECT_NEAR(dot(rows[0], oa), vec3_norm(oa), 1e-9); // x along O -> A
    const frame_matrix m = frame_matrix_from_rows(rows, o);
    EXPECT_GT(transform_point(m, b)[1], 19.0); // B to the left

    // The same walk clockwise: B to the right of O -> A.
    const vec3 b_right = wgs84_to_ecef({ 47.5 - 20 / 111200.0, 8.25, 400 });
    vec3 rows_cw[3];
    flipped = false;
    local_frame_from_points(a, b_right, o, rows_cw, &flipped);
    EXPECT_TRUE(flipped);
    expect_orthonormal(rows_cw);
    EXPECT_GT(dot(rows_cw[2], o) / vec3_norm(o), 0.99); // still up
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(rows_cw[0][k], rows[0][k], 1e-9);
    EXPECT_LT(transform_point(frame_matrix_from_rows(rows_cw, o), b_right)[1], -19.0);
}

TEST(geodetic, frame_from_points_is_east_north_up_when_looking_east)
{
    // Origin, the point 100 m above it and a point 1000 m due east in its
    // tangent plane ("CartConvert -r -p 12 -l 47.5 8.25 400" of 1000 0 0).
    const vec3 o = wgs84_to_ecef({ 47.5, 8.25, 400 });
    const vec3 u = wgs84_to_ecef({ 47.5, 8.25, 500 });
    const vec3 f = wgs84_to_ecef({ 47.499999232022240, 8.263271702171243, 400.0782451355 });
    vec3 rows[3];
    frame_from_points(u, o, f, rows);
    expect_orthonormal(rows);
    const frame_matrix m = frame_matrix_from_rows(rows, o);
    // East, north, up from "CartConvert -p 9 -l 47.5 8.25 400".
    expect_vec_near(transform_point(m, wgs84_to_ecef({ 47.5001, 8.2502, 401 })),
        { 15.069630509, 11.118778244, 0.999972529 }, 1e-6);
    expect_vec_near(transform_point(m, wgs84_to_ecef({ 47.49, 8.23, 380.5 })),
        { -1507.247173883, -1111.677366460, -19.774752687 }, 1e-6);
    expect_vec_near(transform_point(m, o), { 0, 0, 0 }, 1e-8);
}

TEST(geodetic, inverse_of_a_frame_is_its_transpose_form)
{
    vec3 rows[3];
    frame_from_points(wgs84_to_ecef({ -33.9, 151.2, 130 }), wgs84_to_ecef({ -33.9, 151.2, 30 }),
        wgs84_to_ecef({ -33.899, 151.201, 30 }), rows);
    const frame_matrix m = frame_matrix_from_rows(rows, wgs84_to_ecef({ -33.9, 151.2, 30 }));
    const frame_matrix inv = matrix_invert(m);
    for (int i = 0; i < 3; ++i) {
        double t = 0; // -(R^T t)_i
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(inv[i][k], m[k][i], 1e-15);
            t -= m[k][i] * m[k][3];
        }
        EXPECT_NEAR(inv[i][3], t, 1e-8);
    }
    EXPECT_EQ(inv[3], (std::array<double, 4> { 0, 0, 0, 1 }));
}

TEST(geodetic, transform_round_trip_property)
{
    std::mt19937_64 rng(20240611);
    std::uniform_real_distribution<double> lat(-85, 85), lon(-180, 180), h(-100, 3000), d(-2000, 2000);
    for (int i = 0; i < 200; ++i) {
        const vec3 origin = { lat(rng), lon(rng), h(rng) };
        const vec3 o = wgs84_to_ecef(origin);
        const vec3 up = wgs84_to_ecef({ origin[0], origin[1], origin[2] + 100 });
        const vec3 f = { o[0] + d(rng), o[1] + d(rng), o[2] + d(rng) };
        vec3 rows[3];
        frame_from_points(up, o, f, rows);
        frame_matrix m = frame_matrix_from_rows(rows, o);
        matrix_rotate_z(m, d(rng) / 1000);
        const frame_matrix inv = matrix_invert(m);
        for (int j = 0; j < 5; ++j) {
            const vec3 p = { o[0] + d(rng), o[1] + d(rng), o[2] + d(rng) };
            expect_vec_near(transform_point(inv, transform_point(m, p)), p, 1e-6);
        }
    }
}

TEST(geodetic, matrix_rotate_z)
{
    vec3 rows[3];
    frame_from_points(wgs84_to_ecef({ 47.5, 8.25, 500 }), wgs84_to_ecef({ 47.5, 8.25, 400 }),
        wgs84_to_ecef({ 47.501, 8.252, 400 }), rows);
    const frame_matrix m = frame_matrix_from_rows(rows, wgs84_to_ecef({ 47.5, 8.25, 400 }));

    // Signed zeros show whether the turn was skipped or done by an angle of 0.
    frame_matrix same = m;
    same[0][3] = 12.5;
    same[1][3] = -0.0;
    const frame_matrix zeros = same;
    matrix_rotate_z(same, 0.0);
    EXPECT_EQ(std::memcmp(same.data(), zeros.data(), sizeof zeros), 0);

    // Local coordinates in the turned frame are the old ones turned
    // counterclockwise by theta.
    const vec3 p = wgs84_to_ecef({ 47.5003, 8.2496, 420 });
    const vec3 before = transform_point(m, p);
    for (double theta : { std::numbers::pi / 2, std::numbers::pi, -0.3, 1.3089969389957472 }) {
        frame_matrix turned = m;
        matrix_rotate_z(turned, theta);
        const vec3 after = transform_point(turned, p);
        expect_vec_near(after,
            { before[0] * std::cos(theta) - before[1] * std::sin(theta),
                before[0] * std::sin(theta) + before[1] * std::cos(theta), before[2] },
            1e-8);
        EXPECT_EQ(turned[2], m[2]);
        EXPECT_EQ(turned[3], m[3]);
    }
}

TEST(geodetic, polygon_rotate_stops_at_the_first_point_at_the_origin)
{
    std::vector<vec3> pond
        = { { 1, 0, 5 }, { 0, 2, 6 }, { -3, -4, 7 }, { 0, 0, 9 }, { 8, 8, 8 }, { 0, 0, 0 } };
    polygon_rotate(pond.data(), std::numbers::pi / 2);
    expect_vec_near(pond[0], { 0, 1, 5 }, 1e-15);
    expect_vec_near(pond[1], { -2, 0, 6 }, 1e-15);
    expect_vec_near(pond[2], { 4, -3, 7 }, 1e-15);
    // The terminator has z = 9; nothing from it on is touched.
    EXPECT_EQ(pond[3], (vec3 { 0, 0, 9 }));
    EXPECT_EQ(pond[4], (vec3 { 8, 8, 8 }));

    const std::vector<vec3> before = pond;
    polygon_rotate(pond.data(), 0.0);
    EXPECT_EQ(pond, before);
    polygon_rotate(nullptr, 1.0); // no pond: nothing happens
}

TEST(geodetic, carve_points)
{
    vec3 in, mid, out;
    carve_points(0, carve_radius, carve_width, &in, &mid, &out);
    EXPECT_EQ(in, (vec3 { 0, 5, 0 }));
    EXPECT_EQ(mid, (vec3 { 0, 0, 0 }));
    EXPECT_EQ(out, (vec3 { 0, -5, 0 }));

    // At 75 degrees the centre line has run 70 m along its arc.
    carve_points(75, carve_radius, carve_width, &in, &mid, &out);
    EXPECT_NEAR(carve_radius * 75 * std::numbers::pi / 180, 70.0, 1e-12);
    EXPECT_NEAR(mid[0], 51.653908291, 1e-6); // r sin 75
    EXPECT_NEAR(mid[1], 39.635437866, 1e-6); // r - r cos 75
    const vec3 c = { 0, carve_radius, 0 };
    EXPECT_NEAR(vec2_distance(in, c), carve_radius - 5, 1e-12);
    EXPECT_NEAR(vec2_distance(out, c), carve_radius + 5, 1e-12);
    EXPECT_NEAR(vec2_distance(in, out), 10.0, 1e-12);
    EXPECT_EQ(in[2], 0.0);
}

TEST(geodetic, gate_markers_lie_either_side_of_the_gate)
{
    const vec3 origin = { 47.5, 8.25, 400 };
    vec3 rows[3];
    frame_from_points(wgs84_to_ecef({ 47.5, 8.25, 500 }), wgs84_to_ecef(origin),
        wgs84_to_ecef({ 47.499999232022240, 8.263271702171243, 400.0782451355 }), rows);
    const frame_matrix m = frame_matrix_from_rows(rows, wgs84_to_ecef(origin));
    vec3 left, right;
    gate_markers(m, &left, &right);
    // The course runs east: the left marker is 5 m north, the right 5 m south.
    // 5 m of meridian arc at 47.5 N and 401.5 m is 4.4969e-5 degrees.
    EXPECT_NEAR(left[0], 47.5 + 4.4969e-5, 1e-8);
    EXPECT_NEAR(right[0], 47.5 - 4.4969e-5, 1e-8);
    EXPECT_NEAR(left[1], 8.25, 1e-9);
    EXPECT_NEAR(right[1], 8.25, 1e-9);
    EXPECT_NEAR(left[2], 401.5, 1e-4);
    EXPECT_NEAR(right[2], 401.5, 1e-4);
    EXPECT_NEAR(vec3_distance(wgs84_to_ecef(left), wgs84_to_ecef(right)), 10.0, 1e-6);
    expect_vec_near(transform_point(m, wgs84_to_ecef(left)), { 0, 5, 1.5 }, 1e-6);
}
