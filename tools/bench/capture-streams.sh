#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Hundreds of recordings at once: the built agent's CPU while they start, run, churn and end, how long it
# takes to fall silent and to chime again, the states its control interface went through, and how long
# that interface (the agent's main thread, which also plays the quarters) took to answer at worst.
#   tools/bench/capture-streams.sh [build dir] [streams, default 500] [seconds of hold and churn, default 10]
# A private sound server with an output and enough microphones (it takes 256 recordings a source), one
# client recording from them (tests/agent/CaptureStreams), and the agent, on a private bus.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
n=${2:-500}
hold=${3:-10}
agent=$build/stage/lib/PreferencePanes/Pealix.prefPane/Contents/Resources/PealixTool.app/Contents/Linux/PealixTool
streams=$build/tests/agent/CaptureStreams
[ -x "$agent" ] && [ -x "$streams" ] || { echo "build PealixTool and CaptureStreams first" >&2; exit 1; }
tmp=$(mktemp -d)
pids=()
probe=
cleanup() {
    # The probe may have ended already; nothing here may stop the rest being cleaned up.
    [ -z "$probe" ] || kill "$probe" 2>/dev/null || true
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

dbus-daemon --session --nofork --print-address=3 3>"$tmp/address" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$tmp/address" ] && break; sleep 0.1; done
address=$(head -n1 "$tmp/address")
export DBUS_SESSION_BUS_ADDRESS=$address DBUS_SYSTEM_BUS_ADDRESS=$address GSETTINGS_BACKEND=memory
mics=()
load=()
for i in $(seq $(((n + 249) / 250))); do
    mics+=("mic$i")
    load+=("--load=module-null-source source_name=mic$i")
done
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=false -F /dev/null --log-level=error \
    "--load=module-native-protocol-unix auth-anonymous=1 socket=$tmp/native" \
    "--load=module-null-sink sink_name=out" "${load[@]}" &
spid=$!
pids+=($spid)
export PULSE_SERVER=unix:$tmp/native
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

mkdir -p "$tmp/cfg/pealix" "$tmp/run"
chmod 700 "$tmp/run"
cat >"$tmp/cfg/pealix/com.quorlenvik.pealix.plist" <<P
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>com.quorlenvik.pealix.pealixActive</key><true/>
<key>com.quorlenvik.pealix.chimeinfo</key><array>$(for m in 0 15 30 45; do
    echo "<dict><key>minute</key><integer>$m</integer><key>chime</key><true/><key>set</key><string>Chimes</string></dict>"
done)</array></dict></plist>
P
XDG_CONFIG_HOME="$tmp/cfg" XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=offscreen PEALIX_AUDIO_SINK=fakesink \
    "$agent" 2>"$tmp/agent.log" &
apid=$!
pids+=($apid)

mkfifo "$tmp/in"
"$streams" "${mics[@]}" <"$tmp/in" >"$tmp/out" &
pids+=($!)
exec 7>"$tmp/in"

# Asks for the agent's Status every 20 ms on one connection: prints each new value with its time, and at
# the end the slowest answer.
cat >"$tmp/probe.py" <<'PY'
import signal, sys, time
import dbus
bus = dbus.SessionBus()
props = dbus.Interface(bus.get_object("com.quorlenvik.PealixTool", "/com/quorlenvik/PealixTool"),
                       "org.freedesktop.DBus.Properties")
stop = []
signal.signal(signal.SIGTERM, lambda *a: stop.append(1))
last, slowest = None, 0.0
while not stop:
    t = time.monotonic()
    status = str(props.Get("com.quorlenvik.PealixTool1", "Status", timeout=10))
    took = time.monotonic() - t
    slowest = max(slowest, took)
    if status != last:
        print("%.3f %s" % (t, status), flush=True)
        last = status
    time.sleep(0.02)
print("slowest %.1f" % (slowest * 1000), flush=True)
PY
for i in $(seq 101); do
    gdbus call --session -d com.quorlenvik.PealixTool -o /com/quorlenvik/PealixTool \
        -m org.freedesktop.DBus.Properties.Get com.quorlenvik.PealixTool1 Status 2>/dev/null | grep -q Chiming && break
    [ "$i" -le 100 ] || { echo "the agent did not start chiming:" >&2; cat "$tmp/agent.log" >&2; exit 1; }
    sleep 0.1
done
grep -q ready "$tmp/out" || { echo "CaptureStreams did not start" >&2; exit 1; }

now() { /usr/bin/python3 -c 'import time; print("%.3f" % time.monotonic())'; }
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", (b - a) * 1000 }'; }
# A process's CPU in nanoseconds, all its threads.
cpu() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%.0f\n", s }'; }
# Waits for the helper's next line starting with $1; its time is then in $stamp.
lines=1
helper() {
    for _ in $(seq 12000); do
        if [ "$(wc -l <"$tmp/out")" -gt "$lines" ]; then
            lines=$((lines + 1))
            if sed -n "${lines}p" "$tmp/out" | grep -q "^$1"; then
                stamp=$(sed -n "${lines}p" "$tmp/out" | awk '{ print $3 }')
                return 0
            fi
        fi
        sleep 0.01
    done
    echo "CaptureStreams did not answer $1" >&2
    exit 1
}
# Waits until the probe saw a status starting with $1 after time $2; prints the milliseconds from $2.
becomes() {
    for _ in $(seq 1000); do
        r=$(awk -v since="$2" -v want="$1" '$1 >= since && index(substr($0, length($1) + 2), want) == 1 {
            printf "%.0f", ($1 - since) * 1000; exit }' "$tmp/probe")
        [ -n "$r" ] && { echo "$r"; return; }
        sleep 0.01
    done
    echo "never"
}
begin() {
    phase=$1
    : >"$tmp/probe"
    /usr/bin/python3 "$tmp/probe.py" >"$tmp/probe" &
    probe=$!
    sleep 0.1
    c0=$(cpu "$apid") s0=$(cpu "$spid")
    t0=$(now)
}
end() {
    local c1 s1 t1 states slowest
    c1=$(cpu "$apid") s1=$(cpu "$spid")
    t1=$(now)
    kill "$probe" 2>/dev/null || true
    wait "$probe" || true
    probe=
    slowest=$(awk '/^slowest/ { print $2 }' "$tmp/probe")
    states=$(grep -v '^slowest' "$tmp/probe" | cut -d' ' -f2- | sed 's/\. Next chime at.*//' | paste -sd '>' -)
    awk -v p="$phase" -v c=$((c1 - c0)) -v sc=$((s1 - s0)) -v t="$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')" \
        -v s="$slowest" -v x="$1" 'BEGIN {
        printf "%s, %.1f s: agent CPU %.3f s (%.1f %%), slowest answer %.1f ms; sound server CPU %.3f s\n", p, t, c / 1e9, c / 1e9 / t * 100, s, sc / 1e9
        if (x != "") printf "    %s\n", x }'
    echo "    states: $states"
}
silent="Silent: the microphone is in use"

