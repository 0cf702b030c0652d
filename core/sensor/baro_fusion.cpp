// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/sensor/baro_fusion.h"

#include <Eigen/Cholesky>
#include <algorithm>
#include <cmath>
#include <new>

#include "core/track/error_text.h"

namespace {

enum state_index { ih, iv, ia, io, is, ik, ic, icb, icd, iev, ieh, idt };

constexpr double jerk_density = 50.0; // m^2/s^5
constexpr double offset_walk = 1e-4; // m^2/s
constexpr double coefficient_walk = 1e-6; // 1/s
constexpr double unflown_walk = 1e-3; // 1/s, in the aircraft and in freefall
constexpr double unflown_offset_walk = 1.0; // m^2/s, in the aircraft and in freefall
constexpr double velocity_tau = 1.0; // s
constexpr double height_tau = 60.0; // s
constexpr double gps_height_white = 0.05 * 0.05; // m^2
constexpr double velocity_white = 0.05 * 0.05; // (m/s)^2
constexpr double baro_white = 0.1 * 0.1; // m^2
constexpr double baro_row_gap = 1.0; // s, rows further apart are not interpolated
constexpr double timing_prior = 0.02; // s, what the velocity match may leave of the barometer's timing
constexpr double gravity = 9.80665; // m/s^2

// The receiver's accuracy fields, kept within what a working receiver gives
// (a zero or a missing value would make a measurement exact).
double height_sigma(const gps_point& p)
{
    const double v = p.vacc;
    return std::isfinite(v) ? std::clamp(v, 0.3, 100.0) : 100.0;
}
double speed_sigma(const gps_point& p)
{
    const double v = p.sacc;
    return std::isfinite(v) ? std::clamp(v, 0.05, 20.0) : 20.0;
}

// V^2 / 2g of a sample (m).
double dynamic_height(const gps_point& p)
{
    const double vn = p.vel_ltp[0], ve = p.vel_ltp[1], vd = p.vel_ltp[2];
    return (vn * vn + ve * ve + vd * vd) / (2.0 * gravity);
}

// The canopy's attitude at sample i from the GPS velocities: the sine of
// the bank a coordinated turn needs, and the sine of the dive angle.
void attitude(const gps_point* track, const std::vector<double>& t, uint32_t count, uint32_t i, double* bank,
    double* dive)
{
    const gps_point& p = track[i];
    const double vh = std::hypot(p.vel_ltp[0], p.vel_ltp[1]);
    *dive = std::sin(std::atan2(p.vel_ltp[2], std::max(vh, 0.1)));
    const uint32_t a = i > 0 ? i - 1 : i, b = i + 1 < count ? i + 1 : i;
    *bank = 0;
    if (b > a && t[b] > t[a]) {
        double turn = std::atan2(track[b].vel_ltp[1], track[b].vel_ltp[0])
            - std::atan2(track[a].vel_ltp[1], track[a].vel_ltp[0]);
        turn = std::remainder(turn, 2.0 * 3.141592653589793);
        const double rate = turn / (t[b] - t[a]); // rad/s
        *bank = std::fabs(std::sin(std::atan(rate * vh / gravity)));
    }
    if (!std::isfinite(*dive) || !std::isfinite(*bank))
        *bank = *dive = 0;
}

// The transition over dt seconds.
fusion_matrix transition(double dt)
{
    fusion_matrix f = fusion_matrix::Identity();
    f(ih, iv) = dt;
    f(ih, ia) = dt * dt / 2.0;
    f(iv, ia) = dt;
    f(iev, iev) = std::exp(-dt / velocity_tau);
    f(ieh, ieh) = std::exp(-dt / height_tau);
    return f;
}

// f p f^T for the transition over dt without the dense products: only h,
// v and a mix, ev and eh decay.
fusion_matrix propagate(const fusion_matrix& p, double dt)
{
    const double half = dt * dt / 2.0;
    const double fv = std::exp(-dt / velocity_tau), fh = std::exp(-dt / height_tau);
    fusion_matrix m = p; // f p
    m.row(ih) += dt * p.row(iv) + half * p.row(ia);
    m.row(iv) += dt * p.row(ia);
    m.row(iev) *= fv;
    m.row(ieh) *= fh;
    fusion_matrix r = m; // (f p) f^T
    r.col(ih) += dt * m.col(iv) + half * m.col(ia);
    r.col(iv) += dt * m.col(ia);
    r.col(iev) *= fv;
    r.col(ieh) *= fh;
    return r;
}

// The process noise over dt seconds, ending at sample p; `unflown` before
// the canopy has opened: in the aircraft (a cabin's pressure of its own) and
// in freefall (another attitude).
fusion_matrix process_noise(double dt, const gps_point& p, bool unflown)
{
    fusion_matrix q = fusion_matrix::Zero();
    const double d2 = dt * dt, d3 = d2 * dt, d4 = d3 * dt, d5 = d4 * dt;
    q(ih, ih) = jerk_density * d5 / 20.0;
    q(ih, iv) = q(iv, ih) = jerk_density * d4 / 8.0;
    q(ih, ia) = q(ia, ih) = jerk_density * d3 / 6.0;
    q(iv, iv) = jerk_density * d3 / 3.0;
    q(iv, ia) = q(ia, iv) = jerk_density * d2 / 2.0;
    q(ia, ia) = jerk_density * dt;
    q(io, io) = (unflown ? unflown_offset_walk : offset_walk) * dt;
    q(ic, ic) = (unflown ? unflown_walk : coefficient_walk) * dt;
    const double fv = std::exp(-dt / velocity_tau), fh = std::exp(-dt / height_tau);
    const double sv = speed_sigma(p), sh = height_sigma(p);
    q(iev, iev) = (1.0 - fv * fv) * sv * sv;
    q(ieh, ieh) = (1.0 - fh * fh) * sh * sh;
    return q;
}

// One scalar measurement z = H x + white noise of variance r; H is given
// with the predicted value of the measurement.
void update(fusion_vector& x, fusion_matrix& p, const fusion_vector& h, double predicted, double z, double r)
{
    const fusion_vector ph = p * h;
    const double innovation_variance = h.dot(ph) + r;
    if (!(innovation_variance > 0))
        return;
    const fusion_vector k = ph / innovation_variance;
    x += k * (z - predicted);
    p -= k * ph.transpose();
    p = (p + p.transpose()) * 0.5;
}

// The barometric height at time t, from the rows around it; false when none.
bool baro_at(const sensor_link& link, size_t& cursor, double t, double* value)
{
    const std::vector<double>& time = link.baro_time;
    const size_t n = time.size();
    if (n < 2 || t < time.front() || t > time.back())
        return false;
    while (cursor + 2 < n && time[cursor + 1] < t)
        ++cursor;
    while (cursor > 0 && time[cursor] > t)
        --cursor;
    const double t0 = time[cursor], t1 = time[cursor + 1];
    if (t < t0 || t > t1 || !(t1 - t0 <= baro_row_gap))
        return false;
    const double f = t1 > t0 ? (t - t0) / (t1 - t0) : 0.0;
    *value = link.baro_height[cursor] + (link.baro_height[cursor + 1] - link.baro_height[cursor]) * f;
    return true;
}

} // namespace

