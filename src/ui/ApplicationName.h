#pragma once
#include <string>

// The title of the program's own message boxes: its file name without folder or extension.
std::string ApplicationName();
