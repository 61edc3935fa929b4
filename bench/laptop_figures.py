#!/usr/bin/env python3
"""Figures for the battery benches: what the history and `sapwell --print-menu` say, against the
ground truth of bench/fake_battery.py. Reads only; nothing of the program's arithmetic is redone
here except sums of the history's drain field.

  laptop_figures.py drain --history H --truth LOG --since T [--until T]
      Recorded drain (sum of the "<mJ>:<seconds>" sixth fields of minutes from T on) against the
      driver's true drain over the same span. The measured part of the first minute is taken to
      be its end and that of the last minute its start (the program measures from one reading
      to the next, without gaps while it runs), so the span is
      [first minute + 60 - its seconds, last minute + its seconds]. Also shows what an exact
      reader of energy_now could have seen over that span (the files step in 10 mWh).
  laptop_figures.py estimate --menu M --history H --since T --full-wh WH --core-w W NAME=CPUMS...
      Each workload's energy as the menu's row shows it, against core W x its CPU time.
  laptop_figures.py idle --menu M --full-wh WH --expect-w W
      The idle power the menu's "Idle and screen" row implies, against the expected one.

Rows read "<name> — <figure> · <share>%". A figure in "%/h" (of the battery's full energy, over
the window's measured seconds) or in W/mW gives a power, and power x measured seconds the energy;
otherwise the share of the window's recorded drain does. A figure in "% CPU" means the menu shows
CPU time, not energy. Exit status: 0 all within target, 1 some not, 2 nothing to compare.
"""

import argparse
import bisect
import re
import sys
import time

DASH, DOT = " \u2014 ", " \u00b7 "
ROW = re.compile(r"^\s+(?:(\d+)\.\s+)?(.+?)" + DASH + r"(.+?)" + DOT + r"(\d+(?:\.\d+)?)%\s*$")
WINDOWS = {"15 minutes": 15, "30 minutes": 30, "1 hour": 60, "24 hours": 1440}
IDLE_ROW = "Idle and screen"


# ---- inputs -------------------------------------------------------------------------------------

def history_minutes(path, since=None, until=None):
    """(minute, mJ, seconds) of every line with a drain field, in file order."""
    out = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) < 6 or ":" not in fields[5]:
                continue
            try:
                minute = int(fields[0])
                mj, seconds = fields[5].split(":", 1)
                mj, seconds = int(mj), float(seconds)
            except ValueError:
                continue
            if (since is None or minute >= since // 60 * 60) and (until is None or minute <= until):
                out.append((minute, mj, seconds))
    return out


def history_cpu_ms(path, since, until=None, name=None):
    """The CPU ms the history's items give `name` (every name when None) in minutes from `since`
    to `until`."""
    total = 0
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) < 4 or not fields[0].isdigit():
                continue
            minute = int(fields[0])
            if minute < since // 60 * 60 or (until and minute > until):
                continue
            for item in fields[3].split(","):
                key, _, value = item.rpartition("=")
                if (name is None or key == name) and value.isdigit():
                    total += int(value)
    return total


def truth_log(path):
    """(wall, drained mJ, energy_now µWh) rows of the driver's log."""
    rows = []
    with open(path) as f:
        for line in f:
            if line.startswith("#"):
                continue
            v = line.split("\t")
            rows.append((float(v[0]), float(v[5]), int(v[6])))
    return rows


def menu_windows(path):
    """{window label: [(name, figure, share)]} of the menu, rows in order."""
    windows, current = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line and not line[0].isspace():
                current = line.split(DASH, 1)[0]
                windows.setdefault(current, [])
                continue
            m = ROW.match(line)
            if m and current is not None:
                windows[current].append((m.group(2).strip(), m.group(3).strip(), float(m.group(4))))
    return windows


def figure_power_mw(figure, full_wh):
    """The power a row's figure shows, in mW, with its relative rounding bound; None otherwise."""
    m = re.match(r"^(\d+(?:\.(\d+))?)\s*%/h$", figure)
    if m:
        v = float(m.group(1))
        ulp = 0.5 * 10 ** -len(m.group(2) or "")
        return v / 100 * full_wh * 1000, (ulp / v if v else float("inf"))
    m = re.match(r"^(\d+(?:\.(\d+))?)\s*(m?W)$", figure)
    if m:
        v = float(m.group(1))
        ulp = 0.5 * 10 ** -len(m.group(2) or "")
        return v * (1 if m.group(3) == "mW" else 1000), (ulp / v if v else float("inf"))
    return None


def interpolate(rows, t):
    """True drained mJ at wall time t, linear between the driver's updates."""
    walls = [r[0] for r in rows]
    i = bisect.bisect_right(walls, t)
    if i == 0:
        return rows[0][1]
    if i == len(rows):
        return rows[-1][1]
    (w0, d0, _), (w1, d1, _) = rows[i - 1], rows[i]
    return d0 + (d1 - d0) * (t - w0) / (w1 - w0)


