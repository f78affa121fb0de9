#pragma once

class CCommandExecutor;
class CConnectionServer;
class IMainWindow;
class ISound;

// Parses one command line into its code and typed fields and calls at most one executor
// operation. Codes 55 (device hello) and 3000 (password) are handled here.
class CCommandDispatcher {
public:
    CCommandDispatcher(CCommandExecutor* executor, IMainWindow* mainWindow, ISound* sound);

    void DispatchLine(const char* line, bool restricted);

    CCommandExecutor* m_pExecutor;
    CConnectionServer* m_pConnection = nullptr;
    bool m_alertSound = false;

private:
    void OnDeviceHello(const char* line);
    void OnPassword(class CommandFields& fields);

    IMainWindow* m_pMainWindow;
    ISound* m_pSound;
};
