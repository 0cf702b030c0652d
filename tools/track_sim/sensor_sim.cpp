// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor file of a simulated track: barometer physics, the device clock
// and its TIME rows, the other rows a logger writes, and realistic GPS height
// and vertical-speed errors.
#include "tools/track_sim/sensor_sim.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>

#include "tools/track_sim/sim_internal.h"

using namespace sim_detail;

namespace {

constexpr double gravity = 9.80665; // m/s^2
constexpr double gas_constant = 287.053; // J/(kg K), dry air
constexpr double gps_epoch_s = 315964800.0; // 1980-01-06T00:00:00Z
constexpr double grid = 0.01; // s, step of the pressure simulation

// The truth the barometer sees at one moment.
struct truth_point {
    double t; // s since the epoch (UTC)
    double hmsl; // m, logger height
    double v2; // (m/s)^2, airspeed squared
    double bank; // sin of the bank angle (absolute)
    double dive; // sin of the dive angle
    int phase; // 0 aircraft or ground before the exit, 1 freefall, 2 canopy and after
};

double lerp(double a, double b, double f)
{
    return a + (b - a) * f;
}

// Interpolates the truth at time t (s); holds the ends.
truth_point truth_at(const std::vector<truth_point>& pts, size_t& cursor, double t)
{
    if (t <= pts.front().t)
        return pts.front();
    if (t >= pts.back().t)
        return pts.back();
    while (cursor + 2 < pts.size() && pts[cursor + 1].t <= t)
        ++cursor;
    while (cursor > 0 && pts[cursor].t > t)
        --cursor;
    const truth_point& a = pts[cursor];
    const truth_point& b = pts[cursor + 1];
    const double f = (t - a.t) / (b.t - a.t);
    return { t, lerp(a.hmsl, b.hmsl, f), lerp(a.v2, b.v2, f), lerp(a.bank, b.bank, f),
        lerp(a.dive, b.dive, f), f < 0.5 ? a.phase : b.phase };
}

double drawn(double given, double lo, double hi, rng& r)
{
    const double u = r.uniform();
    return std::isnan(given) ? lo + (hi - lo) * u : given;
}

void append(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void append(std::string& out, const char* format, ...)
{
    char buf[160];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    out.append(buf, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof buf) - 1)));
}

// Adds the GPS height and velD errors to the samples.
void add_gps_errors(std::vector<gps_point>& samples, uint64_t seed, double* tau_out)
{
    rng r(stream_seed(seed, 201));
    const double tau = 20.0 + 40.0 * r.uniform();
    *tau_out = tau;
    double eh = 0, ev = 0;
    int64_t last = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        gps_point& p = samples[i];
        const double sh = 0.6 * p.vacc, sv = p.sacc;
        if (i == 0) {
            eh = sh * r.gauss();
            ev = sv * r.gauss();
        } else {
            const double dt = static_cast<double>(p.time - last) / 1000.0;
            const double fh = std::exp(-dt / tau), fv = std::exp(-dt / 1.0);
            eh = eh * fh + sh * std::sqrt(1.0 - fh * fh) * r.gauss();
            ev = ev * fv + sv * std::sqrt(1.0 - fv * fv) * r.gauss();
        }
        last = p.time;
        p.pos_wgs84[2] += eh;
        p.vel_ltp[2] += ev;
        quantize(p);
    }
}

