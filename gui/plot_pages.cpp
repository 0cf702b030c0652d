// SPDX-License-Identifier: GPL-3.0-or-later

#include "gui/plot_pages.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/files/kml_writer.h"
#include "core/geometry/geodetic.h"
#include "core/platform/glib_handles.h"
#include "core/plot/cairo_handles.h"
#include "core/swoop/point_at.h"
#include "core/swoop/report.h"
#include "gui/dialogs.h"
#include "gui/gtk_helpers.h"

namespace {

constexpr const char* surface_key = "surface";
constexpr const char* label_key = "label";
constexpr uint32_t overlay_grey = 0x808080;

uint64_t renders = 0; // plot page renderings since the start

plot_pages_part& part_of(gpointer data)
{
    return *static_cast<plot_pages_part*>(data);
}

// "size-allocate" of a plot page: renders its plots into a new image surface
// at the widget's scale factor. The only place a page renders.
void on_page_size_allocate(GtkWidget* page, GdkRectangle* allocation, gpointer data)
{
    plot_pages_part& p = part_of(data);
    if (p.model.closing)
        return;
    const double W = allocation->width, H = allocation->height;
    const plot_sheet sheet = plot_sheet_for(W, H);

    const int scale = gtk_widget_get_scale_factor(page);
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
    cairo_rectangle(cr.get(), sheet.x0, sheet.y0, sheet.width, sheet.height);
    cairo_clip(cr.get());
    cairo_set_source_rgb(cr.get(), 1, 1, 1);
    cairo_paint(cr.get());
    const char* name = static_cast<const char*>(g_object_get_data(G_OBJECT(page), label_key));
    if (const plot_page* layout = plot_set_page(name))
        plot_set_render_page(cr.get(), *layout, p.plots);
    renders++;
}

// "draw" of a plot page: paints the stored rendering.
gboolean on_page_draw(GtkWidget* page, cairo_t* cr, gpointer)
{
    auto* surface = static_cast<cairo_surface_t*>(g_object_get_data(G_OBJECT(page), surface_key));
    if (surface)
        cairo_set_source_surface(cr, surface, 0, 0);
    else
        cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    return FALSE;
}

// "destroy" of a plot page: its surface and name go with it.
void on_page_destroy(GtkWidget* page, gpointer)
{
    g_object_set_data(G_OBJECT(page), surface_key, nullptr);
    g_object_set_data(G_OBJECT(page), label_key, nullptr);
}

// Whether a notebook page is one of the plot pages (the pages of other
// parts come after them and are left alone).
bool is_plot_page(GtkWidget* page)
{
    return page && g_object_get_data(G_OBJECT(page), label_key) != nullptr;
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

GtkWidget* plot_page_new(plot_pages_part& p, const char* name)
{
    GtkWidget* page = gtk_drawing_area_new();
    atk_object_set_name(gtk_widget_get_accessible(page), name);
    g_object_set_data_full(G_OBJECT(page), label_key, g_strdup(name), g_free);
    g_signal_connect(page, "draw", G_CALLBACK(on_page_draw), nullptr);
    g_signal_connect(page, "size-allocate", G_CALLBACK(on_page_size_allocate), &p);
    g_signal_connect(page, "destroy", G_CALLBACK(on_page_destroy), nullptr);
    gtk_widget_show(page);
    // After "metrics" and the plot pages before it, ahead of any page of
    // another part.
    gtk_notebook_insert_page(GTK_NOTEBOOK(p.notebook), page, gtk_label_new(name), 1 + plot_page_count(p));
    return page;
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
    refresh_all(p);
    if (p.model.selected)
        gtk_widget_set_sensitive(p.kml_button, TRUE);
    else if (p.model.swoops.empty())
        gtk_widget_set_sensitive(p.kml_button, FALSE);
}

void on_compared_changed(plot_pages_part& p, const model_event& event)
{
    if (!p.model.selected || event.changed == p.model.selected)
        return; // the selected swoop is always drawn in full; without one, the tick waits
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
    if (now.units.metric != event.before.units.metric || now.draw_pond != event.before.draw_pond)
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
    for (const plot_page& page : pages)
        plot_page_new(p, page.name);
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
    if (!s)
        return;
    for (swoop* compared : model_overlays(m))
        overlay_add(p, *compared);
}

void overlay_add(plot_pages_part& p, swoop& s)
{
    for (size_t i = 0; i < plot_set.size(); i++) {
        std::unique_ptr<series> grey = plot_set[i].overlay(s, p.model.options.units);
        if (!grey) {
            show_error(p.window, "failed to create set");
            model_close_swoop(p.model, &s);
            return;
        }
        for (series* part = grey.get(); part; part = part->next.get())
            part->color = overlay_grey;
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
    const std::string report = swoop_report(*p.model.selected, p.model.options.units, &err);
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
    GtkNotebook* notebook = GTK_NOTEBOOK(p.notebook);
    for (int i = 1; i < gtk_notebook_get_n_pages(notebook); i++)
        if (GtkWidget* page = gtk_notebook_get_nth_page(notebook, i); is_plot_page(page))
            gtk_widget_queue_resize(page);
}
