// SPDX-License-Identifier: GPL-3.0-or-later
// Whole jumps: ground, climb, exit, freefall, opening, canopy flight, the
// diving turn, rollout, the run through the gates, touchdown and stop.
//
// The motion is planned as smooth profiles of horizontal speed, vertical
// velocity and turn rate (freefall follows a drag law instead), integrated
// every millisecond, and finally moved so that the run crosses the entry
// gate where the options say.
#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <stdexcept>

#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "core/track/track_frames.h"
#include "tools/track_sim/sim_internal.h"
#include "tools/track_sim/track_sim.h"
#include "tools/track_sim/wind_plan.h"

using namespace sim_detail;

namespace {

constexpr double gravity = 9.81; // m/s^2
constexpr double terminal_speed = 55.0; // m/s, belly-to-earth freefall
constexpr double aircraft_speed = 35.0; // m/s ground speed of the aircraft
constexpr double aircraft_turn = 3.0; // degrees per second while climbing
constexpr double carve_ramp = 0.25; // s to bank into and out of the speed-course arc
constexpr double pattern_height = 2500.0 / ft_per_m; // m

void check(bool ok, const char* what)
{
    if (!ok)
        throw std::invalid_argument(what);
}

struct plan {
    channel vh { 0 }; // m/s horizontal speed
    channel vz { 0 }; // m/s vertical velocity, up positive
    channel turn { 0 }; // degrees per second, clockwise seen from above
    double z0 = 0; // m, logger height at the start
    int64_t exit_ms = 0, deploy_ms = 0; // freefall between these
    std::vector<double> ff_vh, ff_vz; // m/s per ms of freefall
    int64_t level_ms = 0, touchdown_ms = 0; // drag-law run between these
    double level_speed = 0; // m/s at level_ms
    double drag_length = 0; // m
    bool carve = false;
    double carve_sign = -1; // -1 turns toward +y (left), +1 toward -y
    double carve_curvature = 0; // 1/m
    int64_t gate_ms = 0;
    int64_t takeoff_ms = -1, false_start_ms = -1, turn_ms = 0, peak_ms = 0, end_ms = 0;
    std::optional<air_model> air; // the moving air and the airspeed wander (wind or pattern on)
};

double ms_to_s(int64_t ms)
{
    return static_cast<double>(ms) / 1000.0;
}

int64_t s_to_ms(double s)
{
    return std::llround(s * 1000.0);
}

// One millisecond of the true motion.
struct moment {
    int64_t n; // ms from the start
    vec3 pos; // m, run frame (before the final move: the planning frame)
    vec3 vel; // m/s
    double heading; // degrees clockwise from +x, unwound
    double airspeed = 0; // m/s, the plan's horizontal speed through the air
};

// Integrates the plan; calls see() for every millisecond up to last_ms.
void integrate(const plan& p, int64_t last_ms, const std::function<void(const moment&)>& see)
{
    double carve_angle = 0; // degrees turned on the arc so far
    int64_t carve_out_ms = -1; // start of banking out of the arc
    auto speeds = [&](int64_t n, double* vh, double* vz) {
        if (n >= p.exit_ms && n <= p.deploy_ms) {
            *vh = p.ff_vh[static_cast<size_t>(n - p.exit_ms)];
            *vz = p.ff_vz[static_cast<size_t>(n - p.exit_ms)];
            return;
        }
        double t = ms_to_s(n);
        *vz = p.vz.value(t);
        if (n >= p.level_ms && n <= p.touchdown_ms)
            *vh = p.level_speed / (1.0 + (t - ms_to_s(p.level_ms)) * p.level_speed / p.drag_length);
        else
            *vh = p.vh.value(t);
        if (p.air)
            *vh += p.air->airspeed_change(n);
    };
    // The bank into the arc starts half a ramp before the gate, which puts
    // the arc's centre abeam the gate.
    const int64_t carve_ms = p.gate_ms - s_to_ms(carve_ramp / 2.0);
    auto turn_rate = [&](int64_t n, double vh) {
        if (!p.carve || n < carve_ms)
            return p.turn.value(ms_to_s(n));
        double k;
        double since = ms_to_s(n - carve_ms);
        if (carve_out_ms < 0)
            k = ease_value(ease::smooth, since / carve_ramp);
        else
            k = 1.0 - ease_value(ease::smooth, ms_to_s(n - carve_out_ms) / carve_ramp);
        return p.carve_sign * k * p.carve_curvature * vh / deg;
    };

    moment m { 0, { 0, 0, p.z0 }, {}, 0 };
    double vh, vz;
    speeds(0, &vh, &vz);
    double w = turn_rate(0, vh);
    vec2 drift = p.air ? p.air->drift(0) : vec2 { 0, 0 }; // m/s the air adds
    for (int64_t n = 0;; ++n) {
        m.n = n;
        double c = std::cos(m.heading * deg), s = std::sin(m.heading * deg);
        m.vel = { vh * c, -vh * s, vz };
        m.airspeed = vh;
        if (p.air) {
            m.vel[0] += drift[0];
            m.vel[1] += drift[1];
        }
        see(m);
        if (n >= last_ms)
            break;
        // Arc bookkeeping: bank out so that the arc turns 75 degrees in all.
        if (p.carve && n >= carve_ms) {
            carve_angle += std::fabs(w) * 0.001;
            double out_part = p.carve_curvature * vh * carve_ramp / 2.0 / deg;
            if (carve_out_ms < 0 && carve_angle >= 75.0 - out_part)
                carve_out_ms = n + 1;
        }
        double vh1, vz1;
        speeds(n + 1, &vh1, &vz1);
        double w1 = turn_rate(n + 1, vh1);
        double heading1 = m.heading + (w + w1) / 2.0 * 0.001;
        double c1 = std::cos(heading1 * deg), s1 = std::sin(heading1 * deg);
        m.pos[0] += (vh * c + vh1 * c1) / 2.0 * 0.001;
        m.pos[1] += (-vh * s - vh1 * s1) / 2.0 * 0.001;
        m.pos[2] += (vz + vz1) / 2.0 * 0.001;
        if (p.air) {
            vec2 drift1 = p.air->drift(n + 1);
            m.pos[0] += (drift[0] + drift1[0]) / 2.0 * 0.001;
            m.pos[1] += (drift[1] + drift1[1]) / 2.0 * 0.001;
            drift = drift1;
        }
        m.heading = heading1;
        vh = vh1;
        vz = vz1;
        w = w1;
    }
}

plan make_plan(const swoop_options& o)
{
    check(o.rate >= 1.0 && o.rate <= 25.0, "swoop: rate must be 1 to 25 Hz");
    check(o.noise.drop_rate >= 0.0 && o.noise.drop_rate < 1.0, "swoop: drop rate must be 0 to below 1");
    check(o.exit_height >= pattern_height + 100.0, "swoop: exit height must be at least 100 m above 2500 ft");
    check(o.climb_rate >= 2.0 && o.climb_rate <= 15.0, "swoop: climb rate must be 2 to 15 m/s");
    check(o.freefall_time >= 2.0 && o.opening_time >= 2.0, "swoop: freefall and opening need 2 s at least");
    check(o.canopy_speed >= 5.0 && o.canopy_speed <= 20.0, "swoop: canopy speed must be 5 to 20 m/s");
    check(o.canopy_sink >= 2.0 && o.approach_sink >= 1.0 && o.approach_sink < o.canopy_sink + 5.0,
        "swoop: canopy sink rates out of range");
    check(o.peak_descent >= 10.0 && o.peak_descent <= 40.0, "swoop: peak descent must be 10 to 40 m/s");
    check(o.rollout_height >= 20.0, "swoop: the rollout needs 20 m at least");
    check(o.turn_degrees >= 0.0 && o.turn_degrees <= 1080.0, "swoop: turn must be 0 to 1080 degrees");
    check(o.entry_speed >= 12.0 && o.entry_speed <= 45.0, "swoop: entry speed must be 12 to 45 m/s");
    check(o.flare_speed >= 4.0 && o.flare_speed < o.entry_speed - 1.0,
        "swoop: flare speed must be below the entry speed");
    check(o.skim_height >= 0.1 && o.skim_height <= 5.0, "swoop: skim height must be 0.1 to 5 m");
    check(o.carry_height >= 0.0 && o.drag_length >= 40.0, "swoop: carry height or drag length out of range");
    check(o.stand_time >= 0.0 && o.walk_away >= 0.0 && o.ground_time >= 0.0 && o.jump_run >= 0.0,
        "swoop: negative time");

    plan p;
    const double cr = o.climb_rate;
    double t = 0; // s, planning cursor
    double z_climb; // m at the start of the steady climb
    double t_climb; // s
    double t_lift = 0;
    if (o.climb_start <= 0) {
        p.z0 = o.carry_height;
        p.takeoff_ms = s_to_ms(o.ground_time);
        t = o.ground_time;
        p.vh.ramp(t, 20.0, aircraft_speed);
        t_lift = t + 20.0;
        p.vz.ramp(t_lift, 5.0, cr);
        t_climb = t_lift + 5.0;
        z_climb = p.z0 + 2.5 * cr;
    } else {
        check(
            o.climb_start <= o.exit_height - 30.0, "swoop: the log must start 30 m below the exit at least");
        p.z0 = o.climb_start;
        p.vh = channel(aircraft_speed);
        p.vz = channel(cr);
        p.turn = channel(aircraft_turn);
        t_climb = 0;
        z_climb = p.z0;
    }
    double dip_change = 0;
    double t_dip = 0;
    if (o.false_start) {
        // The aircraft noses over (a jumper's false start) and climbs on.
        double z_dip = o.exit_height - 80.0;
        check(z_dip >= z_climb + 10.0, "swoop: no room in the climb for the false start");
        t_dip = t_climb + (z_dip - z_climb) / cr;
        dip_change = -3.0 * (cr + 12.0); // m: the dip loses the climb and sinks at 12 m/s
        p.false_start_ms = s_to_ms(t_dip);
    }
    double t_level = t_climb + (o.exit_height - z_climb - dip_change - 2.5 * cr) / cr;
    check(t_level >= (o.false_start ? t_dip + 6.0 : t_climb),
        "swoop: the log starts too close to the exit height");
    if (o.climb_start <= 0 && t_level >= t_lift + 15.0)
        p.turn.ramp(t_lift + 5.0, 5.0, aircraft_turn);
    if (o.false_start) {
        p.vz.ramp_from(t_dip, 2.0, cr, -12.0, ease::linear);
        p.vz.ramp_from(t_dip + 2.0, 4.0, -12.0, cr, ease::linear);
    }
    p.vz.ramp_from(t_level, 5.0, cr, 0.0);
    p.turn.ramp(t_level, 5.0, 0.0);
    double t_exit = t_level + 5.0 + o.jump_run;
    p.exit_ms = s_to_ms(t_exit);
    double heading_exit = p.turn.integral(0, t_exit);

    // Freefall: drag proportional to the square of the speed.
    const double k = gravity / (terminal_speed * terminal_speed);
    int64_t ff_ms = s_to_ms(o.freefall_time);
    double fh = aircraft_speed, fz = 0, ff_drop = 0;
    for (int64_t i = 0; i <= ff_ms; ++i) {
        p.ff_vh.push_back(fh);
        p.ff_vz.push_back(fz);
        double speed = std::hypot(fh, fz);
        double nh = fh - k * speed * fh * 0.001;
        double nz = fz + (-gravity - k * speed * fz) * 0.001;
        if (i < ff_ms)
            ff_drop += (fz + nz) / 2.0 * 0.001;
        fh = nh;
        fz = nz;
    }
    fh = p.ff_vh.back();
    fz = p.ff_vz.back();
    p.deploy_ms = p.exit_ms + ff_ms;
    double t_deploy = ms_to_s(p.deploy_ms);

    // Opening, then height loss in left-hand circles down to the approach.
    p.vh.ramp_from(t_deploy, o.opening_time, fh, o.canopy_speed);
    p.vz.ramp_from(t_deploy, o.opening_time, fz, -o.canopy_sink);
    double z_open = o.exit_height + ff_drop + o.opening_time * (fz - o.canopy_sink) / 2.0;
    double t_hold = t_deploy + o.opening_time;
    double hold = (z_open - o.turn_height - 3.0 * (o.canopy_sink + o.approach_sink) / 2.0
                      - o.approach_time * o.approach_sink)
        / o.canopy_sink;
    check(hold >= 10.0, "swoop: the canopy opens too low for the approach and turn");
    const double dir = o.right_turn ? 1.0 : -1.0;
    double approach_heading = -dir * o.turn_degrees;
    double change = std::fmod(approach_heading - heading_exit, 360.0);
    if (change > 0)
        change -= 360.0;
    double extra = std::max(0.0, std::round((6.0 * (hold - 1.0) - std::fabs(change)) / 360.0));
    change -= 360.0 * extra;
    if (o.pattern.on) {
        plan_pattern(o.pattern, p.turn, t_hold, hold, heading_exit, approach_heading,
            o.pattern.opposite_hand ? -dir : dir);
    } else {
        double circle_rate = change / (hold - 1.0);
        p.turn.ramp(t_hold, 1.0, circle_rate);
        p.turn.ramp(t_hold + hold - 1.0, 1.0, 0.0);
    }
    p.vz.ramp(t_hold + hold, 3.0, -o.approach_sink);
    double t_turn = t_hold + hold + 3.0 + o.approach_time;
    p.turn_ms = s_to_ms(t_turn);

    // The diving turn: descent builds up to its peak as the turn ends.
    double z_level = o.carry_height + o.skim_height;
    double turn_time = (o.turn_height - z_level - o.rollout_height)
        / (o.approach_sink + (o.peak_descent - o.approach_sink) * ease_average(ease::ease_out));
    check(turn_time >= 2.0, "swoop: the turn starts too low for its rollout");
    double bank = std::min(1.0, turn_time / 4.0);
    double rate = dir * o.turn_degrees / (turn_time - bank);
    check(std::fabs(rate) <= 150.0, "swoop: turn rate over 150 degrees per second");
    const double run_speed = o.entry_speed + 1.0; // m/s, highest speed after the rollout
    p.vz.ramp_from(t_turn, turn_time, -o.approach_sink, -o.peak_descent, ease::ease_out);
    p.vh.ramp(t_turn, turn_time, 0.6 * run_speed);
    p.turn.ramp(t_turn, bank, rate);
    double t_peak = t_turn + turn_time;
    p.turn.ramp(t_peak - bank, bank, 0.0);
    p.peak_ms = s_to_ms(t_peak);

    // Rollout to level flight, then the run, slowing by drag, the settle
    // onto the surface and the run-out.
    double rollout = 2.0 * o.rollout_height / o.peak_descent;
    p.vz.ramp(t_peak, rollout, 0.0);
    p.vh.ramp(t_peak, rollout, run_speed);
    double t_level_run = t_peak + rollout;
    p.level_ms = s_to_ms(t_level_run);
    p.level_speed = run_speed;
    p.drag_length = o.drag_length;
    double t_gate = t_level_run + o.drag_length * (1.0 / o.entry_speed - 1.0 / run_speed);
    p.gate_ms = s_to_ms(t_gate);
    double t_flare = t_level_run + o.drag_length * (1.0 / o.flare_speed - 1.0 / run_speed);
    const double settle = 1.5;
    double sink = 2.0 * o.skim_height / settle;
    p.vz.ramp(t_flare, settle / 2.0, -sink);
    p.vz.ramp(t_flare + settle / 2.0, settle / 2.0, 0.0);
    double t_td = t_flare + settle;
    p.touchdown_ms = s_to_ms(t_td);
    double v_td = run_speed / (1.0 + (t_td - t_level_run) * run_speed / o.drag_length);
    double runout = std::max(1.0, 1.5 * v_td / 4.0);
    p.vh.ramp_from(t_td, runout, v_td, 0.0);
    double t_rest = t_td + runout;

    if (o.carve) {
        double radius = carve_radius - (o.carve_right ? -o.entry_y : o.entry_y);
        check(radius >= 20.0, "swoop: entry offset too large for the speed course");
        check(o.drag_length * std::log(o.entry_speed / o.flare_speed) >= radius * 75.0 * deg + 20.0,
            "swoop: the run is too short for the speed course");
        p.carve = true;
        p.carve_sign = o.carve_right ? 1.0 : -1.0;
        p.carve_curvature = 1.0 / radius;
    }

    double t_end = t_rest + o.stand_time;
    if (o.walk_away > 0) {
        // Turn a quarter to the left while standing, then walk off.
        double ts = t_rest + std::max(0.0, o.stand_time - 1.0);
        p.turn.ramp_from(ts, 0.5, -180.0, -180.0, ease::linear);
        p.turn.ramp_from(ts + 0.5, 0.01, 0.0, 0.0, ease::linear);
        p.vh.ramp(t_end, 1.5, 1.3);
        p.vh.ramp(t_end + 1.5 + o.walk_away, 1.5, 0.0);
        t_end += 3.0 + o.walk_away;
    }
    p.end_ms = s_to_ms(t_end);
    if (o.wind.on || o.pattern.on) {
        air_times times;
        times.end = p.end_ms;
        times.takeoff = p.takeoff_ms;
        times.touchdown = p.touchdown_ms;
        times.release = std::max<int64_t>(500, s_to_ms(runout / 2.0));
        times.canopy_from = s_to_ms(t_hold);
        times.canopy_to = p.turn_ms;
        p.air.emplace(o, times);
    }
    return p;
}

// With the air moving: the mean wind in the run frame and its truth, and
// the turn from the planning frame (`off`, radians, from the heading of the
// run) that puts the ground track at the entry gate along +x, the pilot
// crabbing into a crosswind. The gate's position in the planning frame
// (`at_gate`, found with drifting off) gains how far the air carried the
// jumper, which depends on that turn.
double line_up_with_wind(
    const swoop_options& o, plan& p, double airspeed_gate, double off, swoop_truth& tr, vec3& at_gate)
{
    if (o.wind.on) {
        sim_wind_truth& w = tr.wind;
        w.on = true;
        w.speed = o.wind.speed;
        w.from = std::fmod(std::fmod(o.wind.from, 360.0) + 360.0, 360.0);
        w.north_east = wind_north_east(o.wind.speed, o.wind.from);
        w.canopy_airspeed = o.canopy_speed;
        const vec3 origin { o.course.lat, o.course.lon, o.course.ground_height };
        const vec3 run = transform_vector(
            tr.run_matrix, ned_to_ecef_velocity(origin, { w.north_east[0], w.north_east[1], 0.0 }));
        w.run = { run[0], run[1] };
        p.air->set_mean(w.run);
        check(std::fabs(w.run[1]) < 0.8 * airspeed_gate, "swoop: crosswind too strong for the run");
        off += std::asin(-w.run[1] / airspeed_gate);
    }
    p.air->set_rotation(off);
    p.air->set_drifting(true);
    const vec2 carried = p.air->carried(p.gate_ms);
    at_gate[0] += carried[0];
    at_gate[1] += carried[1];
    return off;
}

} // namespace

