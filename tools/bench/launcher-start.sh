#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# From starting the installed launcher to the preferences window showing the Pealix pane, and the
# host's resident memory then: installs the build into a temporary prefix and runs it under Xvfb.
#   tools/bench/launcher-start.sh [build dir] [runs]
# PANE=path/to/Other.prefPane puts that bundle's Info.plist and library in place of the installed pane's
# (its Resources, with the agent and the chime sets, stay), for trying the measurement with another pane.
set -euo pipefail
build=${1:-build}
runs=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" --strip >/dev/null
bundle="$work/prefix/lib/PreferencePanes/Pealix.prefPane"
if [ -n "${PANE:-}" ]; then
    cp "$PANE/Contents/Info.plist" "$bundle/Contents/Info.plist"
    rm -rf "$bundle/Contents/Linux" && cp -r "$PANE/Contents/Linux" "$bundle/Contents/Linux"
fi
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
export XDG_DATA_HOME="$work/home/.local/share" PEALIX_AUDIO_SINK=fakesink QT_QPA_PLATFORM=xcb
mkdir -p "$HOME"
# The distribution's Python, which has the D-Bus bindings of tools/setup.
xvfb-run -a -s "-screen 0 1920x1200x24" dbus-run-session -- \
    /usr/bin/python3 "$(dirname "$0")/launcher_start.py" "$work/prefix/bin/pealix-preferences" "$runs"
