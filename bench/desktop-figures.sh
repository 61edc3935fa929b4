#!/bin/sh
# Figures of the desktop shell against the terminal view, side by side in one run, on an
# eight-day history: resident memory, idle CPU seconds per hour, the time from "Open Chart…" to
# the page's first completed draw(), and the tray's memory with its children (PSS from
# smaps_rollup): idle, with the chart open (web processes included) and 90 s after closing it.
#   sh bench/desktop-figures.sh [build-dir] [idle-seconds]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
export SAPWELL_BINARY="$(cd "${1:-$root/build}" && pwd)/sapwell"
export SAPWELL_IDLE_SECONDS="${2:-300}"
export PYTHONPATH="$root/tests/app/gtk"
exec dbus-run-session --config-file="$root/tests/app/gtk/session.conf" -- \
  xvfb-run -a -s "-screen 0 1280x800x24" /usr/bin/python3 "$root/bench/desktop_figures.py"
