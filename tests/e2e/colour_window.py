#!/usr/bin/python3
# colour_window.py RRGGBB TITLE: a native GTK 3 window without decorations,
# maximized, filled with one colour; prints "shown" once it is mapped.
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402

colour, title = sys.argv[1], sys.argv[2]
window = Gtk.Window(title=title)
window.set_decorated(False)
css = Gtk.CssProvider()
css.load_from_data(("window { background: #%s; }" % colour).encode())
Gtk.StyleContext.add_provider_for_screen(Gdk.Screen.get_default(), css, Gtk.STYLE_PROVIDER_PRIORITY_USER)
window.connect("destroy", Gtk.main_quit)
window.connect("map-event", lambda *_: print("shown", flush=True))
window.maximize()
window.show_all()
Gtk.main()
