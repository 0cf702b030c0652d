// SPDX-License-Identifier: GPL-3.0-or-later
// The plot catalogue on hand-made swoop records: titles, labels, options,
// series, course marks, the heading split and the player marks.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "core/geometry/geodetic.h"
#include "core/plot/plot_catalogue.h"
#include "core/track/track_frames.h"

namespace {

constexpr double ft = 3.2808399;
constexpr double mph = 2.23693629;

// Twenty samples one second apart: the plane exit at 2, the top of the turn
// at 5, the bottom of the turn at 10, the entry gate at 12, the stop at 17.
// Height falls 10 m a sample, x grows 10 m a sample.
swoop make_swoop()
{
    swoop s;
    s.file = "C:\\logs\\run.csv";
    s.track.resize(20);
    s.track_len = 20;
    for (uint32_t i = 0; i < 20; i++) {
        gps_point& g = s.track[i];
        g = gps_point {};
        g.time = 1563120000000 + 1000 * int64_t(i);
        g.pos_local = { 10.0 * i - 120, 0.5 * i, 200.0 - 10 * i };
        g.vel_local = { 10, 1, -10.0 - i };
        g.hacc = 1.5f;
        g.vacc = 2.5f;
        g.sacc = 0.5f;
        g.numsv = uint8_t(10 + i % 3);
        g.dive_angle = 45 - i;
        g.heading = 10.0 * i;
        g.turn_angle = i == 0 ? 0 : 10;
        g.turn_rate = 10;
    }
    s.plane_exit = 2;
    s.top_of_turn = 5;
    s.bottom_of_turn = 10;
    s.entry_gate = 12;
    s.stop = 17;
    s.max_vert_speed = 9;
    s.max_horz_speed = 11;
    s.max_total_speed = 10;
    s.entry_gate_time = uint64_t(s.track[12].time + 400);
    s.entry_gate_speed = 25;
    s.touchdown_speed = 8;
    s.touchdown_distance = 60;
    return s;
}

struct series_view {
    const series* s;
    std::string name() const { return s->name ? *s->name : "-"; }
    std::string label() const { return s->label ? *s->label : "-"; }
};

std::vector<series_view> all_series(const plot& p)
{
    std::vector<series_view> out;
    for (const series* s = p.series.get(); s; s = s->next.get())
        out.push_back({ s });
    return out;
}

const series* find_labelled(const plot& p, const std::string& prefix)
{
    for (const series* s = p.series.get(); s; s = s->next.get())
        if (s->label && s->label->rfind(prefix, 0) == 0)
            return s;
    return nullptr;
}

const series* marker_of(const plot& p, const std::string& name)
{
    for (const series* s = p.series.get(); s; s = s->next.get())
        if (s->style == style_marker && s->name && *s->name == name)
            return s;
    return nullptr;
}

} // namespace

