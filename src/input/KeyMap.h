#pragma once
#include <map>

// The device's codes for the special keys, mapped to the virtual keys they press.
std::map<int, int> MakeDeviceKeyMap();
