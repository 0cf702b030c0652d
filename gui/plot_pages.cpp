// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/plot_pages.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/files/kml_writer.h"
#include "core/geometry/geodetic.h"
#include "core/platform/glib_handles.h"
#include "core/plot/cairo_handles.h"
#include "core/plot/plot_catalogue.h"
#include "core/plot/plot_wind.h"
#include "core/swoop/point_at.h"
#include "core/swoop/report.h"
#include "core/swoop/samples_csv.h"
#include "core/swoop/wind_report.h"
#include "gui/dialogs.h"
#include "gui/gtk_helpers.h"
#include "gui/page_export.h"
#include "gui/plot_readout.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* surface_key = "surface";
constexpr const char* label_key = "label";
constexpr const char* state_key = "page_state";
constexpr uint32_t overlay_grey = 0x808080;
constexpr double zoom_step = 1.25; // one wheel step zooms out by this factor, or in by its inverse
constexpr double readout_offset = 16; // px from the pointer to the readout

uint64_t renders = 0; // plot page renderings since the start

plot_pages_part& part_of(gpointer data)
{
    return *static_cast<plot_pages_part*>(data);
}

plot_render_options window_render_options()
{
    plot_render_options options;
    options.min_font_size = page_min_font_size;
    return options;
}

} // namespace

// One plot of a rendered page, where it was drawn.
struct page_cell {
    int plot; // index in plot_set
    int cell; // the renderer's cell code
    plot_layout layout;
};

// What a plot page keeps: its rendering and where each plot lies in it, and
// the pointer over it. Attached to its drawing area, freed with it.
struct page_state {
    plot_pages_part* part = nullptr;
    const plot_page* layout = nullptr; // the page's cells
    GtkWidget* overlay = nullptr; // the notebook's page
    GtkWidget* area = nullptr; // the drawing area
    GtkWidget* readout = nullptr; // label over it, near the pointer
    int width = 0, height = 0, scale = 0; // of the rendering
    bool dirty = true; // to be rendered at the next allocation
    plot_sheet sheet {};
    std::vector<page_cell> cells; // as rendered last
    int hover = -1; // the cell whose plot area the pointer is over, or -1
    double px = 0, py = 0; // pointer, surface units
    bool pressed = false, dragging = false;
    int press_cell = -1;
    double press_x = 0, press_y = 0, last_x = 0, last_y = 0;
    source_id click; // a click waiting to be told from a double click
};

namespace {

void update_export_items(plot_pages_part& p);

page_state& state_of(gpointer data)
{
    return *static_cast<page_state*>(data);
}

plot* plot_of(const page_state& st, int cell)
{
    return st.part->plots[size_t(st.cells[size_t(cell)].plot)].get();
}

// The cell whose plot area holds the point, or -1.
int cell_at(const page_state& st, double x, double y)
{
    for (size_t i = 0; i < st.cells.size(); i++) {
        const plot_layout& l = st.cells[i].layout;
        if (plot_of(st, int(i)) && x >= l.area_left && x <= l.area_left + l.area_width && y >= l.area_top
            && y <= l.area_top + l.area_height)
            return int(i);
    }
    return -1;
}

// Where the cells' plots lie on the page, with the rendering's options.
void measure_cells(page_state& st, cairo_t* cr)
{
    st.cells.clear();
    if (!st.layout)
        return;
    for (const plot_cell& c : st.layout->cells) {
        const plot* p = st.part->plots[size_t(c.plot)].get();
        st.cells.push_back({ c.plot, c.cell,
            p ? plot_compute_layout(cr, *p, c.cell, window_render_options()) : plot_layout {} });
    }
}

// A context on the page's rendering, clipped to the sheet.
cairo_context_ptr sheet_context(page_state& st, cairo_surface_t* surface)
{
    cairo_context_ptr cr(cairo_create(surface));
    cairo_rectangle(cr.get(), st.sheet.x0, st.sheet.y0, st.sheet.width, st.sheet.height);
    cairo_clip(cr.get());
    return cr;
}

// "size-allocate" of a plot page: renders its plots into a new image surface
// at the widget's scale factor when its size changed or a redraw was asked
// for. The only place a page renders.
void on_page_size_allocate(GtkWidget* page, GdkRectangle* allocation, gpointer data)
{
    page_state& st = state_of(data);
    plot_pages_part& p = *st.part;
    if (p.model.closing)
        return;
    const int scale = gtk_widget_get_scale_factor(page);
    if (!st.dirty && st.width == allocation->width && st.height == allocation->height && st.scale == scale
        && g_object_get_data(G_OBJECT(page), surface_key))
        return;
    st.dirty = false;
    st.width = allocation->width;
    st.height = allocation->height;
    st.scale = scale;
    const double W = allocation->width, H = allocation->height;
    st.sheet = plot_sheet_for(W, H);

    // An image surface the display takes without a copy where it can
    // (shared memory with the X server), else a plain one.
    GdkWindow* window = gtk_widget_get_window(page);
    cairo_surface_t* surface = window
        ? gdk_window_create_similar_image_surface(
            window, CAIRO_FORMAT_RGB24, int(scale * W), int(scale * H), scale)
        : cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(scale * W), int(scale * H));
    cairo_surface_set_device_scale(surface, scale, scale);
    g_object_set_data_full(G_OBJECT(page), surface_key, surface, GDestroyNotify(cairo_surface_destroy));

