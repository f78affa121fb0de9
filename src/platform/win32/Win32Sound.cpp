#include "platform/win32/Win32Services.h"
// mmsystem.h needs the types of windows.h, which the header above brings.
#include <mmsystem.h>

// Played asynchronously: a device sending hello after hello must not hold the GUI thread.
void Win32Sound::Play(const std::string& fileName) {
    PlaySoundA(fileName.c_str(), nullptr, SND_FILENAME | SND_ASYNC);
}
