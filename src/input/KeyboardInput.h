#pragma once

// Modifier flags as the device sends them with a key.
enum KeyModifier : int {
    ModWin = 1,
    ModAlt = 2,
    ModCtrl = 4,
    ModShift = 8,
};
