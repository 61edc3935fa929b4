"""The label appears in a real panel, and a click there opens the menu; on a discharging laptop
the label, the menu and the chart speak battery. Run by panel_test.sh."""

import os
import re
import subprocess
import sys
import time
import unittest

import desktop as d

BINARY = os.environ["SAPWELL_BINARY"]
SERVICE = "/usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service"
PANEL_HEIGHT = 28
FAKE_BATTERY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "bench",
                            "fake_battery.py")
ITEM, MENU = "org.kde.StatusNotifierItem", "com.canonical.dbusmenu"
FULL_MJ = 40 * 3_600_000  # the fixture battery's 40 Wh


def differing_pixels(a, b):
    run = subprocess.run(["compare", "-metric", "AE", a, b, "null:"], capture_output=True,
                         text=True, timeout=30)
    return int(float(run.stderr.split()[0]))


def changed_box(a, b, crop=None):
    """Where two screenshots differ (within `crop`, WxH+X+Y): x, y, width, height."""
    crop = ["-crop", crop] if crop else []
    out = d.run(["convert", a, b, "-compose", "difference", "-composite"] + crop +
                ["-threshold", "0", "-trim", "-format", "%X %Y %w %h", "info:"]).stdout
    x, y, w, h = out.split()
    return int(x), int(y), int(w), int(h)


def plugin_window():
    """The indicator plugin's window inside the panel: its place on screen and its size."""
    tree = d.run(["xwininfo", "-root", "-tree"]).stdout
    for line in tree.splitlines():
        m = re.search(r'"wrapper-2\.0".*?(\d+)x(\d+)\+0\+0\s+\+(-?\d+)\+(-?\d+)', line)
        if m:
            w, h, x, y = map(int, m.groups())
            return x, y, w, h
    return None


