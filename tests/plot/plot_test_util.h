// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers for the plot tests: image surfaces that free themselves and
// pixel reads.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include "core/plot/cairo_handles.h"
#include "core/plot/plot.h"

namespace plot_test {

using surface_ptr = cairo_surface_ptr;
using context_ptr = cairo_context_ptr;

// An RGB24 image surface of width x height pixels with a context on it.
struct canvas {
    surface_ptr surface;
    context_ptr cr;
    canvas(int width, int height)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height))
        , cr(cairo_create(surface.get()))
    {
    }
};

// 0xRRGGBB of the pixel at (x, y) of an RGB24 or ARGB32 image surface.
inline uint32_t pixel(cairo_surface_t* s, int x, int y)
{
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    uint32_t v;
    std::memcpy(&v, data + y * stride + 4 * x, 4);
    return v & 0xffffff;
}

inline int red(uint32_t c)
{
    return int((c >> 16) & 0xff);
}
inline int green(uint32_t c)
{
    return int((c >> 8) & 0xff);
}
inline int blue(uint32_t c)
{
    return int(c & 0xff);
}

// A series of the given style and colour holding the points.
inline std::unique_ptr<series> make_series(
    series_style style, uint32_t color, std::initializer_list<vec2> points)
{
    auto s = series_new(2);
    s->style = style;
    s->color = color;
    for (const vec2& p : points)
        series_add_point(*s, p);
    return s;
}

} // namespace plot_test
