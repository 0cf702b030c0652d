// The eight standard plots of a swoop, their overlay series and player marks.
#include "core/plot/plot_catalogue.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <new>
#include <string>

#include "core/geometry/geodetic.h"
#include "core/geometry/units.h"
#include "core/track/track_frames.h"

namespace {


constexpr uint32_t room = 300; // points a swoop series starts with

// Display units.
struct units {
    double length; // factor from metres
    double speed; // factor from m/s
    const char* length_name; // axis labels: "meters" or "feet"
    const char* length_short; // legends: "m" or "ft"
    const char* speed_name; // "km/h" or "mph"
};

units units_for(bool metric)
{
    if (metric)
        return { 1.0, kmh_per_mps, "meters", "m", "km/h" };
    return { feet_per_metre, mph_per_mps, "feet", "ft", "mph" };
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...)
{
    char text[256];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    return text;
}

// Samples the record really holds (track_len and the array agree after
// loading; an empty or unanalysed record has none).
uint32_t sample_count(const swoop& s)
{
    return uint32_t(std::min<size_t>(s.track_len, s.track.size()));
}

// The sample at index i, or null when the record does not have it.
const gps_point* sample_at(const swoop& s, uint32_t i)
{
    return i < sample_count(s) ? &s.track[i] : nullptr;
}

// An inclusive run of sample indices, cut to the samples present.
struct index_span {
    uint32_t first = 0;
    uint32_t last = 0;
    bool empty = true;
};

index_span span_of(const swoop& s, uint32_t first, uint32_t last)
{
    index_span r;
    const uint32_t n = sample_count(s);
    if (n == 0 || first >= n || first > last)
        return r;
    r.first = first;
    r.last = std::min(last, n - 1);
    r.empty = false;
    return r;
}

uint32_t start_index(const swoop& s, bool whole_flight)
{
    return whole_flight ? s.plane_exit : s.top_of_turn;
}

// First sample of the swoop-speed plot: the entry gate or the fastest sample,
// whichever comes first; the fastest when the gate was missed.
uint32_t swoop_speed_start(const swoop& s)
{
    return s.entry_gate == 0 ? s.max_horz_speed : std::min(s.entry_gate, s.max_horz_speed);
}

// ms the accuracy plot counts from: the entry-gate crossing, or the top of
// the turn when the gate was missed.
int64_t time_origin(const swoop& s)
{
    if (s.entry_gate_time != 0)
        return int64_t(s.entry_gate_time);
    const gps_point* top = sample_at(s, s.top_of_turn);
    return top ? top->time : 0;
}

double seconds_since(int64_t time, int64_t origin)
{
    return double(int64_t(uint64_t(time) - uint64_t(origin))) / 1000; // wraps instead of overflowing
}

// Allocation failures inside the catalogue unwind to the public operation,
// which returns none; everything built so far is freed on the way.
std::unique_ptr<series> make_series(int32_t style, uint32_t color, uint32_t capacity)
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

// One series over an inclusive run of samples, point by point.
template <class Point>
std::unique_ptr<series> sample_series(
    const swoop& s, index_span span, int32_t style, uint32_t color, Point point)
{
    std::unique_ptr<series> out = make_series(style, color, room);
    if (!span.empty)
        for (uint32_t i = span.first; i <= span.last; i++) {
            const vec2 v = point(s.track[i]);
            add_point(*out, v[0], v[1]);
        }
    return out;
}

// The red series of a swoop, named after its file.
template <class Point>
std::unique_ptr<series> swoop_series(const swoop& s, index_span span, int32_t style, Point point)
{
    std::unique_ptr<series> out = sample_series(s, span, style, plot_red, point);
    out->name = s.file;
    return out;
}

// Runs a builder and turns a lack of memory into none.
template <class Build> auto or_none(Build build) -> decltype(build())
{
    try {
        return build();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

double dive_x_step(bool metric, bool whole_flight)
{
    return whole_flight ? 0 : (metric ? 50 : 200); // metres or feet of height
}

std::unique_ptr<series> build_accuracy(const swoop& s, bool metric, bool whole_flight)
{
    const units u = units_for(metric);
    const int64_t t0 = time_origin(s);
    auto out = swoop_series(
        s, span_of(s, start_index(s, whole_flight), s.stop), style_line, [&](const gps_point& g) {
            return vec2 { seconds_since(g.time, t0), g.sacc * u.speed };
        });
    out->label = "speed_acc";
    return out;
}

std::unique_ptr<series> build_dive_angle(const swoop& s, bool metric, bool whole_flight)
{
    const units u = units_for(metric);
    return swoop_series(
        s, span_of(s, start_index(s, whole_flight), s.bottom_of_turn), style_line, [&](const gps_point& g) {
            return vec2 { g.pos_local[2] * u.length, g.dive_angle };
        });
}

std::unique_ptr<series> build_dive_speed(const swoop& s, bool metric, bool whole_flight)
{
    const units u = units_for(metric);
    return swoop_series(
        s, span_of(s, start_index(s, whole_flight), s.bottom_of_turn), style_line, [&](const gps_point& g) {
            return vec2 { g.pos_local[2] * u.length, -g.vel_local[2] * u.speed };
        });
}

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

std::unique_ptr<series> build_heading(const swoop& s, bool metric, bool whole_flight)
{
    const units u = units_for(metric);
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
        points.push_back({ g.pos_local[2] * u.length, y });
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

std::unique_ptr<series> build_overhead(const swoop& s, bool metric, bool whole_flight)
{
    const units u = units_for(metric);
    return swoop_series(
        s, span_of(s, start_index(s, whole_flight), s.stop), style_line_dots, [&](const gps_point& g) {
            return vec2 { g.pos_local[0] * u.length, g.pos_local[1] * u.length };
        });
}

std::unique_ptr<series> build_side_view(const swoop& s, bool metric, bool whole_flight)
{
    const units u = units_for(metric);
    return swoop_series(
        s, span_of(s, start_index(s, whole_flight), s.stop), style_line_dots, [&](const gps_point& g) {
            return vec2 { g.pos_local[0] * u.length, g.pos_local[2] * u.length };
        });
}

std::unique_ptr<series> build_swoop_speed(const swoop& s, bool metric)
{
    const units u = units_for(metric);
    return swoop_series(s, span_of(s, swoop_speed_start(s), s.stop), style_line, [&](const gps_point& g) {
        return vec2 { g.pos_local[0] * u.length, horizontal_speed(g) * u.speed };
    });
}

std::unique_ptr<series> build_turn_rate(const swoop& s, bool metric, bool whole_flight)
{
    const units u = units_for(metric);
    return swoop_series(
        s, span_of(s, start_index(s, whole_flight), s.bottom_of_turn), style_line, [&](const gps_point& g) {
            return vec2 { g.pos_local[2] * u.length, g.turn_rate };
        });
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

void add_course(plot& p, const swoop* s, bool metric)
{
    const units u = units_for(metric);
    const bool carve = s && s->carve_detected;

    std::unique_ptr<series> marks = make_series(style_circles, plot_red, 10);
    marks->radius = 0.75 * u.length;
    if (carve) {
        // The poles of the curved speed course, on the side it was flown.
        const double side = s->carve_direction == 0 ? -1 : 1;
        for (int i = 0; i <= 4; i++) {
            vec3 inner, centre, outer;
            carve_points(i * 75.0 / 4, carve_radius, carve_width, &inner, &centre, &outer);
            add_point(*marks, inner[0] * u.length, side * inner[1] * u.length);
            add_point(*marks, outer[0] * u.length, side * outer[1] * u.length);
        }
    } else {
        for (const auto& pole : straight_poles)
            add_point(*marks, pole[0] * u.length, pole[1] * u.length);
    }
    plot_add_series(p, std::move(marks));

    if (!carve) {
        std::unique_ptr<series> outline = make_series(style_line, plot_red, 26);
        for (const auto& corner : landing_area)
            add_point(*outline, corner[0] * u.length, corner[1] * u.length);
        plot_add_series(p, std::move(outline));
    }
}

void add_pond(plot& p, const std::vector<vec3>& pond, bool metric)
{
    const units u = units_for(metric);
    std::unique_ptr<series> out = make_series(style_dotted, plot_blue, room);
    for (const vec3& v : pond) {
        if (v[0] == 0 && v[1] == 0)
            break;
        add_point(*out, v[0] * u.length, v[1] * u.length);
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

// Sets the swoop's marker to the sample mapped by point when the sample's
// time lies between the times of samples first and last; empties it otherwise.
template <class Point>
void set_marker(plot& p, const swoop& s, const gps_point* sample, uint32_t first, uint32_t last, Point point)
{
    const index_span span = span_of(s, first, last);
    bool inside = sample && !span.empty && sample->time >= s.track[span.first].time
        && sample->time <= s.track[span.last].time;
    vec2 at {};
    if (inside)
        at = point(*sample);
    plot_set_marker(p, s.file.c_str(), inside ? &at : nullptr);
}

} // namespace

// --- Series builders ------------------------------------------------------------

std::unique_ptr<series> series_gps_accuracy(const swoop& s, bool metric, bool whole_flight)
{
    return or_none([&] { return build_accuracy(s, metric, whole_flight); });
}

std::unique_ptr<series> series_dive_angle(const swoop& s, bool metric, bool whole_flight)
{
    return or_none([&] { return build_dive_angle(s, metric, whole_flight); });
}

std::unique_ptr<series> series_dive_speed(const swoop& s, bool metric, bool whole_flight)
{
    return or_none([&] { return build_dive_speed(s, metric, whole_flight); });
}

std::unique_ptr<series> series_heading(const swoop& s, bool metric, bool whole_flight)
{
    return or_none([&] { return build_heading(s, metric, whole_flight); });
}

std::unique_ptr<series> series_overhead(const swoop& s, bool metric, bool whole_flight)
{
    return or_none([&] { return build_overhead(s, metric, whole_flight); });
}

std::unique_ptr<series> series_side_view(const swoop& s, bool metric, bool whole_flight)
{
    return or_none([&] { return build_side_view(s, metric, whole_flight); });
}

std::unique_ptr<series> series_swoop_speed(const swoop& s, bool metric)
{
    return or_none([&] { return build_swoop_speed(s, metric); });
}

std::unique_ptr<series> series_turn_rate(const swoop& s, bool metric, bool whole_flight)
{
    return or_none([&] { return build_turn_rate(s, metric, whole_flight); });
}

// --- Constructors -----------------------------------------------------------------

std::unique_ptr<plot> plot_gps_accuracy(const swoop* s, bool metric, bool whole_flight)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        const units u = units_for(metric);
        auto p = make_plot("GPS accuracy", "time (s)",
            format("(%s, number of satellites)", metric ? "meters, km/h" : "feet, mph"));
        const index_span span = span_of(*s, start_index(*s, whole_flight), s->stop);
        const int64_t t0 = time_origin(*s);

        auto horizontal = sample_series(*s, span, style_line, plot_blue, [&](const gps_point& g) {
            return vec2 { seconds_since(g.time, t0), g.hacc * u.length };
        });
        horizontal->label = "horz_acc";
        auto vertical = sample_series(*s, span, style_line, plot_green, [&](const gps_point& g) {
            return vec2 { seconds_since(g.time, t0), g.vacc * u.length };
        });
        vertical->label = "vert_acc";
        auto satellites = sample_series(*s, span, style_line, plot_purple, [&](const gps_point& g) {
            return vec2 { seconds_since(g.time, t0), double(g.numsv) };
        });
        satellites->label = "satellites";

        plot_add_series(*p, std::move(horizontal));
        plot_add_series(*p, std::move(vertical));
        plot_add_series(*p, build_accuracy(*s, metric, whole_flight));
        plot_add_series(*p, std::move(satellites));
        return p;
    });
}

std::unique_ptr<plot> plot_dive_angle(const swoop* s, bool metric, bool whole_flight)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        const units u = units_for(metric);
        auto p = make_plot("dive angle", format("height (%s)", u.length_name), "dive angle (deg)");
        p->x_reversed = true;
        p->x_step = dive_x_step(metric, whole_flight);
        p->y_step = 10;
        plot_add_series(*p, build_dive_angle(*s, metric, whole_flight));
        return p;
    });
}