class Panel(unittest.TestCase):
    def setUp(self):
        self.procs = []

    def tearDown(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()

    def spawn(self, args, stderr=subprocess.DEVNULL, **kw):
        p = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=stderr, **kw)
        self.procs.append(p)
        return p

    def registered(self):
        try:
            return d.get_property("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                  "org.kde.StatusNotifierWatcher",
                                  "RegisteredStatusNotifierItems")
        except d.GLib.Error:
            return None

    def start_panel(self):
        self.spawn([SERVICE])
        d.wait_for(lambda: self.registered() is not None, timeout=30, what="the tray watcher")
        self.spawn(["xfce4-panel", "--disable-wm-check"])
        d.wait_for(plugin_window, timeout=60, what="the indicator plugin")
        time.sleep(1.5)

    def item(self):
        """The program's item as the watcher lists it: its bus name and object path."""
        item = d.wait_for(lambda: next((i for i in self.registered() or [] if i.startswith(":") and
                                        "/org/ayatana/NotificationItem/sapwell" in i), None),
                          timeout=30, what="the item in the watcher")
        return item[:item.index("/")], item[item.index("/"):]

    def click_plugin(self):
        """Clicks the label in the panel, then moves the pointer off the menu it opens."""
        x, y, w, h = plugin_window()
        subprocess.run(["xdotool", "mousemove", str(x + w - 30), str(y + h // 2), "click", "1"],
                       timeout=30)
        subprocess.run(["xdotool", "mousemove", "100", "700"], timeout=30)
        time.sleep(1.5)

    def test_label_shows_in_the_panel_and_a_click_opens_the_menu(self):
        m = int(time.time()) // 60 * 60
        data = os.environ["XDG_DATA_HOME"]
        os.makedirs(os.path.join(data, "Sapwell"))
        with open(os.path.join(data, "Sapwell", "history.tsv"), "w") as f:
            for ago, items in ((120, "Firefox=30000,bash=9000"), (60, "Firefox=6000,bash=3000")):
                f.write("%d\tcpu_ms\t60\t%s\t-\n" % (m - ago, items))

        self.start_panel()
        bar = "1280x%d+0+0" % PANEL_HEIGHT
        before = d.screenshot("gtk-panel-empty.png", bar)

        env = dict(os.environ, SAPWELL_LANG="en")
        app = self.spawn([BINARY], env=env)
        self.item()
        label = d.run([BINARY, "--print-menu"], env=env).stdout.split("\n")[0].split(" \u2014 ")[1]
        self.assertEqual(label, "40% CPU")
        time.sleep(2)
        after = d.screenshot("gtk-panel-label.png", bar)
        self.assertGreater(differing_pixels(before, after), 150)  # the icon and "40% CPU"

        self.click_plugin()
        opened = d.screenshot("gtk-panel-menu.png")
        # Without a window manager the menu opens over the black desktop: a large lit area.
        below = "1280x%d+0+%d" % (800 - PANEL_HEIGHT - 1, PANEL_HEIGHT + 1)
        area = d.run(["convert", opened, "-crop", below, "+repage", "-threshold", "50%",
                      "-format", "%[fx:mean*w*h]", "info:"]).stdout
        self.assertGreater(float(area), 20000)
        self.assertIsNone(app.poll())

    def test_the_whole_menu_fits_600_px_and_each_window_opens_its_rows(self):
        m = int(time.time()) // 60 * 60
        data = os.environ["XDG_DATA_HOME"]
        os.makedirs(os.path.join(data, "Sapwell"), exist_ok=True)
        # Two hours of seven applications: five rows in "Now" and in every window.
        names = ["Firefox", "Thunderbird", "Code", "Terminal", "Slack", "Spotify", "bash"]
        items = ",".join("%s=%d" % (n, 9000 // (i + 1)) for i, n in enumerate(names))
        with open(os.path.join(data, "Sapwell", "history.tsv"), "w") as f:
            for ago in range(7200, 0, -60):
                f.write("%d\tcpu_ms\t60\t%s\t-\n" % (m - ago, items))
        self.start_panel()
        app = self.spawn([BINARY], env=dict(os.environ, SAPWELL_LANG="en"))
        self.item()
        time.sleep(2)
        shut = d.screenshot("gtk-panel-full-label.png")
        self.click_plugin()
        opened = d.screenshot("gtk-panel-full-menu.png")
        x, y, w, h = changed_box(shut, opened)
        print("menu %dx%d at %d,%d" % (w, h, x, y))
        self.assertTrue(300 < h <= 600 and w > 300, (w, h))
        # "Now", its note and five rows, then the first window: its submenu opens to the side.
        for key in ["Down"] * 8 + ["Right"]:
            subprocess.run(["xdotool", "key", key], timeout=30)
            time.sleep(0.1)
        time.sleep(1)
        sub = d.screenshot("gtk-panel-full-submenu.png")
        sx, sy, sw, sh = changed_box(opened, sub, "%dx%d+0+0" % (x, 800))
        print("submenu %dx%d at %d,%d" % (sw, sh, sx, sy))
        self.assertTrue(sx + sw == x and y < sy < y + h and 100 < sh < 200, (sx, sy, sw, sh))
        subprocess.run(["xdotool", "key", "Escape", "Escape"], timeout=30)
        self.assertIsNone(app.poll())

    def test_on_a_discharging_battery_the_label_menu_and_chart_show_its_drain(self):
        home = os.environ["HOME"]
        data, power = os.path.join(home, "battery-data"), os.path.join(home, "power")
        os.makedirs(os.path.join(data, "Sapwell"))
        # Ten measured minutes on battery that follow 4 W + 8 W per busy core, level falling.
        m, level, mw = int(time.time()) // 60 * 60, 62.0, []
        with open(os.path.join(data, "Sapwell", "history.tsv"), "w") as f:
            for ago, cpu in zip(range(600, 0, -60), (30, 6, 12, 45, 3, 20, 9, 15, 40, 5)):
                mw.append(4000 + 8000 * cpu / 60)
                level -= mw[-1] * 60 / FULL_MJ * 100
                f.write("%d\tcpu_ms\t60\tFirefox=%d,Code=%d\t%.1f:d\t%d:58.3\n"
                        % (m - ago, cpu * 700, cpu * 300, level, mw[-1] * 58.3))
        # The fixture drains at the last five minutes' mean, so the live minute keeps the figure.
        recent = sum(mw[-5:]) / 5
        ready = os.path.join(home, "battery-ready")
        self.spawn([sys.executable, FAKE_BATTERY, "--dir", power, "--full-wh", "40",
                    "--start-pct", str(level), "--idle-w", str(recent / 1000), "--busy-cores", "0",
                    "--step-mwh", "1", "--step-seconds", "0.5", "--ready", ready])
        d.wait_for(lambda: os.path.exists(ready), what="the fixture battery")

        self.start_panel()
        stderr = open(os.path.join(home, "battery-stderr.txt"), "w+")
        self.addCleanup(stderr.close)
        env = dict(os.environ, SAPWELL_LANG="en", XDG_DATA_HOME=data, SAPWELL_TICK_SECONDS="2",
                   SAPWELL_POWER_SUPPLY_DIR=power, SAPWELL_REPORT_DRAW="1")
        app = self.spawn([BINARY], env=env, stderr=stderr)
        name, path = self.item()
        label = d.wait_for(lambda: (lambda s: s.endswith("%/h") and s)(
            d.get_property(name, path, ITEM, "XAyatanaLabel")), timeout=30, what="a drain label")
        # Percent of the 40 Wh an hour: mW x 3600 s / 144 000 000 mJ x 100; a minute that turns
        # before the start shifts the five-minute window by one seeded minute (under 5 %).
        self.assertAlmostEqual(float(label[:-3]), recent / 400, delta=recent / 400 * 0.1)
        time.sleep(2)
        x, y, w, h = plugin_window()
        d.screenshot("gtk-panel-battery-label.png", "%dx%d+%d+%d" % (w, h, x, y))

        shut = d.screenshot("gtk-panel-battery-shut.png")
        self.click_plugin()
        opened = d.screenshot("gtk-panel-battery-menu.png")
        _, _, w, h = changed_box(shut, opened)
        print("battery menu %dx%d" % (w, h))
        self.assertLessEqual(h, 600)  # its notes are the most the top level carries
        menu = d.get_property(name, path, ITEM, "Menu")
        entries = d.layout_entries(d.call(name, menu, MENU, "GetLayout", (0, -1, []), "(iias)"))
        texts = [t for _, t, _ in entries]
        self.assertTrue(any(re.fullmatch(r" +\d\. \u2068Idle and screen\u2069 \u2014 [\d.]+%/h \u00b7 \d+%", t)
                            for t in texts), texts)
        self.assertIn("Estimate: the battery's measured drain, shared out by each app's CPU time",
                      texts)

        subprocess.run(["xdotool", "key", "Escape"], timeout=30)  # the open menu holds the keys
        chart = next(i for i, t, _ in entries if t == "Open Chart\u2026")
        d.call(name, menu, MENU, "Event", (chart, "clicked", d.GLib.Variant("i", 0), 0), "(isvu)")
        window = d.wait_for(d.chart_windows, timeout=60, what="the chart window")[0]
        d.wait_for(lambda: "chart drawn at" in open(stderr.name).read(), timeout=60,
                   what="the page's first drawing")
        time.sleep(1.5)
        x, y, w, h = d.geometry(window)
        d.screenshot("gtk-chart-window-battery.png", "%dx%d+%d+%d" % (w, h, x, y))
        self.assertIsNone(app.poll())


if __name__ == "__main__":
    unittest.main(verbosity=2)
