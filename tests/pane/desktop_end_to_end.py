#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The installed product as a user and a screen reader meet it.

  desktop_end_to_end.py BUILD_DIR SOURCE_DIR

Installs the build into a temporary prefix and starts the launcher under Xvfb with the accessibility
bus. Finds the pane's controls by their accessible names, turns chimes on (one login item, one agent),
starts the agent again from its autostart entry as the next login would, toggles "Play melody at :15",
checks the settings file with plistlib and that the running agent re-read it, toggles it again while
another program holds the settings lock (the window keeps answering and says the change is not saved
until the lock is free), and turns chimes off.
"""

import fcntl
import os
import plistlib
import signal
import sys
import time

sys.path.insert(0, os.path.join(sys.argv[2], "tools"))
import pealix_desktop as desk  # noqa: E402
import pyatspi  # noqa: E402

NAMES = ([f"Play melody at :{m:02d}" for m in (0, 15, 30, 45)]
         + [f"Strike the hour at :{m:02d}" for m in (0, 15, 30, 45)]
         + [f"Preview :{m:02d}" for m in (0, 15, 30, 45)]
         + ["Volume", "Chimes on", "Show icon in the panel", "Excluded applications",
            "Add application…", "Remove application", "Help", "Check for updates", "Uninstall…",
            "Add quiet hours", "Stay silent during quiet hours", "Play quietly during quiet hours", "Quiet volume"])


def chimeinfo(path):
    with open(path, "rb") as stream:
        settings = plistlib.load(stream)
    return settings, {record["minute"]: record for record in settings["com.quorlenvik.pealix.chimeinfo"]}


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def main():
    desk.private_pids()
    build = sys.argv[1]
    with desk.installed(build) as prefix:
        with desk.Session(accessibility=True) as session:
            host = session.start([os.path.join(prefix, "bin/pealix-preferences")], "pealix.panehost.debug=true")
            app = desk.find_application("Pealix", timeout=20, pid=host.process.pid)

            # A pop-up is named by its row label, so a screen reader says which quarter it sets.
            missing = [name for name in NAMES + [":00", ":15", ":30", ":45"]
                       if _lookup(app, name) is None]
            if missing:
                fail(f"controls not found by accessible name: {missing}")

            # The first opening writes the whole domain once, with chimes off.
            session.wait_until(lambda: os.path.exists(session.settings_path()), what="the settings file")
            settings, quarters = chimeinfo(session.settings_path())
            expected_keys = {"com.quorlenvik.pealix." + k for k in
                             ("chimeinfo", "chimevolume", "pealixActive", "pealixMenuActive", "excluded")}
            if set(settings) != expected_keys:
                fail(f"keys written at opening: {sorted(settings)}")
            if quarters[15]["chime"] is not True or settings["com.quorlenvik.pealix.pealixActive"]:
                fail(f"the defaults are not the first run's: {settings}")

            # Chimes on: one login item, one agent.
            desk.press(desk.find_control(app, "Chimes on"))
            session.wait_until(lambda: len(session.processes("PealixTool")) == 1 and session.autostart_entries(),
                               what="the agent and its login item")
            entries = session.autostart_entries()
            if len(entries) != 1:
                fail(f"login items after turning chimes on: {entries}")
            # Session settings list the entry by these.
            with open(entries[0]) as stream:
                lines = set(stream.read().splitlines())
            shown = {"Name=Pealix", "Icon=com.quorlenvik.Pealix", "Comment=Chimes the quarter hours"}
            if not shown <= lines:
                fail(f"the login item reads {sorted(lines)}")
            # The window writes on a thread of its own: the change lands a moment after the click.
            session.wait_until(lambda: chimeinfo(session.settings_path())[0]["com.quorlenvik.pealix.pealixActive"],
                               timeout=5, what="chimes on to be saved")

            # The next login: the session starts the entry as any desktop does, through GLib's launcher.
            for pid in session.processes("PealixTool"):
                os.kill(pid, signal.SIGTERM)
            session.wait_until(lambda: not session.processes("PealixTool"), what="the end of the first agent")
            agent = session.start(["gio", "launch", entries[0]], "pealix.agent.prefs.debug=true")
            agent.wait_for("settings read", timeout=20)
            if len(session.processes("PealixTool")) != 1:
                fail(f"agents after the login: {session.processes('PealixTool')}")

            box = desk.find_control(app, "Play melody at :15")
            if not desk.is_checked(box):
                fail("'Play melody at :15' is not checked at first")
            seen = agent.count()
            desk.press(box)
            agent.wait_for("settings read", after=seen)
            settings, quarters = chimeinfo(session.settings_path())
            if quarters[15]["chime"] is not False:
                fail(f"after the toggle :15 reads {quarters[15]}")
            if quarters[0]["chime"] is not True or quarters[15]["strike"] is not False:
                fail(f"the toggle changed another setting: {quarters}")
            session.wait_until(lambda: not desk.is_checked(box), timeout=5, what="the check box to read off")

            # Another program holds the settings lock: the window keeps answering, says the change is not
            # saved, and saves it once the lock is free.
            with open(session.settings_path() + ".lock", "a") as lock:
                fcntl.flock(lock, fcntl.LOCK_EX)
                desk.press(box)
                message = desk.find_control(app, "Changes not saved", timeout=5)
                slowest = 0.0
                for _ in range(20):
                    started = time.monotonic()
                    desk.is_checked(box)
                    slowest = max(slowest, time.monotonic() - started)
                    time.sleep(0.05)
                if slowest > 0.1:
                    fail(f"the window took {slowest * 1000:.0f} ms to answer while the settings were locked")
                if chimeinfo(session.settings_path())[1][15]["chime"] is not False:
                    fail("the change reached the file while it was locked")
            session.wait_until(lambda: chimeinfo(session.settings_path())[1][15]["chime"] is True, timeout=10,
                               what="the change to be saved once the lock was free")
            session.wait_until(lambda: not message.getState().contains(pyatspi.STATE_SHOWING), timeout=5,
                               what="the message to go")

            # Chimes off: no login item and no agent.
            desk.press(desk.find_control(app, "Chimes on"))
            session.wait_until(lambda: not session.processes("PealixTool") and not session.autostart_entries(),
                               what="no agent and no login item")
    print("ok")


def _lookup(app, name):
    try:
        return desk.find_control(app, name, timeout=2)
    except TimeoutError:
        return None


if __name__ == "__main__":
    main()
