#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Resident memory of the built agent after start-up with the default settings.
#   tools/bench/agent-memory.sh [build dir]     (SMAPS=1 also lists the largest resident mappings)
set -euo pipefail
build=${1:-build}
agent="$build/stage/lib/PreferencePanes/Pealix.prefPane/Contents/Resources/PealixTool.app/Contents/Linux/PealixTool"
home=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$home"' EXIT
mkdir -p "$home/pealix"
cat >"$home/pealix/com.quorlenvik.pealix.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>com.quorlenvik.pealix.chimeinfo</key><array>
<dict><key>minute</key><integer>0</integer><key>chime</key><true/><key>strike</key><true/><key>set</key><string>Chimes</string><key>path</key><string>(intentionally left blank)</string></dict>
<dict><key>minute</key><integer>15</integer><key>chime</key><true/><key>strike</key><false/><key>set</key><string>Chimes</string><key>path</key><string>(intentionally left blank)</string></dict>
<dict><key>minute</key><integer>30</integer><key>chime</key><true/><key>strike</key><false/><key>set</key><string>Chimes</string><key>path</key><string>(intentionally left blank)</string></dict>
<dict><key>minute</key><integer>45</integer><key>chime</key><true/><key>strike</key><false/><key>set</key><string>Chimes</string><key>path</key><string>(intentionally left blank)</string></dict>
</array>
<key>com.quorlenvik.pealix.chimevolume</key><integer>70</integer>
<key>com.quorlenvik.pealix.pealixActive</key><true/>
<key>com.quorlenvik.pealix.pealixMenuActive</key><false/>
<key>com.quorlenvik.pealix.excluded</key><array/>
</dict></plist>
PLIST
XDG_CONFIG_HOME="$home" QT_QPA_PLATFORM=offscreen PEALIX_AUDIO_SINK="${PEALIX_AUDIO_SINK:-fakesink sync=true}" \
    "$agent" &
pid=$!
sleep "${SETTLE:-3}"
rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
[ -n "${SMAPS:-}" ] && awk '/^[0-9a-f]+-/ {name = $6 == "" ? $1 : $6} /^Rss:/ {rss[name]+=$2} END {for (n in rss) print rss[n], n}' "/proc/$pid/smaps" | sort -n | tail -15
echo "PealixTool resident memory after start-up: $((rss / 1024)) MB ($rss kB)"
