#include "app/linux/CommandLine.h"

#include "settings/ServerDialogLogic.h"
#include "settings/SettingsFile.h"

namespace {

constexpr int kMaxPort = 65535;

// "--option value" or "--option=value"; false when the option is another one.
bool TakeValue(const std::vector<std::string>& arguments, size_t& at, const std::string& option,
               std::string* value, std::string* error) {
    const std::string& argument = arguments[at];
    if (argument.compare(0, option.size() + 1, option + "=") == 0) {
        *value = argument.substr(option.size() + 1);
        return true;
    }
    if (argument != option) return false;
    if (at + 1 >= arguments.size()) {
        *error = option + " needs a value";
        return true;
    }
    *value = arguments[++at];
    return true;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    for (size_t at = 0; at < arguments.size() && result.error.empty(); ++at) {
        const std::string& argument = arguments[at];
        std::string value;
        if (TakeValue(arguments, at, "--port", &value, &result.error)) {
            if (!result.error.empty()) break;
            int port = -1;
            if (!ParseDialogInt(value, port) || port < 1 || port > kMaxPort) {
                result.error = "--port takes a number from 1 to 65535, not \"" + value + "\"";
                break;
            }
            result.port = port;
        } else if (TakeValue(arguments, at, "--name", &value, &result.error)) {
            if (!result.error.empty()) break;
            if (value.empty()) {
                result.error = "--name needs a name";
                break;
            }
            result.hasName = true;
            result.name = value;
        } else if (argument == "--set-password") {
            result.setPassword = true;
        } else if (argument == "--help" || argument == "-h") {
            result.help = true;
        } else if (argument == "--version") {
            result.version = true;
        } else {
            result.error = "unknown option \"" + argument + "\"";
        }
    }
    return result;
}

std::string PasswordFromLine(std::string line, std::string* error) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
        *error = "an empty password opens nothing; nothing stored";
        return std::string();
    }
    // The device's password is read up to the first blank, so one with a blank never matches.
    if (line.find_first_of(" \t") != std::string::npos) {
        *error = "a password with blanks can never be given by the device; nothing stored";
        return std::string();
    }
    // The settings file reads back no more than this; a longer one would never match.
    if (line.size() > static_cast<size_t>(kTextLineLimit)) {
        *error = "the password is longer than " + std::to_string(kTextLineLimit) +
                 " characters; nothing stored";
        return std::string();
    }
    return line;
}
