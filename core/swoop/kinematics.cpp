// SPDX-License-Identifier: GPL-3.0-or-later
// Per-sample kinematics of a swoop in its local frame: acceleration, dive
// angle, heading, turn angle with the steep-dive repair, turn rate.
#include <cmath>
#include <numbers>

#include "core/geometry/geodetic.h"
#include "core/geometry/units.h"
#include "core/geometry/vector_math.h"
#include "core/swoop/swoop_stages.h"
#include "core/track/track_frames.h"

namespace {

using std::numbers::pi;

// ms from sample a to sample b as an unsigned 32-bit difference, taken on
// the unsigned 64-bit times so that times far apart (a container holds any
// 64-bit value) wrap instead of overflowing.
uint32_t time_span(const std::vector<gps_point>& track, uint32_t a, uint32_t b)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(track[b].time) - static_cast<uint64_t>(track[a].time));
}

// ms from the previous sample, as the logger's clock gives it: an unsigned
// 32-bit difference.
uint32_t time_step(const std::vector<gps_point>& track, uint32_t i)
{
    return time_span(track, i - 1, i);
}

enum class turn_direction { none, right, left };

void acceleration(std::vector<gps_point>& track, uint32_t n)
{
    track[0].acc_local = { 0, 0, 0 };
    for (uint32_t i = 1; i < n; i++) {
        const uint32_t dt = time_step(track, i); // ms
        if (dt == 0) {
            // A repeated time carries no new information: keep the previous
            // sample's acceleration rather than divide by zero.
            track[i].acc_local = track[i - 1].acc_local;
            continue;
        }
        for (int c = 0; c < 3; c++)
            track[i].acc_local[c] = (track[i].vel_local[c] - track[i - 1].vel_local[c]) * 1000 / dt;
    }
}

void dive_angle_and_heading(std::vector<gps_point>& track, uint32_t n)
{
    for (uint32_t i = 0; i < n; i++) {
        gps_point& p = track[i];
        const double h = horizontal_speed(p); // m/s
        const double vz = p.vel_local[2]; // m/s, up positive
        if (h != 0)
            p.dive_angle = std::atan(-vz / h) * 180 / pi;
        else if (vz != 0)
            p.dive_angle = vz > 0 ? -90 : 90;
        else
            p.dive_angle = 0;
        p.heading = std::fmod(360 - std::atan2(p.vel_local[1], p.vel_local[0]) * 180 / pi, 360);
    }
}

// In a steep dive the horizontal velocity is small and noisy, and the heading
// can flip against the turn for a few samples. A run of such flips, short in
// distance, is replaced by the heading change over the run taken in the
// established turn direction, shared out by time step.
void turn_angle(std::vector<gps_point>& track, uint32_t n)
{
    track[0].turn_angle = 0;
    turn_direction established = turn_direction::none; // last definite turn direction
    uint32_t run = 0; // first sample of the repair run, 0 = none
    for (uint32_t i = 1; i < n; i++) {
        double e = track[i].heading - track[i - 1].heading; // degrees
        if (e > 180)
            e -= 360;
        else if (e < -180)
            e += 360;
        track[i].turn_angle = e;

        const bool steep = track[i].dive_angle > 60 && -track[i].vel_local[2] * mph_per_mps > 60;
        const turn_direction step = e > 2 ? turn_direction::right
            : e < -2                      ? turn_direction::left
                                          : turn_direction::none;
        const bool flip = (established == turn_direction::right && step == turn_direction::left)
            || (established == turn_direction::left && step == turn_direction::right);

        if (run != 0) {
            const double length = vec2_distance(track[i].pos_local, track[run].pos_local); // metres
            if (!flip || !steep || length * feet_per_metre > 30) {
                double total = track[i - 1].heading - track[run - 1].heading; // degrees
                if (total < 0 && established == turn_direction::right)
                    total += 360;
                if (total > 0 && established == turn_direction::left)
                    total -= 360;
                const uint32_t span = time_span(track, run - 1, i - 1); // ms
                // A run whose samples all share one time has no steps to share
                // the change over; its raw values stay.
                if (std::fabs(total) < 315 && span != 0) {
                    for (uint32_t k = run; k < i; k++)
                        track[k].turn_angle = total * 1000 / span * time_step(track, k) / 1000;
                }
                run = 0;
            }
        }
        // A run that ended here may open a new one at this same sample.
        if (run == 0 && flip && steep)
            run = i;
        if (run == 0 && step != turn_direction::none)
            established = step;
    }
}

void turn_rate(std::vector<gps_point>& track, uint32_t n)
{
    track[0].turn_rate = 0;
    for (uint32_t i = 1; i < n; i++) {
        const uint32_t dt = time_step(track, i); // ms
        // A repeated time keeps the previous rate rather than divide by zero.
        track[i].turn_rate = dt == 0 ? track[i - 1].turn_rate : track[i].turn_angle * 1000 / dt;
    }
}

} // namespace

void swoop_kinematics(swoop& s)
{
    const uint32_t n = s.track_len;
    if (n == 0 || s.track.size() < n)
        return;
    acceleration(s.track, n);
    dive_angle_and_heading(s.track, n);
    turn_angle(s.track, n);
    turn_rate(s.track, n);
}
