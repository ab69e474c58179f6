#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Every text a person reads is marked for translation: under a pseudo-language whose translation wraps each
source text in brackets, no bare text may show.

  pseudo_locale_end_to_end.py BUILD_DIR SOURCE_DIR LUPDATE LRELEASE LCONVERT

lupdate collects the marked texts of the sources as they are now; each becomes "[text]" in pealix_xx.qm, and
each of Qt's own texts likewise in qtbase_xx.qm, in a folder given to the programs as PEALIX_TRANSLATIONS_DIR
under LANG=xx_XX. Under Xvfb on the accessibility bus the staged preferences window is read whole (every page,
hidden ones too, the help, the application chooser, the question before uninstalling and the update answer),
and through a panel's watcher the agent's tray menu and tool tip.
What is left of a text once its bracketed parts are taken out may hold only the product's name, numbers and
the locale's day names. First, the command and the agent started by a bare name find the real German
translation of the stage.
"""

import os
import plistlib
import re
import select
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.join(sys.argv[2], "tools"))
import pealix_desktop as desk  # noqa: E402

BUILD, SOURCE, LUPDATE, LRELEASE, LCONVERT = sys.argv[1:6]
STAGE = os.path.abspath(os.path.join(BUILD, "stage"))
# What the locale itself writes (the C locale's, which the unknown language xx falls back to), and the name.
ALLOWED = {"Pealix", "AM", "PM"} | {d + s for d in ("Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun")
                                     for s in ("", "day")} | {"Tuesday", "Wednesday", "Thursday", "Saturday"}


def fail(message):
    print("FAIL:", message)
    sys.exit(1)


def bracket_ts(path):
    tree = ET.parse(path)
    for message in tree.getroot().iter("message"):
        source = message.find("source").text or ""
        translation = message.find("translation")
        translation.attrib.pop("type", None)
        for child in list(translation):
            translation.remove(child)
        if message.get("numerus") == "yes":
            translation.text = None
            for _ in range(2):
                ET.SubElement(translation, "numerusform").text = f"[{source}]"
        else:
            translation.text = f"[{source}]"
    # Two plural forms, as English has.
    tree.getroot().set("language", "en")
    tree.write(path, encoding="utf-8", xml_declaration=True)


def pseudo_translations(folder):
    ts = os.path.join(folder, "pealix_xx.ts")
    subprocess.run([LUPDATE, "-silent", "-locations", "none",
                    "@" + os.path.join(BUILD, "resources/translations/sources.lst"), "-ts", ts], check=True)
    bracket_ts(ts)
    subprocess.run([LRELEASE, "-silent", ts, "-qm", os.path.join(folder, "pealix_xx.qm")], check=True)
    # Qt's own texts (the buttons of its dialogs, its accessible names) from one of its translations.
    qt = "/usr/share/qt6/translations/qtbase_de.qm"
    if os.path.exists(qt):
        qt_ts = os.path.join(folder, "qtbase_xx.ts")
        subprocess.run([LCONVERT, "-i", qt, "-o", qt_ts], check=True)
        bracket_ts(qt_ts)
        subprocess.run([LRELEASE, "-silent", qt_ts, "-qm", os.path.join(folder, "qtbase_xx.qm")], check=True)


def bare(text):
    """What of the text is not translated: outside every bracket, beyond numbers and the locale's words."""
    previous = None
    while previous != text:
        previous, text = text, re.sub(r"\[[^\[\]]*\]", " ", text)
    return [w for w in re.findall(r"[^\W\d_]+", text) if w not in ALLOWED]


