// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/page_export.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <glib.h>

#include <cmath>

#include "core/plot/cairo_handles.h"
#include "core/track/error_text.h"

namespace {

bool ends_with(const std::string& text, const char* tail)
{
    const std::string t = tail;
    if (text.size() < t.size())
        return false;
    return g_ascii_strcasecmp(text.c_str() + text.size() - t.size(), t.c_str()) == 0;
}

void draw_sheet(cairo_t* cr, const plot_page& page, const plot_set_plots& plots, double width, double height)
{
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    plot_render_options options;
    options.min_font_size = page_min_font_size;
    plot_set_render_page(cr, page, plots, options);
}

} // namespace

export_format export_format_of(const std::string& path)
{
    if (ends_with(path, ".svg"))
        return export_format::svg;
    if (ends_with(path, ".pdf"))
        return export_format::pdf;
    return export_format::png;
}

std::string export_path_for(const std::string& chosen)
{
    const size_t slash = chosen.rfind('/');
    const std::string base = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
    return base.find('.') == std::string::npos ? chosen + ".png" : chosen;
}

void page_export(const std::string& path, const plot_page& page, const plot_set_plots& plots, double width,
    double height, int scale, const char** err)
{
    *err = nullptr;
    const export_format format = export_format_of(path);
    cairo_surface_ptr surface;
    if (format == export_format::svg)
        surface.reset(cairo_svg_surface_create(path.c_str(), width, height));
    else if (format == export_format::pdf)
        surface.reset(cairo_pdf_surface_create(path.c_str(), width, height));
    else {
        surface.reset(cairo_image_surface_create(
            CAIRO_FORMAT_RGB24, int(std::lround(width * scale)), int(std::lround(height * scale))));
        cairo_surface_set_device_scale(surface.get(), scale, scale);
    }
    {
        cairo_context_ptr cr(cairo_create(surface.get()));
        draw_sheet(cr.get(), page, plots, width, height);
    }
    cairo_status_t status = cairo_surface_status(surface.get());
    if (format == export_format::png && status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_write_to_png(surface.get(), path.c_str());
    cairo_surface_finish(surface.get());
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface.get());
    if (status != CAIRO_STATUS_SUCCESS)
        *err = errmsg("failed to write file: %s", path.c_str());
}
