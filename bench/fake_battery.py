#!/usr/bin/env python3
"""A laptop battery that drains by this machine's real CPU use, as a power-supply folder.

Writes a folder laid out like /sys/class/power_supply (BAT0 and AC), for the program to read
through SAPWELL_POWER_SUPPLY_DIR, and keeps it updated until SIGTERM or SIGINT:

  power       = idle W + core W x busy cores (user + nice + system + irq + softirq of /proc/stat,
                in CPU seconds per wall second; steal and iowait are not work)
  energy_now  = the true remaining energy rounded down to whole steps (10 mWh by default), updated
                every step period (5 s by default), as many firmwares step it
  power_now   = the true power averaged over the last smoothing period (30 s by default)
  status      = Discharging, AC/online = 0 (both can be changed)

Units are the kernel's: µWh, µW, µV. Every file is written whole to a temporary name in its
supply's folder and renamed over the old one, so a reader never sees half a value; the
temporaries live inside BAT0/ and AC/, never beside them, so a listing of the root shows only
supplies.

The ground truth goes to the log (--log), tab-separated, one line at start and one per update:
  wall        Unix time of the update (time.time())
  interval_s  wall seconds since the previous line (monotonic clock)
  busy_cores  mean busy cores over the interval
  power_mW    true power over the interval
  interval_mJ true energy drained over the interval
  drained_mJ  true energy drained since start
  energy_now  the µWh written to energy_now after this update
  power_now   the µW written to power_now after this update
Lines starting with "#" are comments; the last one, written at exit, holds the totals.

Options:
  --dir DIR              the folder to create and keep (required); made if missing
  --log FILE             ground-truth log (default: none)
  --full-wh WH           energy_full (default 20; energy_full_design is 5 % more)
  --start-pct PCT        energy_now at start, percent of full (default 90)
  --idle-w W             power with nothing running (default 3)
  --core-w W             added power per busy core (default 8)
  --step-mwh MWH         energy_now resolution (default 10)
  --step-seconds S       update period (default 5; 0.5 or less for fast tests)
  --smooth-seconds S     power_now averaging period (default 30)
  --busy-cores N         use N busy cores instead of /proc/stat (deterministic tests)
  --duration S           exit by itself after S seconds (default: run until signalled)
  --status TEXT          BAT0 status (default Discharging)
  --ac-online 0|1        AC/online (default 0)
  --sequence FILE        instead of the model, write a fixed sequence of readings, one per step
                         period: lines "energy_now_uWh power_now_uW [status]" ("#" comments
                         allowed); the last one stays until the end. No ground-truth model then:
                         the log gets the written values, drained_mJ from energy_now's fall.
  --once                 write the folder once (start values, or the sequence's first line) and
                         exit: a still battery for commands that only read
  --ready FILE           touch FILE once the folder is complete (for scripts to wait on)
"""

import argparse
import collections
import os
import signal
import sys
import time


def write_atomic(path, text):
    folder, name = os.path.split(path)
    tmp = os.path.join(folder, "." + name + ".tmp")
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, path)


def busy_jiffies():
    """Busy and all jiffies summed over every CPU, from the first line of /proc/stat."""
    with open("/proc/stat") as f:
        fields = f.readline().split()
    v = [int(x) for x in fields[1:]]
    v += [0] * (8 - len(v))
    user, nice, system, idle, iowait, irq, softirq, steal = v[:8]
    return user + nice + system + irq + softirq