TEST(plot_catalogue, titles_labels_and_options_in_both_unit_systems)
{
    const swoop s = make_swoop();
    const std::vector<vec3> no_pond;
    struct expect {
        std::unique_ptr<plot> p;
        const char* title;
        const char* x_label;
        const char* y_label;
    };
    for (bool metric : { false, true }) {
        SCOPED_TRACE(metric ? "metric" : "imperial");
        const std::string len = metric ? "meters" : "feet";
        const std::string spd = metric ? "km/h" : "mph";
        expect all[] = {
            { plot_gps_accuracy(&s, metric, false), "GPS accuracy", "time (s)",
                metric ? "(meters, km/h, number of satellites)" : "(feet, mph, number of satellites)" },
            { plot_dive_angle(&s, metric, false), "dive angle", nullptr, "dive angle (deg)" },
            { plot_dive_speed(&s, metric, false), "speed during dive", nullptr, nullptr },
            { plot_heading(&s, metric, false), "heading", nullptr, "heading (deg)" },
            { plot_overhead(&s, no_pond, metric, false), "overhead view of flight path", nullptr, nullptr },
            { plot_side_view(&s, metric, false), "side view of flight path", nullptr, nullptr },
            { plot_swoop_speed(&s, metric), "speed during swoop", nullptr, nullptr },
            { plot_turn_rate(&s, metric, false), "turn rate", nullptr, "turn rate (deg/sec)" },
        };
        for (const expect& e : all) {
            ASSERT_TRUE(e.p) << e.title;
            EXPECT_EQ(e.p->title, e.title);
            if (e.x_label) {
                EXPECT_EQ(e.p->x_label, e.x_label);
            }
            if (e.y_label) {
                EXPECT_EQ(e.p->y_label, e.y_label);
            }
        }
        const std::string height = "height (" + len + ")";
        const std::string distance = "x-axis distance from gate (" + len + ")";
        EXPECT_EQ(all[1].p->x_label, height);
        EXPECT_EQ(all[2].p->x_label, height);
        EXPECT_EQ(all[2].p->y_label, "speed (" + spd + ")");
        EXPECT_EQ(all[3].p->x_label, height);
        EXPECT_EQ(all[4].p->x_label, distance);
        EXPECT_EQ(all[4].p->y_label, "y-axis distance from gate (" + len + ")");
        EXPECT_EQ(all[5].p->x_label, distance);
        EXPECT_EQ(all[5].p->y_label, height);
        EXPECT_EQ(all[6].p->x_label, distance);
        EXPECT_EQ(all[6].p->y_label, "horz speed (" + spd + ")");
        EXPECT_EQ(all[7].p->x_label, height);

        // Options: height plots run right to left, the two views keep scale.
        for (int i : { 1, 2, 3, 7 })
            EXPECT_TRUE(all[i].p->x_reversed) << i;
        for (int i : { 0, 4, 5, 6 })
            EXPECT_FALSE(all[i].p->x_reversed) << i;
        EXPECT_TRUE(all[4].p->equal_scale);
        EXPECT_TRUE(all[5].p->equal_scale);
        EXPECT_TRUE(all[6].p->legend_right);
        EXPECT_EQ(all[1].p->y_step, 10);
        EXPECT_EQ(all[2].p->y_step, metric ? 20 : 10);
        EXPECT_EQ(all[3].p->y_step, 45);
        EXPECT_EQ(all[6].p->x_step, metric ? 20 : 50);
        EXPECT_EQ(all[6].p->y_step, 10);
        EXPECT_EQ(all[7].p->y_step, 0);
        for (int i : { 1, 2, 3, 7 })
            EXPECT_EQ(all[i].p->x_step, metric ? 50 : 200) << i;
    }
}

TEST(plot_catalogue, no_swoop_no_plot_except_an_overhead_view_of_a_pond)
{
    const std::vector<vec3> pond
        = { { -10, 10, 0 }, { 40, 10, 0 }, { 40, -10, 0 }, { -10, 10, 0 }, { 0, 0, 0 } };
    EXPECT_FALSE(plot_gps_accuracy(nullptr, false, false));
    EXPECT_FALSE(plot_dive_angle(nullptr, false, false));
    EXPECT_FALSE(plot_dive_speed(nullptr, false, false));
    EXPECT_FALSE(plot_heading(nullptr, false, false));
    EXPECT_FALSE(plot_side_view(nullptr, false, false));
    EXPECT_FALSE(plot_swoop_speed(nullptr, false));
    EXPECT_FALSE(plot_turn_rate(nullptr, false, false));
    EXPECT_FALSE(plot_overhead(nullptr, {}, false, false));

    auto p = plot_overhead(nullptr, pond, true, false);
    ASSERT_TRUE(p);
    const auto v = all_series(*p);
    ASSERT_EQ(v.size(), 3u); // poles, landing area, pond
    EXPECT_EQ(v[0].s->style, style_circles);
    EXPECT_EQ(v[0].s->count, 10u);
    EXPECT_EQ(v[1].s->count, 26u);
    EXPECT_EQ(v[2].s->style, style_dotted);
    EXPECT_EQ(v[2].s->color, plot_blue);
    EXPECT_EQ(v[2].s->count, 4u); // up to the all-zero point
}

