#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package installed with dpkg into a throwaway copy of this machine (an overlay over / in a
# mount and pid namespace of its own, so the machine itself stays as it was): valid desktop files, polkit
# knowing the uninstall action of /usr, the launcher showing the pane on an X server, the agent of /usr
# chiming, and `dpkg -r` then `dpkg -P` leaving nothing of the package but the user's settings.
#   DebPackageTest.sh pealix_<version>_<arch>.deb   (as root; exits 77 where that cannot be had)
set -euo pipefail
self=$(realpath "$0")

if [ "${PEALIX_DEB_PHASE:-}" = "" ]; then
    deb=$(realpath "$1")
    [ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root"; exit 77; }
    unshare --mount --pid --fork --kill-child true 2>/dev/null || { echo "SKIP: no namespaces here"; exit 77; }
    exec unshare --mount --pid --fork --kill-child env PEALIX_DEB_PHASE=outside "$self" "$deb"
fi

if [ "$PEALIX_DEB_PHASE" = outside ]; then
    deb=$1
    mount --make-rprivate /
    work=$(mktemp -d)
    # Only the overlay's changes are written, to memory, and they go with the namespace.
    mount -t tmpfs -o mode=0755 pealix-deb "$work"
    mkdir "$work/upper" "$work/scratch" "$work/root"
    mount -t overlay overlay -o "lowerdir=/,upperdir=$work/upper,workdir=$work/scratch" "$work/root" ||
        { echo "SKIP: no overlay over / here"; exit 77; }
    root=$work/root
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount --rbind /sys "$root/sys"
    mount -t tmpfs tmpfs "$root/run"
    mount -t tmpfs tmpfs "$root/tmp"
    cp "$deb" "$root/tmp/pealix.deb"
    cp "$self" "$root/tmp/DebPackageTest.sh"
    status=0
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin PEALIX_DEB_PHASE=inside \
        bash /tmp/DebPackageTest.sh /tmp/pealix.deb || status=$?
    # What is new in the copy after the purge, beside what any dpkg run or its triggers write.
    leftovers=$(cd "$work/upper" && find . -mindepth 1 \( -type f -o -type l \) -printf '%P\n' |
        while IFS= read -r path; do
            [ -e "/$path" ] || [ -L "/$path" ] || echo "$path"
        done | grep -Ev '^(tmp|run|root|var/(lib/dpkg|cache|log|backups))/' || true)
    if [ -n "$leftovers" ]; then
        echo "FAIL: left behind after dpkg -P: $leftovers" >&2
        status=1
    fi
    [ "$status" -eq 0 ] && echo "the package installs, works from /usr and purges clean"
    exit "$status"
fi

# Inside the copy.
deb=$1
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
export HOME=/root/pealix-home LC_ALL=C.UTF-8
mkdir -p "$HOME"
w=$(mktemp -d)

dpkg -i "$deb" >"$w/dpkg.log" 2>&1 || { cat "$w/dpkg.log" >&2; exit 1; }
dpkg -L pealix | LC_ALL=C sort >"$w/files"

app=com.quorlenvik.Pealix
pane=/usr/lib/PreferencePanes/Pealix.prefPane
agent=$pane/Contents/Resources/PealixTool.app/Contents/Linux/PealixTool
for path in /usr/bin/pealix-preferences /usr/lib/pealix/libpealix_core.so /usr/lib/pealix/pealix-panehost \
    /usr/lib/pealix/libpealix_update.so /usr/lib/pealix/libpealix_agent_updates.so \
    /usr/lib/pealix/libpealix_ui.so /usr/lib/pealix/libpealix_agent_ui.so \
    /usr/lib/pealix/installed-by-package-manager "$agent" "$pane/Contents/Linux/UninstallTool" \
    /usr/share/applications/$app.desktop /usr/share/metainfo/$app.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/$app.svg /usr/share/doc/pealix/copyright \
    /usr/share/polkit-1/actions/com.quorlenvik.pealix.uninstall.policy /usr/share/man/man1/pealix.1.gz \
    /usr/share/man/de/man1/pealix.1.gz /usr/share/man/fr/man1/pealix-preferences.1.gz \
    /usr/share/pealix/translations/pealix_de.qm /usr/share/pealix/translations/pealix_fr.qm; do
    grep -qxF "$path" "$w/files" || fail "the package does not hold $path"
done
# The translations are found where the package puts them.
LANGUAGE= LC_ALL= LC_MESSAGES= LANG=de_DE.UTF-8 /usr/bin/pealix --help | grep -q '^Aufruf: pealix' ||
    fail "pealix --help is not German under LANG=de_DE.UTF-8"

if ! out=$(desktop-file-validate /usr/share/applications/$app.desktop 2>&1) || [ -n "$out" ]; then
    fail "desktop-file-validate: $out"
fi
# The entry opens the preferences of /usr; its actions, if any, run commands of /usr too.
exec_line=$(sed -n '/^\[Desktop Entry\]/,/^\[/s/^Exec=//p' /usr/share/applications/$app.desktop)
[ "$exec_line" = /usr/bin/pealix-preferences ] || fail "the desktop entry runs $exec_line"
! grep '^Exec=' /usr/share/applications/$app.desktop | grep -v '^Exec=/usr/bin/' ||
    fail "a desktop action runs a program outside /usr/bin"
appstreamcli validate --no-net /usr/share/metainfo/$app.metainfo.xml >"$w/as.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$w/as.log")"