class Battery:
    def __init__(self, args):
        self.dir = args.dir
        self.full_uwh = int(round(args.full_wh * 1e6))
        self.design_uwh = int(round(self.full_uwh * 1.05))
        self.status = args.status
        self.ac_online = args.ac_online
        self.v_min = 11_400_000  # µV: a three-cell pack

    def voltage(self, energy_uwh):
        # Falls with the level, as a real pack's does; only for realism, never used for energy.
        frac = max(0.0, min(1.0, energy_uwh / self.full_uwh))
        return int(self.v_min + 1_300_000 * frac)

    def write(self, energy_uwh, power_uw, status=None):
        status = status or self.status
        energy_uwh = max(0, int(energy_uwh))
        power_uw = max(0, int(power_uw))
        capacity = min(100, energy_uwh * 100 // self.full_uwh)
        volt = self.voltage(energy_uwh)
        bat = os.path.join(self.dir, "BAT0")
        ac = os.path.join(self.dir, "AC")
        os.makedirs(bat, exist_ok=True)
        os.makedirs(ac, exist_ok=True)
        attrs = {
            "type": "Battery",
            "status": status,
            "present": "1",
            "technology": "Li-ion",
            "cycle_count": "42",
            "voltage_min_design": str(self.v_min),
            "voltage_now": str(volt),
            "power_now": str(power_uw),
            "energy_full_design": str(self.design_uwh),
            "energy_full": str(self.full_uwh),
            "energy_now": str(energy_uwh),
            "capacity": str(capacity),
            "capacity_level": "Normal",
            "model_name": "Synthetic",
            "manufacturer": "Sapwell bench",
        }
        # Attribute files first, uevent last: whoever reads the uevent then sees one moment whole.
        for name, value in attrs.items():
            write_atomic(os.path.join(bat, name), value + "\n")
        uevent = "POWER_SUPPLY_NAME=BAT0\n" + "".join(f"POWER_SUPPLY_{k.upper()}={v}\n" for k, v in attrs.items())
        write_atomic(os.path.join(bat, "uevent"), uevent)
        write_atomic(os.path.join(ac, "type"), "Mains\n")
        write_atomic(os.path.join(ac, "online"), f"{self.ac_online}\n")
        write_atomic(os.path.join(ac, "uevent"),
                     f"POWER_SUPPLY_NAME=AC\nPOWER_SUPPLY_TYPE=Mains\nPOWER_SUPPLY_ONLINE={self.ac_online}\n")


class Log:
    def __init__(self, path):
        self.f = open(path, "w", buffering=1) if path else None
        self.line("# wall\tinterval_s\tbusy_cores\tpower_mW\tinterval_mJ\tdrained_mJ\tenergy_now\tpower_now")

    def line(self, text):
        if self.f:
            self.f.write(text + "\n")

    def row(self, wall, dt, cores, power_mw, interval_mj, drained_mj, energy_uwh, power_uw):
        self.line(f"{wall:.3f}\t{dt:.3f}\t{cores:.4f}\t{power_mw:.1f}\t{interval_mj:.1f}\t"
                  f"{drained_mj:.1f}\t{int(energy_uwh)}\t{int(power_uw)}")


def read_sequence(path):
    rows = []
    with open(path) as f:
        for raw in f:
            raw = raw.split("#", 1)[0].split()
            if not raw:
                continue
            rows.append((int(raw[0]), int(raw[1]), raw[2] if len(raw) > 2 else None))
    if not rows:
        sys.exit(f"{path}: no readings")
    return rows


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--dir", required=True)
    p.add_argument("--log")
    p.add_argument("--full-wh", type=float, default=20.0)
    p.add_argument("--start-pct", type=float, default=90.0)
    p.add_argument("--idle-w", type=float, default=3.0)
    p.add_argument("--core-w", type=float, default=8.0)
    p.add_argument("--step-mwh", type=float, default=10.0)
    p.add_argument("--step-seconds", type=float, default=5.0)
    p.add_argument("--smooth-seconds", type=float, default=30.0)
    p.add_argument("--busy-cores", type=float)
    p.add_argument("--duration", type=float)
    p.add_argument("--status", default="Discharging")
    p.add_argument("--ac-online", type=int, choices=(0, 1), default=0)
    p.add_argument("--sequence")
    p.add_argument("--once", action="store_true")
    p.add_argument("--ready")
    args = p.parse_args()

    stop = []
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, lambda *_: stop.append(True))

    bat = Battery(args)
    log = Log(args.log)
    hz = os.sysconf("SC_CLK_TCK")
    step_uwh = max(1, int(round(args.step_mwh * 1000)))
    start_uwh = bat.full_uwh * args.start_pct / 100.0
    sequence = read_sequence(args.sequence) if args.sequence else None

    def quantized(true_uwh):
        return max(0, int(true_uwh // step_uwh) * step_uwh)

    def sleep_until(deadline):
        while not stop:
            left = deadline - time.monotonic()
            if left <= 0:
                return
            time.sleep(min(left, 0.25))

    if sequence:
        mono0 = time.monotonic()
        end = mono0 + args.duration if args.duration else None
        first_uwh = sequence[0][0]
        for i, (energy, power, status) in enumerate(sequence):
            if i:
                sleep_until(mono0 + i * args.step_seconds)
                if stop or (end and time.monotonic() >= end):
                    break
            bat.write(energy, power, status)
            log.row(time.time(), args.step_seconds if i else 0, 0, power / 1000, 0,
                    (first_uwh - energy) * 3.6, energy, power)
            if i == 0 and args.ready:
                open(args.ready, "w").close()
            if args.once:
                return
        while not stop and not (end and time.monotonic() >= end):
            time.sleep(0.25)
        return

    # The model: the true remaining energy is exact, the files show it as the firmware would.
    true_uwh = start_uwh
    drained_mj = 0.0
    recent = collections.deque()  # (seconds, mW) of the last smoothing period
    cores0 = args.busy_cores
    if cores0 is None:  # a first look at the load, so power_now starts near the truth
        b0 = busy_jiffies()
        time.sleep(0.2)
        cores0 = (busy_jiffies() - b0) / hz / 0.2
    power0_mw = 1000 * (args.idle_w + args.core_w * cores0)
    bat.write(quantized(true_uwh), power0_mw * 1000)
    log.row(time.time(), 0, cores0, power0_mw, 0, 0, quantized(true_uwh), power0_mw * 1000)
    if args.ready:
        open(args.ready, "w").close()
    if args.once:
        return

    mono0 = time.monotonic()
    end = mono0 + args.duration if args.duration else None
    prev_mono, prev_busy = mono0, busy_jiffies()
    n = 0
    while not stop:
        n += 1
        deadline = mono0 + n * args.step_seconds
        if end:
            deadline = min(deadline, end)
        sleep_until(deadline)
        now_mono, busy = time.monotonic(), busy_jiffies()
        dt = now_mono - prev_mono
        if dt <= 0:
            continue
        cores = args.busy_cores if args.busy_cores is not None else (busy - prev_busy) / hz / dt
        power_mw = 1000 * (args.idle_w + args.core_w * cores)
        interval_mj = power_mw * dt
        drained_mj += interval_mj
        true_uwh = max(0.0, true_uwh - interval_mj / 3.6)  # 1 µWh = 3.6 mJ
        recent.append((dt, power_mw))
        while sum(s for s, _ in recent) - recent[0][0] >= args.smooth_seconds:
            recent.popleft()
        smooth_mw = sum(s * w for s, w in recent) / sum(s for s, _ in recent)
        energy = quantized(true_uwh)
        bat.write(energy, smooth_mw * 1000)
        log.row(time.time(), dt, cores, power_mw, interval_mj, drained_mj, energy, smooth_mw * 1000)
        prev_mono, prev_busy = now_mono, busy
        if end and now_mono >= end:
            break
        if true_uwh <= 0:
            log.line("# empty: the battery ran out")
            break
    log.line(f"# total drained_mJ {drained_mj:.1f} over {prev_mono - mono0:.3f} s")


if __name__ == "__main__":
    main()
