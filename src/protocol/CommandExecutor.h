#pragma once
#include <string>

#include "protocol/CommandParts.h"

// Carries out the device's commands. The operations are virtual and their order is fixed;
// the dispatcher reaches them only through this table, and each goes to the part that owns
// its state.
class CCommandExecutor {
public:
    explicit CCommandExecutor(const CommandParts& parts);
    virtual ~CCommandExecutor() = default;
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

    // The device has gone: nothing it pressed stays down, no glide runs on, and nothing
    // chosen for it is sent to the next device.
    void EndDeviceSession();

private:
    CommandParts m_parts;
};
