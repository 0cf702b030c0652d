// SPDX-License-Identifier: GPL-3.0-or-later
// Per-sample kinematics and the interpolated player sample, on hand-built
// tracks in the local frame.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>
#include <numbers>

#include "core/swoop/point_at.h"
#include "core/swoop/swoop.h"
#include "core/swoop/swoop_stages.h"

namespace {

using std::numbers::pi;

// A sample at time t (ms) moving with horizontal speed h (m/s) on heading
// deg (clockwise from +x) and vertical velocity vz (m/s, up positive).
gps_point moving(int64_t t, double deg, double h, double vz, vec3 pos = { 0, 0, 0 })
{
    gps_point p {};
    p.time = t;
    p.vel_local = { h * std::cos(deg * pi / 180), -h * std::sin(deg * pi / 180), vz };
    p.pos_local = pos;
    return p;
}

swoop with_track(std::vector<gps_point> track)
{
    swoop s;
    s.track_len = static_cast<uint32_t>(track.size());
    s.track = std::move(track);
    swoop_kinematics(s);
    return s;
}

std::vector<double> turn_angles(const swoop& s)
{
    std::vector<double> out;
    for (const gps_point& p : s.track)
        out.push_back(p.turn_angle);
    return out;
}

// Steep: 30 m/s down (67 mph) at 10 m/s horizontal is a 71.6 degree dive.
constexpr double steep_vz = -30;
constexpr double steep_h = 10;

} // namespace

TEST(kinematics, acceleration_per_second_from_the_previous_sample)
{
    gps_point a {}, b {};
    a.time = 5000;
    b.time = 5200;
    a.vel_local = { 10, 0, -1 };
    b.vel_local = { 12, -1, -1 };
    swoop s = with_track({ a, b });
    EXPECT_EQ(s.track[0].acc_local, (vec3 { 0, 0, 0 }));
    EXPECT_DOUBLE_EQ(s.track[1].acc_local[0], 10);
    EXPECT_DOUBLE_EQ(s.track[1].acc_local[1], -5);
    EXPECT_DOUBLE_EQ(s.track[1].acc_local[2], 0);
}

// Regression: a repeated time divided by zero and gave inf/NaN acceleration
// and turn rate.
TEST(kinematics, repeated_time_keeps_the_previous_acceleration_and_turn_rate)
{
    swoop s = with_track(
        { moving(0, 0, 10, 0), moving(200, 10, 12, 0), moving(200, 30, 15, 0), moving(400, 30, 15, 0) });
    for (const gps_point& p : s.track) {
        EXPECT_TRUE(std::isfinite(p.turn_rate));
        for (double c : p.acc_local)
            EXPECT_TRUE(std::isfinite(c));
    }
    EXPECT_EQ(s.track[2].acc_local, s.track[1].acc_local);
    EXPECT_DOUBLE_EQ(s.track[2].turn_rate, s.track[1].turn_rate);
    EXPECT_NEAR(s.track[1].turn_rate, 50, 1e-9);
    EXPECT_NEAR(s.track[2].turn_angle, 20, 1e-9); // the angle itself is still the heading change

    // A repeat at the second sample falls back to sample 0's zeros.
    swoop t = with_track({ moving(1000, 0, 10, 0), moving(1000, 40, 12, -3) });
    EXPECT_EQ(t.track[1].acc_local, (vec3 { 0, 0, 0 }));
    EXPECT_EQ(t.track[1].turn_rate, 0);
}

TEST(kinematics, heading_clockwise_from_local_x)
{
    gps_point px {}, my {}, py {}, mx {}, rest {}, down {};
    px.vel_local = { 5, 0, 0 };
    my.vel_local = { 0, -5, 0 };
    py.vel_local = { 0, 5, 0 };
    mx.vel_local = { -5, -0.0, 0 };
    down.vel_local = { 0, 0, -3 };
    swoop s = with_track({ px, my, py, mx, rest, down });
    EXPECT_DOUBLE_EQ(s.track[0].heading, 0);
    EXPECT_DOUBLE_EQ(s.track[1].heading, 90);
    EXPECT_DOUBLE_EQ(s.track[2].heading, 270);
    EXPECT_DOUBLE_EQ(s.track[3].heading, 180);
    EXPECT_DOUBLE_EQ(s.track[4].heading, 0);
    EXPECT_DOUBLE_EQ(s.track[5].heading, 0);
}

