#include "platform/x11/X11FileDialogs.h"

#include <glib-unix.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/common/Windows1252.h"
#include "platform/x11/X11Sockets.h"

namespace {

// More than any path the dialog hands back; the rest is read and dropped.
constexpr size_t kMaxOutput = 64 * 1024;
constexpr char kReplaceTitle[] = "Confirm Save As";

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string WorkingDirectory() {
    gchar* current = g_get_current_dir();
    std::string folder = current ? current : "";
    g_free(current);
    return folder;
}

}  // namespace

std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
    if (extension.empty() || path.empty() || path.back() == '/') return path;
    const size_t nameStart = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
    // A dot that starts the name makes it hidden, not an extension.
    if (path.find('.', nameStart + 1) != std::string::npos) return path;
    return path + "." + extension;
}

X11FileDialog::X11FileDialog(X11FileDialogs& owner, const FileDialogOptions& options)
    : m_owner(owner), m_options(options) {}

std::vector<std::string> X11FileDialog::Arguments(const std::string& start) const {
    // The titles are ANSI text like the device's name in them; zenity takes UTF-8.
    std::vector<std::string> arguments = {m_owner.m_zenity, "--file-selection",
                                          "--title=" + Windows1252ToUtf8(m_options.title)};
    if (m_options.save) {
        arguments.push_back("--save");
        arguments.push_back("--confirm-overwrite");
    }
    arguments.push_back("--filename=" + start);
    const std::string pattern = Trim(m_options.filterPattern);
    if (!pattern.empty()) {
        arguments.push_back("--file-filter=" + Windows1252ToUtf8(m_options.filterDescription) +
                            " | " + pattern);
    }
    return arguments;
}

bool X11FileDialog::DoModal(std::string* path) {
    if (m_cancelRequested || m_owner.m_closing || !m_owner.Available()) return false;
    // Opens where the program runs, as the Windows dialog does the first time.
    std::string start = WorkingDirectory() + "/";
    for (;;) {
        std::string chosen;
        if (!RunChild(Arguments(start), &chosen) || chosen.empty()) return false;
        if (!m_options.save) {
            // Only a file has a size to announce; a folder or a device would not end.
            if (!g_file_test(chosen.c_str(), G_FILE_TEST_IS_REGULAR)) return false;
            *path = chosen;
            return true;
        }
        const std::string named = WithDefaultExtension(chosen, m_options.defaultExtension);
        // zenity asked about the name as typed; the extension makes it another file, which
        // must not be replaced unasked.
        if (named == chosen || !g_file_test(named.c_str(), G_FILE_TEST_EXISTS) ||
            ConfirmReplace(named)) {
            *path = named;
            return true;
        }
        if (m_cancelRequested || m_owner.m_closing) return false;
        start = named;
    }
}

bool X11FileDialog::ConfirmReplace(const std::string& path) {
    gchar* name = g_path_get_basename(path.c_str());
    const std::string text = std::string(name) + " already exists.\nDo you want to replace it?";
    g_free(name);
    std::string ignored;
    return RunChild({m_owner.m_zenity, "--question", "--title=" + std::string(kReplaceTitle),
                     "--text=" + text, "--no-markup"},
                    &ignored);
}

// Runs one zenity child under a nested loop; true when it ended with 0, and then its first
// line of output.
bool X11FileDialog::RunChild(const std::vector<std::string>& arguments, std::string* line) {
    std::vector<gchar*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<gchar*>(argument.c_str()));
    argv.push_back(nullptr);
    gint output = -1;
    GError* error = nullptr;
    const auto flags =
        static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDERR_TO_DEV_NULL);
    if (!g_spawn_async_with_pipes(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, &m_pid,
                                  nullptr, &output, nullptr, &error)) {
        g_clear_error(&error);
        return false;
    }
    g_unix_set_fd_nonblocking(output, TRUE, nullptr);
    m_running = true;
    m_output.clear();
    m_owner.m_showing.push_back(this);
    {
        // Stops watching at the end of the output, which would otherwise stay readable.
        std::unique_ptr<X11FdWatch> outputWatch;
        outputWatch =
            std::make_unique<X11FdWatch>(output, [this, output, &outputWatch](GIOCondition) {
                if (!ReadOutput(output)) outputWatch->SetConditions(static_cast<GIOCondition>(0));
            });
        outputWatch->SetConditions(G_IO_IN);
        g_child_watch_add(m_pid, &X11FileDialog::ChildExited, this);
        m_loop = g_main_loop_new(nullptr, FALSE);
        g_main_loop_run(m_loop);
        g_main_loop_unref(m_loop);
        m_loop = nullptr;
        ReadOutput(output);
    }
    close(output);
    auto& showing = m_owner.m_showing;
    showing.erase(std::remove(showing.begin(), showing.end(), this), showing.end());
    if (m_cancelRequested || !g_spawn_check_wait_status(m_status, nullptr)) return false;
    *line = m_output.substr(0, m_output.find('\n'));
    return true;
}

void X11FileDialog::Cancel() {
    m_cancelRequested = true;
    // The child is reaped only by our watch, so its pid can't name another process yet.
    if (m_running) kill(m_pid, SIGTERM);
}

bool X11FileDialog::ReadOutput(int fd) {
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof(chunk));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
        if (n == 0) return false;
        const size_t room = kMaxOutput - std::min(kMaxOutput, m_output.size());
        m_output.append(chunk, std::min(room, static_cast<size_t>(n)));
    }
}

void X11FileDialog::ChildExited(GPid pid, gint status, gpointer data) {
    auto* self = static_cast<X11FileDialog*>(data);
    self->m_status = status;
    self->m_running = false;
    g_spawn_close_pid(pid);
    if (self->m_loop) g_main_loop_quit(self->m_loop);
}

X11FileDialogs::X11FileDialogs() {
    gchar* found = g_find_program_in_path("zenity");
    if (found) m_zenity = found;
    g_free(found);
}

std::unique_ptr<IFileDialog> X11FileDialogs::Create(const FileDialogOptions& options,
                                                    WindowHandle) {
    if (m_closing) return nullptr;
    return std::make_unique<X11FileDialog>(*this, options);
}

void X11FileDialogs::CancelAll() {
    m_closing = true;
    for (X11FileDialog* dialog : m_showing) dialog->Cancel();
}