    cairo_context_ptr cr(cairo_create(surface));
    cairo_set_source_rgb(cr.get(), 0.33, 0.33, 0.33);
    cairo_paint(cr.get());
    cairo_rectangle(cr.get(), st.sheet.x0, st.sheet.y0, st.sheet.width, st.sheet.height);
    cairo_clip(cr.get());
    cairo_set_source_rgb(cr.get(), 1, 1, 1);
    cairo_paint(cr.get());
    if (st.layout)
        plot_set_render_page(cr.get(), *st.layout, p.plots, window_render_options());
    measure_cells(st, cr.get());
    renders++;
}

// "draw" of a plot page: paints the stored rendering, and the crosshair
// over the plot the pointer is on.
gboolean on_page_draw(GtkWidget* page, cairo_t* cr, gpointer data)
{
    page_state& st = state_of(data);
    auto* surface = static_cast<cairo_surface_t*>(g_object_get_data(G_OBJECT(page), surface_key));
    if (surface)
        cairo_set_source_surface(cr, surface, 0, 0);
    else
        cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    if (st.hover >= 0 && size_t(st.hover) < st.cells.size()) {
        const plot_layout& l = st.cells[size_t(st.hover)].layout;
        const double x = std::round(st.px) + 0.5;
        cairo_set_source_rgba(cr, 0.2, 0.2, 0.2, 0.7);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, x, l.area_top);
        cairo_line_to(cr, x, l.area_top + l.area_height);
        cairo_stroke(cr);
    }
    return FALSE;
}

// Repaints the column the crosshair takes at x.
void queue_crosshair(page_state& st, double x)
{
    if (st.hover < 0 || size_t(st.hover) >= st.cells.size())
        return;
    const plot_layout& l = st.cells[size_t(st.hover)].layout;
    gtk_widget_queue_draw_area(st.area, int(std::floor(x)) - 1, int(std::floor(l.area_top)) - 1, 4,
        int(std::ceil(l.area_height)) + 3);
}

// The swoops drawn on the plots: the selected one first, then the compared
// ones in list order.
std::vector<const swoop*> drawn_swoops(const window_model& m)
{
    std::vector<const swoop*> drawn;
    if (!m.selected)
        return drawn;
    drawn.push_back(m.selected);
    for (const swoop* s : model_overlays(m))
        drawn.push_back(s);
    return drawn;
}

void hide_readout(page_state& st)
{
    queue_crosshair(st, st.px);
    st.hover = -1;
    gtk_widget_hide(st.readout);
}

// The crosshair and the readout at the pointer.
void update_hover(page_state& st)
{
    const int cell = cell_at(st, st.px, st.py);
    if (cell < 0) {
        if (st.hover >= 0)
            hide_readout(st);
        return;
    }
    queue_crosshair(st, st.px);
    st.hover = cell;
    const page_cell& c = st.cells[size_t(cell)];
    const window_model& m = st.part->model;
    const std::string text = plot_readout(*plot_of(st, cell), c.layout, plot_set[size_t(c.plot)],
        drawn_swoops(m), m.options.units, st.px, st.py);
    if (text != gtk_label_get_text(GTK_LABEL(st.readout)))
        gtk_label_set_text(GTK_LABEL(st.readout), text.c_str());
    // Beside the pointer, turned back inside the page at its edges.
    GtkRequisition size {};
    gtk_widget_get_preferred_size(st.readout, nullptr, &size);
    size.width -= gtk_widget_get_margin_start(st.readout); // the size includes the margins
    size.height -= gtk_widget_get_margin_top(st.readout);
    double x = st.px + readout_offset, y = st.py + readout_offset;
    if (x + size.width > st.width)
        x = st.px - readout_offset - size.width;
    if (y + size.height > st.height)
        y = st.py - readout_offset - size.height;
    g_object_set(st.readout, "margin-start", std::max(0, int(x)), "margin-top", std::max(0, int(y)), nullptr);
    gtk_widget_show(st.readout);
    queue_crosshair(st, st.px);
}

// Draws one plot of the page again (after a zoom) into the page's rendering.
void render_cell(page_state& st, int cell)
{
    auto* surface = static_cast<cairo_surface_t*>(g_object_get_data(G_OBJECT(st.area), surface_key));
    page_cell& c = st.cells[size_t(cell)];
    const plot* p = plot_of(st, cell);
    if (!surface || !p)
        return;
    cairo_context_ptr cr = sheet_context(st, surface);
    plot_render(cr.get(), p, c.cell, window_render_options());
    c.layout = plot_compute_layout(cr.get(), *p, c.cell, window_render_options());
    gtk_widget_queue_draw_area(st.area, int(std::floor(c.layout.cell_x)), int(std::floor(c.layout.cell_y)),
        int(std::ceil(c.layout.cell_width)) + 1, int(std::ceil(c.layout.cell_height)) + 1);
}

// The ranges of a plot with no zoom.
plot_view whole_view(page_state& st, int cell)
{
    plot& p = *plot_of(st, cell);
    const std::optional<plot_view> kept = p.view;
    p.view.reset();
    cairo_surface_ptr probe(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1));
    cairo_context_ptr cr(cairo_create(probe.get()));
    const plot_layout l = plot_compute_layout(cr.get(), p, 0);
    p.view = kept;
    return { l.x_min, l.x_max, l.y_min, l.y_max };
}