std::unique_ptr<plot> plot_dive_speed(const swoop* s, bool metric, bool whole_flight)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        const units u = units_for(metric);
        auto p = make_plot(
            "speed during dive", format("height (%s)", u.length_name), format("speed (%s)", u.speed_name));
        p->x_reversed = true;
        p->x_step = dive_x_step(metric, whole_flight);
        p->y_step = metric ? 20 : 10;
        const index_span span = span_of(*s, start_index(*s, whole_flight), s->bottom_of_turn);

        auto x_speed = sample_series(*s, span, style_line, plot_blue, [&](const gps_point& g) {
            return vec2 { g.pos_local[2] * u.length, g.vel_local[0] * u.speed };
        });
        x_speed->label = "x-axis";
        auto y_speed = sample_series(*s, span, style_line, plot_green, [&](const gps_point& g) {
            return vec2 { g.pos_local[2] * u.length, g.vel_local[1] * u.speed };
        });
        y_speed->label = "y-axis";

        auto descent = build_dive_speed(*s, metric, whole_flight);
        const gps_point none {};
        const gps_point* v = sample_at(*s, s->max_vert_speed);
        if (!v)
            v = &none;
        descent->label = format("z-axis (max %.1f %s @ %.0f %s)", -v->vel_local[2] * u.speed, u.speed_name,
            v->pos_local[2] * u.length, u.length_short);

        auto total = sample_series(*s, span, style_line, plot_purple, [&](const gps_point& g) {
            return vec2 { g.pos_local[2] * u.length, total_speed(g) * u.speed };
        });
        const gps_point* t = sample_at(*s, s->max_total_speed);
        if (!t)
            t = &none;
        total->label = format("total (max %.1f %s @ %.0f %s)", total_speed(*t) * u.speed, u.speed_name,
            t->pos_local[2] * u.length, u.length_short);

        plot_add_series(*p, std::move(x_speed));
        plot_add_series(*p, std::move(y_speed));
        plot_add_series(*p, std::move(descent));
        plot_add_series(*p, std::move(total));
        return p;
    });
}

