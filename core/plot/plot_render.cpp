// SPDX-License-Identifier: GPL-3.0-or-later
// Draws a plot with cairo and pango into one cell of a surface.
//
// Everything is sized from the cell's height. On image and window surfaces
// lines are put on pixel centres so the 1-pixel frame and grid stay sharp;
// on PDF every value passes unchanged.
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <string>
#include <unordered_map>

#include "core/plot/cairo_handles.h"
#include "core/plot/plot.h"

namespace {

using std::numbers::pi;

// Pixel snapping: a no-op on vector (PDF) surfaces.
struct snapper {
    bool vector = false;
    // A length: nearest whole number, halves away from zero.
    double length(double v) const { return vector ? v : std::round(v); }
    // A coordinate: onto a pixel centre.
    double coord(double v) const { return vector ? v : std::round(v + 0.5) - 0.5; }
    // A grid-line end: the snapped coordinate rounded up to a whole pixel.
    double line_end(double v) const { return vector ? v : std::ceil(coord(v)); }
};

// What pango measures of a text: ink offsets and height, logical width
// (surface units).
struct text_metrics {
    double ink_x = 0, ink_y = 0, ink_height = 0, width = 0;
};

// Measurements already made on this thread. A text measures the same for the
// same font size, surface kind, device scale, transformation and font
// options, so a player tick that redraws a page with the same axes shapes no
// tick label again. Cleared when it grows past some thousands of texts.
std::unordered_map<std::string, text_metrics>& measured_texts()
{
    thread_local std::unordered_map<std::string, text_metrics> texts;
    if (texts.size() > 4096)
        texts.clear();
    return texts;
}

// One pango layout, reused for every text of a rendering ("arial" at the
// cell's font size, black). It is made when a text is first drawn or must be
// measured.
class text_pen {
public:
    text_pen(cairo_t* cr, double font_size)
        : cr_(cr)
        , font_size_(font_size)
    {
        describe_context();
    }

    // Sets the text and measures it.
    void set(const char* text)
    {
        text_.assign(text);
        in_layout_ = false;
        lookup_.assign(context_).append(text_);
        auto& texts = measured_texts();
        const auto known = texts.find(lookup_);
        if (known != texts.end()) {
            put(known->second);
            return;
        }
        to_layout();
        PangoRectangle ink, logical;
        pango_layout_get_extents(layout_.get(), &ink, &logical);
        const text_metrics m { double(ink.x) / PANGO_SCALE, double(ink.y) / PANGO_SCALE,
            double(ink.height) / PANGO_SCALE, double(logical.width) / PANGO_SCALE };
        put(m);
        texts.emplace(lookup_, m);
    }

    // Draws the current text with its ink box starting at (x, y).
    void draw(double x, double y)
    {
        to_layout();
        cairo_move_to(cr_, x - ink_x, y - ink_y);
        pango_cairo_show_layout(cr_, layout_.get());
    }

    // After the context's transformation changed (set the text again).
    void update()
    {
        if (layout_)
            pango_cairo_update_layout(cr_, layout_.get());
        describe_context();
    }

    double ink_x = 0, ink_y = 0, ink_height = 0, width = 0; // surface units

private:
    void put(const text_metrics& m)
    {
        ink_x = m.ink_x;
        ink_y = m.ink_y;
        ink_height = m.ink_height;
        width = m.width;
    }

    // The layout, holding the current text.
    void to_layout()
    {
        if (!layout_) {
            layout_.reset(pango_cairo_create_layout(cr_));
            font_.reset(pango_font_description_from_string("arial"));
            pango_font_description_set_absolute_size(font_.get(), font_size_ * PANGO_SCALE);
            pango_layout_set_font_description(layout_.get(), font_.get());
        }
        if (!in_layout_) {
            pango_layout_set_text(layout_.get(), text_.c_str(), -1);
            in_layout_ = true;
        }
    }

