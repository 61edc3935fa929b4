#!/usr/bin/env python3
"""Eight days of history whose minutes drain the battery by a known law, for the idle-power fit.

Each awake minute's measured drain (the sixth field, "<mJ>:<seconds>") follows
    power = idle W + core W x (CPU ms/s / 1000)
where CPU ms/s is the minute's items summed over its awake seconds, times noise (normal, relative
--noise), and a few outliers (--outliers of the minutes): spikes of 2-4 times the power, as a GPU or
a radio would add, and stale readings of under a third of it. Nights (01:00-07:00 local) are
missing, as a machine asleep leaves them; when the level falls under 15 % the battery charges for
two hours (state "c", no drain field) back to 95 %.

Usage: crafted_history.py --out FILE [options]; prints what it wrote and, as a check that the
data carries the law, a least-squares fit of minute power on CPU rate that leaves out the worst
tenth of residuals (not the program's fit: a reference).

Options:
  --out FILE         history file to write (its folder is made)
  --tag TAG          metric tag of the lines (default cpu_ms)
  --days D           span (default 8; the file keeps eight)
  --end-minutes M    the newest minute is M minutes before now (default 1)
  --idle-w W         default 3
  --core-w W         default 8
  --cores N          the machine's cores: CPU rates range up to N x 1000 ms/s (default 2)
  --full-wh WH       battery size for the level column (default 20)
  --noise R          relative noise of minute power (default 0.05)
  --outliers R       share of outlier minutes (default 0.03)
  --seed N           random seed (default 42)
"""

import argparse
import os
import random
import time

APPS = ["Firefox", "Terminal", "Visual Studio Code", "Linux", "GNOME Shell", "Slack", "cc1plus",
        "PipeWire", "Thunderbird", "Files"]


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--out", required=True)
    p.add_argument("--tag", default="cpu_ms")
    p.add_argument("--days", type=float, default=8)
    p.add_argument("--end-minutes", type=int, default=1)
    p.add_argument("--idle-w", type=float, default=3)
    p.add_argument("--core-w", type=float, default=8)
    p.add_argument("--cores", type=int, default=2)
    p.add_argument("--full-wh", type=float, default=20)
    p.add_argument("--noise", type=float, default=0.05)
    p.add_argument("--outliers", type=float, default=0.03)
    p.add_argument("--seed", type=int, default=42)
    a = p.parse_args()
    rnd = random.Random(a.seed)

    last = (int(time.time()) // 60 - a.end_minutes) * 60
    count = int(a.days * 1440) - a.end_minutes
    full_mj = a.full_wh * 3.6e6
    pct, charging_left = 80.0, 0
    points, outliers, lines = [], 0, []
    for m in range(count - 1, -1, -1):
        minute = last - m * 60
        if 1 <= time.localtime(minute).tm_hour < 7:
            continue
        # Quiet minutes most often, builds and videos now and then: a wide spread of CPU rates.
        kind = rnd.random()
        if kind < 0.45:
            rate = rnd.uniform(10, 150)
        elif kind < 0.85:
            rate = rnd.uniform(150, 800)
        else:
            rate = rnd.uniform(800, 1000 * a.cores)
        awake = 60.0 if rnd.random() > 0.1 else round(rnd.uniform(20, 60), 1)
        total_ms = int(round(rate * awake))
        rate = total_ms / awake
        k = rnd.randint(1, 6)
        weights = sorted((rnd.random() ** 2 + 0.01 for _ in range(k)), reverse=True)
        names = rnd.sample(APPS, k)
        shares = [int(total_ms * w / sum(weights)) for w in weights]
        shares[0] += total_ms - sum(shares)
        items = ",".join(f"{n}={v}" for n, v in sorted(zip(names, shares), key=lambda x: -x[1]) if v > 0)

        if charging_left > 0 or pct < 15:
            charging_left = charging_left - 1 if charging_left > 0 else 119
            pct = min(95.0, pct + 80 / 120)
            lines.append(f"{minute}\t{a.tag}\t{awake:.1f}\t{items}\t{pct:.1f}:c\n")
            continue
        seconds = round(min(awake, 60.0) - (rnd.uniform(0, 3) if rnd.random() < 0.3 else 0), 1)
        power_mw = (a.idle_w + a.core_w * rate / 1000) * 1000
        power_mw *= max(0.0, 1 + rnd.gauss(0, a.noise))
        r = rnd.random()
        if r < a.outliers / 2:
            power_mw *= rnd.uniform(2, 4)
            outliers += 1
        elif r < a.outliers:
            power_mw *= rnd.uniform(0, 0.3)
            outliers += 1
        mj = int(round(power_mw * seconds))
        pct = max(0.0, pct - mj / full_mj * 100)
        points.append((rate, mj / seconds if seconds > 0 else 0))
        lines.append(f"{minute}\t{a.tag}\t{awake:.1f}\t{items}\t{pct:.1f}:d\t{mj}:{seconds:.1f}\n")

    os.makedirs(os.path.dirname(os.path.abspath(a.out)), exist_ok=True)
    with open(a.out, "w") as f:
        f.writelines(lines)

    def fit(pts):
        n = len(pts)
        mx = sum(x for x, _ in pts) / n
        my = sum(y for _, y in pts) / n
        sxx = sum((x - mx) ** 2 for x, _ in pts)
        slope = sum((x - mx) * (y - my) for x, y in pts) / sxx
        return my - slope * mx, slope

    p0, slope = fit(points)
    kept = sorted(points, key=lambda q: abs(q[1] - (p0 + slope * q[0])))[: len(points) * 9 // 10]
    p0t, slope_t = fit(kept)
    print(f"wrote {len(lines)} minutes ({len(points)} with a drain, {outliers} outliers) to {a.out}")
    print(f"law: {a.idle_w * 1000:.0f} mW + {a.core_w:.1f} mW per CPU ms/s; "
          f"reference fit: {p0:.0f} mW + {slope:.2f} (all), {p0t:.0f} mW + {slope_t:.2f} (worst tenth out)")


if __name__ == "__main__":
    main()
