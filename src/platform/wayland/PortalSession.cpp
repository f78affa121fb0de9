#include "platform/wayland/PortalSession.h"

#include <fstream>
#include <utility>

#include "platform/FileSystem.h"

namespace {

constexpr char kPortal[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kRemoteDesktop[] = "org.freedesktop.portal.RemoteDesktop";
constexpr char kRequest[] = "org.freedesktop.portal.Request";
constexpr char kSession[] = "org.freedesktop.portal.Session";

// Permissions persist until the user revokes them.
constexpr uint32_t kPersistUntilRevoked = 2;
// Restore tokens and persistence came with the interface's second version.
constexpr uint32_t kPersistenceVersion = 2;
constexpr uint32_t kResponseCancelled = 1;
// A desktop's token is a UUID; anything far longer in the file isn't one.
constexpr std::streamsize kMaxToken = 512;
// What a wheel click scrolls when the portal takes only smooth scrolling, as libinput
// reports a click.
constexpr double kSmoothClick = 10.0;
// Calls that wait while the desktop is slow to answer; beyond them presses and motions are
// dropped, releases never (a key left down would repeat).
constexpr size_t kMaxWaiting = 1024;
constexpr char kMotion[] = "NotifyPointerMotion";
constexpr char kAxisDiscrete[] = "NotifyPointerAxisDiscrete";

// The call's reply, or null and why not; false when the call was cancelled, since its session
// may be gone then.
bool FinishCall(GObject* source, GAsyncResult* result, GVariant** reply, std::string* failure) {
    GError* error = nullptr;
    *reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (!error) return true;
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    *failure = error->message;
    g_error_free(error);
    return !cancelled;
}

bool TokenCharacter(char c) {
    return c > ' ' && c < 0x7F;
}

const char* MethodOf(int step) {
    static const char* const kNames[] = {"", "CreateSession", "SelectDevices", "Start"};
    return kNames[step];
}

// A string result, whether the portal sent it as a string or as an object path.
GVariant* NoOptions() {
    return g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0);
}

std::string StringResult(GVariant* results, const char* key) {
    g_autoptr(GVariant) value = g_variant_lookup_value(results, key, nullptr);
    if (!value) return std::string();
    if (!g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) &&
        !g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH)) {
        return std::string();
    }
    return g_variant_get_string(value, nullptr);
}

}  // namespace

CPortalSession::CPortalSession(GDBusConnection* connection, IFileSystem& files,
                               std::string tokenFile, StateCallback onState)
    : m_cancellable(g_cancellable_new()),
      m_files(files),
      m_tokenFile(std::move(tokenFile)),
      m_onState(std::move(onState)) {
    // Start() says so when there is no session bus.
    m_connection.reset(connection ? G_DBUS_CONNECTION(g_object_ref(connection))
                                  : g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
}

CPortalSession::~CPortalSession() {
    Stop();
}

bool CPortalSession::Start() {
    if (m_begun) return false;
    m_begun = true;
    const char* unique =
        m_connection ? g_dbus_connection_get_unique_name(m_connection.get()) : nullptr;
    if (!unique) {
        End(PortalState::Unavailable, "no session bus to reach the desktop portal on");
        return false;
    }
    // Request handles carry the caller's name without its colon and with its dots as
    // underscores.
    m_sender = unique + (unique[0] == ':' ? 1 : 0);
    for (char& c : m_sender) {
        if (c == '.') c = '_';
    }
    g_dbus_connection_call(
        m_connection.get(), kPortal, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", kRemoteDesktop, "version"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, -1, m_cancellable.get(), &CPortalSession::OnVersion, this);
    Report(PortalState::Starting, "asking the desktop to allow remote input");
    return true;
}

void CPortalSession::Stop() {
    m_ended = true;
    g_cancellable_cancel(m_cancellable.get());
    Unsubscribe(&m_responseSubscription);
    Unsubscribe(&m_closedSubscription);
    std::string session;
    std::deque<Notification> waiting;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_devices = 0;
        session.swap(m_session);
        waiting.swap(m_outbox);
        m_sending = nullptr;
    }
    if (session.empty() || !m_connection) return;
    // The last input, releases above all, goes before the session closes.
    for (const Notification& notification : waiting) {
        g_dbus_connection_call(m_connection.get(), kPortal, kPortalPath, kRemoteDesktop,
                               notification.method, ParametersOf(notification, session), nullptr,
                               G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    }
    g_dbus_connection_call(m_connection.get(), kPortal, session.c_str(), kSession, "Close", nullptr,
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    // Out before the connection may go with the caller's last reference.
    g_dbus_connection_flush_sync(m_connection.get(), nullptr, nullptr);
}

void CPortalSession::OnVersion(GObject* source, GAsyncResult* result, gpointer self) {
    GVariant* answer = nullptr;
    std::string failure;
    if (!FinishCall(source, result, &answer, &failure)) return;
    g_autoptr(GVariant) reply = answer;
    auto* session = static_cast<CPortalSession*>(self);
    if (!reply) {
        session->End(PortalState::Unavailable,
                     "no desktop portal for remote input answers: " + failure);
        return;
    }
    g_autoptr(GVariant) value = nullptr;
    g_variant_get(reply, "(v)", &value);
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32))
        session->m_version = g_variant_get_uint32(value);
    session->Request(Step::CreateSession, [session](const std::string& token) {
        GVariantBuilder options;
        g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&options, "{sv}", "handle_token",
                              g_variant_new_string(token.c_str()));
        g_variant_builder_add(&options, "{sv}", "session_handle_token",
                              g_variant_new_string(session->NewToken().c_str()));
        return g_variant_new("(a{sv})", &options);
    });
}

