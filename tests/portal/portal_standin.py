#!/usr/bin/python3
"""A stand-in for the desktop portal's RemoteDesktop interface, on the private bus of a test.

It grants, refuses or closes sessions as told, keeps every call with its arguments and hands
them to the test in order through org.tavrix.PortalStandIn.Calls; stderr gets them too.
Prints "ready" once it owns the portal's name. With --backend it is instead the desktop's
back end (org.freedesktop.impl.portal.RemoteDesktop) behind the real xdg-desktop-portal: it
grants at once, and keeps the calls as the portal's own would have them.
"""
import argparse
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

PORTAL_PATH = "/org/freedesktop/portal/desktop"
NOTIFY = {
    "NotifyPointerMotion": "dd",
    "NotifyPointerMotionAbsolute": "udd",
    "NotifyPointerButton": "iu",
    "NotifyPointerAxis": "dd",
    "NotifyPointerAxisDiscrete": "ui",
    "NotifyKeyboardKeycode": "iu",
    "NotifyKeyboardKeysym": "iu",
}


def method(name, ins, outs=()):
    args = "".join('<arg type="%s" direction="in"/>' % t for t in ins)
    args += "".join('<arg type="%s" direction="out"/>' % t for t in outs)
    return '<method name="%s">%s</method>' % (name, args)


XML = (
    "<node><interface name='org.freedesktop.portal.RemoteDesktop'>"
    "<property name='version' type='u' access='read'/>"
    + method("CreateSession", ["a{sv}"], ["o"])
    + method("SelectDevices", ["o", "a{sv}"], ["o"])
    + method("Start", ["o", "s", "a{sv}"], ["o"])
    + "".join(method(n, ["o", "a{sv}"] + list(t)) for n, t in NOTIFY.items())
    + "</interface><interface name='org.freedesktop.portal.Session'>"
    + method("Close", [])
    + "</interface><interface name='org.tavrix.PortalStandIn'>"
    + method("Calls", [], ["a(sv)"])
    + method("CloseSessions", [])
    + "</interface></node>"
)
NODE = Gio.DBusNodeInfo.new_for_xml(XML)
IMPL = "org.freedesktop.impl.portal."
BACKEND_XML = (
    "<node><interface name='" + IMPL + "RemoteDesktop'>"
    "<property name='version' type='u' access='read'/>"
    "<property name='AvailableDeviceTypes' type='u' access='read'/>"
    + method("CreateSession", ["o", "o", "s", "a{sv}"], ["u", "a{sv}"])
    + method("SelectDevices", ["o", "o", "s", "a{sv}"], ["u", "a{sv}"])
    + method("Start", ["o", "o", "s", "s", "a{sv}"], ["u", "a{sv}"])
    + "".join(method(n, ["o", "a{sv}"] + list(t)) for n, t in NOTIFY.items())
    + "</interface><interface name='" + IMPL + "Session'>"
    + method("Close", []) + "<signal name='Closed'/>"
    + "</interface></node>"
)
BACKEND = Gio.DBusNodeInfo.new_for_xml(BACKEND_XML)


