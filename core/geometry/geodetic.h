// SPDX-License-Identifier: GPL-3.0-or-later
// WGS84, ECEF and the local course frame.
#pragma once

#include <cstdint>

#include "core/geometry/vec_types.h"

namespace wgs84 {
constexpr double a = 6378137.0; // semi-major axis (m)
constexpr double b = 6356752.314245179; // semi-minor axis (m)
constexpr double e2 = 0.0066943799901413165; // first eccentricity squared
constexpr double one_minus_e2 = 0.9933056200098587; // 1 - e^2
constexpr double ep2_b = 42841.31151331357; // second eccentricity squared x b (m)
constexpr double e2_a = 42697.67270717997; // e^2 x a (m)
} // namespace wgs84

// Speed-carve course: radius at which a 75 degree arc is 70 m long, and width.
constexpr double carve_radius = 53.47606087887684; // m
constexpr double carve_width = 10.0; // m

vec3 wgs84_to_ecef(const vec3& geodetic); // (lat deg, lon deg, h m) -> ECEF (m)
vec3 ecef_to_wgs84(const vec3& ecef); // one Bowring step -> (lat deg, lon deg, h m)
vec3 ned_to_ecef_velocity(const vec3& geodetic, const vec3& ned); // m/s

// Course frame from a survey: A downstream course point, B first entry-gate
// pole, O upstream course point (ECEF). Rows x, y, z of the rotation; sets
// *flipped when the normal had to be turned to point up.
void local_frame_from_points(const vec3& a, const vec3& b, const vec3& o, vec3 rows[3], bool* flipped);
// Frame from an up point U, origin O and forward point F (ECEF).
void frame_from_points(const vec3& u, const vec3& o, const vec3& f, vec3 rows[3]);
// Completes a frame matrix from rotation rows and the ECEF origin: t = -R origin.
frame_matrix frame_matrix_from_rows(const vec3 rows[3], const vec3& origin);

// Turns the frame about its local z axis by theta (radians); unchanged at 0.
void matrix_rotate_z(frame_matrix& m, double theta);
// Rotates x and y of each point (radians) up to the first point with x == 0
// and y == 0; nothing happens for a null array or theta == 0.
void polygon_rotate(vec3* points, double theta);

// Speed-carve points at alpha degrees on circles about (0, r): inner, centre, outer.
void carve_points(double alpha, double r, double w, vec3* inner, vec3* centre, vec3* outer);
// The two ends of the 10 m entry-gate marker, as geodetic points.
void gate_markers(const frame_matrix& m, vec3* left, vec3* right);