TEST(plot_catalogue, series_of_the_accuracy_and_dive_speed_plots)
{
    const swoop s = make_swoop();
    auto p = plot_gps_accuracy(&s, false, false);
    auto v = all_series(*p);
    ASSERT_EQ(v.size(), 4u);
    const char* labels[] = { "horz_acc", "vert_acc", "speed_acc", "satellites" };
    const uint32_t colors[] = { plot_blue, plot_green, plot_red, plot_purple };
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(v[i].label(), labels[i]);
        EXPECT_EQ(v[i].s->color, colors[i]);
        EXPECT_EQ(v[i].s->style, style_line);
        EXPECT_EQ(v[i].s->count, 13u); // top of the turn 5 to the stop 17
        EXPECT_EQ(v[i].name(), i == 2 ? s.file : "-");
    }
    // Seconds from the entry-gate crossing, 0.4 s after sample 12.
    EXPECT_DOUBLE_EQ(v[0].s->points[0][0], -7.4);
    EXPECT_DOUBLE_EQ(v[0].s->points[0][1], double(1.5f) * ft);
    EXPECT_DOUBLE_EQ(v[2].s->points[0][1], double(0.5f) * mph);
    EXPECT_DOUBLE_EQ(v[3].s->points[0][1], 12); // 10 + 5 % 3

    p = plot_dive_speed(&s, true, false);
    v = all_series(*p);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0].label(), "x-axis");
    EXPECT_EQ(v[1].label(), "y-axis");
    // Sample 9: descent 19 m/s = 68.4 km/h at 110 m; sample 10: 3-D speed
    // sqrt(100 + 1 + 400) at 100 m.
    EXPECT_EQ(v[2].label(), "z-axis (max 68.4 km/h @ 110 m)");
    char total[80];
    std::snprintf(total, sizeof total, "total (max %.1f km/h @ 100 m)", std::sqrt(501.0) * 3.6);
    EXPECT_EQ(v[3].label(), total);
    EXPECT_EQ(v[2].name(), s.file);
    EXPECT_EQ(v[2].s->count, 6u); // 5 to the bottom of the turn 10
    EXPECT_DOUBLE_EQ(v[2].s->points[0][0], 150);
    EXPECT_DOUBLE_EQ(v[2].s->points[0][1], 15 * 3.6);

    // The overlay builder gives the same red series without the label.
    auto overlay = series_dive_speed(s, true, false);
    ASSERT_TRUE(overlay);
    EXPECT_FALSE(overlay->label);
    EXPECT_EQ(overlay->capacity, 300u);
    EXPECT_EQ(overlay->points, v[2].s->points);
    auto accuracy = series_gps_accuracy(s, false, false);
    EXPECT_EQ(*accuracy->label, "speed_acc");
}

TEST(plot_catalogue, whole_flight_starts_at_the_plane_exit_and_leaves_the_step_to_the_renderer)
{
    const swoop s = make_swoop();
    for (bool metric : { false, true }) {
        auto turn = plot_dive_angle(&s, metric, false);
        auto whole = plot_dive_angle(&s, metric, true);
        EXPECT_EQ(turn->x_step, metric ? 50 : 200);
        EXPECT_EQ(whole->x_step, 0);
        const double factor = metric ? 1 : ft;
        EXPECT_DOUBLE_EQ(turn->series->points[0][0], 150 * factor); // sample 5
        EXPECT_DOUBLE_EQ(whole->series->points[0][0], 180 * factor); // sample 2
        EXPECT_EQ(whole->series->count, 9u);
        for (auto* make : { plot_dive_speed, plot_heading, plot_turn_rate }) {
            EXPECT_EQ(make(&s, metric, true)->x_step, 0);
            EXPECT_EQ(make(&s, metric, false)->x_step, metric ? 50 : 200);
        }
    }
    // Overhead and side view follow the flag; swoop speed has none.
    EXPECT_EQ(series_overhead(s, true, true)->count, 16u);
    EXPECT_EQ(series_side_view(s, true, false)->count, 13u);
}

