// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/geometry/vector_math.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

// a and b meet in `want` (a single point is a segment with equal ends).
testing::AssertionResult meet_in(const segment& a, const segment& b, const segment& want, double tol = 1e-12)
{
    segment out {};
    if (!segment_intersection(a, b, &out))
        return testing::AssertionFailure() << "the segments do not meet";
    for (int i = 0; i < 4; ++i)
        if (!(std::fabs(out[i] - want[i]) <= tol))
            return testing::AssertionFailure() << "element " << i << " is " << out[i] << ", not " << want[i];
    return testing::AssertionSuccess();
}

} // namespace

TEST(vector_ops, directions_distances_and_small_tests)
{
    EXPECT_EQ(vec3_sub({ 1, 2, 3 }, { 4, 6, 8 }), (vec3 { 3, 4, 5 })); // from a to b
    EXPECT_EQ(vec2_sub({ 1, 2 }, { 4, 6 }), (vec2 { 3, 4 }));
    EXPECT_EQ(vec3_cross({ 2, 3, 4 }, { 5, 6, 7 }), (vec3 { -3, 6, -3 }));
    EXPECT_DOUBLE_EQ(vec3_distance({ 1, 1, 1 }, { 3, 4, 7 }), 7.0);
    // The horizontal distance ignores z even for 3-vectors.
    EXPECT_DOUBLE_EQ(vec2_distance(vec3 { 0, 0, 100 }, vec3 { 3, 4, -50 }), 5.0);
    EXPECT_FALSE(vec2_equal({ 1.5, -2 }, { 1.5, std::nextafter(-2.0, 0.0) }));
    EXPECT_FALSE(vec2_opposite({ 1, 0 }, { 0, 1 })); // perpendicular: dot is 0
    EXPECT_TRUE(vec2_opposite({ 1, 0 }, { -1, 0.5 }));
    EXPECT_DOUBLE_EQ(vec2_max_delta({ 1, 1 }, { 2, -4 }), 5.0);
    EXPECT_TRUE(vec2_near({ 0, 0 }, { 0.5, -0.5 }, 0.6));
    EXPECT_FALSE(vec2_near({ 0, 0 }, { 0.5, -0.6 }, 0.6)); // strictly below
}

TEST(vector_ops, angle_between_vectors)
{
    EXPECT_NEAR(vec2_angle({ 1, 0 }, { 0, 2 }), 90.0, 1e-12);
    EXPECT_NEAR(vec2_angle({ 1, 1 }, { -1, 0 }), 135.0, 1e-12);
    // Parallel and antiparallel vectors whose normalised dot product rounds
    // past +-1 used to give NaN.
    const vec2 v = { 0.1, 0.7 };
    const vec2 w = { 0.30000000000000004, 2.1 };
    EXPECT_NEAR(vec2_angle(v, w), 0.0, 1e-6);
    EXPECT_NEAR(vec2_angle(v, { -w[0], -w[1] }), 180.0, 1e-6);
    for (int i = 1; i < 200; ++i) {
        const vec2 a = { 0.1 * i, 0.37 * i };
        EXPECT_FALSE(std::isnan(vec2_angle(a, { 3 * a[0], 3 * a[1] }))) << i;
    }
}

TEST(vector_ops, bearing_is_clockwise_from_plus_x)
{
    EXPECT_DOUBLE_EQ(bearing({ 1, 1 }, { 2, 1 }), 0.0);
    EXPECT_DOUBLE_EQ(bearing({ 0, 0 }, { 0, -1 }), 90.0);
    EXPECT_DOUBLE_EQ(bearing({ 0, 0 }, { -1, 0 }), 180.0);
    EXPECT_DOUBLE_EQ(bearing({ 0, 0 }, { 0, 1 }), 270.0);
    EXPECT_NEAR(bearing({ 0, 0 }, { 1, 1 }), 315.0, 1e-12);
}

