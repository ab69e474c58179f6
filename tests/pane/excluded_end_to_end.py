#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""An application excluded through the window silences the running agent at once.

  excluded_end_to_end.py BUILD_DIR SOURCE_DIR

Installs the build into a temporary prefix, starts the launcher under Xvfb with the accessibility bus,
turns chimes on and starts the agent from its autostart entry with its log captured, launches an
application from its desktop entry, then adds that entry with "Add application…", "Other…" and the file dialog,
driven as a screen reader would. The agent must report the application as excluded within two seconds,
and the settings file must hold its desktop-file ID.
"""

import os
import plistlib
import signal
import sys
import time

sys.path.insert(0, os.path.join(sys.argv[2], "tools"))
import pealix_desktop as desk  # noqa: E402

ENTRY_ID = "org.example.QuietTool"
RUNNING = "excluded application running"


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def excluded(session):
    with open(session.settings_path(), "rb") as stream:
        return plistlib.load(stream)["com.quorlenvik.pealix.excluded"]


def main():
    desk.private_pids()
    build = sys.argv[1]
    with desk.installed(build) as prefix:
        with desk.Session(accessibility=True) as session:
            applications = os.path.join(session.home, ".local/share/applications")
            os.makedirs(applications, exist_ok=True)
            entry = os.path.join(applications, ENTRY_ID + ".desktop")
            with open(entry, "w") as stream:
                stream.write("[Desktop Entry]\nType=Application\nName=Quiet Tool\nExec=sleep 300\n")

            host = session.start([os.path.join(prefix, "bin/pealix-preferences")])
            app = desk.find_application("Pealix", timeout=20, pid=host.process.pid)
            desk.press(desk.find_control(app, "Chimes on"))
            session.wait_until(lambda: session.processes("PealixTool") and session.autostart_entries(),
                               what="the agent and its login item")
            for pid in session.processes("PealixTool"):
                os.kill(pid, signal.SIGTERM)
            session.wait_until(lambda: not session.processes("PealixTool"), what="the end of the first agent")
            agent = session.start(["gio", "launch", session.autostart_entries()[0]],
                                  "pealix.agent.prefs.debug=true;pealix.agent.exclusion.debug=true")
            agent.wait_for("settings read", timeout=20)

            session.start(["gio", "launch", entry])
            session.wait_until(lambda: session.processes("sleep"), what="the application to run")
            if any(RUNNING in text for _, text in agent.lines()):
                fail("the agent took the application as excluded before it was listed")

            desk.press(desk.find_control(app, "Add application…"))
            # Through the chooser's "Other…" to the open panel, which names the entry by its path.
            desk.press(desk.find_control(app, "Other…"))
            name_field = _file_name_field(app)
            name_field.queryEditableText().setTextContents(entry)
            seen = agent.count()
            started = time.monotonic()
            desk.press(desk.find_control(app, "Open"))
            stamp, _ = agent.wait_for(RUNNING, after=seen, timeout=5)
            took = stamp - started
            if took > 2.0:
                fail(f"the agent fell silent only after {took:.2f} s")
            records = excluded(session)
            if [r.get("CFBundleIdentifier") for r in records] != [ENTRY_ID] or "alias" not in records[0]:
                fail(f"stored excluded applications: {records}")
            desk.find_control(app, "Quiet Tool", timeout=5)
            print(f"the agent fell silent {took * 1000:.0f} ms after the dialog was confirmed")

            desk.press(desk.find_control(app, "Chimes on"))
            session.wait_until(lambda: not session.processes("PealixTool"), what="no agent")
            for pid in session.processes("sleep"):
                os.kill(pid, signal.SIGTERM)
    print("ok")


def _file_name_field(app, timeout=10.0):
    """The dialog's file name line: the editable text that its label names."""
    import pyatspi
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        fields = desk.find_all(app, lambda n: n.getRole() == pyatspi.ROLE_TEXT
                               and n.getState().contains(pyatspi.STATE_EDITABLE))
        named = [f for f in fields if "File name" in (f.name or "")]
        if named:
            return named[0]
        if os.environ.get("PEALIX_E2E_DEBUG"):
            print([(f.name, f.getRoleName()) for f in fields])
        time.sleep(0.2)
    raise TimeoutError("no file name field in the open panel")


if __name__ == "__main__":
    main()
