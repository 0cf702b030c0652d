// SPDX-License-Identifier: GPL-3.0-or-later
// 3-vectors, 2-D points, segments, the frame matrix and the Gaussian solver.
//
// The arithmetic is written out in the order the results depend on: the
// reports and geometry files built from these numbers are compared to the
// last printed digit, so do not regroup the expressions.
#include "core/geometry/vector_math.h"

#include <cmath>
#include <numbers>

namespace {

using std::numbers::pi;

// Element (row, col) of an augmented system with the given row stride.
inline double& at(double* a, int stride, int row, int col)
{
    return a[row * stride + col];
}

} // namespace

// --- 3-vectors -------------------------------------------------------------

vec3 vec3_sub(const vec3& a, const vec3& b)
{
    return { b[0] - a[0], b[1] - a[1], b[2] - a[2] };
}

vec3 vec3_cross(const vec3& a, const vec3& b)
{
    return { a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0] };
}

double vec3_norm(const vec3& a)
{
    return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
}

double vec3_distance(const vec3& a, const vec3& b)
{
    const double dx = b[0] - a[0];
    const double dy = b[1] - a[1];
    const double dz = b[2] - a[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// --- 2-D points ----------------------------------------------------------------

double vec2_distance(const vec2& a, const vec2& b)
{
    const double dx = b[0] - a[0];
    const double dy = b[1] - a[1];
    return std::sqrt(dx * dx + dy * dy);
}

double vec2_distance(const vec3& a, const vec3& b)
{
    return vec2_distance(xy(a), xy(b));
}

vec2 vec2_sub(const vec2& a, const vec2& b)
{
    return { b[0] - a[0], b[1] - a[1] };
}

double vec2_dot(const vec2& a, const vec2& b)
{
    return a[0] * b[0] + a[1] * b[1];
}

double vec2_cross(const vec2& a, const vec2& b)
{
    return a[0] * b[1] - a[1] * b[0];
}

bool vec2_equal(const vec2& a, const vec2& b)
{
    return a[0] == b[0] && a[1] == b[1];
}

double vec2_angle(const vec2& a, const vec2& b)
{
    const double norms = std::sqrt(vec2_dot(a, a)) * std::sqrt(vec2_dot(b, b));
    double c = vec2_dot(a, b) / norms;
    // Rounding can push the cosine of (anti)parallel vectors just past 1;
    // acos would then give NaN instead of 0 or 180 degrees.
    if (c > 1.0)
        c = 1.0;
    else if (c < -1.0)
        c = -1.0;
    return std::acos(c) * 180.0 / pi;
}

bool vec2_opposite(const vec2& a, const vec2& b)
{
    return vec2_dot(a, b) < 0.0;
}

double vec2_max_delta(const vec2& a, const vec2& b)
{
    const double dx = std::fabs(b[0] - a[0]);
    const double dy = std::fabs(b[1] - a[1]);
    return dx > dy ? dx : dy;
}

bool vec2_near(const vec2& a, const vec2& b, double tolerance)
{
    return std::fabs(b[0] - a[0]) < tolerance && std::fabs(b[1] - a[1]) < tolerance;
}

double bearing(const vec2& a, const vec2& b)
{
    const double dx = b[0] - a[0];
    const double dy = b[1] - a[1];
    return std::fmod(360.0 - std::atan2(dy, dx) * 180.0 / pi, 360.0);
}

double interpolate_z(const vec3& p, const vec3& q, const vec2& target)
{
    const double dx = q[0] - p[0];
    const double dy = q[1] - p[1];
    if (dx == 0.0 && dy == 0.0)
        return p[2];
    if (std::fabs(dx) > std::fabs(dy))
        return interpolate(p[2], q[2], p[0], q[0], target[0]);
    return interpolate(p[2], q[2], p[1], q[1], target[1]);
}

double interpolate(double y0, double y1, double x0, double x1, double x)
{
    // Samples with repeated times, or a run parallel to a gate line, give
    // x1 == x0: the line is undefined there and the start value stands.
    if (x1 == x0)
        return y0;
    return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
}

// --- Frame matrices ------------------------------------------------------------

vec3 transform_point(const frame_matrix& m, const vec3& p)
{
    vec3 q;
    for (int i = 0; i < 3; ++i)
        q[i] = m[i][0] * p[0] + m[i][1] * p[1] + m[i][2] * p[2] + m[i][3];
    return q;
}

vec3 transform_vector(const frame_matrix& m, const vec3& v)
{
    vec3 w;
    for (int i = 0; i < 3; ++i)
        w[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    return w;
}

frame_matrix matrix_invert(const frame_matrix& m)
{
    constexpr int stride = 5;
    frame_matrix inverse {};
    for (int c = 0; c < 4; ++c) {
        double system[4 * stride];
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j)
                system[i * stride + j] = m[i][j];
            system[i * stride + 4] = i == c ? 1.0 : 0.0;
        }
        solve_linear(system, 4, stride);
        for (int i = 0; i < 4; ++i)
            inverse[i][c] = system[i * stride + 4];
    }
    return inverse;
}

void solve_linear(double* a, int n, int stride)
{
    for (int i = 0; i < n; ++i) {
        // Partial pivoting: the largest magnitude wins, the earliest row on ties.
        int pivot = i;
        for (int row = i + 1; row < n; ++row)
            if (std::fabs(at(a, stride, row, i)) > std::fabs(at(a, stride, pivot, i)))
                pivot = row;
        if (pivot != i)
            for (int j = 0; j <= n; ++j) {
                const double t = at(a, stride, i, j);
                at(a, stride, i, j) = at(a, stride, pivot, j);
                at(a, stride, pivot, j) = t;
            }

        // Right-hand side first and the pivot column last, so the factor
        // a[k][i] / a[i][i] is read before it is cleared.
        for (int j = n; j >= i; --j)
            for (int k = i + 1; k < n; ++k)
                at(a, stride, k, j) -= at(a, stride, i, j) * (at(a, stride, k, i) / at(a, stride, i, i));
    }

    for (int r = n - 1; r >= 0; --r) {
        at(a, stride, r, n) /= at(a, stride, r, r);
        at(a, stride, r, r) = 1.0;
        for (int i = 0; i < r; ++i) {
            at(a, stride, i, n) -= at(a, stride, r, n) * at(a, stride, i, r);
            at(a, stride, i, r) = 0.0;
        }
    }
}

// --- Segments ----------------------------------------------------------------

vec2 line_intersection(const segment& l1, const segment& l2)
{
    constexpr int stride = 3;
    double system[2 * stride];
    const segment* lines[2] = { &l1, &l2 };
    for (int i = 0; i < 2; ++i) {
        const segment& s = *lines[i];
        const double a = s[3] - s[1];
        const double b = s[0] - s[2];
        system[i * stride + 0] = a;
        system[i * stride + 1] = b;
        system[i * stride + 2] = a * s[0] + b * s[1];
    }
    solve_linear(system, 2, stride);
    return { system[2], system[stride + 2] };
}

bool segment_intersection(const segment& s1, const segment& s2, segment* out)
{
    const vec2 p = { s1[0], s1[1] };
    const vec2 r = vec2_sub(p, { s1[2], s1[3] });
    const vec2 q = { s2[0], s2[1] };
    const vec2 s = vec2_sub(q, { s2[2], s2[3] });
    const vec2 qp = vec2_sub(p, q); // q - p

    const double rxs = vec2_cross(r, s);
    const double qpxs = vec2_cross(qp, s);
    if (rxs != 0.0) {
        const double t = qpxs / rxs;
        const double u = vec2_cross(qp, r) / rxs;
        if (t < 0.0 || t > 1.0 || u < 0.0 || u > 1.0)
            return false;
        const double x = p[0] + t * r[0];
        const double y = p[1] + t * r[1];
        *out = { x, y, x, y };
        return true;
    }
    if (qpxs != 0.0)
        return false; // parallel and apart

    const double rr = vec2_dot(r, r);
    if (rr == 0.0) {
        // The first segment is a single point p: it meets the second one
        // only if it lies on it (or equals it when both are points).
        const double ss = vec2_dot(s, s);
        if (ss == 0.0) {
            if (!vec2_equal(p, q))
                return false;
        } else {
            const double u = vec2_dot(vec2_sub(q, p), s) / ss; // p along the second
            if (u < 0.0 || u > 1.0)
                return false;
        }
        *out = { p[0], p[1], p[0], p[1] };
        return true;
    }
    // A second segment that is a single point passes the parallel test
    // whatever its position; it must also lie on the line of the first.
    if (vec2_dot(s, s) == 0.0 && vec2_cross(qp, r) != 0.0)
        return false;

    // Collinear: the overlap, in the parameter of the first segment.
    double t0 = vec2_dot(qp, r) / rr;
    double t1 = t0 + vec2_dot(s, r) / rr;
    if (t0 > t1) {
        const double t = t0;
        t0 = t1;
        t1 = t;
    }
    if (t0 > 1.0 || t1 < 0.0)
        return false;
    if (t0 < 0.0)
        t0 = 0.0;
    if (t1 > 1.0)
        t1 = 1.0;
    *out = { p[0] + t0 * r[0], p[1] + t0 * r[1], p[0] + t1 * r[0], p[1] + t1 * r[1] };
    return true;
}

double point_segment_distance(const vec2& p, const vec2& a, const vec2& b, vec2* closest)
{
    const vec2 d = vec2_sub(a, b);
    const double l = vec2_dot(d, d);
    vec2 c = a;
    if (l != 0.0) {
        const double t = vec2_dot(d, vec2_sub(a, p)) / l;
        if (t <= 0.0)
            c = a;
        else if (t >= 1.0)
            c = b;
        else
            c = { a[0] + t * d[0], a[1] + t * d[1] };
    }
    if (closest)
        *closest = c;
    return vec2_distance(p, c);
}

double segment_distance(const segment& s1, const segment& s2, vec2* closest1, vec2* closest2)
{
    segment meet;
    if (segment_intersection(s1, s2, &meet)) {
        if (closest1)
            *closest1 = { meet[0], meet[1] };
        if (closest2)
            *closest2 = { meet[0], meet[1] };
        return 0.0;
    }

    const vec2 a1 = { s1[0], s1[1] }, b1 = { s1[2], s1[3] };
    const vec2 a2 = { s2[0], s2[1] }, b2 = { s2[2], s2[3] };
    vec2 c;
    // The end points of the first segment against the second, then the end
    // points of the second against the first; the earliest wins a tie.
    double best = point_segment_distance(a1, a2, b2, &c);
    vec2 best1 = a1, best2 = c;
    double d = point_segment_distance(b1, a2, b2, &c);
    if (d < best) {
        best = d;
        best1 = b1;
        best2 = c;
    }
    d = point_segment_distance(a2, a1, b1, &c);
    if (d < best) {
        best = d;
        best1 = c;
        best2 = a2;
    }
    d = point_segment_distance(b2, a1, b1, &c);
    if (d < best) {
        best = d;
        best1 = c;
        best2 = b2;
    }
    if (closest1)
        *closest1 = best1;
    if (closest2)
        *closest2 = best2;
    return best;
}

bool segments_cross(const vec2& p1, const vec2& q1, const vec2& p2, const vec2& q2)
{
    return orientation(p1, q1, p2) != orientation(p1, q1, q2)
        && orientation(p2, q2, p1) != orientation(p2, q2, q1);
}

int orientation(const vec2& p, const vec2& q, const vec2& r)
{
    const double v = (r[0] - q[0]) * (q[1] - p[1]) - (q[0] - p[0]) * (r[1] - q[1]);
    if (v > 0.0)
        return 1;
    if (v < 0.0)
        return -1;
    return 0;
}