std::string CPortalSession::NewToken() {
    return "tavrix" + std::to_string(g_random_int()) + "_" + std::to_string(++m_nextToken);
}

void CPortalSession::Request(Step step,
                             const std::function<GVariant*(const std::string& token)>& build) {
    const std::string token = NewToken();
    // Subscribed first: the desktop may answer before the call returns.
    WatchRequest(std::string(kPortalPath) + "/request/" + m_sender + "/" + token);
    m_step = step;
    g_dbus_connection_call(
        m_connection.get(), kPortal, kPortalPath, kRemoteDesktop, MethodOf(static_cast<int>(step)),
        build(token), G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, -1, m_cancellable.get(),
        &CPortalSession::OnRequestCalled,
        std::make_unique<PendingRequest>(PendingRequest{this, m_requestPath}).release());
}

void CPortalSession::WatchRequest(const std::string& path) {
    Unsubscribe(&m_responseSubscription);
    m_requestPath = path;
    m_responseSubscription = g_dbus_connection_signal_subscribe(
        m_connection.get(), kPortal, kRequest, "Response", path.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, &CPortalSession::OnResponse, this, nullptr);
}

void CPortalSession::OnRequestCalled(GObject* source, GAsyncResult* result, gpointer data) {
    const std::unique_ptr<PendingRequest> pending(static_cast<PendingRequest*>(data));
    GVariant* answer = nullptr;
    std::string failure;
    if (!FinishCall(source, result, &answer, &failure)) return;
    g_autoptr(GVariant) reply = answer;
    CPortalSession* session = pending->session;
    if (!reply) {
        session->End(PortalState::Unavailable,
                     std::string("the desktop portal failed remote input (") +
                         MethodOf(static_cast<int>(session->m_step)) + "): " + failure);
        return;
    }
    const char* handle = nullptr;
    g_variant_get(reply, "(&o)", &handle);
    // An older portal names the request otherwise; its answer can't have come yet then. The
    // answer to the predicted name may have come already, and the next request begun.
    if (pending->predicted != handle && session->m_requestPath == pending->predicted)
        session->WatchRequest(handle);
}

void CPortalSession::OnResponse(GDBusConnection*, const char*, const char*, const char*,
                                const char*, GVariant* parameters, gpointer self) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) return;
    auto* session = static_cast<CPortalSession*>(self);
    guint32 response = 0;
    g_autoptr(GVariant) results = nullptr;
    g_variant_get(parameters, "(u@a{sv})", &response, &results);
    session->Unsubscribe(&session->m_responseSubscription);
    if (response == kResponseCancelled) {
        session->End(PortalState::Refused, "the desktop refused remote input: the user declined");
        return;
    }
    if (response != 0) {
        session->End(PortalState::Unavailable,
                     std::string("the desktop portal could not start remote input (") +
                         MethodOf(static_cast<int>(session->m_step)) + " ended with " +
                         std::to_string(response) + ")");
        return;
    }
    switch (session->m_step) {
        case Step::CreateSession:
            session->SessionCreated(results);
            break;
        case Step::SelectDevices:
            session->Request(Step::Start, [session](const std::string& token) {
                GVariantBuilder options;
                g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
                g_variant_builder_add(&options, "{sv}", "handle_token",
                                      g_variant_new_string(token.c_str()));
                return g_variant_new("(osa{sv})", session->m_session.c_str(), "", &options);
            });
            break;
        case Step::Start:
            session->Started(results);
            break;
        case Step::None:
            break;
    }
}

