#include "platform/win32/Win32Services.h"
// mmsystem.h needs the types of windows.h, which the header above brings.
#include <mmsystem.h>

void Win32Sound::PlayFileSync(const std::string& fileName) {
    PlaySoundA(fileName.c_str(), nullptr, SND_FILENAME);
}
