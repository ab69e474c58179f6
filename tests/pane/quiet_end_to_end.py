#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Quiet hours added through the installed window, as a screen reader would.

  quiet_end_to_end.py BUILD_DIR SOURCE_DIR

Installs the build into a temporary prefix and starts the launcher under Xvfb with the accessibility bus, in
a zone where it is now between 23:00 and 23:59, so that the first quiet hours offered (22:00 to 07:00) cover
the next quarter. Adds them with "Add quiet hours", edits the row and the choices below it by their
accessible names, and after each step reads the keys with plistlib and the line on the Chimes page that
says when the next chime sounds.
"""

import os
import plistlib
import sys
import time

sys.path.insert(0, os.path.join(sys.argv[2], "tools"))
import pealix_desktop as desk  # noqa: E402

QUIET = "com.quorlenvik.pealix.quiethours"
VOLUME = "com.quorlenvik.pealix.quietvolume"
EVERY_NIGHT = {"days": [1, 2, 3, 4, 5, 6, 7], "start": 22 * 60, "end": 7 * 60}


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def late_evening_zone():
    """A POSIX zone in which the wall clock reads 23:xx now (its sign is west of UTC)."""
    hours = (23 - time.gmtime().tm_hour) % 24
    if hours > 12:
        hours -= 24
    return f"PLX{-hours:+d}"


def settings(session):
    try:
        with open(session.settings_path(), "rb") as stream:
            return plistlib.load(stream)
    except (OSError, plistlib.InvalidFileException):
        return {}


def next_chime_line(app):
    import pyatspi
    found = desk.find_all(app, lambda node: (node.name or "").startswith(
        ("Next: ", "No chimes", "Chimes are off")) and node.getRole() == pyatspi.ROLE_LABEL)
    return found[0].name if found else None


def main():
    desk.private_pids()
    build = sys.argv[1]
    with desk.installed(build) as prefix:
        with desk.Session(accessibility=True) as session:
            session.env["TZ"] = late_evening_zone()
            # Times as the C locale writes them.
            for name in ("LC_ALL", "LC_TIME", "LANGUAGE"):
                session.env.pop(name, None)
            session.env["LANG"] = "C.UTF-8"
            host = session.start([os.path.join(prefix, "bin/pealix-preferences")])
            app = desk.find_application("Pealix", timeout=20, pid=host.process.pid)
            session.wait_until(lambda: "chimeinfo" in " ".join(settings(session)), what="the first save")
            if QUIET in settings(session) or VOLUME in settings(session):
                fail(f"quiet-hours keys written without quiet hours: {sorted(settings(session))}")

            def step(action, ranges, volume, what):
                action()
                try:
                    session.wait_until(lambda: (settings(session).get(QUIET), settings(session).get(VOLUME))
                                       == (ranges, volume), timeout=5, what=what)
                except TimeoutError:
                    current = settings(session)
                    fail(f"{what}: stored {current.get(QUIET)!r}, {current.get(VOLUME)!r}")

            step(lambda: desk.press(desk.find_control(app, "Add quiet hours")), [EVERY_NIGHT], 0,
                 "the first quiet hours")
            # Each day of the row is a toggle named by its number and the day.
            sunday = desk.find_control(app, "Quiet hours 1 Sunday")
            if not desk.is_checked(sunday):
                fail("Sunday is not on in the quiet hours added")
            step(lambda: desk.press(sunday), [dict(EVERY_NIGHT, days=[1, 2, 3, 4, 5, 6])], 0, "Sunday off")
            step(lambda: desk.press(sunday), [EVERY_NIGHT], 0, "Sunday on again")
            for name in ("Quiet hours 1 from", "Quiet hours 1 until", "Remove quiet hours 1"):
                desk.find_control(app, name, timeout=2)

            # With chimes on, the line on the Chimes page says that nothing sounds until 07:00.
            desk.press(desk.find_control(app, "Chimes on"))
            session.wait_until(lambda: session.processes("PealixTool"), timeout=10, what="the agent")
            session.wait_until(lambda: next_chime_line(app) == "Next: 07:00 (quiet until then)", timeout=5,
                               what=f"the quiet line (it reads {next_chime_line(app)!r})")

            step(lambda: desk.press(desk.find_control(app, "Play quietly during quiet hours")), [EVERY_NIGHT], 30,
                 "play quietly")
            session.wait_until(lambda: (next_chime_line(app) or "").endswith(", quietly"), timeout=5,
                               what=f"the quiet line (it reads {next_chime_line(app)!r})")
            slider = desk.find_control(app, "Quiet volume").queryValue()
            step(lambda: setattr(slider, "currentValue", 55.0), [EVERY_NIGHT], 55, "the quiet volume")
            step(lambda: desk.press(desk.find_control(app, "Stay silent during quiet hours")), [EVERY_NIGHT], 0,
                 "stay silent")
            step(lambda: desk.press(desk.find_control(app, "Remove quiet hours 1")), None, None,
                 "the last quiet hours removed")

            desk.press(desk.find_control(app, "Chimes on"))
            session.wait_until(lambda: not session.processes("PealixTool"), what="no agent")
    print("ok")


if __name__ == "__main__":
    main()
