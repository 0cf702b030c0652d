// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/plot/plot_set.h"

#include <cstring>

#include "core/plot/plot_catalogue.h"

namespace {

constexpr bool whole_flight = false; // every plot of the set starts at the top of the turn

// The catalogue's operations with the set's arguments.
template <std::unique_ptr<plot> (*build)(const swoop*, const display_units&, bool)>
std::unique_ptr<plot> without_pond(const swoop* s, const std::vector<vec3>&, const display_units& units)
{
    return build(s, units, whole_flight);
}

template <std::unique_ptr<series> (*build)(const swoop&, const display_units&, bool)>
std::unique_ptr<series> from_top(const swoop& s, const display_units& units)
{
    return build(s, units, whole_flight);
}

std::unique_ptr<plot> overhead(const swoop* s, const std::vector<vec3>& pond, const display_units& units)
{
    return plot_overhead(s, pond, units, whole_flight);
}

std::unique_ptr<plot> swoop_speed(const swoop* s, const std::vector<vec3>&, const display_units& units)
{
    return plot_swoop_speed(s, units);
}

std::vector<plot_page> make_pages(int plots_per_page)
{
    switch (plots_per_page) {
    case 1: {
        std::vector<plot_page> pages;
        for (int i = 0; i < plot_set_size; i++)
            pages.push_back({ plot_set[size_t(i)].name, { { i, 0 } } });
        return pages;
    }
    case 4:
        return { { "plots 1", { { 0, 1 }, { 1, 3 }, { 2, 2 }, { 3, 4 } } },
            { "plots 2", { { 4, 1 }, { 5, 3 }, { 6, 2 }, { 7, 4 } } } };
    case 9:
        return { { "plots",
            { { 0, 5 }, { 1, 8 }, { 2, 6 }, { 3, 9 }, { 4, 11 }, { 5, 12 }, { 6, 7 }, { 7, 10 } } } };
    default:
        return {};
    }
}

} // namespace

const std::array<plot_set_entry, plot_set_size> plot_set = { {
    { "overhead", overhead, from_top<series_overhead>, marker_overhead, locate_overhead, false, true },
    { "side", without_pond<plot_side_view>, from_top<series_side_view>, marker_side_view, locate_side_view,
        false, true },
    { "dive speed", without_pond<plot_dive_speed>, from_top<series_dive_speed>, marker_dive_speed,
        locate_dive_speed, false, false },
    { "swoop speed", swoop_speed, series_swoop_speed, marker_swoop_speed, locate_swoop_speed, false, false },
    { "dive angle", without_pond<plot_dive_angle>, from_top<series_dive_angle>, marker_dive_angle,
        locate_dive_angle, false, false },
    { "accuracy", without_pond<plot_gps_accuracy>, from_top<series_gps_accuracy>, marker_gps_accuracy,
        locate_gps_accuracy, true, false },
    { "turn rate", without_pond<plot_turn_rate>, from_top<series_turn_rate>, marker_turn_rate,
        locate_turn_rate, false, false },
    { "heading", without_pond<plot_heading>, from_top<series_heading>, marker_heading, locate_heading, false,
        false },
} };

plot_set_plots plot_set_build(const swoop* s, const std::vector<vec3>& pond, const display_units& units)
{
    plot_set_plots plots;
    for (size_t i = 0; i < plots.size(); i++)
        plots[i] = plot_set[i].build(s, pond, units);
    return plots;
}

const std::vector<plot_page>& plot_set_pages(int plots_per_page)
{
    static const std::vector<plot_page> one = make_pages(1), four = make_pages(4), nine = make_pages(9), none;
    switch (plots_per_page) {
    case 1:
        return one;
    case 4:
        return four;
    case 9:
        return nine;
    default:
        return none;
    }
}

const plot_page* plot_set_page(const char* name)
{
    for (int n : { 1, 4, 9 })
        for (const plot_page& page : plot_set_pages(n))
            if (name && std::strcmp(page.name, name) == 0)
                return &page;
    return nullptr;
}

void plot_set_render_page(
    cairo_t* cr, const plot_page& page, const plot_set_plots& plots, const plot_render_options& options)
{
    for (const plot_cell& c : page.cells)
        plot_render(cr, plots[size_t(c.plot)].get(), c.cell, options);
}
