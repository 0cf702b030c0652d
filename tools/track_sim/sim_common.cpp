// SPDX-License-Identifier: GPL-3.0-or-later
// Random numbers, smooth profiles, frames and the logger model.
#include "tools/track_sim/sim_internal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "tools/track_sim/track_format.h"

namespace sim_detail {

uint64_t rng::next()
{
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

double rng::uniform()
{
    return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
}

double rng::gauss()
{
    // Sum of four uniforms: variance 4/12, scaled to 1. Plain arithmetic, so
    // the numbers do not depend on the maths library.
    double s = uniform() + uniform() + uniform() + uniform() - 2.0;
    return s * 1.7320508075688772;
}

uint64_t stream_seed(uint64_t seed, uint64_t purpose)
{
    rng r(seed ^ (purpose * 0xd1b54a32d192ed03ULL));
    r.next();
    return r.next();
}

double ease_value(ease e, double s)
{
    s = std::clamp(s, 0.0, 1.0);
    switch (e) {
    case ease::linear:
        return s;
    case ease::smooth:
        return s * s * (3.0 - 2.0 * s);
    case ease::ease_out:
        return 1.0 - (1.0 - s) * (1.0 - s);
    }
    return s;
}

double ease_integral(ease e, double s)
{
    s = std::clamp(s, 0.0, 1.0);
    switch (e) {
    case ease::linear:
        return s * s / 2.0;
    case ease::smooth:
        return s * s * s - s * s * s * s / 2.0;
    case ease::ease_out: {
        double r = 1.0 - s;
        return s - (1.0 - r * r * r) / 3.0;
    }
    }
    return 0;
}

double ease_average(ease e)
{
    return ease_integral(e, 1.0);
}

void channel::ramp(double t0, double duration, double b, ease e)
{
    ramp_from(t0, duration, value(t0), b, e);
}

void channel::ramp_from(double t0, double duration, double a, double b, ease e)
{
    pieces_.push_back({ t0, t0 + duration, a, b, e });
}

double channel::held_before(size_t i) const
{
    return i == 0 ? initial_ : pieces_[i - 1].b;
}

double channel::last() const
{
    return pieces_.empty() ? initial_ : pieces_.back().b;
}

double channel::value(double t) const
{
    // The first piece that ends after t.
    auto it = std::upper_bound(
        pieces_.begin(), pieces_.end(), t, [](double v, const piece& p) { return v < p.t1; });
    if (it == pieces_.end())
        return last();
    if (t < it->t0)
        return held_before(static_cast<size_t>(it - pieces_.begin()));
    double s = it->t1 > it->t0 ? (t - it->t0) / (it->t1 - it->t0) : 1.0;
    return it->a + (it->b - it->a) * ease_value(it->e, s);
}

double channel::integral(double t0, double t1) const
{
    // Integral from -infinity-like start at t0 to t1: walk the pieces and the holds between.
    double sum = 0;
    double t = t0;
    for (size_t i = 0; i <= pieces_.size() && t < t1; ++i) {
        double hold_end = i < pieces_.size() ? std::min(pieces_[i].t0, t1) : t1;
        if (hold_end > t) {
            sum += held_before(i) * (hold_end - t);
            t = hold_end;
        }
        if (i == pieces_.size() || t >= t1)
            break;
        const piece& p = pieces_[i];
        if (p.t1 <= t)
            continue;
        double len = p.t1 - p.t0;
        double s0 = (t - p.t0) / len;
        double s1 = (std::min(p.t1, t1) - p.t0) / len;
        sum += p.a * (s1 - s0) * len + (p.b - p.a) * len * (ease_integral(p.e, s1) - ease_integral(p.e, s0));
        t = std::min(p.t1, t1);
    }
    return sum;
}

frame make_frame(const frame_matrix& m)
{
    return { m, matrix_invert(m) };
}

vec3 local_to_wgs84(const frame& f, const vec3& local)
{
    return ecef_to_wgs84(transform_point(f.inverse, local));
}

vec3 local_velocity_to_ned(const frame& f, const vec3& wgs84, const vec3& vel_local)
{
    vec3 v = transform_vector(f.inverse, vel_local);
    double phi = wgs84[0] * deg;
    double lambda = wgs84[1] * deg;
    double sp = std::sin(phi), cp = std::cos(phi), sl = std::sin(lambda), cl = std::cos(lambda);
    vec3 north { -sp * cl, -sp * sl, cp };
    vec3 east { -sl, cl, 0.0 };
    vec3 down { -cp * cl, -cp * sl, -sp };
    auto dot = [](const vec3& a, const vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
    return { dot(north, v), dot(east, v), dot(down, v) };
}

logger_model::logger_model(const frame_matrix& local, const sim_noise& noise, uint64_t seed)
    : frame_(make_frame(local))
    , noise_(noise)
    , noise_rng_(stream_seed(seed, 1))
    , drop_rng_(stream_seed(seed, 2))
    , acc_rng_(stream_seed(seed, 3))
{
    acc_phase_ = acc_rng_.uniform() * 6.283185307179586;
    numsv_ = 9 + static_cast<int>(acc_rng_.uniform() * 5.0);
    // Start the wandering error somewhere inside its usual range.
    double level = std::max(0.0, noise_.level);
    pos_error_ = { 0.3 * level * noise_rng_.gauss() * 0.5, 0.3 * level * noise_rng_.gauss() * 0.5,
        0.45 * level * noise_rng_.gauss() * 0.5 };
}

void logger_model::record(
    int64_t time, const vec3& pos_local, const vec3& vel_local, bool keep, std::vector<gps_point>& out)
{
    double dt = started_ ? static_cast<double>(time - last_time_) / 1000.0 : 0.0;
    started_ = true;
    last_time_ = time;
    double level = std::max(0.0, noise_.level);

    // Position error: a first-order Gauss-Markov process per axis (time
    // constant 30 s), kept within 0.9 m horizontally and vertically so the
    // jitter stays under a metre.
    const double tau = 30.0;
    double phi = std::exp(-dt / tau);
    double drive = std::sqrt(std::max(0.0, 1.0 - phi * phi));
    const double sigma[3] = { 0.3 * level, 0.3 * level, 0.45 * level };
    for (size_t k = 0; k < 3; ++k)
        pos_error_[k] = pos_error_[k] * phi + sigma[k] * drive * noise_rng_.gauss();
    double horizontal = std::hypot(pos_error_[0], pos_error_[1]);
    if (horizontal > 0.9) {
        pos_error_[0] *= 0.9 / horizontal;
        pos_error_[1] *= 0.9 / horizontal;
    }
    pos_error_[2] = std::clamp(pos_error_[2], -0.9, 0.9);
    // Velocity noise: white, a few cm/s.
    vec3 vel = vel_local;
    vel[0] += 0.04 * level * noise_rng_.gauss();
    vel[1] += 0.04 * level * noise_rng_.gauss();
    vel[2] += 0.05 * level * noise_rng_.gauss();

    // Accuracy fields wander slowly within what a logger reports in the open.
    acc_phase_ += dt * 0.02;
    hacc_wander_ = std::clamp(hacc_wander_ * 0.98 + 0.02 * acc_rng_.gauss(), -0.5, 0.5);
    double hacc = std::clamp(1.7 + 0.5 * std::sin(acc_phase_) + hacc_wander_, 1.0, 2.8);
    double vacc = std::clamp(hacc * 1.45 + 0.1 * acc_rng_.gauss(), 1.5, 4.0);
    double sacc = std::clamp(0.32 + 0.1 * std::sin(acc_phase_ * 1.7) + 0.03 * acc_rng_.gauss(), 0.2, 0.6);
    if (acc_rng_.uniform() < 0.004)
        numsv_ = std::clamp(numsv_ + (acc_rng_.uniform() < 0.5 ? -1 : 1), 8, 15);

    bool drop = drop_rng_.uniform() < noise_.drop_rate;
    if (drop && !keep)
        return;

    vec3 pos { pos_local[0] + pos_error_[0], pos_local[1] + pos_error_[1], pos_local[2] + pos_error_[2] };
    gps_point p {};
    p.time = time;
    p.pos_wgs84 = local_to_wgs84(frame_, pos);
    p.vel_ltp = local_velocity_to_ned(frame_, p.pos_wgs84, vel);
    p.hacc = static_cast<float>(hacc);
    p.vacc = static_cast<float>(vacc);
    p.sacc = static_cast<float>(sacc);
    p.gpsfix = 3;
    p.numsv = static_cast<uint8_t>(numsv_);
    quantize(p);
    out.push_back(p);
}

namespace {
double round_text(const char* format, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return std::strtod(buf, nullptr);
}
} // namespace

int64_t logger_time(int64_t t)
{
    int64_t minute = (t >= 0 ? t / 60000 : -((-t + 59999) / 60000)) * 60000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%03d", static_cast<int>((t - minute) / 1000),
        static_cast<int>((t - minute) % 1000));
    double seconds = std::strtod(buf, nullptr);
    return minute + static_cast<int64_t>(static_cast<uint32_t>(std::trunc(seconds * 1000)));
}

int64_t text_time_for(int64_t read)
{
    return logger_time(read) == read ? read : read + 1;
}

void quantize(gps_point& p)
{
    p.time = logger_time(p.time);
    p.pos_wgs84[0] = round_text(fmt_lat, p.pos_wgs84[0]);
    p.pos_wgs84[1] = round_text(fmt_lon, p.pos_wgs84[1]);
    p.pos_wgs84[2] = round_text(fmt_height, p.pos_wgs84[2]);
    for (double& v : p.vel_ltp)
        v = round_text(fmt_velocity, v);
    p.hacc = static_cast<float>(round_text(fmt_hacc, p.hacc));
    p.vacc = static_cast<float>(round_text(fmt_vacc, p.vacc));
    p.sacc = static_cast<float>(round_text(fmt_sacc, p.sacc));
}

std::vector<int64_t> sample_offsets(double rate, int64_t end_ms)
{
    std::vector<int64_t> out;
    for (int64_t k = 0;; ++k) {
        int64_t t = std::llround(static_cast<double>(k) * 1000.0 / rate);
        if (t > end_ms)
            break;
        out.push_back(t);
    }
    return out;
}

} // namespace sim_detail