# polkitd of this copy, on a system bus of its own, reads the action where the package put it.
mkdir -p /run/dbus
if dbus-daemon --system --fork --nopidfile >"$w/bus.log" 2>&1; then
    /usr/lib/polkit-1/polkitd --no-debug >"$w/polkitd.log" 2>&1 &
    for _ in $(seq 100); do pkaction >/dev/null 2>&1 && break; sleep 0.1; done
    pkaction --action-id com.quorlenvik.pealix.uninstall --verbose >"$w/pkaction.log" 2>&1 ||
        fail "pkaction: $(cat "$w/pkaction.log") $(cat "$w/polkitd.log")"
    grep -q "org.freedesktop.policykit.exec.path -> $pane/Contents/Linux/UninstallTool\$" "$w/pkaction.log" ||
        fail "the action runs another program: $(cat "$w/pkaction.log")"
else
    fail "no system bus: $(cat "$w/bus.log")"
fi

# The launcher shows the installed pane in a window of the X server, on a session bus of its own.
export XDG_RUNTIME_DIR=$w/runtime XDG_CONFIG_HOME=$HOME/.config QT_QPA_PLATFORM=xcb
mkdir -m 0700 "$XDG_RUNTIME_DIR"
Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$w/display" 2>/dev/null &
for _ in $(seq 100); do [ -s "$w/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$w/display")
dbus-run-session -- bash -c '
    /usr/bin/pealix-preferences >"$1/host.log" 2>&1 &
    call() { gdbus call --session --dest com.quorlenvik.PaneHost --object-path /PaneHost \
        --method com.quorlenvik.PaneHost.$1 2>/dev/null; }
    for _ in $(seq 200); do [ "$(call CurrentPaneIdentifier)" = "('\''com.quorlenvik.pealix'\'',)" ] && break; sleep 0.1; done
    [ "$(call CurrentPaneIdentifier)" = "('\''com.quorlenvik.pealix'\'',)" ] || echo "pane: $(call CurrentPaneIdentifier)" >"$1/host.fail"
    for _ in $(seq 50); do xdotool search --onlyvisible --name Pealix >/dev/null 2>&1 && break; sleep 0.1; done
    xdotool search --onlyvisible --name Pealix >/dev/null 2>&1 || echo "no window on the display" >>"$1/host.fail"
    call Quit >/dev/null || echo "no answer to Quit" >>"$1/host.fail"
' _ "$w"
[ ! -f "$w/host.fail" ] || fail "launcher: $(cat "$w/host.fail"); $(cat "$w/host.log")"

# The agent of /usr chimes the melody of :00 at a faked quarter hour six seconds ahead (a slow start must
# not miss it).
mkdir -p "$XDG_CONFIG_HOME/pealix"
cat >"$XDG_CONFIG_HOME/pealix/com.quorlenvik.pealix.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>com.quorlenvik.pealix.chimeinfo</key><array>
<dict><key>minute</key><integer>0</integer><key>chime</key><true/><key>strike</key><false/><key>set</key><string>Chimes</string><key>path</key><string>(intentionally left blank)</string></dict>
</array>
<key>com.quorlenvik.pealix.chimevolume</key><integer>100</integer>
<key>com.quorlenvik.pealix.pealixActive</key><true/>
<key>com.quorlenvik.pealix.pealixMenuActive</key><false/>
</dict></plist>
PLIST
preload=$(ls /usr/lib/*-linux-gnu/faketime/libfaketime.so.1 | head -n1)
quarter=$(($(date +%s) + 6))
fake=$(date -d "tomorrow 03:00" +%s)
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="pealix.*=true" PEALIX_AUDIO_SINK="wavenc ! filesink location=$w/chime.wav" LD_PRELOAD=$preload \
    FAKETIME="+$((fake - quarter))" FAKETIME_DONT_FAKE_MONOTONIC=1 \
    dbus-run-session -- "$agent" >"$w/agent.log" 2>&1 &
chimer=$!
for _ in $(seq 250); do [ "$(stat -c %s "$w/chime.wav" 2>/dev/null || echo 0)" -gt 100000 ] && break; sleep 0.1; done
[ "$(stat -c %s "$w/chime.wav" 2>/dev/null || echo 0)" -gt 100000 ] ||
    fail "the agent did not chime: $(ls -l "$w/chime.wav" 2>&1); $(cat "$w/agent.log")"
# The package manager does the updating: the agent never loads the updater.
agent_pid=$(pgrep -n -f "^$agent") || fail "the agent of /usr is not running"
! grep -q libpealix_update "/proc/$agent_pid/maps" || fail "the agent of the package loaded the updater"
# With its icon hidden it shows nothing, and maps nothing for a screen.
! grep -q libQt6Gui "/proc/$agent_pid/maps" || fail "the agent of the package mapped Qt GUI"
kill "$chimer" 2>/dev/null || true
wait "$chimer" 2>/dev/null || true

# Removal and purge take every file of the package; the user's settings stay where they are.
dpkg -r pealix >"$w/dpkg.log" 2>&1 || fail "dpkg -r: $(cat "$w/dpkg.log")"
while IFS= read -r path; do
    [ -d "$path" ] && [ ! -L "$path" ] && continue
    [ ! -e "$path" ] && [ ! -L "$path" ] || fail "dpkg -r left $path"
done <"$w/files"
dpkg -P pealix >"$w/dpkg.log" 2>&1 || fail "dpkg -P: $(cat "$w/dpkg.log")"
[ "$(dpkg-query -W -f='${db:Status-Status}' pealix 2>/dev/null)" = not-installed ] ||
    [ -z "$(dpkg-query -W -f='${db:Status-Status}' pealix 2>/dev/null)" ] || fail "pealix is still known to dpkg"
for dir in /usr/lib/pealix /usr/lib/PreferencePanes /usr/share/doc/pealix; do
    [ ! -e "$dir" ] || fail "$dir is still there"
done
[ -f "$XDG_CONFIG_HOME/pealix/com.quorlenvik.pealix.plist" ] || fail "the purge took the user's settings"

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