    // What a measurement depends on besides the text: the font size, the
    // kind of surface, its device scale and font options, and the
    // transformation.
    void describe_context()
    {
        cairo_surface_t* target = cairo_get_target(cr_);
        double sx = 1, sy = 1;
        cairo_surface_get_device_scale(target, &sx, &sy);
        cairo_matrix_t m;
        cairo_get_matrix(cr_, &m);
        cairo_font_options_ptr options(cairo_font_options_create());
        cairo_surface_get_font_options(target, options.get());
        char buf[192];
        std::snprintf(buf, sizeof buf, "%a %d %a %a %a %a %a %a %lu|", font_size_,
            int(cairo_surface_get_type(target)), sx, sy, m.xx, m.yx, m.xy, m.yy,
            cairo_font_options_hash(options.get()));
        context_ = buf;
    }

    cairo_t* cr_;
    double font_size_;
    std::string context_; // describe_context()
    std::string text_; // the current text
    std::string lookup_; // context_ and text_: the key of measured_texts()
    bool in_layout_ = false; // the layout holds text_
    gobject_ptr<PangoLayout> layout_;
    pango_font_ptr font_;
};

bool finite_point(const vec2& p)
{
    return std::isfinite(p[0]) && std::isfinite(p[1]);
}

void set_color(cairo_t* cr, uint32_t color)
{
    cairo_set_source_rgb(cr, double((color >> 16) & 0xff) / 255, double((color >> 8) & 0xff) / 255,
        double(color & 0xff) / 255);
}

void set_dash(cairo_t* cr, double on, double off)
{
    const double dashes[2] = { on, off };
    cairo_set_dash(cr, dashes, 2, 0);
}

// Data to surface coordinates.
struct mapper {
    const plot_layout& l;
    bool x_reversed, y_down;
    double kx, ky; // surface units per data unit

