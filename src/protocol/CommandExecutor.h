#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "platform/Desktop.h"

class CConnectionServer;
class IAnsiCodePage;
class IClock;
class IDesktop;
class IFileDialog;
class IFileDialogs;
class IMainWindow;
class ITestWindow;
class ITestWindowFactory;
class IWindowSystem;

// Carries out the device's commands. The operations are virtual and their order is fixed;
// the dispatcher reaches them only through this table.
class CCommandExecutor {
public:
    explicit CCommandExecutor(CConnectionServer* server, IDesktop* desktop = nullptr,
                              IMainWindow* mainWindow = nullptr, IWindowSystem* windows = nullptr,
                              const IAnsiCodePage* codePage = nullptr, IClock* clock = nullptr);
    virtual ~CCommandExecutor();
    CCommandExecutor(const CCommandExecutor&) = delete;
    CCommandExecutor& operator=(const CCommandExecutor&) = delete;

    virtual void MoveCursorBy(float dx, float dy);                          // 0
    virtual void ButtonDown(int button);                                    // 1
    virtual void ButtonUp(int button);                                      // 2
    virtual void ClickButton(int button, int count);                        // 3
    virtual void GrabWindowUnderCursor();                                   // 4
    virtual void DragGrabbedWindowBy(float dx, float dy);                   // 5
    virtual void IgnoreCode200(int a, float b, float c, float d, float e);  // 6
    virtual void ReleaseGrabbedWindow();                                    // 7
    virtual void ScrollWheel(float dx, float dy);                           // 8
    virtual void StartCursorGlide(float vx, float vy, float decay);         // 9
    virtual void StartScrollGlide(float vx, float vy, float decay);         // 10
    virtual void StopGlide();                                               // 11
    virtual bool SendWindowList(bool onlyIfChanged);                        // 12
    virtual void SendWindowIcon(const std::string& windowKey);              // 13
    virtual void ActivateApplication(const std::string& windowKey);         // 14
    virtual void CloseApplication(const std::string& windowKey);            // 15
    virtual void ReceiveRemoteScreen(const void* data, int length);         // 16
    virtual void SendFileToDevice(bool image);                              // 17
    virtual void CancelFileDialog();                                        // 18
    virtual void TypeCharacter(int character);                              // 19
    virtual void PressKey(int code, bool isCharacter, int modifiers);       // 20
    virtual void SetBounceOffEdges(bool on);                                // 21
    virtual void ShowTestWindow(int x, int y, int show);                    // 22

    // One key stroke with its modifiers, pressed and released at once.
    void PressKeyWithModifiers(int virtualKey, int modifiers);
    // Body of the glide thread.
    void GlideWorker();
    // The device has gone: release the buttons it left pressed and end a running glide.
    void EndDeviceInput();
    // The file dialogs and the test window; without them those commands do nothing.
    void SetFileExchangeServices(IFileDialogs* fileDialogs, ITestWindowFactory* testWindows);
    // Rebuilds the window registry from the desktop's top-level windows; true when the number
    // of listed windows changed.
    bool RefreshWindowRegistry();

    CConnectionServer* m_pServer;
    IDesktop* m_pDesktop;
    IMainWindow* m_pMainWindow;

    WindowHandle m_grabbedWindow = 0;
    // Shared with the glide worker, read fresh on every step.
    std::atomic<float> m_glideVelocityX{0.0f};
    std::atomic<float> m_glideVelocityY{0.0f};
    std::atomic<float> m_glideDecay{-1.0f};
    std::atomic<bool> m_glideStop{false};
    std::atomic<bool> m_glideScrolls{false};
    std::atomic<bool> m_bounceOffEdges{true};

    std::map<int, int> m_keyMap;

    IWindowSystem* m_pWindows;
    const IAnsiCodePage* m_pCodePage;
    IClock* m_pClock;
    // The window registry, keyed by window key in byte-wise order (the order of the list).
    std::map<std::string, uint32_t> m_windowProcess;
    std::map<std::string, WindowHandle> m_windowHandle;
    std::map<uint32_t, std::string> m_processImage;
    WindowHandle m_pendingForeground = 0;
    uint32_t m_lastListTick = 0x80000000u;

    // The open dialog of SendFileToDevice while it shows; not owned.
    IFileDialog* m_fileDialog = nullptr;
    std::unique_ptr<ITestWindow> m_testWindow;

private:
    void BringServerForward();
    std::string DeviceName() const;
    WindowHandle MainWindowHandle() const;
    void StartGlide(float vx, float vy, float decay, bool scrolls);
    void StopAndJoinGlide();
    void InjectButton(uint32_t flags);
    void CursorGlideStep();

    std::thread m_glideThread;
    IFileDialogs* m_pFileDialogs = nullptr;
    ITestWindowFactory* m_pTestWindows = nullptr;
    // MOUSEEVENTF_*DOWN bits of the buttons the device holds pressed; GUI thread only.
    uint32_t m_heldButtons = 0;
    // Counts the devices that have gone, so that a file chosen for one is never sent to the
    // next.
    uint32_t m_departedDevices = 0;
    // File dialogs open inside each other. Each runs a nested message loop on the stack, so a
    // device sending request after request must not be able to stack them without end.
    int m_openFileDialogs = 0;
};
