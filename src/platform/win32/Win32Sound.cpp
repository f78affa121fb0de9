#include <mmsystem.h>
#include <windows.h>

#include "platform/win32/Win32Services.h"

void Win32Sound::PlayFileSync(const std::string& fileName) {
    PlaySoundA(fileName.c_str(), nullptr, SND_FILENAME);
}
