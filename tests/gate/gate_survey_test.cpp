// SPDX-License-Identifier: GPL-3.0-or-later
// The gate survey step by step: waypoints, levelling, gate centre, theta,
// pond walk; and gate_open on a stored gate.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "core/files/container.h"
#include "core/gate/gate.h"
#include "core/geometry/geodetic.h"
#include "core/geometry/vector_math.h"
#include "tests/gate/gate_test_util.h"
#include "tests/support/test_support.h"

namespace {

using gate_test::count_lines;

using std::numbers::pi;

// A sample at an ECEF-like position (metres) and time (ms), good accuracy.
gps_point at(int64_t time, double x, double y = 0, double z = 0)
{
    gps_point g {};
    g.time = time;
    g.pos_ecef = { x, y, z };
    g.hacc = 1;
    g.vacc = 1;
    return g;
}

// Samples standing at x from t0 to t1 (ms, inclusive) every step ms.
void stand(std::vector<gps_point>& t, double x, int64_t t0, int64_t t1, int64_t step = 1000)
{
    for (int64_t time = t0; time <= t1; time += step)
        t.push_back(at(time, x));
}

struct logged {
    strbuf sb;
    const char* err = nullptr;
    logged() { strbuf_new(sb, &err); }
    std::string text() const { return strbuf_text(sb); }
};

// "-0.0" and "0.0" alike.
std::string unsigned_zero(std::string text)
{
    for (size_t at; (at = text.find("-0.0m")) != std::string::npos;)
        text.erase(at, 1);
    return text;
}

} // namespace

TEST(detect_waypoint, stop_of_8000_ms_qualifies_and_7999_does_not)
{
    std::vector<gps_point> t;
    stand(t, 0, 0, 8000);
    t.push_back(at(9000, 3));
    t.push_back(at(10000, 6));
    logged l;
    vec3 w {};
    uint32_t next = detect_waypoint(t.data(), static_cast<uint32_t>(t.size()), 0, &w, l.sb, &l.err);
    ASSERT_EQ(l.err, nullptr) << l.err;
    // Samples 2000..6000 ms are at least 2000 ms inside both ends.
    EXPECT_EQ(l.text(), "waypoint detected:   5 points,  4000ms interval, 0.00m deviation\n");
    EXPECT_EQ(next, 6u);
    EXPECT_EQ(w, (vec3 { 0, 0, 0 }));

    t[8].time = 7999;
    logged l2;
    detect_waypoint(t.data(), static_cast<uint32_t>(t.size()), 0, &w, l2.sb, &l2.err);
    EXPECT_STREQ(l2.err, "could not detect waypoint");
    EXPECT_EQ(l2.text(), "");
}

TEST(detect_waypoint, averages_the_middle_of_the_stop)
{
    // Walking in (each sample 1 m on), standing at x = 10 with a little
    // scatter, walking out.
    std::vector<gps_point> t;
    for (int k = 0; k < 6; ++k)
        t.push_back(at(k * 1000, 2.0 * k));
    for (int k = 0; k < 12; ++k)
        t.push_back(at(6000 + k * 1000, 10 + ((k % 2) ? 0.3 : -0.3)));
    for (int k = 1; k < 6; ++k)
        t.push_back(at(17000 + k * 1000, 10 + 3.0 * k));
    logged l;
    vec3 w {};
    uint32_t next = detect_waypoint(t.data(), static_cast<uint32_t>(t.size()), 0, &w, l.sb, &l.err);
    ASSERT_EQ(l.err, nullptr) << l.err;
    // Samples 7000..15000 ms: five at 10.3 m, four at 9.7 m.
    EXPECT_EQ(l.text(), "waypoint detected:   9 points,  8000ms interval, 0.33m deviation\n");
    EXPECT_NEAR(w[0], 90.3 / 9, 1e-9);
    EXPECT_EQ(next, 15u);
}

TEST(detect_waypoint, track_ending_during_the_stop_keeps_its_last_sample)
{
    std::vector<gps_point> t;
    stand(t, 0, 0, 10000);
    logged l;
    vec3 w {};
    uint32_t next = detect_waypoint(t.data(), static_cast<uint32_t>(t.size()), 0, &w, l.sb, &l.err);
    ASSERT_EQ(l.err, nullptr) << l.err;
    EXPECT_EQ(l.text(), "waypoint detected:   7 points,  6000ms interval, 0.00m deviation\n");
    EXPECT_EQ(next, 8u);
}

