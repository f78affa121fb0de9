#pragma once
#include <map>

#include "platform/Keyboard.h"

// The device's codes for the special keys, mapped to the keys they press.
std::map<int, NamedKey> MakeDeviceKeyMap();
