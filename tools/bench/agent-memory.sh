#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Resident memory of the built agent after start-up and while it chimes a quarter (melody and three
# strikes) through a private PulseAudio server with a null sink, on a private session bus.
#   tools/bench/agent-memory.sh [build dir] [rounds, default 1]
# The agent runs with the default settings, chimes on and the icon hidden (a build that names no update
# feed, as the default one, never loads the updater), its clock faked so that 03:00 falls SETTLE seconds
# (default 5) after its start. VmRSS is sampled every 50 ms; the report gives it just before the quarter,
# its highest value while the chime plays and the kernel's high-water mark.
# ICON=1 turns the icon on, for which the agent restarts itself with a screen after its first read
# (SETTLE then defaults to 10).
# XVFB=1 gives the agent a display of its own (Xvfb, the xcb platform) instead of the offscreen one.
# SMAPS=1 also lists the largest resident mappings at the highest sample (file-backed memory by file,
# anonymous memory by kind; SMAPS_TOP=N lists N of them instead of 20).
set -euo pipefail
build=${1:-build}
rounds=${2:-1}
# The restart keeps clear of a quarter's last five seconds.
settle=${SETTLE:-$([ -n "${ICON:-}" ] && echo 10 || echo 5)}
agent="$build/stage/lib/PreferencePanes/Pealix.prefPane/Contents/Resources/PealixTool.app/Contents/Linux/PealixTool"
sets="$(dirname "$agent")/../Resources/Chimes.pealix"
for tool in pulseaudio pactl dbus-daemon soxi; do
    command -v "$tool" >/dev/null || { echo "agent-memory: $tool is not installed" >&2; exit 1; }
done
preload=$(ls /usr/lib/*-linux-gnu/faketime/libfaketime.so.1 2>/dev/null | head -n1)
[ -n "$preload" ] || { echo "agent-memory: libfaketime is not installed" >&2; exit 1; }
[ -x "$agent" ] || { echo "agent-memory: build $build first" >&2; exit 1; }

work=$(mktemp -d)
server= bus= xvfb= pid=
cleanup() {
    for p in $pid $xvfb $bus $server; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work" XDG_RUNTIME_DIR="$work"
unset PEALIX_AUDIO_SINK
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=false -F /dev/null --log-level=error \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$work/native" \
    --load="module-null-sink sink_name=bench rate=48000 channels=1" 2>/dev/null &
server=$!
export PULSE_SERVER="unix:$work/native"
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "agent-memory: the PulseAudio server did not start" >&2; exit 1; }
dbus-daemon --session --nofork --address="unix:path=$work/bus" 2>/dev/null &
bus=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
for _ in $(seq 50); do [ -S "$work/bus" ] && break; sleep 0.1; done
if [ -n "${XVFB:-}" ]; then
    Xvfb :97 -nolisten tcp -screen 0 1280x800x24 2>/dev/null &
    xvfb=$!
    export DISPLAY=:97 QT_QPA_PLATFORM=xcb
    for _ in $(seq 50); do [ -S /tmp/.X11-unix/X97 ] && break; sleep 0.1; done
else
    unset DISPLAY WAYLAND_DISPLAY
    export QT_QPA_PLATFORM=offscreen
fi

icon=false
[ -n "${ICON:-}" ] && icon=true
mkdir -p "$work/config/pealix"
record() {
    echo "<dict><key>minute</key><integer>$1</integer><key>chime</key><true/><key>strike</key><$2/><key>set</key><string>Chimes</string><key>path</key><string>(intentionally left blank)</string></dict>"
}
cat >"$work/config/pealix/com.quorlenvik.pealix.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>com.quorlenvik.pealix.chimeinfo</key><array>$(record 0 true)$(record 15 false)$(record 30 false)$(record 45 false)</array>
<key>com.quorlenvik.pealix.chimevolume</key><integer>70</integer>
<key>com.quorlenvik.pealix.pealixActive</key><true/>
<key>com.quorlenvik.pealix.pealixMenuActive</key><${icon}/>
<key>com.quorlenvik.pealix.excluded</key><array/>
</dict></plist>
PLIST

sequence=$(awk -v m="$(soxi -D "$sets/chime00.flac")" -v s="$(soxi -D "$sets/strike.flac")" 'BEGIN { print m + 3 * s }')
kb() { awk -v k="$1" '$1 == k ":" {print $2}' "/proc/$pid/status"; }
largest() {
    awk '/^[0-9a-f]+-/ {name = $6 == "" ? "[anonymous]" : $6}
        /^Rss:/ {rss[name] += $2} /^Anonymous:/ {anon[name] += $2}
        END {for (n in rss) if (rss[n]) printf "%6d kB (%5d kB anonymous) %s\n", rss[n], anon[n], n}' "/proc/$pid/smaps" |
        sort -n | tail -${SMAPS_TOP:-20}
}

# One round: prints "startup_kB quarter_kB hwm_kB"; the mappings at the peak are left in $work/peak.
round() {
    local quarter fake start=0 peak=0 rss now end
    quarter=$(($(date +%s) + settle))
    fake=$(date -d "tomorrow 03:00" +%s)
    XDG_CONFIG_HOME="$work/config" LD_PRELOAD="$preload" FAKETIME="+$((fake - quarter))" \
        FAKETIME_DONT_FAKE_MONOTONIC=1 "$agent" 2>"$work/log" &
    pid=$!
    end=$(awk -v q="$quarter" -v s="$sequence" 'BEGIN { printf "%.0f", (q + s + 1) * 1000 }')
    while now=$(date +%s%3N) && [ "$now" -lt "$end" ]; do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" && s=0 || s=$?; echo "agent-memory: the agent ended (status $s; 143 is a SIGTERM from elsewhere)" >&2; cat "$work/log" >&2; exit 1; }
        rss=$(kb VmRSS 2>/dev/null) && [ -n "$rss" ] || continue
        if [ "$now" -lt $((quarter * 1000 - 200)) ]; then
            start=$rss
        elif [ "$now" -ge $((quarter * 1000)) ] && [ "$rss" -gt "$peak" ]; then
            peak=$rss
            [ -n "${SMAPS:-}" ] && largest >"$work/peak"
        fi
        sleep 0.05
    done
    echo "$start $peak $(kb VmHWM)"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
}

mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
echo "PealixTool resident memory (VmRSS) with $QT_QPA_PLATFORM, through PulseAudio $(pulseaudio --version | awk '{print $2}')"
for r in $(seq "$rounds"); do
    read -r start peak hwm < <(round)
    echo "round $r: after start-up $(mb "$start") MB, while chiming the quarter $(mb "$peak") MB (high-water mark $(mb "$hwm") MB)"
    [ -n "${SMAPS:-}" ] && cat "$work/peak"
done
