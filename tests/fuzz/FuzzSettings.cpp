// Any settings file read, written and read again gives the same record.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "settings/SettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    ServerSettings settings;
    settings.serverName = "PC";
    ParseSettings(in, settings);
    const std::string written = FormatSettings(settings);
    std::istringstream back(written);
    ServerSettings reread;
    ParseSettings(back, reread);
    // Names and passwords longer than a line holds are cut on reading; only compare within.
    if (written.size() < 300 && FormatSettings(reread) != written) __builtin_trap();
    return 0;
}
