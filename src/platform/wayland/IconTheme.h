#pragma once
#include <string>

// Where the desktop keeps an application icon of a name: the user's icon theme (GSettings'
// icon-theme where the user set one, else GTK's settings.ini), the themes it inherits, then
// hicolor, each in the user's and the system's data folders; the size nearest 32 pixels
// first (32 itself, a scalable one, larger ones, smaller ones); then pixmaps. Empty when none
// is found, and for a name with '/'.
std::string ThemeIconFile(const std::string& name);

// Whether the path is a regular file small enough to be an application icon.
bool IsIconFileSize(const std::string& path);
