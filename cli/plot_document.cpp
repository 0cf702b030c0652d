#include "cli/plot_document.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <memory>

#include "core/plot/plot.h"
#include "core/plot/plot_catalogue.h"
#include "core/track/error_text.h"

namespace {

struct surface_deleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct context_deleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};

// Builds, draws and frees one plot; a plot that could not be built leaves
// its cell empty.
void draw(cairo_t* cr, std::unique_ptr<plot> p, int cell)
{
    plot_render(cr, p.get(), cell);
    plot_free(p);
}

} // namespace

void write_plot_document(const char* path, const swoop& s, const std::vector<vec3>& pond, bool metric,
                         const char** err)
{
    *err = nullptr;
    const bool whole_flight = false; // every plot starts at the top of the turn
    std::unique_ptr<cairo_surface_t, surface_deleter> surface(cairo_pdf_surface_create(path, 792, 612));
    {
        std::unique_ptr<cairo_t, context_deleter> cr(cairo_create(surface.get()));

        draw(cr.get(), plot_overhead(&s, pond, metric, whole_flight), 1);
        draw(cr.get(), plot_side_view(&s, metric, whole_flight), 3);
        draw(cr.get(), plot_dive_speed(&s, metric, whole_flight), 2);
        draw(cr.get(), plot_swoop_speed(&s, metric), 4);
        cairo_surface_show_page(surface.get());

        draw(cr.get(), plot_dive_angle(&s, metric, whole_flight), 1);
        draw(cr.get(), plot_gps_accuracy(&s, metric, whole_flight), 3);
        draw(cr.get(), plot_turn_rate(&s, metric, whole_flight), 2);
        draw(cr.get(), plot_heading(&s, metric, whole_flight), 4);
        cairo_surface_show_page(surface.get());
    }
    // Finishing writes the file; a path that cannot be written shows up in
    // the surface's status, not as a missing file the user wonders about.
    cairo_surface_finish(surface.get());
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        *err = errmsg("failed to write file: %s", path);
}
