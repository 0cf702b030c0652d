// SPDX-License-Identifier: GPL-3.0-or-later
// The plot model: plots, their series and the grid step.
#include "core/plot/plot.h"

#include <algorithm>
#include <cmath>
#include <new>

std::unique_ptr<plot> plot_new()
{
    try {
        return std::make_unique<plot>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void plot_free(std::unique_ptr<plot>& p)
{
    if (!p)
        return;
    // Unlink the series one by one so a long list is not freed recursively.
    std::unique_ptr<series> s = std::move(p->series);
    while (s)
        s = std::move(s->next);
    p.reset();
}

void plot_add_series(plot& p, std::unique_ptr<series> s)
{
    if (!s)
        return;
    std::unique_ptr<series>* end = &p.series;
    while (*end)
        end = &(*end)->next;
    *end = std::move(s);
}

std::unique_ptr<series> series_new(uint32_t capacity)
{
    try {
        auto s = std::make_unique<series>();
        s->points.reserve(capacity);
        s->capacity = capacity;
        return s;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool series_add_point(series& s, const vec2& point)
{
    if (s.count >= s.capacity) {
        // A series made with no room grows to 1 first; doubling 0 would never make room.
        uint32_t capacity = s.capacity == 0 ? 1 : s.capacity * 2;
        if (capacity <= s.capacity)
            return false;
        try {
            s.points.reserve(capacity);
        } catch (const std::exception&) {
            return false;
        }
        s.capacity = capacity;
    }
    s.points.push_back(point); // room was reserved above: cannot throw
    s.count = static_cast<uint32_t>(s.points.size());
    return true;
}

void series_free(std::unique_ptr<series>& s)
{
    while (s)
        s = std::move(s->next);
}

series* plot_set_marker(plot& p, const char* name, const vec2* point)
{
    for (series* s = p.series.get(); s; s = s->next.get()) {
        if (s->style != style_marker || !s->name || !name || *s->name != name)
            continue;
        s->points.clear(); // keeps the room
        s->count = 0;
        if (point && !series_add_point(*s, *point))
            return nullptr;
        return s;
    }
    try {
        std::unique_ptr<series> s = series_new(1);
        if (!s)
            return nullptr;
        s->style = style_marker;
        s->color = 0x00B0B0;
        if (name)
            s->name = name;
        if (point && !series_add_point(*s, *point))
            return nullptr;
        series* made = s.get();
        plot_add_series(p, std::move(s));
        return made;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void plot_remove_series(plot& p, const char* name)
{
    if (!name)
        return;
    std::unique_ptr<series>* link = &p.series;
    while (*link) {
        series& s = **link;
        if (s.name && *s.name == name) {
            std::unique_ptr<series> gone = std::move(*link);
            *link = std::move(gone->next);
        } else {
            link = &s.next;
        }
    }
}

double nice_step(double range, int count)
{
    if (count < 1)
        count = 1;
    double v = range / count;
    // Nothing sensible comes of a non-finite or non-positive range; the loops
    // below would never end on an infinite one.
    if (!std::isfinite(v) || v <= 0)
        return v;
    int power = 0;
    while (v > 10) {
        v /= 10;
        power++;
    }
    while (v <= 1) {
        v *= 10;
        power--;
    }
    double mantissa;
    if (v < 2)
        mantissa = 2;
    else if (v < 2.5)
        mantissa = 2.5;
    else if (v < 5)
        mantissa = 5;
    else
        mantissa = 10;
    // Dividing for negative powers keeps steps like 0.25 exact.
    return power >= 0 ? mantissa * std::pow(10.0, power) : mantissa / std::pow(10.0, -power);
}

std::optional<double> series_y_at(const series& s, double x)
{
    const uint32_t n = std::min<uint32_t>(s.count, uint32_t(s.points.size()));
    for (uint32_t k = 0; k + 1 < n; k++) {
        const vec2& a = s.points[k];
        const vec2& b = s.points[k + 1];
        if (!std::isfinite(a[0]) || !std::isfinite(a[1]) || !std::isfinite(b[0]) || !std::isfinite(b[1]))
            continue;
        if ((x < a[0] && x < b[0]) || (x > a[0] && x > b[0]))
            continue;
        if (a[0] == b[0])
            return a[1];
        return a[1] + (b[1] - a[1]) * (x - a[0]) / (b[0] - a[0]);
    }
    if (n == 1 && s.points[0][0] == x)
        return s.points[0][1];
    return std::nullopt;
}