TEST(kinematics, dive_angle_from_rest_to_vertical)
{
    gps_point rest {}, down {}, up {}, level {}, diving {};
    down.vel_local = { 0, 0, -7 };
    up.vel_local = { 0, 0, 2 };
    level.vel_local = { 3, 4, 0 };
    diving.vel_local = { 3, 4, -5 };
    swoop s = with_track({ rest, down, up, level, diving });
    EXPECT_EQ(s.track[0].dive_angle, 0);
    EXPECT_EQ(s.track[1].dive_angle, 90);
    EXPECT_EQ(s.track[2].dive_angle, -90);
    EXPECT_EQ(s.track[3].dive_angle, 0);
    EXPECT_NEAR(s.track[4].dive_angle, 45, 1e-12);
}

TEST(kinematics, turn_angle_takes_the_short_way_round_north)
{
    swoop s = with_track({ moving(0, 350, 10, 0), moving(500, 10, 10, 0), moving(1000, 350, 10, 0) });
    EXPECT_EQ(s.track[0].turn_angle, 0);
    EXPECT_NEAR(s.track[1].turn_angle, 20, 1e-9);
    EXPECT_NEAR(s.track[2].turn_angle, -20, 1e-9);
    EXPECT_NEAR(s.track[1].turn_rate, 40, 1e-9);
    EXPECT_NEAR(s.track[2].turn_rate, -40, 1e-9);
}

// A right turn whose heading flips left for four samples in a steep dive.
// The run 3..6 is replaced by its clockwise change (40 -> 200 = 160 degrees)
// shared by time step; sample 5 has a 400 ms step and takes twice the share.
TEST(kinematics, steep_dive_flip_run_is_repaired_in_the_turn_direction)
{
    const std::vector<double> headings = { 0, 20, 40, 10, 340, 250, 200, 230 };
    const std::vector<int64_t> times = { 0, 200, 400, 600, 800, 1200, 1400, 1600 };
    std::vector<gps_point> track;
    for (size_t i = 0; i < headings.size(); i++)
        track.push_back(moving(times[i], headings[i], steep_h, steep_vz));
    swoop s = with_track(track);
    EXPECT_GT(s.track[1].dive_angle, 60);

    const std::vector<double> expected = { 0, 20, 20, 32, 32, 64, 32, 30 };
    const std::vector<double> got = turn_angles(s);
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_NEAR(got[i], expected[i], 1e-9) << "sample " << i;
    EXPECT_NEAR(s.track[5].turn_rate, 160, 1e-9); // 64 degrees in 400 ms
}

TEST(kinematics, flip_outside_a_steep_dive_stays_raw)
{
    // Same headings at 5 m/s down: not steep, nothing is repaired.
    const std::vector<double> headings = { 0, 20, 40, 10, 340, 250, 200, 230 };
    std::vector<gps_point> track;
    for (size_t i = 0; i < headings.size(); i++)
        track.push_back(moving(static_cast<int64_t>(i) * 200, headings[i], steep_h, -5));
    swoop s = with_track(track);
    const std::vector<double> raw = { 0, 20, 20, -30, -30, -90, -50, 30 };
    const std::vector<double> got = turn_angles(s);
    for (size_t i = 0; i < raw.size(); i++)
        EXPECT_NEAR(got[i], raw[i], 1e-9) << "sample " << i;

    // Steep but under 60 mph down (25 m/s is 55.9 mph): no run either.
    track.clear();
    for (size_t i = 0; i < headings.size(); i++)
        track.push_back(moving(static_cast<int64_t>(i) * 200, headings[i], 5, -25));
    swoop slow = with_track(track);
    EXPECT_GT(slow.track[3].dive_angle, 60);
    EXPECT_NEAR(slow.track[3].turn_angle, -30, 1e-9);
}