void baro_fuse(
    const gps_point* track, uint32_t count, const sensor_link& link, baro_fusion& out, const char** err)
{
    *err = nullptr;
    out = baro_fusion {};
    if (count == 0 || link.track_time.size() != count || link.regime.size() != count) {
        *err = errmsg("barometric height estimate failed");
        return;
    }
    const std::vector<double>& t = link.track_time;
    const double h_ref = track[count - 1].pos_wgs84[2];
    // Only the filtered states are kept; the smoother predicts again.
    std::vector<fusion_vector> x_filt(count);
    std::vector<fusion_matrix> p_filt(count);

    // Prior at the first sample.
    fusion_vector x = fusion_vector::Zero();
    fusion_matrix p = fusion_matrix::Zero();
    size_t cursor = 0;
    double b0 = 0;
    x(ih) = track[0].pos_wgs84[2];
    x(iv) = -track[0].vel_ltp[2];
    if (baro_at(link, cursor, t[0], &b0))
        x(io) = b0 - (x(ih) - h_ref);
    const double sh0 = height_sigma(track[0]), sv0 = speed_sigma(track[0]);
    const double prior[fusion_states]
        = { 50.0, 10.0, 5.0, 50.0, 0.05, 3.0, 0.03, 0.005, 0.005, sv0, sh0, timing_prior };
    for (int k = 0; k < fusion_states; ++k)
        p(k, k) = prior[k] * prior[k];

    // Until the canopy opens the barometer's offset and coefficient walk fast.
    std::vector<bool> unflown(count);
    for (uint32_t i = 0; i < count; ++i)
        unflown[i] = link.regime[i] == flight_regime::aircraft || link.regime[i] == flight_regime::freefall;
    for (uint32_t i = 0; i < count; ++i) {
        const gps_point& g = track[i];
        if (i > 0) {
            const double dt = std::max(0.0, t[i] - t[i - 1]);
            x = transition(dt) * x;
            p = propagate(p, dt) + process_noise(dt, g, unflown[i]);
        }

        fusion_vector h = fusion_vector::Zero();
        if (std::isfinite(g.pos_wgs84[2])) {
            h(ih) = 1;
            h(ieh) = 1;
            update(x, p, h, x(ih) + x(ieh), g.pos_wgs84[2], gps_height_white);
        }
        if (std::isfinite(g.vel_ltp[2])) {
            h.setZero();
            h(iv) = -1;
            h(iev) = -1;
            update(x, p, h, -x(iv) - x(iev), g.vel_ltp[2], velocity_white);
        }
        double b = 0;
        const double q = dynamic_height(g);
        if (std::isfinite(q) && baro_at(link, cursor, t[i], &b)) {
            const double u = x(ih) - h_ref;
            const double uk = u / 1000.0;
            h.setZero();
            h(ih) = 1.0 + x(is) + 2.0 * x(ik) * uk / 1000.0;
            h(io) = 1;
            h(is) = u;
            h(ik) = uk * uk;
            double bank = 0, dive = 0;
            attitude(track, t, count, i, &bank, &dive);
            h(ic) = q;
            h(icb) = q * bank;
            h(icd) = q * dive;
            h(iv) = x(idt);
            h(idt) = x(iv);
            const double predicted = x(io) + (1.0 + x(is)) * u + x(ik) * uk * uk
                + (x(ic) + x(icb) * bank + x(icd) * dive) * q + x(idt) * x(iv);
            update(x, p, h, predicted, b, baro_white);
        }
        if (!x.allFinite() || !p.allFinite()) {
            *err = errmsg("barometric height estimate failed");
            return;
        }
        x_filt[i] = x;
        p_filt[i] = p;
    }

    // Rauch-Tung-Striebel: back from the last sample. The filtered
    // covariances turn into the smoothed ones in place.
    try {
        out.height.resize(count);
        out.sigma.resize(count);
        out.gain.resize(count);
    } catch (const std::bad_alloc&) {
        out = baro_fusion {};
        *err = errmsg("barometric height estimate failed");
        return;
    }
    out.state = std::move(x_filt);
    out.covariance = std::move(p_filt);
    out.gain[count - 1].setZero();
    for (uint32_t i = count - 1; i-- > 0;) {
        const double dt = std::max(0.0, t[i + 1] - t[i]);
        const fusion_matrix& pf = out.covariance[i];
        const fusion_matrix p_pred = propagate(pf, dt) + process_noise(dt, track[i + 1], unflown[i + 1]);
        const fusion_vector x_pred = transition(dt) * out.state[i];
        const Eigen::LLT<fusion_matrix> solver(p_pred);
        fusion_matrix fp = pf; // f p_filt, by rows as in propagate
        fp.row(ih) += dt * pf.row(iv) + (dt * dt / 2.0) * pf.row(ia);
        fp.row(iv) += dt * pf.row(ia);
        fp.row(iev) *= std::exp(-dt / velocity_tau);
        fp.row(ieh) *= std::exp(-dt / height_tau);
        const fusion_matrix c = solver.solve(fp).transpose();
        out.gain[i] = c;
        out.state[i] += c * (out.state[i + 1] - x_pred);
        const fusion_matrix ps = pf + c * (out.covariance[i + 1] - p_pred) * c.transpose();
        out.covariance[i] = (ps + ps.transpose()) * 0.5;
    }
    for (uint32_t i = 0; i < count; ++i) {
        out.height[i] = out.state[i](ih);
        out.sigma[i] = std::sqrt(std::max(0.0, out.covariance[i](ih, ih)));
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (!std::isfinite(out.height[i]) || !std::isfinite(out.sigma[i])) {
            out = baro_fusion {};
            *err = errmsg("barometric height estimate failed");
            return;
        }
    }
}

