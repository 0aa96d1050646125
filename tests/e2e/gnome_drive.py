"""Drives the program inside a headless GNOME Shell, as a person would.

Reads one command a line from stdin and answers each with "ok ..." or
"error ...". Keys and the pointer go through mutter's remote desktop
interface (a session lives as long as its caller stays on the bus, hence one
process for the whole test); buttons, the file dialog and the windows are
reached over AT-SPI, as a screen reader reaches them.

    move X Y            the pointer to X,Y on the screen
    down | up | click   the left button
    key KEYSYM          a key, by its X keysym in hex (ff0d Return, ff1b Escape)
    press NAME          the action of the program's push button NAME
    window NAME         ok when the program shows a window titled NAME
    save PATH           types PATH into the open file dialog and takes it
    portal FILE         a screenshot through the desktop portal, moved to FILE;
                        answers with where the portal had put it
"""
import os
import shutil
import sys
import time
import traceback

import pyatspi
from gi.repository import Atspi, Gio, GLib

BTN_LEFT = 0x110


class Mutter:
    """A remote desktop session with a screen cast of the primary monitor, for
    absolute pointer positions."""

    def __init__(self):
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        path = self.call("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                         "org.gnome.Mutter.RemoteDesktop", "CreateSession", None, "(o)")[0]
        self.session = path
        sid = self.bus.call_sync("org.gnome.Mutter.RemoteDesktop", path, "org.freedesktop.DBus.Properties", "Get",
                                 GLib.Variant("(ss)", ("org.gnome.Mutter.RemoteDesktop.Session", "SessionId")),
                                 GLib.VariantType("(v)"), Gio.DBusCallFlags.NONE, 5000, None).unpack()[0]
        cast = self.call("org.gnome.Mutter.ScreenCast", "/org/gnome/Mutter/ScreenCast",
                         "org.gnome.Mutter.ScreenCast", "CreateSession",
                         GLib.Variant("(a{sv})", ({"remote-desktop-session-id": GLib.Variant("s", sid)},)),
                         "(o)")[0]
        self.stream = self.call("org.gnome.Mutter.ScreenCast", cast, "org.gnome.Mutter.ScreenCast.Session",
                                "RecordMonitor", GLib.Variant("(sa{sv})", ("", {})), "(o)")[0]
        self.rd("Start")

    def call(self, name, path, iface, method, args, reply):
        return self.bus.call_sync(name, path, iface, method, args, GLib.VariantType(reply) if reply else None,
                                  Gio.DBusCallFlags.NONE, 10000, None).unpack()

    def rd(self, method, args=None):
        self.call("org.gnome.Mutter.RemoteDesktop", self.session, "org.gnome.Mutter.RemoteDesktop.Session",
                  method, args, None)

    def move(self, x, y):
        self.rd("NotifyPointerMotionAbsolute", GLib.Variant("(sdd)", (self.stream, x, y)))

    def button(self, pressed):
        self.rd("NotifyPointerButton", GLib.Variant("(ib)", (BTN_LEFT, pressed)))

    def key(self, keysym):
        self.rd("NotifyKeyboardKeysym", GLib.Variant("(ub)", (keysym, True)))
        self.rd("NotifyKeyboardKeysym", GLib.Variant("(ub)", (keysym, False)))


def app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.name == "Lumaro":
            # Read afresh: what was cached may have closed since.
            a.set_cache_mask(Atspi.Cache.NONE)
            a.clear_cache()
            return a
    return None


def find(acc, test):
    """The first accessible under ACC that passes TEST; objects that went
    away while the tree was read (a closed dialog) are passed over."""
    if acc is None:
        return None
    try:
        if test(acc):
            return acc
        count = acc.childCount
    except Exception:
        return None
    for i in range(count):
        try:
            child = acc.getChildAtIndex(i)
        except Exception:
            continue
        found = find(child, test)
        if found is not None:
            return found
    return None


def window(name):
    a = app()
    if a is None:
        return None
    for i in range(a.childCount):
        try:
            w = a.getChildAtIndex(i)
            if w is not None and w.name == name and w.getState().contains(pyatspi.STATE_SHOWING):
                return w
        except Exception:
            continue
    return None


def do_action(acc):
    action = acc.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("press", "click", "Press"):
            return action.doAction(i)
    return action.doAction(0)


def press(name):
    # A window that just closed may leave objects behind in what the bus
    # reports for a moment: the button is looked up afresh until it answers.
    for attempt in range(50):
        button = find(app(), lambda a: a.name == name and a.getRoleName() == "push button")
        try:
            if button is not None:
                do_action(button)
                return
        except Exception:
            if attempt == 49:
                a = app()
                for i in range(a.childCount):
                    w = a.getChildAtIndex(i)
                    print("window", w.name, w.path, w.getRoleName(), file=sys.stderr)
                    b = find(w, lambda x: x.name == name)
                    print("  has", b and b.path, b and b.getRoleName(), file=sys.stderr)
                raise
        time.sleep(0.1)
    raise RuntimeError(f"no button {name!r}")


def save(path):
    dialog = window("打开文件")
    if dialog is None:
        raise RuntimeError("no file dialog")

    def editable(a):
        if a.getRoleName() != "text":
            return False
        try:
            a.queryEditableText()
            return a.getState().contains(pyatspi.STATE_EDITABLE)
        except NotImplementedError:
            return False
    edit = find(dialog, editable)
    if edit is None:
        raise RuntimeError("the file dialog has no name box")
    edit.queryEditableText().setTextContents(path)
    accept = find(dialog, lambda a: a.getRoleName() == "push button" and a.name.replace("&", "").startswith(("保存", "Save")))
    if accept is None:
        raise RuntimeError("the file dialog has no 保存 button")
    do_action(accept)


def portal(target):
    """A non-interactive screenshot through the desktop portal: moves the
    portal's file to TARGET and says where the portal had put it."""
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    token = f"gnomedrive{os.getpid()}_{int(time.time() * 1000)}"
    sender = bus.get_unique_name()[1:].replace(".", "_")
    handle = f"/org/freedesktop/portal/desktop/request/{sender}/{token}"
    loop = GLib.MainLoop()
    answer = {}

    def response(_bus, _sender, _path, _iface, _signal, params):
        answer["code"], answer["results"] = params.unpack()
        loop.quit()
    sub = bus.signal_subscribe("org.freedesktop.portal.Desktop", "org.freedesktop.portal.Request", "Response",
                               handle, None, Gio.DBusSignalFlags.NONE, response)
    bus.call_sync("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                  "org.freedesktop.portal.Screenshot", "Screenshot",
                  GLib.Variant("(sa{sv})", ("", {"handle_token": GLib.Variant("s", token),
                                                 "interactive": GLib.Variant("b", False)})),
                  GLib.VariantType("(o)"), Gio.DBusCallFlags.NONE, 30000, None)
    GLib.timeout_add_seconds(30, loop.quit)
    loop.run()
    bus.signal_unsubscribe(sub)
    if answer.get("code") != 0:
        raise RuntimeError(f"the portal answered {answer}")
    source = Gio.File.new_for_uri(answer["results"]["uri"]).get_path()
    shutil.move(source, target)
    return source


def main():
    mutter = Mutter()
    print("ok ready", flush=True)
    for line in sys.stdin:
        words = line.split(maxsplit=1)
        if not words:
            continue
        command, rest = words[0], (words[1].rstrip("\n") if len(words) > 1 else "")
        try:
            said = ""
            if command == "move":
                x, y = rest.split()
                mutter.move(float(x), float(y))
            elif command in ("down", "up"):
                mutter.button(command == "down")
            elif command == "click":
                mutter.button(True)
                mutter.button(False)
            elif command == "key":
                mutter.key(int(rest, 16))
            elif command == "press":
                press(rest)
            elif command == "window":
                if window(rest) is None:
                    raise RuntimeError(f"no window {rest!r}")
            elif command == "save":
                save(rest)
            elif command == "portal":
                said = portal(rest)
            else:
                raise RuntimeError(f"unknown command {command!r}")
            print("ok", said, flush=True)
        except Exception as e:  # the test reads the reason and fails with it
            traceback.print_exc()
            print("error", str(e).replace("\n", " "), flush=True)


if __name__ == "__main__":
    main()
