// SPDX-License-Identifier: GPL-3.0-or-later
// Gate walks: a walker who stops at the waypoints and walks the pond edge
// between them, seen through the logger.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "tools/track_sim/sim_internal.h"
#include "tools/track_sim/track_sim.h"

using namespace sim_detail;

frame_matrix sim_course_matrix(const sim_course& course)
{
    vec3 origin_wgs84 { course.lat, course.lon, course.ground_height };
    vec3 up_wgs84 { course.lat, course.lon, course.ground_height + 100.0 };
    vec3 origin = wgs84_to_ecef(origin_wgs84);
    vec3 up = wgs84_to_ecef(up_wgs84);
    // 100 m ahead along the course heading, in the tangent plane at the origin.
    double h = course.heading * deg;
    vec3 ahead = ned_to_ecef_velocity(origin_wgs84, { 100.0 * std::cos(h), 100.0 * std::sin(h), 0.0 });
    vec3 forward { origin[0] + ahead[0], origin[1] + ahead[1], origin[2] + ahead[2] };
    vec3 rows[3];
    frame_from_points(up, origin, forward, rows);
    return frame_matrix_from_rows(rows, origin);
}

namespace {

constexpr double ramp_time = 1.5; // s to reach walking speed from standing and back

// Distance along a leg and its rate at time t into a walk of length len at
// cruising speed v, starting and ending at rest.
void leg_motion(double len, double v, double t, double* s, double* ds)
{
    double total = len / v + ramp_time;
    t = std::clamp(t, 0.0, total);
    if (t < ramp_time) {
        *s = v * ramp_time * ease_integral(ease::smooth, t / ramp_time);
        *ds = v * ease_value(ease::smooth, t / ramp_time);
    } else if (t > total - ramp_time) {
        double r = total - t;
        *s = len - v * ramp_time * ease_integral(ease::smooth, r / ramp_time);
        *ds = v * ease_value(ease::smooth, r / ramp_time);
    } else {
        *s = v * ramp_time / 2.0 + v * (t - ramp_time);
        *ds = v;
    }
}

struct walk_item {
    double t0 = 0, t1 = 0; // s from the start of the log
    std::vector<vec2> path; // course frame m; one point for a stop
    std::vector<double> along; // m, cumulative length at each path point
    double speed = 0; // m/s cruising
};

walk_item make_leg(std::vector<vec2> path, double speed)
{
    walk_item item;
    item.path = std::move(path);
    item.along.push_back(0);
    for (size_t k = 1; k < item.path.size(); ++k)
        item.along.push_back(item.along.back() + vec2_distance(item.path[k - 1], item.path[k]));
    item.speed = speed;
    return item;
}

double item_length(const walk_item& item)
{
    return item.along.empty() ? 0.0 : item.along.back();
}

// Position and velocity (course frame x, y) at time t inside an item.
void item_state(const walk_item& item, double t, vec2* pos, vec2* vel)
{
    if (item.path.size() < 2 || item_length(item) <= 0) {
        *pos = item.path.front();
        *vel = { 0, 0 };
        return;
    }
    double s, ds;
    leg_motion(item_length(item), item.speed, t - item.t0, &s, &ds);
    size_t k
        = static_cast<size_t>(std::upper_bound(item.along.begin(), item.along.end(), s) - item.along.begin());
    k = std::clamp<size_t>(k, 1, item.path.size() - 1);
    const vec2& a = item.path[k - 1];
    const vec2& b = item.path[k];
    double seg = item.along[k] - item.along[k - 1];
    double f = seg > 0 ? (s - item.along[k - 1]) / seg : 0.0;
    *pos = { a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f };
    *vel = seg > 0 ? vec2 { (b[0] - a[0]) / seg * ds, (b[1] - a[1]) / seg * ds } : vec2 { 0, 0 };
}

void check(bool ok, const char* what)
{
    if (!ok)
        throw std::invalid_argument(what);
}

} // namespace

