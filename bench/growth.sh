#!/usr/bin/env bash
# Whether memory and the work of a pass stay flat while processes with names never seen before
# keep coming: the real `sapwell --terminal` (history in a scratch XDG_DATA_HOME) while
# bench/churn.cpp starts <count> short-lived processes over <seconds>, each under an executable
# name of its own, each burning about 2 ms of CPU and living a little longer than one pass, so
# every one of them is counted and named.
#
# Prints the terminal view's resident memory (/proc/<pid>/status) and its CPU time
# (/proc/<pid>/stat) minute by minute. Targets: resident memory once the churn is over within
# 1 MB of its value before it began, and the CPU time of the last minute of churn within 1.2x of
# the first. The first minute compared is the churn's second: in its first the history, empty at
# the start, gets its first minutes and the open minute its first names, which makes it cheaper
# whatever happens to names.
#
# Usage: bench/growth.sh [build-folder] [count] [seconds]   (50000 processes over 600 s by default)
# Environment: TICK, the seconds between passes (default 1, through SAPWELL_TICK_SECONDS: the
# names must be met by a pass while they live, and at 15 s each would live 15 s).
set -euo pipefail

build=${1:-build}
count=${2:-50000}
seconds=${3:-600}
tick=${TICK:-1}
bin="$build/sapwell"
here=$(cd "$(dirname "$0")" && pwd)
[[ -x $bin ]] || { echo "no $bin: build first" >&2; exit 1; }
(( seconds >= 180 )) || { echo "needs at least 180 seconds: a warm-up, a first and a last minute" >&2; exit 1; }

tmp=$(mktemp -d "${TMPDIR:-/tmp}/sapwell-growth-XXXXXX")
app=
churn=
cleanup() {
    [[ -n $churn ]] && kill "$churn" 2>/dev/null && wait "$churn" 2>/dev/null || true
    [[ -n $app ]] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

"${CXX:-c++}" -std=c++20 -O2 -o "$tmp/churn" "$here/churn.cpp"
mkdir "$tmp/links"

rssKB() { awk '/^VmRSS:/ { print $2 }' "/proc/$app/status"; }
cpuMS() {  # user + system time; the name in field 2 may hold spaces, so count from its end
    local tck
    tck=$(getconf CLK_TCK)
    sed 's/^.*) //' "/proc/$app/stat" | awk -v t="$tck" '{ printf "%d\n", ($12 + $13) * 1000 / t }'
}
ticks() { grep -c '^Sapwell' "$tmp/out.txt" 2>/dev/null || true; }

XDG_DATA_HOME="$tmp/data" TMPDIR="$tmp" SAPWELL_TICK_SECONDS="$tick" \
    "$bin" --terminal < /dev/null > "$tmp/out.txt" 2> "$tmp/err.txt" &
app=$!
while (( $(ticks) < 5 )); do sleep 0.2; done

lifetime=$(awk -v t="$tick" 'BEGIN { print t + 0.3 }')
echo "$count processes with names of their own over $seconds s; passes every $tick s"
rss0=$(rssKB); cpu0=$(cpuMS)
"$tmp/churn" "$tmp/links" "$count" "$seconds" "$lifetime" &
churn=$!
printf '%6s %10s %14s\n' minute "RSS kB" "CPU ms/min"
first= last= before=$cpu0
start=$(date +%s)
for (( m = 1; m <= seconds / 60; m++ )); do
    sleep $(( start + 60 * m - $(date +%s) ))
    now=$(cpuMS)
    used=$(( now - before )); before=$now
    (( m == 2 )) && first=$used
    last=$used
    printf '%6d %10d %14d\n' "$m" "$(rssKB)" "$used"
done
wait "$churn"; churn=
# The last ones end; a few passes see them gone.
sleep "$(awk -v t="$tick" -v l="$lifetime" 'BEGIN { print l + 4 * t }')"
rss1=$(rssKB)
kill -TERM "$app"; wait "$app" || true; app=

echo "resident memory: $rss0 kB before, $rss1 kB after ($(( rss1 - rss0 )) kB; target within 1024 kB)"
echo "CPU time: minute 2 $first ms, last minute $last ms ($(awk -v a="$first" -v b="$last" \
    'BEGIN { printf "%.2f", (a > 0 ? b / a : 0) }')x; target at most 1.20x)"
status=0
(( rss1 - rss0 <= 1024 )) || status=1
awk -v a="$first" -v b="$last" 'BEGIN { exit !(b <= 1.2 * a) }' || status=1
exit $status
