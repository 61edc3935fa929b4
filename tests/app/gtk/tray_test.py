"""The desktop shell as a person uses it: the real binary on a real X server (Xvfb) and a real
session bus, with fake tray, file manager and notification services. Run under
dbus-run-session (with session.conf) and xvfb-run; see tests/gtk.cmake."""

import math
import os
import re
import random
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from gi.repository import Gio

import desktop as d

BINARY = os.environ["SAPWELL_BINARY"]
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"
# The unified (v2) hierarchy: beside the v1 controllers in a hybrid setup, else the root.
CGROUP_ROOT = next((p for p in ("/sys/fs/cgroup/unified", "/sys/fs/cgroup")
                    if os.path.exists(os.path.join(p, "cgroup.procs"))), "/sys/fs/cgroup")


def minute_now():
    return int(time.time()) // 60 * 60


def history_line(minute, awake, items):
    return "%d\tcpu_ms\t%s\t%s\t-\n" % (minute, awake, ",".join("%s=%d" % i for i in items))


def week(names):
    """Eight days of minutes with a working-day rhythm, heaviest name first; the machine
    sleeps at night and on one day."""
    rnd = random.Random(7)
    m = minute_now()
    lines = []
    for t in range(m - 8 * 86400, m, 60):
        hour = t % 86400 / 3600
        if 8 <= hour <= 22.5 and (m - t) // 86400 != 5:
            day = 0.6 + 0.4 * math.sin((hour - 8) / 14.5 * math.pi)
            lines.append(history_line(t, 60, [(n, int(day * 12000 / (i + 1) * (0.5 + rnd.random())))
                                              for i, n in enumerate(names) if rnd.random() < 0.9]))
    return "".join(lines)


class Desktop(unittest.TestCase):
    """One running application against the fake services of a test."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="sapwell gtk \u00fc ")
        self.data = os.path.join(self.dir, "data")
        self.services = []
        self.proc = None
        self.stderr = None

    def tearDown(self):
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        for s in self.services:
            s.close()
        self.services = []
        if self.stderr:
            self.stderr.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def service(self, s):
        self.services.append(s)
        return s

    def write_history(self, text):
        os.makedirs(os.path.join(self.data, "Sapwell"), exist_ok=True)
        with open(os.path.join(self.data, "Sapwell", "history.tsv"), "w") as f:
            f.write(text)

    def history_lines(self):
        with open(os.path.join(self.data, "Sapwell", "history.tsv")) as f:
            return f.read().splitlines()

    def env(self, **extra):
        env = dict(os.environ, XDG_DATA_HOME=self.data, TMPDIR=self.dir, SAPWELL_LANG="en",
                   HOME=self.dir, NO_AT_BRIDGE="1", GSETTINGS_BACKEND="memory",
                   SAPWELL_REPORT_DRAW="1", XDG_CONFIG_HOME=os.path.join(self.dir, "config"))
        env.pop("SAPWELL_TICK_SECONDS", None)
        env.update(extra)
        return env

    def start(self, binary=BINARY, **extra):
        self.stderr = open(os.path.join(self.dir, "stderr.txt"), "w+")
        self.proc = subprocess.Popen([binary], env=self.env(**extra), stdout=subprocess.DEVNULL,
                                     stderr=self.stderr)

    def stop(self, how):
        """Ends the run by a signal or through the menu's Quit; returns the exit status."""
        if how == "quit":
            try:
                self.click(self.entry("Quit"))
            except d.GLib.Error as e:  # gone before its reply got out: the exit tells
                self.assertIn("NoReply", str(e))
        else:
            self.proc.send_signal(how)
        d.wait_for(lambda: self.proc.poll() is not None, timeout=20, what="exit")
        return self.proc.returncode

    def stderr_text(self):
        self.stderr.flush()
        with open(self.stderr.name) as f:
            return f.read()

    def drawn(self):
        return self.stderr_text().count("sapwell: chart drawn at ")

    def print_menu(self):
        run = d.run([BINARY, "--print-menu"], env=self.env())
        self.assertEqual(run.returncode, 0, run.stderr)
        return run.stdout.split("\n")[:-1]

    # The indicator, as a tray host sees it.
    def item(self, watcher):
        pid = self.proc.pid

        def mine():
            if self.proc.poll() is not None:  # say why rather than wait for a dead program
                raise AssertionError("exited with %s before its indicator showed"
                                     % self.proc.returncode)
            for name, path in watcher.items:
                owner = d.call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", "GetConnectionUnixProcessID", (name,),
                               "(s)")[0]
                if owner == pid:
                    return name, path
            return None
        try:
            self.bus_name, self.path = d.wait_for(mine, timeout=60, what="the indicator")
        except AssertionError as e:
            raise AssertionError("%s; its standard error:\n%s" % (e, self.stderr_text())) from None
        self.menu_path = self.prop("Menu")

    def prop(self, name):
        return d.get_property(self.bus_name, self.path, ITEM, name)

    def layout(self, about_to_show=False, with_tree=False):
        """The exported menu's entries; with_tree, its tree and entries from one reading."""
        if about_to_show:
            d.call(self.bus_name, self.menu_path, MENU, "AboutToShow", (0,), "(i)")
        layout = d.call(self.bus_name, self.menu_path, MENU, "GetLayout", (0, -1, []), "(iias)")
        entries = d.layout_entries(layout)
        return (d.layout_tree(layout), entries) if with_tree else entries

    def entry(self, text):
        return next(i for i, t, _ in self.layout() if t == text)

    def click(self, item_id):
        d.call(self.bus_name, self.menu_path, MENU, "Event",
               (item_id, "clicked", d.GLib.Variant("i", 0), 0), "(isvu)")


