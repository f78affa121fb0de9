#include "platform/x11/X11Platform.h"

#include "platform/x11/X11Display.h"

bool CanOpenDisplay() {
    const X11Display display;
    return static_cast<bool>(display);
}
