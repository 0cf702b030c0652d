// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/gate/gate.h"

#include <cmath>
#include <new>
#include <numbers>
#include <utility>

#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "core/track/track_frames.h"
#include "core/track/track_load.h"

namespace {

constexpr double stop_radius = 2.0; // m: a waypoint stop stays within this of its first sample
constexpr uint32_t stop_min_span = 7999; // ms: a stop lasts longer than this
constexpr uint32_t stop_trim = 1999; // ms: samples this close to either end of a stop are dropped
constexpr double motion_distance = 10.0; // m: the walker has left a waypoint
constexpr float start_accuracy = 3.0f; // m: the fix is good enough once hacc or vacc is below this
constexpr double max_height_error = 3.5; // m: largest allowed frame-point height deviation
constexpr double ground_offset = 1.0; // m: logger height above the ground while walking
constexpr double max_exit_gate_error = 5.0; // m: exit gate distance error still accepted
constexpr double nominal_exit_angle = 75.0; // degrees of the speed-carve arc

// ms between two samples, as the logger's clock runs forward.
uint32_t span_ms(const gps_point* track, uint32_t from, uint32_t to)
{
    return static_cast<uint32_t>(
        static_cast<uint64_t>(track[to].time) - static_cast<uint64_t>(track[from].time));
}

double degrees(double radians)
{
    return radians * 180.0 / std::numbers::pi;
}

} // namespace

uint32_t detect_motion(const gps_point* track, uint32_t track_len, uint32_t start, const char** err)
{
    uint32_t i = start;
    while (i < track_len && vec3_distance(track[start].pos_ecef, track[i].pos_ecef) < motion_distance)
        ++i;
    if (i >= track_len) {
        *err = errmsg("could not detect motion");
        return 0;
    }
    return i;
}

uint32_t detect_waypoint(
    const gps_point* track, uint32_t track_len, uint32_t start, vec3* waypoint, strbuf& log, const char** err)
{
    uint32_t j = start;
    uint32_t i = start;
    double d = 0; // m, sample j to sample i
    uint32_t span = 0; // ms, sample j to sample i

    // Find a window of more than 7999 ms whose samples stay within 2 m of its first.
    for (;;) {
        while (span <= stop_min_span && d < stop_radius) {
            ++i;
            if (i >= track_len) {
                *err = errmsg("could not detect waypoint");
                return 0;
            }
            d = vec3_distance(track[j].pos_ecef, track[i].pos_ecef);
            span = span_ms(track, j, i);
        }
        if (span > stop_min_span && d < stop_radius)
            break;
        // A distance that is not a number (a sample whose position is not
        // one) counts as out of reach.
        while (!(d < stop_radius) && j < i) {
            ++j;
            d = vec3_distance(track[j].pos_ecef, track[i].pos_ecef);
            span = span_ms(track, j, i);
        }
        if (span > stop_min_span && d < stop_radius)
            break;
        if (!(d < stop_radius)) {
            // Sample i has no position: no stop contains it. Start afresh
            // from it, so that the search moves on.
            d = 0;
            span = 0;
        }
    }

    // Extend the stop while the samples stay within 2 m of sample j; a track
    // that ends during the stop keeps its last sample in it.
    while (i + 1 < track_len && vec3_distance(track[j].pos_ecef, track[i + 1].pos_ecef) < stop_radius)
        ++i;

    // Keep only the samples at least 2000 ms inside both ends.
    uint32_t k = j;
    while (k <= i && span_ms(track, j, k) <= stop_trim)
        ++k;
    if (k > i) {
        *err = errmsg("not enough points for waypoint");
        return 0;
    }
    uint32_t l = k;
    while (span_ms(track, l, i) > stop_trim)
        ++l;
    if (l == k) {
        *err = errmsg("not enough points for waypoint");
        return 0;
    }
    --l;

    uint32_t n = l - k + 1;
    vec3 mean { 0, 0, 0 };
    for (uint32_t s = k; s <= l; ++s)
        for (int c = 0; c < 3; ++c)
            mean[c] += track[s].pos_ecef[c];
    for (int c = 0; c < 3; ++c)
        mean[c] /= n;
    double deviation = 0; // m, farthest sample from the mean
    for (uint32_t s = k; s <= l; ++s) {
        double dist = vec3_distance(track[s].pos_ecef, mean);
        if (dist > deviation)
            deviation = dist;
    }
    *waypoint = mean;
    strbuf_printf(log, "waypoint detected: %3d points, %5dms interval, %4.2fm deviation\n",
        static_cast<int>(n), static_cast<int>(span_ms(track, k, l)), deviation);
    return l;
}