def shown_energy(rows, t):
    """energy_now (µWh) in the files at wall time t."""
    walls = [r[0] for r in rows]
    return rows[max(0, bisect.bisect_right(walls, t) - 1)][2]


def verdict(ok):
    return "PASS" if ok else "FAIL"


# ---- commands -----------------------------------------------------------------------------------

def cmd_drain(a):
    minutes = history_minutes(a.history, a.since, a.until)
    if not minutes:
        print("drain: no drain recorded (no minute of the run has a sixth field: the binary predates "
              "the drain measurement, or it never saw the battery discharge)")
        return 2
    rows = truth_log(a.truth)
    recorded = sum(mj for _, mj, _ in minutes)
    seconds = sum(s for _, _, s in minutes)
    (m0, _, s0), (m1, _, s1) = minutes[0], minutes[-1]
    if m0 == m1:
        end = min(m0 + 60.0, a.until or m0 + 60.0)
        start = end - s0
    else:
        start, end = m0 + 60 - s0, m1 + s1
    truth = interpolate(rows, end) - interpolate(rows, start)
    readable = (shown_energy(rows, start) - shown_energy(rows, end)) * 3.6
    err = recorded / truth - 1 if truth > 0 else float("inf")
    print(f"{'drain':<28} {'recorded':>12} {'truth':>12} {'error':>8}")
    print(f"{'energy over the span, mJ':<28} {recorded:>12.0f} {truth:>12.0f} {100 * err:>+7.2f}%  "
          f"{verdict(abs(err) <= a.tolerance)} (target ±{100 * a.tolerance:.0f}%)")
    if seconds > 0 and end > start:
        print(f"{'mean power, mW':<28} {recorded / seconds:>12.0f} {truth / (end - start):>12.0f} "
              f"{100 * ((recorded / seconds) / (truth / (end - start)) - 1):>+7.2f}%")
    print(f"  {len(minutes)} minutes, {seconds:.1f} s measured over a span of {end - start:.1f} s "
          f"({time.strftime('%H:%M:%S', time.localtime(start))}–{time.strftime('%H:%M:%S', time.localtime(end))}); "
          f"an exact reader of energy_now saw {readable:.0f} mJ ({100 * (readable / truth - 1) if truth else 0:+.2f}%)")
    # The law shares out CPU time as /proc/stat counts it; the estimate, as the history does.
    busy_ms = truth_busy_ms(a.truth, start, end)
    cpu_ms = history_cpu_ms(a.history, a.since, a.until)
    print(f"  CPU over the run: {cpu_ms} ms in the history's items, {busy_ms:.0f} ms busy in /proc/stat "
          f"over the span ({100 * (cpu_ms / busy_ms - 1) if busy_ms else 0:+.1f}%)")
    return 0 if abs(err) <= a.tolerance else 1


def truth_busy_ms(path, start, end):
    """Busy CPU ms of the driver's updates that ended within [start, end]."""
    total = 0.0
    with open(path) as f:
        for line in f:
            if line.startswith("#"):
                continue
            v = line.split("\t")
            wall, dt, cores = float(v[0]), float(v[1]), float(v[2])
            if start < wall <= end:
                total += cores * dt * 1000
    return total


def pick_window(windows, run_minutes):
    for label, minutes in sorted(WINDOWS.items(), key=lambda kv: kv[1]):
        if minutes >= run_minutes + 2 and label in windows:
            return label, minutes
    return None, None