fusion_matrix baro_cross_covariance(const baro_fusion& f, uint32_t i, uint32_t j)
{
    if (i == j)
        return f.covariance[i];
    const bool swap = i > j;
    uint32_t a = swap ? j : i, b = swap ? i : j;
    // Cov(x_a, x_b) = C_a C_a+1 ... C_b-1 P_b.
    fusion_matrix m = f.covariance[b];
    for (uint32_t k = b; k-- > a;)
        m = f.gain[k] * m;
    return swap ? fusion_matrix(m.transpose()) : m;
}

height_above_stop baro_height_above_stop(
    const baro_fusion& f, const swoop& s, uint32_t before, int64_t time_ms, uint32_t stop)
{
    height_above_stop r;
    const uint32_t n = static_cast<uint32_t>(f.height.size());
    if (n == 0 || before + 1 >= n || stop >= n || s.track.size() < n)
        return r;
    const double t0 = static_cast<double>(s.track[before].time);
    const double t1 = static_cast<double>(s.track[before + 1].time);
    double w = t1 > t0 ? (static_cast<double>(time_ms) - t0) / (t1 - t0) : 0.0;
    w = std::clamp(w, 0.0, 1.0);
    // d = (1 - w) h_before + w h_after - h_stop
    const uint32_t idx[3] = { before, before + 1, stop };
    const double coef[3] = { 1.0 - w, w, -1.0 };
    double var = 0;
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b)
            var += coef[a] * coef[b] * baro_cross_covariance(f, idx[a], idx[b])(ih, ih);
    }
    r.known = true;
    r.height = (1.0 - w) * f.height[before] + w * f.height[before + 1] - f.height[stop];
    r.sigma = std::sqrt(std::max(0.0, var));
    return r;
}

