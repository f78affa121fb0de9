#pragma once

// Window messages of the program's own, above WM_USER (1024).
constexpr unsigned kWmTrayNotify = 1026;
constexpr unsigned kWmDropConnection = 1028;
constexpr unsigned kWmHideToTray = 1029;