// Shows a plot with a view (none: the whole plot), and keeps it for the
// next rendering of the plots.
void set_view(page_state& st, int cell, const std::optional<plot_view>& view)
{
    plot_pages_part& p = *st.part;
    const int index = st.cells[size_t(cell)].plot;
    p.views[size_t(index)] = view;
    plot_of(st, cell)->view = view;
    render_cell(st, cell);
    update_hover(st);
}

// One zoom step about the pointer: factor < 1 zooms in. Zooming out past
// the whole plot shows the whole plot.
void zoom_at(page_state& st, int cell, double factor, bool x_only)
{
    const plot_layout& l = st.cells[size_t(cell)].layout;
    const plot& p = *plot_of(st, cell);
    const vec2 at = plot_to_data(l, p, st.px, st.py);
    plot_view v { l.x_min, l.x_max, l.y_min, l.y_max };
    const plot_view whole = whole_view(st, cell);
    v.x_min = at[0] - (at[0] - v.x_min) * factor;
    v.x_max = at[0] + (v.x_max - at[0]) * factor;
    if (!x_only) {
        v.y_min = at[1] - (at[1] - v.y_min) * factor;
        v.y_max = at[1] + (v.y_max - at[1]) * factor;
    }
    const double wx = whole.x_max - whole.x_min, wy = whole.y_max - whole.y_min;
    if (v.x_max - v.x_min < wx * 1e-5 || v.y_max - v.y_min < wy * 1e-5)
        return; // as close as it goes
    if (v.x_max - v.x_min >= wx && v.y_max - v.y_min >= wy) {
        set_view(st, cell, std::nullopt);
        return;
    }
    set_view(st, cell, v);
}

// Drags the plot by the pointer's move from (x0, y0) to (x1, y1).
void pan(page_state& st, int cell, double x0, double y0, double x1, double y1)
{
    const plot_layout& l = st.cells[size_t(cell)].layout;
    const plot& p = *plot_of(st, cell);
    const vec2 from = plot_to_data(l, p, x0, y0), to = plot_to_data(l, p, x1, y1);
    const double dx = from[0] - to[0], dy = from[1] - to[1];
    set_view(st, cell, plot_view { l.x_min + dx, l.x_max + dx, l.y_min + dy, l.y_max + dy });
}

// A click: the player goes to the selected swoop's sample nearest to it.
void seek_to(page_state& st, int cell, double x, double y)
{
    window_model& m = st.part->model;
    if (!m.selected || !m.time || cell < 0 || size_t(cell) >= st.cells.size() || !plot_of(st, cell))
        return;
    const page_cell& c = st.cells[size_t(cell)];
    const std::optional<uint32_t> sample = plot_pick_sample(
        *plot_of(st, cell), c.layout, plot_set[size_t(c.plot)], *m.selected, m.options.units, x, y);
    if (sample)
        model_set_time(m, slider_time_of(*m.selected, *sample));
}

int drag_threshold(GtkWidget* widget)
{
    gint threshold = 8;
    g_object_get(gtk_widget_get_settings(widget), "gtk-dnd-drag-threshold", &threshold, nullptr);
    return threshold;
}

gboolean on_page_motion(GtkWidget* area, GdkEventMotion* event, gpointer data)
{
    page_state& st = state_of(data);
    if (st.part->model.closing)
        return FALSE;
    queue_crosshair(st, st.px);
    st.px = event->x;
    st.py = event->y;
    if (st.pressed && st.press_cell >= 0) {
        if (!st.dragging && std::hypot(st.px - st.press_x, st.py - st.press_y) > drag_threshold(area)) {
            st.dragging = true;
            st.click.reset();
        }
        if (st.dragging) {
            pan(st, st.press_cell, st.last_x, st.last_y, st.px, st.py);
            st.last_x = st.px;
            st.last_y = st.py;
            return TRUE;
        }
    }
    update_hover(st);
    return TRUE;
}

// The pointer coming onto the page: a warp (or a window raised under it)
// brings only the crossing, and the readout shows without waiting for a
// motion.
gboolean on_page_enter(GtkWidget*, GdkEventCrossing* event, gpointer data)
{
    page_state& st = state_of(data);
    if (st.part->model.closing || st.pressed)
        return FALSE;
    st.px = event->x;
    st.py = event->y;
    update_hover(st);
    return FALSE;
}

gboolean on_page_leave(GtkWidget*, GdkEventCrossing* event, gpointer data)
{
    page_state& st = state_of(data);
    // Entering the readout over the page is no leaving.
    if (event->detail == GDK_NOTIFY_INFERIOR || st.pressed)
        return FALSE;
    if (st.hover >= 0)
        hide_readout(st);
    return FALSE;
}

gboolean on_page_button_press(GtkWidget*, GdkEventButton* event, gpointer data)
{
    page_state& st = state_of(data);
    if (event->button != 1 || st.part->model.closing)
        return FALSE;
    st.px = event->x;
    st.py = event->y;
    const int cell = cell_at(st, st.px, st.py);
    if (event->type == GDK_2BUTTON_PRESS) { // the whole plot again, and no seek
        st.click.reset();
        st.pressed = false;
        if (cell >= 0)
            set_view(st, cell, std::nullopt);
        return TRUE;
    }
    if (event->type != GDK_BUTTON_PRESS)
        return TRUE;
    st.pressed = true;
    st.dragging = false;
    st.press_cell = cell;
    st.press_x = st.last_x = st.px;
    st.press_y = st.last_y = st.py;
    return TRUE;
}

