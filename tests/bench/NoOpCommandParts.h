#pragma once
#include <string>

#include "protocol/CommandParts.h"

// Parts that carry out nothing, so that only the core's parsing and dispatching is timed.
// The pointer part keeps a count and a sum, enough to see that every line got through with
// its values and to keep the parsed numbers alive.
class NoOpPointer : public IPointerCommands {
public:
    void MoveCursorBy(float dx, float dy) override {
        ++moves;
        sum += static_cast<double>(dx) + dy;
    }
    void ButtonDown(int) override {}
    void ButtonUp(int) override {}
    void ClickButton(int, int) override {}
    void GrabWindowUnderCursor() override {}
    void DragGrabbedWindowBy(float, float) override {}
    void ReleaseGrabbedWindow() override {}
    void ScrollWheel(float, float) override {}
    void StartCursorGlide(float, float, float) override {}
    void StartScrollGlide(float, float, float) override {}
    void StopGlide() override {}
    void SetBounceOffEdges(bool) override {}
    void EndDeviceInput() override {}

    long long moves = 0;
    double sum = 0;
};

class NoOpKeyboard : public IKeyboardCommands {
public:
    void TypeCharacter(int) override {}
    void PressKey(int, bool, int) override {}
};

class NoOpWindows : public IWindowCommands {
public:
    bool SendWindowList(bool) override { return false; }
    void SendWindowIcon(const std::string&) override {}
    void ActivateApplication(const std::string&) override {}
    void CloseApplication(const std::string&) override {}
};

class NoOpFiles : public IFileCommands {
public:
    void ReceiveRemoteScreen(const void*, int) override {}
    void SendFileToDevice(bool) override {}
    void CancelFileDialog() override {}
    void ShowTestWindow(int, int, int) override {}
    void EndDeviceSession() override {}
};

struct NoOpCommandParts {
    NoOpPointer pointer;
    NoOpKeyboard keyboard;
    NoOpWindows windows;
    NoOpFiles files;

    CommandParts Parts() { return CommandParts{pointer, keyboard, windows, files}; }
};
