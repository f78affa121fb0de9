#pragma once
#include <string>

#include "settings/StatusDisplay.h"

class CCommandExecutor;
class CConnectionServer;
struct ServerSettings;

// Timers of the main window.
constexpr unsigned IDT_NAME_TIMEOUT = 1400;
constexpr unsigned IDT_HIDE_AT_LAUNCH = 1401;
constexpr unsigned IDT_LIST_AFTER_ACTION = 1402;
constexpr unsigned IDT_LIST_RETRY = 1403;
constexpr unsigned IDT_LIST_POLL = 1404;
constexpr unsigned kNameTimeoutMs = 3000;
constexpr unsigned kHideAtLaunchMs = 150;
constexpr unsigned kListAfterActionMs = 100;
constexpr unsigned kListRetryMs = 3000;
constexpr unsigned kListPollMs = 15000;

// What the dialog's behaviour needs from its window.
class IServerDialogView {
public:
    virtual ~IServerDialogView() = default;
    // Button 1003, label 1004 and the tray icon with its tip.
    virtual void ShowStatus(const StatusRow& row) = 0;
    virtual void ShowDeviceName(const std::string& name) = 0;
    // Every bound control from its field.
    virtual void RefillControls() = 0;
    // Every bound control into its field, then apply and write the file.
    virtual void SaveSettings() = 0;
    // Runs the confirmation modally; true when its acknowledgement was ticked.
    virtual bool RunPasswordConfirmation() = 0;
    virtual void SetPasswordCheckBox(bool checked) = 0;
    virtual void SetTimer(unsigned id, unsigned milliseconds) = 0;
    virtual void KillTimer(unsigned id) = 0;
    virtual void HideWindow() = 0;
    virtual std::string GetDefaultServerName() = 0;
};

// The server dialog's buttons, check boxes, status display and timers, apart from the
// window that shows them.
class CServerDialogLogic {
public:
    CServerDialogLogic(ServerSettings& settings, CConnectionServer& server,
                       CCommandExecutor& executor, IServerDialogView& view);

    void UpdateStatusDisplay();
    void SetDeviceName(const std::string& name);
    void ArmStartupTimers();
    void OnTimer(unsigned id);

    void OnServerOnOff();
    void OnApplyNamePort();
    void OnRevertToDefault();
    void OnPasswordCheckBox();
    bool ConfirmRunWithoutPassword();
    void RenewAdvertisement();

    const std::string& DeviceName() const { return m_deviceName; }

private:
    using TimerHandler = void (CServerDialogLogic::*)();
    struct TimerRow {
        unsigned id;
        bool oneShot;
        TimerHandler handler;
    };
    static const TimerRow kTimers[];

    void OnNameTimeout();
    void OnHideAtLaunch();
    void OnListAfterAction();
    void OnListRetry();
    void OnListPoll();
    bool DeviceConnected() const;
    void ShowGivenName();
    void ShowDeviceName(const std::string& name);

    ServerSettings& m_settings;
    CConnectionServer& m_server;
    CCommandExecutor& m_executor;
    IServerDialogView& m_view;
    std::string m_deviceName = kNoDevice;
    // The name the connected device gave, and whether it has been shown.
    std::string m_givenName;
    bool m_hasGivenName = false;
    bool m_givenNameShown = false;
};

// The dialog's integer exchange: optional blanks, an optional sign, decimal digits, optional
// blanks, and a value that fits an int. False leaves value as it was.
bool ParseDialogInt(const std::string& text, int& value);