gboolean on_page_button_release(GtkWidget* area, GdkEventButton* event, gpointer data)
{
    page_state& st = state_of(data);
    if (event->button != 1 || !st.pressed)
        return FALSE;
    st.pressed = false;
    if (st.dragging) {
        st.dragging = false;
        return TRUE;
    }
    if (st.press_cell < 0 || !st.part->model.time)
        return TRUE;
    // A click moves the player once it is clear that no second click makes
    // it a double click.
    gint double_click_ms = 400;
    g_object_get(gtk_widget_get_settings(area), "gtk-double-click-time", &double_click_ms, nullptr);
    st.click = source_id(g_timeout_add(
        guint(double_click_ms),
        +[](gpointer data) -> gboolean {
            page_state& st = state_of(data);
            st.click.release(); // this source ends with the FALSE below
            seek_to(st, st.press_cell, st.press_x, st.press_y);
            return G_SOURCE_REMOVE;
        },
        &st));
    return TRUE;
}

gboolean on_page_scroll(GtkWidget*, GdkEventScroll* event, gpointer data)
{
    page_state& st = state_of(data);
    st.px = event->x;
    st.py = event->y;
    const int cell = cell_at(st, st.px, st.py);
    if (cell < 0)
        return FALSE;
    double factor = 1;
    if (event->direction == GDK_SCROLL_UP)
        factor = 1 / zoom_step;
    else if (event->direction == GDK_SCROLL_DOWN)
        factor = zoom_step;
    else if (event->direction == GDK_SCROLL_SMOOTH && event->delta_y != 0)
        factor = std::pow(zoom_step, event->delta_y);
    if (factor != 1)
        zoom_at(st, cell, factor, (event->state & GDK_SHIFT_MASK) != 0);
    return TRUE;
}

// "destroy" of a plot page's drawing area: its surface, name and state go
// with it.
void on_page_destroy(GtkWidget* page, gpointer data)
{
    page_state* st = static_cast<page_state*>(data);
    std::erase(st->part->pages, st);
    g_object_set_data(G_OBJECT(page), surface_key, nullptr);
    g_object_set_data(G_OBJECT(page), label_key, nullptr);
    g_object_set_data(G_OBJECT(page), state_key, nullptr);
}

// Whether a notebook page is one of the plot pages (the pages of other
// parts come after them and are left alone).
bool is_plot_page(GtkWidget* page)
{
    return page && g_object_get_data(G_OBJECT(page_drawing_area(page)), label_key) != nullptr;
}

// The plot pages now in the notebook: they follow "metrics" without a gap.
int plot_page_count(const plot_pages_part& p)
{
    GtkNotebook* notebook = GTK_NOTEBOOK(p.notebook);
    int count = 0;
    while (is_plot_page(gtk_notebook_get_nth_page(notebook, 1 + count)))
        count++;
    return count;
}

GtkWidget* plot_page_new(plot_pages_part& p, const plot_page& layout)
{
    auto* st = new page_state;
    st->part = &p;
    st->layout = &layout;
    st->overlay = gtk_overlay_new();
    atk_object_set_name(gtk_widget_get_accessible(st->overlay), layout.name);
    st->area = gtk_drawing_area_new();
    atk_object_set_name(gtk_widget_get_accessible(st->area), layout.name);
    gtk_widget_add_events(st->area,
        GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_SCROLL_MASK
            | GDK_SMOOTH_SCROLL_MASK | GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK);
    g_object_set_data_full(G_OBJECT(st->area), label_key, g_strdup(layout.name), g_free);
    g_object_set_data_full(
        G_OBJECT(st->area), state_key, st, [](gpointer d) { delete static_cast<page_state*>(d); });
    g_signal_connect(st->area, "draw", G_CALLBACK(on_page_draw), st);
    g_signal_connect(st->area, "size-allocate", G_CALLBACK(on_page_size_allocate), st);
    g_signal_connect(st->area, "motion-notify-event", G_CALLBACK(on_page_motion), st);
    g_signal_connect(st->area, "enter-notify-event", G_CALLBACK(on_page_enter), st);
    g_signal_connect(st->area, "leave-notify-event", G_CALLBACK(on_page_leave), st);
    g_signal_connect(st->area, "button-press-event", G_CALLBACK(on_page_button_press), st);
    g_signal_connect(st->area, "button-release-event", G_CALLBACK(on_page_button_release), st);
    g_signal_connect(st->area, "scroll-event", G_CALLBACK(on_page_scroll), st);
    g_signal_connect(st->area, "destroy", G_CALLBACK(on_page_destroy), st);
    gtk_container_add(GTK_CONTAINER(st->overlay), st->area);

    st->readout = gtk_label_new("");
    atk_object_set_name(gtk_widget_get_accessible(st->readout), "readout");
    g_object_set(st->readout, "halign", GTK_ALIGN_START, "valign", GTK_ALIGN_START, "xalign", 0.0, nullptr);
    gtk_widget_set_no_show_all(st->readout, TRUE);
    apply_css(st->readout,
        "* { background-color: rgba(255, 255, 255, 0.93); border: 1px solid #8a8a8a; padding: 3px 6px; "
        "font-size: 11px; color: #1a1a1a; }");
    gtk_overlay_add_overlay(GTK_OVERLAY(st->overlay), st->readout);
    gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(st->overlay), st->readout, TRUE);
    p.pages.push_back(st);

    gtk_widget_show(st->area);
    gtk_widget_show(st->overlay);
    // After "metrics" and the plot pages before it, ahead of any page of
    // another part.
    gtk_notebook_insert_page(
        GTK_NOTEBOOK(p.notebook), st->overlay, gtk_label_new(layout.name), 1 + plot_page_count(p));
    return st->overlay;
}

