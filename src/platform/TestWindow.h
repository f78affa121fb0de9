#pragma once
#include <memory>

// The plain diagnostic window of command 7777. Destroying the object destroys the window.
class ITestWindow {
public:
    virtual ~ITestWindow() = default;
};

class ITestWindowFactory {
public:
    virtual ~ITestWindowFactory() = default;
    // Creates and shows the window with its top-left corner at (x, y); null on failure.
    virtual std::unique_ptr<ITestWindow> Create(int x, int y) = 0;
};
