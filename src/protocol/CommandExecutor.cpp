#include "protocol/CommandExecutor.h"

CCommandExecutor::CCommandExecutor(const CommandParts& parts) : m_parts(parts) {}

void CCommandExecutor::MoveCursorBy(float dx, float dy) {
    m_parts.pointer.MoveCursorBy(dx, dy);
}
void CCommandExecutor::ButtonDown(int button) {
    m_parts.pointer.ButtonDown(button);
}
void CCommandExecutor::ButtonUp(int button) {
    m_parts.pointer.ButtonUp(button);
}
void CCommandExecutor::ClickButton(int button, int count) {
    m_parts.pointer.ClickButton(button, count);
}
void CCommandExecutor::GrabWindowUnderCursor() {
    m_parts.pointer.GrabWindowUnderCursor();
}
void CCommandExecutor::DragGrabbedWindowBy(float dx, float dy) {
    m_parts.pointer.DragGrabbedWindowBy(dx, dy);
}
// The device sends it; nothing on this side uses it.
void CCommandExecutor::IgnoreCode200(int, float, float, float, float) {}
void CCommandExecutor::ReleaseGrabbedWindow() {
    m_parts.pointer.ReleaseGrabbedWindow();
}
void CCommandExecutor::ScrollWheel(float dx, float dy) {
    m_parts.pointer.ScrollWheel(dx, dy);
}
void CCommandExecutor::StartCursorGlide(float vx, float vy, float decay) {
    m_parts.pointer.StartCursorGlide(vx, vy, decay);
}
void CCommandExecutor::StartScrollGlide(float vx, float vy, float decay) {
    m_parts.pointer.StartScrollGlide(vx, vy, decay);
}
void CCommandExecutor::StopGlide() {
    m_parts.pointer.StopGlide();
}
bool CCommandExecutor::SendWindowList(bool onlyIfChanged) {
    return m_parts.windows.SendWindowList(onlyIfChanged);
}
void CCommandExecutor::SendWindowIcon(const std::string& windowKey) {
    m_parts.windows.SendWindowIcon(windowKey);
}
void CCommandExecutor::ActivateApplication(const std::string& windowKey) {
    m_parts.windows.ActivateApplication(windowKey);
}
void CCommandExecutor::CloseApplication(const std::string& windowKey) {
    m_parts.windows.CloseApplication(windowKey);
}
void CCommandExecutor::ReceiveRemoteScreen(const void* data, int length) {
    m_parts.files.ReceiveRemoteScreen(data, length);
}
void CCommandExecutor::SendFileToDevice(bool image) {
    m_parts.files.SendFileToDevice(image);
}
void CCommandExecutor::CancelFileDialog() {
    m_parts.files.CancelFileDialog();
}
void CCommandExecutor::TypeCharacter(int character) {
    m_parts.keyboard.TypeCharacter(character);
}
void CCommandExecutor::PressKey(int code, bool isCharacter, int modifiers) {
    m_parts.keyboard.PressKey(code, isCharacter, modifiers);
}
void CCommandExecutor::SetBounceOffEdges(bool on) {
    m_parts.pointer.SetBounceOffEdges(on);
}
void CCommandExecutor::ShowTestWindow(int x, int y, int show) {
    m_parts.files.ShowTestWindow(x, y, show);
}

void CCommandExecutor::EndDeviceSession() {
    m_parts.pointer.EndDeviceInput();
    m_parts.files.EndDeviceSession();
}
