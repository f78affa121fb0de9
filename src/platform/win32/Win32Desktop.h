#pragma once
#include "platform/Desktop.h"

class Win32Desktop : public IDesktop {
public:
    ScreenPoint GetCursorPos() override;
    void SetCursorPos(int x, int y) override;
};