def cmd_estimate(a):
    windows = menu_windows(a.menu)
    run_minutes = ((a.until or time.time()) - a.since) / 60
    label, span = pick_window(windows, run_minutes)
    if label is None:
        print("estimate: the menu has no window that holds the whole run")
        return 2
    now = a.until or time.time()
    minutes = [m for m in history_minutes(a.history, a.since) if m[0] >= now - span * 60]
    drain_mj = sum(mj for _, mj, _ in minutes)
    seconds = sum(s for _, _, s in minutes)
    rows = {name: (figure, share) for name, figure, share in windows[label]}
    if not minutes:
        for workload in a.workloads:
            name, cpu_ms = workload.split("=", 1)
            print(f"{name}: {cpu_ms} CPU ms by getrusage, {history_cpu_ms(a.history, a.since, name=name)} in the history")
        print(f"estimate: no drain recorded in the menu's \"{label}\" window; its rows: " +
              "; ".join(f"{n} — {f} · {s:g}%" for n, (f, s) in rows.items()))
        return 2
    print(f"estimate from the menu's \"{label}\" window: {drain_mj:.0f} mJ recorded over {seconds:.1f} s")
    print(f"{'workload':<12} {'CPU ms':>9} {'recorded':>9} {'truth mJ':>10} {'menu row':>22} {'estimate mJ':>12} {'error':>8}")
    status = 0
    for workload in a.workloads:
        name, cpu_ms = workload.split("=", 1)
        # The CPU time the history gives it: an error here is the attribution's, not the sharing's.
        cpu = f"{cpu_ms:>9} {history_cpu_ms(a.history, a.since, name=name):>9}"
        expected = a.core_w * float(cpu_ms)  # W x ms = mJ
        if name not in rows:
            print(f"{name:<12} {cpu} {expected:>10.0f} {'(not among the rows)':>22} {'-':>12} {'-':>8}  FAIL")
            status = max(status, 1)
            continue
        figure, share = rows[name]
        row = f"{figure} · {share:g}%"
        if "CPU" in figure:
            print(f"{name:<12} {cpu} {expected:>10.0f} {row:>22} {'-':>12} {'-':>8}  "
                  "n/a (the menu shows CPU time)")
            status = max(status, 2)
            continue
        power = figure_power_mw(figure, a.full_wh)
        if power:
            estimate, bound = power[0] * seconds, power[1]
        else:
            estimate, bound = share / 100 * drain_mj, 0.5 / share if share else float("inf")
        err = estimate / expected - 1 if expected else float("inf")
        ok = abs(err) <= a.tolerance
        print(f"{name:<12} {cpu} {expected:>10.0f} {row:>22} {estimate:>12.0f} {100 * err:>+7.1f}%  "
              f"{verdict(ok)} (target ±{100 * a.tolerance:.0f}%; the row's rounding ±{100 * bound:.1f}%)")
        status = max(status, 0 if ok else 1)
    if IDLE_ROW in rows and seconds > 0:
        figure, share = rows[IDLE_ROW]
        power = figure_power_mw(figure, a.full_wh)
        idle = power[0] if power else share / 100 * drain_mj / seconds
        print(f"{IDLE_ROW}: {figure} · {share:g}% -> {idle:.0f} mW over the window")
    return status


def program_p0_mw(menu_text, windows, full_wh):
    """The idle power the program shows, in mW, and where it came from.

    HOOK: when the program states its fitted idle power itself (a note such as "Idle power: 3.1 W"),
    add its pattern to `stated` and it is used first. Until then the "Idle and screen" row of the
    widest window stands in: its figure over the window is P0 wherever a minute drew at least P0.
    """
    stated = [r"idle power[^0-9\n]*(\d+(?:\.\d+)?)\s*(m?W)\b"]
    for pattern in stated:
        m = re.search(pattern, menu_text, re.IGNORECASE)
        if m:
            return float(m.group(1)) * (1 if m.group(2) == "mW" else 1000), "stated: " + m.group(0)
    for label, _ in sorted(WINDOWS.items(), key=lambda kv: -kv[1]):
        for name, figure, share in windows.get(label, []):
            if name == IDLE_ROW:
                power = figure_power_mw(figure, full_wh)
                if power:
                    return power[0], f'"{label}" window row: {name} — {figure} · {share:g}%'
    return None, None


def cmd_idle(a):
    with open(a.menu, encoding="utf-8") as f:
        text = f.read()
    p0, source = program_p0_mw(text, menu_windows(a.menu), a.full_wh)
    if p0 is None:
        print(f'idle: the menu shows no idle power (no "{IDLE_ROW}" row with a power figure): '
              "the binary predates the estimate")
        return 2
    expected = a.expect_w * 1000
    err = p0 / expected - 1
    ok = abs(err) <= a.tolerance
    print(f"idle power P0: {p0:.0f} mW against {expected:.0f} mW, {100 * err:+.1f}%  "
          f"{verdict(ok)} (target ±{100 * a.tolerance:.0f}%)   [{source}]")
    return 0 if ok else 1


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    sub = p.add_subparsers(dest="cmd", required=True)
    d = sub.add_parser("drain")
    d.add_argument("--history", required=True)
    d.add_argument("--truth", required=True)
    d.add_argument("--since", type=float, required=True)
    d.add_argument("--until", type=float)
    d.add_argument("--tolerance", type=float, default=0.02)
    e = sub.add_parser("estimate")
    e.add_argument("--menu", required=True)
    e.add_argument("--history", required=True)
    e.add_argument("--since", type=float, required=True)
    e.add_argument("--until", type=float)
    e.add_argument("--full-wh", type=float, required=True)
    e.add_argument("--core-w", type=float, default=8)
    e.add_argument("--tolerance", type=float, default=0.10)
    e.add_argument("workloads", nargs="+", metavar="NAME=CPUMS")
    i = sub.add_parser("idle")
    i.add_argument("--menu", required=True)
    i.add_argument("--full-wh", type=float, required=True)
    i.add_argument("--expect-w", type=float, default=3)
    i.add_argument("--tolerance", type=float, default=0.10)
    a = p.parse_args()
    return {"drain": cmd_drain, "estimate": cmd_estimate, "idle": cmd_idle}[a.cmd](a)


if __name__ == "__main__":
    sys.exit(main())
