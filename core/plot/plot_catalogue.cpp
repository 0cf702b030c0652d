// SPDX-License-Identifier: GPL-3.0-or-later
// The eight standard plots of a swoop: titles, axes and the series of each,
// the course marks of the overhead view and the point marks of the
// swoop-speed plot.
#include "core/plot/plot_catalogue.h"

#include <string>
#include <vector>

#include "core/geometry/geodetic.h"
#include "core/plot/catalogue_support.h"

using namespace catalogue;

namespace {

double dive_x_step(const display_units& units, bool whole_flight)
{
    return whole_flight ? 0 : (units.metric ? 50 : 200); // metres or feet of height
}

// Poles of the straight speed course (m).
constexpr double straight_poles[10][2] = { { 0, 5 }, { 0, -5 }, { 12, 5 }, { 12, -5 }, { 24, 5 }, { 24, -5 },
    { 36, 5 }, { 36, -5 }, { 50, 5 }, { 50, -5 } };

// The 10 m wide landing area: cross lines at 50, 56, 61, 65, 68, 70, 72, 74
// and 78 m, its frame, and a 2 m square at 70 to 72 m (m).
constexpr double landing_area[26][2] = { { 50, 5 }, { 50, -5 }, { 56, -5 }, { 56, 5 }, { 61, 5 }, { 61, -5 },
    { 65, -5 }, { 65, 5 }, { 68, 5 }, { 68, -5 }, { 70, -5 }, { 70, 5 }, { 72, 5 }, { 72, -5 }, { 74, -5 },
    { 74, 5 }, { 78, 5 }, { 78, -5 }, { 50, -5 }, { 50, 5 }, { 78, 5 }, { 72, 5 }, { 72, 1 }, { 70, 1 },
    { 70, -1 }, { 72, -1 } };

void add_course(plot& p, const swoop* s, const display_units& units)
{
    const bool carve = s && s->carve_detected;

    std::unique_ptr<series> marks = make_series(style_circles, plot_red, 10);
    marks->radius = 0.75 * units.length_factor;
    if (carve) {
        // The poles of the curved speed course, on the side it was flown.
        const double side = s->carve_direction == 0 ? -1 : 1;
        for (int i = 0; i <= 4; i++) {
            vec3 inner, centre, outer;
            carve_points(i * 75.0 / 4, carve_radius, carve_width, &inner, &centre, &outer);
            add_point(*marks, inner[0] * units.length_factor, side * inner[1] * units.length_factor);
            add_point(*marks, outer[0] * units.length_factor, side * outer[1] * units.length_factor);
        }
    } else {
        for (const auto& pole : straight_poles)
            add_point(*marks, pole[0] * units.length_factor, pole[1] * units.length_factor);
    }
    plot_add_series(p, std::move(marks));

    if (!carve) {
        std::unique_ptr<series> outline = make_series(style_line, plot_red, 26);
        for (const auto& corner : landing_area)
            add_point(*outline, corner[0] * units.length_factor, corner[1] * units.length_factor);
        plot_add_series(p, std::move(outline));
    }
}

void add_pond(plot& p, const std::vector<vec3>& pond, const display_units& units)
{
    std::unique_ptr<series> out = make_series(style_dotted, plot_blue, room);
    for (const vec3& v : pond) {
        if (v[0] == 0 && v[1] == 0)
            break;
        add_point(*out, v[0] * units.length_factor, v[1] * units.length_factor);
    }
    plot_add_series(p, std::move(out));
}

// A one-point series of style 3 with a legend text.
void add_mark(plot& p, uint32_t color, std::string label, double x, double y)
{
    std::unique_ptr<series> mark = make_series(style_dots, color, 1);
    mark->label = std::move(label);
    add_point(*mark, x, y);
    plot_add_series(p, std::move(mark));
}

} // namespace

// --- Constructors -----------------------------------------------------------------