TEST(kinematics, repair_of_315_degrees_or_more_leaves_the_raw_angles)
{
    // One-sample runs after a right turn: 40 -> 356 taken clockwise is 316
    // degrees (raw -44 stays); 40 -> 354 is 314 (repaired to +314).
    for (double flipped : { 356.0, 354.0 }) {
        const std::vector<double> headings = { 0, 20, 40, flipped, 100 };
        std::vector<gps_point> track;
        for (size_t i = 0; i < headings.size(); i++)
            track.push_back(moving(static_cast<int64_t>(i) * 200, headings[i], steep_h, steep_vz));
        swoop s = with_track(track);
        const double expected = flipped == 356.0 ? -44 : 314;
        EXPECT_NEAR(s.track[3].turn_angle, expected, 1e-9) << flipped;
        EXPECT_NEAR(s.track[4].turn_angle, 100 + 360 - flipped, 1e-9) << flipped;
    }
}

TEST(kinematics, left_turn_repair_runs_counterclockwise)
{
    // A left turn flipping right for two samples: 60 -> 120 taken
    // counterclockwise is -300, shared equally.
    const std::vector<double> left = { 100, 80, 60, 90, 120, 30 };
    std::vector<gps_point> track;
    for (size_t i = 0; i < left.size(); i++)
        track.push_back(moving(static_cast<int64_t>(i) * 200, left[i], steep_h, steep_vz));
    swoop l = with_track(track);
    const std::vector<double> expected = { 0, -20, -20, -150, -150, -90 };
    const std::vector<double> got = turn_angles(l);
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_NEAR(got[i], expected[i], 1e-9) << "sample " << i;
}

TEST(kinematics, run_ends_after_30_feet_and_may_reopen_at_the_same_sample)
{
    // As the repaired run above, but sample 5 lies 10 m (32.8 ft) from the
    // run's first sample: the run 3..4 ends there (40 -> 340 clockwise =
    // 300) and a new run opens at 5, ended by the right step at 7
    // (340 -> 200 clockwise = 220, shared 400:200 ms).
    const std::vector<double> headings = { 0, 20, 40, 10, 340, 250, 200, 230 };
    const std::vector<int64_t> times = { 0, 200, 400, 600, 800, 1200, 1400, 1600 };
    std::vector<gps_point> track;
    for (size_t i = 0; i < headings.size(); i++) {
        vec3 pos = i >= 5 ? vec3 { 6, 8, 0 } : vec3 { 0, 0, 0 };
        track.push_back(moving(times[i], headings[i], steep_h, steep_vz, pos));
    }
    swoop s = with_track(track);
    const std::vector<double> expected = { 0, 20, 20, 150, 150, 220.0 * 400 / 600, 220.0 * 200 / 600, 30 };
    const std::vector<double> got = turn_angles(s);
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_NEAR(got[i], expected[i], 1e-9) << "sample " << i;

    // 9 m keeps the run open: one repair over 3..6 as before.
    for (size_t i = 5; i < track.size(); i++)
        track[i].pos_local = { 0, 9, 0 };
    swoop near = with_track(track);
    EXPECT_NEAR(near.track[3].turn_angle, 32, 1e-9);
    EXPECT_NEAR(near.track[5].turn_angle, 64, 1e-9);
}

TEST(kinematics, run_open_at_the_end_of_the_track_is_left_raw)
{
    const std::vector<double> headings = { 0, 20, 40, 10, 340 };
    std::vector<gps_point> track;
    for (size_t i = 0; i < headings.size(); i++)
        track.push_back(moving(static_cast<int64_t>(i) * 200, headings[i], steep_h, steep_vz));
    swoop s = with_track(track);
    EXPECT_NEAR(s.track[3].turn_angle, -30, 1e-9);
    EXPECT_NEAR(s.track[4].turn_angle, -30, 1e-9);
}

