// SPDX-License-Identifier: GPL-3.0-or-later
// The plot model: series lists, markers and the grid step.
#include <gtest/gtest.h>

#include <cmath>

#include "core/plot/plot.h"
#include "tests/plot/plot_test_util.h"

using plot_test::make_series;

namespace {

std::vector<std::string> names(const plot& p)
{
    std::vector<std::string> out;
    for (const series* s = p.series.get(); s; s = s->next.get())
        out.push_back(s->name ? *s->name : std::string("-"));
    return out;
}

std::unique_ptr<series> named(const char* name, series_style style = style_line)
{
    auto s = make_series(style, 0xff0000, { { 1, 2 } });
    s->name = name;
    return s;
}

} // namespace

TEST(nice_step, rounds_the_interval_up_to_2_2_5_5_or_10)
{
    EXPECT_DOUBLE_EQ(nice_step(100, 10), 10);
    EXPECT_DOUBLE_EQ(nice_step(20, 10), 2.5); // 2 itself goes up to 2.5
    EXPECT_DOUBLE_EQ(nice_step(50, 10), 10); // 5 itself goes up to 10
    EXPECT_DOUBLE_EQ(nice_step(3, 10), 0.5);
    EXPECT_DOUBLE_EQ(nice_step(7, 10), 1);
    EXPECT_DOUBLE_EQ(nice_step(12345, 10), 2000);
    EXPECT_DOUBLE_EQ(nice_step(0.03, 10), 0.005);
    EXPECT_DOUBLE_EQ(nice_step(15, 10), 2);
}

TEST(nice_step, terminates_for_counts_and_ranges_that_make_no_sense)
{
    EXPECT_DOUBLE_EQ(nice_step(5, 0), 10); // taken as one interval
    EXPECT_TRUE(std::isinf(nice_step(INFINITY, 10)));
    EXPECT_TRUE(std::isnan(nice_step(NAN, 10)));
}

TEST(series, grows_by_doubling_and_keeps_its_points)
{
    auto s = series_new(2);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->count, 0u);
    EXPECT_EQ(s->capacity, 2u);
    for (int i = 0; i < 5; i++)
        ASSERT_TRUE(series_add_point(*s, { double(i), double(-i) }));
    EXPECT_EQ(s->count, 5u);
    EXPECT_EQ(s->capacity, 8u);
    EXPECT_EQ(s->points[4][0], 4);
    EXPECT_EQ(s->points[4][1], -4);

    auto empty = series_new(0); // no room at all still grows
    ASSERT_TRUE(series_add_point(*empty, { 1, 1 }));
    EXPECT_EQ(empty->capacity, 1u);
    ASSERT_TRUE(series_add_point(*empty, { 2, 2 }));
    EXPECT_EQ(empty->capacity, 2u);
}

TEST(plot, appends_series_and_whole_chains_in_order)
{
    auto p = plot_new();
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->title.empty());
    EXPECT_FALSE(p->series);
    plot_add_series(*p, named("a"));
    auto chain = named("b");
    chain->next = named("c");
    plot_add_series(*p, std::move(chain));
    plot_add_series(*p, nullptr);
    plot_add_series(*p, named("d"));
    EXPECT_EQ(names(*p), (std::vector<std::string> { "a", "b", "c", "d" }));
    plot_free(p);
    EXPECT_FALSE(p);
    plot_free(p); // none is accepted
}

TEST(plot, removes_every_series_of_a_name)
{
    auto p = plot_new();
    plot_add_series(*p, named("x"));
    plot_add_series(*p, named("x"));
    plot_add_series(*p, named("a"));
    plot_add_series(*p, named("x"));
    plot_add_series(*p, make_series(style_line, 0, { { 0, 0 } })); // unnamed
    plot_add_series(*p, named("x"));
    plot_remove_series(*p, "x");
    EXPECT_EQ(names(*p), (std::vector<std::string> { "a", "-" }));
    plot_remove_series(*p, "nothing");
    EXPECT_EQ(names(*p).size(), 2u);
}

TEST(plot_set_marker, adds_moves_and_empties_the_named_marker)
{
    auto p = plot_new();
    plot_add_series(*p, named("run.csv")); // the swoop's line, same name but not a marker
    const vec2 a { 10, 20 };
    series* m = plot_set_marker(*p, "run.csv", &a);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->style, style_marker);
    EXPECT_EQ(m->color, 0x00B0B0u);
    EXPECT_EQ(*m->name, "run.csv");
    EXPECT_FALSE(m->label);
    ASSERT_EQ(m->count, 1u);
    EXPECT_EQ(names(*p).size(), 2u);

    const vec2 b { 30, 40 };
    EXPECT_EQ(plot_set_marker(*p, "run.csv", &b), m);
    ASSERT_EQ(m->count, 1u);
    EXPECT_EQ(m->points[0][0], 30);

    EXPECT_EQ(plot_set_marker(*p, "run.csv", nullptr), m); // emptied, still there
    EXPECT_EQ(m->count, 0u);
    EXPECT_EQ(names(*p).size(), 2u);

    // A marker for another swoop made without a point is added empty.
    series* other = plot_set_marker(*p, "other.csv", nullptr);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->count, 0u);
    EXPECT_EQ(names(*p), (std::vector<std::string> { "run.csv", "run.csv", "other.csv" }));
}

TEST(plot_axis_ticks, labels_whole_steps_only_and_reports_zero_as_zero)
{
    // No series: -5 to 105 in half steps of 5, labels at 0, 10, ..., 100.
    std::vector<plot_tick> t = plot_axis_ticks(-5, 105, 10);
    ASSERT_EQ(t.size(), 23u);
    std::vector<double> labelled;
    for (const plot_tick& k : t)
        if (k.labelled)
            labelled.push_back(k.value);
    ASSERT_EQ(labelled.size(), 11u);
    EXPECT_EQ(labelled.front(), 0);
    EXPECT_EQ(labelled.back(), 100);

    // Steps that binary fractions cannot hold: the line at 0 must still be
    // exactly 0 and no whole step may go missing.
    const double step = 0.2, half = step / 2;
    const double min = std::floor(-0.31 / half) * half, max = std::ceil(1.05 / half) * half;
    t = plot_axis_ticks(min, max, step);
    int zeros = 0, count = 0;
    for (const plot_tick& k : t) {
        if (!k.labelled)
            continue;
        count++;
        if (k.value == 0)
            zeros++;
        EXPECT_NEAR(std::remainder(k.value, step), 0, 1e-9) << k.value;
    }
    EXPECT_EQ(zeros, 1);
    EXPECT_EQ(count, 8); // -0.4 .. 1.0
    EXPECT_NEAR(t.back().value, 1.1, 1e-9);
}
