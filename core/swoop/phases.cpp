// SPDX-License-Identifier: GPL-3.0-or-later
// Phase detection: plane exit, pattern entry, top of turn, stop, rollout and
// the bottom of the swoop; the peak speeds; and the frame built from the swoop
// itself when no gate is known.
//
// Every detector is one linear scan over the samples with fixed thresholds.
// Thresholds are stated in feet and mph and compared against converted
// values: heights are pos_local z in feet above the gate, speeds in mph.

#include "core/geometry/units.h"
#include "core/swoop/bottom_search.h"
#include "core/swoop/swoop_stages.h"

#include <algorithm>
#include <cmath>

#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "core/track/error_text.h"
#include "core/track/track_frames.h"

namespace {

double height_ft(const gps_point& p)
{
    return p.pos_local[2] * feet_per_metre;
} // ft above the gate
double descent_mph(const gps_point& p)
{
    return -p.vel_local[2] * mph_per_mps;
} // mph, + = down
double vert_acc(const gps_point& p)
{
    return p.acc_local[2];
} // m/s^2, - = speeding up downward
double altitude(const gps_point& p)
{
    return p.pos_wgs84[2];
} // m, GPS altitude

// Absolute difference of two headings in degrees, folded into 0..180.
double heading_difference(double a, double b)
{
    double d = std::fabs(a - b);
    if (d > 180)
        d = 360 - d;
    return d;
}

// ms from sample `earlier` to sample `later`, signed. Taken on the unsigned
// times, so that times far apart (a container holds any 64-bit value) wrap
// instead of overflowing.
int64_t ms_between(const gps_point& later, const gps_point& earlier)
{
    return static_cast<int64_t>(static_cast<uint64_t>(later.time) - static_cast<uint64_t>(earlier.time));
}

// ms between a sample and the one before it, as an unsigned 32-bit step.
double time_step(const std::vector<gps_point>& t, uint32_t i)
{
    return static_cast<double>(static_cast<uint32_t>(ms_between(t[i], t[i - 1])));
}

// Plane exit: the first candidate of strong downward acceleration above
// 2500 ft whose next 1500 ms keep accelerating and whose height never climbs
// back 75 ft above its running minimum before 200 ft. 0 = not found.
uint32_t detect_plane_exit(const swoop& s)
{
    const std::vector<gps_point>& t = s.track;
    const uint32_t n = s.track_len;
    bool been_high = false; // the track has been above 2500 ft
    for (uint32_t k = 0; k < n; ++k) {
        const double h = height_ft(t[k]);
        if (t[k].vacc < 10) {
            if (h > 2500)
                been_high = true;
            // Back near the ground without an exit: the jump was not seen.
            if (h < 1000 && been_high)
                return 0;
        }
        if (!(h > 2500 && h < 20000 && -vert_acc(t[k]) * mph_per_mps > 12))
            continue;

        // The 1500 ms window: no upward or implausible acceleration, mean over 12 mph/s.
        bool passed = false;
        double sum = 0; // mph per second
        uint32_t count = 0;
        for (uint32_t j = k; j < n; ++j) {
            const double a = -vert_acc(t[j]) * mph_per_mps;
            sum += a;
            ++count;
            if (a < 0 || a > 44)
                break;
            if (ms_between(t[j], t[k]) >= 1500) {
                passed = sum / count > 12;
                break;
            }
        }
        if (!passed)
            continue;

        // A jumper still in the aircraft climbs again; a real exit keeps descending.
        bool accepted = true;
        double lowest = h; // ft, running minimum
        for (uint32_t m = k; m < n; ++m) {
            const double hm = height_ft(t[m]);
            lowest = std::min(lowest, hm);
            if (hm < 200)
                break;
            if (hm > lowest + 75) {
                accepted = false;
                break;
            }
        }
        if (accepted)
            return k;
    }
    return 0;
}

// The sample of largest descent rate below 1000 ft from `from` on; false when
// no sample below 1000 ft descends at all.
bool peak_descent(const swoop& s, uint32_t from, uint32_t* peak)
{
    double best = 0; // mph
    bool found = false;
    for (uint32_t i = from; i < s.track_len; ++i) {
        const gps_point& p = s.track[i];
        if (height_ft(p) < 1000 && descent_mph(p) > best) {
            best = descent_mph(p);
            *peak = i;
            found = true;
        }
    }
    return found;
}

void detect_pattern_entry(swoop& s, const char** err)
{
    for (uint32_t i = s.plane_exit + 1; i < s.track_len; ++i) {
        if (height_ft(s.track[i - 1]) >= 2500 && height_ft(s.track[i]) < 2500) {
            s.pattern_entry = i;
            return;
        }
    }
    *err = errmsg("could not detect pattern entry");
}

void detect_top_of_turn(swoop& s, const char** err)
{
    const std::vector<gps_point>& t = s.track;
    const uint32_t p = s.pattern_entry;
    uint32_t peak = 0;
    if (!peak_descent(s, p, &peak)) {
        *err = errmsg("could not detect dive");
        return;
    }

    // Back from the peak to the last slow descent before it (under 25 mph),
    // or failing that to the slowest descent.
    uint32_t c = peak;
    bool slow_found = false;
    for (int64_t k = peak; k >= p; --k) {
        if (descent_mph(t[k]) < 25) {
            c = static_cast<uint32_t>(k);
            slow_found = true;
            break;
        }
    }
    if (!slow_found) {
        double slowest = descent_mph(t[peak]); // mph
        for (int64_t k = peak; k >= p; --k) {
            if (descent_mph(t[k]) < slowest) {
                slowest = descent_mph(t[k]);
                c = static_cast<uint32_t>(k);
            }
        }
    }

    // Back over samples that were already speeding up downward.
    while (c > p && vert_acc(t[c]) < 0)
        --c;

    if (descent_mph(t[c]) >= 15) {
        // Still descending fast: look further back for where the descent built
        // up, unless the pilot was turning hard or 500 ft have gone by.
        double span = 0; // ft
        double buildup = 0; // mph
        for (uint32_t e = c; e > p; --e) {
            span += height_ft(t[e - 1]) - height_ft(t[e]);
            if (vert_acc(t[e]) < 0)
                buildup += descent_mph(t[e]) - descent_mph(t[e - 1]);
            else
                buildup = 0;
            const double rate = heading_difference(t[e - 1].heading, t[e].heading) * 1000 / time_step(t, e);
            if (rate > 30)
                break;
            if (span > 500)
                break;
            if (buildup > 15) {
                c = e - 1;
                break;
            }
        }
        while (c > p && vert_acc(t[c]) < 0)
            --c;
    }
    s.top_of_turn = c;
}

void detect_stop(swoop& s, const char** err)
{
    const std::vector<gps_point>& t = s.track;
    uint32_t peak = 0;
    if (!peak_descent(s, s.pattern_entry, &peak)) {
        *err = errmsg("could not detect dive");
        return;
    }

    // The swoop heading: the first sample after the peak that is nearly level and slow.
    uint32_t w = peak;
    bool found = false;
    for (; w < s.track_len; ++w) {
        if (descent_mph(t[w]) < 10 && horizontal_speed(t[w]) * mph_per_mps < 20) {
            found = true;
            break;
        }
    }
    if (!found) {
        *err = errmsg("could not determine swoop heading");
        return;
    }
    const double swoop_heading = t[w].heading; // degrees

    for (uint32_t i = w; i < s.track_len; ++i) {
        if (horizontal_speed(t[i]) * mph_per_mps < 2
            || heading_difference(t[i].heading, swoop_heading) > 45) {
            s.stop = i;
            return;
        }
    }
    *err = errmsg("did not detect end of motion after swoop");
}

void detect_rollout(swoop& s, const char** err)
{
    const std::vector<gps_point>& t = s.track;
    const uint32_t top = s.top_of_turn;

    // The first sample less than 100 ft above the stop.
    const double stop_height = height_ft(t[s.stop]);
    uint32_t r = top;
    while (r < s.stop && height_ft(t[r]) - stop_height >= 100)
        ++r;

    // Back from there while the descent rate keeps rising: the rollout starts
    // at the local peak of the descent rate.
    double rate = -t[r].vel_local[2]; // m/s down
    for (int64_t k = static_cast<int64_t>(r) - 1; k >= top; --k) {
        if (-t[k].vel_local[2] > rate) {
            rate = -t[k].vel_local[2];
            continue;
        }
        s.rollout = static_cast<uint32_t>(k + 1);
        return;
    }
    *err = errmsg("could not find rollout");
}

// Bottom of the turn and the local position at the bottom time.
void detect_bottom(swoop& s)
{
    const std::vector<gps_point>& t = s.track;
    swoop_bottom_search(t, s.track_len, s.rollout, s.stop, &s.bottom_of_turn, &s.bottom_time);
    const uint32_t b = s.bottom_of_turn;
    if (b + 1 >= s.track_len) {
        // The bottom is the last sample: nothing to interpolate toward.
        s.bottom_xpos = t[b].pos_local[0];
        s.bottom_ypos = t[b].pos_local[1];
        s.bottom_zpos = t[b].pos_local[2];
        return;
    }
    const double t0 = static_cast<double>(t[b].time);
    const double t1 = static_cast<double>(t[b + 1].time);
    const double at = static_cast<double>(s.bottom_time);
    s.bottom_xpos = interpolate(t[b].pos_local[0], t[b + 1].pos_local[0], t0, t1, at);
    s.bottom_ypos = interpolate(t[b].pos_local[1], t[b + 1].pos_local[1], t0, t1, at);
    s.bottom_zpos = interpolate(t[b].pos_local[2], t[b + 1].pos_local[2], t0, t1, at);
}

// The first sample (from a landing index on) that is slow and either of poor
// vertical accuracy or staying within 100 ft of its altitude for 15 s.
bool find_landing(const swoop& s, uint32_t from, uint32_t* landing)
{
    const std::vector<gps_point>& t = s.track;
    const uint32_t n = s.track_len;
    for (uint32_t i = from; i < n; ++i) {
        const vec3& v = t[i].vel_ltp;
        const double speed = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); // m/s
        if (!(speed * mph_per_mps < 10))
            continue;
        if (t[i].vacc >= 10) {
            *landing = i;
            return true;
        }
        bool stays = true;
        for (uint32_t j = i; j < n; ++j) {
            if (std::fabs(altitude(t[j]) - altitude(t[i])) * feet_per_metre > 100) {
                stays = false;
                break;
            }
            if (ms_between(t[j], t[i]) > 15000)
                break;
        }
        if (stays) {
            *landing = i;
            return true;
        }
    }
    return false;
}

} // namespace

