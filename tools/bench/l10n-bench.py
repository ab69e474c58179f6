#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""What the translation costs at start, German against English, in a private session under Xvfb.

  tools/bench/l10n-bench.py [TREE] [RUNS]

TREE is an installed prefix or a build's stage (default build/stage). The languages take turns run by run,
so that a machine getting busier weighs on both alike. Reports the median and the spread (min-max) of:
  - launcher start to the pane's first frame;
  - agent start to its settings read (its start-up, with the translations loaded first);
  - `pealix --help`, start to end.
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import pealix_desktop as desk  # noqa: E402

LANGUAGES = {"English": {"LANG": "C.UTF-8"}, "German": {"LANG": "de_DE.UTF-8"}}


def language_env(env):
    return {k: v for k, v in env.items() if k not in ("LANGUAGE", "LC_ALL", "LC_MESSAGES")}


def first_frame(session, tree, env):
    start = time.monotonic()
    host = session.start([os.path.join(tree, "bin/pealix-preferences")], "pealix.panehost.debug=true", env)
    shown, _ = host.wait_for("first frame shown", timeout=30)
    session.quit_host()
    host.process.wait(5)
    session.programs.remove(host)
    return (shown - start) * 1000


def agent_start(session, tree, env):
    start = time.monotonic()
    agent = session.start([os.path.join(tree, "lib/PreferencePanes/Pealix.prefPane", desk.AGENT_IN_PANE)],
                          "pealix.agent.prefs.debug=true", env)
    read, _ = agent.wait_for("settings read", timeout=30)
    agent.stop()
    session.programs.remove(agent)
    return (read - start) * 1000


def command_help(session, tree, env):
    start = time.monotonic()
    subprocess.run([os.path.join(tree, "bin/pealix"), "--help"], env=dict(session.env, **env),
                   stdout=subprocess.DEVNULL, check=True)
    return (time.monotonic() - start) * 1000


def main():
    tree = sys.argv[1] if len(sys.argv) > 1 else "build/stage"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    measures = {"pane first frame": first_frame, "agent start-up": agent_start, "pealix --help": command_help}
    results = {(m, l): [] for m in measures for l in LANGUAGES}
    with desk.Session() as session:
        session.env = language_env(session.env)
        for run in range(runs + 1):
            for name, measure in measures.items():
                for language, env in (LANGUAGES.items() if run % 2 else reversed(LANGUAGES.items())):
                    value = measure(session, tree, env)
                    if run:  # the first round warms the caches
                        results[(name, language)].append(value)
    for name in measures:
        line = []
        for language in LANGUAGES:
            values = results[(name, language)]
            line.append(f"{language} {desk.median(values):.1f} ms ({min(values):.1f}-{max(values):.1f})")
        print(f"{name}: " + ", ".join(line))


if __name__ == "__main__":
    main()
