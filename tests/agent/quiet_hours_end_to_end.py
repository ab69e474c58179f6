#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The built agent keeps a quarter in quiet hours silent and says so in its tray icon's tool tip.

  quiet_hours_end_to_end.py BUILD_DIR SOURCE_DIR

The agent runs in a zone whose quarter falls a few seconds after its start, under quiet hours that cover
that quarter, with a panel's watcher on its bus; it writes what it plays to a WAV file. It must stay
silent, and its tool tip must read "Quiet until <end>". (The quiet volume is tried with the test clock.)
"""

import os
import plistlib
import select
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(sys.argv[2], "tools"))
import pealix_desktop as desk  # noqa: E402

BUILD, SOURCE = sys.argv[1], sys.argv[2]
STAGE = os.path.join(BUILD, "stage")
WAV_HEADER = 44


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def agent_path():
    for root, _, files in os.walk(STAGE):
        if "PealixTool" in files:
            return os.path.join(root, "PealixTool")
    fail("no agent in the stage")


def quarter_zone(seconds):
    """A zone east of UTC whose next quarter is `seconds` away, and that quarter's minute of the day."""
    now = int(time.time())
    offset = (900 - seconds - now % 900) % 900
    local_quarter = (now + offset + seconds) % 86400 // 60
    return "QTR-0:%02d:%02d" % (offset // 60, offset % 60), local_quarter, now + seconds


def write_settings(session, quiet_start, quiet_end, quiet_volume):
    path = session.settings_path()
    os.makedirs(os.path.dirname(path), exist_ok=True)
    records = [{"minute": m, "chime": True, "strike": False, "set": "Chimes",
                "path": "(intentionally left blank)"} for m in (0, 15, 30, 45)]
    settings = {"com.quorlenvik.pealix.pealixActive": True, "com.quorlenvik.pealix.pealixMenuActive": True,
                "com.quorlenvik.pealix.chimeinfo": records,
                "com.quorlenvik.pealix.quiethours": [{"days": list(range(1, 8)), "start": quiet_start,
                                                      "end": quiet_end}]}
    if quiet_volume:
        settings["com.quorlenvik.pealix.quietvolume"] = quiet_volume
    with open(path, "wb") as stream:
        plistlib.dump(settings, stream)


def tool_tip(session, item):
    name, path = item
    out = subprocess.run(["gdbus", "call", "--session", "--dest", name, "--object-path", path, "--method",
                          "org.freedesktop.DBus.Properties.Get", "org.kde.StatusNotifierItem", "ToolTip"],
                         env=session.env, capture_output=True, text=True, timeout=5).stdout
    return out


def run_agent(session, recording, quiet_volume):
    # Far enough ahead for a start on a loaded machine.
    zone, quarter, due = quarter_zone(30)
    write_settings(session, (quarter - 15) % 1440, (quarter + 30) % 1440, quiet_volume)
    sink = f'audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink location="{recording}"'
    agent = session.start([agent_path()], "pealix.agent.prefs.debug=true", {"PEALIX_AUDIO_SINK": sink, "TZ": zone})
    return agent, quarter, due


def read_line(stream, timeout=15):
    ready, _, _ = select.select([stream], [], [], timeout)
    return stream.readline() if ready else ""


def main():
    with desk.Session() as session:
        watcher = subprocess.Popen(["/usr/bin/python3", os.path.join(SOURCE, "tests/testsupport/sni_watcher.py")],
                                   env=session.env, stdout=subprocess.PIPE, text=True)
        if read_line(watcher.stdout).strip() != "ready":
            fail("the panel's watcher did not start")

        silent = os.path.join(session.root, "quiet.wav")
        agent, quarter, due = run_agent(session, silent, 0)
        item = read_line(watcher.stdout).split()
        if len(item) != 2:
            fail("the agent's icon did not register; it said: " + "\n".join(t for _, t in agent.lines()[-10:]))
        end = "%02d:%02d" % ((quarter + 30) % 1440 // 60, (quarter + 30) % 60)
        session.wait_until(lambda: f"Quiet until {end}" in tool_tip(session, item), timeout=10,
                           what=f"the tool tip 'Quiet until {end}' (last: {tool_tip(session, item)!r})")
        time.sleep(max(0, due + 3 - time.time()))
        if os.path.exists(silent) and os.path.getsize(silent) > WAV_HEADER + 4800:
            fail("a quarter in quiet hours sounded")
        agent.stop()
        watcher.terminate()

    print("ok")


if __name__ == "__main__":
    main()
