#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""An update as a user installs it: through the updater's window, under Xvfb with the accessibility bus.

  updater_end_to_end.py BUILD_DIR SOURCE_DIR

Installs the build into a temporary prefix, made to look one version older and pointed at a loopback
feed that tools/make-update published from the same build with a fresh key. The agent in update-only
mode offers the update; pressing "Install Update" puts the build's version in place, the agent quits by
itself, and the installed agent runs.
"""

import functools
import http.server
import os
import plistlib
import shutil
import subprocess
import sys
import tempfile
import threading

sys.path.insert(0, os.path.join(sys.argv[2], "tools"))
import pealix_desktop as desk  # noqa: E402

PANE = "lib/PreferencePanes/Pealix.prefPane"
AGENT = PANE + "/Contents/Resources/PealixTool.app"


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def edit_plist(path, **changes):
    with open(path, "rb") as stream:
        info = plistlib.load(stream)
    before = dict(info)
    info.update(changes)
    with open(path, "wb") as stream:
        plistlib.dump(info, stream)
    return before


def main():
    build, source = sys.argv[1], sys.argv[2]
    scratch = tempfile.mkdtemp(prefix="pealix-update-e2e-")
    server = None
    try:
        prefix = os.path.join(scratch, "prefix")
        releases = os.path.join(scratch, "www/releases")
        os.makedirs(releases)
        subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
        tool = os.path.join(source, "tools/make-update")
        secret = os.path.join(scratch, "secret")
        public = subprocess.run([tool, "keygen", secret], check=True, capture_output=True,
                                text=True).stdout.strip()
        subprocess.run([tool, build, secret, releases], check=True, stdout=subprocess.DEVNULL)

        handler = functools.partial(QuietHandler, directory=os.path.dirname(releases))
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        feed = f"http://127.0.0.1:{server.server_address[1]}/releases/feed.json"

        # The installed copy becomes the older version that knows where to look.
        current = edit_plist(os.path.join(prefix, PANE, "Contents/Info.plist"),
                             CFBundleShortVersionString="0.0.1")["CFBundleShortVersionString"]
        edit_plist(os.path.join(prefix, AGENT, "Contents/Info.plist"), CFBundleShortVersionString="0.0.1",
                   PealixUpdateFeedURL=feed, PealixUpdatePublicKey=public)

        agent_exe = os.path.join(prefix, AGENT, "Contents/Linux/PealixTool")
        with desk.Session(accessibility=True) as session:
            agent = session.start([agent_exe, "-u"], "pealix.update.debug=true")
            app = desk.find_application("Pealix", timeout=20, pid=agent.process.pid)
            desk.press(desk.find_control(app, "Install Update", timeout=20))
            session.wait_until(lambda: agent.process.poll() is not None, timeout=60,
                               what="the update-only agent to quit")
            if agent.process.returncode != 0:
                fail(f"the agent ended with {agent.process.returncode}: {agent.lines()[-5:]}")
            with open(os.path.join(prefix, PANE, "Contents/Info.plist"), "rb") as stream:
                installed = plistlib.load(stream)["CFBundleShortVersionString"]
            if installed != current:
                fail(f"installed version {installed}, expected {current}")
            answer = subprocess.run([agent_exe, "--version"], capture_output=True, text=True, timeout=20)
            if answer.stdout.strip() != f"PealixTool {current}":
                fail(f"the installed agent answers {answer.stdout!r} {answer.stderr!r}")
    finally:
        if server:
            server.shutdown()
        shutil.rmtree(scratch, ignore_errors=True)
    print("ok")


if __name__ == "__main__":
    main()
