#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the X server said of one client window in a snapshot, as raw as it came: each
// property only when it had the type and format asked for.
struct WindowFacts {
    // False when the window was gone before the X server read a request about it.
    bool exists = false;
    std::vector<uint32_t> types;
    std::vector<uint32_t> states;
    bool hasTransientFor = false;
    uint32_t transientFor = 0;
    bool hasUtf8Name = false;
    std::string utf8Name;
    // WM_NAME in whichever encoding the client chose.
    bool hasLegacyName = false;
    std::string legacyName;
    uint32_t legacyNameEncoding = 0;
    uint8_t legacyNameFormat = 0;
    bool hasWmState = false;
    uint32_t wmState = 0;
    bool hasClientMachine = false;
    std::string clientMachine;
    bool hasPid = false;
    uint32_t pid = 0;
};

// The atoms the rules compare with.
struct WindowFactsAtoms {
    uint32_t typeDock = 0;
    uint32_t typeDesktop = 0;
    uint32_t stateSkipTaskbar = 0;
    uint32_t stateHidden = 0;
};

// The window registry's questions, answered from the facts by the rules the window system
// follows one request at a time.
struct WindowAnswers {
    bool exists = false;
    // In the task bar: neither a dock nor a desktop, nor kept out of it.
    bool listed = false;
    // The window it is transient for; 0 for none.
    uint32_t parent = 0;
    // Normal or minimized, as WM_STATE says.
    bool visible = false;
    bool iconic = false;
    // In Windows-1252.
    std::string title;
    // _NET_WM_PID only where WM_CLIENT_MACHINE is this host; 0 otherwise.
    uint32_t processId = 0;
};

// ICCCM's WM_STATE values.
constexpr uint32_t kNormalWmState = 1;
constexpr uint32_t kIconicWmState = 3;

// The host part of a name before its domain.
std::string ShortHostName(const std::string& name);

// legacyTitle turns a WM_NAME in its own encoding into UTF-8; it is asked only when the
// window has no _NET_WM_NAME.
WindowAnswers AnswerFromFacts(const WindowFacts& facts, const WindowFactsAtoms& atoms,
                              const std::string& hostName,
                              const std::function<std::string(const WindowFacts&)>& legacyTitle);