gate_heights swoop_gate_heights(const swoop& s, const baro_fusion& f)
{
    gate_heights g;
    if (s.entry_gate != 0 && s.entry_gate_time != 0)
        g.entry_gate
            = baro_height_above_stop(f, s, s.entry_gate, static_cast<int64_t>(s.entry_gate_time), s.stop);
    if (s.exit_gate != 0 && s.exit_gate_time != 0)
        g.exit_gate
            = baro_height_above_stop(f, s, s.exit_gate, static_cast<int64_t>(s.exit_gate_time), s.stop);
    return g;
}

void swoop_baro_fuse(const swoop& s, const sensor_file& sensor, baro_fusion& out, const char** err)
{
    *err = nullptr;
    out = baro_fusion {};
    if (s.track_len == 0 || s.track.size() < s.track_len) {
        *err = errmsg("sensor file does not cover the swoop");
        return;
    }
    sensor_link link;
    sensor_link_track(s.track.data(), s.track_len, sensor, link, err);
    if (*err)
        return;
    baro_fuse(s.track.data(), s.track_len, link, out, err);
}

void swoop_use_baro_heights(swoop& s, const baro_fusion& f)
{
    std::vector<double> correction;
    if (f.height.size() == s.track_len && s.track.size() >= s.track_len) {
        correction.resize(s.track_len);
        for (uint32_t i = 0; i < s.track_len; ++i)
            correction[i] = f.height[i] - s.track[i].pos_wgs84[2];
    }
    swoop_set_height_correction(s, std::move(correction));
}
