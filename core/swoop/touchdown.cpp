// SPDX-License-Identifier: GPL-3.0-or-later
// Touchdown estimate: from the pilot's time aloft after the entry gate, or
// from where the track ends after the stop.

#include "core/swoop/swoop_stages.h"

#include "core/geometry/geodetic.h"
#include "core/geometry/units.h"
#include "core/geometry/vector_math.h"
#include "core/track/error_text.h"
#include "core/track/track_frames.h"

namespace {

constexpr double standing_circle = 75; // ft around the stop

double x_of(const gps_point& p)
{
    return p.pos_local[0];
} // m along the course

// Touchdown at a given time after the entry gate.
void touchdown_from_time_aloft(swoop& s, const char** err)
{
    const std::vector<gps_point>& t = s.track;
    const uint64_t at = s.entry_gate_time + s.time_aloft; // ms
    uint32_t i = s.entry_gate;
    while (i < s.stop && !(t[i].time > static_cast<int64_t>(at)))
        ++i;
    if (i >= s.stop || i <= 1) {
        *err = errmsg("touchdown time estimate not found");
        return;
    }
    const uint32_t k = i - 1;
    const double t0 = static_cast<double>(t[k].time);
    const double t1 = static_cast<double>(t[k + 1].time);
    const double td = static_cast<double>(at);
    s.touchdown_time = at;
    s.touchdown_speed = interpolate(horizontal_speed(t[k]), horizontal_speed(t[k + 1]), t0, t1, td);
    s.touchdown_distance = interpolate(x_of(t[k]), x_of(t[k + 1]), t0, t1, td);
}

// Touchdown from the end of the track. A pilot who stands or walks within
// 75 ft of the stop and ends nearer the gate line than the stop is placed
// where the swoop path passed that final standing x.
void touchdown_from_track_end(swoop& s)
{
    const std::vector<gps_point>& t = s.track;
    const uint32_t n = s.track_len;
    const gps_point& stop = t[s.stop];

    uint32_t j = s.stop + 1;
    while (j < n && !(vec2_distance(t[j].pos_local, stop.pos_local) * feet_per_metre > standing_circle))
        ++j;

    if (s.stop + 1 < n && j == n) {
        const double d = x_of(stop); // m
        const double e = x_of(t[n - 1]); // m
        if ((d > 0 && e > 0 && d > e) || (d < 0 && e < 0 && d < e)) {
            for (uint32_t c = s.stop - 1; c > s.bottom_of_turn && c < n; --c) {
                const double x = x_of(t[c]);
                if (d > 0 ? x < e : x > e) {
                    const double x1 = x_of(t[c + 1]);
                    s.touchdown_distance = e;
                    s.touchdown_time = static_cast<uint64_t>(
                        swoop_whole_ms(interpolate(static_cast<double>(t[c].time),
                                           static_cast<double>(t[c + 1].time), x, x1, e),
                            t[c].time));
                    s.touchdown_speed
                        = interpolate(horizontal_speed(t[c]), horizontal_speed(t[c + 1]), x, x1, e);
                    return;
                }
            }
        }
    }
    s.touchdown_time = static_cast<uint64_t>(stop.time);
    s.touchdown_speed = horizontal_speed(stop);
    s.touchdown_distance = x_of(stop);
}

} // namespace

void swoop_touchdown(swoop& s, const char** err)
{
    if (s.stop >= s.track_len)
        return; // no stop found: nothing to estimate from
    if (s.entry_gate != 0 && s.time_aloft != 0)
        touchdown_from_time_aloft(s, err);
    else
        touchdown_from_track_end(s);
}
