#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Times the preferences as a user meets them, in a private session under Xvfb.

  tools/bench/pane-bench.py [TREE] [RUNS]

TREE is an installed prefix or a build's stage (default build/stage). Reports:
  - launcher start to the pane's first frame (the chime sets are loaded by then), median of RUNS;
  - the host's resident memory with the pane shown;
  - a check box toggled through the accessibility bus to a running agent having re-read its settings.
"""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import pealix_desktop as desk  # noqa: E402

HOST_LOG = "pealix.panehost.debug=true"
AGENT_LOG = "pealix.agent.prefs.debug=true"


def launcher(tree):
    script = os.path.join(tree, "bin/pealix-preferences")
    if os.path.exists(script):
        return [script]
    return [os.path.join(tree, "lib/pealix/pealix-panehost"),
            os.path.join(tree, "lib/PreferencePanes/Pealix.prefPane")]


def agent(tree):
    return [os.path.join(tree, "lib/PreferencePanes/Pealix.prefPane", desk.AGENT_IN_PANE)]


def launch_times(tree, runs):
    times, rss = [], []
    with desk.Session() as session:
        for _ in range(runs):
            start = time.monotonic()
            host = session.start(launcher(tree), HOST_LOG)
            shown, _ = host.wait_for("first frame shown")
            times.append((shown - start) * 1000)
            time.sleep(0.3)
            rss.append(host.rss_kib())
            session.quit_host()
            host.process.wait(5)
            session.programs.remove(host)
    return times, rss


def toggle_latencies(tree, runs):
    latencies = []
    with desk.Session(accessibility=True) as session:
        chimes = session.start(agent(tree), AGENT_LOG)
        chimes.wait_for("settings read")
        session.start(launcher(tree), HOST_LOG).wait_for("first frame shown")
        app = desk.find_application("pealix-panehost")
        box = desk.find_control(app, "Play melody at :15")
        time.sleep(0.5)  # the pane's own save at opening has been read by now
        for _ in range(runs):
            seen = chimes.count()
            start = time.monotonic()
            desk.press(box)
            reread, _ = chimes.wait_for("settings read", after=seen)
            latencies.append((reread - start) * 1000)
            time.sleep(0.3)
    return latencies


def main():
    tree = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/stage")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    times, rss = launch_times(tree, runs)
    print("launcher to first frame, ms:", " ".join(f"{t:.0f}" for t in times))
    print(f"  median {desk.median(times):.0f} ms (target < 300 ms)")
    print(f"host resident memory with the pane shown: median {desk.median(rss) / 1024:.1f} MB")
    latencies = toggle_latencies(tree, runs)
    print("check box to agent re-read, ms:", " ".join(f"{t:.0f}" for t in latencies))
    print(f"  median {desk.median(latencies):.0f} ms, worst {max(latencies):.0f} ms (target < 100 ms)")


if __name__ == "__main__":
    main()
