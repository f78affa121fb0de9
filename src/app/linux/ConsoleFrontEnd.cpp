#include "app/linux/ConsoleFrontEnd.h"

#include "app/linux/ConsoleText.h"
#include "app/linux/LinuxPlatform.h"
#include "net/DiagnosticLog.h"
#include "settings/SettingsFile.h"
#include "settings/StatusDisplay.h"

namespace {

constexpr char kStatusPrefix[] = "tavrix-server: ";
constexpr char kConnected[] = "Connected";
constexpr char kListening[] = "On";
constexpr char kPortInUse[] = "Port in use";
constexpr char kCantListen[] = "Can't listen";
constexpr char kSaveFailed[] = "the settings could not be saved to TavrixConfig.txt";

}  // namespace

CConsoleFrontEnd::CConsoleFrontEnd(CLinuxPlatform& platform, DiagnosticLog& log, std::FILE* status)
    : m_platform(platform),
      m_status(status),
      m_assembly(platform.Services(), m_settings, FrontEndHooks{*this, *this, *this, *this}, log),
      m_server(m_assembly.Server()),
      m_logic(m_assembly.Logic()) {}

CConsoleFrontEnd::~CConsoleFrontEnd() {
    for (const auto& timer : m_timers) m_platform.timers.Cancel(timer.second);
    for (const auto& posted : m_posted) m_platform.timers.Cancel(posted.second);
}

void CConsoleFrontEnd::Say(const std::string& text) {
    std::fprintf(m_status, "%s%s\n", kStatusPrefix, text.c_str());
    std::fflush(m_status);
}

bool CConsoleFrontEnd::Start(const ConsoleOptions& options) {
    m_platform.dnsSd.OnAdvertised(
        [this](const std::string& name) { Say("advertised as \"" + name + "\" (DNS-SD)"); });
    if (!m_server.LoadServiceLibrary())
        Say("not advertised: no Avahi daemon answered, so devices must be given this "
            "computer's address");
    if (!m_platform.fileDialogs.Available())
        Say("zenity is not installed: files from and to the device are refused");

    m_settings.serverName = GetDefaultServerName();
    LoadSettingsFile(kSettingsFileName, m_settings);
    if (m_settings.serverName.empty()) m_settings.serverName = GetDefaultServerName();
    if (options.port > 0) m_settings.port = options.port;
    if (options.hasName) m_settings.serverName = options.name;
    m_assembly.ApplySettings();
    m_server.SetServerOn(true);
    m_server.StartServer();
    UpdateStatusDisplay();
    if (!m_server.IsServerOn()) return false;
    m_logic.ArmStartupTimers();
    return true;
}

void CConsoleFrontEnd::Stop() {
    for (const auto& timer : m_timers) m_platform.timers.Cancel(timer.second);
    m_timers.clear();
    m_server.SetServerOn(false);
    m_server.StopServer();
    m_server.DeregisterService();
    m_shownStatus.clear();
}

std::string CConsoleFrontEnd::DeviceName() const {
    return m_logic.DeviceName();
}

void CConsoleFrontEnd::UpdateStatusDisplay() {
    m_logic.UpdateStatusDisplay();
}

void CConsoleFrontEnd::ArmListTimer() {
    SetTimer(IDT_LIST_AFTER_ACTION, kListAfterActionMs);
}

void CConsoleFrontEnd::OnLinkChanged() {
    UpdateStatusDisplay();
}

void CConsoleFrontEnd::PostDropConnection(uint32_t connectionId) {
    // Handled from the loop, after the current dispatch, like a posted window message.
    const uint32_t key = m_nextPost++;
    m_posted[key] = m_platform.timers.StartOnce(0, [this, key, connectionId] {
        m_posted.erase(key);
        m_server.CloseConnectionGracefully(connectionId);
    });
}

void CConsoleFrontEnd::CheckPassword(const std::string& text) {
    m_server.CheckPassword(text);
}

void CConsoleFrontEnd::SetDeviceName(const std::string& name) {
    m_logic.SetDeviceName(name);
}

void CConsoleFrontEnd::ShowStatus(const StatusRow& row) {
    const std::string status = row.statusText;
    if (status == m_shownStatus) return;
    const int port = m_server.Config().port;
    if (m_shownStatus == kConnected) Say("device left");
    if (status == kConnected) {
        Say("device connected");
    } else if (status == kListening && m_shownStatus != kConnected) {
        Say("listening on port " + std::to_string(port));
    } else if (status == kPortInUse) {
        Say("port " + std::to_string(port) + " in use: another program listens on it");
    } else if (status == kCantListen) {
        Say("can't listen on port " + std::to_string(port));
    }
    m_shownStatus = status;
}

void CConsoleFrontEnd::ShowDeviceName(const std::string& name) {
    if (name == m_shownDevice) return;
    m_shownDevice = name;
    if (name != kNoDevice) Say("device name: " + PrintableText(name));
}

void CConsoleFrontEnd::SaveSettings() {
    m_assembly.ApplySettings();
    if (!SaveSettingsFile(kSettingsFileName, m_settings, m_platform.files)) Say(kSaveFailed);
}

void CConsoleFrontEnd::SetTimer(unsigned id, unsigned milliseconds) {
    KillTimer(id);
    // A window's timer repeats until it is killed; the dialog's logic kills its one-shots.
    m_timers[id] = m_platform.timers.StartOnce(milliseconds, [this, id, milliseconds] {
        m_timers.erase(id);
        SetTimer(id, milliseconds);
        m_logic.OnTimer(id);
    });
}

void CConsoleFrontEnd::KillTimer(unsigned id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end()) return;
    m_platform.timers.Cancel(it->second);
    m_timers.erase(it);
}

std::string CConsoleFrontEnd::GetDefaultServerName() {
    return m_platform.system.UserName();
}
