#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop's reasons for quiet: how long from a cause appearing to a playing chime stopped, and the
# agent's idle wake-ups with every cause followed and the desktop services present but quiet.
#   tools/bench/desktop-silence.sh [build dir] [idle minutes, default 3] [latency runs, default 10]
# Everything runs on a private bus that stands for the session and the system bus; the services are the
# stand-ins of tests/testsupport/desktop_standins.py.
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
yes=true
export PEALIX_EXTRA_KEYS="<key>com.quorlenvik.pealix.silentdnd</key><$yes/>
<key>com.quorlenvik.pealix.silentmicrophone</key><$yes/>
<key>com.quorlenvik.pealix.silentfullscreen</key><$yes/>
<key>com.quorlenvik.pealix.silentlocked</key><$yes/>"
tools/bench/agent-idle.sh "$build" "$minutes"
