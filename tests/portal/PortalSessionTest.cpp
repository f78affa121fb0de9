#include <gio/gio.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/wayland/PortalInput.h"
#include "platform/wayland/PortalSession.h"
#include "platform/wayland/WaylandKeymap.h"
#include "platform/x11/X11Services.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// A child process with its output on a pipe; stopped and reaped by its pid.
class Child {
public:
    Child(std::vector<std::string> argv, bool quiet) {
        std::vector<char*> args;
        for (std::string& arg : argv) args.push_back(&arg[0]);
        args.push_back(nullptr);
        const auto flags = static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD |
                                                    (quiet ? G_SPAWN_STDERR_TO_DEV_NULL : 0));
        if (!g_spawn_async_with_pipes(nullptr, args.data(), nullptr, flags, nullptr, nullptr,
                                      &m_pid, nullptr, &m_out, nullptr, nullptr)) {
            m_pid = 0;
        }
    }
    ~Child() {
        if (m_out >= 0) close(m_out);
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        const auto deadline = Clock::now() + milliseconds(3000);
        while (waitpid(m_pid, nullptr, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(milliseconds(10));
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The first line of its output, or "" when none comes within the time.
    std::string ReadLine(int timeoutMs) {
        std::string line;
        const auto deadline = Clock::now() + milliseconds(timeoutMs);
        while (m_out >= 0 && line.size() < 4096) {
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            pollfd ready{m_out, POLLIN, 0};
            char c = 0;
            if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0 ||
                read(m_out, &c, 1) != 1) {
                return std::string();
            }
            if (c == '\n') return line;
            line += c;
        }
        return std::string();
    }

private:
    GPid m_pid = 0;
    int m_out = -1;
};

struct Call {
    std::string method;
    // The arguments as GVariant text, the session's handle written S.
    std::string text;
    std::shared_ptr<GVariant> args;
    std::string Option(gsize index, const char* key) const {
        g_autoptr(GVariant) options = g_variant_get_child_value(args.get(), index);
        g_autoptr(GVariant) value = g_variant_lookup_value(options, key, nullptr);
        if (!value) return "none";
        g_autofree char* printed = g_variant_print(value, FALSE);
        return printed;
    }
};

class PortalSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = g_dir_make_tmp("tavrix_portal_XXXXXX", nullptr);
        ASSERT_FALSE(m_dir.empty());
        m_token = m_dir + "/portal-token";
        // A bus of the test's own: nothing on it but what the test starts.
        std::ofstream(m_dir + "/bus.conf")
            << "<busconfig><type>session</type><listen>unix:dir=" << m_dir
            << "</listen><policy context='default'><allow user='*'/>"
               "<allow send_destination='*'/><allow receive_sender='*'/>"
               "<allow own='*'/></policy></busconfig>";
        m_bus = std::make_unique<Child>(
            std::vector<std::string>{TAVRIX_DBUS_DAEMON, "--config-file=" + m_dir + "/bus.conf",
                                     "--print-address", "--nofork"},
            true);
        m_address = m_bus->ReadLine(5000);
        ASSERT_FALSE(m_address.empty()) << "dbus-daemon gave no address";
        m_connection = g_dbus_connection_new_for_address_sync(
            m_address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        ASSERT_NE(m_connection, nullptr);
    }

    void TearDown() override {
        m_session.reset();
        m_desktopPortal.reset();
        m_store.reset();
        m_portal.reset();
        if (m_connection) g_object_unref(m_connection);
        m_bus.reset();
        std::filesystem::remove_all(m_dir);
    }

    void StartPortal(std::vector<std::string> options = {}) {
        std::vector<std::string> argv{TAVRIX_PYTHON, TAVRIX_PORTAL_STANDIN, "--address", m_address};
        argv.insert(argv.end(), options.begin(), options.end());
        m_portal = std::make_unique<Child>(argv, false);
        ASSERT_EQ(m_portal->ReadLine(15000), "ready");
    }

    // xdg-desktop-portal itself, as GNOME and KDE run it, with the stand-in as the desktop's
    // back end and the permission store it keeps restore tokens in. False where they are
    // not installed.
    bool StartDesktopPortal() {
        const std::string portal = "/usr/libexec/xdg-desktop-portal";
        const std::string store = "/usr/libexec/xdg-permission-store";
        if (access(portal.c_str(), X_OK) != 0 || access(store.c_str(), X_OK) != 0) return false;
        std::filesystem::create_directories(m_dir + "/portals");
        std::ofstream(m_dir + "/portals/tavrix.portal")
            << "[portal]\nDBusName=" << kBackEnd
            << "\nInterfaces=org.freedesktop.impl.portal.RemoteDesktop;\nUseIn=tavrix\n";
        StartPortal({"--backend"});
        m_standIn = kBackEnd;
        const std::vector<std::string> environment{"/usr/bin/env",
                                                   "-i",
                                                   "PATH=/usr/bin:/bin",
                                                   "DBUS_SESSION_BUS_ADDRESS=" + m_address,
                                                   "HOME=" + m_dir,
                                                   "XDG_DATA_HOME=" + m_dir + "/data",
                                                   "XDG_CURRENT_DESKTOP=tavrix",
                                                   "XDG_DESKTOP_PORTAL_DIR=" + m_dir + "/portals"};
        auto command = [&](const std::string& program) {
            std::vector<std::string> argv = environment;
            argv.push_back(program);
            return argv;
        };
        m_store = std::make_unique<Child>(command(store), true);
        EXPECT_TRUE(WaitForName("org.freedesktop.impl.portal.PermissionStore"));
        m_desktopPortal = std::make_unique<Child>(command(portal), true);
        EXPECT_TRUE(WaitForName("org.freedesktop.portal.Desktop"));
        return true;
    }

    bool WaitForName(const char* name) {
        const auto deadline = Clock::now() + milliseconds(10000);
        while (Clock::now() < deadline) {
            g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
                m_connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name),
                G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
            gboolean owned = FALSE;
            if (reply) g_variant_get(reply, "(b)", &owned);
            if (owned) return true;
            std::this_thread::sleep_for(milliseconds(20));
        }
        return false;
    }

    CPortalSession& NewSession() {
        m_session.reset();
        m_states.clear();
        m_session = std::make_unique<CPortalSession>(
            m_connection, m_files, m_token,
            [this](PortalState state, const std::string&) { m_states.push_back(state); });
        return *m_session;
    }

    // Runs the main loop until done holds, for 10 seconds at the most.
    bool WaitFor(const std::function<bool()>& done) {
        bool late = false;
        const guint timer = g_timeout_add(
            10000,
            [](gpointer flag) {
                *static_cast<bool*>(flag) = true;
                return G_SOURCE_REMOVE;
            },
            &late);
        while (!done() && !late) g_main_context_iteration(nullptr, TRUE);
        if (!late) g_source_remove(timer);
        return done();
    }

    bool WaitForState(PortalState state) {
        return WaitFor(
            [&] { return std::find(m_states.begin(), m_states.end(), state) != m_states.end(); });
    }

    void StartSession() {
        ASSERT_TRUE(NewSession().Start());
        ASSERT_TRUE(WaitForState(PortalState::Started));
    }

    // Everything the portal was called with, in order. The calls of the session share this
    // connection, so the portal has had them all before it answers this one.
    std::vector<Call> Calls() {
        if (m_session) {
            EXPECT_TRUE(WaitFor([this] { return !m_session->Sending(); }));
        }
        std::vector<Call> calls;
        g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
            m_connection, m_standIn, "/org/freedesktop/portal/desktop", "org.tavrix.PortalStandIn",
            "Calls", nullptr, G_VARIANT_TYPE("(a(sv))"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
            nullptr);
        if (!reply) return calls;
        g_autoptr(GVariantIter) iter = nullptr;
        g_variant_get(reply, "(a(sv))", &iter);
        const char* method = nullptr;
        GVariant* args = nullptr;
        std::string session;
        while (g_variant_iter_next(iter, "(&sv)", &method, &args)) {
            Call call{method, "", std::shared_ptr<GVariant>(args, g_variant_unref)};
            g_autofree char* printed = g_variant_print(args, FALSE);
            call.text = printed;
            if (call.method == "SelectDevices") {
                g_autoptr(GVariant) handle = g_variant_get_child_value(args, 0);
                g_autofree char* printed_handle = g_variant_print(handle, FALSE);
                session = printed_handle;
            }
            for (size_t at;
                 !session.empty() && (at = call.text.find(session)) != std::string::npos;)
                call.text.replace(at, session.size(), "S");
            calls.push_back(call);
        }
        return calls;
    }

    static std::vector<std::string> Methods(const std::vector<Call>& calls) {
        std::vector<std::string> methods;
        for (const Call& call : calls) methods.push_back(call.method);
        return methods;
    }

    std::string TokenFile() const {
        std::ifstream in(m_token);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    unsigned TokenMode() const {
        struct stat info {};
        return stat(m_token.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
    }

    std::string m_dir;
    std::string m_token;
    std::string m_address;
    std::unique_ptr<Child> m_bus;
    std::unique_ptr<Child> m_portal;
    std::unique_ptr<Child> m_store;
    std::unique_ptr<Child> m_desktopPortal;
    static constexpr const char* kBackEnd = "org.freedesktop.impl.portal.desktop.tavrix";
    const char* m_standIn = "org.freedesktop.portal.Desktop";
    GDBusConnection* m_connection = nullptr;
    X11FileSystem m_files;
    X11AnsiCodePage m_codePage;
    std::unique_ptr<CPortalSession> m_session;
    std::vector<PortalState> m_states;
};

using States = std::vector<PortalState>;
using Strings = std::vector<std::string>;

// A move, a click, two wheel clicks, a character and a named key, and what the portal is
// told of them.
void DriveInput(CPortalPointer& pointer, CPortalKeyboard& keyboard) {
    pointer.MoveBy(5, -3);
    pointer.Press(Button::Left);
    pointer.Release(Button::Left);
    pointer.TurnWheelAt({9, 4}, 2 * 120);
    const CharacterKey a = keyboard.KeyForCharacter('a');
    keyboard.KeyDown(a.key);
    keyboard.KeyUp(a.key);
    keyboard.KeyDown(Key::Named(NamedKey::Enter));
    keyboard.KeyUp(Key::Named(NamedKey::Enter));
}
const Strings kDriven{"CreateSession",
                      "SelectDevices",
                      "Start",
                      "NotifyPointerMotion",
                      "NotifyPointerButton",
                      "NotifyPointerButton",
                      "NotifyPointerMotion",
                      "NotifyPointerAxisDiscrete",
                      "NotifyKeyboardKeysym",
                      "NotifyKeyboardKeysym",
                      "NotifyKeyboardKeycode",
                      "NotifyKeyboardKeycode"};
const Strings kDrivenArguments{"(S, {}, 5.0, -3.0)", "(S, {}, 272, 1)", "(S, {}, 272, 0)",
                               "(S, {}, 4.0, 4.0)",  "(S, {}, 0, -2)",  "(S, {}, 97, 1)",
                               "(S, {}, 97, 0)",     "(S, {}, 28, 1)",  "(S, {}, 28, 0)"};

TEST_F(PortalSessionTest, AsksForKeyboardAndPointerThenForwardsInput) {
    StartPortal();
    CPortalSession& session = NewSession();
    CPortalPointer pointer(session);
    CPortalKeyboard keyboard(session, m_codePage);
    ASSERT_TRUE(session.Start());
    EXPECT_FALSE(session.Start());
    // Before the desktop's answer: dropped.
    keyboard.KeyDown(Key::Named(NamedKey::Escape));
    ASSERT_TRUE(WaitForState(PortalState::Started));
    DriveInput(pointer, keyboard);

    const std::vector<Call> calls = Calls();
    ASSERT_EQ(Methods(calls), kDriven);
    EXPECT_NE(calls[0].Option(0, "handle_token"), "none");
    EXPECT_NE(calls[0].Option(0, "session_handle_token"), "none");
    EXPECT_EQ(calls[1].Option(1, "types"), "3");
    EXPECT_EQ(calls[1].Option(1, "persist_mode"), "2");
    EXPECT_EQ(calls[1].Option(1, "restore_token"), "none");
    EXPECT_EQ(calls[2].text.substr(0, 7), "(S, '',");
    for (size_t i = 0; i < kDrivenArguments.size(); ++i)
        EXPECT_EQ(calls[i + 3].text, kDrivenArguments[i]);
    EXPECT_EQ(m_states, (States{PortalState::Starting, PortalState::Started}));
}

// Through the desktop's own portal, which handles calls on threads of its own and answers
// requests after its reply: the calls reach the desktop in the order made, clicks in a row
// included.
TEST_F(PortalSessionTest, TheDesktopsOwnPortalPassesInputOnInOrder) {
    if (!StartDesktopPortal()) GTEST_SKIP() << "xdg-desktop-portal is not installed";
    CPortalSession& session = NewSession();
    CPortalPointer pointer(session);
    CPortalKeyboard keyboard(session, m_codePage);
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(WaitForState(PortalState::Started));
    DriveInput(pointer, keyboard);
    constexpr size_t kClicks = 20;
    for (size_t i = 0; i < kClicks; ++i) {
        pointer.Press(Button::Left);
        pointer.Release(Button::Left);
    }

    const std::vector<Call> calls = Calls();
    ASSERT_EQ(calls.size(), kDriven.size() + 2 * kClicks);
    EXPECT_EQ(Methods(std::vector<Call>(calls.begin(), calls.begin() + kDriven.size())), kDriven);
    for (size_t i = 0; i < kDrivenArguments.size(); ++i)
        EXPECT_EQ(calls[i + 3].text, kDrivenArguments[i]);
    for (size_t i = 0; i < 2 * kClicks; ++i)
        EXPECT_EQ(calls[kDriven.size() + i].text, i % 2 ? "(S, {}, 272, 0)" : "(S, {}, 272, 1)");
}

TEST_F(PortalSessionTest, PointerReckonsItsPositionAndReleasesHeldExtraButtons) {
    StartPortal();
    StartSession();
    CPortalPointer pointer(*m_session);
    pointer.MoveTo({10, 20});
    pointer.MoveTo({-5, 20});  // stops at the edge
    EXPECT_EQ(pointer.Position().x, 0);
    EXPECT_EQ(pointer.Position().y, 20);
    pointer.Press(Button::Extra);
    // The second X button's press, as the raw word names it.
    EXPECT_EQ(pointer.SendRawButtonWord(0x00020080).pressed, ButtonBit(Button::Extra));
    pointer.Release(Button::Extra);
    pointer.TurnWheelAt({0, 20}, 60);  // half a click: nothing yet

    const std::vector<Call> calls = Calls();
    ASSERT_EQ(calls.size(), 9u);
    const Strings expected{"(S, {}, 10.0, 20.0)", "(S, {}, -10.0, 0.0)", "(S, {}, 275, 1)",
                           "(S, {}, 276, 1)",     "(S, {}, 275, 0)",     "(S, {}, 276, 0)"};
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(calls[i + 3].text, expected[i]);
}

TEST_F(PortalSessionTest, KeyboardAnswersCharactersByKeysymAndNamedKeys) {
    StartPortal();
    CPortalKeyboard keyboard(NewSession(), m_codePage);
    const CharacterKey enter = keyboard.KeyForCharacter('\n');
    EXPECT_TRUE(enter.producible && enter.key.Is(NamedKey::Enter));
    const CharacterKey euro = keyboard.KeyForCharacter('\x80');
    EXPECT_TRUE(euro.producible && !euro.shift);
    EXPECT_EQ(euro.key.layoutCode, 0x20ACu);
    const CharacterKey upper = keyboard.KeyForCharacter('Q');
    EXPECT_EQ(upper.key.layoutCode, static_cast<uint32_t>('Q'));
    EXPECT_FALSE(upper.shift);
    const CharacterKey controlC = keyboard.KeyForCharacter('\x03');
    EXPECT_TRUE(controlC.producible && controlC.control);
    EXPECT_EQ(controlC.key.layoutCode, static_cast<uint32_t>('c'));
    EXPECT_FALSE(keyboard.KeyForCharacter('\x81').producible);  // no character in the code page
}

// The keymap text of a layout, as a seat's keyboard announces it.
std::string KeymapText(const char* layout) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{nullptr, nullptr, layout, nullptr, nullptr};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    std::string result = text ? text : "";
    free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return result;
}

