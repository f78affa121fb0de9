#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/FileDialogs.h"

class CConnectionServer;

// The file message's header: "700:", the size in decimal and a line feed.
std::string FileMessageHeader(uint64_t size);

// The dialogs of the file exchange, titled for the device.
FileDialogOptions SaveRemoteScreenDialog(const std::string& deviceName);
FileDialogOptions OpenFileDialog(bool image, const std::string& deviceName);

// Creates or truncates the file and writes the block; false when that fails.
bool WriteWholeFile(const std::string& path, const void* data, size_t length);

// Sends the file message for the file: its header, then its bytes unchanged, read a chunk at
// a time as the connection takes them, so that the file is never held whole. False, and
// nothing sent, when the file can't be opened or measured.
bool SendFileMessage(CConnectionServer& server, const std::string& path);
