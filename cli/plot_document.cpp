// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/plot_document.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <memory>

#include "core/plot/cairo_handles.h"
#include "core/plot/plot.h"
#include "core/plot/plot_set.h"
#include "core/track/error_text.h"

namespace {

// Builds, draws and frees one plot; a plot that could not be built leaves
// its cell empty.
void draw(cairo_t* cr, std::unique_ptr<plot> p, int cell)
{
    plot_render(cr, p.get(), cell);
    plot_free(p);
}

} // namespace

void write_plot_document(const char* path, const swoop& s, const std::vector<vec3>& pond,
    const display_units& units, const char** err)
{
    *err = nullptr;
    // The two pages of four plots, each plot built just before it is drawn.
    cairo_surface_ptr surface(cairo_pdf_surface_create(path, 792, 612));
    {
        cairo_context_ptr cr(cairo_create(surface.get()));
        for (const plot_page& page : plot_set_pages(4)) {
            for (const plot_cell& c : page.cells)
                draw(cr.get(), plot_set[size_t(c.plot)].build(&s, pond, units), c.cell);
            cairo_surface_show_page(surface.get());
        }
    }
    // Finishing writes the file; a path that cannot be written shows up in
    // the surface's status, not as a missing file the user wonders about.
    cairo_surface_finish(surface.get());
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        *err = errmsg("failed to write file: %s", path);
}
