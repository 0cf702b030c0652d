// SPDX-License-Identifier: GPL-3.0-or-later
// Phase detection on hand-built tracks: plane exit, pattern entry, top of
// turn, stop, rollout, the bottom search, peak speeds and the frame built
// from the swoop itself.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "core/swoop/bottom_search.h"
#include "core/track/track_frames.h"
#include "tests/swoop/swoop_builder.h"

using namespace swoop_builder;

namespace {

std::string detect(swoop& s)
{
    const char* err = nullptr;
    swoop_detect_phases(s, &err);
    return err ? err : "";
}

// A jump: level flight at 4000 m, 5 s of free fall, deployment, canopy
// descent and landing. With a false start the aircraft first sinks hard for
// 2 s and then climbs 60 m (the jumper still aboard).
swoop jump(bool false_start, uint32_t* exit_index)
{
    builder b({ 0, 0, 4000 });
    for (int i = 0; i < 30; ++i)
        b.step({ 40, 0, 0 });
    if (false_start) {
        b.ramp({ 40, 0, 0 }, { 40, 0, -16 }, 10);
        b.ramp({ 40, 0, -16 }, { 40, 0, 15 }, 6);
        for (int i = 0; i < 20; ++i)
            b.step({ 40, 0, 15 });
        b.ramp({ 40, 0, 15 }, { 40, 0, 0 }, 20); // levelling off gently: no candidate
        for (int i = 0; i < 20; ++i)
            b.step({ 40, 0, 0 });
    }
    *exit_index = static_cast<uint32_t>(b.size());
    b.ramp({ 40, 0, 0 }, { 5, 0, -45 }, 25);
    b.ramp({ 5, 0, -45 }, { 10, 0, -8 }, 15);
    while (b.position()[2] > 200)
        b.step({ 10, 0, -8 });
    b.turn(0, 270, 10, 20, -8, -28, 25);
    b.turn(270, 270, 20, 30, -28, 0, 30);
    b.turn(270, 270, 30, 0.5, 0, 0, 30);
    for (int i = 0; i < 10; ++i)
        b.step({ 0, 0, 0 });
    return b.finish(0, 0, -(b.position()[2] - 1));
}

// Samples with the given altitudes (m) and down speeds (m/s), 200 ms apart.
std::vector<gps_point> raw_track(const std::vector<double>& altitude, const std::vector<double>& down)
{
    std::vector<gps_point> t(altitude.size());
    for (size_t i = 0; i < t.size(); ++i) {
        t[i].time = 1000 + 200 * static_cast<int64_t>(i);
        t[i].pos_wgs84 = { 0, 0, altitude[i] };
        t[i].vel_ltp = { 0, 0, down[i] };
    }
    return t;
}

} // namespace

// --- plane exit and pattern entry -----------------------------------------------

TEST(plane_exit, found_at_the_first_free_fall_sample)
{
    uint32_t exit_index = 0;
    swoop s = jump(false, &exit_index);
    EXPECT_EQ(detect(s), "");
    EXPECT_EQ(s.plane_exit, exit_index);
    EXPECT_GT(s.pattern_entry, s.plane_exit);
}

TEST(plane_exit, aircraft_climbing_after_a_candidate_rejects_it)
{
    // The false start passes the 1500 ms window; only the 60 m climb (over
    // 75 ft above its lowest point) tells it apart from the real exit.
    uint32_t exit_index = 0;
    swoop s = jump(true, &exit_index);
    EXPECT_EQ(detect(s), "");
    EXPECT_EQ(s.plane_exit, exit_index);
}

TEST(plane_exit, window_fails_on_implausible_or_upward_acceleration)
{
    // Free fall starting with a jolt of over 44 mph/s is no exit, nor one that
    // stops accelerating within 1500 ms: neither jump has a plane exit.
    uint32_t exit_index = 0;
    swoop jolt = jump(false, &exit_index);
    jolt.track[exit_index].acc_local[2] = -45 / mph * 1.0001; // just over 45 mph/s
    for (uint32_t k = exit_index + 1; k < exit_index + 25; ++k)
        jolt.track[k].acc_local[2] = -45 / mph * 1.0001;
    EXPECT_EQ(detect(jolt), "");
    EXPECT_EQ(jolt.plane_exit, 0u);

    swoop brief = jump(false, &exit_index);
    for (uint32_t k = exit_index + 3; k < exit_index + 25; ++k)
        brief.track[k].acc_local[2] = 0.5; // slowing down
    EXPECT_EQ(detect(brief), "");
    EXPECT_EQ(brief.plane_exit, 0u);
}