TEST(plot_catalogue, swoop_speed_marks_and_the_missed_gate)
{
    swoop s = make_swoop();
    s.exit_gate_speed = 20;
    s.exit_gate_xpos = 70;
    s.exit_gate_time = s.entry_gate_time + 2350;
    auto p = plot_swoop_speed(&s, false);
    auto v = all_series(*p);
    ASSERT_EQ(v.size(), 5u);
    EXPECT_EQ(v[0].name(), s.file);
    EXPECT_EQ(v[0].s->count, 7u); // from the fastest sample 11 (before the gate at 12) to 17
    char text[120];
    std::snprintf(text, sizeof text, "max horz speed (%.1f mph @ %.0f ft)", std::sqrt(101.0) * mph, -10 * ft);
    EXPECT_EQ(v[1].label(), text);
    EXPECT_EQ(v[1].s->color, plot_green);
    std::snprintf(text, sizeof text, "entry gate (%.1f mph @ 0 ft)", 25 * mph);
    EXPECT_EQ(v[2].label(), text);
    EXPECT_EQ(v[2].s->points[0][0], 0);
    std::snprintf(text, sizeof text, "exit gate (%.1f mph @ %.0f ft)(2.35 sec)", 20 * mph, 70 * ft);
    EXPECT_EQ(v[3].label(), text);
    std::snprintf(text, sizeof text, "touchdown (%.1f mph @ %.0f ft)", 8 * mph, 60 * ft);
    EXPECT_EQ(v[4].label(), text);
    EXPECT_EQ(v[4].s->color, plot_red);
    for (size_t i = 1; i < v.size(); i++) {
        EXPECT_EQ(v[i].s->style, style_dots);
        EXPECT_EQ(v[i].s->count, 1u);
    }

    // Missed gate: no entry-gate mark, W1 from the fastest sample, accuracy
    // times from the top of the turn.
    swoop missed = make_swoop();
    missed.entry_gate = 0;
    missed.entry_gate_time = 0;
    missed.entry_gate_speed = 0;
    missed.max_horz_speed = 13;
    p = plot_swoop_speed(&missed, true);
    v = all_series(*p);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].s->count, 5u); // 13 to 17
    EXPECT_EQ(find_labelled(*p, "entry gate"), nullptr);
    EXPECT_NE(find_labelled(*p, "touchdown (28.8 km/h @ 60 m)"), nullptr);
    auto accuracy = plot_gps_accuracy(&missed, true, false);
    EXPECT_DOUBLE_EQ(accuracy->series->points[0][0], 0);
    EXPECT_DOUBLE_EQ(accuracy->series->points[12][0], 12);
}

TEST(plot_catalogue, overhead_course_marks_by_gate_type_and_speed_course)
{
    swoop s = make_swoop();
    const std::vector<vec3> none;

    // Surveyed straight course: poles and landing area, in feet.
    auto p = plot_overhead(&s, none, false, false);
    auto v = all_series(*p);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].s->style, style_line_dots);
    EXPECT_EQ(v[0].name(), s.file);
    EXPECT_EQ(v[1].s->style, style_circles);
    EXPECT_DOUBLE_EQ(v[1].s->radius, 0.75 * ft);
    ASSERT_EQ(v[1].s->count, 10u);
    EXPECT_DOUBLE_EQ(v[1].s->points[9][0], 50 * ft);
    EXPECT_DOUBLE_EQ(v[1].s->points[9][1], -5 * ft);
    ASSERT_EQ(v[2].s->count, 26u);
    EXPECT_DOUBLE_EQ(v[2].s->points[25][0], 72 * ft);
    EXPECT_DOUBLE_EQ(v[2].s->points[25][1], -1 * ft);
    EXPECT_FALSE(v[1].s->label);
    EXPECT_FALSE(v[2].s->label);

    // Gate type 2 (frame from the swoop): the course is unknown.
    s.gate_type = frame_from_swoop;
    p = plot_overhead(&s, none, false, false);
    EXPECT_EQ(all_series(*p).size(), 1u);

    // Speed course flown on the -y side: ten carve poles, no landing area.
    s.gate_type = frame_from_gate;
    s.carve_detected = true;
    s.carve_direction = 0;
    p = plot_overhead(&s, none, true, false);
    v = all_series(*p);
    ASSERT_EQ(v.size(), 2u);
    ASSERT_EQ(v[1].s->count, 10u);
    EXPECT_NEAR(v[1].s->points[0][1], -5, 1e-12); // inner pole at 0 degrees, mirrored
    EXPECT_NEAR(v[1].s->points[1][1], 5, 1e-12);
    const double r = 53.47606087887684, a = 75 * std::numbers::pi / 180;
    EXPECT_NEAR(v[1].s->points[8][0], (r - 5) * std::sin(a), 1e-9);
    EXPECT_NEAR(v[1].s->points[8][1], -(r - (r - 5) * std::cos(a)), 1e-9);
    EXPECT_NEAR(v[1].s->points[9][0], (r + 5) * std::sin(a), 1e-9);
    s.carve_direction = 1;
    p = plot_overhead(&s, none, true, false);
    EXPECT_NEAR(p->series->next->points[8][1], r - (r - 5) * std::cos(a), 1e-9);
}

