#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/FileDialogs.h"
#include "protocol/CommandParts.h"

class CModalNesting;
class IDeviceLink;
class IMainWindow;
class IPointerDevice;
class ITestWindow;
class ITestWindowFactory;

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
bool SendFileMessage(IDeviceLink& link, const std::string& path);

// Remote-screen files and images moved through the file dialogs, and the test window.
class CFileExchange : public IFileCommands {
public:
    CFileExchange(IFileDialogs& fileDialogs, ITestWindowFactory& testWindows,
                  IPointerDevice& pointer, IMainWindow& mainWindow, IDeviceLink& link,
                  CModalNesting& modals);
    ~CFileExchange() override;
    CFileExchange(const CFileExchange&) = delete;
    CFileExchange& operator=(const CFileExchange&) = delete;

    void ReceiveRemoteScreen(const void* data, int length) override;
    void SendFileToDevice(bool image) override;
    void CancelFileDialog() override;
    void ShowTestWindow(int x, int y, int show) override;
    void EndDeviceSession() override;

    bool TestWindowShown() const { return m_testWindow != nullptr; }

private:
    void BringServerForward();

    IFileDialogs& m_fileDialogs;
    ITestWindowFactory& m_testWindows;
    IPointerDevice& m_pointer;
    IMainWindow& m_mainWindow;
    IDeviceLink& m_link;
    CModalNesting& m_modals;
    // The open dialog of SendFileToDevice while it shows; not owned.
    IFileDialog* m_fileDialog = nullptr;
    std::unique_ptr<ITestWindow> m_testWindow;
    // Counts the devices that have gone, so that a file chosen for one is never sent to the
    // next.
    uint32_t m_departedDevices = 0;
};
