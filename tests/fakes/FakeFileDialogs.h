#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileDialogs.h"

// File dialogs that answer from a script. While a dialog is "open" it runs the next scripted
// action, the way the real dialog's message loop delivers socket notifications.
class FakeFileDialogs : public IFileDialogs {
public:
    struct Shown {
        FileDialogOptions options;
        WindowHandle owner;
    };

    void BringForward(WindowHandle window) override {
        events.push_back("BringForward(" + std::to_string(window) + ")");
    }
    std::unique_ptr<IFileDialog> Create(const FileDialogOptions& options,
                                        WindowHandle owner) override;

    // A path confirms the dialog with that path; an empty optional is the Cancel button.
    std::deque<std::optional<std::string>> answers;
    // Taken one per dialog as it opens.
    std::deque<std::function<void()>> whileOpen;

    std::vector<Shown> shown;
    // "BringForward(h)", "Open#n", "Cancel#n", "Closed#n", in order.
    std::vector<std::string> events;
};

class FakeFileDialog : public IFileDialog {
public:
    FakeFileDialog(FakeFileDialogs& owner, int number) : m_owner(owner), m_number(number) {}

    bool DoModal(std::string* path) override {
        Event("Open");
        if (!m_owner.whileOpen.empty()) {
            std::function<void()> action = std::move(m_owner.whileOpen.front());
            m_owner.whileOpen.pop_front();
            action();
        }
        Event("Closed");
        if (m_cancelled) return false;
        std::optional<std::string> answer;
        if (!m_owner.answers.empty()) {
            answer = m_owner.answers.front();
            m_owner.answers.pop_front();
        }
        if (!answer) return false;
        *path = *answer;
        return true;
    }
    void Cancel() override {
        m_cancelled = true;
        Event("Cancel");
    }

private:
    void Event(const char* what) {
        m_owner.events.push_back(std::string(what) + "#" + std::to_string(m_number));
    }

    FakeFileDialogs& m_owner;
    int m_number;
    bool m_cancelled = false;
};

inline std::unique_ptr<IFileDialog> FakeFileDialogs::Create(const FileDialogOptions& options,
                                                            WindowHandle owner) {
    shown.push_back({options, owner});
    return std::make_unique<FakeFileDialog>(*this, static_cast<int>(shown.size()));
}