sim_sensor make_sensor(const std::vector<truth_point>& pts, std::vector<gps_point>& samples,
    double ground_height, const sensor_options& so)
{
    sim_sensor out;
    sensor_truth& tr = out.truth;
    rng r(stream_seed(so.seed, 202));
    rng noise(stream_seed(so.seed, 203));
    rng rows(stream_seed(so.seed, 204));

    // The run's draws.
    const double c0 = drawn(so.coefficient, -0.05, 0.05, r);
    const double clock_offset = drawn(so.clock_offset, -0.2, 0.2, r);
    const double lead = 5.0 + 25.0 * r.uniform(); // s powered on before the first fix
    const double tail = -1.0 + 2.0 * r.uniform(); // s after the last sample
    const double uptime = 5.0 + 30000.0 * r.uniform(); // s on the device clock at power-on
    const double drift = (r.uniform() * 2.0 - 1.0) * 5e-6;
    const double dT = (r.uniform() * 2.0 - 1.0) * 15.0;
    const double lapse = 0.005 + 0.003 * r.uniform();
    const double p_ground = 99000.0 + 4000.0 * r.uniform();
    const double tendency = (r.uniform() * 2.0 - 1.0) * 0.02; // Pa/s
    const double lag = 0.07 + 0.06 * r.uniform();
    const double zero_error = (r.uniform() * 2.0 - 1.0) * 50.0; // Pa
    const double per_kelvin = (r.uniform() * 2.0 - 1.0) * 1.0; // Pa/K
    const double cabin = -0.05 * r.uniform();
    const double alpha_ff = r.uniform() * 2.0 - 1.0;
    const double u_bank = r.uniform() * 2.0 - 1.0;
    const double u_dive = r.uniform() * 2.0 - 1.0;
    const bool real = so.barometer_errors;

    tr.coefficient = c0;
    tr.clock_offset = clock_offset;
    tr.lag = real ? lag : 0.0;
    tr.temperature_offset = dT;
    tr.lapse_rate = lapse;

    if (so.gps_errors)
        add_gps_errors(samples, so.seed, &tr.gps_height_tau);

    const double first = static_cast<double>(samples.front().time) / 1000.0;
    const double last = static_cast<double>(samples.back().time) / 1000.0;
    const double t_on = first - lead;
    const double t_end = last + tail;
    const double t_ground = 288.15 + dT;
    const double exponent = gravity / (gas_constant * lapse);

    // Pressure at the sensor on a 10 ms grid, lag included.
    const size_t steps = static_cast<size_t>((t_end - t_on) / grid) + 2;
    std::vector<double> sensed(steps);
    std::vector<double> device_temp(steps);
    size_t cursor = 0;
    double walk = 0, lagged = 0, t_dev = 25.0;
    const double lag_factor = 1.0 - std::exp(-grid / lag);
    const double warm = 1.0 - std::exp(-grid / 120.0);
    for (size_t k = 0; k < steps; ++k) {
        const double t = t_on + static_cast<double>(k) * grid;
        const truth_point p = truth_at(pts, cursor, t);
        double pressure;
        const double air_k = t_ground - lapse * (p.hmsl - ground_height);
        if (p.phase > 0)
            t_dev += (air_k - 273.15 - t_dev) * warm;
        device_temp[k] = t_dev;
        if (real) {
            walk += 0.1 * std::sqrt(grid) * noise.gauss();
            const double pg = p_ground + tendency * (t - t_on) + walk;
            const double base = std::max(0.05, 1.0 - lapse * (p.hmsl - ground_height) / t_ground);
            const double stat = pg * std::pow(base, exponent);
            const double rho = stat / (gas_constant * air_k);
            double c = cabin;
            if (p.phase == 1)
                c = c0 * (1.0 + 0.3 * alpha_ff);
            else if (p.phase == 2)
                c = c0 * (1.0 + 0.3 * std::clamp(u_bank * p.bank + u_dive * p.dive, -1.0, 1.0));
            pressure = stat - c * 0.5 * rho * p.v2 + zero_error + per_kelvin * (t_dev - 25.0);
            lagged = k == 0 ? pressure : lagged + (pressure - lagged) * lag_factor;
        } else {
            pressure = 101325.0 * std::pow(1.0 - 2.25577e-5 * p.hmsl, 5.25588);
            lagged = pressure;
        }
        sensed[k] = lagged;
    }
    auto sensed_at = [&](double t, double* temp) {
        const double x = std::clamp((t - t_on) / grid, 0.0, static_cast<double>(steps - 1) - 1e-9);
        const size_t k = static_cast<size_t>(x);
        const double f = x - static_cast<double>(k);
        *temp = device_temp[k];
        return lerp(sensed[k], sensed[std::min(k + 1, steps - 1)], f);
    };

    // Truth at the samples.
    cursor = 0;
    for (const gps_point& s : samples) {
        tr.sample_time.push_back(s.time);
        tr.sample_height.push_back(truth_at(pts, cursor, static_cast<double>(s.time) / 1000.0).hmsl);
    }

    // Device clock: ms since power-on, counted from `uptime`.
    auto device = [&](double t) { return uptime + (t - t_on) * (1.0 + drift); };
    auto true_time = [&](double d) { return t_on + (d - uptime) / (1.0 + drift); };
    const int64_t d_start = std::llround(device(t_on) * 1000.0) + 500;
    const int64_t d_end = std::llround(device(t_end) * 1000.0);

    // TIME rows at whole UTC seconds.
    std::vector<std::pair<int64_t, int64_t>> time_rows; // device ms, UTC second
    for (int64_t sec = static_cast<int64_t>(std::ceil(t_on + 2.0)); static_cast<double>(sec) <= t_end;
         ++sec) {
        const double d = device(static_cast<double>(sec) + clock_offset);
        time_rows.push_back({ static_cast<int64_t>(std::floor(d * 1000.0 + rows.uniform())), sec });
    }

    std::string& text = out.text;
    text.reserve(static_cast<size_t>((t_end - t_on) * 1800.0) + 1024);
    text += "$FILE,1\n$VAR,FIRMWARE_VER,sim\n$VAR,DEVICE_ID,track-sim\n$VAR,SESSION_ID,sim\n";
    text += "$COL,BARO,time,pressure,temperature\n$UNIT,BARO,s,Pa,deg C\n";
    text += "$COL,HUM,time,humidity,temperature\n$UNIT,HUM,s,percent,deg C\n";
    text += "$COL,MAG,time,x,y,z,temperature\n$UNIT,MAG,s,gauss,gauss,gauss,deg C\n";
    text += "$COL,IMU,time,wx,wy,wz,ax,ay,az,temperature\n$UNIT,IMU,s,deg/s,deg/s,deg/s,g,g,g,deg C\n";
    text += "$COL,TIME,time,tow,week\n$UNIT,TIME,s,s,\n";
    text += "$COL,VBAT,time,voltage\n$UNIT,VBAT,s,volt\n$DATA\n";

    // Row kinds interleaved by device time: nominal period (ms) and phase.
    enum kind { baro, mag, imu, hum, vbat, tim, kinds };
    const int64_t period[kinds] = { 100, 100, 80, 1000, 1000, 0 };
    const int64_t phase[kinds] = { 0, 6, 45, 44, 300, 0 };
    int64_t index[kinds] = {};
    auto next_time = [&](int k) -> int64_t {
        if (k == tim)
            return static_cast<size_t>(index[k]) < time_rows.size()
                ? time_rows[static_cast<size_t>(index[k])].first
                : INT64_MAX;
        return d_start + phase[k] + index[k] * period[k];
    };
    std::vector<int64_t> jitter(kinds, 0);
    for (;;) {
        int best = -1;
        int64_t best_t = INT64_MAX;
        for (int k = 0; k < kinds; ++k) {
            const int64_t t = next_time(k) + (k == tim ? 0 : jitter[static_cast<size_t>(k)]);
            if (t < best_t) {
                best_t = t;
                best = k;
            }
        }
        if (best < 0 || best >= kinds || best_t > d_end)
            break;
        const double d = static_cast<double>(best_t) / 1000.0;
        const double t = true_time(d);
        double temp = 25.0;
        const double p_sensed = sensed_at(t, &temp);
        switch (best) {
        case baro: {
            const double p = real ? p_sensed + noise.gauss() : p_sensed;
            append(text, "$BARO,%.3f,%.2f,%.2f\n", d, p, temp);
            tr.baro_time.push_back(t * 1000.0);
            break;
        }
        case mag:
            append(text, "$MAG,%.3f,%.3f,%.3f,%.3f,%.1f\n", d, -0.28 + 0.01 * rows.gauss(),
                0.43 + 0.01 * rows.gauss(), 0.66 + 0.01 * rows.gauss(), temp - 3.7);
            break;
        case imu:
            append(text, "$IMU,%.3f,%.3f,%.3f,%.3f,%.5f,%.5f,%.5f,%.2f\n", d, 2.0 * rows.gauss(),
                2.0 * rows.gauss(), 2.0 * rows.gauss(), 0.05 * rows.gauss(), -0.95 + 0.05 * rows.gauss(),
                0.11 + 0.05 * rows.gauss(), temp);
            break;
        case hum:
            append(text, "$HUM,%.3f,%.1f,%.1f\n", d, 60.0 + 2.0 * rows.gauss(), temp - 0.3);
            break;
        case vbat:
            append(text, "$VBAT,%.3f,%.3f\n", d, 4.1 - 0.0001 * (t - t_on));
            break;
        case tim: {
            const int64_t sec = time_rows[static_cast<size_t>(index[tim])].second;
            const double g = static_cast<double>(sec) - gps_epoch_s + (so.gps_time ? 18.0 : 0.0);
            const double week = std::floor(g / 604800.0);
            append(text, "$TIME,%.3f,%.3f,%d\n", d, g - week * 604800.0, static_cast<int>(week));
            break;
        }
        default:
            break;
        }
        const size_t b = static_cast<size_t>(best) % kinds;
        ++index[b];
        if (best != tim)
            jitter[b] = static_cast<int64_t>(rows.uniform() * 3.0);
    }
    cursor = 0;
    for (double bt : tr.baro_time)
        tr.baro_height.push_back(truth_at(pts, cursor, bt / 1000.0).hmsl);
    return out;
}

} // namespace

