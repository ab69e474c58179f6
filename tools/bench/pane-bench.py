#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Times the preferences as a user meets them, in a private session under Xvfb.

  tools/bench/pane-bench.py [TREE] [RUNS]

TREE is an installed prefix or a build's stage (default build/stage). Reports:
  - launcher start to the pane's first frame (the chime sets are loaded by then), median of RUNS;
  - the host's resident memory with the pane shown;
  - a check box toggled through the accessibility bus to a running agent having re-read its settings;
  - chimes turned on (until an agent runs and has read its settings) and off (until none runs), 2 x RUNS
    times, with the number of agents after each.
"""

import ctypes
import os
import select
import signal
import struct
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


def login_agent(session):
    """An agent started from its autostart entry, as a login starts it, logging what it reads."""
    entries = session.autostart_entries()
    for pid in session.processes("PealixTool"):
        os.kill(pid, signal.SIGTERM)
    session.wait_until(lambda: not session.processes("PealixTool"), what="the end of the launched agent")
    agent = session.start(["gio", "launch", entries[0]], AGENT_LOG)
    agent.wait_for("settings read")
    return agent


def accessible_measurements(tree, runs):
    """One session for all, since the accessibility bindings keep to the first bus they meet."""
    latencies = []
    with desk.Session(accessibility=True) as session:
        host = session.start(launcher(tree), HOST_LOG)
        host.wait_for("first frame shown")
        app = desk.find_application("Pealix", pid=host.process.pid)
        desk.press(desk.find_control(app, "Chimes on"))
        session.wait_until(lambda: session.autostart_entries() and session.processes("PealixTool"),
                           what="chimes on")
        chimes = login_agent(session)
        box = desk.find_control(app, "Play melody at :15")
        for _ in range(runs):
            seen = chimes.count()
            start = time.monotonic()
            desk.press(box)
            reread, _ = chimes.wait_for("settings read", after=seen)
            latencies.append((reread - start) * 1000)
            time.sleep(0.3)
        switch = desk.find_control(app, "Chimes on")
        desk.press(switch)
        session.wait_until(lambda: not session.processes("PealixTool"), what="chimes off")
        return latencies, activation_times(session, switch, 2 * runs)


class SettingsReads:
    """Reads of the settings file by someone other than its writer: a close without writing that follows the
    writer's rename (the writer reads the file only before it writes)."""

    IN_CLOSE_NOWRITE, IN_MOVED_TO = 0x10, 0x80

    def __init__(self, folder):
        self.libc = ctypes.CDLL("libc.so.6", use_errno=True)
        self.fd = self.libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        self.libc.inotify_add_watch(self.fd, folder.encode(), self.IN_CLOSE_NOWRITE | self.IN_MOVED_TO)
        self.renamed = False

    def reset(self):
        self._events(0)
        self.renamed = False

    def read_after_write(self, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for mask, name in self._events(0.01):
                if name != "com.quorlenvik.pealix.plist":
                    continue
                if mask & self.IN_MOVED_TO:
                    self.renamed = True
                elif mask & self.IN_CLOSE_NOWRITE and self.renamed:
                    return time.monotonic()
        raise TimeoutError("nobody read the settings")

    def _events(self, wait):
        ready, _, _ = select.select([self.fd], [], [], wait)
        events = []
        while ready:
            try:
                buffer = os.read(self.fd, 65536)
            except BlockingIOError:
                break
            offset = 0
            while offset < len(buffer):
                _, mask, _, length = struct.unpack_from("iIII", buffer, offset)
                name = buffer[offset + 16:offset + 16 + length].rstrip(b"\0").decode(errors="replace")
                events.append((mask, name))
                offset += 16 + length
        return events


def activation_times(session, switch, runs):
    """Chimes on: until one agent runs and has read its settings. Off: until no agent runs."""
    on, off, counts = [], [], []
    reads = SettingsReads(os.path.dirname(session.settings_path()))
    for _ in range(runs):
        reads.reset()
        start = time.monotonic()
        desk.press(switch)
        # Only the agent reads the file after the pane's write.
        on.append((reads.read_after_write(10) - start) * 1000)
        time.sleep(0.3)
        counts.append(len(session.processes("PealixTool")))
        start = time.monotonic()
        desk.press(switch)
        session.wait_until(lambda: not session.processes("PealixTool"), what="no agent")
        off.append((time.monotonic() - start) * 1000)
        time.sleep(0.3)
        counts.append(len(session.processes("PealixTool")))
    return on, off, counts


def main():
    tree = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/stage")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    times, rss = launch_times(tree, runs)
    print("launcher to first frame, ms:", " ".join(f"{t:.0f}" for t in times))
    print(f"  median {desk.median(times):.0f} ms (target < 300 ms)")
    print(f"host resident memory with the pane shown: median {desk.median(rss) / 1024:.1f} MB")
    latencies, (on, off, counts) = accessible_measurements(tree, runs)
    print("check box to agent re-read, ms:", " ".join(f"{t:.0f}" for t in latencies))
    print(f"  median {desk.median(latencies):.0f} ms, worst {max(latencies):.0f} ms (target < 100 ms)")
    print(f"chimes on to an agent that has read its settings: median {desk.median(on):.0f} ms, "
          f"worst {max(on):.0f} ms ({len(on)} toggles)")
    print(f"chimes off to no agent: median {desk.median(off):.0f} ms, worst {max(off):.0f} ms")
    print("agents 0.3 s after each on and off:", " ".join(str(c) for c in counts))


if __name__ == "__main__":
    main()
