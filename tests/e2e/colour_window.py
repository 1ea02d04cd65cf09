#!/usr/bin/python3
# colour_window.py RRGGBB TITLE [COMMANDS]: a native GTK 4 window without
# decorations, maximized, filled with one colour; prints "shown" once it is
# mapped, and "size W H" whenever its laid-out size changes. With COMMANDS
# (a FIFO), it reads lines "copy TYPE[,TYPE...] TEXT" and puts TEXT on the
# clipboard under each type, as a password manager does with its secret hint
# among the text types; it prints "copied N" after the N-th copy.
import sys

import gi

gi.require_version("Gtk", "4.0")
gi.require_version("Gdk", "4.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

colour, title = sys.argv[1], sys.argv[2]
copies = 0
told_size = None


def copy(types, text):
    global copies
    data = GLib.Bytes.new(text.encode())
    providers = [Gdk.ContentProvider.new_for_bytes(t, data) for t in types]
    window.get_display().get_clipboard().set_content(Gdk.ContentProvider.new_union(providers))
    copies += 1
    print("copied %d" % copies, flush=True)


def on_command(channel, condition):
    line = channel.readline()
    if not line:
        return False
    words = line.rstrip("\n").split(" ", 2)
    if len(words) == 3 and words[0] == "copy":
        # A copy counts only from the window with the keyboard focus, which
        # the compositor may have handed elsewhere meanwhile.
        window.present()
        GLib.timeout_add(300, lambda: copy(words[1].split(","), words[2]) and False)
    return True


def tell_size():
    # A desktop may map and maximize the window well after it was asked to
    # (0 x 0 before that).
    global told_size
    size = (window.get_width(), window.get_height())
    if size[0] > 0 and size[1] > 0 and size != told_size:
        told_size = size
        print("size %d %d" % size, flush=True)
    return True


def on_activate(app):
    global window
    window = Gtk.ApplicationWindow(application=app, title=title)
    window.set_decorated(False)
    css = Gtk.CssProvider()
    css.load_from_data(("window { background: #%s; }" % colour).encode())
    Gtk.StyleContext.add_provider_for_display(Gdk.Display.get_default(), css, Gtk.STYLE_PROVIDER_PRIORITY_USER)
    window.connect("map", lambda *_: print("shown", flush=True))
    # Its size once laid out, as "size W H", for the measuring tools.
    GLib.timeout_add(250, tell_size)
    window.maximize()
    window.present()
    if len(sys.argv) > 3:
        channel = GLib.IOChannel.new_file(sys.argv[3], "r")
        GLib.io_add_watch(channel, GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, on_command)


app = Gtk.Application(application_id="org.vornik.e2e.ColourWindow")
app.connect("activate", on_activate)
app.run([])