begin "idle, no recording"
sleep "$hold"
end ""

begin "$n opened at once"
t=$(now)
echo "open $n" >&7
helper open
x="all recording after $(ms "$t" "$stamp") ms; silent after $(becomes "$silent" "$t") ms"
end "$x"
sleep 1

begin "$n recording, nothing changes"
sleep "$hold"
end ""

begin "one more opened and closed, ${hold} s"
echo "churn $hold" >&7
helper churned
end "$(tail -n1 "$tmp/out" | cut -d' ' -f2) cycles"

begin "$n closed one after another"
echo "close $n seq" >&7
helper open
x="chiming $(becomes Chiming "$stamp") ms after the server took the last"
end "$x"

begin "$n opened one after another"
t=$(now)
echo "open $n seq" >&7
helper open
x="all recording after $(ms "$t" "$stamp") ms; silent after $(becomes "$silent" "$t") ms"
end "$x"

begin "$n closed at once"
t=$(now)
echo "close $n" >&7
helper open
x="the server took them after $(ms "$t" "$stamp") ms; chiming after $(becomes Chiming "$t") ms"
end "$x"

# A client that opens and closes a stream on the output's monitor all the time (which is no recording), and
# a real recording that starts and ends meanwhile: what the agent shows before, during and after it.
begin "one opened and closed on a monitor, ${hold} s; one recording in its middle third"
echo "churn $hold out.monitor" >&7
sleep "$(awk -v h="$hold" 'BEGIN { print h / 3 }')"
echo "open 1" >&7
helper open
opened=$stamp
sleep "$(awk -v h="$hold" 'BEGIN { print h / 3 }')"
echo "close 1" >&7
helper open
closed=$stamp
helper churned
cycles=$(tail -n1 "$tmp/out" | cut -d' ' -f2)
sleep 0.5
x="$cycles cycles; $(awk -v a="$opened" -v b="$closed" -v silent="$silent" '
    function part(t) { return t < a ? 1 : t < b ? 2 : 3 }
    /^slowest/ { next }
    { s = substr($0, length($1) + 2); p = part($1); n[p]++; last[p] = s
      if (p == 2 && !first && index(s, silent) == 1) first = $1 }
    END {
        split("before,during,after", name, ",")
        for (p = 1; p <= 3; p++) printf "%s the recording: %d changes, last %s; ", name[p], n[p], substr(last[p] == "" ? "(none)" : last[p], 1, 20)
        printf "silent %s after it started", first ? sprintf("%.0f ms", (first - a) * 1000) : "never" }' "$tmp/probe")"
end "$x"
