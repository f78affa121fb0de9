#pragma once
#include <memory>
#include <string>

#include "platform/Geometry.h"

// What one standard open or save dialog shows. An empty filter lists all files; an empty
// default extension appends none.
struct FileDialogOptions {
    bool save = false;
    std::string title;
    std::string filterDescription;
    std::string filterPattern;
    std::string defaultExtension;
};

// One modal file dialog. Its message loop keeps delivering the program's other messages
// (socket notifications included) while it is open.
class IFileDialog {
public:
    virtual ~IFileDialog() = default;
    // Shows the dialog and returns when it closes; true with the chosen path when the user
    // confirmed.
    virtual bool DoModal(std::string* path) = 0;
    // Closes the dialog as its Cancel button would. Harmless when it isn't showing (yet).
    virtual void Cancel() = 0;
};

class IFileDialogs {
public:
    virtual ~IFileDialogs() = default;
    // Restores the window if it is minimized and makes it the foreground window, so that
    // a dialog owned by it opens in front of the user.
    virtual void BringForward(WindowHandle window) = 0;
    virtual std::unique_ptr<IFileDialog> Create(const FileDialogOptions& options,
                                                WindowHandle owner) = 0;
};