TEST(interpolation, straight_line_through_two_points)
{
    EXPECT_DOUBLE_EQ(interpolate(10, 20, 0, 4, 1), 12.5);
    EXPECT_DOUBLE_EQ(interpolate(10, 20, 0, 4, 8), 30.0); // extrapolates
    EXPECT_DOUBLE_EQ(interpolate(5, -5, 2, -2, 0), 0.0); // decreasing x
}

// Regression: samples with repeated times (or a run parallel to a gate line)
// gave 0/0 = NaN that spread through the analysis.
TEST(interpolation, equal_abscissae_give_the_start_value)
{
    EXPECT_EQ(interpolate(7.25, 9.0, 3.0, 3.0, 3.0), 7.25);
    EXPECT_EQ(interpolate(7.25, 9.0, 3.0, 3.0, 100.0), 7.25);
    EXPECT_EQ(interpolate(-1.0, -1.0, 0.0, 0.0, 0.0), -1.0);
}

TEST(interpolation, z_along_the_larger_horizontal_difference)
{
    // Along x: |dx| = 10 > |dy| = 2.
    EXPECT_DOUBLE_EQ(interpolate_z({ 0, 0, 100 }, { 10, 2, 200 }, { 2.5, 99 }), 125.0);
    // Along y: |dy| = 10 >= |dx| = 1, the target's x is not read.
    EXPECT_DOUBLE_EQ(interpolate_z({ 0, 0, 100 }, { 1, -10, 200 }, { 99, -5 }), 150.0);
    // Same horizontal position: P's height.
    EXPECT_DOUBLE_EQ(interpolate_z({ 3, 4, 12 }, { 3, 4, 50 }, { 3, 4 }), 12.0);
}

TEST(solver, swaps_rows_for_a_zero_pivot)
{
    double a[] = { 0, 1, 2, 1, 0, 3 };
    solve_linear(a, 2, 3);
    EXPECT_DOUBLE_EQ(a[2], 3.0);
    EXPECT_DOUBLE_EQ(a[5], 2.0);
}

TEST(solver, takes_the_largest_pivot_not_the_first_non_zero_one)
{
    // Without partial pivoting 1 - 1e20 swallows the 1 and x comes out 0.
    double a[] = { 1e-20, 1, 1, 1, 1, 2 };
    solve_linear(a, 2, 3);
    EXPECT_NEAR(a[2], 1.0, 1e-12);
    EXPECT_NEAR(a[5], 1.0, 1e-12);
}

TEST(solver, respects_the_row_stride_and_solves_3x3)
{
    // Stride 5 with n = 3: the fifth column of each row must stay untouched.
    // 2x + y - z = 8, -3x - y + 2z = -11, -2x + y + 2z = -3 -> (2, 3, -1)
    double a[] = { 2, 1, -1, 8, 99, -3, -1, 2, -11, 99, -2, 1, 2, -3, 99 };
    solve_linear(a, 3, 5);
    EXPECT_NEAR(a[3], 2.0, 1e-12);
    EXPECT_NEAR(a[8], 3.0, 1e-12);
    EXPECT_NEAR(a[13], -1.0, 1e-12);
    EXPECT_EQ(a[4], 99.0);
    EXPECT_EQ(a[9], 99.0);
    EXPECT_EQ(a[14], 99.0);
    // The coefficient part ends as the identity.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(a[i * 5 + j], i == j ? 1.0 : 0.0) << i << "," << j;
}

TEST(matrices, transform_point_adds_the_translation_and_transform_vector_does_not)
{
    const frame_matrix m = { { { 0, -1, 0, 10 }, { 1, 0, 0, 20 }, { 0, 0, 1, 30 }, { 0, 0, 0, 1 } } };
    EXPECT_EQ(transform_point(m, { 1, 2, 3 }), (vec3 { 8, 21, 33 }));
    EXPECT_EQ(transform_vector(m, { 1, 2, 3 }), (vec3 { -2, 1, 3 }));
}

