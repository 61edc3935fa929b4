#!/usr/bin/env bash
# The battery drain the history records, and each application's share of it, on a laptop whose
# battery is a fixture drained by this machine's real CPU use (bench/fake_battery.py: 3 W + 8 W
# per busy core, energy_now in 10 mWh steps every 5 s, power_now averaged over 30 s,
# discharging, AC offline), with the real application and its real 15-second passes.
#
# Two workloads run for the given time, each in a control group named as a desktop names an
# application's scope ("app-org.sapwell.BenchHeavy-<pid>.scope"), with desktop entries naming them
# BenchHeavy and BenchLight: Python duty-cycle loops near 60 % and 15 % of one core. Their CPU time
# is their own getrusage. Then, from the history and `sapwell --print-menu`:
#   drain     the sum of the minutes' "<mJ>:<seconds>" fields against the driver's true drain
#             over the same span                                             (target within 2 %)
#   estimate  each workload's energy as its menu row shows it against 8 W x its CPU time
#                                                                            (target within 10 %)
# The idle power that estimate rests on needs half an hour of minutes of varied CPU use, more than
# a run holds, so the history starts with seven days of crafted minutes that obey the same law
# (bench/crafted_history.py), ending 25 hours ago: the menu's windows hold the run alone.
# SEED=0 starts from an empty history instead.
#
# Needs root (control groups) and a cgroup2 hierarchy. Exit status: 0 every figure within its
# target, 1 one is not, 2 nothing to compare (a binary without the drain measurement: "no drain
# recorded").
# Usage: bench/synthetic-laptop.sh [build-folder] [seconds]     (seconds: 300 by default)
# Environment: SEED=0|1 (default 1), HEAVY and LIGHT (duty of one core, default 0.60 and 0.15),
# FULL_WH (battery size, default 20: small, so that the menu's %/h figures carry more digits),
# KEEP=1 keeps the scratch folder and prints its path.
set -euo pipefail

build=${1:-build}
seconds=${2:-300}
bin="$build/sapwell"
here=$(cd "$(dirname "$0")" && pwd)
py=/usr/bin/python3
[[ -x $py ]] || py=$(command -v python3)
seed=${SEED:-1}
heavy=${HEAVY:-0.60}
light=${LIGHT:-0.15}
full_wh=${FULL_WH:-20}
[[ -x $bin ]] || { echo "no $bin: build first" >&2; exit 1; }
[[ $(id -u) == 0 ]] || { echo "needs root to create control groups" >&2; exit 1; }
mount=$(awk '{ for (i = 7; i < NF; i++) if ($i == "-") { if ($(i + 1) == "cgroup2" && $4 == "/") { print $5; exit } break } }' /proc/self/mountinfo)
[[ -n $mount ]] || { echo "no cgroup2 hierarchy mounted" >&2; exit 1; }

# The program counts every process on the machine by its owner's name: another run's workloads
# of the same names would be counted with these.
others=$(find "$mount" -maxdepth 1 -name 'app-org.sapwell.Bench*.scope' | head -3)
[[ -z $others ]] || echo "warning: other benchmark groups exist and their work counts under the same names: $others" >&2

