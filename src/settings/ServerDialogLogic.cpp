#include "settings/ServerDialogLogic.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "net/ConnectionServer.h"
#include "protocol/CommandExecutor.h"
#include "settings/ServerSettings.h"

const CServerDialogLogic::TimerRow CServerDialogLogic::kTimers[] = {
    {IDT_NAME_TIMEOUT, true, &CServerDialogLogic::OnNameTimeout},
    {IDT_HIDE_AT_LAUNCH, true, &CServerDialogLogic::OnHideAtLaunch},
    {IDT_LIST_AFTER_ACTION, true, &CServerDialogLogic::OnListAfterAction},
    {IDT_LIST_RETRY, true, &CServerDialogLogic::OnListRetry},
    {IDT_LIST_POLL, false, &CServerDialogLogic::OnListPoll},
};

CServerDialogLogic::CServerDialogLogic(ServerSettings& settings, CConnectionServer& server,
                                       CCommandExecutor& executor, IServerDialogView& view)
    : m_settings(settings), m_server(server), m_executor(executor), m_view(view) {}

bool CServerDialogLogic::DeviceConnected() const {
    return m_server.IsConnected();
}

void CServerDialogLogic::UpdateStatusDisplay() {
    const StatusRow row =
        StatusFor(m_server.IsServerOn(), DeviceConnected(), m_server.ListenFailureReason());
    m_view.ShowStatus(row);
    if (row.deviceConnected) {
        m_view.SetTimer(IDT_NAME_TIMEOUT, kNameTimeoutMs);
        ShowGivenName();
        return;
    }
    // Lists a departed device asked for must not go to the next one.
    m_view.KillTimer(IDT_LIST_AFTER_ACTION);
    m_view.KillTimer(IDT_LIST_RETRY);
    // Only the device name: what the user is typing elsewhere in the dialog stays.
    m_givenName.clear();
    m_hasGivenName = false;
    m_givenNameShown = false;
    ShowDeviceName(kNoDevice);
}

// A stranger's words reach no screen or log: the name is shown once the password is
// accepted, and only the first one a connection gives, so a device can't fill the journal.
void CServerDialogLogic::SetDeviceName(const std::string& name) {
    if (m_hasGivenName || !DeviceConnected()) return;
    m_givenName = name;
    m_hasGivenName = true;
    ShowGivenName();
}

void CServerDialogLogic::ShowGivenName() {
    if (!m_hasGivenName || m_givenNameShown || !m_server.DeviceAccepted()) return;
    m_givenNameShown = true;
    ShowDeviceName(m_givenName);
}

void CServerDialogLogic::ShowDeviceName(const std::string& name) {
    m_deviceName = name;
    m_view.ShowDeviceName(m_deviceName);
}

void CServerDialogLogic::ArmStartupTimers() {
    if (m_settings.visibleAtLaunch == 0) m_view.SetTimer(IDT_HIDE_AT_LAUNCH, kHideAtLaunchMs);
    m_view.SetTimer(IDT_LIST_POLL, kListPollMs);
}

void CServerDialogLogic::OnTimer(unsigned id) {
    for (const TimerRow& row : kTimers) {
        if (row.id != id) continue;
        if (row.oneShot) m_view.KillTimer(id);
        (this->*row.handler)();
        return;
    }
    m_view.KillTimer(id);
}

void CServerDialogLogic::OnNameTimeout() {
    if (m_deviceName == kNoDevice && m_server.IsServerOn() && DeviceConnected())
        ShowDeviceName(kUnknownDevice);
}

void CServerDialogLogic::OnHideAtLaunch() {
    m_view.HideWindow();
}

// Window lists go only to a device that has given its password.
void CServerDialogLogic::OnListAfterAction() {
    if (!m_server.DeviceAccepted()) return;
    if (!m_executor.SendWindowList(false)) m_view.SetTimer(IDT_LIST_RETRY, kListRetryMs);
}

void CServerDialogLogic::OnListRetry() {
    if (m_server.DeviceAccepted()) m_executor.SendWindowList(false);
}

void CServerDialogLogic::OnListPoll() {
    if (m_server.DeviceAccepted()) m_executor.SendWindowList(true);
}

void CServerDialogLogic::OnServerOnOff() {
    if (!m_server.IsServerOn() && !ConfirmRunWithoutPassword()) return;
    m_server.SetServerOn(!m_server.IsServerOn());
    if (m_server.IsServerOn()) {
        m_server.StartServer();
    } else {
        m_server.StopServer();
    }
    UpdateStatusDisplay();
}

void CServerDialogLogic::OnApplyNamePort() {
    const std::string oldName = m_settings.serverName;
    m_view.SaveSettings();
    // A listening server moves to the new port and name now, advertised or not; one that
    // couldn't listen tries again.
    const bool listenFailed = m_server.ListenFailureReason() != ListenFailure::None;
    if ((!m_server.IsServerOn() && !listenFailed) || DeviceConnected()) return;
    // The same name again would be taken for the record just withdrawn; one blank makes the
    // new registration a different instance.
    const std::string& name = m_settings.serverName;
    m_server.RestartAs(name == oldName ? name + ' ' : name);
}

void CServerDialogLogic::OnRevertToDefault() {
    m_settings.serverName = m_view.GetDefaultServerName();
    m_view.RefillControls();
    OnApplyNamePort();
}

void CServerDialogLogic::OnPasswordCheckBox() {
    m_settings.passwordEnabled = m_settings.passwordEnabled == 0 ? 1 : 0;
    if (m_server.IsServerOn() && !ConfirmRunWithoutPassword()) {
        m_settings.passwordEnabled = 1;
        m_view.SetPasswordCheckBox(true);
        return;
    }
    RenewAdvertisement();
}

bool CServerDialogLogic::ConfirmRunWithoutPassword() {
    if (m_settings.noPasswordAcknowledged || m_settings.passwordEnabled != 0) return true;
    if (!m_view.RunPasswordConfirmation()) return false;
    m_settings.noPasswordAcknowledged = true;
    m_view.SaveSettings();
    return true;
}

void CServerDialogLogic::RenewAdvertisement() {
    m_view.SaveSettings();
    // Nothing is advertised while a device is connected, nor for a server that isn't
    // listening.
    if (DeviceConnected() || !m_server.IsServerOn()) return;
    m_server.DeregisterService();
    m_server.RegisterService(m_server.Config().serverName);
}

bool ParseDialogInt(const std::string& text, int& value) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(start, &end, 10);
    if (end == start || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
    for (; *end; ++end) {
        if (*end != ' ' && *end != '\t') return false;
    }
    value = static_cast<int>(parsed);
    return true;
}
