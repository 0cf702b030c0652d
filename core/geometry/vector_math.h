// SPDX-License-Identifier: GPL-3.0-or-later
// 3-vectors, 2-D points and segments, the frame matrix with its inverse and a
// Gaussian solver. Plain arithmetic: nothing here allocates or fails.
// Where a 3-vector is passed to a 2-D operation, only x and y are read.
#pragma once

#include "core/geometry/vec_types.h"

// --- 3-vectors -------------------------------------------------------------
vec3 vec3_sub(const vec3& a, const vec3& b); // b - a: the vector from a to b
vec3 vec3_cross(const vec3& a, const vec3& b); // a x b
double vec3_norm(const vec3& a); // |a|
double vec3_distance(const vec3& a, const vec3& b); // |b - a|

// --- 2-D points (3-vectors accepted, z ignored) ------------------------------
double vec2_distance(const vec3& a, const vec3& b); // horizontal distance
double vec2_distance(const vec2& a, const vec2& b);
vec2 vec2_sub(const vec2& a, const vec2& b); // b - a
double vec2_dot(const vec2& a, const vec2& b);
double vec2_cross(const vec2& a, const vec2& b); // a.x*b.y - a.y*b.x
bool vec2_equal(const vec2& a, const vec2& b); // both coordinates exactly equal
double vec2_angle(const vec2& a, const vec2& b); // degrees, acos of the normalised dot product
bool vec2_opposite(const vec2& a, const vec2& b); // dot product below 0
double vec2_max_delta(const vec2& a, const vec2& b); // larger of |dx| and |dy|
bool vec2_near(const vec2& a, const vec2& b, double tolerance); // |dx| < tol and |dy| < tol
double bearing(const vec2& a, const vec2& b); // degrees clockwise from +x, from a to b
// z interpolated between p.z and q.z at target (x, y): along x when |dx| > |dy|,
// else along y; p.z when both differences are 0.
double interpolate_z(const vec3& p, const vec3& q, const vec2& target);

// Value at x of the line through (x0, y0) and (x1, y1); y0 when x1 == x0.
double interpolate(double y0, double y1, double x0, double x1, double x);

// --- Frame matrices ------------------------------------------------------------
vec3 transform_point(const frame_matrix& m, const vec3& p); // R p + t
vec3 transform_vector(const frame_matrix& m, const vec3& v); // R v
frame_matrix matrix_invert(const frame_matrix& m); // column by column through solve_linear

// Solves the augmented system a (n rows of n + 1 values, row stride `stride`)
// in place by Gaussian elimination with partial pivoting; the solution ends
// up in column n. No singularity test.
void solve_linear(double* a, int n, int stride);

// --- Segments ----------------------------------------------------------------
vec2 line_intersection(const segment& l1, const segment& l2);
// Intersection of two closed segments: a point (start == end) or the overlap
// of two collinear segments. False when they do not meet.
bool segment_intersection(const segment& s1, const segment& s2, segment* out);
// Distance from p to the closed segment ab; the closest point goes to *closest.
double point_segment_distance(const vec2& p, const vec2& a, const vec2& b, vec2* closest);
// Shortest distance between two segments, with the closest points on each.
double segment_distance(const segment& s1, const segment& s2, vec2* closest1, vec2* closest2);
bool segments_cross(const vec2& p1, const vec2& q1, const vec2& p2, const vec2& q2);
// Sign of the turn p -> q -> r: +1 clockwise (y up), -1 counterclockwise, 0 collinear.
int orientation(const vec2& p, const vec2& q, const vec2& r);

// Convenience: the x and y of a 3-vector.
inline vec2 xy(const vec3& v)
{
    return { v[0], v[1] };
}
