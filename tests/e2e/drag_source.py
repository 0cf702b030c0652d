#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later

"""A drag source for the end-to-end tests, as a file manager is one: a small
window titled "drag source" at the top left of the screen whose label, when
dragged, offers the files given as a text/uri-list (XDND, the protocol of
every X desktop). It ends when the drag ends, or after a minute.

    /usr/bin/python3 tests/e2e/drag_source.py FILE...
"""
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gdk, Gtk  # noqa: E402

uris = [GLib.filename_to_uri(path, None) for path in sys.argv[1:]]

window = Gtk.Window(title="drag source")
window.set_default_size(160, 100)
box = Gtk.EventBox()
box.add(Gtk.Label(label="drag me"))
window.add(box)
box.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
box.drag_source_add_uri_targets()
box.connect("drag-data-get", lambda w, ctx, data, info, time: data.set_uris(uris))
box.connect("drag-end", lambda *a: GLib.timeout_add(200, Gtk.main_quit))
window.connect("destroy", Gtk.main_quit)
window.move(0, 0)
window.show_all()
GLib.timeout_add_seconds(60, Gtk.main_quit)
Gtk.main()