TEST(matrices, inverse_of_a_general_matrix)
{
    // Needs row swaps: zero on the diagonal of the first column.
    const frame_matrix m = { { { 0, 2, 1, 4 }, { 3, 0, -1, 2 }, { 1, 1, 1, 1 }, { 2, -1, 0, 3 } } };
    const frame_matrix inv = matrix_invert(m);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += m[i][k] * inv[k][j];
            EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-12) << i << "," << j;
        }
}

TEST(segments, line_intersection_of_the_extended_lines)
{
    // Neither segment reaches the intersection point (2, 2).
    const vec2 p = line_intersection({ 0, 0, 1, 1 }, { 4, 0, 3, 1 });
    EXPECT_NEAR(p[0], 2.0, 1e-12);
    EXPECT_NEAR(p[1], 2.0, 1e-12);
}

TEST(segments, crossing_segments_meet_in_one_point)
{
    segment out {};
    EXPECT_TRUE(meet_in({ 0, -1, 0, 1 }, { -1, 0, 1, 0 }, { 0, 0, 0, 0 }));
    EXPECT_TRUE(meet_in({ 0, 0, 4, 4 }, { 0, 4, 4, 0 }, { 2, 2, 2, 2 }));
    // Lines cross outside one of the segments.
    EXPECT_FALSE(segment_intersection({ 0, 0, 1, 1 }, { 4, 0, 3, 1 }, &out));
    EXPECT_FALSE(segment_intersection({ 0, 0, 4, 0 }, { 2, 1, 2, 3 }, &out));
}

TEST(segments, touching_at_an_end_point_counts)
{
    EXPECT_TRUE(meet_in({ 0, 0, 2, 0 }, { 2, 0, 2, 5 }, { 2, 0, 2, 0 })); // t = 1, u = 0
    EXPECT_TRUE(meet_in({ 0, 0, 2, 0 }, { 0, 5, 0, 0 }, { 0, 0, 0, 0 })); // t = 0, u = 1
    EXPECT_TRUE(meet_in({ 0, 0, 4, 0 }, { 2, 3, 2, 0 }, { 2, 0, 2, 0 })); // T junction
}

TEST(segments, collinear_overlap_is_a_segment_and_parallels_do_not_meet)
{
    segment out {};
    EXPECT_TRUE(meet_in({ 0, 0, 2, 0 }, { 1, 0, 3, 0 }, { 1, 0, 2, 0 }));
    // Opposite directions: still ordered along the first segment.
    EXPECT_TRUE(meet_in({ 0, 0, 2, 0 }, { 3, 0, 1, 0 }, { 1, 0, 2, 0 }));
    // The second inside the first.
    EXPECT_TRUE(meet_in({ 0, 0, 10, 10 }, { 2, 2, 3, 3 }, { 2, 2, 3, 3 }));
    // Collinear and touching end to end: a single point.
    EXPECT_TRUE(meet_in({ 0, 0, 1, 0 }, { 1, 0, 2, 0 }, { 1, 0, 1, 0 }));
    // Collinear but apart, on either side; parallel and apart.
    EXPECT_FALSE(segment_intersection({ 0, 0, 1, 0 }, { 2, 0, 3, 0 }, &out));
    EXPECT_FALSE(segment_intersection({ 2, 0, 3, 0 }, { 0, 0, 1, 0 }, &out));
    EXPECT_FALSE(segment_intersection({ 0, 0, 1, 1 }, { 1, 0, 2, 1 }, &out));
}