void CPortalSession::SessionCreated(GVariant* results) {
    const std::string handle = StringResult(results, "session_handle");
    if (!g_variant_is_object_path(handle.c_str())) {
        End(PortalState::Unavailable, "the desktop portal gave no remote input session");
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_session = handle;
    }
    m_closedSubscription = g_dbus_connection_signal_subscribe(
        m_connection.get(), kPortal, kSession, "Closed", handle.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, &CPortalSession::OnClosed, this, nullptr);
    const std::string restore = m_version >= kPersistenceVersion ? ReadToken() : std::string();
    Request(Step::SelectDevices, [this, &handle, &restore](const std::string& token) {
        GVariantBuilder options;
        g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&options, "{sv}", "handle_token",
                              g_variant_new_string(token.c_str()));
        g_variant_builder_add(&options, "{sv}", "types",
                              g_variant_new_uint32(kKeyboard | kPointer));
        if (m_version >= kPersistenceVersion) {
            g_variant_builder_add(&options, "{sv}", "persist_mode",
                                  g_variant_new_uint32(kPersistUntilRevoked));
            if (!restore.empty()) {
                g_variant_builder_add(&options, "{sv}", "restore_token",
                                      g_variant_new_string(restore.c_str()));
            }
        }
        return g_variant_new("(oa{sv})", handle.c_str(), &options);
    });
}

void CPortalSession::Started(GVariant* results) {
    uint32_t devices = 0;
    g_variant_lookup(results, "devices", "u", &devices);
    devices &= kKeyboard | kPointer;
    if (devices == 0) {
        End(PortalState::Refused, "the desktop refused remote input: no keyboard or pointer");
        return;
    }
    std::string saved;
    if (m_version >= kPersistenceVersion) {
        // The token is good for one start: the next start needs the one this start gave.
        const std::string token = StringResult(results, "restore_token");
        if (!token.empty() && !m_files.WritePrivateFile(m_tokenFile, token)) {
            saved = "; the permission could not be saved in " + m_tokenFile;
        }
    }
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_devices = devices;
    }
    const char* which = devices == (kKeyboard | kPointer) ? "keyboard and pointer"
                        : devices == kKeyboard            ? "keyboard only"
                                                          : "pointer only";
    Report(PortalState::Started, std::string("the desktop allowed remote input: ") + which + saved);
}

void CPortalSession::OnClosed(GDBusConnection*, const char*, const char*, const char*, const char*,
                              GVariant*, gpointer self) {
    auto* session = static_cast<CPortalSession*>(self);
    {
        // Already gone: nothing to close.
        const std::lock_guard<std::mutex> lock(session->m_lock);
        session->m_session.clear();
    }
    session->End(PortalState::Closed, "the desktop closed the remote input session");
}

void CPortalSession::Report(PortalState state, const std::string& text) {
    const unsigned bit = 1u << static_cast<unsigned>(state);
    if (m_ended || (m_said & bit)) return;
    m_said |= bit;
    if (m_onState) m_onState(state, text);
}

// The last thing a handler does: the callback may end the session's owner.
void CPortalSession::End(PortalState state, const std::string& text) {
    const bool say = !m_ended;
    Stop();
    if (say && m_onState) m_onState(state, text);
}

void CPortalSession::Unsubscribe(guint* subscription) {
    if (*subscription == 0 || !m_connection) return;
    g_dbus_connection_signal_unsubscribe(m_connection.get(), *subscription);
    *subscription = 0;
}

std::string CPortalSession::ReadToken() const {
    std::ifstream in(m_tokenFile, std::ios::binary);
    char buffer[kMaxToken];
    in.read(buffer, kMaxToken);
    std::string token(buffer, static_cast<size_t>(in.gcount()));
    while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) token.pop_back();
    for (const char c : token) {
        if (!TokenCharacter(c)) return std::string();
    }
    return token.size() < static_cast<size_t>(kMaxToken) ? token : std::string();
}

std::string CPortalSession::SessionFor(uint32_t device) {
    const std::lock_guard<std::mutex> lock(m_lock);
    return (m_devices & device) ? m_session : std::string();
}

CPortalSession::Notification CPortalSession::Made(const char* method, GVariant* parameters,
                                                  bool release) {
    return {method, std::shared_ptr<GVariant>(g_variant_ref_sink(parameters), g_variant_unref),
            release, 0.0, 0.0};
}

