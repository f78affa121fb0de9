#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "protocol/CommandExecutor.h"

// Records every operation as "Name(arg,arg)"; numbers as a stream writes them, bools as
// true/false. Payloads are kept whole in payloads.
class RecordingExecutor : public CCommandExecutor {
public:
    explicit RecordingExecutor(CConnectionServer* server = nullptr) : CCommandExecutor(server) {}

    void MoveCursorBy(float dx, float dy) override { Record("MoveCursorBy", dx, dy); }
    void ButtonDown(int button) override { Record("ButtonDown", button); }
    void ButtonUp(int button) override { Record("ButtonUp", button); }
    void ClickButton(int button, int count) override { Record("ClickButton", button, count); }
    void GrabWindowUnderCursor() override { Record("GrabWindowUnderCursor"); }
    void DragGrabbedWindowBy(float dx, float dy) override { Record("DragGrabbedWindowBy", dx, dy); }
    void IgnoreCode200(int a, float b, float c, float d, float e) override {
        Record("IgnoreCode200", a, b, c, d, e);
    }
    void ReleaseGrabbedWindow() override { Record("ReleaseGrabbedWindow"); }
    void ScrollWheel(float dx, float dy) override { Record("ScrollWheel", dx, dy); }
    void StartCursorGlide(float vx, float vy, float decay) override {
        Record("StartCursorGlide", vx, vy, decay);
    }
    void StartScrollGlide(float vx, float vy, float decay) override {
        Record("StartScrollGlide", vx, vy, decay);
    }
    void StopGlide() override { Record("StopGlide"); }
    bool SendWindowList(bool onlyIfChanged) override {
        Record("SendWindowList", onlyIfChanged);
        return false;
    }
    void SendWindowIcon(const std::string& key) override { Record("SendWindowIcon", key); }
    void ActivateApplication(const std::string& key) override {
        Record("ActivateApplication", key);
    }
    void CloseApplication(const std::string& key) override { Record("CloseApplication", key); }
    void ReceiveRemoteScreen(const void* data, int length) override {
        Record("ReceiveRemoteScreen", length);
        payloads.emplace_back(static_cast<const char*>(data), static_cast<size_t>(length));
    }
    void SendFileToDevice(bool image) override { Record("SendFileToDevice", image); }
    void CancelFileDialog() override { Record("CancelFileDialog"); }
    void TypeCharacter(int character) override { Record("TypeCharacter", character); }
    void PressKey(int code, bool isCharacter, int modifiers) override {
        Record("PressKey", code, isCharacter, modifiers);
    }
    void SetBounceOffEdges(bool on) override {
        Record("SetBounceOffEdges", on);
        CCommandExecutor::SetBounceOffEdges(on);
    }
    void ShowTestWindow(int x, int y, int show) override { Record("ShowTestWindow", x, y, show); }

    std::vector<std::string> calls;
    std::vector<std::string> payloads;

private:
    template <typename... Args>
    void Record(const char* name, const Args&... args) {
        std::ostringstream out;
        out << std::boolalpha << name << '(';
        [[maybe_unused]] const char* separator = "";
        ((out << separator << args, separator = ","), ...);
        out << ')';
        calls.push_back(out.str());
    }
};