    double x(double v) const
    {
        return x_reversed ? l.area_left + l.area_width - (v - l.x_min) * kx
                          : l.area_left + (v - l.x_min) * kx;
    }
    double y(double v) const
    {
        return y_down ? l.area_top + (v - l.y_min) * ky : l.area_top + l.area_height - (v - l.y_min) * ky;
    }
};

mapper mapper_of(const plot& p, const plot_layout& l)
{
    return { l, p.x_reversed, p.y_down, l.area_width / (l.x_max - l.x_min),
        l.area_height / (l.y_max - l.y_min) };
}

// The grid positions of a zoomed view: every half step inside min to max
// (its edges need not be whole steps), labelled at whole steps.
std::vector<plot_tick> view_ticks(double min, double max, double step)
{
    std::vector<plot_tick> ticks;
    const double half = step / 2;
    if (!(half > 0) || !std::isfinite(min) || !std::isfinite(max) || (max - min) / half > 1000)
        return ticks;
    const double tolerance = step / 1024;
    for (double k = std::ceil((min - tolerance) / half); k * half <= max + tolerance; k++) {
        plot_tick t;
        t.index = int(ticks.size());
        t.value = k * half;
        t.labelled = std::fmod(std::fabs(k), 2) == 0;
        if (std::fabs(t.value) <= tolerance)
            t.value = 0;
        ticks.push_back(t);
    }
    return ticks;
}

void draw_grid(cairo_t* cr, const plot& p, const plot_layout& l, const snapper& snap, text_pen& pen)
{
    const double lw = l.line_width;
    const double h = l.cell_height;
    const double dash = l.vector ? lw : std::ceil(lw);
    const double area_right = l.area_left + l.area_width;
    const double area_bottom = l.area_top + l.area_height;

    struct grid_line {
        double x1, y1, x2, y2;
    };
    struct label {
        double pos; // position of its grid line across the axis
        double value; // data units
        bool is_x;
    };
    std::vector<grid_line> dashed, zero;
    std::vector<label> labels;

    const mapper m = mapper_of(p, l);
    for (int axis = 0; axis < 2; axis++) {
        const bool is_x = axis == 0;
        const double min = is_x ? l.x_min : l.y_min, max = is_x ? l.x_max : l.y_max;
        const double step = is_x ? l.x_step : l.y_step;
        const int every = is_x ? l.x_label_every : l.y_label_every;
        // A zoomed view's grid lines lie at multiples of the step inside its
        // ranges; the whole plot's ranges are whole half steps themselves.
        const std::vector<plot_tick> ticks
            = l.zoomed ? view_ticks(min, max, step) : plot_axis_ticks(min, max, step);
        const int n = int(ticks.size()) - 1;
        for (const plot_tick& t : ticks) {
            if (!t.labelled)
                continue;
            const int i = t.index;
            double pos;
            if (l.zoomed)
                pos = is_x ? m.x(t.value) : m.y(t.value);
            else if (is_x)
                pos = p.x_reversed ? area_right - i * l.area_width / n : l.area_left + i * l.area_width / n;
            else
                pos = p.y_down ? l.area_top + i * l.area_height / n : area_bottom - i * l.area_height / n;
            const bool inner = l.zoomed ? pos > (is_x ? l.area_left : l.area_top) + 0.5
                    && pos < (is_x ? area_right : area_bottom) - 0.5
                                        : i > 0 && i < n;
            if (inner) {
                const double c = snap.coord(pos);
                const grid_line g = is_x
                    ? grid_line { c, snap.line_end(l.area_top), c, snap.line_end(area_bottom) }
                    : grid_line { snap.line_end(l.area_left), c, snap.line_end(area_right), c };
                (t.value == 0 ? zero : dashed).push_back(g);
            }
            if (every == 1 || std::llround(t.value / step) % every == 0)
                labels.push_back({ pos, t.value, is_x });
        }
    }

    // The lines of one kind go into one path and one stroke; the dash
    // pattern starts afresh at every line, as with a stroke per line.
    cairo_set_source_rgb(cr, 0, 0, 0);
    if (!dashed.empty()) {
        cairo_set_line_width(cr, lw / 2);
        set_dash(cr, dash, 2 * dash);
        for (const grid_line& g : dashed) {
            cairo_move_to(cr, g.x1, g.y1);
            cairo_line_to(cr, g.x2, g.y2);
        }
        cairo_stroke(cr);
    }
    if (!zero.empty()) { // the line at 0 is solid and twice as wide
        cairo_set_line_width(cr, lw);
        cairo_set_dash(cr, nullptr, 0, 0);
        for (const grid_line& g : zero) {
            cairo_move_to(cr, g.x1, g.y1);
            cairo_line_to(cr, g.x2, g.y2);
        }
        cairo_stroke(cr);
    }

    // "%.4g" labels: x centred under its line, y right-aligned left of the area.
    const double offset = l.legible ? l.gap : 0.012 * h;
    char text[64];
    for (const label& b : labels) {
        std::snprintf(text, sizeof text, "%.4g", b.value);
        pen.set(text);
        if (b.is_x)
            pen.draw(
                snap.coord(b.pos) - snap.coord(pen.width / 2), snap.coord(area_bottom) + snap.coord(offset));
        else
            pen.draw(snap.coord(l.area_left) - snap.coord(offset) - pen.width,
                snap.coord(b.pos) - snap.coord(pen.ink_height / 2));
    }
}

void draw_titles(cairo_t* cr, const plot& p, const plot_layout& l, text_pen& pen)
{
    const double w = l.cell_width, h = l.cell_height;
    cairo_set_source_rgb(cr, 0, 0, 0);

    // With texts made legible the margins are made from the texts: the title
    // a gap below the cell's top, the x label below the tick labels, the y
    // label a gap from the cell's left.
    const double title_y = l.legible ? l.cell_y + l.gap : l.cell_y + 0.03 * h;
    const double x_label_y = l.legible ? l.area_top + l.area_height + 2 * l.gap + l.tick_label_height
                                       : l.area_top + l.area_height + 0.0495 * h;
    const double y_label_x = l.legible ? l.cell_x + l.gap : l.area_left - 0.092 * w;

    pen.set(p.title.c_str());
    pen.draw(std::trunc(l.cell_x + w / 2 - pen.width / 2), std::trunc(title_y));

    pen.set(p.x_label.c_str());
    pen.draw(std::trunc(l.cell_x + w / 2 - pen.width / 2), std::trunc(x_label_y));

    // The y label reads upwards: in the turned frame x runs up the cell and
    // y runs rightwards.
    cairo_save(cr);
    cairo_rotate(cr, -pi / 2);
    pen.update();
    pen.set(p.y_label.c_str());
    pen.draw(std::trunc(-l.cell_y - h / 2 - pen.width / 2), std::trunc(y_label_x));
    cairo_restore(cr);
    pen.update();
}

// The path of one star marker: four quarter arcs of radius q = 2 r whose
// tips lie q from the centre.
void star_path(cairo_t* cr, double x, double y, double r)
{
    const double q = 2 * r;
    cairo_new_path(cr);
    cairo_arc(cr, x - q, y - q, q, 0, pi / 2);
    cairo_arc(cr, x + q, y - q, q, pi / 2, pi);
    cairo_arc(cr, x + q, y + q, q, pi, 3 * pi / 2);
    cairo_arc(cr, x - q, y + q, q, 3 * pi / 2, 2 * pi);
}

void draw_series(cairo_t* cr, const plot& p, const plot_layout& l)
{
    const double lw = l.line_width;
    const mapper m = mapper_of(p, l);
    std::vector<vec2> device; // device points of the current series
    if (l.zoomed) { // a view cuts the series at the frame
        cairo_save(cr);
        cairo_rectangle(cr, l.area_left, l.area_top, l.area_width, l.area_height);
        cairo_clip(cr);
    }

    for (const series* s = p.series.get(); s; s = s->next.get()) {
        if (s->style < style_line || s->style > style_dashed_key)
            continue;
        set_color(cr, s->color);
        device.clear();
        for (uint32_t k = 0; k < s->count; k++) {
            const vec2& pt = s->points[k];
            if (finite_point(pt)) // a point that cannot be placed is left out
                device.push_back({ m.x(pt[0]), m.y(pt[1]) });
        }
        if (device.empty())
            continue;
        const double scaled = s->radius * m.kx; // override radius, surface units

        switch (s->style) {
        case style_fill: {
            cairo_save(cr);
            cairo_set_source_rgba(cr, double((s->color >> 16) & 0xff) / 255,
                double((s->color >> 8) & 0xff) / 255, double(s->color & 0xff) / 255, 0.2);
            cairo_new_path(cr);
            for (const vec2& d : device)
                cairo_line_to(cr, d[0], d[1]);
            cairo_close_path(cr);
            cairo_fill(cr);
            cairo_restore(cr);
            break;
        }
        case style_line:
        case style_dotted:
        case style_dashed:
        case style_dashed_key:
        case style_line_dots:
            if (s->style == style_dotted) {
                cairo_set_line_width(cr, 2 * lw);
                set_dash(cr, 2 * lw, 2 * lw);
            } else if (s->style == style_dashed || s->style == style_dashed_key) {
                cairo_set_line_width(cr, lw);
                set_dash(cr, 3 * lw, 6 * lw);
            } else {
                cairo_set_line_width(cr, lw);
                cairo_set_dash(cr, nullptr, 0, 0);
            }
            cairo_new_path(cr);
            cairo_move_to(cr, device[0][0], device[0][1]);
            for (size_t k = 1; k < device.size(); k++)
                cairo_line_to(cr, device[k][0], device[k][1]);
            cairo_stroke(cr);
            if (s->style == style_line_dots) {
                const double r = s->radius != 0 ? scaled : 1.7 * lw;
                for (const vec2& d : device) {
                    cairo_new_sub_path(cr);
                    cairo_arc(cr, d[0], d[1], r, 0, 2 * pi);
                }
                cairo_fill(cr);
            }
            break;
        case style_dots:
        case style_circles: {
            const double r = s->radius != 0 ? scaled : (s->style == style_dots ? 3 : 2) * lw;
            cairo_new_path(cr);
            for (const vec2& d : device) {
                cairo_new_sub_path(cr);
                cairo_arc(cr, d[0], d[1], r, 0, 2 * pi);
            }
            if (s->style == style_dots) {
                cairo_fill(cr);
            } else {
                cairo_set_line_width(cr, lw);
                cairo_set_dash(cr, nullptr, 0, 0); // circles are never dashed
                cairo_stroke(cr);
            }
            break;
        }
        case style_marker: {
            const double r = s->radius != 0 ? scaled : 3 * lw;
            for (const vec2& d : device) {
                star_path(cr, d[0], d[1], r);
                cairo_fill(cr);
            }
            break;
        }
        default:
            break;
        }
    }
    if (l.zoomed)
        cairo_restore(cr);
}

void draw_legend(cairo_t* cr, const plot& p, const plot_layout& l, const snapper& snap, text_pen& pen)
{
    int rows = 0;
    double widest = 0;
    for (const series* s = p.series.get(); s; s = s->next.get()) {
        if (!s->label)
            continue;
        pen.set(s->label->c_str());
        widest = std::max(widest, pen.width);
        rows++;
    }
    if (rows == 0)
        return;

    const double lw = l.line_width, fs = l.font_size;
    const double row_height = snap.length(1.2 * fs);
    const double sample = snap.length(18 * lw);
    const double pad = snap.length(0.25 * fs);
    const double box_height = rows * row_height;
    const double box_width = sample + pad + widest;
    const double top = snap.coord(l.area_top) + snap.coord(fs);
    const double left = p.legend_right ? snap.coord(l.area_left + l.area_width) - snap.coord(fs) - box_width
                                       : snap.coord(l.area_left) + snap.coord(fs);

    cairo_set_source_rgb(cr, 0.96, 0.96, 0.96);
    cairo_rectangle(cr, left - pad, top - pad, box_width + 2 * pad, box_height + 2 * pad);
    cairo_fill(cr);

    cairo_set_line_width(cr, 1.5 * lw);
    cairo_set_dash(cr, nullptr, 0, 0);
    int k = 0;
    for (const series* s = p.series.get(); s; s = s->next.get()) {
        if (!s->label)
            continue;
        const double y = top + k * row_height;
        pen.set(s->label->c_str());
        const double mid = snap.length(pen.ink_height / 2);
        set_color(cr, s->color);
        if (s->style == style_line || s->style == style_dotted || s->style == style_dashed
            || s->style == style_line_dots) {
            cairo_move_to(cr, left, y + mid);
            cairo_line_to(cr, left + sample, y + mid);
            cairo_stroke(cr);
        } else if (s->style == style_dashed_key) {
            set_dash(cr, 3 * lw, 3 * lw);
            cairo_move_to(cr, left, y + mid);
            cairo_line_to(cr, left + sample, y + mid);
            cairo_stroke(cr);
            cairo_set_dash(cr, nullptr, 0, 0);
        } else {
            cairo_new_path(cr);
            cairo_arc(cr, left + sample / 2, y + mid, 3 * lw, 0, 2 * pi);
            cairo_fill(cr);
        }
        cairo_set_source_rgb(cr, 0, 0, 0);
        pen.draw(left + sample + pad, y);
        k++;
    }
}

// The corner arrow: on a light box in the top corner of the area the legend
// leaves free, its text and then the arrow in a square of two font sizes
// (the text alone without a direction).
void draw_arrow(cairo_t* cr, const plot& p, const plot_layout& l, const snapper& snap, text_pen& pen)
{
    if (!p.arrow)
        return;
    const plot_arrow& a = *p.arrow;
    const double fs = l.font_size, lw = l.line_width;
    const double pad = snap.length(0.25 * fs);
    const double side = snap.length(2 * fs);

    // The direction on the surface: the axes' senses and scales apply.
    const mapper m = mapper_of(p, l);
    double dx = a.toward[0] * m.kx * (p.x_reversed ? -1 : 1);
    double dy = a.toward[1] * m.ky * (p.y_down ? 1 : -1);
    const double length = std::hypot(dx, dy);
    const bool has_arrow = length > 0 && std::isfinite(length);

    pen.set(a.label.c_str());
    const double box_width = pen.width + (has_arrow ? pad + side : 0);
    const double box_height = std::max(pen.ink_height, has_arrow ? side : 0.0);
    const double top = snap.coord(l.area_top) + snap.coord(fs);
    const double left = p.legend_right ? snap.coord(l.area_left) + snap.coord(fs)
                                       : snap.coord(l.area_left + l.area_width) - snap.coord(fs) - box_width;
    cairo_set_source_rgb(cr, 0.96, 0.96, 0.96);
    cairo_rectangle(cr, left - pad, top - pad, box_width + 2 * pad, box_height + 2 * pad);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    pen.draw(left, top + snap.length((box_height - pen.ink_height) / 2));
    if (!has_arrow)
        return;

    dx /= length;
    dy /= length;
    const double cx = left + pen.width + pad + side / 2, cy = top + box_height / 2;
    const double half = 0.48 * side, head = 0.4 * side, wing = 0.22 * side;
    const double tx = cx + dx * half, ty = cy + dy * half; // the tip
    set_color(cr, a.color);
    cairo_set_line_width(cr, std::max(2.5 * lw, 1.5));
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_new_path(cr);
    cairo_move_to(cr, cx - dx * half, cy - dy * half);
    cairo_line_to(cr, tx - dx * head * 0.7, ty - dy * head * 0.7);
    cairo_stroke(cr);
    cairo_new_path(cr);
    cairo_move_to(cr, tx, ty);
    cairo_line_to(cr, tx - dx * head - dy * wing, ty - dy * head + dx * wing);
    cairo_line_to(cr, tx - dx * head + dy * wing, ty - dy * head - dx * wing);
    cairo_close_path(cr);
    cairo_fill(cr);
}

// The integer part of an interval-count ratio, from 1 up to its limit. The
// ratio of the shorter span to the longer stays below the limit, but spans
// near the range of a double overflow it to infinity, or leave no number at
// all when both are infinite (equal spans, which the rule gives the limit);
// neither converts to an int, so both take the limit.
int interval_count(double ratio, int limit)
{
    if (!(ratio < limit))
        return limit;
    if (!(ratio >= 1))
        return 1;
    return int(ratio);
}

// The widest "%.4g" label of an axis's labelled grid lines (surface units).
double widest_label(text_pen& pen, const plot_layout& l, bool is_x)
{
    const double min = is_x ? l.x_min : l.y_min, max = is_x ? l.x_max : l.y_max;
    const double step = is_x ? l.x_step : l.y_step;
    double widest = 0;
    char text[64];
    for (const plot_tick& t : l.zoomed ? view_ticks(min, max, step) : plot_axis_ticks(min, max, step)) {
        if (!t.labelled)
            continue;
        std::snprintf(text, sizeof text, "%.4g", t.value);
        pen.set(text);
        widest = std::max(widest, pen.width);
    }
    return widest;
}

// The smallest power of two n such that labels of the given extent, with a
// gap, fit between every n-th grid line spacing apart.
int label_every(double extent, double gap, double spacing)
{
    int every = 1;
    while (every < 64 && extent + gap > every * spacing)
        every *= 2;
    return every;
}

// Texts at the options' size: the margins around the plot area are made
// from the texts (title above; tick labels and the x label below; the y
// label and the widest y tick label to the left; half the widest x tick
// label to the right), never smaller than the usual ones, and tick labels
// that would collide are thinned out.
void make_legible(cairo_t* cr, double font_size, plot_layout& l)
{
    l.legible = true;
    l.font_size = font_size;
    l.gap = std::round(0.4 * font_size);
    text_pen pen(cr, font_size);
    pen.set("0123456789");
    l.tick_label_height = pen.ink_height;
    pen.set("Mg");
    const double text_height = pen.ink_height; // a title or axis label with ascender and descender
    const double y_widest = widest_label(pen, l, false);
    const double x_widest = widest_label(pen, l, true);

    const double w = l.cell_width, h = l.cell_height;
    const double top = std::max(0.08 * h, 2 * l.gap + text_height);
    const double bottom = std::max(0.08 * h, 4 * l.gap + l.tick_label_height + text_height);
    const double left = std::max(0.1 * w, 3 * l.gap + text_height + y_widest);
    const double right = std::max(0.06 * w, l.gap + x_widest / 2);
    l.area_left = l.cell_x + left;
    l.area_top = l.cell_y + top;
    l.area_width = std::max(1.0, w - left - right);
    l.area_height = std::max(1.0, h - top - bottom);
}

// Legible texts on the final plot area: every n-th grid line labelled where
// labels would collide.
void thin_labels(cairo_t* cr, plot_layout& l)
{
    text_pen pen(cr, l.font_size);
    const double x_spacing = l.area_width * l.x_step / (l.x_max - l.x_min);
    const double y_spacing = l.area_height * l.y_step / (l.y_max - l.y_min);
    l.x_label_every = label_every(widest_label(pen, l, true), 2 * l.gap, x_spacing);
    l.y_label_every = label_every(l.tick_label_height, l.gap, y_spacing);
}

} // namespace

