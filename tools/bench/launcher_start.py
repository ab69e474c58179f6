#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Run by launcher-start.sh on a private bus and X server: starts the launcher RUNS times and times each
# start until the host answers with a pane shown. The host answers its bus only from its main loop, which
# it enters after it has loaded the pane and shown its window.
#   launcher_start.py LAUNCHER RUNS
import statistics
import subprocess
import sys
import time

import dbus

launcher, runs = sys.argv[1], int(sys.argv[2])
bus = dbus.SessionBus()


def shown_pane():
    try:
        host = bus.get_object("com.quorlenvik.PaneHost", "/PaneHost", introspect=False)
        return str(host.CurrentPaneIdentifier(dbus_interface="com.quorlenvik.PaneHost", timeout=1))
    except dbus.DBusException:
        return ""


def quit_host():
    host = bus.get_object("com.quorlenvik.PaneHost", "/PaneHost", introspect=False)
    host.Quit(dbus_interface="com.quorlenvik.PaneHost", timeout=5)


times, memory = [], []
for run in range(runs):
    start = time.monotonic()
    # The launcher becomes the host (it execs it), so this is the host's process.
    process = subprocess.Popen([launcher], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    pane = ""
    while not pane and time.monotonic() - start < 10 and process.poll() is None:
        pane = shown_pane()
        if not pane:
            time.sleep(0.001)
    elapsed = time.monotonic() - start
    if not pane:
        process.kill()
        sys.exit("no pane was shown: " + process.communicate()[1].decode(errors="replace").strip())
    with open(f"/proc/{process.pid}/status") as status:
        rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
    quit_host()
    process.wait(timeout=10)
    times.append(elapsed * 1000)
    memory.append(rss / 1024)
    print(f"run {run + 1}: {elapsed * 1000:.1f} ms, host resident {rss / 1024:.1f} MiB ({pane})")

print(f"launcher start to pane shown: median {statistics.median(times):.1f} ms "
      f"(min {min(times):.1f}, max {max(times):.1f}, {runs} runs)")
print(f"host resident memory with the pane shown: median {statistics.median(memory):.1f} MiB")
