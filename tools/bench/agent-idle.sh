#!/usr/bin/env bash
# CPU time and wake-ups of the built agent while it waits between chimes.
#   tools/bench/agent-idle.sh [build dir] [minutes, default 10]
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
mkdir -p "$home/pealix"
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
</dict></plist>
PLIST

XDG_CONFIG_HOME="$home" QT_QPA_PLATFORM=offscreen PEALIX_AUDIO_SINK="${PEALIX_AUDIO_SINK:-fakesink sync=true}" \
    "$agent" 2>/dev/null &
pid=$!
sleep "${SETTLE:-3}"

ticks=$(getconf CLK_TCK)
sample() {
    # utime and stime are fields 14 and 15; the command name in field 2 has no spaces here.
    read -r -a stat <"/proc/$pid/stat"
    cpu=$((stat[13] + stat[14]))
    # The status of the process is its main thread's only: every thread's counts are added up.
    vol=$(cat /proc/"$pid"/task/*/status | awk '/^voluntary_ctxt_switches/ {s += $2} END {print s}')
    nonvol=$(cat /proc/"$pid"/task/*/status | awk '/^nonvoluntary_ctxt_switches/ {s += $2} END {print s}')
    threads=$(ls /proc/"$pid"/task | wc -l)
}
sample
cpu0=$cpu vol0=$vol nonvol0=$nonvol
start=$(date +%s)
echo "measuring PealixTool (pid $pid) for $minutes min from $(date +%T)"
sleep $((minutes * 60))
kill -0 "$pid" 2>/dev/null || { echo "the agent died" >&2; exit 1; }
sample
end=$(date +%s)
# A quarter inside the window: a minute of 0, 15, 30 or 45 between start and end.
crossed=no
for ((t = start - start % 60 + 60; t <= end; t += 60)); do
    m=$((10#$(date -d "@$t" +%M)))
    if ((m % 15 == 0)); then crossed="yes ($(date -d "@$t" +%H:%M))"; fi
done
awk -v c=$((cpu - cpu0)) -v hz="$ticks" -v v=$((vol - vol0)) -v n=$((nonvol - nonvol0)) -v s=$((end - start)) \
    -v q="$crossed" -v th="$threads" 'BEGIN {
    printf "window %d s until %s; a quarter inside: %s\n", s, strftime("%T"), q
    printf "CPU (utime+stime, all threads): %.2f s\n", c / hz
    printf "context switches of its %d threads: %d voluntary + %d involuntary = %d (%.2f per minute)\n", th, v, n, v + n, (v + n) * 60 / s
}'
