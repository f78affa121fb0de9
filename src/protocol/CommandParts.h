#pragma once
#include <string>

// The parts that carry out the device's commands, each owning its own state. The executor
// hands every operation to one of them.

class IPointerCommands {
public:
    virtual ~IPointerCommands() = default;
    virtual void MoveCursorBy(float dx, float dy) = 0;
    virtual void ButtonDown(int button) = 0;
    virtual void ButtonUp(int button) = 0;
    virtual void ClickButton(int button, int count) = 0;
    virtual void GrabWindowUnderCursor() = 0;
    virtual void DragGrabbedWindowBy(float dx, float dy) = 0;
    virtual void ReleaseGrabbedWindow() = 0;
    virtual void ScrollWheel(float dx, float dy) = 0;
    virtual void StartCursorGlide(float vx, float vy, float decay) = 0;
    virtual void StartScrollGlide(float vx, float vy, float decay) = 0;
    virtual void StopGlide() = 0;
    virtual void SetBounceOffEdges(bool on) = 0;
    // The device has gone: release what it holds and end a running glide.
    virtual void EndDeviceInput() = 0;
};

class IKeyboardCommands {
public:
    virtual ~IKeyboardCommands() = default;
    virtual void TypeCharacter(int character) = 0;
    virtual void PressKey(int code, bool isCharacter, int modifiers) = 0;
};

class IWindowCommands {
public:
    virtual ~IWindowCommands() = default;
    virtual bool SendWindowList(bool onlyIfChanged) = 0;
    virtual void SendWindowIcon(const std::string& windowKey) = 0;
    virtual void ActivateApplication(const std::string& windowKey) = 0;
    virtual void CloseApplication(const std::string& windowKey) = 0;
};

class IFileCommands {
public:
    virtual ~IFileCommands() = default;
    virtual void ReceiveRemoteScreen(const void* data, int length) = 0;
    virtual void SendFileToDevice(bool image) = 0;
    virtual void CancelFileDialog() = 0;
    virtual void ShowTestWindow(int x, int y, int show) = 0;
    // The device has gone: a file chosen for it is not sent to the next one.
    virtual void EndDeviceSession() = 0;
};

struct CommandParts {
    IPointerCommands& pointer;
    IKeyboardCommands& keyboard;
    IWindowCommands& windows;
    IFileCommands& files;
};