TEST(plane_exit, window_mean_must_exceed_12_mph_per_second)
{
    uint32_t exit_index = 0;
    swoop s = jump(false, &exit_index);
    // First sample just over 12 mph/s, the rest of the window at exactly 12.
    for (uint32_t k = exit_index; k < exit_index + 25; ++k)
        s.track[k].acc_local[2] = -12 / mph;
    s.track[exit_index].acc_local[2] = -12.5 / mph;
    EXPECT_EQ(detect(s), "");
    EXPECT_EQ(s.plane_exit, exit_index);

    // Every sample of the first window but its start at 11 mph/s: the mean
    // stays under 12 and the later samples are no candidates at all.
    for (uint32_t k = exit_index + 1; k < exit_index + 25; ++k)
        s.track[k].acc_local[2] = -11 / mph;
    EXPECT_EQ(detect(s), "");
    EXPECT_EQ(s.plane_exit, 0u);
}

TEST(plane_exit, none_leaves_pattern_entry_searched_from_sample_1)
{
    swoop_marks marks;
    swoop s = plain_swoop({}, { -20, 0 }, &marks);
    EXPECT_EQ(detect(s), "");
    EXPECT_EQ(s.plane_exit, 0u);
    ASSERT_GT(s.pattern_entry, 0u);
    EXPECT_GE(s.track[s.pattern_entry - 1].pos_local[2] * ft, 2500);
    EXPECT_LT(s.track[s.pattern_entry].pos_local[2] * ft, 2500);

    // The same swoop opening right at 2500 ft: sample 0 above, sample 1 below.
    swoop_shape low;
    swoop t = plain_swoop(low, { -20, 0 });
    const double drop = t.track[0].pos_local[2] - 2500.5 / ft;
    for (gps_point& p : t.track)
        p.pos_local[2] -= drop;
    EXPECT_EQ(detect(t), "");
    EXPECT_EQ(t.pattern_entry, 1u);
}

TEST(pattern_entry, hop_and_pop_below_2500_ft_has_none)
{
    swoop_shape hop;
    hop.canopy_top = 600; // about 1970 ft above the run
    swoop s = plain_swoop(hop);
    EXPECT_EQ(detect(s), "could not detect pattern entry");
}

// --- top of turn ------------------------------------------------------------------

TEST(top_of_turn, starts_where_the_diving_turn_leaves_the_canopy_descent)
{
    swoop_marks marks;
    swoop s = plain_swoop({}, { -20, 0 }, &marks);
    EXPECT_EQ(detect(s), "");
    // The first sample under 25 mph before the peak lies inside the turn; the
    // turn's samples all accelerate downward, so the walk ends at the last
    // canopy sample; 8 m/s (17.9 mph) starts the build-up walk, which gives up
    // after 500 ft of steady descent.
    EXPECT_EQ(s.top_of_turn, marks.turn_start);
}

TEST(top_of_turn, without_a_slow_sample_it_is_the_slowest_one)
{
    // Canopy at 12 m/s (26.8 mph) with one sample at 11.6 m/s (25.9 mph).
    builder b({ 0, 0, 900 });
    b.step(along(90, 10, -12));
    while (b.position()[2] > 200)
        b.step(along(90, 10, -12));
    const uint32_t slowest = static_cast<uint32_t>(b.size() - 20);
    b.points()[slowest].vel_local[2] = -11.6;
    b.turn(90, 360, 10, 20, -12, -28, 25);
    b.turn(0, 0, 20, 30, -28, 0, 30);
    b.turn(0, 0, 30, 0.5, 0, 0, 30);
    swoop s = b.finish(0, 0, -(b.position()[2] - 1));
    EXPECT_EQ(detect(s), "");
    EXPECT_EQ(s.top_of_turn, slowest);
}

