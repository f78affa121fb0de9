#pragma once
#include <string>

#include "platform/Socket.h"

// Icon resources of the notification area, one per server state.
constexpr int kIconListening = 145;
constexpr int kIconOff = 146;
constexpr int kIconConnected = 147;

constexpr char kNoDevice[] = "No Device";
constexpr char kUnknownDevice[] = "(Unknown)";

// The dialog's status and device fonts. The face name is the one the program has always
// asked for, misspelt; the system falls back to its default face. Kept deliberately.
constexpr char kStatusFontFace[] = "Coururier New";

// What the dialog shows for one server state.
struct StatusRow {
    const char* buttonCaption;
    const char* statusText;
    int trayIcon;
    const char* tipWord;
    bool deviceConnected;
};

// A server that is off because it could not listen says why instead of "Off".
StatusRow StatusFor(bool serverOn, bool deviceConnected,
                    ListenFailure failure = ListenFailure::None);

// "Windows Tavrix - " and the state word, cut to what the tray's 128-byte tip can hold.
std::string TrayTip(const std::string& stateWord);
