// Owning handles for the drawing libraries' objects: cairo surfaces and
// contexts, GObjects (pango layouts, and the GUI's pixbufs and providers) and
// pango font descriptions, each released by its own function.
#pragma once

#include <cairo.h>
#include <glib-object.h>
#include <pango/pango.h>

#include <memory>

struct cairo_surface_release {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct cairo_context_release {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct gobject_release {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct pango_font_release {
    void operator()(PangoFontDescription* f) const { pango_font_description_free(f); }
};

using cairo_surface_ptr = std::unique_ptr<cairo_surface_t, cairo_surface_release>;
using cairo_context_ptr = std::unique_ptr<cairo_t, cairo_context_release>;
template <class T> using gobject_ptr = std::unique_ptr<T, gobject_release>;
using pango_font_ptr = std::unique_ptr<PangoFontDescription, pango_font_release>;