namespace {

// Canopy at 4 m/s, a gradual build-up to 11 m/s (24.6 mph), three samples
// holding it (optionally turning 10 degrees each), then the diving turn.
swoop build_up(bool turning_hold, uint32_t* canopy_end, uint32_t* hold_end)
{
    builder b({ 0, 0, 400 });
    b.step(along(90, 10, -4));
    for (int i = 0; i < 20; ++i)
        b.step(along(90, 10, -4));
    *canopy_end = static_cast<uint32_t>(b.size() - 1);
    b.ramp(along(90, 10, -4), along(90, 10, -11), 10);
    if (turning_hold)
        b.turn(90, 120, 10, 10, -11, -11, 3);
    else
        b.turn(90, 90, 10, 10, -11, -11, 3);
    *hold_end = static_cast<uint32_t>(b.size() - 1);
    const double h = turning_hold ? 120 : 90;
    b.turn(h, 360, 10, 20, -11, -28, 25);
    b.turn(0, 0, 20, 30, -28, 0, 30);
    b.turn(0, 0, 30, 0.5, 0, 0, 30);
    // Start the track above 2500 ft so that the pattern entry is found.
    std::vector<gps_point>& pts = b.points();
    gps_point first = pts.front();
    first.time -= 200;
    first.pos_local[2] += 1000;
    pts.insert(pts.begin(), first);
    ++*canopy_end;
    ++*hold_end;
    return b.finish(0, 0, -(b.position()[2] - 1));
}

} // namespace

TEST(top_of_turn, descent_build_up_moves_it_back_before_the_build_up)
{
    uint32_t canopy_end = 0, hold_end = 0;
    swoop s = build_up(false, &canopy_end, &hold_end);
    EXPECT_EQ(detect(s), "");
    EXPECT_EQ(s.top_of_turn, canopy_end);
}

TEST(top_of_turn, turning_faster_than_30_degrees_per_second_keeps_it)
{
    uint32_t canopy_end = 0, hold_end = 0;
    swoop s = build_up(true, &canopy_end, &hold_end);
    EXPECT_EQ(detect(s), "");
    EXPECT_EQ(s.top_of_turn, hold_end);
}

TEST(top_of_turn, no_descent_below_1000_ft_is_no_dive)
{
    builder b({ 0, 0, 1000 });
    b.step(along(0, 10, -5));
    while (b.position()[2] > 400)
        b.step(along(0, 10, -5));
    swoop s = b.finish();
    EXPECT_EQ(detect(s), "could not detect dive");
}

// --- stop and rollout ---------------------------------------------------------

TEST(stop, first_sample_under_2_mph)
{
    swoop_marks marks;
    swoop s = plain_swoop({}, { -20, 0 }, &marks);
    EXPECT_EQ(detect(s), "");
    EXPECT_EQ(s.stop, marks.landed); // 0.95 m/s before it, 0.5 m/s here
}

TEST(stop, turning_off_the_landing_direction_by_more_than_45_degrees)
{
    swoop_shape shape;
    shape.ground_samples = 0;
    shape.standing_samples = 0;
    shape.run_samples = 30;
    swoop_marks marks;
    swoop base = plain_swoop(shape, { -20, 0 }, &marks);
    // Rebuild the tail: after the run, still moving at 5 m/s, turn 60 degrees.
    std::vector<gps_point> pts(base.track.begin(), base.track.end());
    for (int i = 1; i <= 6; ++i) {
        gps_point p = pts.back();
        p.time += 200;
        p.vel_local = along(10.0 * i, 5, 0);
        p.pos_local[0] += p.vel_local[0] * 0.2;
        p.pos_local[1] += p.vel_local[1] * 0.2;
        pts.push_back(p);
    }
    swoop s;
    s.track = pts;
    s.track_len = static_cast<uint32_t>(pts.size());
    swoop_kinematics(s);
    EXPECT_EQ(detect(s), "");
    EXPECT_EQ(s.stop, base.track_len + 4); // 50 degrees off the swoop heading
}

