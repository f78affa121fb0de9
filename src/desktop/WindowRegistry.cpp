// The window registry: which top-level windows the device sees, under which keys.
#include "desktop/WindowRegistry.h"

#include <string>

#include "platform/WindowSystem.h"
#include "protocol/CommandExecutor.h"
#include "protocol/TextFieldCodec.h"

namespace {

constexpr char kProgramManager[] = "Program Manager";

bool Listable(IWindowSystem& windows, WindowHandle window, std::string* title) {
    if (windows.GetParent(window) != 0) return false;  // an owned pop-up
    if (!windows.IsWindowVisible(window)) return false;
    *title = windows.GetWindowTextA(window);
    return !title->empty() && *title != kProgramManager;
}

// The first window of a title gets the plain title, later ones " (2)", " (3)" and so on.
// Empty when the window is left out.
std::string FreeKey(CCommandExecutor& executor, WindowHandle window, const std::string& title) {
    const IAnsiCodePage& codePage = *executor.m_pCodePage;
    const std::string unencodable = EncodeTextField("", codePage);
    std::string key = EncodeTextField(title.c_str(), codePage);
    for (int n = 2; executor.m_windowHandle.count(key) != 0; ++n) {
        if (!executor.m_pWindows->HasChildWindow(window)) return {};
        // A title too long to encode, with or without its number, never yields a free key.
        if (key == unencodable) return {};
        key = EncodeTextField((title + " (" + std::to_string(n) + ")").c_str(), codePage);
    }
    return key;
}

void RecordImagePath(CCommandExecutor& executor, uint32_t processId) {
    if (executor.m_processImage.count(processId) != 0) return;
    std::string path;
    if (executor.m_pWindows->GetProcessImagePath(processId, &path) && !path.empty())
        executor.m_processImage[processId] = path;
}

}  // namespace

bool CollectWindowProc(WindowHandle window, CCommandExecutor* executor) {
    IWindowSystem& windows = *executor->m_pWindows;
    std::string title;
    if (!Listable(windows, window, &title)) return true;
    const std::string key = FreeKey(*executor, window, title);
    if (key.empty()) return true;
    const uint32_t processId = windows.GetWindowThreadProcessId(window);
    executor->m_windowProcess[key] = processId;
    executor->m_windowHandle[key] = window;
    RecordImagePath(*executor, processId);
    return true;
}

bool CCommandExecutor::RefreshWindowRegistry() {
    const size_t before = m_windowHandle.size();
    m_processImage.clear();
    m_windowProcess.clear();
    m_windowHandle.clear();
    if (m_pWindows && m_pCodePage)
        m_pWindows->EnumWindows(
            [this](WindowHandle window) { return CollectWindowProc(window, this); });
    return m_windowHandle.size() != before;
}
