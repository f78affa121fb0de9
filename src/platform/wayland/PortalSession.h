#pragma once
#include <gio/gio.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class IFileSystem;

enum class PortalState { Starting, Started, Refused, Closed, Unavailable };

// One remote-desktop session of the desktop portal (org.freedesktop.portal.RemoteDesktop), the
// route to the keyboard and pointer that GNOME and KDE offer on Wayland. Start() asks for them
// without blocking the main loop while the user answers the desktop's dialog; the state
// callback then tells, on the main loop's thread, once each: Starting, then Started, or
// Refused (the user said no), Unavailable (no portal, or it failed) or, later, Closed (the
// desktop ended the session). The Notify* calls may come from any thread; they are dropped
// unless the session is started and the desktop granted their device. They reach the
// desktop one after the other, each once the last is answered: the portal may handle calls
// that arrive together on threads of its own, and a click must not become a release before
// its press. Motions that wait meanwhile are added together.
class CPortalSession {
public:
    using StateCallback = std::function<void(PortalState, const std::string& text)>;

    // The portal's device types, as SelectDevices and Start's "devices" number them.
    static constexpr uint32_t kKeyboard = 1;
    static constexpr uint32_t kPointer = 2;

    // On the given connection (a private bus in tests), or on the session bus when it is null.
    // tokenFile keeps the desktop's restore token between runs, so that a desktop that
    // allowed remote input once need not ask again; files writes it readable by the owner only.
    CPortalSession(GDBusConnection* connection, IFileSystem& files, std::string tokenFile,
                   StateCallback onState);
    // Closes the session; says nothing more through the callback.
    ~CPortalSession();
    CPortalSession(const CPortalSession&) = delete;
    CPortalSession& operator=(const CPortalSession&) = delete;

    // Begins asking for the keyboard and pointer; once per session object (false then, or
    // when no bus was reached, which the callback says as Unavailable).
    bool Start();
    // Closes the session and ends every subscription; input is dropped from then on.
    void Stop();

    // Pointer motion in logical pixels, relative to where it is.
    void NotifyPointerMotion(double dx, double dy);
    // Only with a screen-cast stream, which this session doesn't ask for: dropped without.
    void NotifyPointerMotionAbsolute(uint32_t stream, double x, double y);
    // A Linux input button code (BTN_LEFT ...).
    void NotifyPointerButton(int32_t button, bool pressed);
    // Wheel clicks on axis 0 (vertical) or 1 (horizontal); positive is toward the user. A
    // portal that rejects discrete steps gets smooth scrolling from then on.
    void NotifyPointerAxisDiscrete(uint32_t axis, int32_t steps);
    void NotifyPointerAxis(double dx, double dy);
    void NotifyKeyboardKeysym(int32_t keysym, bool pressed);
    // A Linux input key code (KEY_ENTER ...).
    void NotifyKeyboardKeycode(int32_t keycode, bool pressed);
    // Whether input is still on its way to the desktop.
    bool Sending();

private:
    enum class Step { None, CreateSession, SelectDevices, Start };

    static void OnVersion(GObject* source, GAsyncResult* result, gpointer self);
    // A request's call on its way: the reply tells whether the request has the name
    // predicted for it.
    struct PendingRequest {
        CPortalSession* session;
        std::string predicted;
    };
    static void OnRequestCalled(GObject* source, GAsyncResult* result, gpointer data);
    static void OnResponse(GDBusConnection*, const char*, const char*, const char*, const char*,
                           GVariant* parameters, gpointer self);
    static void OnClosed(GDBusConnection*, const char*, const char*, const char*, const char*,
                         GVariant*, gpointer self);
    static void OnNotified(GObject* source, GAsyncResult* result, gpointer self);

    // Subscribes to the Response of the request that the step's call will make with a new
    // handle_token, then makes the call with the parameters build makes from that token.
    void Request(Step step, const std::function<GVariant*(const std::string& token)>& build);
    std::string NewToken();
    void WatchRequest(const std::string& path);
    void SessionCreated(GVariant* results);
    void Started(GVariant* results);
    void Report(PortalState state, const std::string& text);
    void End(PortalState state, const std::string& text);
    void Unsubscribe(guint* subscription);
    // The session's handle when the desktop granted the device; empty otherwise.
    std::string SessionFor(uint32_t device);
    void NotifyPress(uint32_t device, const char* method, int32_t code, bool pressed);
    // One Notify* call waiting its turn; a motion's parameters are made when it goes.
    struct Notification {
        const char* method;
        std::shared_ptr<GVariant> parameters;
        bool release;
        double dx;
        double dy;
    };
    // A call with its parameters made now.
    static Notification Made(const char* method, GVariant* parameters, bool release = false);
    void Send(Notification notification);
    // Sends the next waiting call, or notes that none is on its way.
    void SendNext();
    static GVariant* ParametersOf(const Notification& notification, const std::string& session);
    std::string ReadToken() const;

    struct Unref {
        void operator()(gpointer object) const { g_object_unref(object); }
    };
    std::unique_ptr<GDBusConnection, Unref> m_connection;
    std::unique_ptr<GCancellable, Unref> m_cancellable;
    IFileSystem& m_files;
    const std::string m_tokenFile;
    StateCallback m_onState;
    // The rest belongs to the main loop's thread but what the lock guards.
    std::string m_sender;
    uint32_t m_version = 0;
    bool m_begun = false;
    bool m_ended = false;
    unsigned m_said = 0;
    Step m_step = Step::None;
    std::string m_requestPath;
    guint m_responseSubscription = 0;
    guint m_closedSubscription = 0;
    unsigned m_nextToken = 0;
    std::mutex m_lock;
    std::string m_session;   // guarded
    uint32_t m_devices = 0;  // guarded; nonzero once started
    std::atomic<bool> m_smoothWheel{false};
    std::deque<Notification> m_outbox;  // guarded
    const char* m_sending = nullptr;    // guarded: the method on its way, if any
};