class StandIn:
    def __init__(self, options, connection):
        self.options = options
        self.connection = connection
        self.calls = []
        self.sessions = {}  # path -> registration id
        self.tokens = 0

    def record(self, name, parameters):
        self.calls.append((name, parameters))
        print(name, parameters.print_(True), file=sys.stderr, flush=True)

    def respond(self, sender, options, response, results):
        # Before the reply, as a desktop may: only a caller that subscribed first hears it.
        token = options.get("handle_token", "")
        path = "%s/request/%s/%s" % (PORTAL_PATH, sender, token)
        self.connection.emit_signal(
            None, path, "org.freedesktop.portal.Request", "Response",
            GLib.Variant("(ua{sv})", (response, results)))
        return GLib.Variant("(o)", (path,))

    def portal_call(self, connection, sender, path, interface, name, parameters, invocation):
        if interface == "org.tavrix.PortalStandIn":
            if name == "Calls":
                reply = GLib.Variant("(a(sv))", ([(n, p) for n, p in self.calls],))
            else:
                for session in list(self.sessions):
                    self.close(session, True)
                reply = None
            invocation.return_value(reply)
            return
        self.record(name, parameters)
        caller = sender.lstrip(":").replace(".", "_")
        args = parameters.unpack()
        if name == "CreateSession":
            session = "%s/session/%s/%s" % (PORTAL_PATH, caller, args[0]["session_handle_token"])
            self.sessions[session] = connection.register_object(
                session, NODE.interfaces[1], self.session_call)
            results = {"session_handle": GLib.Variant("s", session)}
            invocation.return_value(self.respond(caller, args[0], 0, results))
        elif name == "SelectDevices":
            invocation.return_value(self.respond(caller, args[1], 0, {}))
        elif name == "Start":
            if self.options.refuse:
                invocation.return_value(self.respond(caller, args[2], 1, {}))
                return
            results = {"devices": GLib.Variant("u", self.options.devices)}
            if self.options.version >= 2:
                self.tokens += 1
                results["restore_token"] = GLib.Variant("s", "restore-%d" % self.tokens)
            invocation.return_value(self.respond(caller, args[2], 0, results))
        elif name == "NotifyPointerAxisDiscrete" and self.options.no_discrete:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.NotSupported", "no")
        else:
            invocation.return_value(None)

    def session_call(self, connection, sender, path, interface, name, parameters, invocation):
        self.record(name, GLib.Variant("(o)", (path,)))
        self.close(path, False)
        invocation.return_value(None)

    def close(self, session, signal):
        self.connection.unregister_object(self.sessions.pop(session))
        if signal:
            self.connection.emit_signal(None, session, "org.freedesktop.portal.Session",
                                        "Closed", GLib.Variant("(a{sv})", ({},)))

    def get_property(self, connection, sender, path, interface, name):
        return GLib.Variant("u", self.options.version)

    def backend_call(self, connection, sender, path, interface, name, parameters, invocation):
        if interface == "org.tavrix.PortalStandIn":
            self.portal_call(connection, sender, path, interface, name, parameters, invocation)
            return
        args = parameters.unpack()
        results = {}

        def kept(*indices):
            # As the portal's own methods take them: the session, then what the caller said.
            return GLib.Variant.new_tuple(*(parameters.get_child_value(i) for i in indices))
        if name == "CreateSession":
            self.record(name, kept(3))
            self.sessions[args[1]] = connection.register_object(
                args[1], BACKEND.interfaces[1], self.session_call)
        elif name == "SelectDevices":
            self.record(name, kept(1, 3))
        elif name == "Start":
            self.record(name, kept(1, 3, 4))
            results["devices"] = GLib.Variant("u", self.options.devices)
        else:
            self.record(name, parameters)
            invocation.return_value(None)
            return
        invocation.return_value(GLib.Variant("(ua{sv})", (0, results)))

    def get_backend_property(self, connection, sender, path, interface, name):
        return GLib.Variant("u", self.options.version if name == "version" else 3)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", required=True)
    parser.add_argument("--version", type=int, default=2)
    parser.add_argument("--devices", type=int, default=3)
    parser.add_argument("--refuse", action="store_true")
    parser.add_argument("--no-discrete", action="store_true")
    parser.add_argument("--backend", action="store_true")
    options = parser.parse_args()
    flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
             | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
    connection = Gio.DBusConnection.new_for_address_sync(options.address, flags, None, None)
    stand_in = StandIn(options, connection)
    if options.backend:
        name = "org.freedesktop.impl.portal.desktop.tavrix"
        connection.register_object(PORTAL_PATH, BACKEND.interfaces[0], stand_in.backend_call,
                                   stand_in.get_backend_property, None)
        connection.register_object(PORTAL_PATH, NODE.interfaces[2], stand_in.backend_call)
    else:
        name = "org.freedesktop.portal.Desktop"
        connection.register_object(PORTAL_PATH, NODE.interfaces[0], stand_in.portal_call,
                                   stand_in.get_property, None)
        connection.register_object(PORTAL_PATH, NODE.interfaces[2], stand_in.portal_call)
    loop = GLib.MainLoop()
    connection.connect("closed", lambda *_: loop.quit())
    reply = connection.call_sync(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        GLib.Variant("(su)", (name, 4)), None,
        Gio.DBusCallFlags.NONE, 5000, None)
    if reply.unpack()[0] != 1:
        sys.exit("the portal's name is taken")
    print("ready", flush=True)
    loop.run()


if __name__ == "__main__":
    main()
