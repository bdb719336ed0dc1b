#!/usr/bin/python3
"""A StatusNotifierWatcher with a host, the part of a desktop panel that tray
items talk to, on the session bus. Prints "watching" once it has its name,
then the bus name of each item that registers, one a line. Qt reads the
watcher's properties through introspection, so that lists them."""
import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

IFACE = "org.kde.StatusNotifierWatcher"


class Watcher(dbus.service.Object):
    @dbus.service.method(IFACE, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender):
        print(service if service.startswith(":") else sender, flush=True)

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return {"IsStatusNotifierHostRegistered": True}[name]

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature="s",
                         path_keyword="path", connection_keyword="connection")
    def Introspect(self, path, connection):
        return super().Introspect(path, connection).replace(
            f'<interface name="{IFACE}">', f'<interface name="{IFACE}">\n'
            '<property name="IsStatusNotifierHostRegistered" type="b" access="read"/>', 1)


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
watcher = Watcher(bus, "/StatusNotifierWatcher")
name = dbus.service.BusName(IFACE, bus)
print("watching", flush=True)
GLib.MainLoop().run()