void detect_waypoints(const gps_point* track, uint32_t track_len, vec3 w[6], strbuf& log, const char** err)
{
    for (int k = 0; k < 6; ++k)
        w[k] = { 0, 0, 0 };
    if (track_len == 0) {
        *err = errmsg("no points found in track");
        return;
    }
    uint32_t i = 0;
    while (i < track_len && track[i].hacc >= start_accuracy && track[i].vacc >= start_accuracy)
        ++i;
    if (i >= track_len) {
        *err = errmsg("could not find start of track");
        return;
    }

    for (int k = 0; k < 5; ++k) {
        i = detect_waypoint(track, track_len, i, &w[k], log, err);
        if (*err)
            return;
        i = detect_motion(track, track_len, i, err);
        if (*err) {
            if (k < 4)
                return;
            *err = nullptr; // no exit gate
            return;
        }
    }
    vec3 exit_gate { 0, 0, 0 };
    detect_waypoint(track, track_len, i, &exit_gate, log, err);
    if (*err) {
        *err = nullptr; // no exit gate
        return;
    }
    w[5] = exit_gate;
}

void level_waypoints(vec3 p[4], strbuf& log, const char** err)
{
    vec3 geo[4];
    for (int k = 0; k < 4; ++k)
        geo[k] = ecef_to_wgs84(p[k]);
    double mean = (geo[0][2] + geo[1][2] + geo[2][2] + geo[3][2]) / 4; // m
    double dev[4]; // m, signed
    double largest = 0; // m, largest |dev|
    for (int k = 0; k < 4; ++k) {
        dev[k] = geo[k][2] - mean;
        if (std::fabs(dev[k]) > largest)
            largest = std::fabs(dev[k]);
    }
    strbuf_printf(log, "average height: %6.2fm (%4.2fm, %4.2fm, %4.2fm, %4.2fm deviation)\n", mean, dev[0],
        dev[1], dev[2], dev[3]);
    if (largest > max_height_error) {
        *err = errmsg("excessive error in waypoint height (%4.2fm)", largest);
        return;
    }
    for (int k = 0; k < 4; ++k) {
        geo[k][2] = mean - ground_offset;
        p[k] = wgs84_to_ecef(geo[k]);
    }
}

vec3 gate_centre(const vec3 p[4], const char** err)
{
    const vec3& a = p[0];
    const vec3& b = p[1];
    const vec3& c = p[2];
    const vec3& d = p[3];
    segment ac { a[0], a[1], c[0], c[1] };
    segment bd { b[0], b[1], d[0], d[1] };
    segment hit {};
    if (!segment_intersection(ac, bd, &hit) || !vec2_equal({ hit[0], hit[1] }, { hit[2], hit[3] })) {
        *err = errmsg("AC and BD do not intersect");
        return { 0, 0, 0 };
    }
    return { hit[0], hit[1], 0 };
}

