#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/TestWindow.h"

// Records the test windows made and destroyed: "Create#n(x,y)" and "Destroy#n".
class FakeTestWindows : public ITestWindowFactory {
public:
    class Window : public ITestWindow {
    public:
        Window(std::vector<std::string>& events, int number) : m_events(events), m_number(number) {}
        ~Window() override { m_events.push_back("Destroy#" + std::to_string(m_number)); }

    private:
        std::vector<std::string>& m_events;
        int m_number;
    };

    std::unique_ptr<ITestWindow> Create(int x, int y) override {
        ++created;
        events.push_back("Create#" + std::to_string(created) + "(" + std::to_string(x) + "," +
                         std::to_string(y) + ")");
        return std::make_unique<Window>(events, created);
    }

    std::vector<std::string> events;
    int created = 0;
};