std::vector<plot_tick> plot_axis_ticks(double min, double max, double step)
{
    std::vector<plot_tick> ticks;
    const double half = step / 2;
    double span = (max - min) / half;
    // The limits are whole multiples of the half step, so span is whole up to
    // rounding; a hair's tolerance keeps 21.999999 from losing the last line.
    int n = 1;
    if (std::isfinite(span) && span >= 1)
        n = int(std::min(span + 1e-7, 100000.0));
    const double tolerance = step / 1024;
    ticks.reserve(size_t(n) + 1);
    for (int i = 0; i <= n; i++) {
        plot_tick t;
        t.index = i;
        t.value = min + i * step / 2;
        const double r = std::fmod(t.value, step);
        t.labelled = std::fabs(r) <= tolerance || std::fabs(std::fabs(r) - step) <= tolerance;
        // Rounding leaves 0 as 1e-17 and the like; the zero line is solid
        // and labelled "0".
        if (std::fabs(t.value) <= tolerance)
            t.value = 0;
        ticks.push_back(t);
    }
    return ticks;
}

plot_layout plot_compute_layout(cairo_t* cr, const plot& p, int cell, const plot_render_options& options)
{
    plot_layout l;
    l.vector = cairo_surface_get_type(cairo_get_target(cr)) == CAIRO_SURFACE_TYPE_PDF;

    // The cell.
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    const double W = x2 - x1, H = y2 - y1;
    if (cell >= 1 && cell <= 4) {
        const int k = cell - 1;
        l.cell_width = W / 2;
        l.cell_height = H / 2;
        l.cell_x = x1 + (k % 2) * W / 2;
        l.cell_y = y1 + (k / 2) * H / 2;
    } else if (cell >= 5 && cell <= 13) {
        const int k = cell - 5;
        l.cell_width = W / 3;
        l.cell_height = H / 3;
        l.cell_x = x1 + (k % 3) * W / 3;
        l.cell_y = y1 + (k / 3) * H / 3;
    } else {
        l.cell_x = x1;
        l.cell_y = y1;
        l.cell_width = W;
        l.cell_height = H;
    }
    const double w = l.cell_width, h = l.cell_height;
    l.line_width = std::min(0.002 * h, 1.0);
    l.font_size = std::min(0.0225 * h, 12.0);

    // Ranges: every point of every series, or 0 to 100.
    l.x_min = 0, l.x_max = 100, l.y_min = 0, l.y_max = 100;
    bool first = true;
    for (const series* s = p.series.get(); s; s = s->next.get()) {
        for (uint32_t k = 0; k < s->count; k++) {
            const vec2& pt = s->points[k];
            if (!finite_point(pt))
                continue;
            if (first) {
                l.x_min = l.x_max = pt[0];
                l.y_min = l.y_max = pt[1];
                first = false;
            } else {
                l.x_min = std::min(l.x_min, pt[0]);
                l.x_max = std::max(l.x_max, pt[0]);
                l.y_min = std::min(l.y_min, pt[1]);
                l.y_max = std::max(l.y_max, pt[1]);
            }
        }
    }
    double sx = l.x_max - l.x_min, sy = l.y_max - l.y_min;
    if (sx == 0)
        sx = 100;
    if (sy == 0)
        sy = 100;

    // Interval counts. With equal_scale the shorter axis gets fewer, but
    // never none: nice_step needs at least one interval.
    int x_count = 10, y_count = 10;
    if (p.equal_scale) {
        if (sx / sy > 1)
            y_count = interval_count(12 * sy / sx, 12);
        else
            x_count = interval_count(10 * sx / sy, 10);
    }

    // Steps. A plot's own step over a span of more than 100 of them (a
    // track with a wild sample) would draw a grid line and a label for each;
    // the renderer chooses the step then, as for a step of 0.
    const auto step = [](double own, double span, int count) {
        return own != 0 && span / own <= 100 ? own : nice_step(span, count);
    };
    l.x_step = step(p.x_step, sx, x_count);
    l.y_step = step(p.y_step, sy, y_count);

    // 2% margins, then out to whole half steps.
    l.x_min -= 0.02 * sx;
    l.x_max += 0.02 * sx;
    l.y_min -= 0.02 * sy;
    l.y_max += 0.02 * sy;
    const double xh = l.x_step / 2, yh = l.y_step / 2;
    l.x_min = std::floor(l.x_min / xh) * xh;
    l.x_max = std::ceil(l.x_max / xh) * xh;
    l.y_min = std::floor(l.y_min / yh) * yh;
    l.y_max = std::ceil(l.y_max / yh) * yh;

    // A zoomed view: its own ranges, with steps for them.
    if (p.view && p.view->x_max > p.view->x_min && p.view->y_max > p.view->y_min) {
        l.zoomed = true;
        l.x_min = p.view->x_min;
        l.x_max = p.view->x_max;
        l.y_min = p.view->y_min;
        l.y_max = p.view->y_max;
        l.x_step = nice_step(l.x_max - l.x_min, x_count);
        l.y_step = nice_step(l.y_max - l.y_min, y_count);
    }

    // The plot area.
    l.area_left = l.cell_x + 0.1 * w;
    l.area_top = l.cell_y + 0.08 * h;
    l.area_width = 0.84 * w;
    l.area_height = 0.84 * h;
    if (options.min_font_size > l.font_size)
        make_legible(cr, options.min_font_size, l);
    if (p.equal_scale) {
        const double xs = l.x_max - l.x_min, ys = l.y_max - l.y_min;
        if (xs / ys > l.area_width / l.area_height) {
            const double height = l.area_width * (ys / xs);
            l.area_top += (l.area_height - height) / 2;
            l.area_height = height;
        } else {
            const double width = l.area_height * (xs / ys);
            l.area_left += (l.area_width - width) / 2;
            l.area_width = width;
        }
    }
    if (l.legible)
        thin_labels(cr, l);
    return l;
}

