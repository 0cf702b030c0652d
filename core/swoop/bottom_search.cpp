// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/swoop/bottom_search.h"

#include "core/geometry/units.h"
#include "core/geometry/vector_math.h"
#include "core/swoop/swoop_stages.h"

namespace {

double altitude(const gps_point& p)
{
    return p.pos_wgs84[2];
} // m, GPS altitude
double down_speed(const gps_point& p)
{
    return p.vel_ltp[2];
} // m/s, + = down

// A time interpolated between two samples, truncated to whole milliseconds.
int64_t interpolated_ms(const gps_point& a, const gps_point& b, double va, double vb, double v)
{
    return swoop_whole_ms(
        interpolate(static_cast<double>(a.time), static_cast<double>(b.time), va, vb, v), a.time);
}

} // namespace

void swoop_bottom_search(
    const std::vector<gps_point>& t, uint32_t count, uint32_t s, uint32_t e, uint32_t* index, uint64_t* time)
{
    // Guard the end against the track: the search never reads past the last sample.
    if (count == 0) {
        *index = 0;
        *time = 0;
        return;
    }
    if (e >= count)
        e = count - 1;

    // 1. The lowest point: the sample before the altitude stops falling while
    //    the pilot is no longer descending fast (under 10 mph).
    uint32_t lowest = e;
    double previous = altitude(t[s]); // m
    for (uint32_t k = s + 1; k <= e; ++k) {
        if (altitude(t[k]) >= previous && down_speed(t[k]) * mph_per_mps < 10) {
            lowest = k - 1;
            break;
        }
        previous = altitude(t[k]);
    }
    const double bottom = altitude(t[lowest]); // m

    // 2. Altitude time: walking back, where the track was last 1 m above the bottom.
    bool by_altitude = false;
    uint32_t altitude_index = 0;
    int64_t altitude_time = 0; // ms
    for (int64_t k = static_cast<int64_t>(lowest) - 1; k > s; --k) {
        if (altitude(t[k]) > bottom + 1) {
            altitude_index = static_cast<uint32_t>(k);
            altitude_time = interpolated_ms(t[k], t[k + 1], altitude(t[k]), altitude(t[k + 1]), bottom + 1);
            by_altitude = true;
            break;
        }
    }

    // 3. Speed time: walking forward, where the down speed first falls to 1.25 m/s.
    bool by_speed = false;
    uint32_t speed_index = 0;
    int64_t speed_time = 0; // ms
    for (uint32_t m = s + 1; m <= e; ++m) {
        if (down_speed(t[m]) <= 1.25) {
            speed_index = m - 1;
            speed_time = interpolated_ms(t[m - 1], t[m], down_speed(t[m - 1]), down_speed(t[m]), 1.25);
            by_speed = true;
            break;
        }
    }

    // 4. The earlier of the two; the speed crossing wins a tie.
    if (by_altitude && by_speed) {
        if (speed_time <= altitude_time) {
            *index = speed_index;
            *time = static_cast<uint64_t>(speed_time);
        } else {
            *index = altitude_index;
            *time = static_cast<uint64_t>(altitude_time);
        }
    } else if (by_speed) {
        *index = speed_index;
        *time = static_cast<uint64_t>(speed_time);
    } else if (by_altitude) {
        *index = altitude_index;
        *time = static_cast<uint64_t>(altitude_time);
    } else {
        // Neither crossing: the sample after the start (the start itself when
        // it is the last sample of the track).
        *index = s + 1 < count ? s + 1 : count - 1;
        *time = static_cast<uint64_t>(t[*index].time);
    }
}
