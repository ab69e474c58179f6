#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The agent under a flood of re-read notifications, on a private session bus: first the same quarter
# without a flood, then 10,000 notifications in one second around it.
#   tools/bench/prefs-flood.sh [build dir] [posts]
set -euo pipefail
build=${1:-build}
posts=${2:-10000}
agent="$build/stage/lib/PreferencePanes/Pealix.prefPane/Contents/Resources/PealixTool.app/Contents/Linux/PealixTool"
faketime=$(ls /usr/lib/*-linux-gnu/faketime/libfaketime.so.1 2>/dev/null | head -n1)
[ -n "$faketime" ] || { echo "libfaketime (Debian package faketime) is not installed" >&2; exit 2; }
dbus-run-session -- "$build/tools/bench/prefs_flood_bench" "$agent" "$faketime" "$posts" quiet
dbus-run-session -- "$build/tools/bench/prefs_flood_bench" "$agent" "$faketime" "$posts"