// The keyboard calls from the index on, one word each: a keysym as its character ("sp" for
// the space), a key code after '#', then + or - for press or release.
std::string Strokes(const std::vector<Call>& calls, size_t from) {
    std::string words;
    for (size_t i = from; i < calls.size(); ++i) {
        g_autoptr(GVariant) code = g_variant_get_child_value(calls[i].args.get(), 2);
        g_autoptr(GVariant) state = g_variant_get_child_value(calls[i].args.get(), 3);
        const int32_t number = g_variant_get_int32(code);
        if (!words.empty()) words += ' ';
        if (calls[i].method == "NotifyKeyboardKeycode")
            words += '#' + std::to_string(number);
        else if (number == ' ')
            words += "sp";
        else
            words += static_cast<char>(number);
        words += g_variant_get_uint32(state) ? '+' : '-';
    }
    return words;
}

TEST_F(PortalSessionTest, CharactersTheDesktopsLayoutLacksGoAsUnicodeEntry) {
    StartPortal();
    StartSession();
    const CWaylandKeymap german(KeymapText("de"));
    ASSERT_TRUE(german.Usable());
    CPortalKeyboard keyboard(*m_session, m_codePage, &german);
    EXPECT_TRUE(keyboard.KeyForCharacter('\xE4').producible);   // a-umlaut: a key of its own
    EXPECT_TRUE(keyboard.KeyForCharacter('\x80').producible);   // the euro sign: AltGr+E
    EXPECT_FALSE(keyboard.KeyForCharacter('\xE9').producible);  // e-acute: a dead key and E
    // US English has its euro sign on a key above those X clients see; the desktop types it.
    const CWaylandKeymap us(KeymapText("us"));
    EXPECT_TRUE(CPortalKeyboard(*m_session, m_codePage, &us).KeyForCharacter('\x80').producible);
    keyboard.TypeUnmappedCharacter('\xE9');
    keyboard.TypeUnmappedCharacter('\x89');  // the per mille sign, U+2030
    keyboard.TypeUnmappedCharacter('\xE4');
    EXPECT_EQ(Strokes(Calls(), 3),
              "#29+ #42+ u+ u- #42- #29- e+ e- 9+ 9- sp+ sp- "
              "#29+ #42+ u+ u- #42- #29- 2+ 2- 0+ 0- 3+ 3- 0+ 0- sp+ sp- \xE4+ \xE4-");
}

