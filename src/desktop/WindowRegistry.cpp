// The window registry: which top-level windows the device sees, under which keys.
#include "desktop/WindowRegistry.h"

#include <utility>

#include "platform/WindowSystem.h"
#include "protocol/TextFieldCodec.h"

namespace {

constexpr char kProgramManager[] = "Program Manager";

bool Listable(IWindowSystem& windows, WindowHandle window, std::string* title) {
    if (windows.GetParent(window) != 0) return false;  // an owned pop-up
    if (!windows.IsWindowVisible(window)) return false;
    *title = windows.GetWindowTextA(window);
    return !title->empty() && *title != kProgramManager;
}

}  // namespace

CWindowRegistry::CWindowRegistry(IWindowSystem& windows, const IAnsiCodePage& codePage,
                                 IClock& clock, IMainWindow& mainWindow, IDeviceLink& link,
                                 CModalNesting& modals)
    : m_windows(windows),
      m_codePage(codePage),
      m_clock(clock),
      m_mainWindow(mainWindow),
      m_link(link),
      m_modals(modals) {}

// The first window of a title gets the plain title, later ones " (2)", " (3)" and so on.
// Empty when the window is left out.
std::string CWindowRegistry::FreeKey(WindowHandle window, const std::string& title) const {
    std::string key = EncodeTextField(title.c_str(), m_codePage);
    for (int n = 2; m_windowHandle.count(key) != 0; ++n) {
        if (!m_windows.HasChildWindow(window)) return {};
        // A title too long to encode, with or without its number, never yields a free key.
        if (key == EncodeTextField("", m_codePage)) return {};
        key = EncodeTextField((title + " (" + std::to_string(n) + ")").c_str(), m_codePage);
    }
    return key;
}

void CWindowRegistry::RecordImagePath(uint32_t processId) {
    if (m_processImage.count(processId) != 0) return;
    std::string path;
    if (m_windows.GetProcessImagePath(processId, &path) && !path.empty())
        m_processImage.emplace(processId, std::move(path));
}

void CWindowRegistry::Collect(WindowHandle window) {
    std::string title;
    if (!Listable(m_windows, window, &title)) return;
    std::string key = FreeKey(window, title);
    if (key.empty()) return;
    const uint32_t processId = m_windows.GetWindowThreadProcessId(window);
    // The key is free, and both maps always hold the same keys.
    m_windowHandle.emplace(key, window);
    m_windowProcess.emplace(std::move(key), processId);
    RecordImagePath(processId);
}

bool CWindowRegistry::Refresh() {
    const size_t before = m_windowHandle.size();
    m_processImage.clear();
    m_windowProcess.clear();
    m_windowHandle.clear();
    m_windows.EnumWindows([this](WindowHandle window) {
        Collect(window);
        return true;
    });
    return m_windowHandle.size() != before;
}

std::string CWindowRegistry::ImagePathOf(const std::string& windowKey) const {
    const auto process = m_windowProcess.find(windowKey);
    if (process == m_windowProcess.end()) return {};
    const auto image = m_processImage.find(process->second);
    return image == m_processImage.end() ? std::string() : image->second;
}
