// SPDX-License-Identifier: GPL-3.0-or-later
// The red series each of the eight plots draws for a swoop, and the series
// builders that hand it to another swoop's plot as an overlay.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "core/plot/catalogue_support.h"
#include "core/plot/plot_catalogue.h"

namespace catalogue {

std::string format(const char* fmt, ...)
{
    char text[256];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    return text;
}

std::unique_ptr<series> make_series(series_style style, uint32_t color, uint32_t capacity)
{
    std::unique_ptr<series> s = series_new(capacity);
    if (!s)
        throw std::bad_alloc();
    s->style = style;
    s->color = color;
    return s;
}

void add_point(series& s, double x, double y)
{
    if (!series_add_point(s, { x, y }))
        throw std::bad_alloc();
}

std::unique_ptr<plot> make_plot(const char* title, std::string x_label, std::string y_label)
{
    std::unique_ptr<plot> p = plot_new();
    if (!p)
        throw std::bad_alloc();
    p->title = title;
    p->x_label = std::move(x_label);
    p->y_label = std::move(y_label);
    return p;
}

std::unique_ptr<series> build_accuracy(const swoop& s, const display_units& units, bool whole_flight)
{
    const int64_t t0 = time_origin(s);
    auto out = swoop_series(s, span_of(s, start_index(s, whole_flight), s.stop), style_line,
        [&](const gps_point& g) { return accuracy_point(g, units, t0); });
    out->label = "speed_acc";
    return out;
}

std::unique_ptr<series> build_dive_angle(const swoop& s, const display_units& units, bool whole_flight)
{
    return swoop_series(s, span_of(s, start_index(s, whole_flight), s.bottom_of_turn), style_line,
        [&](const gps_point& g) { return dive_angle_point(g, units); });
}

std::unique_ptr<series> build_dive_speed(const swoop& s, const display_units& units, bool whole_flight)
{
    return swoop_series(s, span_of(s, start_index(s, whole_flight), s.bottom_of_turn), style_line,
        [&](const gps_point& g) { return dive_speed_point(g, units); });
}

namespace {

// True when the unwound heading y, reduced to 0..360, is not the sample's own
// heading: the sample's turn angle was repaired in a steep dive.
bool heading_repaired(double y, double heading)
{
    double reduced = std::fmod(y, 360.0);
    if (reduced < 0)
        reduced += 360;
    double d = std::fabs(reduced - heading);
    d = std::min(d, std::fabs(360 - d)); // 359.9999999 and 0 are the same direction
    return d > 0.00001;
}

} // namespace

std::unique_ptr<series> build_heading(const swoop& s, const display_units& units, bool whole_flight)
{
    const index_span span = span_of(s, start_index(s, whole_flight), s.bottom_of_turn);
    std::unique_ptr<series> head = make_series(style_line, plot_red, room);
    head->name = s.file;
    if (span.empty)
        return head;

    // Unwind the heading from the start sample, then split it into solid runs
    // and dashed runs of repaired samples that share their end points.
    std::vector<vec2> points;
    std::vector<bool> off;
    double y = s.track[span.first].heading;
    for (uint32_t i = span.first; i <= span.last; i++) {
        const gps_point& g = s.track[i];
        if (i > span.first)
            y += g.turn_angle;
        points.push_back({ heading_point(g, units)[0], y });
        off.push_back(heading_repaired(y, g.heading));
    }

    series* current = head.get();
    if (off[0])
        current->style = style_dashed;
    add_point(*current, points[0][0], points[0][1]);
    for (size_t k = 1; k < points.size(); k++) {
        if (off[k] != off[k - 1]) {
            std::unique_ptr<series> next = make_series(off[k] ? style_dashed : style_line, plot_red, room);
            next->name = s.file;
            if (off[k]) // a dashed run starts from the last solid point
                add_point(*next, points[k - 1][0], points[k - 1][1]);
            else // a dashed run reaches on to the first solid point
                add_point(*current, points[k][0], points[k][1]);
            current->next = std::move(next);
            current = current->next.get();
        }
        add_point(*current, points[k][0], points[k][1]);
    }
    return head;
}

std::unique_ptr<series> build_overhead(const swoop& s, const display_units& units, bool whole_flight)
{
    return swoop_series(s, span_of(s, start_index(s, whole_flight), s.stop), style_line_dots,
        [&](const gps_point& g) { return overhead_point(g, units); });
}

std::unique_ptr<series> build_side_view(const swoop& s, const display_units& units, bool whole_flight)
{
    return swoop_series(s, span_of(s, start_index(s, whole_flight), s.stop), style_line_dots,
        [&](const gps_point& g) { return side_view_point(g, units); });
}

std::unique_ptr<series> build_side_view_band(const swoop& s, const display_units& units, bool whole_flight)
{
    const index_span span = span_of(s, start_index(s, whole_flight), s.stop);
    if (span.empty || s.height_sigma.size() != s.track.size())
        return nullptr;
    std::unique_ptr<series> band = make_series(style_fill, plot_red, 2 * (span.last - span.first + 1));
    for (uint32_t i = span.first; i <= span.last; ++i) {
        const vec2 p = side_view_point(s.track[i], units);
        add_point(*band, p[0], p[1] + s.height_sigma[i] * units.length_factor);
    }
    for (uint32_t i = span.last + 1; i-- > span.first;) {
        const vec2 p = side_view_point(s.track[i], units);
        add_point(*band, p[0], p[1] - s.height_sigma[i] * units.length_factor);
    }
    return band;
}

std::unique_ptr<series> build_swoop_speed(const swoop& s, const display_units& units)
{
    return swoop_series(s, span_of(s, swoop_speed_start(s), s.stop), style_line,
        [&](const gps_point& g) { return swoop_speed_point(g, units); });
}

std::unique_ptr<series> build_turn_rate(const swoop& s, const display_units& units, bool whole_flight)
{
    return swoop_series(s, span_of(s, start_index(s, whole_flight), s.bottom_of_turn), style_line,
        [&](const gps_point& g) { return turn_rate_point(g, units); });
}

} // namespace catalogue

using namespace catalogue;

std::unique_ptr<series> series_gps_accuracy(const swoop& s, const display_units& units, bool whole_flight)
{
    return or_none([&] { return build_accuracy(s, units, whole_flight); });
}

std::unique_ptr<series> series_dive_angle(const swoop& s, const display_units& units, bool whole_flight)
{
    return or_none([&] { return build_dive_angle(s, units, whole_flight); });
}

std::unique_ptr<series> series_dive_speed(const swoop& s, const display_units& units, bool whole_flight)
{
    return or_none([&] { return build_dive_speed(s, units, whole_flight); });
}

std::unique_ptr<series> series_heading(const swoop& s, const display_units& units, bool whole_flight)
{
    return or_none([&] { return build_heading(s, units, whole_flight); });
}

std::unique_ptr<series> series_overhead(const swoop& s, const display_units& units, bool whole_flight)
{
    return or_none([&] { return build_overhead(s, units, whole_flight); });
}

std::unique_ptr<series> series_side_view(const swoop& s, const display_units& units, bool whole_flight)
{
    return or_none([&] { return build_side_view(s, units, whole_flight); });
}

std::unique_ptr<series> series_swoop_speed(const swoop& s, const display_units& units)
{
    return or_none([&] { return build_swoop_speed(s, units); });
}

std::unique_ptr<series> series_turn_rate(const swoop& s, const display_units& units, bool whole_flight)
{
    return or_none([&] { return build_turn_rate(s, units, whole_flight); });
}
