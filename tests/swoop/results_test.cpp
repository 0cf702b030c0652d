// SPDX-License-Identifier: GPL-3.0-or-later
// The results record an analysis leaves in the swoop: the kind of failure
// and the gate distance the desktop app reads instead of a message, and the
// "missing" state of results that the record keeps as 0.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "core/geometry/geodetic.h"
#include "core/geometry/units.h"
#include "core/swoop/results.h"
#include "core/swoop/swoop.h"
#include "tests/support/test_support.h"

namespace {

// A record holding samples at rest at a geodetic point, 200 ms apart.
swoop resting(int samples)
{
    swoop s;
    for (int i = 0; i < samples; i++) {
        gps_point g {};
        g.time = 1563120151000 + 200 * i;
        g.pos_wgs84 = { 47.2, 8.5, 420.0 + (i == 1 ? 0 : 300) };
        g.vacc = 2;
        s.track.push_back(g);
    }
    s.track_len = uint32_t(s.track.size());
    return s;
}

// A frame with the ECEF axes that puts the field at local (x, 0, 0).
frame_matrix frame_at(double x)
{
    frame_matrix m = frame_identity();
    const vec3 ecef = wgs84_to_ecef({ 47.2, 8.5, 420 });
    for (int r = 0; r < 3; r++)
        m[r][3] = (r == 0 ? x : 0) - ecef[r];
    return m;
}

} // namespace

TEST(swoop_results, failures_are_typed_and_keep_the_gate_distance)
{
    const frame_matrix far = frame_at(2414.0); // about 1.5 miles
    const frame_matrix near = frame_at(10);
    const struct {
        const char* name;
        int samples;
        frame_kind type;
        const frame_matrix* matrix;
        analysis_failure failure;
    } cases[] = {
        { "no samples", 0, frame_as_given, &near, analysis_failure::no_samples },
        { "no frame", 3, frame_as_given, nullptr, analysis_failure::other },
        { "too far", 3, frame_as_given, &far, analysis_failure::gate_too_far },
        { "no swoop in it", 3, frame_as_given, &near, analysis_failure::other },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        swoop s = resting(c.samples);
        const char* err = nullptr;
        swoop_analyse(s, c.type, c.matrix, 0, &err);
        ASSERT_NE(err, nullptr);
        EXPECT_EQ(s.results.failure, c.failure);
        EXPECT_EQ(s.results.has_samples, c.samples > 0);
        if (c.failure != analysis_failure::gate_too_far) {
            EXPECT_EQ(s.results.gate_distance, 0);
            continue;
        }
        // The distance the message gives, to its one decimal.
        EXPECT_NEAR(s.results.gate_distance, 2414.0, 1e-6);
        char miles[32];
        std::snprintf(
            miles, sizeof miles, "(%.1f miles", s.results.gate_distance * feet_per_metre / feet_per_mile);
        EXPECT_NE(std::string(err).find(miles), std::string::npos) << err;
    }
}

TEST(swoop_results, an_analysis_fills_them_and_a_missed_gate_is_missing)
{
    const char* err = nullptr;
    std::unique_ptr<swoop> s
        = swoop_new((test_support::source_dir() + "/examples/swoop-270-right.csv").c_str(), &err);
    ASSERT_TRUE(s) << err;
    swoop_analyse(*s, frame_from_swoop, nullptr, 0, &err);
    ASSERT_EQ(err, nullptr) << err;
    const swoop_results& r = s->results;
    EXPECT_EQ(r.failure, analysis_failure::none);
    ASSERT_TRUE(r.entry_gate_speed && r.turn_degrees && r.stop_distance);
    EXPECT_EQ(*r.entry_gate_speed, s->entry_gate_speed);
    EXPECT_EQ(*r.stop_distance, s->track[s->stop].pos_local[0]);
    EXPECT_TRUE(r.right_hand);
    EXPECT_FALSE(r.exit_gate_speed); // no exit gate in its own frame
    EXPECT_FALSE(r.speed_course_time);

    // Values the record keeps as 0 are missing; others stay as they are.
    swoop missed = *s;
    missed.entry_gate_speed = 0;
    missed.plane_exit = 0;
    const swoop_results m = swoop_results_compute(missed);
    EXPECT_FALSE(m.entry_gate_speed);
    EXPECT_FALSE(m.exit_height);
    EXPECT_EQ(m.turn_degrees, r.turn_degrees);
}