std::unique_ptr<plot> plot_gps_accuracy(const swoop* s, const display_units& units, bool whole_flight)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        auto p = make_plot("GPS accuracy", "time (s)",
            format("(%s, %s, number of satellites)", units.length_name, units.speed_name));
        const index_span span = span_of(*s, start_index(*s, whole_flight), s->stop);
        const int64_t t0 = time_origin(*s);

        auto horizontal = sample_series(*s, span, style_line, plot_blue, [&](const gps_point& g) {
            return vec2 { seconds_since(g.time, t0), g.hacc * units.length_factor };
        });
        horizontal->label = "horz_acc";
        auto vertical = sample_series(*s, span, style_line, plot_green, [&](const gps_point& g) {
            return vec2 { seconds_since(g.time, t0), g.vacc * units.length_factor };
        });
        vertical->label = "vert_acc";
        auto satellites = sample_series(*s, span, style_line, plot_purple, [&](const gps_point& g) {
            return vec2 { seconds_since(g.time, t0), double(g.numsv) };
        });
        satellites->label = "satellites";

        plot_add_series(*p, std::move(horizontal));
        plot_add_series(*p, std::move(vertical));
        plot_add_series(*p, build_accuracy(*s, units, whole_flight));
        plot_add_series(*p, std::move(satellites));
        return p;
    });
}

std::unique_ptr<plot> plot_dive_angle(const swoop* s, const display_units& units, bool whole_flight)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        auto p = make_plot("dive angle", format("height (%s)", units.length_name), "dive angle (deg)");
        p->x_reversed = true;
        p->x_step = dive_x_step(units, whole_flight);
        p->y_step = 10;
        plot_add_series(*p, build_dive_angle(*s, units, whole_flight));
        return p;
    });
}

std::unique_ptr<plot> plot_dive_speed(const swoop* s, const display_units& units, bool whole_flight)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        auto p = make_plot("speed during dive", format("height (%s)", units.length_name),
            format("speed (%s)", units.speed_name));
        p->x_reversed = true;
        p->x_step = dive_x_step(units, whole_flight);
        p->y_step = units.metric ? 20 : 10;
        const index_span span = span_of(*s, start_index(*s, whole_flight), s->bottom_of_turn);

        auto x_speed = sample_series(*s, span, style_line, plot_blue, [&](const gps_point& g) {
            return vec2 { g.pos_local[2] * units.length_factor, g.vel_local[0] * units.speed_factor };
        });
        x_speed->label = "x-axis";
        auto y_speed = sample_series(*s, span, style_line, plot_green, [&](const gps_point& g) {
            return vec2 { g.pos_local[2] * units.length_factor, g.vel_local[1] * units.speed_factor };
        });
        y_speed->label = "y-axis";

        auto descent = build_dive_speed(*s, units, whole_flight);
        const gps_point none {};
        const gps_point* v = sample_at(*s, s->max_vert_speed);
        if (!v)
            v = &none;
        descent->label = format("z-axis (max %.1f %s @ %.0f %s)", -v->vel_local[2] * units.speed_factor,
            units.speed_name, v->pos_local[2] * units.length_factor, units.length_short);

        auto total = sample_series(*s, span, style_line, plot_purple, [&](const gps_point& g) {
            return vec2 { g.pos_local[2] * units.length_factor, total_speed(g) * units.speed_factor };
        });
        const gps_point* t = sample_at(*s, s->max_total_speed);
        if (!t)
            t = &none;
        total->label = format("total (max %.1f %s @ %.0f %s)", total_speed(*t) * units.speed_factor,
            units.speed_name, t->pos_local[2] * units.length_factor, units.length_short);

        plot_add_series(*p, std::move(x_speed));
        plot_add_series(*p, std::move(y_speed));
        plot_add_series(*p, std::move(descent));
        plot_add_series(*p, std::move(total));
        return p;
    });
}