sim_walk generate_walk(const walk_options& o)
{
    check(o.rate >= 1.0 && o.rate <= 25.0, "walk: rate must be 1 to 25 Hz");
    check(o.pond_length >= 30.0 && o.pond_length <= 150.0, "walk: pond length must be 30 to 150 m");
    check(o.pond_width >= 6.0 && o.pond_width <= 60.0, "walk: pond width must be 6 to 60 m");
    check(o.upstream >= 5.0 && o.upstream <= o.pond_length - 10.0, "walk: upstream part out of range");
    check(o.start_angle >= 10.0 && o.start_angle <= 80.0, "walk: start angle must be 10 to 80 degrees");
    check(o.walk_speed >= 0.5 && o.walk_speed <= 3.0, "walk: walking speed must be 0.5 to 3 m/s");
    check(o.stop_time >= 0.0 && o.lead_time >= 0.0 && o.tail_time >= 0.0, "walk: negative time");
    check(o.carry_height >= 0.0, "walk: negative carry height");
    check(o.noise.drop_rate >= 0.0 && o.noise.drop_rate < 1.0, "walk: drop rate must be 0 to below 1");

    sim_walk result;
    walk_truth& truth = result.truth;
    truth.matrix = sim_course_matrix(o.course);

    const double a = o.pond_length - o.upstream; // m downstream of the gate
    const double c = o.upstream; // m upstream of the gate
    const double w = o.pond_width / 2.0; // m from the course line to each pole
    const double side = o.clockwise ? -1.0 : 1.0;
    // The pond edge: half-ellipses joined at the entry-gate poles, walked
    // counterclockwise as u grows (or mirrored for a clockwise walk).
    auto edge = [&](double u_deg) -> vec2 {
        double u = u_deg * deg;
        double cu = std::cos(u);
        return { (cu >= 0 ? a : c) * cu, side * w * std::sin(u) };
    };
    auto edge_path = [&](double u0, double u1) {
        std::vector<vec2> path;
        int n = std::max(2, static_cast<int>(std::ceil((u1 - u0) / 0.5)));
        for (int k = 0; k <= n; ++k)
            path.push_back(edge(u0 + (u1 - u0) * k / n));
        return path;
    };
    const double wp_u[5] = { o.start_angle, 90.0, 180.0, 270.0, 360.0 };
    vec2 wp[6];
    for (int k = 0; k < 5; ++k)
        wp[k] = edge(wp_u[k]);
    for (int k = 0; k < 4; ++k)
        check(vec2_distance(wp[k], wp[k + 1]) >= 17.0,
            "walk: waypoints closer than 17 m (the pond walk needs 50 ft)");

    // Exit gate: the nominal point of the speed course (mirrored for a right-hand course) plus the offset.
    vec3 inner, centre, outer;
    carve_points(75.0, carve_radius, carve_width, &inner, &centre, &outer);
    if (o.exit_gate_right)
        centre[1] = -centre[1];
    truth.exit_gate_nominal = centre;
    truth.has_exit_gate = o.exit_gate;
    if (o.exit_gate) {
        wp[5] = { centre[0] + o.exit_gate_offset[0], centre[1] + o.exit_gate_offset[1] };
        check(vec2_distance(wp[4], wp[5]) >= 15.0, "walk: exit gate closer than 15 m to the last waypoint");
    }

    // The timeline: lead-in, stops and legs, tail.
    std::vector<walk_item> items;
    double t = 0;
    auto add_walk = [&](std::vector<vec2> path) {
        walk_item item = make_leg(std::move(path), o.walk_speed);
        item.t0 = t;
        item.t1 = t + (item_length(item) > 0 ? item_length(item) / item.speed + ramp_time : 0.0);
        t = item.t1;
        items.push_back(std::move(item));
    };
    auto add_stop = [&](const vec2& p, double duration) {
        walk_item item;
        item.path = { p };
        item.along = { 0 };
        item.t0 = t;
        item.t1 = t + duration;
        t = item.t1;
        items.push_back(std::move(item));
    };
    vec2 outward { wp[0][0] / a, wp[0][1] / w };
    double on = std::hypot(outward[0], outward[1]);
    double lead = std::max(0.0, o.walk_speed * (o.lead_time - ramp_time));
    if (lead > 0.05)
        add_walk({ { wp[0][0] + outward[0] / on * lead, wp[0][1] + outward[1] / on * lead }, wp[0] });
    else
        add_stop(wp[0], o.lead_time);
    const int stops = o.exit_gate ? 6 : 5;
    for (int k = 0; k < stops; ++k) {
        truth.stop_start[static_cast<size_t>(k)] = o.start_time + std::llround(t * 1000.0);
        add_stop(wp[k], o.stop_time);
        truth.stop_end[static_cast<size_t>(k)] = o.start_time + std::llround(t * 1000.0);
        if (k < 4)
            add_walk(edge_path(wp_u[k], wp_u[k + 1]));
        else if (k == 4 && o.exit_gate)
            add_walk({ wp[4], wp[5] });
    }
    // Tail: walk on away from the last stop.
    vec2 last = o.exit_gate ? wp[5] : wp[4];
    vec2 from = o.exit_gate ? wp[4] : vec2 { 0, 0 };
    double dl = vec2_distance(from, last);
    double tail = std::max(0.0, o.walk_speed * (o.tail_time - ramp_time));
    if (tail > 0.05)
        add_walk({ last,
            { last[0] + (last[0] - from[0]) / dl * tail, last[1] + (last[1] - from[1]) / dl * tail } });
    else
        add_stop(last, o.tail_time);

    // Truth: waypoints at logger height, the walked pond edge about every metre.
    for (int k = 0; k < stops; ++k) {
        vec3 p { wp[k][0], wp[k][1], o.carry_height };
        truth.waypoints[static_cast<size_t>(k)] = p;
        truth.waypoints_wgs84[static_cast<size_t>(k)] = local_to_wgs84(make_frame(truth.matrix), p);
    }
    double since = 1e9; // m walked since the last pond point
    for (int k = 0; k < 4; ++k) {
        std::vector<vec2> path = edge_path(wp_u[k], wp_u[k + 1]);
        for (size_t i = 0; i < path.size(); ++i) {
            if (i > 0)
                since += vec2_distance(path[i - 1], path[i]);
            bool keep = since >= 1.0 || (k == 3 && i + 1 == path.size());
            if (keep && !(k > 0 && i == 0)) {
                truth.pond.push_back({ path[i][0], path[i][1], o.carry_height });
                since = 0;
            }
        }
    }
    truth.pond.push_back(truth.pond.front());
    truth.pond.push_back({ 0, 0, 0 });

    // theta as the survey derives it from the first pole and the exit gate.
    vec2 b = wp[1];
    truth.theta = std::atan2(b[0], b[1]);
    if (o.exit_gate && wp[5][0] >= 0) {
        vec2 e = wp[5];
        vec2 n { centre[0], std::fabs(centre[1]) };
        if (e[1] < 0)
            n[1] = -n[1];
        double after = vec2_distance(e, vec2 { 0, 0 }) - vec2_distance(n, vec2 { 0, 0 });
        if (std::fabs(after) <= 5.0)
            truth.theta = std::atan2(e[0], e[1]) - std::atan2(n[0], n[1]);
    }

    // The samples.
    logger_model logger(truth.matrix, o.noise, o.seed);
    int64_t end_ms = std::llround(t * 1000.0);
    std::vector<int64_t> offsets = sample_offsets(o.rate, end_ms);
    size_t item = 0;
    for (size_t i = 0; i < offsets.size(); ++i) {
        double ts = static_cast<double>(offsets[i]) / 1000.0;
        while (item + 1 < items.size() && ts >= items[item].t1)
            ++item;
        vec2 pos, vel;
        item_state(items[item], ts, &pos, &vel);
        logger.record(o.start_time + offsets[i], { pos[0], pos[1], o.carry_height }, { vel[0], vel[1], 0.0 },
            i == 0 || i + 1 == offsets.size(), result.samples);
    }
    return result;
}