sim_sensor simulate_swoop_sensor(sim_swoop& s, const swoop_options& o, const sensor_options& so)
{
    std::vector<truth_point> pts;
    const frame f = make_frame(s.truth.run_matrix);
    const std::vector<sim_motion>& m = s.motion;
    const int64_t exit_ms = s.truth.plane_exit_time;
    const int64_t open_ms = s.truth.deployment_time + 1000; // hanging upright under the opening canopy
    pts.reserve(m.size());
    for (size_t k = 0; k < m.size(); ++k) {
        const sim_motion& a = m[k];
        const double vh = std::hypot(a.vel[0], a.vel[1]);
        const size_t k0 = k > 0 ? k - 1 : k, k1 = k + 1 < m.size() ? k + 1 : k;
        double rate = 0; // rad/s
        if (k1 > k0)
            rate = (m[k1].heading - m[k0].heading) * deg * 1000.0
                / static_cast<double>(m[k1].time - m[k0].time);
        const double bank = std::fabs(std::sin(std::atan(rate * vh / gravity)));
        const double dive = std::sin(std::atan2(-a.vel[2], std::max(vh, 0.1)));
        const int phase = a.time < exit_ms ? 0 : a.time < open_ms ? 1 : 2;
        const double v2 = a.vel[0] * a.vel[0] + a.vel[1] * a.vel[1] + a.vel[2] * a.vel[2];
        pts.push_back(
            { static_cast<double>(a.time) / 1000.0, local_to_wgs84(f, a.pos)[2], v2, bank, dive, phase });
    }
    if (pts.size() < 2)
        throw std::invalid_argument("sensor: the swoop was generated without its motion");
    return make_sensor(pts, s.samples, o.course.ground_height, so);
}

