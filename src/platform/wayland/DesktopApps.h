#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The applications of the desktop as their desktop files describe them (GIO): what the
// Wayland window list gives a window for its program and icon, and what launching one does.

// The desktop file of the application with this app_id: "ID.desktop", else one whose id
// matches it but for case or only in its last dot-separated part, else the one whose
// StartupWMClass it is. Empty when none, and for an id longer than 255 bytes or with '/'.
std::string DesktopFileOf(const std::string& appId);

// The desktop file's icon from the user's icon theme (or pixmaps, or the absolute path the
// file names), as 32 by 32 ARGB pixels row by row from the top, scaled keeping its aspect;
// empty when there is none.
std::vector<uint32_t> AppIconPixels(const std::string& desktopFile);

// Starts the application a desktop file names; false when the path is not a desktop file
// that GIO accepts or the start failed.
bool LaunchDesktopFile(const std::string& path);