// Regression: a segment that is a single point used to be "collinear" with
// anything parallel to it (0/0 parameters, or the projection of a point off
// the line reported as an intersection).
TEST(segments, degenerate_segments)
{
    segment out {};
    // A point on a segment, either way round.
    EXPECT_TRUE(meet_in({ 1, 1, 1, 1 }, { 0, 0, 2, 2 }, { 1, 1, 1, 1 }));
    EXPECT_TRUE(meet_in({ 0, 0, 2, 2 }, { 1, 1, 1, 1 }, { 1, 1, 1, 1 }));
    // A point on the line but beyond the segment.
    EXPECT_FALSE(segment_intersection({ 3, 3, 3, 3 }, { 0, 0, 2, 2 }, &out));
    EXPECT_FALSE(segment_intersection({ 0, 0, 2, 2 }, { 3, 3, 3, 3 }, &out));
    // A point off the line.
    EXPECT_FALSE(segment_intersection({ 1, 0, 1, 0 }, { 0, 0, 2, 2 }, &out));
    EXPECT_FALSE(segment_intersection({ 0, 0, 2, 2 }, { 1, 0, 1, 0 }, &out));
    // Two points.
    EXPECT_TRUE(meet_in({ 5, 6, 5, 6 }, { 5, 6, 5, 6 }, { 5, 6, 5, 6 }));
    EXPECT_FALSE(segment_intersection({ 5, 6, 5, 6 }, { 5, 7, 5, 7 }, &out));
}

TEST(segments, point_segment_distance_and_closest_point)
{
    vec2 c {};
    EXPECT_DOUBLE_EQ(point_segment_distance({ 5, 5 }, { 0, 0 }, { 0, 0 }, &c), std::sqrt(50.0));
    EXPECT_EQ(c, (vec2 { 0, 0 }));
    EXPECT_DOUBLE_EQ(point_segment_distance({ 2, 3 }, { 0, 0 }, { 4, 0 }, &c), 3.0); // interior
    EXPECT_EQ(c, (vec2 { 2, 0 }));
    EXPECT_DOUBLE_EQ(point_segment_distance({ -3, 4 }, { 0, 0 }, { 4, 0 }, &c), 5.0); // before A
    EXPECT_EQ(c, (vec2 { 0, 0 }));
    EXPECT_DOUBLE_EQ(point_segment_distance({ 7, -4 }, { 0, 0 }, { 4, 0 }, &c), 5.0); // beyond B
    EXPECT_EQ(c, (vec2 { 4, 0 }));
}

TEST(segments, segment_distance)
{
    vec2 c1 {}, c2 {};
    EXPECT_EQ(segment_distance({ 0, -1, 0, 1 }, { -1, 0, 1, 0 }, &c1, &c2), 0.0);
    EXPECT_EQ(c1, (vec2 { 0, 0 }));
    EXPECT_EQ(c2, (vec2 { 0, 0 }));
    // End of the second segment nearest to the interior of the first.
    EXPECT_DOUBLE_EQ(segment_distance({ 0, 0, 10, 0 }, { 5, 2, 5, 7 }, &c1, &c2), 2.0);
    EXPECT_EQ(c1, (vec2 { 5, 0 }));
    EXPECT_EQ(c2, (vec2 { 5, 2 }));
    // Parallel segments: every end point is 1 away; the first end point of
    // the first segment wins the tie.
    EXPECT_DOUBLE_EQ(segment_distance({ 0, 0, 1, 0 }, { 0, 1, 1, 1 }, &c1, &c2), 1.0);
    EXPECT_EQ(c1, (vec2 { 0, 0 }));
    EXPECT_EQ(c2, (vec2 { 0, 1 }));
}

TEST(segments, orientation_sign)
{
    EXPECT_EQ(orientation({ 0, 0 }, { 1, 0 }, { 1, 1 }), -1); // counterclockwise
    EXPECT_EQ(orientation({ 0, 0 }, { 1, 0 }, { 1, -1 }), 1); // clockwise
    EXPECT_EQ(orientation({ 0, 0 }, { 1, 1 }, { 3, 3 }), 0);
}

TEST(segments, segments_cross)
{
    EXPECT_TRUE(segments_cross({ 0, 0 }, { 4, 4 }, { 0, 4 }, { 4, 0 }));
    EXPECT_FALSE(segments_cross({ 0, 0 }, { 1, 1 }, { 4, 0 }, { 3, 1 }));
    EXPECT_TRUE(segments_cross({ 0, 0 }, { 4, 0 }, { 2, 0 }, { 2, 3 })); // touching counts
}
