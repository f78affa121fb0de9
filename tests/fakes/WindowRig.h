#pragma once
#include <string>

#include "desktop/WindowRegistry.h"
#include "fakes/FakeAnsiCodePage.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeDeviceLink.h"
#include "fakes/FakeMainWindow.h"
#include "fakes/FakeWindowSystem.h"
#include "protocol/ModalNesting.h"

// The window registry on a fake desktop, its link to a connected device recording each send.
struct WindowRig {
    // Everything the device received since the last call.
    std::string Received() { return link.Received(); }
    size_t SendCalls() const { return link.sends.size(); }

    FakeWindowSystem windows;
    FakeAnsiCodePage codePage;
    FakeClock clock;
    FakeMainWindow window{0x900};
    FakeDeviceLink link;
    CModalNesting modals;
    CWindowRegistry registry{windows, codePage, clock, window, link, modals};
};

// The key of a title, as the device sees it.
inline std::string KeyOf(const std::string& title) {
    std::string key = "-1|-2";
    for (unsigned char c : title) key += "|" + std::to_string(c) + "|0";
    return key;
}