TEST(plot_catalogue, heading_unwinds_and_splits_around_a_repaired_stretch)
{
    swoop s = make_swoop();
    s.top_of_turn = 0;
    s.bottom_of_turn = 9;
    // No repair: one solid series, unwound past 360.
    for (uint32_t i = 0; i < 20; i++) {
        s.track[i].heading = std::fmod(50.0 * i, 360.0);
        s.track[i].turn_angle = i == 0 ? 0 : 50;
    }
    auto p = plot_heading(&s, false, false);
    auto v = all_series(*p);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].s->count, 10u);
    EXPECT_DOUBLE_EQ(v[0].s->points[9][1], 450);

    // Samples 4 to 6 carry repaired turn angles that do not match their own
    // headings; from sample 7 on the unwound heading agrees again.
    for (uint32_t i = 0; i < 20; i++) {
        s.track[i].heading = 10.0 * i;
        s.track[i].turn_angle = i == 0 ? 0 : 10;
    }
    s.track[4].turn_angle = 40; // 70, heading 40
    s.track[5].turn_angle = 0; // 70, heading 50
    s.track[6].turn_angle = 0; // 70, heading 60
    s.track[7].turn_angle = 0; // 70, heading 70: back on
    auto chain = series_heading(s, true, false);
    ASSERT_TRUE(chain);
    const series* a = chain.get();
    const series* b = a ? a->next.get() : nullptr;
    const series* c = b ? b->next.get() : nullptr;
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->next);
    EXPECT_EQ(a->style, style_line);
    EXPECT_EQ(b->style, style_dashed);
    EXPECT_EQ(c->style, style_line);
    for (const series* x : { a, b, c }) {
        EXPECT_EQ(x->color, plot_red);
        EXPECT_EQ(*x->name, s.file);
    }
    ASSERT_EQ(a->count, 4u); // samples 0..3
    ASSERT_EQ(b->count, 5u); // 3..7
    ASSERT_EQ(c->count, 3u); // 7..9
    EXPECT_EQ(a->points[3], b->points[0]);
    EXPECT_EQ(b->points[4], c->points[0]);
    EXPECT_DOUBLE_EQ(b->points[1][1], 70);
    EXPECT_DOUBLE_EQ(c->points[2][1], 90);
    EXPECT_DOUBLE_EQ(c->points[2][0], 110); // height of sample 9, metres

    // Appending the chain to a plot keeps all three.
    p = plot_new();
    plot_add_series(*p, std::move(chain));
    EXPECT_EQ(all_series(*p).size(), 3u);
}

