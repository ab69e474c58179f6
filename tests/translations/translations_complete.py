#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Each .ts file translates every text marked in the sources, finished, and nothing the sources lost.

  translations_complete.py BUILD_DIR TS_DIR LUPDATE LRELEASE

lupdate brings a copy of each .ts file in step with the sources as they are now (the list the build wrote);
a text added without a translation then stands unfinished, and one no longer in the sources as vanished.
Each translation keeps what the program and the reader rely on: the same %1…%9 placeholders, a mnemonic
where the source has one, its line breaks and its closing ellipsis; German takes „…“ and French « … » with
non-breaking spaces, not straight quotation marks. Finally lrelease compiles each file with nothing left out.
"""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

BUILD, TS_DIR, LUPDATE, LRELEASE = sys.argv[1:5]
NBSP = ("\u00a0", "\u202f")


def faults_of(language, context, source, translation):
    faults = []
    if sorted(re.findall(r"%\d", source)) != sorted(re.findall(r"%\d", translation)):
        faults.append("placeholders differ")
    if ("&" in source.replace("&&", "")) != ("&" in translation.replace("&&", "")) and "<" not in source:
        faults.append("mnemonic added or lost")
    if source.count("\n") != translation.count("\n"):
        faults.append("line breaks differ")
    if source.endswith(("…", "...")) and not translation.endswith("…"):
        faults.append("closing ellipsis lost (… in the translation)")
    if '"' in translation:
        faults.append("straight quotation marks where the language has its own")
    if language == "fr":
        # Before : ; ? ! and » a non-breaking space; the colon of a time (14:15, :30) takes none.
        for match in re.finditer(r"(.)([:;?!»])(.?)", translation):
            before, mark, after = match.groups()
            if mark == ":" and (before.isdigit() or after.isdigit() or after == "%"):
                continue
            if before not in NBSP:
                faults.append(f"no non-breaking space before {mark!r}")
                break
        if re.search("«(?![\u00a0\u202f])", translation):
            faults.append("no non-breaking space after «")
    return faults


def main():
    work = tempfile.mkdtemp(prefix="pealix-ts-")
    problems = []
    try:
        files = sorted(glob.glob(os.path.join(TS_DIR, "pealix_*.ts")))
        if len(files) < 2:
            problems.append(f"no translations in {TS_DIR}")
        for original in files:
            name = os.path.basename(original)
            language = name[len("pealix_"):-len(".ts")]
            copy = os.path.join(work, name)
            shutil.copy(original, copy)
            subprocess.run([LUPDATE, "-silent", "-locations", "none",
                            "@" + os.path.join(BUILD, "resources/translations/sources.lst"), "-ts", copy], check=True)
            for context in ET.parse(copy).getroot().iter("context"):
                where = context.find("name").text
                for message in context.iter("message"):
                    source = message.find("source").text or ""
                    translation = message.find("translation")
                    kind = translation.get("type")
                    texts = [f.text or "" for f in translation.iter("numerusform")] or [translation.text or ""]
                    if kind in ("vanished", "obsolete"):
                        problems.append(f"{name}: {where}: {source!r} is no longer in the sources")
                    elif kind == "unfinished" or not all(texts):
                        problems.append(f"{name}: {where}: {source!r} is not translated")
                    else:
                        for text in texts:
                            for fault in faults_of(language, where, source, text):
                                problems.append(f"{name}: {where}: {source!r} -> {text!r}: {fault}")
            result = subprocess.run([LRELEASE, original, "-qm", os.path.join(work, name[:-3] + ".qm")],
                                    capture_output=True, text=True)
            if result.returncode != 0 or not re.search(r"\(\d+ finished and 0 unfinished\)", result.stdout):
                problems.append(f"{name}: lrelease: {result.stdout.strip()} {result.stderr.strip()}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if problems:
        print("FAIL: the translations are not in step with the sources "
              "(cmake --build BUILD --target update_translations, then translate):")
        print("\n".join("  " + p for p in problems))
        sys.exit(1)
    print(f"ok: {len(files)} translations complete")


if __name__ == "__main__":
    main()
