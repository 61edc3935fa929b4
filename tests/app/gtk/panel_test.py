"""The label appears in a real panel, and a click there opens the menu. Run by panel_test.sh."""

import os
import re
import subprocess
import time
import unittest

import desktop as d

BINARY = os.environ["SAPWELL_BINARY"]
SERVICE = "/usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service"
PANEL_HEIGHT = 28


def differing_pixels(a, b):
    run = subprocess.run(["compare", "-metric", "AE", a, b, "null:"], capture_output=True,
                         text=True, timeout=30)
    return int(float(run.stderr.split()[0]))


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

    def spawn(self, args, **kw):
        p = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kw)
        self.procs.append(p)
        return p

    def registered(self):
        try:
            return d.get_property("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                  "org.kde.StatusNotifierWatcher",
                                  "RegisteredStatusNotifierItems")
        except d.GLib.Error:
            return None

    def test_label_shows_in_the_panel_and_a_click_opens_the_menu(self):
        m = int(time.time()) // 60 * 60
        data = os.environ["XDG_DATA_HOME"]
        os.makedirs(os.path.join(data, "Sapwell"))
        with open(os.path.join(data, "Sapwell", "history.tsv"), "w") as f:
            for ago, items in ((120, "Firefox=30000,bash=9000"), (60, "Firefox=6000,bash=3000")):
                f.write("%d\tcpu_ms\t60\t%s\t-\n" % (m - ago, items))

        self.spawn([SERVICE])
        d.wait_for(lambda: self.registered() is not None, timeout=30, what="the tray watcher")
        self.spawn(["xfce4-panel", "--disable-wm-check"])
        d.wait_for(plugin_window, timeout=60, what="the indicator plugin")
        time.sleep(1.5)
        bar = "1280x%d+0+0" % PANEL_HEIGHT
        before = d.screenshot("gtk-panel-empty.png", bar)

        env = dict(os.environ, SAPWELL_LANG="en")
        app = self.spawn([BINARY], env=env)
        d.wait_for(lambda: any(":" in i and "/org/ayatana/NotificationItem/sapwell" in i
                               for i in self.registered() or []),
                   timeout=30, what="the item in the watcher")
        label = d.run([BINARY, "--print-menu"], env=env).stdout.split("\n")[0].split(" \u2014 ")[1]
        self.assertEqual(label, "40% CPU")
        time.sleep(2)
        after = d.screenshot("gtk-panel-label.png", bar)
        self.assertGreater(differing_pixels(before, after), 150)  # the icon and "40% CPU"

        x, y, w, h = plugin_window()
        subprocess.run(["xdotool", "mousemove", str(x + w - 30), str(y + h // 2), "click", "1"],
                       timeout=30)
        subprocess.run(["xdotool", "mousemove", "1200", "700"], timeout=30)
        time.sleep(1.5)
        opened = d.screenshot("gtk-panel-menu.png")
        # Without a window manager the menu opens over the black desktop: a large lit area.
        below = "1280x%d+0+%d" % (800 - PANEL_HEIGHT - 1, PANEL_HEIGHT + 1)
        area = d.run(["convert", opened, "-crop", below, "+repage", "-threshold", "50%",
                      "-format", "%[fx:mean*w*h]", "info:"]).stdout
        self.assertGreater(float(area), 20000)
        self.assertIsNone(app.poll())


if __name__ == "__main__":
    unittest.main(verbosity=2)
