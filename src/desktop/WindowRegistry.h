#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "desktop/RecentKeys.h"
#include "platform/Geometry.h"
#include "protocol/CommandParts.h"

class CModalNesting;
class IAnsiCodePage;
class IClock;
class IDeviceLink;
class IMainWindow;
class IWindowSystem;

// The desktop's application windows as the device sees them: the registry of listed windows
// under their keys with their processes' programs, the list and icons sent to the device,
// and the switching, launching and closing it asks for.
class CWindowRegistry : public IWindowCommands {
public:
    CWindowRegistry(IWindowSystem& windows, const IAnsiCodePage& codePage, IClock& clock,
                    IMainWindow& mainWindow, IDeviceLink& link, CModalNesting& modals);

    bool SendWindowList(bool onlyIfChanged) override;
    void SendWindowIcon(const std::string& windowKey) override;
    void ActivateApplication(const std::string& windowKey) override;
    void CloseApplication(const std::string& windowKey) override;

    // Rebuilds the registry from the desktop's top-level windows; true when the number of
    // listed windows changed.
    bool Refresh();
    // Keyed by window key in byte-wise order, the order of the list.
    const std::map<std::string, WindowHandle>& Windows() const { return m_windowHandle; }
    // The program of a listed window's process; empty when unknown.
    std::string ImagePathOf(const std::string& windowKey) const;

private:
    void Collect(WindowHandle window);
    std::string FreeKey(WindowHandle window, const std::string& title) const;
    void RecordImagePath(uint32_t processId);

    IWindowSystem& m_windows;
    const IAnsiCodePage& m_codePage;
    IClock& m_clock;
    IMainWindow& m_mainWindow;
    IDeviceLink& m_link;
    CModalNesting& m_modals;
    std::map<std::string, uint32_t> m_windowProcess;
    std::map<std::string, WindowHandle> m_windowHandle;
    std::map<uint32_t, std::string> m_processImage;
    CRecentKeys m_sentKeys;
    WindowHandle m_pendingForeground = 0;
    uint32_t m_lastListTick = 0x80000000u;
};
