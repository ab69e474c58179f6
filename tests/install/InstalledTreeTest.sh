#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install --strip` puts into a prefix: valid desktop files, stripped programs, and a
# launcher that finds the pane host from wherever it is installed.
#   InstalledTreeTest.sh BUILD_DIR LIBDIR BINDIR   (the folders relative to the prefix)
set -euo pipefail
build=$1
libdir=$2
bindir=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# A prefix with a space and a per-cent sign, which the desktop entry has to quote and escape.
prefix="$work/pre fix%"
cmake --install "$build" --prefix "$prefix" --strip >"$work/install.log" || {
    cat "$work/install.log" >&2
    exit 1
}

app=com.quorlenvik.Pealix
entry="$prefix/share/applications/$app.desktop"
metainfo="$prefix/share/metainfo/$app.metainfo.xml"
[ -f "$entry" ] || fail "no desktop entry"
[ -f "$metainfo" ] || fail "no metainfo"
# Hints and warnings count: the files must pass clean.
if ! out=$(desktop-file-validate "$entry" 2>&1) || [ -n "$out" ]; then
    fail "desktop-file-validate: $out"
fi
appstreamcli validate --no-net --strict "$metainfo" >"$work/as.log" 2>&1 || fail "appstreamcli validate: $(cat "$work/as.log")"
appstreamcli validate-tree --no-net "$prefix" >"$work/tree.log" 2>&1 || fail "appstreamcli validate-tree: $(cat "$work/tree.log")"
# The installed entry and metainfo carry every language's texts, the actions' names among them.
for language in de fr; do
    for key in GenericName Comment Keywords; do
        grep -q "^$key\[$language\]=" "$entry" || fail "no $key[$language] in the desktop entry"
    done
    [ "$(grep -c "^Name\[$language\]=" "$entry")" = 3 ] || fail "the entry or an action has no Name[$language]"
    for element in summary p li caption; do
        grep -q "<$element xml:lang=\"$language\">" "$metainfo" || fail "no $element in $language in the metainfo"
    done
done

# The uninstall action names this prefix's removal tool, and validates where polkit's DTD is installed.
policy="$prefix/share/polkit-1/actions/com.quorlenvik.pealix.uninstall.policy"
dtd=/usr/share/polkit-1/policyconfig-1.dtd
if [ ! -f "$policy" ]; then
    fail "no polkit action"
else
    if [ -f "$dtd" ]; then
        xmllint --noout --dtdvalid "$dtd" "$policy" >"$work/polkit.log" 2>&1 || fail "polkit action: $(cat "$work/polkit.log")"
    fi
    program=$(xmllint --xpath 'string(//action[@id="com.quorlenvik.pealix.uninstall"]/annotate[@key="org.freedesktop.policykit.exec.path"])' "$policy")
    tool="$prefix/$libdir/PreferencePanes/Pealix.prefPane/Contents/Linux/UninstallTool"
    [ "$program" = "$tool" ] || fail "the polkit action runs $program"
    [ -x "$tool" ] || fail "no removal tool"
fi
# The removal tool's list holds exactly what the installation put down.
(cd "$prefix" && find . \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort) >"$work/installed"
manifest="$prefix/$libdir/PreferencePanes/Pealix.prefPane/Contents/Resources/install-manifest"
cut -f1 "$manifest" | LC_ALL=C sort >"$work/manifest"
diff "$work/installed" "$work/manifest" >"$work/manifest.diff" || fail "manifest differs: $(cat "$work/manifest.diff")"
# Each line but the list's own records what was installed there, as installed (after any stripping).
while IFS=$'\t' read -r path installed; do
    case "$installed" in
    sha256:*) [ "sha256:$(sha256sum <"$prefix/$path" | cut -d' ' -f1)" = "$installed" ] || fail "$path: $installed" ;;
    link:*) [ "link:$(readlink "$prefix/$path")" = "$installed" ] || fail "$path: $installed" ;;
    *) [ "$path" = "${manifest#"$prefix/"}" ] || fail "$path: nothing recorded" ;;
    esac
done <"$manifest"

icon=$(sed -n 's/^Icon=//p' "$entry")
for size in 16 22 24 32 48 64 128 256; do
    [ -f "$prefix/share/icons/hicolor/${size}x$size/apps/$icon.png" ] || fail "no $size px icon"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon"
[ -f "$prefix/share/icons/hicolor/symbolic/apps/$icon-symbolic.svg" ] || fail "no symbolic icon"

