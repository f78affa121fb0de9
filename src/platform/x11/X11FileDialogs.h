#pragma once
#include <glib.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/FileDialogs.h"

class X11FileDialogs;

// The open or save dialog as a `zenity --file-selection` child on the user's desktop. While
// it shows, a nested GLib loop keeps the program's sockets and timers served; it ends when
// the child does.
class X11FileDialog : public IFileDialog {
public:
    X11FileDialog(X11FileDialogs& owner, const FileDialogOptions& options);
    X11FileDialog(const X11FileDialog&) = delete;
    X11FileDialog& operator=(const X11FileDialog&) = delete;

    bool DoModal(std::string* path) override;
    // Ends the child by its process id while it runs.
    void Cancel() override;

    // The file chooser's command line, opening at start (a folder ending in '/' or a file).
    std::vector<std::string> Arguments(const std::string& start) const;

private:
    bool RunChild(const std::vector<std::string>& arguments, std::string* line);
    bool ConfirmReplace(const std::string& path);
    static void ChildExited(GPid pid, gint status, gpointer data);
    // Takes what the child has written; false at the end of its output.
    bool ReadOutput(int fd);

    X11FileDialogs& m_owner;
    const FileDialogOptions m_options;
    bool m_cancelRequested = false;
    bool m_running = false;
    GPid m_pid = 0;
    gint m_status = -1;
    GMainLoop* m_loop = nullptr;
    std::string m_output;
};

class X11FileDialogs : public IFileDialogs {
public:
    X11FileDialogs();

    // Whether zenity was found; without it every dialog is cancelled at once.
    bool Available() const { return !m_zenity.empty(); }
    // The program has no window of its own to bring forward.
    void BringForward(WindowHandle) override {}
    std::unique_ptr<IFileDialog> Create(const FileDialogOptions& options,
                                        WindowHandle owner) override;
    // Cancels the dialogs showing and refuses new ones: the program is ending.
    void CancelAll();

private:
    friend class X11FileDialog;

    std::string m_zenity;
    std::vector<X11FileDialog*> m_showing;
    bool m_closing = false;
};

// The name the save dialog hands back, with the default extension when the file name has
// none.
std::string WithDefaultExtension(const std::string& path, const std::string& extension);