TEST(detect_waypoint, gaps_leave_no_point_inside_the_stop)
{
    std::vector<gps_point> t = { at(0, 0), at(1500, 0), at(8500, 0), at(9000, 5) };
    logged l;
    vec3 w {};
    detect_waypoint(t.data(), static_cast<uint32_t>(t.size()), 0, &w, l.sb, &l.err);
    EXPECT_STREQ(l.err, "not enough points for waypoint");
}

TEST(detect_motion, finds_the_first_sample_10_m_away)
{
    std::vector<gps_point> t = { at(0, 0), at(1000, 6), at(2000, 9.99), at(3000, 10), at(4000, 30) };
    const char* err = nullptr;
    EXPECT_EQ(detect_motion(t.data(), 5, 0, &err), 3u);
    EXPECT_EQ(err, nullptr);
    detect_motion(t.data(), 3, 0, &err);
    EXPECT_STREQ(err, "could not detect motion");
}

TEST(detect_waypoints, start_of_track_and_the_optional_exit_gate)
{
    const char* err = nullptr;
    logged l;
    vec3 w[6];
    detect_waypoints(nullptr, 0, w, l.sb, &err);
    EXPECT_STREQ(err, "no points found in track");
    err = nullptr;

    // Stops 20 m apart, 10 s each, walking 2 m/s between.
    auto walk = [](int stops) {
        std::vector<gps_point> t;
        int64_t time = 0;
        for (int s = 0; s < stops; ++s) {
            for (int k = 0; k <= 10; ++k, time += 1000)
                t.push_back(at(time, 20.0 * s));
            for (int k = 1; k < 10; ++k, time += 1000)
                t.push_back(at(time, 20.0 * s + 2 * k));
        }
        return t;
    };
    std::vector<gps_point> t = walk(5);
    // Poor fixes (both accuracies 3 m or more) before the walk are skipped.
    for (int k = 1; k <= 3; ++k) {
        gps_point poor = at(-1000 * k, -100, 50);
        poor.hacc = 3;
        poor.vacc = 3;
        t.insert(t.begin(), poor);
    }
    detect_waypoints(t.data(), static_cast<uint32_t>(t.size()), w, l.sb, &err);
    ASSERT_EQ(err, nullptr) << err;
    EXPECT_EQ(count_lines(l.text(), "waypoint detected: "), 5);
    EXPECT_NEAR(w[0][0], 0, 1e-9);
    EXPECT_NEAR(w[4][0], 80, 1e-9);
    EXPECT_EQ(w[5], (vec3 { 0, 0, 0 }));

    t = walk(6);
    logged l6;
    detect_waypoints(t.data(), static_cast<uint32_t>(t.size()), w, l6.sb, &err);
    ASSERT_EQ(err, nullptr) << err;
    EXPECT_EQ(count_lines(l6.text(), "waypoint detected: "), 6);
    EXPECT_NEAR(w[5][0], 100, 1e-9);

    // Four stops: the fifth waypoint is required.
    t = walk(4);
    detect_waypoints(t.data(), static_cast<uint32_t>(t.size()), w, l6.sb, &err);
    EXPECT_STREQ(err, "could not detect waypoint");

    for (gps_point& g : t) {
        g.hacc = 3;
        g.vacc = 4;
    }
    err = nullptr;
    detect_waypoints(t.data(), static_cast<uint32_t>(t.size()), w, l6.sb, &err);
    EXPECT_STREQ(err, "could not find start of track");
}

TEST(level_waypoints, levels_to_the_mean_less_one_metre)
{
    vec3 p[4];
    const double h[4] = { 100, 101, 102.5, 99.3 };
    for (int k = 0; k < 4; ++k)
        p[k] = wgs84_to_ecef({ 47.3 + 0.0001 * k, 8.5 - 0.0002 * k, h[k] });
    logged l;
    level_waypoints(p, l.sb, &l.err);
    ASSERT_EQ(l.err, nullptr) << l.err;
    EXPECT_EQ(l.text(), "average height: 100.70m (-0.70m, 0.30m, 1.80m, -1.40m deviation)\n");
    for (int k = 0; k < 4; ++k) {
        vec3 g = ecef_to_wgs84(p[k]);
        EXPECT_NEAR(g[0], 47.3 + 0.0001 * k, 1e-9);
        EXPECT_NEAR(g[1], 8.5 - 0.0002 * k, 1e-9);
        EXPECT_NEAR(g[2], 99.7, 1e-6);
    }

    const double bad[4] = { 100, 100, 100, 105 };
    for (int k = 0; k < 4; ++k)
        p[k] = wgs84_to_ecef({ 47.3 + 0.0001 * k, 8.5, bad[k] });
    logged l2;
    level_waypoints(p, l2.sb, &l2.err);
    EXPECT_STREQ(l2.err, "excessive error in waypoint height (3.75m)");
    EXPECT_EQ(l2.text(), "average height: 101.25m (-1.25m, -1.25m, -1.25m, 3.75m deviation)\n");
}