TEST(stop, track_cut_before_slowing_down_has_no_swoop_heading)
{
    // The logger stopped at the end of the rollout, still at 30 m/s.
    builder b({ 0, 0, 850 });
    b.step(along(90, 10, -8));
    while (b.position()[2] > 180)
        b.step(along(90, 10, -8));
    b.turn(90, 360, 10, 20, -8, -28, 25);
    b.turn(0, 0, 20, 30, -28, 0, 30);
    swoop s = b.finish(0, 0, -(b.position()[2] - 1));
    EXPECT_EQ(detect(s), "could not determine swoop heading");
}

TEST(stop, track_ending_while_still_moving_has_no_end_of_motion)
{
    swoop_shape cut;
    cut.ground_samples = 0;
    cut.standing_samples = 0;
    swoop s = plain_swoop(cut); // ends at 5 m/s (11 mph)
    EXPECT_EQ(detect(s), "did not detect end of motion after swoop");
}

TEST(rollout, starts_at_the_peak_descent_before_the_last_100_ft)
{
    swoop_marks marks;
    swoop s = plain_swoop({}, { -20, 0 }, &marks);
    EXPECT_EQ(detect(s), "");
    EXPECT_EQ(s.rollout, marks.turn_end);
}

TEST(rollout, turn_started_within_100_ft_of_the_stop_has_no_rollout)
{
    // A hop over a small hill: pattern entry high up, then the "turn" starts
    // only 20 m above the stop.
    builder b({ 0, 0, 800 });
    b.step(along(0, 10, -40));
    while (b.position()[2] > 400)
        b.step(along(0, 10, -40));
    while (b.position()[2] > 20)
        b.step(along(0, 10, -5));
    for (int i = 0; i < 5; ++i)
        b.step(along(0, 10, 0));
    b.ramp(along(0, 10, -5), along(0, 10, -12), 8);
    b.ramp(along(0, 10, -12), along(0, 10, 0), 8);
    b.turn(0, 0, 10, 0.5, 0, 0, 10);
    swoop s = b.finish();
    EXPECT_EQ(detect(s), "could not find rollout");
}

// --- bottom of the turn ----------------------------------------------------------

TEST(bottom_search, altitude_crossing_earlier_than_the_speed_crossing)
{
    //                 s=0    1     2     3     4     5     6     7     8
    auto t = raw_track({ 20.0, 16.0, 12.0, 10.5, 10.2, 10.0, 10.0, 10.1, 10.1 },
        { 20.0, 15.0, 10.0, 4.00, 2.00, 1.00, 0.00, 0.00, 0.00 });
    uint32_t index = 0;
    uint64_t time = 0;
    swoop_bottom_search(t, static_cast<uint32_t>(t.size()), 0, 8, &index, &time);
    // Lowest: sample 6 holds the altitude under 10 mph, so L = 5 (10.0 m).
    // Altitude: 11 m between samples 2 (12) and 3 (10.5): 2/3 of 200 ms.
    // Speed: 1.25 m/s between samples 4 (2.0) and 5 (1.0): later.
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(time, 1000u + 400 + 133);
}

TEST(bottom_search, speed_crossing_earlier_than_the_altitude_crossing)
{
    auto t = raw_track({ 20.0, 16.0, 12.0, 11.5, 11.2, 10.0, 10.0, 10.1 },
        { 20.0, 10.0, 1.00, 0.50, 0.50, 1.00, 0.00, 0.00 });
    uint32_t index = 0;
    uint64_t time = 0;
    swoop_bottom_search(t, static_cast<uint32_t>(t.size()), 0, 7, &index, &time);
    // Speed: 1.25 between samples 1 (10) and 2 (1): 8.75 / 9 of 200 ms = 194.4.
    // Altitude: 11 m between samples 4 (11.2) and 5 (10.0): later.
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(time, 1000u + 200 + 194);
}

TEST(bottom_search, altitude_never_rising_makes_the_end_the_lowest_point)
{
    // Still sinking at the end: the lowest point is e (9.0 m), so the
    // altitude crossing is at 10 m, between samples 2 and 3.
    auto t = raw_track({ 14.0, 12.0, 11.0, 9.8, 9.4, 9.2, 9.0 }, { 10.0, 10.0, 8.00, 6.0, 3.0, 2.0, 2.0 });
    uint32_t index = 0;
    uint64_t time = 0;
    swoop_bottom_search(t, static_cast<uint32_t>(t.size()), 0, 6, &index, &time);
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(time, 1000u + 400 + 166); // 1 / 1.2 of 200 ms, truncated
}

