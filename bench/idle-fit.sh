#!/usr/bin/env bash
# Whether the idle power the program fits from a history comes out right: eight days of crafted
# minutes whose drain obeys power = 3 W + 8 W x (CPU ms/s / 1000), with noise and outliers
# (bench/crafted_history.py), read by `sapwell --print-menu` beside a still fixture battery of
# known size (bench/fake_battery.py --once). The fitted idle power P0 should be within 10 % of
# 3 W. Until the program states P0 itself, the "Idle and screen" row of the widest window stands in
# (see program_p0_mw in bench/laptop_figures.py, the place to read a stated figure from).
# The menu shares out the drain only while the last 5 minutes hold some on a discharging battery,
# and the crafted history may end charging or at night; five minutes of the same law end it.
#
# Needs nothing but the built program; no root. Exit status: 0 within target, 1 not, 2 the menu
# shows no idle power (a binary without the estimate).
# Usage: bench/idle-fit.sh [build-folder]     Environment: NOISE, OUTLIERS, SEED (generator's).
set -euo pipefail

build=${1:-build}
bin="$build/sapwell"
here=$(cd "$(dirname "$0")" && pwd)
py=$(command -v python3)
full_wh=20
[[ -x $bin ]] || { echo "no $bin: build first" >&2; exit 1; }

tmp=$(mktemp -d "${TMPDIR:-/tmp}/sapwell-idle-XXXXXX")
trap 'rm -rf "$tmp"' EXIT
"$py" "$here/crafted_history.py" --out "$tmp/data/Sapwell/history.tsv" --full-wh "$full_wh" --end-minutes 6 \
    --noise "${NOISE:-0.05}" --outliers "${OUTLIERS:-0.03}" --seed "${SEED:-42}"
now=$(date +%s)
for k in 5 4 3 2 1; do  # 100 ms/s of CPU: 3.8 W
    printf '%d\tcpu_ms\t60.0\tLinux=6000\t50.0:d\t228000:60.0\n' $(( now / 60 * 60 - k * 60 ))
done >> "$tmp/data/Sapwell/history.tsv"
"$py" "$here/fake_battery.py" --dir "$tmp/power" --full-wh "$full_wh" --busy-cores 0 --once
SAPWELL_LANG=en XDG_DATA_HOME="$tmp/data" SAPWELL_POWER_SUPPLY_DIR="$tmp/power" \
    "$bin" --print-menu > "$tmp/menu.txt"
status=0
"$py" "$here/laptop_figures.py" idle --menu "$tmp/menu.txt" --full-wh "$full_wh" --expect-w 3 || status=$?
echo
echo "sapwell --print-menu:"
sed 's/^/  /' "$tmp/menu.txt"
exit "$status"