// The window's keys: Home over a plot shows the whole plot and goes no
// further (the notebook's first page and the list's first row stay as they
// are).
gboolean on_window_key_press(GtkWidget*, GdkEventKey* event, gpointer data)
{
    plot_pages_part& p = part_of(data);
    if (event->keyval != GDK_KEY_Home || p.model.closing)
        return FALSE;
    for (page_state* st : p.pages)
        if (st->hover >= 0 && gtk_widget_get_mapped(st->area)) {
            set_view(*st, st->hover, std::nullopt);
            return TRUE;
        }
    return FALSE;
}

// "clicked" of "view in Google Earth": the selected swoop from the top of
// its turn to its stop, with the entry gate, as a KML file in the temporary
// folder, opened with the desktop's viewer for KML files.
void on_view_kml(GtkButton*, gpointer data)
{
    plot_pages_part& p = part_of(data);
    if (!p.model.selected)
        return;
    const swoop& s = *p.model.selected;
    g_text path(g_build_filename(g_get_tmp_dir(), kml_temp_name(s.file.c_str()).c_str(), nullptr));
    vec3 markers[2];
    gate_markers(s.matrix, &markers[0], &markers[1]);
    const uint32_t from = s.top_of_turn;
    const uint32_t count = s.stop > from ? s.stop - from : 0;
    const char* err = nullptr;
    kml_write(path.get(), s.track.data() + from, count, markers, &err);
    if (err) {
        show_error(p.window, "%s", std::string(err).c_str());
        return;
    }
    // Without a viewer for KML files the launch fails (or the default is a
    // terminal editor that cannot start): say where the file is instead of
    // doing nothing.
    g_text uri(g_filename_to_uri(path.get(), nullptr, nullptr));
    GError* raw = nullptr;
    if (!uri || !g_app_info_launch_default_for_uri(uri.get(), nullptr, &raw)) {
        g_error_ptr error(raw);
        show_error(p.window, "could not open %s with a viewer for KML files (%s); open it by hand",
            path.get(), error ? error->message : "not a local file");
    }
}

// The swoop's sample at slider time t, or none past its stop.
std::unique_ptr<gps_point> sample_at_slider(const swoop& s, int32_t t)
{
    // The slider counts from the selected swoop's entry-gate crossing (or
    // its top of the turn); every swoop is placed by its own, in 32 bits.
    uint32_t offset = uint32_t(t);
    if (s.entry_gate_time != 0 && s.top_of_turn < s.track_len)
        offset += uint32_t(s.entry_gate_time - uint64_t(s.track[s.top_of_turn].time));
    return swoop_point_at(s, int32_t(offset));
}

// The markers of the compared swoops, then of the selected one, at the time.
void markers_at(plot_pages_part& p, int32_t t)
{
    for (swoop* s : model_overlays(p.model))
        markers_set(p, *s, t);
    if (p.model.selected)
        markers_set(p, *p.model.selected, t);
}

void on_selection_changed(plot_pages_part& p)
{
    p.wind.reset(); // another swoop, or the same analysed again
    refresh_all(p);
    update_export_items(p);
    if (p.model.selected)
        gtk_widget_set_sensitive(p.kml_button, TRUE);
    else if (p.model.swoops.empty())
        gtk_widget_set_sensitive(p.kml_button, FALSE);
}

void on_compared_changed(plot_pages_part& p, const model_event& event)
{
    if (!p.model.selected || event.changed == p.model.selected)
        return; // the selected swoop is always drawn in full; without one, the tick waits
    if (p.model.options.color_overlays) { // every colour after it moves, and the legends
        refresh_all(p);
        return;
    }
    if (event.added) {
        overlay_add(p, *event.changed);
        if (p.model.time && model_is_compared(p.model, event.changed))
            markers_set(p, *event.changed, *p.model.time);
    } else {
        overlay_remove(p, *event.changed);
    }
    pages_redraw(p);
}

void on_options_changed(plot_pages_part& p, const model_event& event)
{
    const window_options& now = p.model.options;
    if (!p.pages_built || now.plots_per_page != event.before.plots_per_page) {
        p.pages_built = true;
        pages_build(p, now.plots_per_page);
    }
    if (now.units.metric != event.before.units.metric || now.draw_pond != event.before.draw_pond
        || now.color_overlays != event.before.color_overlays || now.use_wind != event.before.use_wind)
        refresh_all(p);
}

