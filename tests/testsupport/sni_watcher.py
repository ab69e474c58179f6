#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The Pealix developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""A panel's StatusNotifierWatcher with a host, on the session bus of the environment, for scripts that
read what a tray icon shows. Prints "ready", then each registered item as "<bus name> <object path>"."""

import sys

from gi.repository import Gio, GLib

WATCHER = "org.kde.StatusNotifierWatcher"
XML = f"""<node>
  <interface name="{WATCHER}">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>"""
items = []


def on_call(connection, sender, path, interface, method, parameters, invocation):
    if method == "RegisterStatusNotifierItem":
        service = parameters.unpack()[0]
        # An item may name itself by object path only; its bus name is then the caller's.
        name, item_path = (sender, service) if service.startswith("/") else (service, "/StatusNotifierItem")
        if name + item_path not in items:
            items.append(name + item_path)
            print(name, item_path, flush=True)
            connection.emit_signal(None, path, WATCHER, "StatusNotifierItemRegistered",
                                   GLib.Variant("(s)", (name + item_path,)))
    elif method == "RegisterStatusNotifierHost":
        connection.emit_signal(None, path, WATCHER, "StatusNotifierHostRegistered", None)
    invocation.return_value(None)


def on_get(connection, sender, path, interface, name):
    return {"RegisteredStatusNotifierItems": GLib.Variant("as", items),
            "IsStatusNotifierHostRegistered": GLib.Variant("b", True),
            "ProtocolVersion": GLib.Variant("i", 0)}[name]


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    info = Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0]
    bus.register_object("/StatusNotifierWatcher", info, on_call, on_get, None)
    loop = GLib.MainLoop()

    def acquired(*_):
        print("ready", flush=True)
        bus.emit_signal(None, "/StatusNotifierWatcher", WATCHER, "StatusNotifierHostRegistered", None)

    Gio.bus_own_name_on_connection(bus, WATCHER, Gio.BusNameOwnerFlags.NONE, acquired, lambda *_: loop.quit())
    loop.run()


if __name__ == "__main__":
    sys.exit(main())
