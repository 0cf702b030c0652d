// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/sensor/sensor_link.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/platform/platform.h"
#include "core/track/error_text.h"

namespace {

constexpr double search_range = 20.0; // s of offset searched either way
constexpr double largest_offset = 1.0; // s the match may lie from the TIME rows' mapping
constexpr double leap_shift = 18.0; // s by which GPS time runs ahead of UTC
constexpr double shifted_ratio = 2.0; // the shifted mapping's mean square mismatch must be this much worse
constexpr double grid_step = 0.05; // s, barometric heights resampled on this grid for the match
constexpr int speed_half_span = 10; // grid steps: vertical speed over +-0.5 s
constexpr double row_gap = 1.0; // s, longer gaps between BARO rows give no vertical speed
constexpr double no_value = std::numeric_limits<double>::quiet_NaN();
constexpr double gravity = 9.80665; // m/s^2
constexpr double freefall_height = 500.0; // m above the last sample: no canopy dives up there
constexpr double freefall_onset = 6.0; // m/s^2 of downward acceleration over a second: an exit
constexpr double opening_slowdown = 5.0; // m/s below the freefall's fastest descent: the canopy is opening
constexpr double opening_time = 3.0; // s from then until the canopy flies
constexpr double exit_before = 2.0; // s before the exit is seen that the match leaves out
constexpr double exit_after = 1.0; // s after
constexpr double fastest_dynamic_height = 5000.0; // m, V^2 / 2g at over 300 m/s: a value no logger writes

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t days_from_civil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int64_t floor_div(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Seconds to add to a whole local-converted second to get true UTC; 0 when
// the breakdown fails.
int64_t utc_correction(int64_t seconds)
{
    std::tm tm {};
    if (!platform_localtime(seconds, &tm))
        return 0;
    const int64_t utc
        = days_from_civil(tm.tm_year + int64_t { 1900 }, tm.tm_mon + int64_t { 1 }, tm.tm_mday) * 86400
        + tm.tm_hour * int64_t { 3600 } + tm.tm_min * int64_t { 60 } + tm.tm_sec;
    return utc - seconds;
}

// Barometric heights on a regular grid of the TIME rows' mapping (s since
// the track's first sample) and the vertical speed over +-0.5 s there.
struct speed_grid {
    double start = 0; // s of the first grid point
    std::vector<double> speed; // m/s, NaN where the rows do not give one

    // Linear interpolation at t; NaN outside the grid or next to a gap.
    double at(double t) const
    {
        const double x = (t - start) / grid_step;
        if (!(x >= 0) || x >= static_cast<double>(speed.size()) - 1)
            return no_value;
        const size_t k = static_cast<size_t>(x);
        const double f = x - static_cast<double>(k);
        return speed[k] + (speed[k + 1] - speed[k]) * f;
    }
};

speed_grid make_speed_grid(const std::vector<double>& time, const std::vector<double>& height)
{
    speed_grid g;
    const size_t n = time.size();
    if (n < 2)
        return g;
    g.start = time.front();
    const size_t points = static_cast<size_t>((time.back() - time.front()) / grid_step) + 1;
    std::vector<double> h(points, no_value);
    size_t j = 0;
    for (size_t k = 0; k < points; ++k) {
        const double t = g.start + static_cast<double>(k) * grid_step;
        while (j + 2 < n && time[j + 1] <= t)
            ++j;
        const double t0 = time[j], t1 = time[j + 1];
        if (t < t0 || t > t1 || t1 - t0 > row_gap)
            continue;
        h[k] = height[j] + (height[j + 1] - height[j]) * (t - t0) / (t1 - t0);
    }
    g.speed.assign(points, no_value);
    const size_t span = speed_half_span;
    const double seconds = 2.0 * static_cast<double>(span) * grid_step;
    for (size_t k = span; k + span < points; ++k)
        g.speed[k] = (h[k + span] - h[k - span]) / seconds; // NaN when either end is missing
    return g;
}

// What the match compares at each track sample.
struct match_samples {
    const std::vector<double>* time = nullptr; // s since the first sample
    std::vector<double> climb; // m/s, -velD
    std::vector<double> airflow; // m/s, the change of V^2 / 2g over the barometer speed's second
    std::vector<int8_t> regime; // the airflow coefficient's index (0 to 2); -1: left out, or no airflow known
};

match_samples make_match_samples(
    const gps_point* track, const std::vector<double>& t, const std::vector<flight_regime>& regimes)
{
    const auto count = static_cast<uint32_t>(t.size());
    match_samples m;
    m.time = &t;
    m.climb.resize(count);
    m.airflow.assign(count, no_value);
    m.regime.assign(count, 2);
    const auto first = std::find(regimes.begin(), regimes.end(), flight_regime::freefall);
    const double exit_seen
        = first != regimes.end() ? t[static_cast<size_t>(first - regimes.begin())] : no_value;
    std::vector<double> q(count);
    for (uint32_t i = 0; i < count; ++i) {
        const vec3& v = track[i].vel_ltp;
        m.climb[i] = -v[2];
        q[i] = (v[0] * v[0] + v[1] * v[1] + v[2] * v[2]) / (2.0 * gravity);
        const bool exit = t[i] > exit_seen - exit_before && t[i] < exit_seen + exit_after;
        const bool absurd = !(q[i] < fastest_dynamic_height); // no logger flies that fast, or NaN
        m.regime[i] = exit || absurd || regimes[i] == flight_regime::opening ? -1
            : regimes[i] == flight_regime::aircraft                          ? 0
            : regimes[i] == flight_regime::freefall                          ? 1
                                                                             : 2;
    }
    // V^2 / 2g at time `at`, linear between the samples around it.
    auto q_at = [&](double at, uint32_t& k) {
        while (k + 2 < count && t[k + 1] <= at)
            ++k;
        if (k + 1 >= count || at < t[k] || at > t[k + 1] || !(t[k + 1] > t[k]))
            return no_value;
        return q[k] + (q[k + 1] - q[k]) * (at - t[k]) / (t[k + 1] - t[k]);
    };
    const double half = static_cast<double>(speed_half_span) * grid_step;
    uint32_t lo = 0, hi = 0;
    for (uint32_t i = 0; i < count; ++i) {
        m.airflow[i] = (q_at(t[i] + half, hi) - q_at(t[i] - half, lo)) / (2.0 * half);
        if (!(std::fabs(m.airflow[i]) < fastest_dynamic_height))
            m.regime[i] = -1;
    }
    return m;
}

// Mean square of barometric minus GPS vertical speed with the barometer
// moved by `offset` seconds, over every `stride`-th sample, once the
// barometer's scale and each regime's airflow term are fitted out; NaN with
// too few samples to judge.
double mismatch(const speed_grid& g, const match_samples& m, double offset, uint32_t stride)
{
    using vector4 = Eigen::Matrix<double, 4, 1>;
    Eigen::Matrix<double, 4, 4> xx = Eigen::Matrix<double, 4, 4>::Zero();
    vector4 xd = vector4::Zero();
    double dd = 0;
    uint32_t used = 0;
    const std::vector<double>& t = *m.time;
    const uint32_t count = static_cast<uint32_t>(t.size());
    for (uint32_t i = 0; i < count; i += stride) {
        const double d = g.at(t[i] - offset) - m.climb[i];
        if (m.regime[i] < 0 || !std::isfinite(d))
            continue;
        vector4 x = vector4::Zero(); // the climb rate, then the airflow term of the sample's regime
        x(0) = m.climb[i];
        x(1 + m.regime[i]) = m.airflow[i];
        xx.selfadjointView<Eigen::Lower>().rankUpdate(x);
        xd += x * d;
        dd += d * d;
        ++used;
    }
    if (used < 20)
        return no_value;
    xx.diagonal().array() += 1e-9; // a regime without samples fits nothing
    const vector4 fit = xx.selfadjointView<Eigen::Lower>().ldlt().solve(xd);
    const double rest = dd - fit.dot(xd); // NaN or infinite from values no logger writes: no judgement
    return std::isfinite(rest) ? std::max(0.0, rest) / used : no_value;
}

// The offset in [from, to] (step) with the smallest mismatch; NaN when none judges.
double best_offset(
    const speed_grid& g, const match_samples& m, double from, double to, double step, uint32_t stride)
{
    double best = no_value, best_j = no_value;
    const int steps = static_cast<int>(std::lround((to - from) / step));
    for (int k = 0; k <= steps; ++k) {
        const double offset = from + step * k;
        const double j = mismatch(g, m, offset, stride);
        if (std::isfinite(j) && !(j >= best_j)) {
            best_j = j;
            best = offset;
        }
    }
    return best;
}

// The BARO rows cover the track from 0 to `end` s with the given offset.
bool covers(const std::vector<double>& time, double offset, double end)
{
    if (time.empty() || time.front() + offset > sensor_cover_slack
        || time.back() + offset < end - sensor_cover_slack)
        return false;
    for (size_t j = 1; j < time.size(); ++j) {
        const double a = time[j - 1] + offset, b = time[j] + offset;
        if (b > 0 && a < end && b - a > sensor_cover_slack)
            return false;
    }
    return true;
}

} // namespace

std::vector<flight_regime> flight_regimes(
    const gps_point* track, const std::vector<double>& t, uint32_t count)
{
    std::vector<flight_regime> out(count, flight_regime::canopy);
    if (count == 0)
        return out;
    const double landing = track[count - 1].pos_wgs84[2];
    uint32_t exit = count;
    uint32_t j = 0; // sample about a second before i
    for (uint32_t i = 0; i < count && exit == count; ++i) {
        while (j + 1 < i && t[i] - t[j + 1] >= 1.0)
            ++j;
        const double dt = t[i] - t[j];
        const double down = dt >= 0.5 ? (track[i].vel_ltp[2] - track[j].vel_ltp[2]) / dt : 0.0;
        if (track[i].pos_wgs84[2] - landing > freefall_height && down > freefall_onset)
            exit = i;
    }
    if (exit == count)
        return out;
    std::fill(out.begin(), out.begin() + exit, flight_regime::aircraft);
    double fastest = track[exit].vel_ltp[2], opened = 0;
    flight_regime now = flight_regime::freefall;
    for (uint32_t i = exit; i < count; ++i) {
        if (now == flight_regime::freefall) {
            fastest = std::max(fastest, track[i].vel_ltp[2]);
            if (track[i].vel_ltp[2] < fastest - opening_slowdown) {
                now = flight_regime::opening;
                opened = t[i];
            }
        }
        if (now == flight_regime::opening && t[i] - opened >= opening_time)
            now = flight_regime::canopy;
        out[i] = now;
    }
    return out;
}

double track_time_utc(int64_t time_ms)
{
    const int64_t seconds = floor_div(time_ms, 1000);
    const int64_t rest = time_ms - seconds * 1000;
    return static_cast<double>(seconds + utc_correction(seconds)) + static_cast<double>(rest) / 1000.0;
}

double pressure_height(double pressure)
{
    // International standard atmosphere below 11 km: 288.15 K at 101325 Pa,
    // 6.5 K/km.
    return 44330.769 * (1.0 - std::pow(pressure / 101325.0, 0.190263));
}

void sensor_link_track(
    const gps_point* track, uint32_t count, const sensor_file& sensor, sensor_link& out, const char** err)
{
    *err = nullptr;
    out = sensor_link {};
    if (count == 0 || sensor.baro.empty()) {
        *err = errmsg("sensor file does not cover the swoop");
        return;
    }
    // True UTC of every sample; zone offsets change on whole minutes, so one
    // breakdown per minute of the track.
    out.track_time.resize(count);
    int64_t minute = INT64_MIN, correction = 0;
    double first = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const int64_t seconds = floor_div(track[i].time, 1000);
        if (floor_div(seconds, 60) != minute) {
            minute = floor_div(seconds, 60);
            correction = utc_correction(seconds);
        }
        const double utc = static_cast<double>(seconds + correction)
            + static_cast<double>(track[i].time - seconds * 1000) / 1000.0;
        if (i == 0)
            first = utc;
        out.track_time[i] = utc - first;
    }
    out.utc_start = first;
    const double end = out.track_time.back();