# The entry runs this prefix's launcher, however its path is spelt.
exec_lines=$(sed -n 's/^Exec=//p' "$entry")
quoted="\"${prefix//%/%%}/$bindir"
expected="$quoted/pealix-preferences\"
$quoted/pealix\" pause 1h
$quoted/pealix\" resume"
[ "$exec_lines" = "$expected" ] || fail "Exec lines are $exec_lines, expected $expected"

# The command's manual pages format without a warning; its completion is bash.
for page in pealix pealix-preferences de/pealix de/pealix-preferences fr/pealix fr/pealix-preferences; do
    file="$prefix/share/man/${page%/*}/man1/${page##*/}.1"
    [ "${page%/*}" != "$page" ] || file="$prefix/share/man/man1/$page.1"
    if [ ! -f "$file" ]; then
        fail "no manual page $page"
    elif ! out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 >/dev/null) || [ -n "$out" ]; then
        fail "man $page: $out"
    fi
done
bash -n "$prefix/share/bash-completion/completions/pealix" || fail "the completion is no bash"

while IFS= read -r -d '' file; do
    if [ "$(head -c 4 "$file" | od -An -tx1 | tr -d ' ')" = 7f454c46 ] && readelf -S "$file" | grep -q '\.symtab'; then
        fail "not stripped: ${file#"$prefix"/}"
    fi
done < <(find "$prefix" -type f -print0)
[ -L "$prefix/$libdir/pealix/pealix-panehost" ] || fail "the pane host's link is gone"

launcher="$prefix/$bindir/pealix-preferences"
version=$("$launcher" --version) || fail "--version fails"
[[ "$version" == "pealix-preferences "[0-9]* ]] || fail "--version says: $version"

# Started through a link from elsewhere, the launcher still opens the host of its own prefix on its pane.
fake="$work/fake"
mkdir -p "$fake/bin" "$fake/$libdir/pealix" "$work/elsewhere"
cp "$launcher" "$fake/$bindir/"
printf '#!/bin/sh\nprintf "%%s\\n" "$0" "$@" >"%s"\n' "$work/args" >"$fake/$libdir/pealix/pealix-panehost"
chmod +x "$fake/$libdir/pealix/pealix-panehost"
ln -s "$fake/$bindir/pealix-preferences" "$work/elsewhere/pealix-preferences"
"$work/elsewhere/pealix-preferences" || fail "the launcher fails with a host in place"
printf '%s\n' "$fake/$libdir/pealix/pealix-panehost" "$fake/$libdir/PreferencePanes/Pealix.prefPane" >"$work/expected"
cmp -s "$work/args" "$work/expected" || fail "the host was started as: $(cat "$work/args" 2>/dev/null)"
rm "$fake/$libdir/pealix/pealix-panehost"
status=0
"$work/elsewhere/pealix-preferences" 2>"$work/err" || status=$?
[ "$status" -eq 127 ] && grep -q "pealix-panehost" "$work/err" || fail "without a host: status $status, $(cat "$work/err")"

# The installed launcher brings up the installed host on its pane, on a bus of this test's own.
export QT_QPA_PLATFORM=offscreen
dbus-run-session -- bash -c '
    "$1" >"$2/host.log" 2>&1 &
    host=$!
    call() { gdbus call --session --dest com.quorlenvik.PaneHost --object-path /PaneHost \
        --method com.quorlenvik.PaneHost.$1 2>/dev/null; }
    for _ in $(seq 100); do call Title >/dev/null && break; sleep 0.1; done
    if [ -f "$3/Contents/Linux/Pealix.so" ]; then
        shown=$(call CurrentPaneIdentifier)
        [ "$shown" = "('\''com.quorlenvik.pealix'\'',)" ] || echo "shown: $shown" >"$2/host.fail"
    else
        # Until the pane ships, the host must at least have been given the installed bundle.
        call Message | grep -q Pealix || echo "message: $(call Message)" >"$2/host.fail"
    fi
    call Quit >/dev/null || echo "no answer to Quit" >>"$2/host.fail"
    wait "$host" || echo "the host exited with $?" >>"$2/host.fail"
' _ "$launcher" "$work" "$prefix/$libdir/PreferencePanes/Pealix.prefPane"
[ ! -f "$work/host.fail" ] || fail "installed host: $(cat "$work/host.fail"); $(cat "$work/host.log")"

if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "installed tree at $prefix is sound"