void on_time_changed(plot_pages_part& p)
{
    if (p.model.time)
        markers_at(p, *p.model.time);
    else
        markers_clear_all(p);
    pages_redraw(p);
}

// With colours, every plot's legend names each drawn swoop in its colour
// (entries without points, which take no part in the ranges).
void add_legend_names(plot_pages_part& p)
{
    for (const swoop* s : drawn_swoops(p.model)) {
        const uint32_t color
            = s == p.model.selected ? plot_red : model_overlay_color(p.model, s).value_or(overlay_grey);
        for (auto& plot : p.plots) {
            if (!plot)
                continue;
            std::unique_ptr<series> entry = series_new(0);
            if (!entry)
                return;
            entry->style = style_line;
            entry->color = color;
            entry->label = swoop_display_name(*s);
            plot_add_series(*plot, std::move(entry));
        }
    }
}

// The page shown now, when it is a plot page.
page_state* current_plot_page(const plot_pages_part& p)
{
    GtkNotebook* notebook = GTK_NOTEBOOK(p.notebook);
    GtkWidget* shown = gtk_notebook_get_nth_page(notebook, gtk_notebook_get_current_page(notebook));
    for (page_state* st : p.pages)
        if (st->overlay == shown)
            return st;
    return nullptr;
}

void update_export_items(plot_pages_part& p)
{
    if (p.export_page_item)
        gtk_widget_set_sensitive(p.export_page_item, current_plot_page(p) != nullptr);
    if (p.export_samples_item)
        gtk_widget_set_sensitive(p.export_samples_item, p.model.selected != nullptr);
}

// Whether two paths name one file: the same file on the same device when
// both exist, else the same absolute path.
bool same_file(const std::string& a, const std::string& b)
{
    struct stat sa {
    }, sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    g_text ca(g_canonicalize_filename(a.c_str(), nullptr)), cb(g_canonicalize_filename(b.c_str(), nullptr));
    return std::strcmp(ca.get(), cb.get()) == 0;
}

// Refuses a path that names an open gate or swoop file.
bool writes_over_input(plot_pages_part& p, const std::string& path)
{
    bool input = p.model.gate && same_file(path, p.model.gate->file);
    for (const swoop* s : p.model.swoops)
        input = input || same_file(path, s->file);
    if (input)
        show_error(p.window, "output file would overwrite input file: %s", path.c_str());
    return input;
}

// The save chooser of an export, starting with a name in the selected
// swoop's folder; the chosen path, or none.
std::optional<std::string> choose_export_file(plot_pages_part& p, const char* title, const std::string& name)
{
    if (!file_chooser_schema_installed()) {
        show_error(p.window, "cannot show the file chooser: the settings schema %s is not installed",
            file_chooser_schema);
        return std::nullopt;
    }
    GtkWidget* dialog = gtk_file_chooser_dialog_new(title, GTK_WINDOW(p.window), GTK_FILE_CHOOSER_ACTION_SAVE,
        "_Cancel", GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialog), TRUE);
    if (p.model.selected) {
        g_text folder(g_path_get_dirname(p.model.selected->file.c_str()));
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), folder.get());
    }
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), name.c_str());
    std::optional<std::string> chosen;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        g_text file(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog)));
        if (file)
            chosen = file.get();
    }
    gtk_widget_destroy(dialog);
    return chosen;
}

// The selected swoop's file name without its extension, for export names.
std::string export_stem(const plot_pages_part& p)
{
    if (!p.model.selected)
        return "skimra";
    std::string name = swoop_display_name(*p.model.selected);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

void on_export_page_activate(GtkWidget*, gpointer data)
{
    plot_pages_part& p = part_of(data);
    const page_state* st = current_plot_page(p);
    if (!st || p.model.closing)
        return;
    std::string name = export_stem(p) + "-" + st->layout->name + ".png";
    std::replace(name.begin(), name.end(), ' ', '-');
    if (std::optional<std::string> path = choose_export_file(p, "Export Page", name))
        export_current_page(p, *path);
}

void on_export_samples_activate(GtkWidget*, gpointer data)
{
    plot_pages_part& p = part_of(data);
    if (!p.model.selected || p.model.closing)
        return;
    if (std::optional<std::string> path
        = choose_export_file(p, "Export Samples", export_stem(p) + "-samples.csv"))
        export_selected_samples(p, *path);
}

} // namespace

plot_sheet plot_sheet_for(double W, double H)
{
    double width = W, height = H;
    if (W / H < 22.0 / 17.0)
        height = W * 17 / 22;
    else
        width = H * 22 / 17;
    return { (W - width) / 2, (H - height) / 2, width, height };
}

uint64_t plot_page_renders()
{
    return renders;
}

std::string kml_temp_name(const char* swoop_file)
{
    g_text base(g_path_get_basename(swoop_file));
    std::string name = base.get();
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name + ".kml";
}