TEST(gate_centre, crossing_of_course_line_and_gate_line)
{
    const char* err = nullptr;
    vec3 p[4] = { { 20, 0.5, 1 }, { 3, 5, 2 }, { -20, 0.5, 3 }, { 1, -5, 4 } }; // A, B, C, D
    vec3 c = gate_centre(p, &err);
    ASSERT_EQ(err, nullptr);
    EXPECT_NEAR(c[0], 2.1, 1e-12);
    EXPECT_NEAR(c[1], 0.5, 1e-12);
    EXPECT_EQ(c[2], 0.0);

    vec3 apart[4] = { { 20, 0, 0 }, { 30, 5, 0 }, { -20, 0, 0 }, { 30, -5, 0 } };
    gate_centre(apart, &err);
    EXPECT_STREQ(err, "AC and BD do not intersect");

    err = nullptr;
    vec3 overlap[4] = { { 20, 0, 0 }, { 5, 0, 0 }, { -20, 0, 0 }, { -5, 0, 0 } };
    gate_centre(overlap, &err);
    EXPECT_STREQ(err, "AC and BD do not intersect");
}

TEST(carve_theta, exit_gate_and_its_fallbacks)
{
    vec3 inner, n, outer;
    carve_points(75, carve_radius, carve_width, &inner, &n, &outer);
    const vec3 b { 0.5, 5, 0 };

    logged none;
    EXPECT_DOUBLE_EQ(carve_theta(b, nullptr, none.sb), std::atan2(0.5, 5));
    EXPECT_EQ(none.text(), "");

    // An exit gate turned 5 degrees clockwise about the entry gate.
    const double r = 5 * pi / 180;
    vec3 e { n[0] * std::cos(r) + n[1] * std::sin(r), -n[0] * std::sin(r) + n[1] * std::cos(r), 0 };
    logged turned;
    EXPECT_NEAR(carve_theta(b, &e, turned.sb), r, 1e-12);
    EXPECT_EQ(unsigned_zero(turned.text()), "exit gate location error (before, after) = (5.7m, 0.0m)\n");

    // On the -y side it is compared with the mirrored nominal gate.
    vec3 mirrored { n[0], -n[1], 0 };
    logged m;
    EXPECT_NEAR(carve_theta(b, &mirrored, m.sb), 0.0, 1e-12);
    EXPECT_EQ(m.text(), "exit gate location error (before, after) = (0.0m, 0.0m)\n");

    vec3 behind { -0.1, 60, 0 };
    logged bh;
    EXPECT_DOUBLE_EQ(carve_theta(b, &behind, bh.sb), std::atan2(0.5, 5));
    EXPECT_EQ(bh.text(), "WARNING: exit gate location ignored (behind entry gate)\n");

    // 6 m further out than the nominal gate.
    double len = std::hypot(n[0], n[1]);
    vec3 far { n[0] * (len + 6) / len, n[1] * (len + 6) / len, 0 };
    logged f;
    EXPECT_DOUBLE_EQ(carve_theta(b, &far, f.sb), std::atan2(0.5, 5));
    EXPECT_EQ(f.text(),
        "exit gate location error (before, after) = (6.0m, 6.0m)\n"
        "WARNING: exit gate location ignored (error too large)\n");
}

