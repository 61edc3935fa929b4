"""Measures the desktop shell and the terminal view; run by bench/desktop-figures.sh."""

import os
import pty
import random
import shutil
import subprocess
import tempfile
import time

import desktop as d

BINARY = os.environ["SAPWELL_BINARY"]
IDLE = float(os.environ.get("SAPWELL_IDLE_SECONDS", "300"))
TICKS_PER_S = os.sysconf("SC_CLK_TCK")
AFTER_CLOSE = 90


def history(path):
    """Every minute of eight days, 24 names each, as a long-running install would have."""
    rnd = random.Random(1)
    start = int(time.time()) // 60 * 60 - 11520 * 60
    os.makedirs(os.path.dirname(path))
    with open(path, "w") as f:
        for k in range(11520):
            items = ",".join("App %d=%d" % (j, (24 - j) * 400 * (0.2 + rnd.random()))
                             for j in range(24))
            f.write("%d\tcpu_ms\t60.0\t%s\t-\n" % (start + k * 60, items))


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS_PER_S


def memory_kb(pid, key):
    """VmRSS from status, or Pss from smaps_rollup (shared pages split among their users)."""
    name = "status" if key == "VmRSS" else "smaps_rollup"
    with open("/proc/%d/%s" % (pid, name)) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def family(pid):
    """The process and all its descendants (WebKit's web and network processes)."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry) as f:
                    ppid = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(ppid, []).append(int(entry))
            except OSError:
                pass
    out, todo = [], [pid]
    while todo:
        p = todo.pop()
        out.append(p)
        todo += children.get(p, [])
    return out


def main():
    work = tempfile.mkdtemp(prefix="sapwell-figures-")
    envs = {}
    for shell in ("tray", "terminal"):
        data = os.path.join(work, shell)
        history(os.path.join(data, "Sapwell", "history.tsv"))
        envs[shell] = dict(os.environ, XDG_DATA_HOME=data, TMPDIR=work, SAPWELL_LANG="en",
                           NO_AT_BRIDGE="1", GSETTINGS_BACKEND="memory", SAPWELL_REPORT_DRAW="1")
    watcher = d.Watcher()
    d.Notifications()
    err = open(os.path.join(work, "tray-stderr.txt"), "w+")
    tray = subprocess.Popen([BINARY], env=envs["tray"], stdout=subprocess.DEVNULL, stderr=err)
    main_fd, sub_fd = pty.openpty()  # the terminal view draws on a terminal, as a user runs it
    terminal = subprocess.Popen([BINARY, "--terminal"], env=envs["terminal"], stdin=sub_fd,
                                stdout=sub_fd, stderr=subprocess.DEVNULL)
    drain = lambda: os.read(main_fd, 1 << 20) if select_ready(main_fd) else b""

    d.wait_for(lambda: watcher.items, timeout=30, what="the indicator")
    settle_until = time.monotonic() + 20
    while time.monotonic() < settle_until:
        d.pump(0.2)
        drain()
    start = {p.pid: cpu_seconds(p.pid) for p in (tray, terminal)}
    t0 = time.monotonic()
    while time.monotonic() - t0 < IDLE:
        d.pump(0.5)
        drain()
    elapsed = time.monotonic() - t0
    print("idle for %.0f s (ticks every 15 s), eight-day history of 11,520 minutes x 24 names"
          % elapsed)
    for name, p in (("tray", tray), ("terminal", terminal)):
        per_hour = (cpu_seconds(p.pid) - start[p.pid]) / elapsed * 3600
        print("  %-8s RSS %6.1f MB  PSS %6.1f MB  CPU %.2f s/hour" % (
            name, memory_kb(p.pid, "VmRSS") / 1024, memory_kb(p.pid, "Pss") / 1024, per_hour))

    name, path = watcher.items[0]
    menu = d.get_property(name, path, "org.kde.StatusNotifierItem", "Menu")
    layout = d.call(name, menu, "com.canonical.dbusmenu", "GetLayout", (0, -1, []), "(iias)")
    chart_id = next(c[0] for c in layout[1][2] if c[1].get("label", "").startswith("Open Chart"))

    def open_chart(n):
        clicked = time.time() * 1000
        d.call(name, menu, "com.canonical.dbusmenu", "Event",
               (chart_id, "clicked", d.GLib.Variant("i", 0), 0), "(isvu)")
        def drawn():
            err.flush()
            with open(err.name) as f:
                stamps = [float(l.split()[-1]) for l in f if "chart drawn at" in l]
            return stamps[n - 1] if len(stamps) >= n else None
        return d.wait_for(drawn, timeout=60, what="the page's draw()") - clicked

    def tray_memory(what):
        procs = family(tray.pid)
        rss = sum(memory_kb(p, "VmRSS") for p in procs) / 1024
        pss = sum(memory_kb(p, "Pss") for p in procs) / 1024
        print("  tray and children, %s: %d processes, RSS %.1f MB, PSS %.1f MB"
              % (what, len(procs), rss, pss))
        return pss

    idle_pss = tray_memory("idle")
    for n in (1, 2, 3):
        print("  Open Chart to first completed draw(), opening %d: %.0f ms" % (n, open_chart(n)))
    d.pump(3)
    tray_memory("with the chart open")
    # Closed as a user closes it; the window's process ends after 60 s hidden.
    window = d.chart_windows()[0]
    subprocess.run(["xdotool", "windowfocus", "--sync", window], timeout=30)
    subprocess.run(["xdotool", "key", "ctrl+w"], timeout=30)
    d.wait_for(lambda: not d.chart_windows(), what="the window to hide")
    d.pump(AFTER_CLOSE)
    after = tray_memory("%.0f s after closing the chart" % AFTER_CLOSE)
    print("  %.1f MB above the idle tray (target: within 10 MB)" % (after - idle_pss))
    # Cold again: the window's process ended and is started anew.
    print("  Open Chart to first completed draw(), after the window's process ended: %.0f ms"
          % open_chart(4))

    for p in (tray, terminal):
        p.terminate()
        p.wait(20)
    shutil.rmtree(work, ignore_errors=True)


def select_ready(fd):
    import select
    return bool(select.select([fd], [], [], 0)[0])


if __name__ == "__main__":
    main()
