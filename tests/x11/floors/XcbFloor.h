// The start of the floors that ask the X server through XCB.
#pragma once
#include <xcb/xcb.h>

#include <cstdlib>

#include "FloorServer.h"

// Runs the floor with the connection's unasked events taken and dropped, then closes it.
inline int RunXcbFloor(int argc, char** argv, FloorServer& server, xcb_connection_t* connection) {
    static xcb_connection_t* watched = nullptr;
    watched = connection;
    server.Watch(xcb_get_file_descriptor(connection), [] {
        while (xcb_generic_event_t* event = xcb_poll_for_event(watched)) std::free(event);
    });
    const int result = RunFloor(argc, argv, server);
    xcb_disconnect(connection);
    return result;
}