std::unique_ptr<plot> plot_heading(const swoop* s, bool metric, bool whole_flight)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        const units u = units_for(metric);
        auto p = make_plot("heading", format("height (%s)", u.length_name), "heading (deg)");
        p->x_reversed = true;
        p->x_step = dive_x_step(metric, whole_flight);
        p->y_step = 45;
        plot_add_series(*p, build_heading(*s, metric, whole_flight));
        return p;
    });
}

std::unique_ptr<plot> plot_overhead(
    const swoop* s, const std::vector<vec3>& pond, bool metric, bool whole_flight)
{
    const bool has_pond = !pond.empty();
    if (!s && !has_pond)
        return nullptr;
    return or_none([&] {
        const units u = units_for(metric);
        auto p = make_plot("overhead view of flight path",
            format("x-axis distance from gate (%s)", u.length_name),
            format("y-axis distance from gate (%s)", u.length_name));
        p->equal_scale = true;
        if (s)
            plot_add_series(*p, build_overhead(*s, metric, whole_flight));
        if ((s && s->gate_type != 2) || has_pond)
            add_course(*p, s, metric);
        if (has_pond)
            add_pond(*p, pond, metric);
        return p;
    });
}

std::unique_ptr<plot> plot_side_view(const swoop* s, bool metric, bool whole_flight)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        const units u = units_for(metric);
        auto p = make_plot("side view of flight path",
            format("x-axis distance from gate (%s)", u.length_name), format("height (%s)", u.length_name));
        p->equal_scale = true;
        plot_add_series(*p, build_side_view(*s, metric, whole_flight));
        return p;
    });
}

