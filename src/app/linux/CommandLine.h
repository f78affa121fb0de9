#pragma once
#include <string>
#include <vector>

// What tavrix-server was asked on its command line.
struct CommandLine {
    // -1 keeps the port of the settings file.
    int port = -1;
    bool hasName = false;
    // As typed (UTF-8).
    std::string name;
    bool setPassword = false;
    bool help = false;
    bool version = false;
    // Why the command line can't be followed; empty when it can.
    std::string error;
};

// Reads --port N, --name NAME (each also as --option=value), --set-password, --help and
// --version, the program's name excluded.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

constexpr char kUsage[] =
    "usage: tavrix-server [--port N] [--name NAME]\n"
    "       tavrix-server --set-password   (reads the password from standard input)\n"
    "       tavrix-server --version | --help\n"
    "Serves the device on this X display. The settings are TavrixConfig.txt in the working\n"
    "directory when it holds one, otherwise in $XDG_CONFIG_HOME/tavrix-server\n"
    "(~/.config/tavrix-server).\n";

// The password given on standard input: one line without its line end. Empty, with the
// reason in error, when it can't be stored or could never be matched.
std::string PasswordFromLine(std::string line, std::string* error);