void CPortalSession::Send(Notification notification) {
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (m_session.empty()) return;
        if (notification.method == kMotion && !m_outbox.empty() &&
            m_outbox.back().method == kMotion) {
            m_outbox.back().dx += notification.dx;
            m_outbox.back().dy += notification.dy;
            return;
        }
        if (m_outbox.size() >= kMaxWaiting && !notification.release) return;
        m_outbox.push_back(std::move(notification));
        if (m_sending) return;
        m_sending = m_outbox.front().method;
    }
    SendNext();
}

void CPortalSession::SendNext() {
    GVariant* parameters = nullptr;
    const char* method = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (m_outbox.empty()) {
            m_sending = nullptr;
            return;
        }
        method = m_sending = m_outbox.front().method;
        parameters = ParametersOf(m_outbox.front(), m_session);
        m_outbox.pop_front();
    }
    g_dbus_connection_call(m_connection.get(), kPortal, kPortalPath, kRemoteDesktop, method,
                           parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, m_cancellable.get(),
                           &CPortalSession::OnNotified, this);
}

GVariant* CPortalSession::ParametersOf(const Notification& notification,
                                       const std::string& session) {
    if (notification.parameters) return g_variant_ref(notification.parameters.get());
    return g_variant_new("(o@a{sv}dd)", session.c_str(), NoOptions(), notification.dx,
                         notification.dy);
}

void CPortalSession::OnNotified(GObject* source, GAsyncResult* result, gpointer self) {
    GVariant* answer = nullptr;
    std::string failure;
    if (!FinishCall(source, result, &answer, &failure)) return;
    g_autoptr(GVariant) reply = answer;
    auto* session = static_cast<CPortalSession*>(self);
    bool discrete = false;
    {
        const std::lock_guard<std::mutex> lock(session->m_lock);
        discrete = session->m_sending == kAxisDiscrete;
    }
    if (!reply && discrete) session->m_smoothWheel = true;
    session->SendNext();
}

bool CPortalSession::Sending() {
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_sending != nullptr;
}

// A button's or key's press or release: the calls for them take its code and state alike.
void CPortalSession::NotifyPress(uint32_t device, const char* method, int32_t code, bool pressed) {
    const std::string session = SessionFor(device);
    if (session.empty()) return;
    Send(Made(method,
              g_variant_new("(o@a{sv}iu)", session.c_str(), NoOptions(), code, pressed ? 1u : 0u),
              !pressed));
}

void CPortalSession::NotifyPointerMotion(double dx, double dy) {
    if (SessionFor(kPointer).empty()) return;
    Send(Notification{kMotion, nullptr, false, dx, dy});
}

void CPortalSession::NotifyPointerMotionAbsolute(uint32_t, double, double) {
    // Absolute positions are relative to a stream, and this session asks for none.
}

void CPortalSession::NotifyPointerButton(int32_t button, bool pressed) {
    NotifyPress(kPointer, "NotifyPointerButton", button, pressed);
}

void CPortalSession::NotifyPointerAxisDiscrete(uint32_t axis, int32_t steps) {
    if (m_smoothWheel) {
        const double distance = steps * kSmoothClick;
        NotifyPointerAxis(axis == 0 ? 0.0 : distance, axis == 0 ? distance : 0.0);
        return;
    }
    const std::string session = SessionFor(kPointer);
    if (session.empty()) return;
    Send(Made(kAxisDiscrete,
              g_variant_new("(o@a{sv}ui)", session.c_str(), NoOptions(), axis, steps)));
}

void CPortalSession::NotifyPointerAxis(double dx, double dy) {
    const std::string session = SessionFor(kPointer);
    if (session.empty()) return;
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    // Each turn is whole: the scroll ends with it.
    g_variant_builder_add(&options, "{sv}", "finish", g_variant_new_boolean(TRUE));
    Send(Made("NotifyPointerAxis", g_variant_new("(oa{sv}dd)", session.c_str(), &options, dx, dy)));
}

void CPortalSession::NotifyKeyboardKeysym(int32_t keysym, bool pressed) {
    NotifyPress(kKeyboard, "NotifyKeyboardKeysym", keysym, pressed);
}

void CPortalSession::NotifyKeyboardKeycode(int32_t keycode, bool pressed) {
    NotifyPress(kKeyboard, "NotifyKeyboardKeycode", keycode, pressed);
}