std::unique_ptr<plot> plot_swoop_speed(const swoop* s, bool metric)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        const units u = units_for(metric);
        auto p = make_plot("speed during swoop", format("x-axis distance from gate (%s)", u.length_name),
            format("horz speed (%s)", u.speed_name));
        p->legend_right = true;
        p->x_step = metric ? 20 : 50;
        p->y_step = 10;
        plot_add_series(*p, build_swoop_speed(*s, metric));

        const gps_point none {};
        const gps_point* fastest = sample_at(*s, s->max_horz_speed);
        if (!fastest)
            fastest = &none;
        const double top_speed = horizontal_speed(*fastest) * u.speed;
        const double top_x = fastest->pos_local[0] * u.length;
        add_mark(*p, plot_green,
            format("max horz speed (%.1f %s @ %.0f %s)", top_speed, u.speed_name, top_x, u.length_short),
            top_x, top_speed);
        if (s->entry_gate_speed != 0) {
            const double speed = s->entry_gate_speed * u.speed;
            add_mark(*p, plot_blue,
                format("entry gate (%.1f %s @ %.0f %s)", speed, u.speed_name, 0.0, u.length_short), 0, speed);
        }
        if (s->exit_gate_speed != 0) {
            const double speed = s->exit_gate_speed * u.speed;
            const double x = s->exit_gate_xpos * u.length;
            const double seconds = double(int64_t(s->exit_gate_time - s->entry_gate_time)) / 1000;
            add_mark(*p, plot_purple,
                format("exit gate (%.1f %s @ %.0f %s)(%.2f sec)", speed, u.speed_name, x, u.length_short,
                    seconds),
                x, speed);
        }
        const double touchdown_speed = s->touchdown_speed * u.speed;
        const double touchdown_x = s->touchdown_distance * u.length;
        add_mark(*p, plot_red,
            format(
                "touchdown (%.1f %s @ %.0f %s)", touchdown_speed, u.speed_name, touchdown_x, u.length_short),
            touchdown_x, touchdown_speed);
        return p;
    });
}

