#include "protocol/CommandDispatcher.h"

#include <cstring>
#include <string>

#include "platform/Sound.h"
#include "protocol/CommandExecutor.h"
#include "protocol/CommandFields.h"
#include "protocol/SessionGate.h"

namespace {

constexpr int kDeviceHello = 55;
constexpr int kPassword = 3000;
constexpr char kConnectSound[] = "Windows XP Hardware Insert.wav";

using Handler = void (*)(CCommandExecutor&, CommandFields&);

struct CommandRow {
    int code;
    Handler handler;
};

// Fields are read strictly left to right, so each handler reads them in argument order
// into locals before the call.
constexpr CommandRow kCommandTable[] = {
    {1,
     [](CCommandExecutor& e, CommandFields& f) {
         float dx = f.Float(), dy = f.Float();
         e.ScrollWheel(dx, dy);
     }},
    {2,
     [](CCommandExecutor& e, CommandFields& f) {
         float dx = f.Float(), dy = f.Float();
         e.MoveCursorBy(dx, dy);
     }},
    {3, [](CCommandExecutor& e, CommandFields& f) { e.ButtonDown(f.Int()); }},
    {4, [](CCommandExecutor& e, CommandFields& f) { e.ButtonUp(f.Int()); }},
    {5, [](CCommandExecutor& e, CommandFields& f) { e.TypeCharacter(f.Int()); }},
    {6,
     [](CCommandExecutor& e, CommandFields& f) {
         int key = f.Int(), modifiers = f.Int();
         e.PressKey(key, false, modifiers);
     }},
    {7,
     [](CCommandExecutor& e, CommandFields& f) {
         int character = f.Int(), modifiers = f.Int();
         e.PressKey(character, true, modifiers);
     }},
    {19, [](CCommandExecutor& e, CommandFields&) { e.GrabWindowUnderCursor(); }},
    {20,
     [](CCommandExecutor& e, CommandFields& f) {
         float dx = f.Float(), dy = f.Float();
         e.DragGrabbedWindowBy(dx, dy);
     }},
    {33,
     [](CCommandExecutor& e, CommandFields& f) {
         int button = f.Int(), count = f.Int();
         e.ClickButton(button, count);
     }},
    {45, [](CCommandExecutor& e, CommandFields&) { e.StopGlide(); }},
    {127, [](CCommandExecutor& e, CommandFields& f) { e.ActivateApplication(f.Word()); }},
    {129, [](CCommandExecutor& e, CommandFields& f) { e.CloseApplication(f.Word()); }},
    {200,
     [](CCommandExecutor& e, CommandFields& f) {
         int a = f.Int();
         float b = f.Float(), c = f.Float(), d = f.Float(), g = f.Float();
         e.IgnoreCode200(a, b, c, d, g);
     }},
    {201, [](CCommandExecutor& e, CommandFields&) { e.ReleaseGrabbedWindow(); }},
    {301,
     [](CCommandExecutor& e, CommandFields& f) {
         float vx = f.Float(), vy = f.Float(), decay = f.Float();
         e.StartScrollGlide(vx, vy, decay);
     }},
    {302,
     [](CCommandExecutor& e, CommandFields& f) {
         float vx = f.Float(), vy = f.Float(), decay = f.Float();
         e.StartCursorGlide(vx, vy, decay);
     }},
    {438, [](CCommandExecutor& e, CommandFields& f) { e.SendWindowIcon(f.Word()); }},
    {656, [](CCommandExecutor& e, CommandFields&) { e.SendWindowList(false); }},
    {701, [](CCommandExecutor& e, CommandFields& f) { e.SendFileToDevice(f.Int() > 0); }},
    {702, [](CCommandExecutor& e, CommandFields&) { e.CancelFileDialog(); }},
    {7777,
     [](CCommandExecutor& e, CommandFields& f) {
         int x = f.Int(), y = f.Int(), show = f.Int();
         e.ShowTestWindow(x, y, show);
     }},
};

const CommandRow* FindCommand(int code) {
    for (const CommandRow& row : kCommandTable) {
        if (row.code == code) return &row;
    }
    return nullptr;
}

// The name stands between the first ':' and the next one; without a second ':' it runs to
// the end of the line, and without any ':' it is the whole line.
std::string DeviceNameFromHello(const char* line) {
    const char* first = std::strchr(line, ':');
    if (!first) return line;
    const char* start = first + 1;
    const char* second = std::strchr(start, ':');
    return second ? std::string(start, second) : std::string(start);
}

}  // namespace

CCommandDispatcher::CCommandDispatcher(CCommandExecutor& executor, ISessionGate& gate,
                                       ISound& sound)
    : m_executor(executor), m_gate(gate), m_sound(sound) {}

void CCommandDispatcher::DispatchLine(const char* line, bool restricted) {
    if (!line) return;
    CommandFields fields(line);
    int code = 0;
    if (!fields.ReadCode(code)) return;
    if (restricted && code != kPassword && code != kDeviceHello) return;
    if (code == kDeviceHello) {
        OnDeviceHello(line);
        return;
    }
    if (code == kPassword) {
        OnPassword(fields);
        return;
    }
    if (const CommandRow* row = FindCommand(code)) row->handler(m_executor, fields);
}

void CCommandDispatcher::DispatchPayload(const void* data, int length) {
    m_executor.ReceiveRemoteScreen(data, length);
}

void CCommandDispatcher::EndDeviceSession() {
    m_helloSoundPlayed = false;
    m_executor.EndDeviceSession();
}

void CCommandDispatcher::OnDeviceHello(const char* line) {
    // Once per connection: a device repeating its hello can't keep the speaker busy.
    if (m_alertSound && !m_helloSoundPlayed) {
        m_sound.Play(kConnectSound);
        m_helloSoundPlayed = true;
    }
    m_gate.SetDeviceName(DeviceNameFromHello(line));
}

void CCommandDispatcher::OnPassword(CommandFields& fields) {
    m_gate.CheckPassword(fields.Word());
}
