// SPDX-License-Identifier: GPL-3.0-or-later
// The program's resource bundle, compiled from resources/skimra.gresource.xml:
// "/sk-256.png" (window icon, About logo) and "/sk-32.png". It is registered
// while the program runs.
#pragma once

#include <gio/gio.h>

extern "C" {
GResource* resource_glib_get_resource(void);
void resource_glib_register_resource(void);
void resource_glib_unregister_resource(void);
}