std::unique_ptr<plot> plot_turn_rate(const swoop* s, bool metric, bool whole_flight)
{
    if (!s)
        return nullptr;
    return or_none([&] {
        const units u = units_for(metric);
        auto p = make_plot("turn rate", format("height (%s)", u.length_name), "turn rate (deg/sec)");
        p->x_reversed = true;
        p->x_step = dive_x_step(metric, whole_flight);
        p->y_step = 0;
        plot_add_series(*p, build_turn_rate(*s, metric, whole_flight));
        return p;
    });
}

// --- Player marks --------------------------------------------------------------------

void marker_gps_accuracy(plot& p, const swoop& s, const gps_point* sample, bool metric)
{
    const units u = units_for(metric);
    const int64_t t0 = time_origin(s);
    set_marker(p, s, sample, s.top_of_turn, s.stop, [&](const gps_point& g) {
        return vec2 { seconds_since(g.time, t0), g.sacc * u.speed };
    });
}

void marker_dive_angle(plot& p, const swoop& s, const gps_point* sample, bool metric)
{
    const units u = units_for(metric);
    set_marker(p, s, sample, s.top_of_turn, s.bottom_of_turn, [&](const gps_point& g) {
        return vec2 { g.pos_local[2] * u.length, g.dive_angle };
    });
}

void marker_dive_speed(plot& p, const swoop& s, const gps_point* sample, bool metric)
{
    const units u = units_for(metric);
    set_marker(p, s, sample, s.top_of_turn, s.bottom_of_turn, [&](const gps_point& g) {
        return vec2 { g.pos_local[2] * u.length, -g.vel_local[2] * u.speed };
    });
}

void marker_heading(plot& p, const swoop& s, const gps_point* sample, bool metric)
{
    const units u = units_for(metric);
    set_marker(p, s, sample, s.top_of_turn, s.bottom_of_turn, [&](const gps_point& g) {
        return vec2 { g.pos_local[2] * u.length, g.heading };
    });
}

void marker_overhead(plot& p, const swoop& s, const gps_point* sample, bool metric)
{
    const units u = units_for(metric);
    set_marker(p, s, sample, s.top_of_turn, s.stop, [&](const gps_point& g) {
        return vec2 { g.pos_local[0] * u.length, g.pos_local[1] * u.length };
    });
}

void marker_side_view(plot& p, const swoop& s, const gps_point* sample, bool metric)
{
    const units u = units_for(metric);
    set_marker(p, s, sample, s.top_of_turn, s.stop, [&](const gps_point& g) {
        return vec2 { g.pos_local[0] * u.length, g.pos_local[2] * u.length };
    });
}

void marker_swoop_speed(plot& p, const swoop& s, const gps_point* sample, bool metric)
{
    const units u = units_for(metric);
    set_marker(p, s, sample, swoop_speed_start(s), s.stop, [&](const gps_point& g) {
        return vec2 { g.pos_local[0] * u.length, horizontal_speed(g) * u.speed };
    });
}

void marker_turn_rate(plot& p, const swoop& s, const gps_point* sample, bool metric)
{
    const units u = units_for(metric);
    set_marker(p, s, sample, s.top_of_turn, s.bottom_of_turn, [&](const gps_point& g) {
        return vec2 { g.pos_local[2] * u.length, g.turn_rate };
    });
}
