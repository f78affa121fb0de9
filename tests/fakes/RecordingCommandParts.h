#pragma once
#include <string>
#include <vector>

#include "fakes/CallText.h"
#include "protocol/CommandParts.h"

// The four parts in one, doing nothing but noting every operation that reaches them as its
// CallText, so that a test sees what the executor handed on. The ends of a device's session
// are noted apart from the operations.
class RecordingCommandParts : public IPointerCommands,
                              public IKeyboardCommands,
                              public IWindowCommands,
                              public IFileCommands {
public:
    CommandParts All() { return CommandParts{*this, *this, *this, *this}; }

    void MoveCursorBy(float dx, float dy) override { Note("MoveCursorBy", dx, dy); }
    void ButtonDown(int button) override { Note("ButtonDown", button); }
    void ButtonUp(int button) override { Note("ButtonUp", button); }
    void ClickButton(int button, int count) override { Note("ClickButton", button, count); }
    void GrabWindowUnderCursor() override { Note("GrabWindowUnderCursor"); }
    void DragGrabbedWindowBy(float dx, float dy) override { Note("DragGrabbedWindowBy", dx, dy); }
    void ReleaseGrabbedWindow() override { Note("ReleaseGrabbedWindow"); }
    void ScrollWheel(float dx, float dy) override { Note("ScrollWheel", dx, dy); }
    void StartCursorGlide(float vx, float vy, float decay) override {
        Note("StartCursorGlide", vx, vy, decay);
    }
    void StartScrollGlide(float vx, float vy, float decay) override {
        Note("StartScrollGlide", vx, vy, decay);
    }
    void StopGlide() override { Note("StopGlide"); }
    void SetBounceOffEdges(bool on) override { Note("SetBounceOffEdges", on); }
    void EndDeviceInput() override { ends.push_back("EndDeviceInput"); }

    void TypeCharacter(int character) override { Note("TypeCharacter", character); }
    void PressKey(int code, bool isCharacter, int modifiers) override {
        Note("PressKey", code, isCharacter, modifiers);
    }

    bool SendWindowList(bool onlyIfChanged) override {
        Note("SendWindowList", onlyIfChanged);
        return windowListChanged;
    }
    void SendWindowIcon(const std::string& key) override { Note("SendWindowIcon", key); }
    void ActivateApplication(const std::string& key) override { Note("ActivateApplication", key); }
    void CloseApplication(const std::string& key) override { Note("CloseApplication", key); }

    void ReceiveRemoteScreen(const void*, int length) override {
        Note("ReceiveRemoteScreen", length);
    }
    void SendFileToDevice(bool image) override { Note("SendFileToDevice", image); }
    void CancelFileDialog() override { Note("CancelFileDialog"); }
    void ShowTestWindow(int x, int y, int show) override { Note("ShowTestWindow", x, y, show); }
    void EndDeviceSession() override { ends.push_back("EndDeviceSession"); }

    std::vector<std::string> calls;
    std::vector<std::string> ends;
    // What SendWindowList answers: whether the list had changed.
    bool windowListChanged = false;

private:
    template <typename... Args>
    void Note(const char* name, const Args&... args) {
        calls.push_back(CallText(name, args...));
    }
};
