#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""What a newcomer meets in the window, under Xvfb with a window manager and the accessibility bus.

  newcomer_end_to_end.py BUILD_DIR SOURCE_DIR

The staged window's identity as the task bar reads it (WM_CLASS against the desktop entry's StartupWMClass,
the bell as _NET_WM_ICON), F1 for help, the update answer transient for the window and carrying the bell,
the chooser of installed applications driven by its accessible names, and Ctrl+W and Ctrl+Q.
"""

import os
import plistlib
import re
import struct
import subprocess
import sys
import time
import zlib

sys.path.insert(0, os.path.join(sys.argv[2], "tools"))
import pealix_desktop as desk  # noqa: E402

APP_ID = "com.quorlenvik.Pealix"


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def png_rgba(path):
    """The pixels of an 8-bit RGBA PNG as rows of (r, g, b, a)."""
    with open(path, "rb") as stream:
        data = stream.read()
    position, idat, header = 8, b"", None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        position += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour != 6 or interlace:
        raise ValueError(f"{path}: not a plain RGBA image")
    raw, stride, rows, previous = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - 4] if x >= 4 else 0
            b = previous[x]
            c = previous[x - 4] if x >= 4 else 0
            if kind == 1:
                line[x] = (line[x] + a) & 0xff
            elif kind == 2:
                line[x] = (line[x] + b) & 0xff
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 0xff
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xff
        rows.append([tuple(line[i:i + 4]) for i in range(0, stride, 4)])
        previous = line
    return rows


def xprop(session, window, *names):
    return subprocess.run(["xprop", "-id", str(window), *names], env=session.env, capture_output=True,
                          text=True, timeout=10).stdout


def window_icons(session, window):
    """_NET_WM_ICON as {size: rows of (r, g, b, a)}."""
    text = xprop(session, window, "-notype", "32c", "_NET_WM_ICON")
    numbers = [int(n) for n in re.findall(r"\d+", text.split("=", 1)[1])] if "=" in text else []
    icons, index = {}, 0
    while index + 2 <= len(numbers):
        width, height = numbers[index], numbers[index + 1]
        pixels = numbers[index + 2:index + 2 + width * height]
        rows = [[((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff, p >> 24) for p in pixels[y * width:(y + 1) * width]]
                for y in range(height)]
        icons[width] = rows
        index += 2 + width * height
    return icons


def same_image(a, b):
    """Equal but for rounding; fully transparent pixels compare by alpha alone."""
    if len(a) != len(b) or any(len(r) != len(s) for r, s in zip(a, b)):
        return False
    for row_a, row_b in zip(a, b):
        for pa, pb in zip(row_a, row_b):
            if abs(pa[3] - pb[3]) > 2 or (pa[3] and any(abs(x - y) > 3 for x, y in zip(pa[:3], pb[:3]))):
                return False
    return True


def windows(session, *criteria):
    result = subprocess.run(["xdotool", "search", *criteria], env=session.env, capture_output=True, text=True,
                            timeout=10)
    return [int(line) for line in result.stdout.split()]


def wait_for_window(session, *criteria, timeout=15.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = windows(session, "--onlyvisible", *criteria)
        if found:
            return found[-1]
        time.sleep(0.1)
    raise TimeoutError(f"no window {criteria}")


def keys(session, window, *sequence):
    """Typed as a person would, into the window once it is the active one."""
    def active():
        subprocess.run(["xdotool", "windowactivate", str(window)], env=session.env, timeout=10,
                       capture_output=True)
        return subprocess.run(["xdotool", "getactivewindow"], env=session.env, capture_output=True, text=True,
                              timeout=10).stdout.strip() == str(window)
    session.wait_until(active, timeout=10, what=f"window {window} to be active")
    time.sleep(0.3)
    subprocess.run(["xdotool", "key", *sequence], env=session.env, timeout=10, check=True)


def check_identity(session, window, bell, what):
    wm_class = re.findall(r'"([^"]*)"', xprop(session, window, "WM_CLASS"))
    if len(wm_class) != 2 or wm_class[1] != "Pealix":
        fail(f"{what}: WM_CLASS {wm_class}")
    icons = window_icons(session, window)
    if 48 not in icons or not same_image(icons[48], bell):
        fail(f"{what}: _NET_WM_ICON has no 48 px bell (sizes {sorted(icons)})")


def chooser_names(app):
    """The names the chooser's list offers, or None while it is not there (or going)."""
    import pyatspi
    try:
        listing = desk.find_control(app, "Applications", timeout=1)
        names = []
        for index in range(listing.childCount):
            child = listing.getChildAtIndex(index)
            if child is not None and child.getRole() == pyatspi.ROLE_LIST_ITEM:
                names.append(child.name)
        return names
    except Exception:
        return None


