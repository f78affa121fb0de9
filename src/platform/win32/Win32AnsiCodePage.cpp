#include "platform/win32/Win32Services.h"

int Win32AnsiCodePage::ToUtf16(const char* text, char16_t* out, int maxUnits) const {
    return MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<wchar_t*>(out), maxUnits);
}

int Win32AnsiCodePage::FromUtf16(const char16_t* units, char* out, int maxBytes) const {
    return WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(units), -1, out,
                               maxBytes, nullptr, nullptr);
}