TEST(bottom_search, neither_crossing_gives_the_sample_after_the_start)
{
    auto t = raw_track({ 10.5, 10.4, 10.3, 10.2, 10.1 }, { 2.0, 2.0, 2.0, 2.0, 2.0 });
    uint32_t index = 0;
    uint64_t time = 0;
    swoop_bottom_search(t, static_cast<uint32_t>(t.size()), 0, 4, &index, &time);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(time, 1200u);
}

TEST(bottom_search, end_past_the_track_reads_no_further_than_its_last_sample)
{
    auto t = raw_track({ 10.5, 10.4 }, { 2.0, 2.0 });
    uint32_t index = 9;
    uint64_t time = 0;
    swoop_bottom_search(t, 2, 1, 50, &index, &time);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(time, 1200u);
}

TEST(bottom_of_turn, position_interpolated_at_the_bottom_time)
{
    swoop_marks marks;
    swoop s = plain_swoop({}, { -20, 3 }, &marks);
    EXPECT_EQ(detect(s), "");
    const uint32_t b = s.bottom_of_turn;
    ASSERT_GT(b, s.rollout);
    ASSERT_LT(b, s.stop);
    const gps_point& p = s.track[b];
    const gps_point& q = s.track[b + 1];
    ASSERT_GE(s.bottom_time, static_cast<uint64_t>(p.time));
    ASSERT_LE(s.bottom_time, static_cast<uint64_t>(q.time));
    const double f = static_cast<double>(s.bottom_time - p.time) / static_cast<double>(q.time - p.time);
    EXPECT_NEAR(s.bottom_xpos, p.pos_local[0] + f * (q.pos_local[0] - p.pos_local[0]), 1e-9);
    EXPECT_NEAR(s.bottom_ypos, 3, 1e-9);
    EXPECT_NEAR(s.bottom_zpos, p.pos_local[2] + f * (q.pos_local[2] - p.pos_local[2]), 1e-9);
    // The altitude came down to 1 m above the lowest point before the down
    // speed fell to 1.25 m/s, so that crossing set the bottom.
    // (The bottom time is truncated to whole ms, so the height is a little off.)
    EXPECT_NEAR(s.bottom_zpos, s.track[marks.run_start - 1].pos_local[2] + 1, 0.01);
}

// --- peak speeds -----------------------------------------------------------------

TEST(peak_speeds, first_of_equal_maxima_within_their_ranges)
{
    swoop s;
    const double v[][3]
        = { { 50, 0, -50 }, { 3, 4, -1 }, { 0, 5, -2 }, { 4, 3, -2 }, { 1, 0, -1 }, { 90, 0, -90 } };
    for (const auto& row : v) {
        gps_point p {};
        p.vel_local = { row[0], row[1], row[2] };
        s.track.push_back(p);
    }
    s.track_len = static_cast<uint32_t>(s.track.size());
    s.top_of_turn = 1;
    s.rollout = 2;
    s.stop = 5; // sample 5 is outside every range
    swoop_peak_speeds(s);
    EXPECT_EQ(s.max_horz_speed, 2u); // 5 m/s at 1, 2 and 3; from the rollout on
    EXPECT_EQ(s.max_total_speed, 2u); // sqrt(29) at 2 and 3
    EXPECT_EQ(s.max_vert_speed, 2u); // 2 m/s down at 2 and 3
}

TEST(peak_speeds, range_without_any_positive_value_gives_zero)
{
    swoop s;
    for (int i = 0; i < 4; ++i) {
        gps_point p {};
        p.vel_local = { 0, 0, 1 }; // climbing, no horizontal motion
        s.track.push_back(p);
    }
    s.track_len = 4;
    s.top_of_turn = 1;
    s.rollout = 2;
    s.stop = 3;
    s.max_vert_speed = s.max_horz_speed = s.max_total_speed = 7;
    swoop_peak_speeds(s);
    EXPECT_EQ(s.max_vert_speed, 0u);
    EXPECT_EQ(s.max_horz_speed, 0u);
    EXPECT_EQ(s.max_total_speed, 1u); // 3-D speed 1 m/s counts
}

