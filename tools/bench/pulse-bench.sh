#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Onset and CPU per chime through a private PulseAudio server with a null sink, for the same melody and
# three strikes played three ways: the built agent at a faked quarter, a shell script running paplay per
# sound, and a stream opened two seconds before and written at the quarter (pacat).
#   tools/bench/pulse-bench.sh [build dir] [rounds, default 3]; PULSE_BENCH_PLAYERS="agent paplay" picks players
# Onset: the quarter instant to the first sounding sample on the null sink's monitor (the file's own
# lead of silence included). CPU: user and system time of the player and of the server over the chime.
set -euo pipefail
build=${1:-build}
rounds=${2:-3}
agent="$build/stage/lib/PreferencePanes/Pealix.prefPane/Contents/Resources/PealixTool.app/Contents/Linux/PealixTool"
monitor="$build/tools/bench/pulse_monitor"
sets="$(dirname "$agent")/../Resources/Chimes.pealix"
melody="$sets/chime00.flac"
strike="$sets/strike.flac"
for tool in pulseaudio pactl paplay pacat sox; do
    command -v "$tool" >/dev/null || { echo "pulse-bench: $tool is not installed" >&2; exit 1; }
done
preload=$(ls /usr/lib/*-linux-gnu/faketime/libfaketime.so.1 2>/dev/null | head -n1)
[ -n "$preload" ] || { echo "pulse-bench: libfaketime is not installed" >&2; exit 1; }
[ -x "$agent" ] && [ -x "$monitor" ] || { echo "pulse-bench: build $build first" >&2; exit 1; }

work=$(mktemp -d)
server=
cleanup() {
    jobs -p | xargs -r kill 2>/dev/null || true
    [ -n "$server" ] && kill "$server" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export HOME="$work" XDG_RUNTIME_DIR="$work"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=false -F /dev/null --log-level=error \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$work/native" \
    --load="module-null-sink sink_name=bench rate=48000 channels=1" 2>/dev/null &
server=$!
export PULSE_SERVER="unix:$work/native"
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

sox "$melody" -t raw -e signed -b 16 -r 48000 -c 1 "$work/melody.raw"
sox "$strike" -t raw -e signed -b 16 -r 48000 -c 1 "$work/strike.raw"
length=$(sox --i -D "$melody")
calc() { awk "BEGIN { printf \"%.3f\", $* }"; }
sequence=$(calc "$length + 3 * $(sox --i -D "$strike")")
ticks=$(getconf CLK_TCK)
cpu() { # user + system ticks of a live process
    local st
    read -r -a st <"/proc/$1/stat"
    echo $((st[13] + st[14]))
}
seconds_of_times() { # the children's line of bash's `times`, in seconds
    tail -n1 "$1" | sed 's/m/ /g; s/s//g' | awk '{print $1 * 60 + $2 + $3 * 60 + $4}'
}
sleep_until() {
    local left
    left=$(calc "$1 - $(date +%s.%N)")
    case $left in -*) ;; *) sleep "$left" ;; esac
}

mkdir -p "$work/config/pealix"
cat >"$work/config/pealix/com.quorlenvik.pealix.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>com.quorlenvik.pealix.chimeinfo</key><array>
<dict><key>minute</key><integer>0</integer><key>chime</key><true/><key>strike</key><true/><key>set</key><string>Chimes</string><key>path</key><string>(intentionally left blank)</string></dict>
</array>
<key>com.quorlenvik.pealix.chimevolume</key><integer>100</integer>
<key>com.quorlenvik.pealix.pealixActive</key><true/>
<key>com.quorlenvik.pealix.pealixMenuActive</key><false/>
</dict></plist>
PLIST

# One round: $1 is the player; prints "onset_ms player_cpu_s server_cpu_s".
round() {
    local player=$1 quarter=$(($(date +%s) + 7)) pid= before after sbefore safter onset
    "$monitor" bench.monitor "$(calc "$sequence + 11")" >"$work/onsets" &
    local mon=$!
    case $player in
    agent)
        # The faked clock reaches 03:00:00 (three strikes) at the real instant $quarter.
        local fake=$(date -d "tomorrow 03:00" +%s)
        XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen LD_PRELOAD="$preload" \
            FAKETIME="+$((fake - quarter))" FAKETIME_DONT_FAKE_MONOTONIC=1 "$agent" 2>/dev/null &
        pid=$!
        sleep_until $((quarter - 3))
        before=$(cpu "$pid")
        sbefore=$(cpu "$server")
        sleep_until "$(calc "$quarter + $sequence + 3")"
        after=$(cpu "$pid")
        safter=$(cpu "$server")
        kill "$pid"
        wait "$pid" 2>/dev/null || true
        player_cpu=$(calc "($after - $before) / $ticks")
        ;;
    paplay)
        sleep_until $((quarter - 3))
        sbefore=$(cpu "$server")
        (
            sleep_until "$quarter"
            paplay "$melody"
            for _ in 1 2 3; do paplay "$strike"; done
            times >"$work/times"
        ) &
        wait $!
        sleep_until "$(calc "$quarter + $sequence + 3")"
        safter=$(cpu "$server")
        player_cpu=$(seconds_of_times "$work/times")
        ;;
    stream)
        rm -f "$work/fifo"
        mkfifo "$work/fifo"
        sleep_until $((quarter - 3))
        sbefore=$(cpu "$server")
        (
            pacat --raw --format=s16le --rate=48000 --channels=1 <"$work/fifo"
            times >"$work/times"
        ) &
        local reader=$!
        exec 3<>"$work/fifo" # opens the stream now; it waits for data
        sleep_until "$quarter"
        cat "$work/melody.raw" "$work/strike.raw" "$work/strike.raw" "$work/strike.raw" >&3
        exec 3>&-
        wait "$reader"
        sleep_until "$(calc "$quarter + $sequence + 3")"
        safter=$(cpu "$server")
        player_cpu=$(seconds_of_times "$work/times")
        ;;
    esac
    wait "$mon"
    onset=$(awk -v q="$quarter" '$1 == "onset" && $2 / 1e9 > q - 0.5 { printf "%.2f", ($2 / 1e9 - q) * 1000; exit }' \
        "$work/onsets")
    echo "${onset:-none} $player_cpu $(calc "($safter - $sbefore) / $ticks")"
}

printf '%-8s %s\n' player "onset ms, player CPU s, server CPU s (per round)"
for player in ${PULSE_BENCH_PLAYERS:-stream agent paplay}; do
    results=()
    for _ in $(seq "$rounds"); do results+=("$(round "$player")"); done
    printf '%-8s' "$player"
    printf ' [%s]' "${results[@]}"
    echo
    printf '%s\n' "${results[@]}" | sort -n | awk -v p="$player" '{o[NR]=$1; c+=$2; s+=$3}
        END {printf "%-8s median onset %s ms, mean CPU per chime: player %.3f s + server %.3f s = %.3f s\n",
             p, o[int((NR + 1) / 2)], c / NR, s / NR, (c + s) / NR}'
done
