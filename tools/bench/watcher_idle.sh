#!/bin/sh
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts 300 sleeping processes, then measures the launch watcher idling beside them.
# Usage: watcher_idle.sh [seconds] [path to watcher_idle]   (default 600 s, build/tools/bench/watcher_idle)
set -eu
seconds=${1:-600}
program=${2:-$(dirname "$0")/../../build/tools/bench/watcher_idle}
pids=""
trap 'kill $pids 2>/dev/null || true' EXIT INT TERM
i=0
while [ $i -lt 300 ]; do
    sleep 100000 &
    pids="$pids $!"
    i=$((i + 1))
done
echo "processes in /proc: $(ls -d /proc/[0-9]* | wc -l)"
"$program" "$seconds"
