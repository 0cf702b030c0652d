// SPDX-License-Identifier: GPL-3.0-or-later
// Owning handles for the drawing libraries' objects: cairo surfaces and
// contexts and pango font descriptions, each released by its own function.
// GObjects such as pango layouts use gobject_ptr.
#pragma once

#include <cairo.h>
#include <pango/pango.h>

#include <memory>

#include "core/platform/glib_handles.h"

struct cairo_surface_release {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct cairo_context_release {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct pango_font_release {
    void operator()(PangoFontDescription* f) const { pango_font_description_free(f); }
};

struct cairo_font_options_release {
    void operator()(cairo_font_options_t* o) const { cairo_font_options_destroy(o); }
};

using cairo_font_options_ptr = std::unique_ptr<cairo_font_options_t, cairo_font_options_release>;
using cairo_surface_ptr = std::unique_ptr<cairo_surface_t, cairo_surface_release>;
using cairo_context_ptr = std::unique_ptr<cairo_t, cairo_context_release>;
using pango_font_ptr = std::unique_ptr<PangoFontDescription, pango_font_release>;
