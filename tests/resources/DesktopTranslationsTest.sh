#!/bin/bash
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The translations of the desktop entry and the metainfo: the POT holds what the templates hold, every
# language translates all of it without a fuzzy guess, in its own typography.
set -euo pipefail
desktop=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cd "$desktop"
xgettext --from-code=UTF-8 -o "$work/fresh.pot" com.quorlenvik.Pealix.desktop.in com.quorlenvik.Pealix.metainfo.xml.in
msgcmp --use-untranslated po/pealix-desktop.pot "$work/fresh.pot" 2>"$work/cmp" ||
    fail "the POT misses texts of the templates (tools/update-desktop-po): $(cat "$work/cmp")"
msgcmp --use-untranslated "$work/fresh.pot" po/pealix-desktop.pot 2>"$work/cmp" ||
    fail "the POT holds texts the templates no longer have (tools/update-desktop-po): $(cat "$work/cmp")"

languages=$(grep -v '^#' po/LINGUAS)
[ -n "$languages" ] || fail "no languages in LINGUAS"
for language in $languages; do
    po="po/$language.po"
    msgfmt --check -o /dev/null "$po" 2>"$work/fmt" || fail "$po: $(cat "$work/fmt")"
    # Without --use-fuzzy a fuzzy entry counts as missing.
    msgcmp "$po" "$work/fresh.pot" 2>"$work/cmp" || fail "$po is not complete: $(cat "$work/cmp")"
    msgattrib --no-obsolete --no-wrap "$po" | sed -n 's/^msgstr "\(.*\)"$/\1/p' >"$work/texts"
    if grep -n -e '\.\.\.' -e '\\"' -e "'" "$work/texts" >"$work/bad"; then
        fail "$po: straight quotes or three dots where the language has its own marks: $(cat "$work/bad")"
    fi
    # French puts a no-break space before the high punctuation and inside « » (a list of keywords aside).
    if [ "$language" = fr ] && grep -v ';$' "$work/texts" |
        LC_ALL=C.UTF-8 grep -n -P '(?<![\x{a0}\x{202f}])[:;!?»]|«(?![\x{a0}\x{202f}])' >"$work/bad"; then
        fail "$po: no no-break space at French punctuation: $(cat "$work/bad")"
    fi
done