void swoop_detect_phases(swoop& s, const char** err)
{
    s.plane_exit = detect_plane_exit(s);
    detect_pattern_entry(s, err);
    if (*err)
        return;
    detect_top_of_turn(s, err);
    if (*err)
        return;
    detect_stop(s, err);
    if (*err)
        return;
    detect_rollout(s, err);
    if (*err)
        return;
    detect_bottom(s);
}

void swoop_peak_speeds(swoop& s)
{
    const std::vector<gps_point>& t = s.track;
    const uint32_t end = std::min(s.stop, s.track_len);

    s.max_horz_speed = 0;
    double best = 0; // m/s
    for (uint32_t i = s.rollout; i < end; ++i) {
        if (horizontal_speed(t[i]) > best) {
            best = horizontal_speed(t[i]);
            s.max_horz_speed = i;
        }
    }

    s.max_total_speed = 0;
    best = 0;
    for (uint32_t i = s.top_of_turn; i < end; ++i) {
        if (total_speed(t[i]) > best) {
            best = total_speed(t[i]);
            s.max_total_speed = i;
        }
    }

    s.max_vert_speed = 0;
    best = 0;
    for (uint32_t i = s.top_of_turn; i < end; ++i) {
        if (-t[i].vel_local[2] > best) {
            best = -t[i].vel_local[2];
            s.max_vert_speed = i;
        }
    }
}