def unisolated(text):
    return text.replace("\u2068", "").replace("\u2069", "")


class MenuAndLabel(Desktop):
    def test_label_and_menu_match_print_menu_at_start_and_after_a_minute_closes(self):
        m = minute_now()
        # Recent minutes only, so the windows stay put for two minutes; an underscore and a
        # non-ASCII name must come through the exported menu unchanged.
        self.write_history(history_line(m - 120, 60, [("Firefox", 30000), ("kworker_u8", 9000)]) +
                           history_line(m - 60, 60, [("Firefox", 6000), ("Почта", 3000)]))
        watcher = self.service(d.Watcher())
        self.service(d.Notifications())
        self.start(SAPWELL_TICK_SECONDS="8")
        self.item(watcher)

        # Until the second pass, 2 s after the first, the app shows the stored history alone,
        # as --print-menu does (which it keeps doing: nothing is written for a minute).
        label = self.prop("XAyatanaLabel")
        tree, entries = self.layout(with_tree=True)
        self.assertEqual((label, entries[0][1]), ("40% CPU", "Now \u2014 40% CPU"),
                         "read after the second pass: the start took more than 2 s")
        expected = self.print_menu()
        # The exported menu isolates each name (FSI ... PDI) so the host's bidi cannot let it move
        # the figures; the plain text, for terminals that do not honour isolates, leaves them out.
        self.assertTrue(entries[2][1].startswith("     1. \u2068Firefox\u2069 \u2014 "), entries[2])
        self.assertEqual([unisolated(t) for _, t, _ in entries[:-2]], expected)
        # "Now" keeps its rows in the top level; each window opens its rows from its header.
        self.assertEqual([t for _, t, _, inner in tree if inner],
                         [t for t in expected if t.startswith(("15 ", "30 ", "1 ", "24 "))])
        self.assertIn("     % of one core; 200% = 2 cores busy", [t for _, t, _, _ in tree])
        self.assertEqual([(t, s) for _, t, s in entries[-2:]],
                         [("Open Chart\u2026", [["Control", "g"]]), ("Quit", [["Control", "q"]])])
        self.assertEqual((self.prop("Title"), self.prop("IconName")), ("Sapwell", "sapwell"))
        self.assertTrue(os.path.isfile(os.path.join(self.prop("IconThemePath"), "sapwell.svg")))
        self.assertGreaterEqual(len(self.prop("XAyatanaLabelGuide")), len(label))

        # Past the next minute and a tick: the minute in progress has closed in the app.
        while minute_now() == m:
            d.pump(0.5)
        d.pump(10)
        # Read right after a tick (the menu changes at most ticks), so that no tick comes
        # between this reading and the stop on a slow machine.
        seen = self.layout()
        try:
            d.wait_for(lambda: self.layout() != seen, timeout=10, what="a tick")
        except AssertionError:
            pass  # ticks change nothing shown: one in between would not either
        after_tree, after = self.layout(about_to_show=True, with_tree=True)
        self.assertEqual(self.stop(signal.SIGTERM), 0)
        # The menu changed in place: where a line keeps its kind, in the top level and in each
        # submenu, the host keeps its item.
        def same_kind(a, b):
            for x, y in zip(a, b):
                if (x[1] == "") == (y[1] == ""):
                    yield x[0], y[0]
                    yield from same_kind(x[3], y[3])
        kept = list(same_kind(tree, after_tree))
        self.assertGreater(len(kept), len(entries) // 2)
        self.assertEqual([a for a, _ in kept], [b for _, b in kept])
        self.assertNotEqual([t for _, t, _ in after], [t for _, t, _ in entries])
        # SIGTERM closed and wrote the minute in progress, so the stored history now holds
        # what the app showed; "Collected" counts that last minute once more.
        again = self.print_menu()
        shown = [unisolated(t) for _, t, _ in after[:-2]]
        collected = [i for i, t in enumerate(again) if t.startswith("Collected: ")]
        self.assertEqual(len(collected), 1)
        del again[collected[0]], shown[collected[0]]
        if shown != again:
            # A minute keeps its 24 heaviest names when it closes, while the app counted every
            # name of the minute in progress: on a busy machine the figures may then differ by
            # what the cut dropped, and only then.
            cut = [len(l.split("\t")[3].split(",")) == 24 for l in self.history_lines()[-2:]]
            self.assertTrue(any(cut), (shown, again))
            digits = lambda lines: [re.sub(r"[\d.]+", "#", t) for t in lines]
            self.assertEqual(digits(shown), digits(again))


    def test_a_fresh_start_shows_figures_within_seconds(self):
        # The first pass only sets baselines; the second, 2 s later, gives the first figure.
        watcher = self.service(d.Watcher())
        self.service(d.Notifications())
        start = time.monotonic()
        self.start()
        self.item(watcher)
        empty, _ = self.layout(with_tree=True)
        label = d.wait_for(lambda: (lambda s: s != "\u2026" and s)(self.prop("XAyatanaLabel")),
                           timeout=30, what="a figure")
        took = time.monotonic() - start
        print("first figure %r %.2f s after start" % (label, took))
        self.assertLess(took, 4)  # 2 s, the start-up and a loaded machine's slack
        # The windows had no data, so no submenus; now each has its rows in one, made in place.
        tree, _ = self.layout(with_tree=True)
        self.assertEqual((tree[0][0], tree[0][1]), (empty[0][0], "Now \u2014 " + label))
        self.assertEqual([len(inner) > 0 for _, t, _, inner in empty + tree
                          if t.startswith(("15 minutes", "24 hours"))], [False] * 2 + [True] * 2)
        self.assertEqual(self.stop(signal.SIGTERM), 0)


class KdeIcon(Desktop):
    def test_on_kde_the_icon_carries_the_figure_and_changes_with_it_only(self):
        runtime = os.path.join(self.dir, "run")
        os.makedirs(runtime, mode=0o700)
        watcher = self.service(d.Watcher())
        self.service(d.Notifications())
        self.start(XDG_CURRENT_DESKTOP="KDE", XDG_RUNTIME_DIR=runtime, SAPWELL_TICK_SECONDS="0.5")
        self.item(watcher)
        busy = subprocess.Popen(["sh", "-c", "while :; do :; done"])  # so the figure moves
        self.addCleanup(busy.wait)
        self.addCleanup(busy.kill)
        pairs = set()
        end = time.monotonic() + 12
        while time.monotonic() < end:
            label, icon, again = self.prop("XAyatanaLabel"), self.prop("IconName"), \
                self.prop("XAyatanaLabel")
            if label == again and label not in ("", "\u2026"):  # no tick between the reads
                pairs.add((label, icon))
            if len(pairs) >= 4 and time.monotonic() > end - 8:
                busy.kill()
            d.pump(0.2)
        labels = {l for l, _ in pairs}
        self.assertGreaterEqual(len(labels), 2, pairs)
        # One icon per figure, and a new one for every new figure.
        self.assertEqual(len(pairs), len(labels), pairs)
        self.assertEqual(len({i for _, i in pairs}), len(labels), pairs)
        folder = self.prop("IconThemePath")
        self.assertEqual(folder, os.path.join(runtime, "sapwell", "icons"))
        icon = self.prop("IconName")
        for sub, size in (("22x22", 22), ("22x22@2", 44)):
            png = os.path.join(folder, "hicolor", sub, "apps", icon + ".png")
            self.assertEqual(d.png_size(png), (size, size))
            out = os.environ.get("SAPWELL_TEST_OUTPUT", tempfile.gettempdir())
            os.makedirs(out, exist_ok=True)
            shutil.copy(png, os.path.join(out, "gtk-kde-icon-%d.png" % size))
        self.assertEqual(self.stop(signal.SIGTERM), 0)
        self.assertEqual(os.listdir(os.path.join(folder, "hicolor", "22x22", "apps")), [])


class NoTray(Desktop):
    def test_exactly_one_notification_when_nothing_shows_indicators(self):
        for with_watcher in (False, True):  # no watcher at all; a watcher without a host
            with self.subTest(watcher=with_watcher):
                self.setUp()
                notes = self.service(d.Notifications())
                if with_watcher:
                    self.service(d.Watcher(host=False))
                self.start(SAPWELL_LANG="de")
                d.pump(12)
                self.assertEqual(len(notes.notes()), 1)
                app, _, icon, summary, body, _, _, _ = notes.notes()[0]
                self.assertEqual((app, summary), ("Sapwell", "Sapwell l\u00e4uft"))
                self.assertIn("sapwell --print-menu", body)  # all three: AutostartTest
                self.assertTrue(icon.endswith("/sapwell.svg") and os.path.isfile(icon))
                self.assertEqual(self.stop(signal.SIGINT), 0)
                self.tearDown()

    def test_a_second_start_opens_the_chart_of_the_running_tray(self):
        self.write_history(week(["Firefox", "Code"]))
        notes = self.service(d.Notifications())
        self.start()
        d.wait_for(notes.notes, what="the notification")
        self.assertIn("Start Sapwell again", notes.notes()[0][4])
        for args, status, window in (([BINARY], 0, True), ([BINARY, "--terminal"], 1, False)):
            with self.subTest(args=args):
                second = d.run(args, env=self.env())
                self.assertEqual((second.returncode, second.stderr),
                                 (status, "Sapwell is already running\n"))
                if window:
                    d.wait_for(d.chart_windows, timeout=60, what="the chart window")
                    d.wait_for(lambda: self.drawn() == 1, timeout=60, what="the page")
        self.assertIsNone(self.proc.poll())
        self.assertEqual(self.stop(signal.SIGTERM), 0)

    def test_a_display_that_cannot_be_opened_falls_back_to_the_terminal_view(self):
        self.start(DISPLAY=":987", WAYLAND_DISPLAY="")
        d.wait_for(self.stderr_text, what="the message")
        time.sleep(1)
        self.assertEqual(self.stop(signal.SIGTERM), 0)
        lines = self.stderr_text().splitlines()
        self.assertEqual(lines, ["Sapwell: cannot open the display; running the terminal view."])


class AppUnit:
    """A process in a desktop application's unit, the way a launcher starts one, so the
    sampler knows its desktop entry: the path that the page lets the user reveal."""

    def __init__(self, data):
        self.entry = os.path.join(data, "applications", "sapwelltest.desktop")
        os.makedirs(os.path.dirname(self.entry), exist_ok=True)
        with open(self.entry, "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Sap Test\nExec=sleep\n")
        self.cgroup = os.path.join(CGROUP_ROOT, "app-test-sapwelltest-%d.scope" % os.getpid())
        # It must use a little CPU: the running app learns the entries of what it measures.
        self.proc = subprocess.Popen(["sh", "-c", "while :; do i=0; while [ $i -lt 3000 ]; "
                                      "do i=$((i+1)); done; sleep 0.3; done"])
        try:
            os.makedirs(self.cgroup, exist_ok=True)
            with open(os.path.join(self.cgroup, "cgroup.procs"), "w") as f:
                f.write(str(self.proc.pid))
        except OSError:
            self.close()
            raise

    def close(self):
        self.proc.kill()
        self.proc.wait()
        for _ in range(50):
            try:
                os.rmdir(self.cgroup)
                return
            except FileNotFoundError:
                return
            except OSError:
                time.sleep(0.1)


class ChartWindow(Desktop):
    def folder_handler(self):
        """The default application for folders: records what it was asked to open."""
        self.opened = os.path.join(self.dir, "opened.txt")
        script = os.path.join(self.dir, "open-folder")
        with open(script, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s"\n' % self.opened)
        os.chmod(script, 0o755)
        apps = os.path.join(self.data, "applications")
        os.makedirs(apps, exist_ok=True)
        with open(os.path.join(apps, "sapwell-test-folders.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Folders\nMimeType=inode/directory;\n"
                    'Exec="%s" %%u\n' % script)
        config = os.path.join(self.dir, "config")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\ninode/directory=sapwell-test-folders.desktop\n")

    def test_open_reveal_close_with_ctrl_w_reopen_and_quit(self):
        try:
            unit = AppUnit(self.data)
        except OSError as e:
            unit = None
            print("no application unit can be made here (%s): the reveal is not checked" % e)
        self.addCleanup(lambda: unit and unit.close())
        self.write_history(week(["Sap Test", "Firefox", "Code", "Terminal", "Slack", "Spotify"]))
        self.folder_handler()
        watcher = self.service(d.Watcher())
        files = self.service(d.FileManager())
        self.service(d.Notifications())
        self.start(SAPWELL_TICK_SECONDS="2")
        self.item(watcher)
        before = len(self.history_lines())
        d.pump(5)  # a few ticks: the app learns the entry of the unit's process as it measures it

        self.click(self.entry("Open Chart\u2026"))
        window = d.wait_for(d.chart_windows, timeout=60, what="the chart window")[0]
        x, y, w, h = d.geometry(window)
        self.assertEqual((w, h), (1000, 680))
        d.screenshot("gtk-chart-window-opening.png", "%dx%d+%d+%d" % (w, h, x, y))
        d.wait_for(lambda: self.drawn() == 1, timeout=60, what="the page's first drawing")
        d.pump(1.5)  # painted on screen
        d.screenshot("gtk-chart-window.png", "%dx%d+%d+%d" % (w, h, x, y))
        # The whole week too: the period buttons sit in the first row of controls.
        subprocess.run(["xdotool", "mousemove", str(x + 232), str(y + 107), "click", "1",
                        "mousemove", str(x + 990), str(y + 670)], timeout=30)
        d.pump(1.5)
        d.screenshot("gtk-chart-window-week.png", "%dx%d+%d+%d" % (w, h, x, y))

        if unit:
            # Taller, so the table shows whole; then down the name column until a name answers.
            subprocess.run(["xdotool", "windowsize", "--sync", window, "1000", "1200"],
                           timeout=30)
            d.pump(1)
            x, y, _, _ = d.geometry(window)
            for dy in range(300, 1190, 6):
                subprocess.run(["xdotool", "mousemove", str(x + 60), str(y + dy), "click", "1"],
                               timeout=30)
                d.pump(0.05)
                if files.shown():
                    break
            d.pump(0.5)
            uri = Gio.File.new_for_path(unit.entry).get_uri()
            self.assertEqual(files.shown(), [[uri]])
            self.assertIn("%20", uri)  # spaces and non-ASCII survived as GIO writes them
            # The application's row in the menu reveals the same entry.
            row = next(i for i, t, _ in self.layout() if t.startswith("     1. \u2068Sap Test\u2069 \u2014 "))
            self.click(row)
            d.wait_for(lambda: len(files.shown()) == 2, what="the reveal from the menu")
            self.assertEqual(files.shown(), [[uri], [uri]])

            # Without a file manager on the bus, the folder opens with its default handler.
            files.close()
            self.services.remove(files)
            subprocess.run(["xdotool", "click", "1"], timeout=30)
            d.wait_for(lambda: os.path.exists(self.opened), what="the folder handler")
            d.pump(0.5)
            with open(self.opened) as f:
                self.assertEqual(f.read(), os.path.dirname(unit.entry) + "\n")  # never the file

        subprocess.run(["xdotool", "windowfocus", "--sync", window], timeout=30)
        subprocess.run(["xdotool", "key", "ctrl+w"], timeout=30)
        d.wait_for(lambda: not d.chart_windows(), what="the window to hide")
        self.assertIsNone(self.proc.poll())

        self.click(self.entry("Open Chart\u2026"))
        again = d.wait_for(d.chart_windows, what="the window again")
        self.assertEqual(again, [window])  # the same window, as the user left it
        d.wait_for(lambda: self.drawn() == 2, timeout=60, what="a fresh page")
        if unit:
            self.assertEqual(d.geometry(window)[2:], (1000, 1200))

        d.pump(3)
        self.assertEqual(self.stop("quit"), 0)
        self.assertGreater(len(self.history_lines()), before)  # the minute in progress was kept
        self.assertTrue(self.history_lines()[-1].startswith(str(minute_now())) or
                        self.history_lines()[-1].startswith(str(minute_now() - 60)))


class ChartRelease(Desktop):
    def test_hidden_window_lets_webkit_go_and_opens_again_where_it_was(self):
        self.write_history(week(["Firefox", "Code", "Terminal"]))
        watcher = self.service(d.Watcher())
        self.service(d.Notifications())
        self.start(SAPWELL_CHART_RELEASE_SECONDS="3", GTK_THEME="Adwaita:dark")
        self.item(watcher)
        for opening in (1, 2):
            self.click(self.entry("Open Chart\u2026"))
            window = d.wait_for(d.chart_windows, timeout=60, what="the chart window")[0]
            x, y, w, h = d.geometry(window)
            shot = d.screenshot("gtk-chart-window-opening-dark-%d.png" % opening,
                                "%dx%d+%d+%d" % (w, h, x, y))
            # Before and after the page draws: the dark theme's colours, never a white window.
            self.assertLess(d.luminance(shot), 0.3)
            d.wait_for(lambda: self.drawn() == opening, timeout=60, what="the page")
            # The window's own process is the program itself, WebKit's processes its children.
            self.assertIn("sapwell", [d.process_name(p) for p in d.children(self.proc.pid)])
            d.pump(1.5)
            shot = d.screenshot("gtk-chart-window-dark-%d.png" % opening,
                                "%dx%d+%d+%d" % (w, h, x, y))
            self.assertLess(d.luminance(shot), 0.3)
            if opening == 1:
                first = (x, y, w, h)
                subprocess.run(["xdotool", "windowfocus", "--sync", window], timeout=30)
                subprocess.run(["xdotool", "key", "ctrl+w"], timeout=30)
                d.wait_for(lambda: not d.chart_windows(), what="the window to hide")
                d.wait_for(lambda: not d.descendants(self.proc.pid), timeout=20,
                           what="the window's process and WebKit's to end")
        self.assertEqual((x, y, w, h), first)  # a new window, where the last one was left
        self.assertEqual(self.stop("quit"), 0)


class Installed(Desktop):
    def test_installed_program_finds_its_icon_and_chart_module(self):
        prefix = os.path.join(self.dir, "prefix")
        run = d.run(["cmake", "--install", os.path.dirname(BINARY), "--prefix", prefix])
        self.assertEqual(run.returncode, 0, run.stderr)
        for part in ("share/applications/sapwell.desktop", "share/doc/Sapwell/README.md"):
            self.assertTrue(os.path.isfile(os.path.join(prefix, part)), part)
        watcher = self.service(d.Watcher())
        self.service(d.Notifications())
        self.start(os.path.join(prefix, "bin", "sapwell"))
        self.item(watcher)
        icons = os.path.join(prefix, "share/icons/hicolor/scalable/apps")
        self.assertEqual(self.prop("IconThemePath"), icons)
        self.click(self.entry("Open Chart\u2026"))
        d.wait_for(lambda: self.drawn() == 1, timeout=60, what="the chart from the module")
        self.assertEqual(self.stop("quit"), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
