// The executor's file operations: remote-screen files and images moved through the file
// dialogs, and the test window of command 7777.
#include "input/FileExchange.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>

#include "platform/MainWindow.h"
#include "platform/PointerDevice.h"
#include "platform/TestWindow.h"
#include "protocol/DeviceLink.h"
#include "protocol/ModalNesting.h"

namespace {

constexpr char kRemoteFilterDescription[] = "Tavrix Remote Files (*.remote)";
constexpr char kRemoteFilterPattern[] = " *.remote";
constexpr char kRemoteExtension[] = "remote";
constexpr char kSaveTitle[] = "Received remote control screen from ";
constexpr char kOpenRemoteTitle[] = "Select remote control screen file (.remote file) to send to ";
constexpr char kOpenImageTitle[] = "Select an image file to send to ";

FileDialogOptions RemoteScreenDialog(bool save, const std::string& title) {
    FileDialogOptions options;
    options.save = save;
    options.title = title;
    options.filterDescription = kRemoteFilterDescription;
    options.filterPattern = kRemoteFilterPattern;
    options.defaultExtension = kRemoteExtension;
    return options;
}

// The file message read a chunk at a time: the header, then the file's bytes. A file that
// shrank since it was measured is padded with zeros, so the device still gets exactly the
// announced number of bytes.
class FileMessageStream : public IOutgoingStream {
public:
    FileMessageStream(std::ifstream file, uint64_t size)
        : m_file(std::move(file)), m_header(FileMessageHeader(size)), m_left(size) {}

    size_t Read(char* buffer, size_t maxCount) override {
        const size_t fromHeader = std::min(m_header.size() - m_headerSent, maxCount);
        std::memcpy(buffer, m_header.data() + m_headerSent, fromHeader);
        m_headerSent += fromHeader;
        const size_t fromFile =
            static_cast<size_t>(std::min<uint64_t>(maxCount - fromHeader, m_left));
        ReadOrZero(buffer + fromHeader, fromFile);
        m_left -= fromFile;
        return fromHeader + fromFile;
    }

private:
    void ReadOrZero(char* out, size_t count) {
        m_file.read(out, static_cast<std::streamsize>(count));
        const size_t kept = static_cast<size_t>(std::max<std::streamsize>(m_file.gcount(), 0));
        std::memset(out + kept, 0, count - kept);
    }

    std::ifstream m_file;
    const std::string m_header;
    size_t m_headerSent = 0;
    uint64_t m_left;
};

}  // namespace

std::string FileMessageHeader(uint64_t size) {
    return "700:" + std::to_string(size) + "\n";
}

FileDialogOptions SaveRemoteScreenDialog(const std::string& deviceName) {
    return RemoteScreenDialog(true, kSaveTitle + deviceName);
}

FileDialogOptions OpenFileDialog(bool image, const std::string& deviceName) {
    if (!image) return RemoteScreenDialog(false, kOpenRemoteTitle + deviceName);
    FileDialogOptions options;
    options.title = kOpenImageTitle + deviceName;
    return options;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t length) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(length));
    out.close();
    return !out.fail();
}

bool SendFileMessage(IDeviceLink& link, const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    file.seekg(0, std::ios::beg);
    if (end < 0 || !file) return false;
    link.SendStream(std::make_unique<FileMessageStream>(std::move(file), end));
    return true;
}

CFileExchange::CFileExchange(IFileDialogs& fileDialogs, ITestWindowFactory& testWindows,
                             IPointerDevice& pointer, IMainWindow& mainWindow, IDeviceLink& link,
                             CModalNesting& modals)
    : m_fileDialogs(fileDialogs),
      m_testWindows(testWindows),
      m_pointer(pointer),
      m_mainWindow(mainWindow),
      m_link(link),
      m_modals(modals) {}

CFileExchange::~CFileExchange() = default;

void CFileExchange::BringServerForward() {
    if (m_mainWindow.Handle() != 0) m_fileDialogs.BringForward(m_mainWindow.Handle());
}

void CFileExchange::ReceiveRemoteScreen(const void* data, int length) {
    if (!data || length < 0) return;
    if (!m_modals.CanOpen()) return;
    BringServerForward();
    std::unique_ptr<IFileDialog> dialog = m_fileDialogs.Create(
        SaveRemoteScreenDialog(m_mainWindow.DeviceName()), m_mainWindow.Handle());
    if (!dialog) return;
    std::string path;
    bool chosen = false;
    {
        // The caller keeps the block alive until this returns, nested dispatches included.
        const CModalNesting::Scope open(m_modals);
        chosen = dialog->DoModal(&path);
    }
    if (chosen) WriteWholeFile(path, data, static_cast<size_t>(length));
}

void CFileExchange::SendFileToDevice(bool image) {
    if (!m_modals.CanOpen()) return;
    BringServerForward();
    std::unique_ptr<IFileDialog> dialog = m_fileDialogs.Create(
        OpenFileDialog(image, m_mainWindow.DeviceName()), m_mainWindow.Handle());
    if (!dialog) return;
    // A 701 dispatched while this dialog shows replaces it here, and clears it on return.
    m_fileDialog = dialog.get();
    const uint32_t departedBefore = m_departedDevices;
    std::string path;
    bool chosen = false;
    {
        const CModalNesting::Scope open(m_modals);
        chosen = dialog->DoModal(&path);
    }
    m_fileDialog = nullptr;
    // The device that asked may have left while the user chose; another may be connected.
    if (chosen && m_departedDevices == departedBefore) SendFileMessage(m_link, path);
}

void CFileExchange::CancelFileDialog() {
    if (m_fileDialog) m_fileDialog->Cancel();
}

void CFileExchange::ShowTestWindow(int x, int y, int show) {
    m_pointer.MoveTo({x, y});
    if (show == 0) return;
    m_testWindow.reset();
    m_testWindow = m_testWindows.Create(x, y);
}

void CFileExchange::EndDeviceSession() {
    ++m_departedDevices;
}
