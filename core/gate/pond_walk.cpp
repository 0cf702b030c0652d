// SPDX-License-Identifier: GPL-3.0-or-later

#include <new>

#include "core/gate/gate.h"
#include "core/geometry/geodetic.h"
#include "core/geometry/units.h"
#include "core/geometry/vector_math.h"
#include "core/track/track_frames.h"

namespace {

constexpr double near_feet = 5.0; // ft: a sample this close (strictly less) is at the waypoint
constexpr double leave_feet = 50.0; // ft: a sample this far has left the waypoint

double distance_feet(const vec3& a, const vec3& b)
{
    return vec2_distance(a, b) * feet_per_metre;
}

} // namespace

void pond_walk(gate& g, const char** err)
{
    gps_point* track = g.track.data();
    const uint32_t n = g.track_len;
    track_to_local(track, n, g.matrix);

    std::vector<vec3> pond; // local m, without the closing point while walking
    try {
        uint32_t i = 0;
        for (int k = 0; k < 4; ++k) {
            const vec3& from = g.waypoints[k];
            const vec3& to = g.waypoints[k + 1];

            // Find where the walker leaves waypoint k: a sample at it, then a
            // later one 50 ft or more away.
            bool was_near = false;
            for (; i < n; ++i) {
                double ft = distance_feet(track[i].pos_local, from);
                if (ft < near_feet)
                    was_near = true;
                else if (was_near && ft >= leave_feet)
                    break;
            }
            if (i >= n) {
                *err = errmsg("no point 50' from waypoint");
                return;
            }
            // Back to the last sample at the waypoint.
            while (distance_feet(track[i].pos_local, from) >= near_feet) {
                if (i == 0) {
                    *err = errmsg("no point less than 5' from waypoint");
                    return;
                }
                --i;
            }
            // Trace the edge up to the next waypoint, a point every 5 ft.
            size_t leg_start = pond.size();
            for (++i; i < n; ++i) {
                const vec3& p = track[i].pos_local;
                if (distance_feet(p, to) < near_feet)
                    break;
                if (pond.size() == leg_start || distance_feet(p, pond.back()) >= near_feet) {
                    if (pond.size() + 3 > pond.capacity())
                        pond.reserve(pond.capacity() == 0 ? 512 : pond.capacity() * 2);
                    pond.push_back(p);
                }
            }
            if (i >= n) {
                *err = errmsg("no point near next waypoint");
                return;
            }
        }
        if (!pond.empty()) {
            pond.push_back(pond.front());
            pond.push_back({ 0, 0, 0 });
        }
    } catch (const std::bad_alloc&) {
        *err = errmsg("failed to realloc pond array");
        return;
    }
    g.pond = std::move(pond);
}