std::unique_ptr<plot> plot_heading(const swoop* s, const display_units& units, bool whole_flight)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        auto p = make_plot("heading", format("height (%s)", units.length_name), "heading (deg)");
        p->x_reversed = true;
        p->x_step = dive_x_step(units, whole_flight);
        p->y_step = 45;
        plot_add_series(*p, build_heading(*s, units, whole_flight));
        return p;
    });
}

std::unique_ptr<plot> plot_overhead(
    const swoop* s, const std::vector<vec3>& pond, const display_units& units, bool whole_flight)
{
    const bool has_pond = !pond.empty();
    if (!s && !has_pond)
        return nullptr;
    return or_none([&] {
        auto p = make_plot("overhead view of flight path",
            format("x-axis distance from gate (%s)", units.length_name),
            format("y-axis distance from gate (%s)", units.length_name));
        p->equal_scale = true;
        if (s)
            plot_add_series(*p, build_overhead(*s, units, whole_flight));
        if ((s && s->gate_type != frame_from_swoop) || has_pond)
            add_course(*p, s, units);
        if (has_pond)
            add_pond(*p, pond, units);
        return p;
    });
}

std::unique_ptr<plot> plot_side_view(const swoop* s, const display_units& units, bool whole_flight)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        auto p = make_plot("side view of flight path",
            format("x-axis distance from gate (%s)", units.length_name),
            format("height (%s)", units.length_name));
        p->equal_scale = true;
        plot_add_series(*p, build_side_view_band(*s, units, whole_flight));
        plot_add_series(*p, build_side_view(*s, units, whole_flight));
        return p;
    });
}

std::unique_ptr<plot> plot_swoop_speed(const swoop* s, const display_units& units)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        auto p = make_plot("speed during swoop", format("x-axis distance from gate (%s)", units.length_name),
            format("horz speed (%s)", units.speed_name));
        p->legend_right = true;
        p->x_step = units.metric ? 20 : 50;
        p->y_step = 10;
        plot_add_series(*p, build_swoop_speed(*s, units));

        const gps_point none {};
        const gps_point* fastest = sample_at(*s, s->max_horz_speed);
        if (!fastest)
            fastest = &none;
        const double top_speed = horizontal_speed(*fastest) * units.speed_factor;
        const double top_x = fastest->pos_local[0] * units.length_factor;
        add_mark(*p, plot_green,
            format(
                "max horz speed (%.1f %s @ %.0f %s)", top_speed, units.speed_name, top_x, units.length_short),
            top_x, top_speed);
        if (s->entry_gate_speed != 0) {
            const double speed = s->entry_gate_speed * units.speed_factor;
            add_mark(*p, plot_blue,
                format("entry gate (%.1f %s @ %.0f %s)", speed, units.speed_name, 0.0, units.length_short), 0,
                speed);
        }
        if (s->exit_gate_speed != 0) {
            const double speed = s->exit_gate_speed * units.speed_factor;
            const double x = s->exit_gate_xpos * units.length_factor;
            const double seconds = double(int64_t(s->exit_gate_time - s->entry_gate_time)) / 1000;
            add_mark(*p, plot_purple,
                format("exit gate (%.1f %s @ %.0f %s)(%.2f sec)", speed, units.speed_name, x,
                    units.length_short, seconds),
                x, speed);
        }
        const double touchdown_speed = s->touchdown_speed * units.speed_factor;
        const double touchdown_x = s->touchdown_distance * units.length_factor;
        add_mark(*p, plot_red,
            format("touchdown (%.1f %s @ %.0f %s)", touchdown_speed, units.speed_name, touchdown_x,
                units.length_short),
            touchdown_x, touchdown_speed);
        return p;
    });
}

std::unique_ptr<plot> plot_turn_rate(const swoop* s, const display_units& units, bool whole_flight)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        auto p = make_plot("turn rate", format("height (%s)", units.length_name), "turn rate (deg/sec)");
        p->x_reversed = true;
        p->x_step = dive_x_step(units, whole_flight);
        p->y_step = 0;
        plot_add_series(*p, build_turn_rate(*s, units, whole_flight));
        return p;
    });
}