sim_sensor simulate_walk_sensor(sim_walk& w, const walk_options& o, const sensor_options& so)
{
    std::vector<truth_point> pts;
    const double h = o.course.ground_height + o.carry_height;
    for (const gps_point& p : w.samples) {
        const double v2 = p.vel_ltp[0] * p.vel_ltp[0] + p.vel_ltp[1] * p.vel_ltp[1];
        pts.push_back({ static_cast<double>(p.time) / 1000.0, h, v2, 0.0, 0.0, 2 });
    }
    if (pts.size() < 2)
        throw std::invalid_argument("sensor: the walk has too few samples");
    return make_sensor(pts, w.samples, o.course.ground_height, so);
}

std::string sensor_truth_csv(const sensor_truth& t)
{
    std::string out;
    append(out,
        "# coefficient %.5f, clock offset %.4f s, lag %.4f s, temperature offset %.2f K, lapse rate %.5f "
        "K/m, "
        "GPS height tau %.1f s\n",
        t.coefficient, t.clock_offset, t.lag, t.temperature_offset, t.lapse_rate, t.gps_height_tau);
    out += "kind,time,height\n";
    for (size_t i = 0; i < t.sample_height.size(); ++i)
        append(out, "sample,%" PRId64 ",%.3f\n", t.sample_time[i], t.sample_height[i]);
    for (size_t j = 0; j < t.baro_height.size(); ++j)
        append(out, "baro,%.1f,%.3f\n", t.baro_time[j], t.baro_height[j]);
    return out;
}