sim_swoop generate_swoop(const swoop_options& o)
{
    plan p = make_plan(o);
    sim_swoop result;
    swoop_truth& tr = result.truth;
    tr.course_matrix = sim_course_matrix(o.course);
    tr.run_rotation = (o.reverse ? std::numbers::pi : 0.0) + (o.carve ? o.theta : 0.0);
    tr.run_matrix = tr.course_matrix;
    matrix_rotate_z(tr.run_matrix, tr.run_rotation);

    // First pass: where the plan reaches the entry gate, and how far the
    // heading of the run is off the course (a rounding residue).
    vec3 at_gate {};
    double heading_run = 0;
    double airspeed_gate = 0;
    if (p.air)
        p.air->set_drifting(false); // the air's part is added once the run is lined up
    integrate(p, p.gate_ms, [&](const moment& m) {
        if (m.n == p.peak_ms)
            heading_run = m.heading;
        if (m.n == p.gate_ms) {
            at_gate = m.pos;
            airspeed_gate = m.airspeed;
        }
    });
    double off = std::remainder(heading_run, 360.0) * deg; // radians, turned back below
    if (p.air)
        off = line_up_with_wind(o, p, airspeed_gate, off, tr, at_gate);
    double co = std::cos(off), so = std::sin(off);
    auto place = [&](const vec3& v, bool position) -> vec3 {
        double x = position ? v[0] - at_gate[0] : v[0];
        double y = position ? v[1] - at_gate[1] : v[1];
        vec3 r { x * co - y * so, x * so + y * co, v[2] };
        if (position)
            r[1] += o.entry_y;
        return r;
    };

    // Second pass: samples and truth.
    auto ms_time = [&](double n) { return o.start_time + static_cast<int64_t>(std::llround(n)); };
    tr.takeoff_time = p.takeoff_ms >= 0 ? ms_time(static_cast<double>(p.takeoff_ms)) : 0;
    tr.false_start_time = p.false_start_ms >= 0 ? ms_time(static_cast<double>(p.false_start_ms)) : 0;
    tr.plane_exit_time = ms_time(static_cast<double>(p.exit_ms));
    tr.deployment_time = ms_time(static_cast<double>(p.deploy_ms));
    tr.top_of_turn_time = ms_time(static_cast<double>(p.turn_ms));
    tr.max_descent_time = ms_time(static_cast<double>(p.peak_ms));
    tr.touchdown_time = ms_time(static_cast<double>(p.touchdown_ms));

    std::vector<int64_t> offsets = sample_offsets(o.rate, p.end_ms);
    size_t next_sample = 0;
    logger_model logger(tr.run_matrix, o.noise, o.seed);
    const double stop_speed = 2.0 / mph_per_ms;
    vec3 prev_pos {};
    double prev_speed = 0;
    double heading_turn = 0;
    vec3 gate_p1, gate_p2, gate_p3;
    carve_points(75.0, carve_radius, carve_width, &gate_p1, &gate_p2, &gate_p3);
    const double tan15 = std::tan(15.0 * deg);
    bool exit_done = false;
    std::optional<wind_recorder> wind; // the wind's truth, with the wind on
    if (o.wind.on)
        wind.emplace(*p.air, tr.wind, p.turn_ms, p.peak_ms);
    integrate(p, p.end_ms, [&](const moment& m) {
        vec3 pos = place(m.pos, true);
        vec3 vel = place(m.vel, false);
        double speed = std::hypot(vel[0], vel[1]);
        if (wind)
            wind->see(m.n, pos, vel, tr.stop_time != 0);
        double n = static_cast<double>(m.n);
        if (m.n > p.exit_ms && tr.pattern_entry_time == 0 && pos[2] < pattern_height)
            tr.pattern_entry_time = ms_time(n);
        if (m.n == p.turn_ms)
            heading_turn = wind ? wind->ground_heading() : m.heading;
        if (m.n == p.peak_ms)
            tr.max_descent_rate = -vel[2];
        if (m.n > p.peak_ms && tr.bottom_time == 0 && -vel[2] <= 1.25) {
            tr.bottom_time = ms_time(n);
            tr.bottom_pos = pos;
            tr.turn_degrees = (wind ? wind->ground_heading() : m.heading) - heading_turn;
        }
        if (m.n >= p.peak_ms)
            tr.max_horizontal_speed = std::max(tr.max_horizontal_speed, speed);
        if (m.n > p.peak_ms && tr.entry_gate_time == 0 && prev_pos[0] < 0 && pos[0] >= 0) {
            double f = -prev_pos[0] / (pos[0] - prev_pos[0]);
            tr.entry_gate_time = ms_time(n - 1.0 + f);
            tr.entry_gate_y = prev_pos[1] + (pos[1] - prev_pos[1]) * f;
            tr.entry_gate_speed = prev_speed + (speed - prev_speed) * f;
            tr.entry_gate = std::fabs(tr.entry_gate_y) <= 15.0;
        }
        if (p.carve && !exit_done && m.n > p.gate_ms) {
            // The side boundary of the speed course, y = +-(r - x tan 15).
            double side = p.carve_sign < 0 ? 1.0 : -1.0;
            double g0 = carve_radius - prev_pos[0] * tan15, g1 = carve_radius - pos[0] * tan15;
            double f0 = side * prev_pos[1] - g0, f1 = side * pos[1] - g1;
            if (g1 <= 0) {
                exit_done = true;
            } else if (f0 <= 0 && f1 > 0) {
                exit_done = true;
                double f = f0 / (f0 - f1);
                vec2 x { prev_pos[0] + (pos[0] - prev_pos[0]) * f, prev_pos[1] + (pos[1] - prev_pos[1]) * f };
                vec2 centre { gate_p2[0], side * gate_p2[1] };
                tr.carve_direction = side > 0 ? 1 : 0;
                if (vec2_distance(x, centre) <= 12.0) {
                    tr.exit_gate = true;
                    tr.exit_gate_time = ms_time(n - 1.0 + f);
                    tr.exit_gate_x = x[0];
                    tr.exit_gate_speed = prev_speed + (speed - prev_speed) * f;
                }
            }
        }
        if (m.n == p.touchdown_ms) {
            tr.touchdown_speed = speed;
            tr.touchdown_x = pos[0];
        }
        if (m.n > p.touchdown_ms && tr.stop_time == 0 && speed < stop_speed) {
            tr.stop_time = ms_time(n);
            tr.stop_pos = pos;
        }
        if (o.record_motion && m.n % 10 == 0)
            result.motion.push_back({ o.start_time + m.n, pos, vel, m.heading });
        if (next_sample < offsets.size() && offsets[next_sample] == m.n) {
            const size_t kept = result.samples.size();
            logger.record(o.start_time + m.n, pos, vel, next_sample == 0 || next_sample + 1 == offsets.size(),
                result.samples);
            if (wind && result.samples.size() > kept)
                wind->sample_kept();
            ++next_sample;
        }
        prev_pos = pos;
        prev_speed = speed;
    });
    tr.end_time = result.samples.back().time;
    if (o.wind.on)
        spoil_canopy_velocities(
            result.samples, tr.deployment_time, tr.top_of_turn_time, o.rate, o.wind.poor_sacc, o.seed);
    return result;
}