tmp=$(mktemp -d "${TMPDIR:-/tmp}/sapwell-laptop-XXXXXX")
names=(BenchHeavy BenchLight)
duties=("$heavy" "$light")
groups=()
for n in "${names[@]}"; do groups+=("$mount/app-org.sapwell.$n-$$.scope"); done
app= driver= workers=() holders=()
cleanup() {
    [[ -n $app ]] && kill -TERM "$app" 2>/dev/null && wait "$app" 2>/dev/null || true
    for w in "${workers[@]}" "${holders[@]}"; do kill "$w" 2>/dev/null || true; done
    for g in "${groups[@]}"; do
        [[ -d $g ]] || continue
        while read -r p; do kill -9 "$p" 2>/dev/null || true; done < "$g/cgroup.procs"
        for _ in 1 2 3 4 5 6 7 8 9 10; do rmdir "$g" 2>/dev/null && break; sleep 0.2; done
    done
    [[ -n $driver ]] && kill -TERM "$driver" 2>/dev/null && wait "$driver" 2>/dev/null || true
    if [[ ${KEEP:-0} == 1 ]]; then echo "scratch kept: $tmp"; else rm -rf "$tmp"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# The battery, ready before the program first looks.
"$py" "$here/fake_battery.py" --dir "$tmp/power" --log "$tmp/truth.tsv" --full-wh "$full_wh" \
    --ready "$tmp/ready" &
driver=$!
for _ in $(seq 100); do [[ -e $tmp/ready ]] && break; sleep 0.1; done
[[ -e $tmp/ready ]] || { echo "the battery driver did not start" >&2; exit 1; }

# The applications' names, as the desktop would give them.
mkdir -p "$tmp/data/applications" "$tmp/data/Sapwell"
for n in "${names[@]}"; do
    printf '[Desktop Entry]\nType=Application\nName=%s\nExec=true\n' "$n" \
        > "$tmp/data/applications/org.sapwell.$n.desktop"
done
if [[ $seed == 1 ]]; then
    "$py" "$here/crafted_history.py" --out "$tmp/data/Sapwell/history.tsv" --days 7 \
        --end-minutes 1500 --full-wh "$full_wh" --cores "$(nproc)" | sed 's/^/seed: /'
fi

cat > "$tmp/work.py" <<'PY'
import os, resource, sys, time
duty, seconds, group, out = float(sys.argv[1]), float(sys.argv[2]), sys.argv[3], sys.argv[4]
with open(os.path.join(group, "cgroup.procs"), "w") as f:
    f.write("0")
# Busy for duty x 0.1 s of CPU in every 0.1 s of wall time; on a loaded machine it gets less,
# which is why its CPU time is measured rather than assumed.
period, start = 0.1, time.monotonic()
k = 0
while time.monotonic() - start < seconds:
    t = time.process_time()
    while time.process_time() - t < duty * period:
        pass
    k += 1
    left = start + k * period - time.monotonic()
    if left > 0:
        time.sleep(left)
me = resource.getrusage(resource.RUSAGE_SELF)
with open(out, "w") as f:
    f.write(f"{(me.ru_utime + me.ru_stime) * 1000:.0f}\n")
PY

ticks() { local n; n=$(grep -c '^Sapwell ' "$tmp/out.txt" 2>/dev/null) || true; echo "${n:-0}"; }
waitTicks() {  # until the application has made $1 passes, or has ended
    while (( $(ticks) < $1 )); do
        kill -0 "$app" 2>/dev/null || { echo "the program ended early:" >&2; cat "$tmp/err.txt" >&2; exit 1; }
        sleep 0.2
    done
}

echo "cgroup2 at $mount; battery $full_wh Wh in $tmp/power; ${seconds} s of workloads at 15 s passes," \
     "about $(( seconds + 40 )) s in all"
# Each group has a member before the program's first pass, so that pass sees the group and the
# work started after it counts from its first millisecond (a group first seen at a later pass
# gives its first interval to the baseline).
for i in 0 1; do
    mkdir "${groups[$i]}"
    "$py" -c 'import sys, time; open(sys.argv[1] + "/cgroup.procs", "w").write("0"); time.sleep(1e6)' \
        "${groups[$i]}" &
    holders+=($!)
done
since=$(date +%s.%N)
env -u DISPLAY -u WAYLAND_DISPLAY -u SAPWELL_TICK_SECONDS SAPWELL_LANG=en \
    XDG_DATA_HOME="$tmp/data" SAPWELL_POWER_SUPPLY_DIR="$tmp/power" \
    "$bin" --terminal < /dev/null > "$tmp/out.txt" 2> "$tmp/err.txt" &
app=$!
waitTicks 1
for i in 0 1; do
    "$py" "$tmp/work.py" "${duties[$i]}" "$seconds" "${groups[$i]}" "$tmp/${names[$i]}.cpu" &
    workers+=($!)
done
wait "${workers[@]}"
workers=()
kill "${holders[@]}"; wait "${holders[@]}" 2>/dev/null || true; holders=()
for n in "${names[@]}"; do  # the kernel's count for the whole group, as a cross-check
    g="$mount/app-org.sapwell.$n-$$.scope"
    echo "$n: getrusage $(cat "$tmp/$n.cpu") ms, its group's cpu.stat $(awk '$1 == "usage_usec" { printf "%.0f", $2 / 1000 }' "$g/cpu.stat") ms"
done
# One more pass sees the last of the work; then a clean end closes and writes the minute.
waitTicks $(( $(ticks) + 1 ))
kill -TERM "$app"; wait "$app" || true; app=
until=$(date +%s.%N)

history="$tmp/data/Sapwell/history.tsv"
[[ -s $history ]] || { echo "no history written" >&2; cat "$tmp/err.txt" >&2; exit 1; }
lines=$(awk -v s="${since%.*}" '$1 >= s - 60' "$history" | wc -l)
echo "the run wrote $lines minutes; $(grep -c '^Sapwell ' "$tmp/out.txt") passes"
# The battery stays while the menu is read: it shows the capacity the figures are shares of.
SAPWELL_LANG=en XDG_DATA_HOME="$tmp/data" SAPWELL_POWER_SUPPLY_DIR="$tmp/power" \
    "$bin" --print-menu > "$tmp/menu.txt"
kill -TERM "$driver"; wait "$driver" || true; driver=

echo
drain=0 estimate=0
"$py" "$here/laptop_figures.py" drain --history "$history" --truth "$tmp/truth.tsv" \
    --since "$since" --until "$until" || drain=$?
echo
workloads=()
for n in "${names[@]}"; do
    [[ -s $tmp/$n.cpu ]] || { echo "workload $n did not report its CPU time" >&2; exit 1; }
    workloads+=("$n=$(cat "$tmp/$n.cpu")")
done
"$py" "$here/laptop_figures.py" estimate --menu "$tmp/menu.txt" --history "$history" \
    --since "$since" --until "$until" --full-wh "$full_wh" "${workloads[@]}" || estimate=$?
echo
echo "sapwell --print-menu:"
sed 's/^/  /' "$tmp/menu.txt"
# A figure off target fails the run; without one, missing figures make it say so.
if (( drain == 1 || estimate == 1 )); then status=1
elif (( drain || estimate )); then status=2
else status=0
fi
case $status in
    0) echo "PASS: every figure within its target" ;;
    1) echo "FAIL: a figure is off its target" ;;
    *) echo "NO FIGURES: no drain recorded" ;;
esac
exit "$status"
