// SPDX-License-Identifier: GPL-3.0-or-later
// The wind from the canopy flight: a robust circle fit of the ground
// velocities (model and figures in wind.h).
#include "core/swoop/wind.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "core/geometry/vector_math.h"

namespace {

using std::numbers::pi;

constexpr uint32_t min_samples = 20; // in the window
constexpr double min_heading_span = 90; // degrees
constexpr double heading_speed = 1.0; // m/s, slower samples have no ground-track heading
constexpr double airspeed_scatter = 0.5; // m/s, q of the model
constexpr double huber_k = 1.345;
constexpr double tukey_c = 4.685;
constexpr int huber_iterations = 4;
constexpr int max_iterations = 40;
constexpr double score_time = 4.0; // s, correlation time of the residuals (gusts, airspeed)
constexpr double min_airspeed = 2.0; // m/s
constexpr double max_airspeed = 40.0; // m/s

const char* const too_few = "too few samples under canopy";
const char* const too_straight = "too little change of heading";
const char* const no_airspeed = "no steady airspeed under canopy";

struct observation {
    double gx, gy; // m/s, horizontal ground velocity, local frame
    double var; // m^2/s^2, s_i^2
    double t; // s since the window's first sample
};

using mat3 = std::array<std::array<double, 3>, 3>;
using vec3d = std::array<double, 3>;

// The inverse of a symmetric 3 x 3 matrix; false when it is singular.
bool invert3(const mat3& m, mat3& inv)
{
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
        - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
        + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    const double scale = std::fabs(m[0][0] * m[1][1] * m[2][2]);
    if (!(std::fabs(det) > 1e-12 * scale) || !std::isfinite(det))
        return false;
    inv[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
    inv[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
    inv[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
    inv[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
    inv[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
    inv[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
    inv[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
    inv[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
    inv[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
    return true;
}

// Solves m x = b for a symmetric 3 x 3 m; false when it is singular.
bool solve3(const mat3& m, const vec3d& b, vec3d& x)
{
    mat3 inv {};
    if (!invert3(m, inv))
        return false;
    for (int r = 0; r < 3; ++r)
        x[r] = inv[r][0] * b[0] + inv[r][1] * b[1] + inv[r][2] * b[2];
    return std::isfinite(x[0]) && std::isfinite(x[1]) && std::isfinite(x[2]);
}

mat3 multiply(const mat3& a, const mat3& b)
{
    mat3 c {};
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            for (int col = 0; col < 3; ++col)
                c[r][col] += a[r][k] * b[k][col];
    return c;
}

// Degrees covered by a set of headings on the circle: 360 less the widest
// gap between neighbours.
double heading_span(std::vector<double>& headings)
{
    if (headings.size() < 2)
        return 0;
    std::sort(headings.begin(), headings.end());
    double gap = headings.front() + 360 - headings.back();
    for (size_t k = 1; k < headings.size(); ++k)
        gap = std::max(gap, headings[k] - headings[k - 1]);
    return 360 - gap;
}

// The fit's unknowns: wind x, y and airspeed (m/s).
struct circle {
    double wx = 0, wy = 0, v = 0;
};

// Algebraic (Kasa) fit: |g|^2 = 2 g.w + c with c = V^2 - |w|^2, weighted.
bool algebraic_fit(const std::vector<observation>& obs, circle& out)
{
    mat3 m {};
    vec3d b {};
    for (const observation& o : obs) {
        const double wi = 1 / o.var;
        const vec3d a { 2 * o.gx, 2 * o.gy, 1 };
        const double y = o.gx * o.gx + o.gy * o.gy;
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c)
                m[r][c] += wi * a[r] * a[c];
            b[r] += wi * a[r] * y;
        }
    }
    vec3d x {};
    if (!solve3(m, b, x))
        return false;
    const double v2 = x[2] + x[0] * x[0] + x[1] * x[1];
    if (!(v2 > 0))
        return false;
    out = { x[0], x[1], std::sqrt(v2) };
    return true;
}

// Radius residual r_i of a sample (m/s) and the unit vector from w to g_i.
double residual(const observation& o, const circle& c, double* ux, double* uy)
{
    const double dx = o.gx - c.wx, dy = o.gy - c.wy;
    const double d = std::hypot(dx, dy);
    if (d > 0) {
        *ux = dx / d;
        *uy = dy / d;
    } else {
        *ux = 1;
        *uy = 0;
    }
    return d - c.v;
}

double robust_weight(double z, bool tukey)
{
    const double a = std::fabs(z);
    if (!tukey)
        return a <= huber_k ? 1 : huber_k / a;
    if (a >= tukey_c)
        return 0;
    const double u = 1 - (a / tukey_c) * (a / tukey_c);
    return u * u;
}

// Sum over all pairs of samples of exp(-|t_i - t_k| / tau) v_i v_k^T, in one
// pass each way: F_k = v_k + exp(-(t_k - t_k-1) / tau) F_k-1 sums the earlier
// samples' share.
mat3 kernel_sum(const std::vector<observation>& obs, const std::vector<vec3d>& v, double tau)
{
    mat3 s {};
    vec3d f {};
    for (size_t k = 0; k < obs.size(); ++k) {
        const double decay = k == 0 ? 0 : std::exp(-(obs[k].t - obs[k - 1].t) / tau);
        for (int p = 0; p < 3; ++p)
            f[p] = v[k][p] + decay * f[p];
        // Pairs (i <= k, k) and (k, i < k): F v^T + v F^T - v v^T.
        for (int p = 0; p < 3; ++p)
            for (int q = 0; q < 3; ++q)
                s[p][q] += f[p] * v[k][q] + v[k][p] * f[q] - v[k][p] * v[k][q];
    }
    return s;
}

struct fit_result {
    circle c;
    mat3 cov {}; // of (wx, wy, v)
    uint32_t kept = 0;
};

bool robust_fit(const std::vector<observation>& obs, fit_result& out)
{
    circle c;
    if (!algebraic_fit(obs, c))
        return false;
    const size_t n = obs.size();
    std::vector<double> z(n), abs_z(n), weight(n);
    bool done = false;
    for (int it = 0; it < max_iterations && !done; ++it) {
        const bool tukey = it >= huber_iterations;
        double ux, uy;
        for (size_t i = 0; i < n; ++i) {
            z[i] = residual(obs[i], c, &ux, &uy) / std::sqrt(obs[i].var);
            abs_z[i] = std::fabs(z[i]);
        }
        std::nth_element(abs_z.begin(), abs_z.begin() + static_cast<std::ptrdiff_t>(n / 2), abs_z.end());
        const double scale = std::max(1.4826 * abs_z[n / 2], 1e-6);
        mat3 m {};
        vec3d b {};
        for (size_t i = 0; i < n; ++i) {
            const double r = residual(obs[i], c, &ux, &uy);
            weight[i] = robust_weight(z[i] / scale, tukey) / obs[i].var;
            const vec3d j { -ux, -uy, -1 };
            for (int p = 0; p < 3; ++p) {
                for (int q = 0; q < 3; ++q)
                    m[p][q] += weight[i] * j[p] * j[q];
                b[p] -= weight[i] * j[p] * r;
            }
        }
        vec3d step {};
        if (!solve3(m, b, step))
            return false;
        c.wx += step[0];
        c.wy += step[1];
        c.v += step[2];
        if (!std::isfinite(c.wx) || !std::isfinite(c.wy) || !std::isfinite(c.v))
            return false;
        done = tukey && std::fabs(step[0]) + std::fabs(step[1]) + std::fabs(step[2]) < 1e-7;
    }

    // Sandwich covariance with the final weights.
    mat3 h {};
    std::vector<vec3d> score(n);
    uint32_t kept = 0;
    for (size_t i = 0; i < n; ++i) {
        double ux, uy;
        const double r = residual(obs[i], c, &ux, &uy);
        const vec3d j { -ux, -uy, -1 };
        for (int p = 0; p < 3; ++p) {
            for (int q = 0; q < 3; ++q)
                h[p][q] += weight[i] * j[p] * j[q];
            score[i][p] = weight[i] * j[p] * r;
        }
        kept += weight[i] > 0;
    }
    if (kept < 4)
        return false;
    // The scores' products, correlated over score_time.
    const mat3 s = kernel_sum(obs, score, score_time);
    mat3 hinv {};
    if (!invert3(h, hinv))
        return false;
    out.cov = multiply(multiply(hinv, s), hinv);
    const double dof = static_cast<double>(kept) / std::max(1.0, static_cast<double>(kept) - 3);
    for (auto& row : out.cov)
        for (double& v : row)
            v *= dof;
    out.c = c;
    out.kept = kept;
    return true;
}

// North and east (m/s) of a local-frame horizontal vector at a latitude and
// longitude (degrees).
vec2 north_east(const frame_matrix& m, const vec2& local, double lat, double lon)
{
    vec3 ecef {};
    for (int k = 0; k < 3; ++k)
        ecef[static_cast<size_t>(k)]
            = local[0] * m[0][static_cast<size_t>(k)] + local[1] * m[1][static_cast<size_t>(k)];
    const double phi = lat * pi / 180, lambda = lon * pi / 180;
    const double sp = std::sin(phi), cp = std::cos(phi), sl = std::sin(lambda), cl = std::cos(lambda);
    const double n = -sp * cl * ecef[0] - sp * sl * ecef[1] + cp * ecef[2];
    const double e = -sl * ecef[0] + cl * ecef[1];
    return { n, e };
}

wind_estimate no_estimate(wind_estimate w, const char* reason)
{
    w.present = false;
    w.reason = reason;
    return w;
}

} // namespace

wind_estimate swoop_wind_estimate(const swoop& s)
{
    wind_estimate w;
    w.first = s.pattern_entry;
    w.last = s.top_of_turn;
    if (s.top_of_turn < s.pattern_entry || s.top_of_turn >= s.track_len || s.track.size() < s.track_len
        || s.top_of_turn - s.pattern_entry + 1 < min_samples)
        return no_estimate(w, too_few);

    std::vector<observation> obs;
    std::vector<double> headings;
    obs.reserve(s.top_of_turn - s.pattern_entry + 1);
    headings.reserve(obs.capacity());
    const double t0 = static_cast<double>(s.track[s.pattern_entry].time);
    for (uint32_t i = s.pattern_entry; i <= s.top_of_turn; ++i) {
        const gps_point& p = s.track[i];
        const double gx = p.vel_local[0], gy = p.vel_local[1];
        if (!std::isfinite(gx) || !std::isfinite(gy))
            continue;
        const double sacc = std::isfinite(p.sacc) && p.sacc > 0 ? p.sacc : 0.0;
        obs.push_back({ gx, gy, sacc * sacc + airspeed_scatter * airspeed_scatter,
            (static_cast<double>(p.time) - t0) / 1000 });
        if (std::hypot(gx, gy) >= heading_speed) {
            double h = std::atan2(-gy, gx) * 180 / pi; // clockwise from +x
            headings.push_back(h < 0 ? h + 360 : h);
        }
    }
    w.samples = static_cast<uint32_t>(obs.size());
    if (obs.size() < min_samples)
        return no_estimate(w, too_few);
    w.heading_span = heading_span(headings);
    if (w.heading_span < min_heading_span)
        return no_estimate(w, too_straight);

    fit_result f;
    if (!robust_fit(obs, f) || !(f.c.v >= min_airspeed && f.c.v <= max_airspeed))
        return no_estimate(w, no_airspeed);
    w.weighted = f.kept;
    w.local = { f.c.wx, f.c.wy };
    w.speed = std::hypot(f.c.wx, f.c.wy);
    w.airspeed = f.c.v;
    w.airspeed_sigma = std::sqrt(std::max(0.0, f.cov[2][2]));

    // Spread along and across the wind.
    const double cxx = f.cov[0][0], cxy = f.cov[0][1], cyy = f.cov[1][1];
    double along, across;
    if (w.speed > 0) {
        const double ux = f.c.wx / w.speed, uy = f.c.wy / w.speed;
        along = ux * ux * cxx + 2 * ux * uy * cxy + uy * uy * cyy;
        across = uy * uy * cxx - 2 * ux * uy * cxy + ux * ux * cyy;
    } else {
        along = across = (cxx + cyy) / 2;
    }
    w.speed_sigma = std::sqrt(std::max(0.0, along));
    w.from_sigma = std::atan2(std::sqrt(std::max(0.0, across)), w.speed) * 180 / pi;

    const gps_point& mid = s.track[(s.pattern_entry + s.top_of_turn) / 2];
    const vec2 ne = north_east(s.matrix, w.local, mid.pos_wgs84[0], mid.pos_wgs84[1]);
    double from = std::atan2(-ne[1], -ne[0]) * 180 / pi;
    if (from < 0)
        from += 360;
    if (from >= 360)
        from -= 360;
    w.from = w.speed > 0 ? from : 0;
    w.present = true;
    w.reason = "";
    return w;
}

double sample_airspeed(const gps_point& p, const wind_estimate& w)
{
    if (!w.present)
        return 0;
    return std::hypot(p.vel_local[0] - w.local[0], p.vel_local[1] - w.local[1]);
}

double swoop_entry_gate_airspeed(const swoop& s, const wind_estimate& w)
{
    const uint32_t k = s.entry_gate;
    if (!w.present || k == 0 || k + 1 >= s.track_len || s.track.size() < s.track_len)
        return 0;
    const gps_point& a = s.track[k];
    const gps_point& b = s.track[k + 1];
    return interpolate(sample_airspeed(a, w), sample_airspeed(b, w), a.pos_local[0], b.pos_local[0], 0);
}

double swoop_max_horz_airspeed(const swoop& s, const wind_estimate& w, uint32_t* at)
{
    if (at)
        *at = 0;
    if (!w.present || s.rollout == 0 || s.stop < s.rollout || s.stop >= s.track_len
        || s.track.size() < s.track_len)
        return 0;
    double best = 0;
    for (uint32_t i = s.rollout; i <= s.stop; ++i) {
        const double a = sample_airspeed(s.track[i], w);
        if (a > best) {
            best = a;
            if (at)
                *at = i;
        }
    }
    return best;
}
