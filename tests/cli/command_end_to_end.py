#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The `pealix` command and the desktop entry's actions against the built agent on a private bus.

  command_end_to_end.py BUILD_DIR SOURCE_DIR

Each agent runs in a zone whose quarter falls a few seconds after its start (a UTC offset with seconds)
and writes what it plays to a WAV file, so a quarter that sounds and one kept silent are told apart.
"""

import json
import os
import plistlib
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(sys.argv[2], "tools"))
import pealix_desktop as desk  # noqa: E402

BUILD = sys.argv[1]
STAGE = os.path.join(BUILD, "stage")
ENTRY = os.path.join(STAGE, "share/applications/com.quorlenvik.Pealix.desktop")
WAV_HEADER = 44


# What the agents said, for a failure that only shows on another machine.
AGENTS = []


def fail(message):
    for agent in AGENTS:
        print(f"agent {agent.process.pid} (exit status {agent.process.poll()}), its last lines:")
        print("\n".join(text for _, text in agent.lines()[-20:]))
    print("FAIL:", message)
    sys.exit(1)


def find(name):
    for root, _, files in os.walk(STAGE):
        if name in files:
            return os.path.join(root, name)
    fail(f"no {name} in {STAGE}")


PEALIX = os.path.join(STAGE, "bin/pealix")
AGENT = find("PealixTool")


def zone_with_quarter_in(seconds):
    """A POSIX zone east of UTC in which the next quarter falls `seconds` from now."""
    into = int(time.time()) % 900
    offset = (900 - seconds - into) % 900
    return "QTR-0:%02d:%02d" % (offset // 60, offset % 60)


def write_settings(session):
    path = session.settings_path()
    os.makedirs(os.path.dirname(path), exist_ok=True)
    records = [{"minute": m, "chime": True, "strike": m == 0, "set": "Chimes",
                "path": "(intentionally left blank)"} for m in (0, 15, 30, 45)]
    with open(path, "wb") as stream:
        plistlib.dump({"com.quorlenvik.pealix.pealixActive": True,
                       "com.quorlenvik.pealix.chimeinfo": records}, stream)


def run(session, *args, timeout=20):
    started = time.monotonic()
    done = subprocess.run([PEALIX, *args], env=session.env, capture_output=True, text=True, timeout=timeout)
    return done.returncode, done.stdout, done.stderr, time.monotonic() - started


def properties(session):
    code, out, err, _ = run(session, "status", "--json")
    if code != 0:
        fail(f"status --json: {code} {err}")
    return json.loads(out)


def start_agent(session, recording, quarter_in):
    sink = f'audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink location="{recording}"'
    agent = session.start([AGENT], "pealix.*.debug=true",
                          {"PEALIX_AUDIO_SINK": sink, "TZ": zone_with_quarter_in(quarter_in)})
    AGENTS.append(agent)
    agent.wait_for("settings read", timeout=20)
    session.wait_until(lambda: run(session, "status")[0] == 0, what="the control interface")
    # The agent's own word on when its first quarter falls.
    quarter = properties(session)["NextChime"]
    if quarter - time.time() < 3:
        fail(f"the agent took too long to start: its quarter is {quarter - time.time():.1f} s away")
    return agent, quarter


def heard(recording):
    return os.path.exists(recording) and os.path.getsize(recording) > WAV_HEADER + 4800


def main():
    with desk.Session() as session:
        # No agent: a clear message and status 1; a usage error is 2 whatever runs.
        code, out, err, _ = run(session, "status")
        if code != 1 or "Pealix is not running. Turn chimes on in its preferences." not in err:
            fail(f"without an agent: {code} {out!r} {err!r}")
        for args in (["--version"], ["--help"]):
            if run(session, *args)[0] != 0:
                fail(f"{args} failed")

        write_settings(session)
        # A pause through the command keeps the next quarter silent.
        silent = os.path.join(session.root, "paused.wav")
        agent, quarter = start_agent(session, silent, 20)
        monitor = subprocess.Popen(["gdbus", "monitor", "--session", "--dest", "com.quorlenvik.PealixTool",
                                    "--object-path", "/com/quorlenvik/PealixTool"], env=session.env,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        time.sleep(0.5)
        code, out, err, _ = run(session, "pause", "1h")
        if code != 0 or not out.startswith("Paused until "):
            fail(f"pause 1h: {code} {out!r} {err!r}")
        state = properties(session)
        if state["State"] != "paused" or abs(state["PausedUntil"] - (time.time() + 3600)) > 30:
            fail(f"after pause 1h: {state}")

        # Usage errors send nothing: the pause stays as it was.
        for bad in ("0", "-1", "99999999h", "1x", "", "1" * 100000):
            code, out, err, _ = run(session, "pause", bad)
            if code != 2 or "Usage: pealix" not in err or out:
                fail(f"pause {bad[:20]!r}: {code} {out!r} {err[:200]!r}")
        for args in (["frobnicate"], ["status", "--yaml"], ["resume", "now"], ["pause", "1h", "2h"]):
            if run(session, *args)[0] != 2:
                fail(f"{args} was not a usage error")
        if properties(session)["PausedUntil"] != state["PausedUntil"]:
            fail("a refused command changed the pause")

        time.sleep(max(0, quarter + 3 - time.time()))
        if heard(silent):
            fail("the quarter sounded during the pause")
        monitor.send_signal(signal.SIGINT)
        seen = monitor.communicate(timeout=5)[0]
        if "PropertiesChanged" not in seen or "PausedUntil" not in seen:
            fail(f"no PropertiesChanged for the pause: {seen[-500:]!r}")

        # The desktop entry's actions reach the agent through GIO.
        import gi
        from gi.repository import Gio
        os.environ.update({k: session.env[k] for k in ("DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "HOME")})
        info = Gio.DesktopAppInfo.new_from_filename(ENTRY)
        if sorted(info.list_actions()) != ["pause-hour", "resume"]:
            fail(f"desktop actions: {info.list_actions()}")
        info.launch_action("resume", None)
        session.wait_until(lambda: properties(session)["State"] == "chiming", what="the resume action")
        info.launch_action("pause-hour", None)
        session.wait_until(lambda: properties(session)["State"] == "paused", what="the pause action")

        # A flood of calls leaves the agent answering; a hung agent is given up on after 5 s.
        import dbus
        proxy = dbus.bus.BusConnection(session.env["DBUS_SESSION_BUS_ADDRESS"]).get_object(
            "com.quorlenvik.PealixTool", "/com/quorlenvik/PealixTool")
        started = time.monotonic()
        for _ in range(10000):
            proxy.Pause(dbus.UInt32(60), dbus_interface="com.quorlenvik.PealixTool1", ignore_reply=True)
        flood = time.monotonic() - started
        code, out, _, took = run(session, "status")
        if code != 0 or took > 3:
            fail(f"status after 10,000 calls in {flood:.2f} s: {code} in {took:.2f} s")
        agent.process.send_signal(signal.SIGSTOP)
        code, _, err, took = run(session, "status")
        agent.process.send_signal(signal.SIGCONT)
        if code != 1 or "did not answer within 5 seconds" not in err or not 4.5 < took < 8:
            fail(f"a hung agent: {code} {err!r} after {took:.1f} s")
        agent.stop()

        # Resumed before its quarter, an agent chimes it; `chime` plays now, also while paused.
        sounding = os.path.join(session.root, "resumed.wav")
        agent, quarter = start_agent(session, sounding, 20)
        run(session, "pause")
        if properties(session)["State"] != "suspended":
            fail("pause without a duration is not the suspension")
        code, out, _, _ = run(session, "resume")
        if code != 0 or not out.startswith("Chiming. Next chime at "):
            fail(f"resume: {code} {out!r}")
        code, out, _, _ = run(session, "next")
        if code != 0 or not out.startswith("Next: "):
            fail(f"next: {code} {out!r}")
        session.wait_until(lambda: heard(sounding), timeout=max(1, quarter + 10 - time.time()),
                           what="the quarter after resume")
        agent.stop()

        rung = os.path.join(session.root, "rung.wav")
        agent, _ = start_agent(session, rung, 600)
        run(session, "pause", "2h30m")
        if run(session, "chime")[0] != 0:
            fail("chime failed")
        session.wait_until(lambda: heard(rung), timeout=10, what="the chime asked for")
        agent.stop()
    print("ok")


if __name__ == "__main__":
    main()
