// SPDX-License-Identifier: GPL-3.0-or-later
// Hand-built swoops for the detector tests: samples are laid down by
// velocity, positions follow by integration, and the kinematics stage fills
// acceleration and headings. The frame is the identity, so pos_ecef equals
// pos_local and the exit-gate analysis sees the same coordinates.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "core/swoop/swoop.h"
#include "core/swoop/swoop_stages.h"

namespace swoop_builder {

using std::numbers::pi;
constexpr double ft = 3.2808399; // feet per metre
constexpr double mph = 2.23693629; // mph per m/s

// Horizontal velocity (m/s) for a heading in degrees clockwise from +x.
inline vec3 along(double heading_deg, double speed, double vz)
{
    return { speed * std::cos(heading_deg * pi / 180), -speed * std::sin(heading_deg * pi / 180), vz };
}

class builder {
public:
    explicit builder(vec3 start, int64_t t0 = 1600000000000)
        : pos_(start)
        , time_(t0)
    {
    }

    // One sample dt ms after the last, moving with velocity v (m/s, local).
    builder& step(const vec3& v, uint32_t dt = 200)
    {
        if (!points_.empty()) {
            time_ += dt;
            for (int c = 0; c < 3; ++c)
                pos_[c] += v[c] * dt / 1000.0;
        }
        gps_point p {};
        p.time = time_;
        p.pos_local = pos_;
        p.vel_local = v;
        p.vacc = 1;
        p.hacc = 1;
        points_.push_back(p);
        return *this;
    }

    // n samples with the velocity changing linearly from a to b.
    builder& ramp(const vec3& a, const vec3& b, int n, uint32_t dt = 200)
    {
        for (int i = 1; i <= n; ++i) {
            vec3 v;
            for (int c = 0; c < 3; ++c)
                v[c] = a[c] + (b[c] - a[c]) * i / n;
            step(v, dt);
        }
        return *this;
    }

    // n samples turning from heading h0 to h1 (degrees, unwound) while the
    // horizontal speed goes s0 -> s1 and vz goes vz0 -> vz1.
    builder& turn(
        double h0, double h1, double s0, double s1, double vz0, double vz1, int n, uint32_t dt = 200)
    {
        for (int i = 1; i <= n; ++i) {
            const double f = static_cast<double>(i) / n;
            step(along(h0 + (h1 - h0) * f, s0 + (s1 - s0) * f, vz0 + (vz1 - vz0) * f), dt);
        }
        return *this;
    }

    const vec3& position() const { return pos_; }
    size_t size() const { return points_.size(); }
    std::vector<gps_point>& points() { return points_; }

    // The swoop with raw GPS fields matching the local ones (altitude = z +
    // 100 m, down speed = -vz), identity frame and kinematics done.
    swoop finish(double shift_x = 0, double shift_y = 0, double shift_z = 0)
    {
        swoop s;
        for (gps_point& p : points_) {
            p.pos_local[0] += shift_x;
            p.pos_local[1] += shift_y;
            p.pos_local[2] += shift_z;
            p.pos_ecef = p.pos_local;
            p.vel_ecef = p.vel_local;
            p.pos_wgs84 = { 0, 0, p.pos_local[2] + 100 };
            p.vel_ltp = { p.vel_local[0], -p.vel_local[1], -p.vel_local[2] };
        }
        s.track = points_;
        s.track_len = static_cast<uint32_t>(points_.size());
        s.matrix = frame_identity();
        swoop_kinematics(s);
        return s;
    }

private:
    std::vector<gps_point> points_;
    vec3 pos_;
    int64_t time_;
};

// Shape of a plain canopy swoop, 5 Hz.
struct swoop_shape {
    double turn = 270; // degrees, + = right-hand
    double final_heading = 0; // degrees, direction of the run
    double canopy_top = 850; // m, first sample
    double turn_height = 180; // m, where the diving turn starts
    double run_height = 1; // m above the gate of the level run
    double run_speed = 30; // m/s at the end of the rollout
    int run_samples = 30; // level samples slowing from run_speed to 5 m/s
    int ground_samples = 10; // landed, slowing from 5 to 0.5 m/s
    int standing_samples = 15; // standing still after the landing
};

// Sample indices of the parts of a plain swoop.
struct swoop_marks {
    uint32_t turn_start = 0; // last canopy sample before the diving turn
    uint32_t turn_end = 0; // last turn sample: the highest descent rate
    uint32_t run_start = 0; // last rollout sample, level from here on
    uint32_t landed = 0; // last sample of the landing run (0.5 m/s)
};

// Canopy descent at 8 m/s, a diving turn of 5 s to 28 m/s down, a 6 s
// rollout to level flight, a run and a landing. Positions are shifted so that
// the first sample of the level run lies at `run_start` (x, y).
inline swoop plain_swoop(
    const swoop_shape& shape = {}, vec2 run_start = { -20, 0 }, swoop_marks* marks = nullptr)
{
    const double h0 = shape.final_heading - shape.turn;
    builder b({ 0, 0, shape.canopy_top });
    b.step(along(h0, 10, -8));
    while (b.position()[2] > shape.turn_height)
        b.step(along(h0, 10, -8));
    swoop_marks m;
    m.turn_start = static_cast<uint32_t>(b.size() - 1);
    b.turn(h0, shape.final_heading, 10, 20, -8, -28, 25);
    m.turn_end = static_cast<uint32_t>(b.size() - 1);
    b.turn(shape.final_heading, shape.final_heading, 20, shape.run_speed, -28, 0, 30);
    const size_t run_index = b.size() - 1;
    m.run_start = static_cast<uint32_t>(run_index);
    b.turn(shape.final_heading, shape.final_heading, shape.run_speed, 5, 0, 0, shape.run_samples);
    b.turn(shape.final_heading, shape.final_heading, 5, 0.5, 0, 0, shape.ground_samples);
    m.landed = static_cast<uint32_t>(b.size() - 1);
    if (marks)
        *marks = m;
    for (int i = 0; i < shape.standing_samples; ++i)
        b.step({ 0, 0, 0 });
    const vec3 at = b.points()[run_index].pos_local;
    return b.finish(run_start[0] - at[0], run_start[1] - at[1], shape.run_height - at[2]);
}

// Runs the stages of one analysis pass after the kinematics.
inline void analyse_stages(swoop& s, const char** err)
{
    swoop_run_stages(s, err);
}

} // namespace swoop_builder