double carve_theta(const vec3& b, const vec3* exit_gate, strbuf& log)
{
    if (exit_gate) {
        const vec3& e = *exit_gate;
        vec3 inner {}, nominal {}, outer {};
        carve_points(nominal_exit_angle, carve_radius, carve_width, &inner, &nominal, &outer);
        if (e[0] < 0) {
            strbuf_printf(log, "WARNING: exit gate location ignored (behind entry gate)\n");
        } else {
            if (e[1] < 0)
                nominal[1] = -nominal[1];
            const vec3 origin { 0, 0, 0 };
            double before = vec2_distance(e, nominal); // m
            double after = vec2_distance(e, origin) - vec2_distance(nominal, origin); // m
            strbuf_printf(
                log, "exit gate location error (before, after) = (%0.1fm, %0.1fm)\n", before, after);
            if (std::fabs(after) > max_exit_gate_error)
                strbuf_printf(log, "WARNING: exit gate location ignored (error too large)\n");
            else
                return std::atan2(e[0], e[1]) - std::atan2(nominal[0], nominal[1]);
        }
    }
    return std::atan2(b[0], b[1]);
}

void gate_survey(gate& g, std::string* log, const char** err)
{
    strbuf sb;
    if (!strbuf_new(sb, err)) {
        *err = errmsg("malloc() failed");
        return;
    }
    // Hands the log over on every way out.
    struct log_handover {
        strbuf& sb;
        std::string* log;
        ~log_handover()
        {
            try {
                if (log)
                    *log = strbuf_text(sb);
            } catch (const std::bad_alloc&) {
                // The survey's own result stands; only the log is lost.
            }
        }
    } handover { sb, log };

    gps_point* track = g.track.data();
    track_to_ecef(track, g.track_len);

    vec3 w[6];
    detect_waypoints(track, g.track_len, w, sb, err);
    if (*err)
        return;
    bool has_exit_gate = w[5][0] != 0 || w[5][1] != 0 || w[5][2] != 0;

    // Frame points: P0 = A (W4), P1 = B (W1), P2 = C (W2), P3 = D (W3).
    vec3 p[4] = { w[4], w[1], w[2], w[3] };
    level_waypoints(p, sb, err);
    if (*err)
        return;

    vec3 rows[3];
    bool flipped = false;
    local_frame_from_points(p[0], p[1], p[2], rows, &flipped);
    if (flipped)
        strbuf_printf(sb, "WARNING: clockwise pond walk detected\n");
    if (*err)
        return;

    // Origin first at C: translation = -R C.
    frame_matrix m = frame_matrix_from_rows(rows, p[2]);

    // Move the origin along the course line onto the entry-gate line.
    vec3 q[4];
    for (int k = 0; k < 4; ++k)
        q[k] = transform_point(m, p[k]);
    vec3 centre = gate_centre(q, err);
    if (*err)
        return;
    m[0][3] -= centre[0];

    vec3 b = transform_point(m, p[1]);
    vec3 e = transform_point(m, w[5]);
    double theta = carve_theta(b, has_exit_gate ? &e : nullptr, sb);
    strbuf_printf(sb, "theta = %.1f degrees\n", degrees(theta));
    if (*err)
        return;

    g.theta = theta;
    for (int k = 0; k < 5; ++k)
        g.waypoints[k] = transform_point(m, w[k]);
    g.matrix = m;
}

std::unique_ptr<gate> gate_open(const char* path, std::string* log, const char** err)
{
    if (log)
        log->clear();
    if (!path) {
        *err = errmsg("gate filename not specified");
        return nullptr;
    }
    std::unique_ptr<gate> g;
    try {
        g = std::make_unique<gate>();
    } catch (const std::bad_alloc&) {
        *err = errmsg("failed to allocate memory for gate");
        return nullptr;
    }
    try {
        g->file = path;
    } catch (const std::bad_alloc&) {
        *err = errmsg("strdup() failed");
        return nullptr;
    }

    gate_data data;
    gate_track_load(path, data, err);
    if (*err)
        return nullptr;

    if (data.track_len == 0) {
        // A stored gate: the geometry is taken as it is.
        g->matrix = data.matrix;
        g->theta = data.theta;
        g->pond = std::move(data.pond);
        return g;
    }

    g->track = std::move(data.track);
    g->track_len = data.track_len;
    gate_survey(*g, log, err);
    if (*err)
        return nullptr;
    pond_walk(*g, err);
    if (*err)
        return nullptr;
    return g;
}

void gate_free(std::unique_ptr<gate>& g)
{
    g.reset();
}
