// tavrix-server: the native Linux server for X11 and Wayland desktops, a console program.
#include <fcntl.h>
#include <glib.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/linux/CommandLine.h"
#include "app/linux/ConsoleFrontEnd.h"
#include "app/linux/LinuxPlatform.h"
#include "app/linux/SettingsFolder.h"
#include "app/linux/Version.h"
#include "net/DiagnosticLog.h"
#include "platform/common/Windows1252.h"
#include "platform/x11/X11MainLoop.h"
#include "settings/SettingsFile.h"

namespace {

constexpr char kPrefix[] = "tavrix-server: ";
constexpr char kLogFileName[] = "tavrix_log.txt";

void Say(const std::string& text) {
    std::fprintf(stderr, "%s%s\n", kPrefix, text.c_str());
}

// Truncated at start; never through a symbolic link, which another user could have left in
// a shared working directory to make the server overwrite a file of its choice.
std::FILE* OpenLog() {
    const int fd = open(kLogFileName, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (!file) close(fd);
    return file;
}

// Stores the password read from standard input in the settings file, the rest kept.
int SetPassword() {
    std::string line;
    if (!std::getline(std::cin, line)) {
        Say("no password on standard input; nothing stored");
        return 1;
    }
    std::string error;
    const std::string password = PasswordFromLine(Utf8ToWindows1252(line), &error);
    if (!error.empty()) {
        Say(error);
        return 1;
    }
    X11SystemInfo system;
    X11FileSystem files;
    ServerSettings settings;
    // A first file starts the server for the Windows program too.
    if (!LoadSettingsFile(kSettingsFileName, settings)) settings.serverOn = true;
    if (settings.serverName.empty()) settings.serverName = system.UserName();
    settings.password = password;
    if (!SaveSettingsFile(kSettingsFileName, settings, files)) {
        Say(std::string("the password could not be stored in ") + kSettingsFileName);
        return 1;
    }
    char* folder = getcwd(nullptr, 0);
    Say(std::string("password stored in ") + (folder ? folder : ".") + "/" + kSettingsFileName);
    std::free(folder);
    return 0;
}

// Protection on with no password stored lets no device in: rather than listen for devices it
// can only refuse, the server says how to set one and waits until that is done.
bool HasNoPassword() {
    ServerSettings settings;
    LoadSettingsFile(kSettingsFileName, settings);
    return settings.passwordEnabled != 0 && settings.password.empty();
}

// False when the program was asked to end meanwhile, or the session ended (sessionOver).
bool WaitForPassword(X11MainLoop& loop, const bool& sessionOver) {
    if (!HasNoPassword()) return true;
    Say("no password is set, so no device is served: set one with \"tavrix-server "
        "--set-password\" (it reads the password from standard input); waiting for it");
    struct Wait {
        X11MainLoop* loop;
        guint poll;
    } wait{&loop, 0};
    wait.poll = g_timeout_add_seconds(
        1,
        [](gpointer data) -> gboolean {
            if (HasNoPassword()) return G_SOURCE_CONTINUE;
            auto* waiting = static_cast<Wait*>(data);
            waiting->poll = 0;
            waiting->loop->Quit();
            return G_SOURCE_REMOVE;
        },
        &wait);
    bool ended = false;
    loop.Run([&] {
        ended = true;
        loop.Quit();
    });
    if (wait.poll != 0) g_source_remove(wait.poll);
    if (ended || sessionOver) return false;
    Say("a password is set");
    return true;
}

int Serve(const CommandLine& command) {
    ConsoleOptions options;
    options.port = command.port;
    options.hasName = command.hasName;
    options.name = Utf8ToWindows1252(command.name);
    if (options.name.size() > static_cast<size_t>(kTextLineLimit)) {
        Say("the name is longer than " + std::to_string(kTextLineLimit) + " characters");
        return 2;
    }
    X11MainLoop loop;
    CLinuxPlatform platform(Say);
    if (!platform.Route().failure.empty()) {
        Say(platform.Route().failure);
        return 1;
    }
    for (const std::string& note : platform.Route().notes) Say(note);
    bool sessionOver = false;
    platform.OnSessionLost([&] {
        sessionOver = true;
        Say("the Wayland compositor closed the connection: the session is over");
        platform.fileDialogs.CancelAll();
        loop.Quit();
    });
    if (!WaitForPassword(loop, sessionOver)) {
        Say("stopped");
        return 0;
    }
    DiagnosticLog log(OpenLog());
    CConsoleFrontEnd frontEnd(platform, log, stderr);
    if (!frontEnd.Start(options)) return 1;
    loop.Run([&] {
        // Dialogs showing end first, so that the loops nested in this one return.
        platform.fileDialogs.CancelAll();
        loop.Quit();
    });
    frontEnd.Stop();
    Say("stopped");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A device that vanished mid-send is a failed send, not the end of the program.
    signal(SIGPIPE, SIG_IGN);
    const CommandLine command = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!command.error.empty()) {
        Say(command.error);
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (command.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command.version) {
        std::printf("tavrix-server %s\n", kVersion);
        return 0;
    }
    std::string folder;
    std::string error;
    if (!EnterSettingsFolder(&folder, &error)) {
        Say(error);
        return 1;
    }
    if (command.setPassword) return SetPassword();
    Say("settings: " + folder + "/" + kSettingsFileName);
    return Serve(command);
}
