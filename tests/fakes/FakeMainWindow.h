#pragma once
#include <string>
#include <vector>

#include "platform/MainWindow.h"

class FakeMainWindow : public IMainWindow {
public:
    void PostDropConnection(CConnectionSocket* connection) override { drops.push_back(connection); }
    void UpdateStatusDisplay() override { ++statusUpdates; }
    void SetDeviceName(const std::string& name) override { deviceNames.push_back(name); }

    std::vector<CConnectionSocket*> drops;
    int statusUpdates = 0;
    std::vector<std::string> deviceNames;
};