// --- frame from the swoop ----------------------------------------------------------

namespace {

constexpr double lat0 = 47.0; // degrees
constexpr double lon0 = 8.0; // degrees
constexpr double metres_per_degree = 111320;

// Geodetic samples from a local builder track: x north, y west, z altitude.
swoop geodetic(swoop s)
{
    for (gps_point& p : s.track) {
        const double north = p.pos_local[0];
        const double east = -p.pos_local[1];
        p.pos_wgs84 = { lat0 + north / metres_per_degree,
            lon0 + east / (metres_per_degree * std::cos(lat0 * pi / 180)), 400 + p.pos_local[2] };
        p.vel_ltp = { p.vel_local[0], -p.vel_local[1], -p.vel_local[2] };
    }
    return s;
}

std::string frame(swoop& s, frame_matrix* m)
{
    const char* err = nullptr;
    swoop_frame_from_swoop(s, m, &err);
    return err ? err : "";
}

// The message of a frame built from the builder's track, "" when it is built.
std::string frame_error(builder& b)
{
    swoop s = geodetic(b.finish());
    frame_matrix m {};
    return frame(s, &m);
}

// A fall from 1000 m with velocity v (m/s) until at or below `height` m.
builder falling_to(double height, const vec3& v)
{
    builder b({ 0, 0, 1000 });
    b.step(v);
    while (b.position()[2] > height)
        b.step(v);
    return b;
}

// n samples standing still.
void stand(builder& b, int n)
{
    for (int i = 0; i < n; ++i)
        b.step({ 0, 0, 0 });
}

} // namespace

TEST(frame_from_swoop, a_walk_on_the_ground_is_no_flight)
{
    builder b({ 0, 0, 10 });
    for (int i = 0; i < 100; ++i)
        b.step({ 1.2, 0, 0 });
    EXPECT_EQ(frame_error(b), "could not detect flight");
}

TEST(frame_from_swoop, track_ending_in_flight_has_no_landing)
{
    builder b = falling_to(100, { 10, 0, -8 });
    EXPECT_EQ(frame_error(b), "could not detect landing");
}

TEST(frame_from_swoop, landing_as_high_as_the_start_has_no_dive_at_100_ft)
{
    // Down 500 m and back up at speed, then standing where it began.
    builder b = falling_to(500, { 10, 0, -20 });
    while (b.position()[2] < 1000)
        b.step({ 10, 0, 20 });
    stand(b, 100);
    EXPECT_EQ(frame_error(b), "could not find dive at 100 feet");
}

TEST(frame_from_swoop, slow_sinking_is_no_landing_unless_the_altitude_is_poor)
{
    // A fall of 500 m, then a slow sink at 3 m/s (8 mph) to the ground. Slow
    // samples that sink more than 100 ft within 15 s are no landing, so the
    // ground is found at the bottom; a slow sample with vAcc >= 10 lands at once.
    builder b = falling_to(500, { 10, 0, -20 });
    const uint32_t poor = static_cast<uint32_t>(b.size() + 10);
    while (b.position()[2] > 0)
        b.step({ 2, 0, -3 });
    stand(b, 100);
    swoop s = geodetic(b.finish());
    const double ground = s.track[s.track_len - 1].pos_wgs84[2]; // m

    auto origin_height = [&](swoop& sw) {
        frame_matrix m {};
        EXPECT_EQ(frame(sw, &m), "");
        return ecef_to_wgs84(transform_point(matrix_invert(m), vec3 { 0, 0, 0 }))[2];
    };
    // Landing at the first sample within 100 ft (30.48 m) of the ground; the
    // ground altitude is the mean of its first 3.2 s (4.8 m lower) less 2 m.
    EXPECT_NEAR(origin_height(s), ground + 30.48 - 0.3 - 6.8, 0.31);
    s.track[poor].vacc = 12;
    EXPECT_NEAR(origin_height(s), s.track[poor].pos_wgs84[2] - 6.8, 0.01);
}