def accessible_texts(root):
    import pyatspi
    found, stack = [], [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        role = node.getRoleName()
        for kind, text in (("name", node.name), ("description", node.description)):
            # The application's description is the path of its program.
            if text and not (node.getRole() == pyatspi.ROLE_APPLICATION and kind == "description"):
                found.append((f"{role} {kind}", text))
        if node.getRole() in (pyatspi.ROLE_LABEL, pyatspi.ROLE_TEXT):
            try:
                content = node.queryText()
                found.append((f"{role} text", content.getText(0, content.characterCount)))
            except NotImplementedError:
                pass
        # The chooser lists the names the installed applications give themselves.
        if node.name != "[Applications]":
            stack.extend(node.getChildAtIndex(i) for i in range(node.childCount))
    return found


def menu_labels(session, item):
    from gi.repository import Gio, GLib
    bus = Gio.DBusConnection.new_for_address_sync(
        session.env["DBUS_SESSION_BUS_ADDRESS"],
        Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
    name, path = item

    def get(prop):
        return bus.call_sync(name, path, "org.freedesktop.DBus.Properties", "Get",
                             GLib.Variant("(ss)", ("org.kde.StatusNotifierItem", prop)), None, 0, 5000,
                             None).unpack()[0]

    texts = [("tool tip", get("ToolTip")[2]), ("tool tip", get("ToolTip")[3])]
    layout = bus.call_sync(name, get("Menu"), "com.canonical.dbusmenu", "GetLayout",
                           GLib.Variant("(iias)", (0, -1, [])), None, 0, 5000, None).unpack()[1]
    stack = [layout]
    while stack:
        _, properties, children = stack.pop()
        if properties.get("label"):
            texts.append(("menu item", properties["label"].replace("_", "")))
        stack.extend(children)
    return texts


def read_line(stream, timeout=15):
    ready, _, _ = select.select([stream], [], [], timeout)
    return stream.readline() if ready else ""


def check(texts, where):
    untranslated = sorted({f"{kind}: {text!r}" for kind, text in texts if bare(text)})
    if untranslated:
        fail(f"{where} shows texts not marked for translation:\n  " + "\n  ".join(untranslated))
    return len(texts)


def installed_catalogue_is_found():
    """The installed German translation, from wherever a program is started and whatever its argv[0]."""
    translations = ET.parse(os.path.join(SOURCE, "resources/translations/pealix_de.ts")).getroot()

    def german(context, start):
        for message in translations.iter("context"):
            if message.find("name").text == context:
                for m in message.iter("message"):
                    if m.find("source").text.startswith(start):
                        return m.find("translation").text
        fail(f"no German text in {context} starting {start!r}")

    env = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "LANGUAGE", "PEALIX_"))}
    env.update(LANG="de_DE.UTF-8", PATH=os.path.join(STAGE, "bin") + ":" + env.get("PATH", ""))
    agent = next(os.path.join(d, "PealixTool") for d, _, files in os.walk(STAGE)
                 if "PealixTool" in files and d.endswith("/Linux"))
    for argv, executable, context, start in ((["pealix", "--help"], None, "pealix", "Usage: pealix"),
                                             (["PealixTool", "--help"], agent, "PealixTool", "Usage: PealixTool")):
        out = subprocess.run(argv, executable=executable, env=env, cwd="/", capture_output=True, text=True,
                             timeout=10).stdout
        if out != german(context, start):
            fail(f"{argv[0]} --help under LANG=de_DE.UTF-8 says {out!r}")


def main():
    desk.private_pids()
    installed_catalogue_is_found()
    folder = tempfile.mkdtemp(prefix="pealix-pseudo-")
    try:
        pseudo_translations(folder)
        with desk.Session(accessibility=True) as session:
            for name in ("LC_ALL", "LC_MESSAGES", "LANGUAGE"):
                session.env.pop(name, None)
            session.env.update(LANG="xx_XX.UTF-8", PEALIX_TRANSLATIONS_DIR=folder)
            settings = os.path.join(session.home, ".config/pealix/com.quorlenvik.pealix.plist")
            os.makedirs(os.path.dirname(settings))
            with open(settings, "wb") as stream:
                plistlib.dump({"com.quorlenvik.pealix.pealixMenuActive": True}, stream)

            host = session.start([os.path.join(STAGE, "bin/pealix-preferences")])
            app = desk.find_application("Pealix", timeout=20, pid=host.process.pid)
            desk.find_control(app, "[Chimes on]", timeout=20)
            count = check(accessible_texts(app), "the preferences window")
            desk.press(desk.find_control(app, "[Help]"))
            desk.press(desk.find_control(app, "[Close help]"))
            count += check(accessible_texts(app), "the help window")
            desk.press(desk.find_control(app, "[Add application…]"))
            desk.find_control(app, "[Search applications]")
            count += check(accessible_texts(app), "the application chooser")
            desk.press(desk.find_control(app, "[Cancel]"))
            # The alerts: the question before uninstalling, and the update answer of the agent it starts.
            desk.press(desk.find_control(app, "[Uninstall…]"))
            answer = desk.find_control(app, "[No, just checking]")
            count += check(accessible_texts(app), "the uninstall alert")
            desk.press(answer)
            desk.press(desk.find_control(app, "[Check for updates]"))
            session.wait_until(lambda: session.processes("PealixTool"), timeout=10, what="the update check")
            updater = desk.find_application("Pealix", timeout=20, pid=session.processes("PealixTool")[0])
            desk.find_control(updater, "[This copy of Pealix is updated by the program that installed it.]", 20)
            count += check(accessible_texts(updater), "the update answer")
            desk.press(desk.find_control(updater, "[OK]"))
            session.wait_until(lambda: not session.processes("PealixTool"), timeout=10, what="the update check to end")

            watcher = subprocess.Popen(["/usr/bin/python3", os.path.join(SOURCE, "tests/testsupport/sni_watcher.py")],
                                       env=session.env, stdout=subprocess.PIPE, text=True)
            try:
                if read_line(watcher.stdout).strip() != "ready":
                    fail("the panel's watcher did not start")
                agent = session.start([next(os.path.join(d, "PealixTool") for d, _, files in os.walk(STAGE)
                                            if "PealixTool" in files and d.endswith("/Linux"))])
                item = read_line(watcher.stdout, 20).split()
                if len(item) != 2:
                    fail("the agent's icon did not register; it said: "
                         + "\n".join(t for _, t in agent.lines()[-10:]))
                menu = menu_labels(session, item)
                if not any(text.startswith("[Suspend chimes") for _, text in menu):
                    fail(f"the tray menu is not the agent's: {menu}")
                count += check(menu, "the tray menu and tool tip")
            finally:
                watcher.terminate()
                watcher.wait(5)
        print(f"ok: {count} texts read, each marked")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