namespace {

// Top of the turn at sample 1 (t = 1200), stop at sample 3 (t = 1600), a
// right turn through north: headings 350, 20, 50 at samples 1 to 3.
swoop turning_swoop()
{
    std::vector<gps_point> track = { moving(1000, 340, 20, -10, { 0, 0, 100 }),
        moving(1200, 350, 20, -12, { 10, 0, 90 }), moving(1400, 20, 22, -14, { 20, -2, 80 }),
        moving(1600, 50, 24, -16, { 30, -6, 70 }), moving(1800, 50, 24, -16, { 40, -10, 60 }) };
    for (size_t i = 0; i < track.size(); i++)
        track[i].sacc = static_cast<float>(0.5 + 0.1 * static_cast<double>(i));
    swoop s = with_track(track);
    s.top_of_turn = 1;
    s.stop = 3;
    return s;
}

} // namespace

TEST(point_at, offset_zero_is_the_top_of_the_turn)
{
    swoop s = turning_swoop();
    std::unique_ptr<gps_point> p = swoop_point_at(s, 0);
    ASSERT_TRUE(p);
    const gps_point& top = s.track[1];
    EXPECT_EQ(p->time, 1200);
    EXPECT_EQ(p->pos_local, top.pos_local);
    EXPECT_EQ(p->vel_local, top.vel_local);
    EXPECT_EQ(p->heading, top.heading);
    EXPECT_EQ(p->dive_angle, top.dive_angle);
    EXPECT_EQ(p->turn_rate, top.turn_rate);
    EXPECT_EQ(p->sacc, top.sacc);
    EXPECT_EQ(p->turn_angle, 0);
    // Fields that are not interpolated stay zero.
    EXPECT_EQ(p->pos_wgs84, (vec3 { 0, 0, 0 }));
    EXPECT_EQ(p->acc_local, (vec3 { 0, 0, 0 }));
}

TEST(point_at, interpolates_between_samples_and_unwinds_the_heading)
{
    swoop s = turning_swoop();
    std::unique_ptr<gps_point> mid = swoop_point_at(s, 100); // halfway from sample 1 to 2
    ASSERT_TRUE(mid);
    EXPECT_EQ(mid->time, 1300);
    EXPECT_NEAR(mid->pos_local[0], 15, 1e-12);
    EXPECT_NEAR(mid->pos_local[1], -1, 1e-12);
    EXPECT_NEAR(mid->pos_local[2], 85, 1e-12);
    EXPECT_NEAR(mid->vel_local[2], -13, 1e-12);
    EXPECT_NEAR(mid->turn_angle, 15, 1e-9);
    EXPECT_NEAR(mid->heading, 365, 1e-9); // 350 + 15, not reduced to 5
    EXPECT_NEAR(mid->turn_rate, (s.track[1].turn_rate + s.track[2].turn_rate) / 2, 1e-9);
    EXPECT_NEAR(mid->sacc, 0.65, 1e-6);

    std::unique_ptr<gps_point> late = swoop_point_at(s, 350); // three quarters from 2 to 3
    ASSERT_TRUE(late);
    EXPECT_NEAR(late->turn_angle, 22.5, 1e-9);
    EXPECT_NEAR(late->heading, 350 + 30 + 22.5, 1e-9);

    std::unique_ptr<gps_point> at_stop = swoop_point_at(s, 400);
    ASSERT_TRUE(at_stop);
    EXPECT_EQ(at_stop->pos_local, s.track[3].pos_local);
    EXPECT_NEAR(at_stop->heading, 410, 1e-9);
}

TEST(point_at, none_past_the_stop_before_the_top_or_on_wrap)
{
    swoop s = turning_swoop();
    EXPECT_FALSE(swoop_point_at(s, 401));
    EXPECT_FALSE(swoop_point_at(s, -1));
    EXPECT_FALSE(swoop_point_at(s, std::numeric_limits<int64_t>::max()));
    EXPECT_FALSE(swoop_point_at(s, std::numeric_limits<int64_t>::min()));

    swoop empty;
    EXPECT_FALSE(swoop_point_at(empty, 0));
}