std::unique_ptr<plot_pages_part> plot_pages_new(window_model& m, GtkWidget* window)
{
    auto p = std::unique_ptr<plot_pages_part>(new plot_pages_part(m, window));
    p->results_view = gtk_text_view_new();
    gtk_text_view_set_editable(GTK_TEXT_VIEW(p->results_view), FALSE);
    gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(p->results_view), FALSE);
    gtk_drag_dest_unset(p->results_view); // a drop here reaches the window
    apply_css(p->results_view,
        gtk_get_minor_version() > 18 ? "* { font-size: 14px; font-family: Monospace; }"
                                     : "* { font-size: 10px; font-family: Monospace; }");
    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_container_set_border_width(GTK_CONTAINER(scrolled), 10);
    gtk_container_add(GTK_CONTAINER(scrolled), p->results_view);
    gtk_widget_show_all(scrolled);

    p->notebook = gtk_notebook_new();
    // Eight one-plot tabs are wider than a small window: they scroll.
    gtk_notebook_set_scrollable(GTK_NOTEBOOK(p->notebook), TRUE);
    gtk_notebook_append_page(GTK_NOTEBOOK(p->notebook), scrolled, gtk_label_new("metrics"));

    p->kml_button = gtk_button_new_with_label("view in Google Earth");
    g_object_set(p->kml_button, "can-focus", FALSE, nullptr);
    gtk_widget_set_sensitive(p->kml_button, FALSE);
    g_signal_connect(p->kml_button, "clicked", G_CALLBACK(on_view_kml), p.get());

    plot_pages_part* part = p.get();
    g_signal_connect(window, "key-press-event", G_CALLBACK(on_window_key_press), part);
    // After the switch, when the notebook's current page is the new one.
    g_signal_connect_after(p->notebook, "switch-page",
        G_CALLBACK(
            +[](GtkNotebook*, GtkWidget*, guint, gpointer data) { update_export_items(part_of(data)); }),
        part);
    model_listen(m, model_change::rows, [part](const model_event& e) {
        if (!e.added && e.changed == part->views_of)
            part->views_of = nullptr; // its zooms go with it
    });
    model_listen(m, model_change::selection, [part](const model_event&) { on_selection_changed(*part); });
    model_listen(m, model_change::compared, [part](const model_event& e) { on_compared_changed(*part, e); });
    model_listen(m, model_change::options, [part](const model_event& e) { on_options_changed(*part, e); });
    model_listen(m, model_change::time, [part](const model_event&) { on_time_changed(*part); });
    return p;
}

void pages_build(plot_pages_part& p, int plots_per_page)
{
    GtkNotebook* notebook = GTK_NOTEBOOK(p.notebook);
    // Pages of other parts after the plot pages stay, and count for nothing
    // here; when one of them is in view it stays in view.
    int c = gtk_notebook_get_current_page(notebook);
    const int n = 1 + plot_page_count(p);
    GtkWidget* other_in_view = c >= n ? gtk_notebook_get_nth_page(notebook, c) : nullptr;
    if (other_in_view)
        c = -1; // none of ours: the mapping below leaves the saved page alone
    while (is_plot_page(gtk_notebook_get_nth_page(notebook, 1)))
        gtk_notebook_remove_page(notebook, 1);

    // Which plot was in view, by the layout just taken down.
    uint32_t& s = p.saved_plot_page;
    if (n == 2) { // nine per page
        if (c == 0)
            s = 0;
        else if (c == 1 && s == 0)
            s = 1;
    } else if (n == 3) { // four per page
        if (c == 0)
            s = 0;
        else if (c == 1 && !(s >= 1 && s <= 4))
            s = 1;
        else if (c == 2 && s < 5)
            s = 5;
    } else if (n == 9 && c >= 0) { // one per page
        s = uint32_t(c);
    }

    const std::vector<plot_page>& pages = plot_set_pages(plots_per_page);
    if (pages.empty()) {
        std::printf("ERROR: invalid plots_per_page\n");
        std::fflush(stdout);
        gtk_notebook_set_current_page(
            notebook, other_in_view ? gtk_notebook_page_num(notebook, other_in_view) : c);
        return;
    }
    p.views = {}; // a new layout shows every plot whole
    for (const std::unique_ptr<plot>& shown : p.plots)
        if (shown)
            shown->view.reset();
    for (const plot_page& page : pages)
        plot_page_new(p, page);
    int show = 0;
    if (plots_per_page == 1)
        show = int(s);
    else if (plots_per_page == 4)
        show = s > 4 ? 2 : s != 0 ? 1 : 0;
    else
        show = s != 0 ? 1 : 0;
    if (other_in_view)
        show = gtk_notebook_page_num(notebook, other_in_view);
    gtk_notebook_set_current_page(notebook, show);
}

void refresh_all(plot_pages_part& p)
{
    if (p.model.closing)
        return;
    plots_rebuild(p);
    if (p.model.time)
        markers_at(p, *p.model.time);
    report_update(p);
    pages_redraw(p);
}

void plots_rebuild(plot_pages_part& p)
{
    window_model& m = p.model;
    const swoop* s = m.selected;
    if (s && m.gate)
        model_turn_pond(m, swoop_course_turn(*s));
    static const std::vector<vec3> no_pond;
    p.plots = plot_set_build(s, m.options.draw_pond ? m.pond : no_pond, m.options.units);
    // The zooms hold while the same swoop is shown in the same units.
    if (p.views_of != s || p.views_metric != m.options.units.metric) {
        p.views = {};
        p.views_of = s;
        p.views_metric = m.options.units.metric;
    }
    for (size_t i = 0; i < p.plots.size(); i++)
        if (p.plots[i])
            p.plots[i]->view = p.views[i];
    if (!s)
        return;
    if (m.options.use_wind) {
        if (!p.wind || p.wind_of != s) {
            p.wind = swoop_wind_estimate(*s);
            p.wind_of = s;
        }
        if (p.plots[0])
            plot_set_wind_arrow(*p.plots[0], *p.wind, m.options.units);
        if (p.plots[3] && !plot_add_airspeed(*p.plots[3], *s, *p.wind, m.options.units))
            show_error(p.window, "failed to create set");
    }
    for (swoop* compared : model_overlays(m))
        overlay_add(p, *compared);
    if (m.options.color_overlays)
        add_legend_names(p);
}