def main():
    # The window stops every agent of the user when chimes are off, also those of tests running beside it.
    desk.private_pids()
    build = sys.argv[1]
    stage = os.path.join(build, "stage")
    bell = png_rgba(os.path.join(stage, f"share/icons/hicolor/48x48/apps/{APP_ID}.png"))
    with open(os.path.join(stage, f"share/applications/{APP_ID}.desktop")) as entry:
        startup_class = re.search(r"^StartupWMClass=(.*)$", entry.read(), re.M).group(1)
    if startup_class != "Pealix":
        fail(f"StartupWMClass={startup_class}")

    with desk.Session(accessibility=True) as session:
        # Applications to choose from, in a data folder of their own: file names in the other order from names.
        system = os.path.join(session.root, "system-data")
        applications = os.path.join(system, "applications")
        os.makedirs(applications)
        for name, text in (("zz-first.desktop", "Name=Alpha Tool\nExec=sleep 1\n"),
                           ("aa-last.desktop", "Name=Zeta Tool\nExec=sleep 1\n"),
                           ("mm-hidden.desktop", "Name=Hidden Tool\nExec=sleep 1\nNoDisplay=true\n")):
            with open(os.path.join(applications, name), "w") as stream:
                stream.write("[Desktop Entry]\nType=Application\n" + text)
        session.start(["openbox", "--sm-disable"])
        session.wait_until(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in subprocess.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=session.env, capture_output=True,
            text=True).stdout, what="the window manager")

        host = session.start([os.path.join(stage, "bin/pealix-preferences")], "pealix.panehost.debug=true",
                             {"XDG_DATA_DIRS": system})
        host.wait_for("first frame shown", timeout=20)
        window = wait_for_window(session, "--pid", str(host.process.pid), "--name", "Pealix")
        check_identity(session, window, bell, "the preferences window")

        # F1 opens the help, Escape closes it.
        keys(session, window, "F1")
        helpwindow = wait_for_window(session, "--name", "^Pealix Help$")
        keys(session, helpwindow, "Escape")
        session.wait_until(lambda: not windows(session, "--onlyvisible", "--name", "^Pealix Help$"), timeout=5,
                           what="the help to close")

        app = desk.find_application("Pealix", timeout=20, pid=host.process.pid)

        # Check for Updates with chimes off: the update-only agent answers, transient for the window.
        desk.press(desk.find_control(app, "Check for updates"))
        answer = wait_for_window(session, "--name", "^Pealix Updates$", timeout=20)
        transient = re.findall(r"0x[0-9a-f]+", xprop(session, answer, "WM_TRANSIENT_FOR"))
        if [int(t, 16) for t in transient] != [window]:
            fail(f"the update answer is transient for {transient}, not {hex(window)}")
        check_identity(session, answer, bell, "the update answer")
        agents = session.processes("PealixTool")
        keys(session, answer, "Return")
        session.wait_until(lambda: not [p for p in agents if p in session.processes("PealixTool")], timeout=10,
                           what="the update-only agent to end")

        # The chooser: the shown applications by name, filtered as one types; Add excludes the one chosen.
        desk.press(desk.find_control(app, "Add application…"))
        session.wait_until(lambda: chooser_names(app) == ["Alpha Tool", "Zeta Tool"], timeout=10,
                           what="the chooser's list (last: %s)" % chooser_names(app))
        desk.find_control(app, "Search applications").queryEditableText().setTextContents("zet")
        session.wait_until(lambda: chooser_names(app) == ["Zeta Tool"], timeout=5, what="the filtered list")
        desk.press(desk.find_control(app, "Add"))
        session.wait_until(lambda: os.path.exists(session.settings_path()) and plistlib.load(
            open(session.settings_path(), "rb")).get("com.quorlenvik.pealix.excluded"), timeout=5,
            what="the excluded application to be saved")
        excluded = plistlib.load(open(session.settings_path(), "rb"))["com.quorlenvik.pealix.excluded"]
        if [record.get("CFBundleIdentifier") for record in excluded] != ["aa-last"]:
            fail(f"excluded after Add: {excluded}")
        # Listed now, so not offered again; "Other…" leads to the open panel.
        desk.press(desk.find_control(app, "Add application…"))
        session.wait_until(lambda: chooser_names(app) == ["Alpha Tool"], timeout=10, what="the chooser again")
        desk.press(desk.find_control(app, "Other…"))
        panel = wait_for_window(session, "--name", "^Choose an Application$")
        keys(session, panel, "Escape")

        # Ctrl+W closes the window, and with it the host; Ctrl+Q quits a new one.
        keys(session, window, "ctrl+w")
        session.wait_until(lambda: host.process.poll() is not None, timeout=10, what="the host to end on Ctrl+W")
        host = session.start([os.path.join(stage, "bin/pealix-preferences")], "pealix.panehost.debug=true")
        host.wait_for("first frame shown", timeout=20)
        keys(session, wait_for_window(session, "--pid", str(host.process.pid), "--name", "Pealix"), "ctrl+q")
        session.wait_until(lambda: host.process.poll() is not None, timeout=10, what="the host to end on Ctrl+Q")
    print("ok")


if __name__ == "__main__":
    main()
