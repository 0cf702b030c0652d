// SPDX-License-Identifier: GPL-3.0-or-later
// The moving air, the pilot's airspeed wander, the landing pattern and
// stretches of poor velocity under canopy.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "tools/track_sim/track_format.h"
#include "tools/track_sim/wind_plan.h"

namespace sim_detail {

namespace {

constexpr int64_t table_step = 100; // ms between tabulated values
constexpr double two_pi = 2.0 * std::numbers::pi;

// Random sub-streams of a jump (the generator's own use 1 to 3).
constexpr uint64_t gust_stream = 10;
constexpr uint64_t wander_stream = 11;
constexpr uint64_t spoil_stream = 12;

// A smooth random signal of the given RMS: a sum of `count` sines with
// periods between `shortest` and `longest` seconds and random phases,
// tabulated every 100 ms up to end ms.
std::vector<double> random_signal(rng& r, double rms, int count, double shortest, double longest, int64_t end)
{
    std::vector<double> period(static_cast<size_t>(count)), phase(period.size()), amplitude(period.size());
    double power = 0;
    for (size_t j = 0; j < period.size(); ++j) {
        period[j] = shortest + (longest - shortest) * r.uniform();
        phase[j] = two_pi * r.uniform();
        amplitude[j] = 0.5 + 0.5 * r.uniform();
        power += amplitude[j] * amplitude[j] / 2.0;
    }
    const double scale = power > 0 ? rms / std::sqrt(power) : 0.0;
    std::vector<double> table(static_cast<size_t>(end / table_step + 2));
    for (size_t k = 0; k < table.size(); ++k) {
        const double t = static_cast<double>(k) * table_step / 1000.0; // s
        double v = 0;
        for (size_t j = 0; j < period.size(); ++j)
            v += amplitude[j] * std::sin(two_pi * t / period[j] + phase[j]);
        table[k] = v * scale;
    }
    return table;
}

void check(bool ok, const char* what)
{
    if (!ok)
        throw std::invalid_argument(what);
}

double round_text(const char* format, double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return std::strtod(buf, nullptr);
}

} // namespace

air_model::air_model(const swoop_options& o, const air_times& times)
    : times_(times)
{
    check(o.wind.speed >= 0.0 && o.wind.speed <= 15.0, "swoop: wind speed must be 0 to 15 m/s");
    check(o.wind.gust >= 0.0 && o.wind.gust <= 3.0, "swoop: gusts must be 0 to 3 m/s");
    check(o.pattern.airspeed_wander >= 0.0 && o.pattern.airspeed_wander <= 2.0,
        "swoop: airspeed wander must be 0 to 2 m/s");
    rng gusts(stream_seed(o.seed, gust_stream));
    const double gust = o.wind.on ? o.wind.gust : 0.0;
    gust_x_ = random_signal(gusts, gust, 4, 4.0, 15.0, times.end);
    gust_y_ = random_signal(gusts, gust, 4, 4.0, 15.0, times.end);
    rng wander(stream_seed(o.seed, wander_stream));
    const double rms = o.pattern.on ? o.pattern.airspeed_wander : 0.0;
    wander_ = random_signal(wander, rms, 3, 15.0, 40.0, times.end);
}

double air_model::table_value(const std::vector<double>& table, int64_t n)
{
    if (n <= 0)
        return table.front();
    const size_t k = static_cast<size_t>(n / table_step);
    if (k + 1 >= table.size())
        return table.back();
    const double f = static_cast<double>(n % table_step) / table_step;
    return table[k] + (table[k + 1] - table[k]) * f;
}

vec2 air_model::air_run(int64_t n) const
{
    return { mean_[0] + table_value(gust_x_, n), mean_[1] + table_value(gust_y_, n) };
}

void air_model::set_rotation(double radians)
{
    cos_ = std::cos(radians);
    sin_ = std::sin(radians);
}

double air_model::hold(int64_t n) const
{
    if (n >= times_.touchdown)
        return 1.0 - ease_value(ease::smooth, static_cast<double>(n - times_.touchdown) / times_.release);
    if (times_.takeoff >= 0)
        return ease_value(ease::smooth, static_cast<double>(n - times_.takeoff) / 20000.0); // the roll
    return 1.0;
}

vec2 air_model::drift(int64_t n) const
{
    const double k = drifting_ ? hold(n) : 0.0;
    if (k == 0)
        return { 0, 0 };
    const vec2 a = air_run(n);
    // Back from the run frame to the planning frame.
    return { k * (a[0] * cos_ + a[1] * sin_), k * (-a[0] * sin_ + a[1] * cos_) };
}

vec2 air_model::carried(int64_t n) const
{
    // The run-frame integral, turned once.
    double x = 0, y = 0;
    vec2 a = air_run(0);
    double k = hold(0);
    for (int64_t i = 0; i < n; ++i) {
        const vec2 b = air_run(i + 1);
        const double kb = hold(i + 1);
        x += (k * a[0] + kb * b[0]) / 2.0 * 0.001;
        y += (k * a[1] + kb * b[1]) / 2.0 * 0.001;
        a = b;
        k = kb;
    }
    return { x * cos_ + y * sin_, -x * sin_ + y * cos_ };
}

double air_model::airspeed_change(int64_t n) const
{
    if (n <= times_.canopy_from || n >= times_.canopy_to)
        return 0;
    // In and out over 2 s at the ends of the canopy flight.
    const double in = static_cast<double>(n - times_.canopy_from) / 2000.0;
    const double out = static_cast<double>(times_.canopy_to - n) / 2000.0;
    return ease_value(ease::smooth, std::min(in, out)) * table_value(wander_, n);
}

wind_recorder::wind_recorder(const air_model& air, sim_wind_truth& truth, int64_t turn_ms, int64_t peak_ms)
    : air_(air)
    , truth_(truth)
    , turn_ms_(turn_ms)
    , peak_ms_(peak_ms)
{
}

double wind_recorder::airspeed() const
{
    const vec2 a = air_.air_run(n_);
    return std::hypot(vel_[0] - a[0], vel_[1] - a[1]);
}

void wind_recorder::see(int64_t n, const vec3& pos, const vec3& vel, bool stopped)
{
    n_ = n;
    vel_ = { vel[0], vel[1] };
    // The ground track's heading is wanted from the turn on (for its size);
    // the airspeed from the peak descent to the stop.
    if (n > turn_ms_ && !stopped) {
        const double cross = prev_vel_[0] * vel[1] - prev_vel_[1] * vel[0];
        const double dot = prev_vel_[0] * vel[0] + prev_vel_[1] * vel[1];
        if (cross != 0 || dot != 0)
            ground_heading_ -= std::atan2(cross, dot) / deg; // clockwise positive
    }
    if (n >= peak_ms_ && !stopped) {
        const double now = airspeed();
        truth_.max_horizontal_airspeed = std::max(truth_.max_horizontal_airspeed, now);
        if (n > peak_ms_ && !gate_done_ && started_ && prev_x_ < 0 && pos[0] >= 0) {
            gate_done_ = true;
            const double f = -prev_x_ / (pos[0] - prev_x_);
            truth_.entry_gate_airspeed = prev_airspeed_ + (now - prev_airspeed_) * f;
        }
        prev_airspeed_ = now;
    }
    started_ = true;
    prev_x_ = pos[0];
    prev_vel_ = vel_;
}

void plan_pattern(const sim_pattern& o, channel& turn, double t_hold, double hold, double heading_start,
    double final_heading, double hand)
{
    check(o.downwind_time >= 6.0 && o.base_time >= 4.0, "swoop: pattern legs too short");
    check(o.leg_turn_rate >= 5.0 && o.leg_turn_rate <= 60.0,
        "swoop: pattern turn rate must be 5 to 60 degrees per second");
    // A turn ramps in over 1 s and out over 1 s: rate x (duration - 1) degrees.
    const double quarter = 90.0 / o.leg_turn_rate + 1.0; // s
    const double downwind_heading = final_heading - 180.0 * hand;

    // The turn into the downwind leg: the short way round at 15 degrees per
    // second, or circles in the pattern's hand at about 6 degrees per second.
    double change = std::remainder(downwind_heading - heading_start, 360.0);
    double entry = std::max(2.0, std::fabs(change) / 15.0 + 1.0); // s
    if (o.high_turns) {
        change = std::fmod(change * hand + 720.0, 360.0) * hand; // in the pattern's hand
        entry = std::max(2.0, std::fabs(change) / 20.0 + 1.0);
    }
    double downwind = o.downwind_time;
    double base = o.base_time;
    const double room = hold - 2.0 * quarter - entry - 2.0; // s for the two legs
    if (room < downwind + base) {
        const double f = room / (downwind + base);
        downwind *= f;
        base *= f;
        check(downwind >= 6.0 && base >= 4.0, "swoop: the canopy opens too low for the pattern");
    }
    const double high = hold - 2.0 * quarter - downwind - base; // s before the downwind leg
    if (o.high_turns) {
        const double extra = std::max(0.0, std::round((6.0 * (high - 2.0) - std::fabs(change)) / 360.0));
        change += 360.0 * extra * hand;
        turn.ramp(t_hold, 1.0, change / (high - 2.0));
        turn.ramp(t_hold + high - 2.0, 1.0, 0.0);
    } else if (std::fabs(change) > 0.01) {
        turn.ramp(t_hold + 1.0, 1.0, change / (entry - 1.0));
        turn.ramp(t_hold + entry, 1.0, 0.0);
    }
    const double t_base = t_hold + high + downwind;
    turn.ramp(t_base, 1.0, hand * o.leg_turn_rate);
    turn.ramp(t_base + quarter - 1.0, 1.0, 0.0);
    const double t_final = t_base + quarter + base;
    turn.ramp(t_final, 1.0, hand * o.leg_turn_rate);
    turn.ramp(t_final + quarter - 1.0, 1.0, 0.0);
}

void spoil_canopy_velocities(
    std::vector<gps_point>& samples, int64_t from, int64_t to, double rate, double chance, uint64_t seed)
{
    check(chance >= 0.0 && chance <= 0.2, "swoop: poor sAcc chance must be 0 to 0.2");
    if (chance <= 0)
        return;
    rng r(stream_seed(seed, spoil_stream));
    int left = 0; // samples still to spoil in this stretch
    double sacc = 0; // m/s
    for (gps_point& p : samples) {
        if (p.time < from || p.time > to)
            continue;
        if (left == 0 && r.uniform() < chance) {
            left = static_cast<int>(std::lround((1.0 + 2.0 * r.uniform()) * rate));
            sacc = 1.5 + 2.5 * r.uniform();
        }
        if (left == 0)
            continue;
        --left;
        for (double& v : p.vel_ltp)
            v = round_text(fmt_velocity, v + sacc * r.gauss());
        p.sacc = static_cast<float>(round_text(fmt_sacc, sacc * (0.8 + 0.4 * r.uniform())));
    }
}

vec2 wind_north_east(double speed, double from)
{
    const double toward = (from + 180.0) * deg;
    return { speed * std::cos(toward), speed * std::sin(toward) };
}

} // namespace sim_detail
