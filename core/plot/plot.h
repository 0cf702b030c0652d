// SPDX-License-Identifier: GPL-3.0-or-later
// One x-y chart and its renderer.
//
// A plot holds three texts, a few axis options and a singly linked list of
// series; plot_render draws it with cairo and pango into one cell of any
// surface (a PDF page of the command-line tool, an image surface of a plot
// page of the desktop program). Every size of the drawing derives from the
// cell's height, so a plot looks alike on a 1x1, 2x2 or 3x3 page.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/geometry/vec_types.h"

// Drawing styles of a series (lw is the cell's line width).
enum series_style : int32_t {
    style_line = 0, // solid polyline, width lw
    style_dotted = 1, // polyline, width 2 lw, dashes 2 lw on, 2 lw off
    style_dashed = 2, // polyline, width lw, dashes 3 lw on, 6 lw off
    style_dots = 3, // filled disc of radius 3 lw at every point
    style_circles = 4, // circle of radius 2 lw at every point, stroked with width lw
    style_line_dots = 5, // solid polyline, then a filled disc of radius 1.7 lw at every point
    style_marker = 6, // filled four-pointed star at every point (player marker), radius 3 lw
    style_fill = 7, // the points as one closed polygon, filled in the colour at a fifth of its
                    // strength over white: a band drawn under the curves added after it
    style_dashed_key = 8, // as style_dashed, and dashed alike in the legend (whose lines are solid otherwise)
};

// One node of a plot's series list.
struct series {
    std::unique_ptr<series> next; // next series, or none
    series_style style = style_line; // a value outside the enumeration draws nothing
    uint32_t color = 0; // 0xRRGGBB
    double radius = 0; // marker radius in x-axis data units, 0 = the style's default
    std::optional<std::string> name; // swoop file the series belongs to, or a marker's name; none = unnamed
    std::optional<std::string> label; // legend text; none = not in the legend
    std::vector<vec2> points; // (x, y) in data units; points.size() == count
    uint32_t count = 0; // points in use
    uint32_t capacity = 0; // points allocated
};

// A zoomed part of a plot: the data ranges to draw, in data units.
struct plot_view {
    double x_min = 0, x_max = 0;
    double y_min = 0, y_max = 0;
};

// An arrow in a top corner of the plot area (the one the legend leaves
// free), whatever the zoom: a direction in the plot's data axes, and a text
// beside it, on a light box as the legend's.
struct plot_arrow {
    vec2 toward {}; // data units, any length; a zero vector draws the text alone
    std::string label;
    uint32_t color = 0; // 0xRRGGBB
};

struct plot {
    std::string title; // centred above the plot area
    std::string x_label; // centred below the plot area
    std::string y_label; // rotated, reading upwards, left of the plot area
    bool x_reversed = false; // x grows from right to left
    bool y_down = false; // y grows downwards
    bool equal_scale = false; // one data unit has the same length on both axes
    bool legend_right = false; // legend at the top right of the plot area (else top left)
    double x_step = 0; // data units between labelled x grid lines, 0 = chosen by the renderer
    double y_step = 0; // the same for y
    std::unique_ptr<::series> series; // drawn in list order, first added first
    std::optional<plot_view> view; // drawn instead of the whole plot (grid and ticks of its own), or none
    std::optional<plot_arrow> arrow; // a corner arrow (the wind on the overhead view), or none
};

// How a rendering sizes its texts. The defaults draw the plot as specified
// for every surface.
struct plot_render_options {
    // Surface units: texts never come out smaller. The plot area shrinks to
    // make room, and where tick labels would collide only every second (then
    // fourth, ...) grid line is labelled. 0 = the size the cell height gives.
    double min_font_size = 0;
};

// Working record of one rendering (surface units unless noted).
struct plot_layout {
    bool vector = false; // target is a PDF surface: no pixel snapping
    double cell_x = 0, cell_y = 0, cell_width = 0, cell_height = 0;
    double area_left = 0, area_top = 0, area_width = 0, area_height = 0; // inside the frame
    double x_min = 0, x_max = 0, x_step = 0; // data units
    double y_min = 0, y_max = 0, y_step = 0; // data units
    double line_width = 0; // lw: 0.002 x cell height, at most 1
    double font_size = 0; // 0.0225 x cell height, at most 12 (or the options' minimum)
    bool zoomed = false; // the ranges are the plot's view
    bool legible = false; // the options raised the font size: margins made from the texts
    double gap = 0; // legible: space between texts and the area
    double tick_label_height = 0; // legible: height of a tick label's ink
    int x_label_every = 1, y_label_every = 1; // label every n-th grid line (legible)
};

// A zeroed plot, or none when memory runs out.
std::unique_ptr<plot> plot_new();

// Frees the plot with its texts and every series; accepts none.
void plot_free(std::unique_ptr<plot>& p);

// Appends a series (or a whole chain of series linked by next) at the end of
// the list. The plot takes ownership; none is ignored.
void plot_add_series(plot& p, std::unique_ptr<series> s);

// A zeroed series with room for capacity points, or none when memory runs out.
std::unique_ptr<series> series_new(uint32_t capacity);

// Appends a point, doubling the room when it is full. False (and the series
// unchanged) when memory runs out.
bool series_add_point(series& s, const vec2& point);

// Frees a series together with any chain still linked behind it; accepts none.
void series_free(std::unique_ptr<series>& s);

// Sets the player marker called name: the first style-6 series with that name
// gets the one point, or no point when point is null. Without such a series a
// new teal (0x00B0B0) style-6 series is appended. Returns the marker series,
// or null when memory runs out.
series* plot_set_marker(plot& p, const char* name, const vec2* point);

// Removes and frees every series whose name equals name.
void plot_remove_series(plot& p, const char* name);

// A grid step for about count intervals over range (data units): 2, 2.5, 5
// or 10 times a power of ten.
double nice_step(double range, int count);

// Draws the plot into a cell of the context's clip area: 0 (or anything
// outside 1..13) the whole area, 1 to 4 the quarters (top left, top right,
// bottom left, bottom right), 5 to 13 the ninths row by row from the top
// left. Nothing happens for a null plot. Only the drawing state of the
// context changes.
void plot_render(cairo_t* cr, const plot* p, int cell, const plot_render_options& options = {});

// The cell, ranges, steps and plot area plot_render would use.
plot_layout plot_compute_layout(
    cairo_t* cr, const plot& p, int cell, const plot_render_options& options = {});

// A data point's position on the surface in a layout of the plot, and the
// data point at a surface position.
vec2 plot_to_surface(const plot_layout& l, const plot& p, const vec2& data);
vec2 plot_to_data(const plot_layout& l, const plot& p, double x, double y);

// The y of a series at x, interpolated on its first segment (in point order)
// that spans x; none when no segment does.
std::optional<double> series_y_at(const series& s, double x);

// One grid position of an axis: the half step i from the minimum, its value,
// and whether it is a whole multiple of the step (gets a grid line and label).
struct plot_tick {
    int index = 0; // half steps from min
    double value = 0; // data units
    bool labelled = false;
};

// The grid positions of an axis from min to max with the given step. At
// least one interval; a value within step/1024 of 0 is reported as 0.
std::vector<plot_tick> plot_axis_ticks(double min, double max, double step);
