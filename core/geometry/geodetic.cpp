// SPDX-License-Identifier: GPL-3.0-or-later
// WGS84 geodetic, ECEF and the local course frame.
//
// Trigonometric functions are evaluated afresh for every sample; the order
// of the products below is the one the stored geometry and the reports were
// made with, so keep it.
#include "core/geometry/geodetic.h"

#include <cmath>
#include <numbers>

#include "core/geometry/vector_math.h"

namespace {

double radians(double degrees)
{
    return std::numbers::pi * degrees / 180.0;
}
double degrees(double radians)
{
    return 180.0 * radians / std::numbers::pi;
}

vec3 unit(const vec3& v)
{
    const double n = vec3_norm(v);
    return { v[0] / n, v[1] / n, v[2] / n };
}

} // namespace

vec3 wgs84_to_ecef(const vec3& geodetic)
{
    const double phi = radians(geodetic[0]); // latitude, rad
    const double lambda = radians(geodetic[1]); // longitude, rad
    const double h = geodetic[2]; // m above the ellipsoid
    const double sin_phi = std::sin(phi);
    const double cos_phi = std::cos(phi);
    const double n = wgs84::a / std::sqrt(1.0 - wgs84::e2 * sin_phi * sin_phi); // m
    return { (n + h) * cos_phi * std::cos(lambda), (n + h) * cos_phi * std::sin(lambda),
        (wgs84::one_minus_e2 * n + h) * sin_phi };
}

vec3 ecef_to_wgs84(const vec3& ecef)
{
    const double x = ecef[0], y = ecef[1], z = ecef[2]; // m
    const double p = std::sqrt(x * x + y * y); // m from the axis
    if (p == 0.0) {
        // On the polar axis the single Bowring step divides 0 by 0 and
        // lands on the wrong pole; the answer there is exact anyway.
        return { z < 0.0 ? -90.0 : 90.0, 0.0, std::fabs(z) - wgs84::b };
    }
    const double theta = std::atan(wgs84::a * z / (wgs84::b * p));
    const double st = std::sin(theta);
    const double ct = std::cos(theta);
    const double phi = std::atan((z + wgs84::ep2_b * st * st * st) / (p - wgs84::e2_a * ct * ct * ct));
    const double sin_phi = std::sin(phi);
    const double n = wgs84::a / std::sqrt(1.0 - wgs84::e2 * sin_phi * sin_phi); // m
    const double h = p / std::cos(phi) - n;
    const double lambda = std::atan2(y, x);
    return { degrees(phi), degrees(lambda), h };
}

vec3 ned_to_ecef_velocity(const vec3& geodetic, const vec3& ned)
{
    const double phi = radians(geodetic[0]);
    const double lambda = radians(geodetic[1]);
    const double sp = std::sin(phi), cp = std::cos(phi);
    const double sl = std::sin(lambda), cl = std::cos(lambda);
    // Columns: the north, east and down axes in ECEF. The rows of ECEF -> NED
    // are orthonormal, so its inverse, which takes the velocity back to ECEF,
    // is its transpose (exactly as a general inversion gives it for every
    // printed digit, and a fifth of the analysis' time less).
    const frame_matrix ned_to_ecef = { { { -sp * cl, -sl, -cp * cl, 0.0 }, { -sp * sl, cl, -cp * sl, 0.0 },
        { cp, 0.0, -sp, 0.0 }, { 0.0, 0.0, 0.0, 1.0 } } };
    return transform_vector(ned_to_ecef, ned);
}

void local_frame_from_points(const vec3& a, const vec3& b, const vec3& o, vec3 rows[3], bool* flipped)
{
    const vec3 u = vec3_sub(o, a); // O -> A, along the course
    const vec3 v = vec3_sub(o, b); // O -> B, toward the gate pole
    vec3 n = vec3_cross(u, v);
    if (flipped)
        *flipped = false;
    // n must point away from the earth's centre: if adding it to O brings O
    // nearer the centre, the survey went round clockwise.
    const vec3 raised = { n[0] + o[0], n[1] + o[1], n[2] + o[2] };
    if (vec3_norm(raised) < vec3_norm(o)) {
        n = { -n[0], -n[1], -n[2] };
        if (flipped)
            *flipped = true;
    }
    const vec3 y = vec3_cross(n, u);
    rows[0] = unit(u);
    rows[1] = unit(y);
    rows[2] = unit(n);
}

void frame_from_points(const vec3& u, const vec3& o, const vec3& f, vec3 rows[3])
{
    const vec3 up = vec3_sub(o, u); // O -> U
    const vec3 n = vec3_cross(up, vec3_sub(o, f)); // left
    const vec3 m = vec3_cross(n, up); // forward
    rows[0] = unit(m);
    rows[1] = unit(n);
    rows[2] = unit(up);
}

frame_matrix frame_matrix_from_rows(const vec3 rows[3], const vec3& origin)
{
    frame_matrix m {};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            m[i][j] = rows[i][j];
        m[i][3] = 0.0;
    }
    m[3] = { 0.0, 0.0, 0.0, 1.0 };
    const vec3 r_origin = transform_point(m, origin); // R origin (m)
    for (int i = 0; i < 3; ++i)
        m[i][3] = -r_origin[i];
    return m;
}

void matrix_rotate_z(frame_matrix& m, double theta)
{
    if (theta == 0.0)
        return;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    for (int j = 0; j < 4; ++j) {
        const double r0 = m[0][j];
        const double r1 = m[1][j];
        m[0][j] = c * r0 - s * r1;
        m[1][j] = s * r0 + c * r1;
    }
}

void polygon_rotate(vec3* points, double theta)
{
    if (points == nullptr || theta == 0.0)
        return;
    const double c = std::cos(theta);
    const double s = std::sin(theta);
    for (vec3* p = points; !((*p)[0] == 0.0 && (*p)[1] == 0.0); ++p) {
        const double x = (*p)[0];
        const double y = (*p)[1];
        (*p)[0] = x * c - y * s;
        (*p)[1] = x * s + y * c;
    }
}

void carve_points(double alpha, double r, double w, vec3* inner, vec3* centre, vec3* outer)
{
    const double a = radians(alpha);
    const double sa = std::sin(a);
    const double ca = std::cos(a);
    const double rho[3] = { r - w / 2.0, r, r + w / 2.0 }; // m
    vec3* out[3] = { inner, centre, outer };
    for (int i = 0; i < 3; ++i)
        if (out[i])
            *out[i] = { rho[i] * sa, r - rho[i] * ca, 0.0 };
}

void gate_markers(const frame_matrix& m, vec3* left, vec3* right)
{
    const frame_matrix inverse = matrix_invert(m);
    // 5 m either side of the gate centre, 1.5 m above the local ground.
    *left = ecef_to_wgs84(transform_point(inverse, { 0.0, 5.0, 1.5 }));
    *right = ecef_to_wgs84(transform_point(inverse, { 0.0, -5.0, 1.5 }));
}
