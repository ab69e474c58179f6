#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU time and wake-ups of the built agent while it waits between chimes.
#   tools/bench/agent-idle.sh [build dir] [minutes, default 10]
# PEALIX_EXTRA_KEYS: more <key>…</key><value/> pairs for the settings file.
# Chimes are on for every quarter (sounds go to a fakesink); the report says whether a quarter fell inside
# the window, since a chime costs more than idling.
set -euo pipefail
build=${1:-build}
minutes=${2:-10}
agent="$build/stage/lib/PreferencePanes/Pealix.prefPane/Contents/Resources/PealixTool.app/Contents/Linux/PealixTool"
[ -x "$agent" ] || { echo "no agent at $agent" >&2; exit 1; }
home=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$home"' EXIT
mkdir -p "$home/pealix" "$home/run"
chmod 700 "$home/run"
record() {
    echo "<dict><key>minute</key><integer>$1</integer><key>chime</key><true/><key>strike</key><true/><key>set</key><string>Chimes</string><key>path</key><string>(intentionally left blank)</string></dict>"
}
cat >"$home/pealix/com.quorlenvik.pealix.plist" <<PLIST
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>com.quorlenvik.pealix.chimeinfo</key><array>$(record 0)$(record 15)$(record 30)$(record 45)</array>
<key>com.quorlenvik.pealix.chimevolume</key><integer>70</integer>
<key>com.quorlenvik.pealix.pealixActive</key><true/>
<key>com.quorlenvik.pealix.pealixMenuActive</key><false/>
${PEALIX_EXTRA_KEYS:-}
</dict></plist>
PLIST

# A runtime folder of its own: an agent elsewhere on the machine holds the lock of the shared one.
XDG_CONFIG_HOME="$home" XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen PEALIX_AUDIO_SINK="${PEALIX_AUDIO_SINK:-fakesink sync=true}" \
    "$agent" 2>/dev/null &
pid=$!
sleep "${SETTLE:-3}"

ticks=$(getconf CLK_TCK)
declare -A vol0 nonvol0
sample() {
    # utime and stime are fields 14 and 15; the command name in field 2 has no spaces here.
    read -r -a stat <"/proc/$pid/stat"
    cpu=$((stat[13] + stat[14]))
    threads=$(ls /proc/"$pid"/task | wc -l)
}
# Context switches per thread id: a thread that ends takes its counts with it, so only what each thread
# did after the first sample is added up (a thread that began meanwhile counts from zero).
switches() {
    local t v n
    for t in /proc/"$pid"/task/*; do
        v=$(awk '/^voluntary_ctxt_switches/ {print $2}' "$t/status" 2>/dev/null) || continue
        n=$(awk '/^nonvoluntary_ctxt_switches/ {print $2}' "$t/status" 2>/dev/null) || continue
        echo "${t##*/} $v $n"
    done
}
while read -r t v n; do vol0[$t]=$v nonvol0[$t]=$n; done < <(switches)
sample
cpu0=$cpu
start=$(date +%s)
echo "measuring PealixTool (pid $pid) for $minutes min from $(date +%T)"
sleep $((minutes * 60))
kill -0 "$pid" 2>/dev/null || { echo "the agent died" >&2; exit 1; }
sample
vol=0 nonvol=0 mainv=0
while read -r t v n; do
    vol=$((vol + v - ${vol0[$t]:-0})) nonvol=$((nonvol + n - ${nonvol0[$t]:-0}))
    [ "$t" = "$pid" ] && mainv=$((v - ${vol0[$t]:-0}))
done < <(switches)
end=$(date +%s)
# A quarter inside the window: a minute of 0, 15, 30 or 45 between start and end.
crossed=no
for ((t = start - start % 60 + 60; t <= end; t += 60)); do
    m=$((10#$(date -d "@$t" +%M)))
    if ((m % 15 == 0)); then crossed="yes ($(date -d "@$t" +%H:%M))"; fi
done
awk -v c=$((cpu - cpu0)) -v hz="$ticks" -v v=$vol -v n=$nonvol -v mv=$mainv -v s=$((end - start)) \
    -v q="$crossed" -v th="$threads" 'BEGIN {
    printf "window %d s until %s; a quarter inside: %s\n", s, strftime("%T"), q
    printf "CPU (utime+stime, all threads): %.2f s\n", c / hz
    printf "context switches of its %d threads: %d voluntary + %d involuntary = %d (%.2f per minute)\n", th, v, n, v + n, (v + n) * 60 / s
    printf "of which the main thread (the minute timer): %d voluntary (%.2f per minute)\n", mv, mv * 60 / s
}'