TEST_F(PortalSessionTest, RefusalIsSaidOnceAndInputDropped) {
    StartPortal({"--refuse"});
    CPortalSession& session = NewSession();
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(WaitForState(PortalState::Refused));
    CPortalPointer(session).MoveBy(1, 1);
    CPortalKeyboard(session, m_codePage).TypeUnmappedCharacter('x');
    session.Stop();
    EXPECT_EQ(Methods(Calls()), (Strings{"CreateSession", "SelectDevices", "Start", "Close"}));
    EXPECT_EQ(m_states, (States{PortalState::Starting, PortalState::Refused}));
    EXPECT_EQ(TokenFile(), "");
}

TEST_F(PortalSessionTest, NoPortalIsUnavailable) {
    ASSERT_TRUE(NewSession().Start());
    ASSERT_TRUE(WaitForState(PortalState::Unavailable));
    EXPECT_EQ(m_states, (States{PortalState::Starting, PortalState::Unavailable}));
}

TEST_F(PortalSessionTest, SessionClosedByTheDesktopDropsLaterInput) {
    StartPortal();
    StartSession();
    g_autoptr(GVariant) closed = g_dbus_connection_call_sync(
        m_connection, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
        "org.tavrix.PortalStandIn", "CloseSessions", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000,
        nullptr, nullptr);
    ASSERT_TRUE(closed);
    ASSERT_TRUE(WaitForState(PortalState::Closed));
    CPortalPointer(*m_session).Press(Button::Left);
    // Gone already: nothing to close, nothing more to say.
    m_session->Stop();
    EXPECT_EQ(Methods(Calls()), (Strings{"CreateSession", "SelectDevices", "Start"}));
    EXPECT_EQ(m_states, (States{PortalState::Starting, PortalState::Started, PortalState::Closed}));
}

