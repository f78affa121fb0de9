// The icon of a listed window's program, sent as a BMP file behind a one-line header.
#include "desktop/WindowIcon.h"

#include <cstdint>
#include <vector>

#include "desktop/BitmapWriter.h"
#include "net/ConnectionServer.h"
#include "platform/WindowSystem.h"
#include "protocol/CommandExecutor.h"
#include "protocol/TextFieldCodec.h"

std::string IconMessageHeader(const std::string& windowKey, const std::string& encodedPath,
                              size_t bitmapLength) {
    return "439:" + windowKey + ":" + encodedPath + ":" + std::to_string(bitmapLength) + "\n";
}

void CCommandExecutor::SendWindowIcon(const std::string& windowKey) {
    if (!m_pWindows || !m_pCodePage) return;
    const auto found = m_windowProcess.find(windowKey);
    if (found == m_windowProcess.end()) return;
    const std::string path = m_processImage[found->second];
    std::vector<uint8_t> bitmap;
    const bool hasIcon = m_pWindows->WithFileIcon(
        path, [&](IDeviceBitmap& colour) { bitmap = writeBMP(colour, *m_pWindows); });
    if (!hasIcon || bitmap.empty()) return;
    std::string message =
        IconMessageHeader(windowKey, EncodeTextField(path.c_str(), *m_pCodePage), bitmap.size());
    message.append(bitmap.begin(), bitmap.end());
    if (m_pServer) m_pServer->SendBytes(message.data(), static_cast<int32_t>(message.size()));
}
