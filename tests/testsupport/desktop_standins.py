#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""Desktop services on a test's bus, driven by lines on standard input.

    desktop_standins.py ADDRESS notifications|login1|screensaver|xfconf

prints "ready" once it owns its name. Commands: "set 1" / "set 0" (the watched boolean), "flap N V"
(N changes, ending on V), "wrongtype" (the value becomes a string), "mute" (calls are never answered),
"quit".
"""

import sys

import dbus
import dbus.bus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PROPS = "org.freedesktop.DBus.Properties"
SESSION_PATH = "/org/freedesktop/login1/session/c7"


class Standin(dbus.service.Object):
    """One boolean published the way the service publishes it."""

    def __init__(self, bus, path):
        super().__init__(bus, path)
        self.value = dbus.Boolean(False)
        self.muted = False

    def announce(self):
        raise NotImplementedError

    def reply(self, ok, value):
        if not self.muted:
            ok(value)


class Notifications(Standin):
    def __init__(self, bus):
        super().__init__(bus, "/org/freedesktop/Notifications")

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v", async_callbacks=("ok", "err"))
    def Get(self, interface, name, ok, err):
        if interface == "org.freedesktop.Notifications" and name == "Inhibited":
            self.reply(ok, self.value)
        else:
            err(dbus.exceptions.DBusException("no such property", name="org.freedesktop.DBus.Error.UnknownProperty"))

    @dbus.service.signal(PROPS, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    def announce(self):
        self.PropertiesChanged("org.freedesktop.Notifications", {"Inhibited": self.value}, [])


class Session(Standin):
    def __init__(self, bus):
        super().__init__(bus, SESSION_PATH)

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v", async_callbacks=("ok", "err"))
    def Get(self, interface, name, ok, err):
        self.reply(ok, self.value)

    @dbus.service.signal(PROPS, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    def announce(self):
        self.PropertiesChanged("org.freedesktop.login1.Session", {"LockedHint": self.value}, [])


class Manager(dbus.service.Object):
    @dbus.service.method("org.freedesktop.login1.Manager", in_signature="s", out_signature="o")
    def GetSession(self, session_id):
        return dbus.ObjectPath(SESSION_PATH)


class ScreenSaver(Standin):
    def __init__(self, bus):
        super().__init__(bus, "/org/freedesktop/ScreenSaver")

    @dbus.service.method("org.freedesktop.ScreenSaver", out_signature="b", async_callbacks=("ok", "err"))
    def GetActive(self, ok, err):
        self.reply(ok, self.value)

    @dbus.service.signal("org.freedesktop.ScreenSaver", signature="b")
    def ActiveChanged(self, active):
        pass

    def announce(self):
        self.ActiveChanged(self.value)


class Xfconf(Standin):
    def __init__(self, bus):
        super().__init__(bus, "/org/xfce/Xfconf")

    @dbus.service.method("org.xfce.Xfconf", in_signature="ss", out_signature="v", async_callbacks=("ok", "err"))
    def GetProperty(self, channel, prop, ok, err):
        self.reply(ok, self.value)

    @dbus.service.signal("org.xfce.Xfconf", signature="ssv")
    def PropertyChanged(self, channel, prop, value):
        pass

    def announce(self):
        self.PropertyChanged("xfce4-notifyd", "/do-not-disturb", self.value)


def main():
    address, kind = sys.argv[1], sys.argv[2]
    DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(address)
    names = {"notifications": "org.freedesktop.Notifications", "login1": "org.freedesktop.login1",
             "screensaver": "org.freedesktop.ScreenSaver", "xfconf": "org.xfce.Xfconf"}
    keep = [dbus.service.BusName(names[kind], bus)]
    if kind == "notifications":
        obj = Notifications(bus)
    elif kind == "login1":
        keep.append(Manager(bus, "/org/freedesktop/login1"))
        obj = Session(bus)
    elif kind == "screensaver":
        obj = ScreenSaver(bus)
    else:
        obj = Xfconf(bus)
    loop = GLib.MainLoop()

    def command(source, condition):
        line = sys.stdin.readline()
        words = line.split()
        if not line or words[:1] == ["quit"]:
            loop.quit()
            return False
        if words[0] == "set":
            obj.value = dbus.Boolean(words[1] == "1")
            obj.announce()
        elif words[0] == "flap":
            count, last = int(words[1]), words[2] == "1"
            for i in range(count):
                obj.value = dbus.Boolean(last if (count - 1 - i) % 2 == 0 else not last)
                obj.announce()
        elif words[0] == "wrongtype":
            obj.value = dbus.String("yes")
            obj.announce()
        elif words[0] == "mute":
            obj.muted = True
        print("done", flush=True)
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, command)
    print("ready", flush=True)
    loop.run()
    del keep


if __name__ == "__main__":
    main()