TEST_F(PortalSessionTest, GrantOfTheKeyboardAloneDropsPointerInput) {
    StartPortal({"--devices", "1"});
    StartSession();
    CPortalPointer(*m_session).MoveBy(3, 3);
    CPortalKeyboard(*m_session, m_codePage).KeyDown(Key::Named(NamedKey::Tab));
    const std::vector<Call> calls = Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[3].method, "NotifyKeyboardKeycode");
}

TEST_F(PortalSessionTest, WheelFallsBackToSmoothScrollingWhenStepsAreRejected) {
    StartPortal({"--no-discrete"});
    StartSession();
    CPortalPointer pointer(*m_session);
    pointer.TurnWheelAt({0, 0}, 120);
    Calls();  // the rejection is back once this answer is
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    pointer.TurnWheelAt({0, 0}, -120);
    const std::vector<Call> calls = Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[3].text, "(S, {}, 0, -1)");
    EXPECT_EQ(calls[4].text, "(S, {'finish': <true>}, 0.0, 10.0)");
}

TEST_F(PortalSessionTest, RestoreTokenGoesBackAtTheNextStartAndIsRenewed) {
    StartPortal();
    std::ofstream(m_token) << "restore-0\n";
    chmod(m_token.c_str(), 0644);
    StartSession();
    EXPECT_EQ(TokenFile(), "restore-1");
    EXPECT_EQ(TokenMode(), 0600u);
    m_session->Stop();
    StartSession();
    EXPECT_EQ(TokenFile(), "restore-2");

    const std::vector<Call> calls = Calls();
    ASSERT_EQ(Methods(calls), (Strings{"CreateSession", "SelectDevices", "Start", "Close",
                                       "CreateSession", "SelectDevices", "Start"}));
    EXPECT_EQ(calls[1].Option(1, "restore_token"), "'restore-0'");
    EXPECT_EQ(calls[5].Option(1, "restore_token"), "'restore-1'");
}

TEST_F(PortalSessionTest, VersionOneAsksNoPersistenceAndLeavesTheTokenAlone) {
    StartPortal({"--version", "1"});
    std::ofstream(m_token) << "kept";
    StartSession();
    const std::vector<Call> calls = Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[1].Option(1, "types"), "3");
    EXPECT_EQ(calls[1].Option(1, "persist_mode"), "none");
    EXPECT_EQ(calls[1].Option(1, "restore_token"), "none");
    EXPECT_EQ(TokenFile(), "kept");
}

}  // namespace