TEST(pond_walk, traces_the_edge_a_point_every_5_ft)
{
    // Local frame = ECEF frame here (identity matrix): a 40 m square walked at
    // 1 m per sample, standing at each corner.
    gate g;
    g.matrix = frame_identity();
    const vec3 corner[5]
        = { { -20, -20, 0 }, { 20, -20, 0 }, { 20, 20, 0 }, { -20, 20, 0 }, { -20, -19.5, 0 } };
    for (int k = 0; k < 5; ++k)
        g.waypoints[k] = corner[k];
    int64_t time = 0;
    for (int k = 0; k < 4; ++k) {
        for (int s = 0; s < 3; ++s)
            g.track.push_back(at(time += 1000, corner[k][0], corner[k][1]));
        const vec3& a = corner[k];
        const vec3& b = k < 3 ? corner[k + 1] : corner[0];
        const double dx = (b[0] - a[0]) / 40, dy = (b[1] - a[1]) / 40; // m per sample: exact steps
        for (int s = 1; s < 40; ++s)
            g.track.push_back(at(time += 1000, a[0] + s * dx, a[1] + s * dy));
    }
    g.track.push_back(at(time += 1000, -20, -20));
    g.track_len = static_cast<uint32_t>(g.track.size());

    const char* err = nullptr;
    pond_walk(g, &err);
    ASSERT_EQ(err, nullptr) << err;
    // Per leg: 2, 4, ... 38 m from the corner (1 m is still at the corner,
    // 39 m is at the next one); the last leg stops 1.5 m short of W4.
    ASSERT_EQ(g.pond.size(), 19u * 3 + 18 + 2);
    EXPECT_EQ(g.pond[0], (vec3 { -18, -20, 0 }));
    EXPECT_EQ(g.pond[18], (vec3 { 18, -20, 0 }));
    EXPECT_EQ(g.pond[19], (vec3 { 20, -18, 0 }));
    EXPECT_EQ(g.pond[g.pond.size() - 3], (vec3 { -20, -16, 0 }));
    EXPECT_EQ(g.pond[g.pond.size() - 2], g.pond[0]);
    EXPECT_EQ(g.pond.back(), (vec3 { 0, 0, 0 }));
    // The walk's samples now carry local positions.
    EXPECT_EQ(g.track[5].pos_local, g.track[5].pos_ecef);
}

TEST(pond_walk, failures)
{
    auto square = [](double size) {
        gate g;
        g.matrix = frame_identity();
        const vec3 c[4] = { { 0, 0, 0 }, { size, 0, 0 }, { size, size, 0 }, { 0, size, 0 } };
        for (int k = 0; k < 5; ++k)
            g.waypoints[k] = c[k % 4];
        int64_t time = 0;
        for (int k = 0; k < 5; ++k)
            for (int s = 0; s < 20; ++s)
                g.track.push_back(at(time += 1000, c[k % 4][0] + (c[(k + 1) % 4][0] - c[k % 4][0]) * s / 20,
                    c[k % 4][1] + (c[(k + 1) % 4][1] - c[k % 4][1]) * s / 20));
        g.track_len = static_cast<uint32_t>(g.track.size());
        return g;
    };
    const char* err = nullptr;
    gate small = square(10); // legs of 10 m: never 50 ft from a waypoint
    pond_walk(small, &err);
    EXPECT_STREQ(err, "no point 50' from waypoint");
    EXPECT_TRUE(small.pond.empty());

    err = nullptr;
    gate lost = square(30);
    lost.waypoints[2] = { 100, 100, 0 }; // never reached
    pond_walk(lost, &err);
    EXPECT_STREQ(err, "no point near next waypoint");
    EXPECT_TRUE(lost.pond.empty());
}

TEST(gate_open, stored_gate_is_taken_as_it_is)
{
    test_support::temp_dir dir;
    std::string path = dir.file("gate.skm");
    frame_matrix m = { { { 0.5, -0.25, 0.125, 17.5 }, { 0.75, 0.5, -0.5, -3.25 }, { 0.1, 0.2, 0.9, -6.4e6 },
        { 0, 0, 0, 1 } } };
    std::vector<vec3> pond = { { 1, 2, 0 }, { 3, -4, 0 }, { 5, 6, 0 }, { 1, 2, 0 }, { 0, 0, 0 } };
    const char* err = nullptr;
    gate_container_write(path.c_str(), m, 0.3, pond, &err);
    ASSERT_EQ(err, nullptr) << err;

    std::string log = "old";
    std::unique_ptr<gate> g = gate_open(path.c_str(), &log, &err);
    ASSERT_EQ(err, nullptr) << err;
    ASSERT_TRUE(g);
    EXPECT_EQ(log, "");
    EXPECT_EQ(g->track_len, 0u);
    EXPECT_TRUE(g->track.empty());
    EXPECT_EQ(g->matrix, m);
    EXPECT_EQ(g->theta, 0.3);
    EXPECT_EQ(g->pond, pond);
    EXPECT_EQ(g->waypoints[1], (vec3 { 0, 0, 0 }));
    EXPECT_EQ(g->file, path);
}

TEST(gate_free, accepts_an_empty_pointer)
{
    std::unique_ptr<gate> g;
    gate_free(g);
    g = std::make_unique<gate>();
    gate_free(g);
    EXPECT_FALSE(g);
}
