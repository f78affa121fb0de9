// The icon of a listed window's program, sent as a BMP file behind a one-line header.
#include "desktop/WindowIcon.h"

#include <cstdint>
#include <vector>

#include "desktop/BitmapWriter.h"
#include "desktop/WindowRegistry.h"
#include "platform/WindowSystem.h"
#include "protocol/DeviceLink.h"
#include "protocol/ModalNesting.h"
#include "protocol/TextFieldCodec.h"

std::string IconMessageHeader(const std::string& windowKey, const std::string& encodedPath,
                              size_t bitmapLength) {
    return "439:" + windowKey + ":" + encodedPath + ":" + std::to_string(bitmapLength) + "\n";
}

void CWindowRegistry::SendWindowIcon(const std::string& windowKey) {
    if (m_windowProcess.count(windowKey) == 0) return;
    const std::string path = ImagePathOf(windowKey);
    std::vector<uint8_t> bitmap;
    std::string failure;
    const bool hasIcon = m_windows.WithFileIcon(
        path, [&](IDeviceBitmap& colour) { bitmap = WriteBmp(colour, &failure); });
    // The box opens only once the icon's handles are released, and never past the nesting
    // limit: each box runs a message loop in which more requests arrive.
    if (!failure.empty() && m_modals.CanOpen()) {
        const CModalNesting::Scope open(m_modals);
        m_windows.ShowMessageBox(failure);
    }
    if (!hasIcon || bitmap.empty()) return;
    std::string message =
        IconMessageHeader(windowKey, EncodeTextField(path.c_str(), m_codePage), bitmap.size());
    message.append(bitmap.begin(), bitmap.end());
    m_link.SendBytes(message.data(), static_cast<int32_t>(message.size()));
}
