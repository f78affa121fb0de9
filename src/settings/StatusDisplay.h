#pragma once
#include <string>

// Icon resources of the notification area, one per server state.
constexpr int kIconListening = 145;
constexpr int kIconOff = 146;
constexpr int kIconConnected = 147;

constexpr char kNoDevice[] = "No Device";
constexpr char kUnknownDevice[] = "(Unknown)";

// What the dialog shows for one server state.
struct StatusRow {
    const char* buttonCaption;
    const char* statusText;
    int trayIcon;
    const char* tipWord;
    bool deviceConnected;
};

StatusRow StatusFor(bool serverOn, bool deviceConnected);

// "Windows Tavrix - " and the state word, cut to what the tray's 128-byte tip can hold.
std::string TrayTip(const std::string& stateWord);
