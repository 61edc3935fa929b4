"""Fake desktop services on the session bus, and helpers to drive the real binary."""

import os
import subprocess
import tempfile
import time

from gi.repository import Gio, GLib

WATCHER_XML = """
<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
</interface></node>"""

FILE_MANAGER_XML = """
<node><interface name="org.freedesktop.FileManager1">
  <method name="ShowItems"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>
</interface></node>"""

NOTIFICATIONS_XML = """
<node><interface name="org.freedesktop.Notifications">
  <method name="Notify">
    <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
    <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
    <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
    <arg type="u" direction="out"/>
  </method>
</interface></node>"""


def bus():
    return Gio.bus_get_sync(Gio.BusType.SESSION, None)


def pump(seconds=0.0):
    """Runs the default main context for a while, so the fakes answer their calls."""
    ctx = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while True:
        while ctx.pending():
            ctx.iteration(False)
        if time.monotonic() >= end:
            return
        time.sleep(0.01)


def wait_for(predicate, timeout=15.0, what="condition"):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        pump()
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


class Service:
    """One well-known name with one object; records the calls it receives."""

    def __init__(self, name, path, xml):
        self.name, self.path = name, path
        self.calls = []
        self.conn = bus()
        info = Gio.DBusNodeInfo.new_for_xml(xml).interfaces[0]
        self.iface = info.name
        self.reg = self.conn.register_object(path, info, self._call, self._get, None)
        self.own = Gio.bus_own_name_on_connection(self.conn, name, Gio.BusNameOwnerFlags.NONE,
                                                  None, None)
        wait_for(self.owned, what="owning " + name)

    def owned(self):
        reply = self.conn.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus", "NameHasOwner",
                                    GLib.Variant("(s)", (self.name,)), None,
                                    Gio.DBusCallFlags.NONE, -1, None)
        return reply.unpack()[0]

    def close(self):
        Gio.bus_unown_name(self.own)
        self.conn.unregister_object(self.reg)
        pump(0.1)

    def _call(self, conn, sender, path, iface, method, params, invocation):
        self.calls.append((method, params.unpack(), sender))
        invocation.return_value(self.reply(method, params, sender))

    def _get(self, conn, sender, path, iface, prop):
        return self.property(prop)

    def reply(self, method, params, sender):
        return None

    def property(self, prop):
        return None


class Watcher(Service):
    def __init__(self, host=True):
        self.host = host
        self.items = []
        super().__init__("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", WATCHER_XML)

    def reply(self, method, params, sender):
        if method == "RegisterStatusNotifierItem":
            arg = params.unpack()[0]
            # An item names either its object path (on the caller's connection) or a bus name.
            self.items.append((sender, arg) if arg.startswith("/") else
                              (arg, "/StatusNotifierItem"))
        return None

    def property(self, prop):
        if prop == "RegisteredStatusNotifierItems":
            return GLib.Variant("as", [b + p for b, p in self.items])
        if prop == "IsStatusNotifierHostRegistered":
            return GLib.Variant("b", self.host)
        return GLib.Variant("i", 0)


class FileManager(Service):
    def __init__(self):
        super().__init__("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                         FILE_MANAGER_XML)

    def shown(self):
        return [args[0] for method, args, _ in self.calls if method == "ShowItems"]


class Notifications(Service):
    def __init__(self):
        super().__init__("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                         NOTIFICATIONS_XML)

    def reply(self, method, params, sender):
        return GLib.Variant("(u)", (len(self.notes()),))

    def notes(self):
        return [args for method, args, _ in self.calls if method == "Notify"]


def call(name, path, iface, method, args=None, signature=None, timeout_ms=10000):
    """A method call made while the fakes keep answering (the app may call them meanwhile)."""
    result = {}

    def done(conn, res):
        try:
            result["value"] = conn.call_finish(res).unpack()
        except GLib.Error as e:
            result["error"] = e

    params = GLib.Variant(signature, args) if signature else None
    bus().call(name, path, iface, method, params, None, Gio.DBusCallFlags.NONE, timeout_ms,
               None, done)
    wait_for(lambda: result, timeout=timeout_ms / 1000 + 1, what=method)
    if "error" in result:
        raise result["error"]
    return result["value"]


def get_property(name, path, iface, prop):
    return call(name, path, "org.freedesktop.DBus.Properties", "Get", (iface, prop), "(ss)")[0]


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=60, **kw)


def screenshot(name, crop=None):
    """The screen, or the part `crop` names (WxH+X+Y), as a PNG among the test output."""
    target = os.path.join(os.environ.get("SAPWELL_TEST_OUTPUT", tempfile.gettempdir()), name)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    crop = ["-crop", crop, "+repage"] if crop else []
    subprocess.run(["import", "-window", "root"] + crop + [target], check=True, timeout=30)
    return target


# What --print-menu puts before each line of a submenu.
SUBMENU_INDENT = "    "


def layout_tree(layout):
    """The exported menu as [(id, text, shortcut, children)] per level; separators have the
    text "", items without a submenu no children."""
    def level(node):
        out = []
        for item_id, props, children in node[2]:
            if props.get("type") == "separator":
                out.append((item_id, "", None, []))
                continue
            # DBusMenu labels double a literal underscore (a single one marks an access key).
            label = props.get("label", "").replace("__", "\0").replace("_", "").replace("\0", "_")
            inner = level((item_id, props, children)) if children else []
            # An item opens its submenu only when it says so; otherwise a host shows no children.
            if inner and props.get("children-display") != "submenu":
                raise AssertionError("item %d has children but no submenu" % item_id)
            out.append((item_id, label, props.get("shortcut"), inner))
        return out
    return level(layout[1])


def luminance(png):
    """The mean luminance of an image, 0 (black) to 1 (white)."""
    return float(run(["convert", png, "-resize", "1x1!", "-format", "%[fx:luminance]",
                      "info:"]).stdout)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")


def _children_by_parent():
    children = {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % entry) as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, ValueError):
            continue
        children.setdefault(ppid, []).append(int(entry))
    return children


def children(pid):
    return _children_by_parent().get(pid, [])


def descendants(pid):
    """Every process the program started and that still runs (its chart window's, for one)."""
    by_parent = _children_by_parent()
    out, todo = [], list(by_parent.get(pid, []))
    while todo:
        p = todo.pop()
        out.append(p)
        todo += by_parent.get(p, [])
    return out


def process_name(pid):
    try:
        with open("/proc/%d/comm" % pid) as f:
            return f.read().strip()
    except OSError:
        return None


def layout_entries(layout):
    """(id, text, shortcut) per exported item in menu order, a submenu's items right after the
    item they open from, their text indented as --print-menu indents it."""
    def flat(items, depth):
        for item_id, text, shortcut, children in items:
            yield item_id, (SUBMENU_INDENT * depth + text) if text else "", shortcut
            yield from flat(children, depth + 1)
    return list(flat(layout_tree(layout), 0))


CHART_TITLE = "Sapwell \u2014 CPU Activity"


def chart_windows():
    """The chart window's id while it is mapped (xdotool's words), else an empty list."""
    return run(["xdotool", "search", "--onlyvisible", "--name", CHART_TITLE]).stdout.split()


def geometry(window):
    """A window's place on screen and its size."""
    out = run(["xdotool", "getwindowgeometry", "--shell", window]).stdout
    g = dict(line.split("=") for line in out.split())
    return int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])