void overlay_add(plot_pages_part& p, swoop& s)
{
    const uint32_t color = model_overlay_color(p.model, &s).value_or(overlay_grey);
    for (size_t i = 0; i < plot_set.size(); i++) {
        std::unique_ptr<series> grey = plot_set[i].overlay(s, p.model.options.units);
        if (!grey) {
            show_error(p.window, "failed to create set");
            model_close_swoop(p.model, &s);
            return;
        }
        for (series* part = grey.get(); part; part = part->next.get())
            part->color = color;
        if (p.plots[i])
            plot_add_series(*p.plots[i], std::move(grey));
    }
}

void overlay_remove(plot_pages_part& p, const swoop& s)
{
    for (auto& plot : p.plots)
        if (plot)
            plot_remove_series(*plot, s.file.c_str());
}

void markers_set(plot_pages_part& p, const swoop& s, int32_t t)
{
    std::unique_ptr<gps_point> sample = sample_at_slider(s, t);
    if (!sample) {
        markers_clear(p, s);
        return;
    }
    for (size_t i = 0; i < plot_set.size(); i++)
        if (p.plots[i])
            plot_set[i].mark(*p.plots[i], s, sample.get(), p.model.options.units);
}

void markers_clear(plot_pages_part& p, const swoop& s)
{
    for (size_t i = 0; i < plot_set.size(); i++)
        if (p.plots[i])
            plot_set[i].mark(*p.plots[i], s, nullptr, false);
}

void markers_clear_all(plot_pages_part& p)
{
    for (swoop* s : model_overlays(p.model))
        markers_clear(p, *s);
    if (p.model.selected)
        markers_clear(p, *p.model.selected);
}

void report_update(plot_pages_part& p)
{
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(p.results_view));
    if (!p.model.selected) {
        gtk_text_buffer_set_text(buffer, "", -1);
        return;
    }
    const char* err = nullptr;
    std::string report = swoop_report(*p.model.selected, p.model.options.units, &err)
        + model_heights_lines(p.model, *p.model.selected);
    if (!err && p.model.options.use_wind && p.wind)
        report += report_wind_lines(*p.model.selected, *p.wind, p.model.options.units);
    if (err) {
        const std::string message = err;
        gtk_text_buffer_set_text(buffer, "", -1);
        show_error(p.window, "%s", message.c_str());
        return;
    }
    gtk_text_buffer_set_text(buffer, report.c_str(), int(report.size()));
}

void pages_redraw(plot_pages_part& p)
{
    if (p.model.closing)
        return;
    for (page_state* st : p.pages) {
        st->dirty = true;
        gtk_widget_queue_resize(st->area);
    }
}

GtkWidget* page_drawing_area(GtkWidget* page)
{
    return GTK_IS_BIN(page) ? gtk_bin_get_child(GTK_BIN(page)) : page;
}

GtkWidget* page_readout(GtkWidget* page)
{
    auto* st = static_cast<page_state*>(g_object_get_data(G_OBJECT(page_drawing_area(page)), state_key));
    return st ? st->readout : nullptr;
}

std::optional<plot_layout> page_plot_layout(GtkWidget* page, int plot)
{
    auto* st = static_cast<page_state*>(g_object_get_data(G_OBJECT(page_drawing_area(page)), state_key));
    if (st)
        for (const page_cell& c : st->cells)
            if (c.plot == plot)
                return c.layout;
    return std::nullopt;
}

void plot_pages_attach_export(plot_pages_part& p, GtkWidget* export_page_item, GtkWidget* export_samples_item)
{
    p.export_page_item = export_page_item;
    p.export_samples_item = export_samples_item;
    g_signal_connect(export_page_item, "activate", G_CALLBACK(on_export_page_activate), &p);
    g_signal_connect(export_samples_item, "activate", G_CALLBACK(on_export_samples_activate), &p);
    update_export_items(p);
}

bool export_current_page(plot_pages_part& p, const std::string& chosen)
{
    const page_state* st = current_plot_page(p);
    if (!st)
        return false;
    const std::string path = export_path_for(chosen);
    if (writes_over_input(p, path))
        return false;
    const char* err = nullptr;
    page_export(path, *st->layout, p.plots, st->sheet.width, st->sheet.height, std::max(1, st->scale), &err);
    if (err) {
        show_error(p.window, "%s", std::string(err).c_str());
        return false;
    }
    return true;
}

bool export_selected_samples(plot_pages_part& p, const std::string& path)
{
    if (!p.model.selected || writes_over_input(p, path))
        return false;
    const char* err = nullptr;
    samples_csv_write(path.c_str(), *p.model.selected, &err);
    if (err) {
        show_error(p.window, "%s", std::string(err).c_str());
        return false;
    }
    return true;
}
