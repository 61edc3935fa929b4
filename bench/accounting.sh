#!/usr/bin/env bash
# How much of a workload's CPU time the history records under its owner, with the real
# application and its real 15-second passes.
#
# Runs `sapwell --terminal` for about two minutes (history in a temporary XDG_DATA_HOME) while
# three workloads run, each in a control group of its own named as a desktop names an application's
# scope ("app-org.sapwell.BenchShort-<pid>.scope"), so the group's owner is the application named by
# its unit (BenchShort, BenchCold, BenchLong):
#   short  a loop starting short Python processes (0.1 s of CPU each) in a group the application
#          has seen before the work starts, as a terminal tab or an application's scope exists
#          before the work it runs;
#   cold   the same loop in a group created with the work (first seen only at the next pass,
#          which counts all of its counter: the group did not exist at the previous one);
#   long   one long-lived busy Python process, started between two passes.
# Each workload's CPU time is its own and its children's getrusage. Needs root and a cgroup2
# hierarchy. Usage: bench/accounting.sh [build-folder] [workload-seconds]
set -euo pipefail

build=${1:-build}
seconds=${2:-90}
bin="$build/sapwell"
py=/usr/bin/python3
[[ -x $bin ]] || { echo "no $bin: build first" >&2; exit 1; }
[[ -x $py ]] || py=$(command -v python3)
[[ $(id -u) == 0 ]] || { echo "needs root to create control groups" >&2; exit 1; }
mount=$(awk '{ for (i = 7; i < NF; i++) if ($i == "-") { if ($(i + 1) == "cgroup2" && $4 == "/") { print $5; exit } break } }' /proc/self/mountinfo)
[[ -n $mount ]] || { echo "no cgroup2 hierarchy mounted" >&2; exit 1; }

tmp=$(mktemp -d)
names=(BenchShort BenchCold BenchLong)
groups=()
for n in "${names[@]}"; do groups+=("$mount/app-org.sapwell.$n-$$.scope"); done
app=
cleanup() {
    [[ -n $app ]] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null || true
    for g in "${groups[@]}"; do
        [[ -d $g ]] || continue
        while read -r p; do kill -9 "$p" 2>/dev/null || true; done < "$g/cgroup.procs"
        for _ in 1 2 3 4 5 6 7 8 9 10; do rmdir "$g" 2>/dev/null && break; sleep 0.2; done
    done
    rm -rf "$tmp"
}
trap cleanup EXIT
mkdir "${groups[0]}" "${groups[2]}"  # the cold group is made by its workload

cat > "$tmp/work.py" <<'PY'
import os, resource, subprocess, sys, time
mode, seconds, group, out = sys.argv[1], float(sys.argv[2]), sys.argv[3], sys.argv[4]
if mode == "cold":
    os.mkdir(group)
with open(os.path.join(group, "cgroup.procs"), "w") as f:
    f.write("0")  # joins its group; children are born in it
end = time.monotonic() + seconds
if mode == "long":
    while time.monotonic() < end:
        pass
else:
    burn = "import time\nt = time.process_time()\nwhile time.process_time() - t < 0.1: pass\n"
    while time.monotonic() < end:
        subprocess.run([sys.executable, "-S", "-c", burn], check=True)
me, kids = resource.getrusage(resource.RUSAGE_SELF), resource.getrusage(resource.RUSAGE_CHILDREN)
cpu = me.ru_utime + me.ru_stime + kids.ru_utime + kids.ru_stime
with open(out, "w") as f:
    f.write(f"{cpu * 1000:.0f}\n")
PY

ticks() {  # 0 until the output exists
    local n
    n=$(grep -c '^Sapwell ' "$tmp/out.txt" 2>/dev/null) || true
    echo "${n:-0}"
}
waitTicks() {  # until the application has made $1 passes
    while (( $(ticks) < $1 )); do sleep 0.1; done
}

echo "cgroup2 at $mount; ${seconds} s workloads; 15 s passes; about $(( seconds + 45 )) s in all"
XDG_DATA_HOME="$tmp/data" "$bin" --terminal < /dev/null > "$tmp/out.txt" 2> "$tmp/err.txt" &
app=$!
waitTicks 1
# The short workload's group gets its first member now and is seen at the next pass, its work
# starts after that pass; the others start at once.
"$py" -c 'import os, sys, time; open(sys.argv[1] + "/cgroup.procs", "w").write("0"); time.sleep(1e6)' \
    "${groups[0]}" &
holder=$!
"$py" "$tmp/work.py" long "$seconds" "${groups[2]}" "$tmp/BenchLong.cpu" &
long=$!
"$py" "$tmp/work.py" cold "$seconds" "${groups[1]}" "$tmp/BenchCold.cpu" &
cold=$!
waitTicks 2
"$py" "$tmp/work.py" short "$seconds" "${groups[0]}" "$tmp/BenchShort.cpu" &
short=$!
wait "$long" "$cold" "$short"
kill "$holder"; wait "$holder" 2>/dev/null || true
# One more pass sees what ran after the last one; then a clean end closes and writes the minute.
waitTicks $(( $(ticks) + 1 ))
kill -TERM "$app"; wait "$app" || true; app=

history="$tmp/data/Sapwell/history.tsv"
[[ -f $history ]] || { echo "no history written" >&2; cat "$tmp/err.txt" >&2; exit 1; }
printf '%-11s %12s %12s %8s\n' workload "CPU ms" "recorded ms" share
status=0
for n in "${names[@]}"; do
    cpu=$(cat "$tmp/$n.cpu")
    recorded=$(awk -F'\t' -v name="$n" '{ k = split($4, items, ","); for (i = 1; i <= k; i++) {
        eq = match(items[i], /=[0-9]+$/); if (eq && substr(items[i], 1, eq - 1) == name) sum += substr(items[i], eq + 1) } }
        END { print sum + 0 }' "$history")
    share=$(awk -v r="$recorded" -v c="$cpu" 'BEGIN { printf "%.1f", (c > 0 ? 100 * r / c : 0) }')
    printf '%-11s %12s %12s %7s%%\n' "$n" "$cpu" "$recorded" "$share"
    awk -v s="$share" 'BEGIN { exit !(s >= 97) }' || status=1
done
echo "target: at least 97% for each"
exit $status