void plot_render(cairo_t* cr, const plot* p, int cell, const plot_render_options& options)
{
    if (!p || !cr)
        return;
    const plot_layout l = plot_compute_layout(cr, *p, cell, options);
    const snapper snap { l.vector };

    cairo_save(cr);
    cairo_new_path(cr);

    // White cell.
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, l.cell_x, l.cell_y, l.cell_width, l.cell_height);
    cairo_fill(cr);

    // Frame.
    const double left = snap.coord(l.area_left), top = snap.coord(l.area_top);
    const double right = snap.coord(l.area_left + l.area_width);
    const double bottom = snap.coord(l.area_top + l.area_height);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, l.line_width);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_stroke(cr);

    text_pen pen(cr, l.font_size);
    draw_grid(cr, *p, l, snap, pen);
    draw_titles(cr, *p, l, pen);
    draw_series(cr, *p, l);
    draw_legend(cr, *p, l, snap, pen);
    draw_arrow(cr, *p, l, snap, pen);

    cairo_restore(cr);
}

vec2 plot_to_surface(const plot_layout& l, const plot& p, const vec2& data)
{
    const mapper m = mapper_of(p, l);
    return { m.x(data[0]), m.y(data[1]) };
}

vec2 plot_to_data(const plot_layout& l, const plot& p, double x, double y)
{
    const mapper m = mapper_of(p, l);
    const double dx = p.x_reversed ? l.area_left + l.area_width - x : x - l.area_left;
    const double dy = p.y_down ? y - l.area_top : l.area_top + l.area_height - y;
    return { l.x_min + dx / m.kx, l.y_min + dy / m.ky };
}
