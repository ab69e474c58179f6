#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop's reasons for quiet: how long from a cause appearing to a playing chime stopped, and the
# agent's idle wake-ups with every cause followed and the desktop services present but quiet.
#   tools/bench/desktop-silence.sh [build dir] [idle minutes, default 3] [latency runs, default 10]
# Everything runs on a private bus that stands for the session and the system bus; the services are the
# stand-ins of tests/testsupport/desktop_standins.py, beside a private sound server with a microphone and
# an X server with a window manager and a focused window.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
minutes=${2:-3}
runs=${3:-10}
test="$build/tests/agent/DesktopSilenceTest"
[ -x "$test" ] || { echo "build DesktopSilenceTest first" >&2; exit 1; }

echo "== from a cause to a playing chime stopped ($runs runs each)"
for i in $(seq "$runs"); do "$test" 2>/dev/null | grep 'to a stopped chime' || true; done |
    awk -F': ' '{ split($2, v, " "); n[$1]++; s[$1] += v[1]; if (v[1] > m[$1]) m[$1] = v[1] }
        END { for (k in n) printf "%s: mean %.1f ms, max %d ms over %d runs\n", k, s[k] / n[k], m[k], n[k] }'

echo "== idle with every cause followed"
tmp=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT
dbus-daemon --session --nofork --print-address=3 3>"$tmp/address" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$tmp/address" ] && break; sleep 0.1; done
address=$(head -n1 "$tmp/address")
export DBUS_SESSION_BUS_ADDRESS=$address DBUS_SYSTEM_BUS_ADDRESS=$address GSETTINGS_BACKEND=memory
for kind in notifications login1 screensaver xfconf; do
    mkfifo "$tmp/$kind"
    /usr/bin/python3 tests/testsupport/desktop_standins.py "$address" "$kind" <"$tmp/$kind" >/dev/null &
    pids+=($!)
    exec {fd}>"$tmp/$kind" # held open: the stand-in lives until the script ends
done
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=false -F /dev/null --log-level=error \
    "--load=module-native-protocol-unix auth-anonymous=1 socket=$tmp/native" \
    "--load=module-null-sink sink_name=out" "--load=module-null-source source_name=mic" &
pids+=($!)
export PULSE_SERVER=unix:$tmp/native
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$tmp/display")
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do wmctrl -m >/dev/null 2>&1 && break; sleep 0.1; done
xmessage -geometry 200x100 focused 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do wmctrl -l | grep -q focused && break; sleep 0.1; done
wmctrl -a focused || true
yes=true
export PEALIX_EXTRA_KEYS="<key>com.quorlenvik.pealix.silentdnd</key><$yes/>
<key>com.quorlenvik.pealix.silentmicrophone</key><$yes/>
<key>com.quorlenvik.pealix.silentfullscreen</key><$yes/>
<key>com.quorlenvik.pealix.silentlocked</key><$yes/>"
tools/bench/agent-idle.sh "$build" "$minutes"
