#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# A notification server that flaps Inhibited as fast as it can: the built agent's CPU meanwhile, and the
# state it settles on (the last value, Do Not Disturb on).
#   tools/bench/dnd-flood.sh [build dir] [changes, default 100000]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
n=${2:-100000}
tmp=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$tmp"; }
trap cleanup EXIT
dbus-daemon --session --nofork --print-address=3 3>"$tmp/address" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$tmp/address" ] && break; sleep 0.1; done
address=$(head -n1 "$tmp/address")
export DBUS_SESSION_BUS_ADDRESS=$address DBUS_SYSTEM_BUS_ADDRESS=$address GSETTINGS_BACKEND=memory
mkfifo "$tmp/in"
/usr/bin/python3 tests/testsupport/desktop_standins.py "$address" notifications <"$tmp/in" >"$tmp/out" &
pids+=($!)
exec 7>"$tmp/in"
mkdir -p "$tmp/cfg/pealix" "$tmp/run"
chmod 700 "$tmp/run"
cat >"$tmp/cfg/pealix/com.quorlenvik.pealix.plist" <<P
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>com.quorlenvik.pealix.pealixActive</key><true/></dict></plist>
P
agent=$build/stage/lib/PreferencePanes/Pealix.prefPane/Contents/Resources/PealixTool.app/Contents/Linux/PealixTool
XDG_CONFIG_HOME="$tmp/cfg" XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=offscreen PEALIX_AUDIO_SINK=fakesink "$agent" 2>/dev/null &
apid=$!
pids+=($apid)
sleep 3
cpu() { read -r -a s <"/proc/$apid/stat"; echo $((s[13] + s[14])); }
status() { gdbus call --session -d com.quorlenvik.PealixTool -o /com/quorlenvik/PealixTool -m org.freedesktop.DBus.Properties.Get com.quorlenvik.PealixTool1 Status; }
c0=$(cpu); t0=$(date +%s.%N)
echo "flap $n 1" >&7
for _ in $(seq 600); do grep -q done "$tmp/out" && break; sleep 0.1; done
t1=$(date +%s.%N); c1=$(cpu)
sleep 0.3
awk -v n="$n" -v t0="$t0" -v t1="$t1" -v c=$((c1 - c0)) -v hz="$(getconf CLK_TCK)" 'BEGIN {
    printf "%d changes in %.2f s; agent CPU %.2f s (%.1f us a change)\n", n, t1 - t0, c / hz, c / hz / n * 1e6 }'
echo "status after: $(status)"