TEST(plot_catalogue, player_marks_follow_the_time_span_of_each_plot)
{
    const swoop s = make_swoop();
    const std::vector<vec3> none;
    auto dive = plot_dive_angle(&s, false, false);
    auto speed = plot_swoop_speed(&s, true);
    auto heading = plot_heading(&s, true, false);
    auto accuracy = plot_gps_accuracy(&s, true, false);

    gps_point g = s.track[8];
    g.time += 500;
    g.heading = 415; // unwound
    marker_dive_angle(*dive, s, &g, false);
    marker_heading(*heading, s, &g, true);
    marker_swoop_speed(*speed, s, &g, true);
    marker_gps_accuracy(*accuracy, s, &g, true);

    const series* m = marker_of(*dive, s.file);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->color, 0x00b0b0u);
    ASSERT_EQ(m->count, 1u);
    EXPECT_DOUBLE_EQ(m->points[0][0], 120 * ft);
    EXPECT_DOUBLE_EQ(m->points[0][1], 37);
    EXPECT_DOUBLE_EQ(marker_of(*heading, s.file)->points[0][1], 415);
    EXPECT_DOUBLE_EQ(marker_of(*accuracy, s.file)->points[0][0], -3.9);
    // Before the fastest sample (11) the swoop-speed plot has no marker.
    ASSERT_TRUE(marker_of(*speed, s.file));
    EXPECT_EQ(marker_of(*speed, s.file)->count, 0u);

    // Past the bottom of the turn: the dive plots lose their marker, the
    // swoop-speed plot gets one. The stop itself is still inside.
    g = s.track[17];
    marker_dive_angle(*dive, s, &g, false);
    marker_swoop_speed(*speed, s, &g, true);
    EXPECT_EQ(m->count, 0u);
    ASSERT_EQ(marker_of(*speed, s.file)->count, 1u);
    EXPECT_DOUBLE_EQ(marker_of(*speed, s.file)->points[0][0], 50);
    EXPECT_DOUBLE_EQ(marker_of(*speed, s.file)->points[0][1], horizontal_speed(g) * 3.6);

    // Before the top of the turn, or no sample: emptied.
    g = s.track[4];
    marker_gps_accuracy(*accuracy, s, &g, true);
    EXPECT_EQ(marker_of(*accuracy, s.file)->count, 0u);
    marker_swoop_speed(*speed, s, nullptr, true);
    EXPECT_EQ(marker_of(*speed, s.file)->count, 0u);

    // Every marker op on every plot; one marker series per plot.
    auto overhead = plot_overhead(&s, none, false, false);
    auto side = plot_side_view(&s, false, false);
    auto rate = plot_turn_rate(&s, false, false);
    auto dspeed = plot_dive_speed(&s, false, false);
    g = s.track[6];
    marker_overhead(*overhead, s, &g, false);
    marker_side_view(*side, s, &g, false);
    marker_turn_rate(*rate, s, &g, false);
    marker_dive_speed(*dspeed, s, &g, false);
    marker_overhead(*overhead, s, &g, false);
    EXPECT_DOUBLE_EQ(marker_of(*overhead, s.file)->points[0][1], 3 * ft);
    EXPECT_DOUBLE_EQ(marker_of(*side, s.file)->points[0][1], 140 * ft);
    EXPECT_DOUBLE_EQ(marker_of(*rate, s.file)->points[0][1], 10);
    EXPECT_DOUBLE_EQ(marker_of(*dspeed, s.file)->points[0][1], 16 * mph);
    int markers = 0;
    for (const auto& x : all_series(*overhead))
        markers += x.s->style == style_marker;
    EXPECT_EQ(markers, 1);
}

TEST(plot_catalogue, a_record_without_samples_gives_empty_series_not_a_crash)
{
    swoop empty;
    empty.file = "empty.csv";
    empty.stop = 5;
    empty.bottom_of_turn = 3;
    const std::vector<vec3> none;
    auto p = plot_heading(&empty, false, false);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->series->count, 0u);
    EXPECT_TRUE(plot_swoop_speed(&empty, false));
    EXPECT_TRUE(plot_dive_speed(&empty, false, false));
    EXPECT_TRUE(plot_gps_accuracy(&empty, false, false));
    EXPECT_TRUE(plot_overhead(&empty, none, false, false));
    gps_point g {};
    marker_overhead(*p, empty, &g, false);
    EXPECT_EQ(marker_of(*p, "empty.csv")->count, 0u);
}
