// SPDX-License-Identifier: GPL-3.0-or-later
// The eight-plot set: the order every holder of the plots relies on, the
// cells of each layout, and the per-plot operations reaching the right plot.
#include "core/plot/plot_set.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/swoop/point_at.h"
#include "tests/support/test_support.h"

namespace {

std::vector<std::pair<int, int>> cells_of(const plot_page& page)
{
    std::vector<std::pair<int, int>> out;
    for (const plot_cell& c : page.cells)
        out.push_back({ c.plot, c.cell });
    return out;
}

} // namespace

TEST(plot_set, layouts_place_every_plot_once_in_its_cell)
{
    const auto& one = plot_set_pages(1);
    ASSERT_EQ(one.size(), 8u);
    const char* names[] = { "overhead", "side", "dive speed", "swoop speed", "dive angle", "accuracy",
        "turn rate", "heading" };
    for (int i = 0; i < 8; i++) {
        EXPECT_STREQ(one[size_t(i)].name, names[i]);
        EXPECT_EQ(cells_of(one[size_t(i)]), (std::vector<std::pair<int, int>> { { i, 0 } }));
    }

    const auto& four = plot_set_pages(4);
    ASSERT_EQ(four.size(), 2u);
    EXPECT_STREQ(four[0].name, "plots 1");
    EXPECT_EQ(
        cells_of(four[0]), (std::vector<std::pair<int, int>> { { 0, 1 }, { 1, 3 }, { 2, 2 }, { 3, 4 } }));
    EXPECT_STREQ(four[1].name, "plots 2");
    EXPECT_EQ(
        cells_of(four[1]), (std::vector<std::pair<int, int>> { { 4, 1 }, { 5, 3 }, { 6, 2 }, { 7, 4 } }));

    const auto& nine = plot_set_pages(9);
    ASSERT_EQ(nine.size(), 1u);
    EXPECT_STREQ(nine[0].name, "plots");
    EXPECT_EQ(cells_of(nine[0]),
        (std::vector<std::pair<int, int>> {
            { 0, 5 }, { 1, 8 }, { 2, 6 }, { 3, 9 }, { 4, 11 }, { 5, 12 }, { 6, 7 }, { 7, 10 } }));

    for (int n : { 0, 2, 3, 8, -1 })
        EXPECT_TRUE(plot_set_pages(n).empty()) << n;
    EXPECT_EQ(plot_set_page("plots 2"), &four[1]);
    EXPECT_EQ(plot_set_page("turn rate"), &one[6]);
    EXPECT_EQ(plot_set_page("metrics"), nullptr);
}

TEST(plot_set, builds_overlays_and_marks_each_plot_in_index_order)
{
    const char* err = nullptr;
    std::unique_ptr<swoop> loaded
        = swoop_new((test_support::source_dir() + "/examples/swoop-270-right.csv").c_str(), &err);
    ASSERT_TRUE(loaded) << err;
    swoop& s = *loaded;
    swoop_analyse(s, frame_from_swoop, nullptr, 0, &err);
    ASSERT_EQ(err, nullptr) << err;
    const plot_set_plots plots = plot_set_build(&s, {}, false);
    const char* titles[] = { "overhead view of flight path", "side view of flight path", "speed during dive",
        "speed during swoop", "dive angle", "GPS accuracy", "turn rate", "heading" };
    for (int i = 0; i < 8; i++) {
        ASSERT_TRUE(plots[size_t(i)]) << i;
        EXPECT_EQ(plots[size_t(i)]->title, titles[i]);
    }
    // No swoop: only the overhead view of a pond is built.
    const plot_set_plots none = plot_set_build(nullptr, { { 1, 1, 0 }, { 2, 1, 0 }, { 0, 0, 0 } }, false);
    EXPECT_TRUE(none[0]);
    for (int i = 1; i < 8; i++)
        EXPECT_FALSE(none[size_t(i)]) << i;

    // An overlay is the swoop's red series of that plot, named after it. A
    // mark at the stop is a star on the plots that run to the stop and none
    // on those that end at the bottom of the turn; without a sample, none.
    std::unique_ptr<gps_point> at = swoop_point_at(s, s.track[s.stop].time - s.track[s.top_of_turn].time);
    ASSERT_TRUE(at);
    const bool to_stop[8] = { true, true, false, true, false, true, false, false };
    for (int i = 0; i < 8; i++) {
        std::unique_ptr<series> o = plot_set[size_t(i)].overlay(s, false);
        ASSERT_TRUE(o) << i;
        EXPECT_EQ(o->name, s.file) << i;
        plot p;
        plot_set[size_t(i)].mark(p, s, at.get(), false);
        ASSERT_TRUE(p.series) << i;
        EXPECT_EQ(p.series->style, style_marker) << i;
        EXPECT_EQ(p.series->count, to_stop[i] ? 1u : 0u) << i;
        plot_set[size_t(i)].mark(p, s, nullptr, false);
        EXPECT_EQ(p.series->count, 0u) << i;
    }
}
