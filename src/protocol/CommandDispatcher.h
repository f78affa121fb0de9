#pragma once

class CCommandExecutor;
class CommandFields;
class ISessionGate;
class ISound;

// Parses one command line into its code and typed fields and calls at most one executor
// operation. Codes 55 (device hello) and 3000 (password) go to the session gate.
class CCommandDispatcher {
public:
    CCommandDispatcher(CCommandExecutor& executor, ISessionGate& gate, ISound& sound);

    void SetAlertSound(bool on) { m_alertSound = on; }
    bool AlertSound() const { return m_alertSound; }

    void DispatchLine(const char* line, bool restricted);
    // A payload the framing has read whole, for a device that may send one.
    void DispatchPayload(const void* data, int length);
    // The device has gone.
    void EndDeviceSession();

private:
    void OnDeviceHello(const char* line);
    void OnPassword(CommandFields& fields);

    CCommandExecutor& m_executor;
    ISessionGate& m_gate;
    ISound& m_sound;
    bool m_alertSound = false;
    bool m_helloSoundPlayed = false;
};