    const size_t rows = sensor.baro.size();
    out.baro_time.resize(rows);
    out.baro_height.resize(rows);
    for (size_t j = 0; j < rows; ++j) {
        out.baro_time[j] = sensor_clock_time(sensor.clock, sensor.baro[j].time) - first;
        out.baro_height[j] = pressure_height(sensor.baro[j].pressure);
    }
    if (!covers(out.baro_time, 0, end)) {
        *err = errmsg("sensor file does not cover the swoop");
        out = sensor_link {};
        return;
    }

    // Coarse search on every fourth sample, then finer around the best.
    const speed_grid grid = make_speed_grid(out.baro_time, out.baro_height);
    out.regime = flight_regimes(track, out.track_time, count);
    const match_samples m = make_match_samples(track, out.track_time, out.regime);
    double offset = best_offset(grid, m, -search_range, search_range, 0.25, 4);
    if (std::isfinite(offset))
        offset = best_offset(grid, m, offset - 0.3, offset + 0.3, 0.02, 1);
    if (std::isfinite(offset)) {
        // The bottom of a parabola through the best step and its neighbours.
        const double jm = mismatch(grid, m, offset - 0.02, 1);
        const double j0 = mismatch(grid, m, offset, 1);
        const double jp = mismatch(grid, m, offset + 0.02, 1);
        const double curve = jm - 2 * j0 + jp;
        if (std::isfinite(curve) && curve > 0)
            offset += std::clamp(0.5 * (jm - jp) / curve, -0.5, 0.5) * 0.02;
    }
    const double best = std::isfinite(offset) ? mismatch(grid, m, offset, 1) : no_value;
    const double before = mismatch(grid, m, offset - leap_shift, 1);
    const double after = mismatch(grid, m, offset + leap_shift, 1);
    const double shifted = std::fmin(before, after); // NaN only when neither side judges
    if (!std::isfinite(best) || !(std::fabs(offset) <= largest_offset)
        || !(shifted >= shifted_ratio * best)) {
        *err = errmsg("sensor file has no usable time reference");
        out = sensor_link {};
        return;
    }
    if (!covers(out.baro_time, offset, end)) {
        *err = errmsg("sensor file does not cover the swoop");
        out = sensor_link {};
        return;
    }
    for (double& b : out.baro_time)
        b += offset;
    out.offset = offset;
    out.match = std::sqrt(best);
    out.match_shifted = std::sqrt(shifted);
}
