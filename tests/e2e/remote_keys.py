#!/usr/bin/python3
# remote_keys.py COMMANDS: the keyboard of a headless GNOME Shell. Its seat
# has none; a remote desktop session of Mutter's gives it one, and its keys
# count only when they come from the connection that made the session, so
# this process keeps it and reads commands, one a line, from the file
# COMMANDS (a FIFO): "key NAME[+NAME...]" presses the keys in order and
# releases them in reverse. It prints "ready" once the session runs and
# "done N" after the N-th command.
import sys

from gi.repository import Gio, GLib

KEYSYMS = {
    "Return": 0xFF0D, "Tab": 0xFF09, "Escape": 0xFF1B, "space": 0x20, "Left": 0xFF51, "Right": 0xFF53,
    "Up": 0xFF52, "Down": 0xFF54, "shift": 0xFFE1, "ctrl": 0xFFE3, "alt": 0xFFE9, "super": 0xFFEB,
    "F3": 0xFFC0, "F5": 0xFFC2,
}


def keysym(name):
    if name in KEYSYMS:
        return KEYSYMS[name]
    if len(name) == 1:
        return ord(name)
    return int(name, 0)


bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
session = bus.call_sync("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                        "org.gnome.Mutter.RemoteDesktop", "CreateSession", None, GLib.VariantType("(o)"),
                        Gio.DBusCallFlags.NONE, 10000, None).unpack()[0]


def session_call(method, args=None):
    bus.call_sync("org.gnome.Mutter.RemoteDesktop", session, "org.gnome.Mutter.RemoteDesktop.Session", method,
                  args, None, Gio.DBusCallFlags.NONE, 10000, None)


def press(names):
    syms = [keysym(n) for n in names.split("+")]
    for sym in syms:
        session_call("NotifyKeyboardKeysym", GLib.Variant("(ub)", (sym, True)))
    for sym in reversed(syms):
        session_call("NotifyKeyboardKeysym", GLib.Variant("(ub)", (sym, False)))


session_call("Start")
# The first key makes the seat's keyboard; a harmless one.
press("shift")
print("ready", flush=True)
count = 0
with open(sys.argv[1]) as commands:
    for line in commands:
        words = line.split()
        if len(words) == 2 and words[0] == "key":
            press(words[1])
        count += 1
        print("done %d" % count, flush=True)
