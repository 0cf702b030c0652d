// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/swoop/point_at.h"

#include <new>
#include <vector>

namespace {

// Value at fraction f of the way from a to b.
double lerp(double a, double b, double f)
{
    return a + (b - a) * f;
}

} // namespace

std::unique_ptr<gps_point> swoop_point_at(const swoop& s, int64_t offset)
{
    const uint32_t top = s.top_of_turn;
    const uint32_t stop = s.stop;
    if (top >= s.track_len || stop >= s.track_len || s.track.size() < s.track_len)
        return nullptr;
    const std::vector<gps_point>& track = s.track;

    // The sum is unsigned: a negative offset wraps, and so does one that
    // runs past the 64-bit range.
    const uint64_t start = static_cast<uint64_t>(track[top].time); // ms
    const uint64_t t = start + static_cast<uint64_t>(offset); // ms
    if (t < start || t > static_cast<uint64_t>(track[stop].time))
        return nullptr;

    uint32_t j = top + 1;
    while (j <= stop && static_cast<uint64_t>(track[j].time) < t)
        j++;
    if (j > stop)
        return nullptr;

    const gps_point& a = track[j - 1];
    const gps_point& b = track[j];
    const uint64_t ta = static_cast<uint64_t>(a.time);
    const uint64_t tb = static_cast<uint64_t>(b.time);
    // Fraction of the way from a to b; 0 when both share one time.
    const double f = tb > ta ? static_cast<double>(t - ta) / static_cast<double>(tb - ta) : 0.0;

    std::unique_ptr<gps_point> p;
    try {
        p = std::make_unique<gps_point>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    p->time = static_cast<int64_t>(t);
    p->sacc = static_cast<float>(lerp(a.sacc, b.sacc, f));
    for (int c = 0; c < 3; c++) {
        p->pos_local[c] = lerp(a.pos_local[c], b.pos_local[c], f);
        p->vel_local[c] = lerp(a.vel_local[c], b.vel_local[c], f);
    }
    p->dive_angle = lerp(a.dive_angle, b.dive_angle, f);
    p->turn_rate = lerp(a.turn_rate, b.turn_rate, f);
    p->turn_angle = lerp(0, b.turn_angle, f);

    double heading = track[top].heading; // degrees, unwound since the top of the turn
    for (uint32_t k = top + 1; k < j; k++)
        heading += track[k].turn_angle;
    p->heading = heading + p->turn_angle;
    return p;
}