void swoop_frame_from_swoop(swoop& s, frame_matrix* matrix, const char** err)
{
    const std::vector<gps_point>& t = s.track;
    const uint32_t n = s.track_len;

    // 1. Flight: 1500 ft below the highest trustworthy altitude so far.
    bool flying = false;
    uint32_t flight = 0;
    double highest = n > 0 ? altitude(t[0]) : 0; // m
    for (uint32_t k = 0; k < n; ++k) {
        if (!(t[k].vacc < 20))
            continue;
        highest = std::max(highest, altitude(t[k]));
        if ((highest - altitude(t[k])) * feet_per_metre > 1500) {
            flight = k;
            flying = true;
            break;
        }
    }
    if (!flying) {
        *err = errmsg("could not detect flight");
        return;
    }

    // 2. Landing.
    uint32_t landing = 0;
    if (!find_landing(s, flight, &landing)) {
        *err = errmsg("could not detect landing");
        return;
    }

    // 3. Ground altitude: the mean over the first 3 s on the ground, less 2 m.
    double sum = 0; // m
    uint32_t count = 0;
    for (uint32_t j = landing; j < n; ++j) {
        sum += altitude(t[j]);
        ++count;
        if (ms_between(t[j], t[landing]) > 3000)
            break;
    }
    const double ground = sum / count - 2; // m

    // 4. The last sample more than 100 ft above the ground before the landing.
    int64_t dive = -1;
    for (int64_t k = landing; k >= 0; --k) {
        if ((altitude(t[k]) - ground) * feet_per_metre > 100) {
            dive = k;
            break;
        }
    }
    if (dive < 0) {
        *err = errmsg("could not find dive at 100 feet");
        return;
    }

    // 5. The bottom of the swoop between the dive and the landing.
    uint32_t b = 0;
    uint64_t bottom_time = 0; // ms
    swoop_bottom_search(t, n, static_cast<uint32_t>(dive), landing, &b, &bottom_time);

    // 6. Origin under the bottom at ground altitude; x toward the landing point.
    vec3 origin { t[b].pos_wgs84[0], t[b].pos_wgs84[1], ground };
    if (b + 1 < n) {
        const double t0 = static_cast<double>(t[b].time);
        const double t1 = static_cast<double>(t[b + 1].time);
        const double at = static_cast<double>(bottom_time);
        origin[0] = interpolate(t[b].pos_wgs84[0], t[b + 1].pos_wgs84[0], t0, t1, at);
        origin[1] = interpolate(t[b].pos_wgs84[1], t[b + 1].pos_wgs84[1], t0, t1, at);
    }
    const vec3 landed { t[landing].pos_wgs84[0], t[landing].pos_wgs84[1], ground };
    const vec3 above { origin[0], origin[1], ground + 100 };
    const vec3 origin_ecef = wgs84_to_ecef(origin);
    vec3 rows[3];
    frame_from_points(wgs84_to_ecef(above), origin_ecef, wgs84_to_ecef(landed), rows);

    // 7. Translation so that the origin maps to (0, 0, 0).
    *matrix = frame_matrix_from_rows(rows, origin_ecef);
}
