#!/usr/bin/env bash
# Start-up cost of whole processes over a full history: eight days of minutes, 24 names in each,
# written into a scratch XDG_DATA_HOME; the discharging minutes carry a measured drain, and the
# program reads a discharging fixture battery (bench/fake_battery.py --once), so the menu shares
# out the drain with the idle power fitted over all eight days.
#   --print-menu   wall time per run        (target < 30 ms, and under half of awk's below)
#   awk            summing the drain field of the same file, as the floor of reading it at all
#   --dump-chart   wall time per run        (target < 60 ms)
#   --terminal     resident memory once it has loaded and ticked a few times (target < 8 MB)
#
# Usage: bench/startup.sh [path/to/sapwell] [runs]
# Uses hyperfine when it is installed, a timing loop otherwise.
set -euo pipefail

bin=${1:-build/sapwell}
runs=${2:-20}
[[ -x $bin ]] || { echo "no executable at $bin (build first)" >&2; exit 1; }
bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")
here=$(cd "$(dirname "$0")" && pwd)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/sapwell-startup-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/data/Sapwell" "$scratch/tmp"
export XDG_DATA_HOME=$scratch/data TMPDIR=$scratch/tmp
unset SAPWELL_LANG
python3 "$here/fake_battery.py" --dir "$scratch/power" --busy-cores 0 --once
export SAPWELL_POWER_SUPPLY_DIR=$scratch/power

# The metric this machine records, so that every line is one the program loads: read back from
# the first line a short run of the terminal view writes.
tag=cpu_ms
SAPWELL_TICK_SECONDS=0.05 timeout -s TERM 0.6 "$bin" --terminal </dev/null >/dev/null 2>&1 || true
if [[ -s $scratch/data/Sapwell/history.tsv ]]; then
    tag=$(head -n1 "$scratch/data/Sapwell/history.tsv" | cut -f2)
fi

# Eight days up to the current minute: names of realistic lengths (a third longer than a short
# string holds inline), a handful heavy and a long tail, the battery running down (the latest
# four hours among that) and recharging; a discharging minute's drain is 3 W plus 8 W per busy
# core over 55 to 60 measured seconds.
now=$(date +%s)
awk -v now="$now" -v tag="$tag" 'BEGIN {
    srand(42)
    n = split("Firefox,GNOME Shell,Xwayland,PipeWire,Visual Studio Code,gnome-terminal-server," \
              "Thunderbird,Slack,Signal,systemd-journald,NetworkManager,dbus-daemon," \
              "pipewire-pulse,Files,Spotify,Zoom,Telegram Desktop,LibreOffice Writer," \
              "evolution-calendar-factory,tracker-miner-fs-3,gvfs-udisks2-volume-monitor," \
              "ibus-daemon,gsd-power,gsd-color,Chromium,Element,Discord,Steam,OBS Studio,GIMP," \
              "Inkscape,Blender,VLC media player,Rhythmbox,Calendar,Weather,Clocks,Software," \
              "packagekitd,fwupd,snapd,containerd,dockerd,Xorg,mutter-x11-frames," \
              "xdg-desktop-portal-gnome,at-spi2-registryd,gnome-software,update-notifier," \
              "Mattermost,KeePassXC,Nextcloud,Dropbox,syncthing,bash,zsh,ssh-agent,cupsd," \
              "polkitd,colord", names, ",")
    last = int(now / 60) * 60
    pct = 100
    for (m = 11519; m >= 0; m--) {
        # 24 distinct names a minute, drawn with a bias towards the heavy head of the list.
        for (i = 1; i <= n; i++) used[i] = 0
        line = ""
        for (k = 0; k < 24; k++) {
            do { i = 1 + int(n * rand() * rand()) } while (used[i])
            used[i] = 1
            v[k] = int(60000 / (k + 1) * rand()) + 1
            nm[k] = names[i]
        }
        # Heaviest first, as closed minutes are stored.
        for (a = 1; a < 24; a++)
            for (b = a; b > 0 && v[b] > v[b - 1]; b--) {
                t = v[b]; v[b] = v[b - 1]; v[b - 1] = t
                t = nm[b]; nm[b] = nm[b - 1]; nm[b - 1] = t
            }
        cpu = 0
        for (k = 0; k < 24; k++) { line = line (k ? "," : "") nm[k] "=" v[k]; cpu += v[k] }
        pct = pct <= 5 ? 100 : pct - 0.05
        state = int(m / 240) % 3 == 2 ? "c" : "d"
        awake = 55 + 5 * rand()
        drain = ""
        if (state == "d") {
            seconds = 55 + 5 * rand()
            drain = sprintf("\t%d:%.1f", (3000 + 8 * cpu / awake) * seconds, seconds)
        }
        printf "%d\t%s\t%.1f\t%s\t%.1f:%s%s\n", last - m * 60, tag, awake, line, pct, state, drain
    }
}' > "$scratch/data/Sapwell/history.tsv"
echo "history: $(wc -l < "$scratch/data/Sapwell/history.tsv") lines of $tag," \
     "$(( $(stat -c %s "$scratch/data/Sapwell/history.tsv") / 1024 )) KiB"

"$bin" --print-menu | grep -q 'Idle and screen' ||
    echo "warning: the menu does not share out the drain; the figures below time the CPU menu" >&2

# Mean wall time of a command over the runs, in µs, after one run to warm the caches.
mean_us() {
    "$@" >/dev/null
    local start end
    start=$(date +%s%N)
    for ((i = 0; i < runs; i++)); do "$@" >/dev/null; done
    end=$(date +%s%N)
    echo $(( (end - start) / runs / 1000 ))
}
if command -v hyperfine >/dev/null; then
    hyperfine -N --warmup 3 --runs "$runs" "$bin --print-menu" "$bin --dump-chart"
fi
history=$scratch/data/Sapwell/history.tsv
menu_us=$(mean_us "$bin" --print-menu)
chart_us=$(mean_us "$bin" --dump-chart)
awk_us=$(mean_us awk -F'\t' '{ split($6, d, ":"); mj += d[1]; s += d[2] } END { print mj, s }' "$history")
echo "--print-menu: $menu_us µs mean over $runs runs"
echo "--dump-chart: $chart_us µs mean over $runs runs"
echo "awk summing the drain field: $awk_us µs mean over $runs runs"
awk -v a="$menu_us" -v b="$awk_us" 'BEGIN { printf "--print-menu / awk: %.2f (target < 0.5)\n", a / b }'

# The terminal view with its output to a pipe: a block of plain text per tick.
SAPWELL_TICK_SECONDS=0.2 "$bin" --terminal </dev/null > >(cat >/dev/null) 2>/dev/null &
pid=$!
sleep 1.5
if [[ -r /proc/$pid/status ]]; then
    grep -E '^(VmRSS|VmHWM)' "/proc/$pid/status" | sed 's/^/terminal view: /'
else
    echo "terminal view: ended before it could be measured" >&2
fi
kill -TERM "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
