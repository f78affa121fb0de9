#include "settings/SettingsFile.h"

#include <cstdio>
#include <fstream>
#include <locale>
#include <sstream>

#include "platform/FileSystem.h"

namespace {

// One line of at most limit characters, CR LF or LF ended, never keeping the CR. Like a
// bounded getline: a longer line is cut and the stream fails, so later lines read as empty.
std::string ReadLine(std::istream& in, int limit) {
    std::string line;
    if (!in) return line;
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        if (c == '\n') break;
        line.push_back(static_cast<char>(c));
        if (static_cast<int>(line.size()) > limit + 1) break;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (static_cast<int>(line.size()) > limit) {
        line.resize(static_cast<size_t>(limit));
        in.setstate(std::ios::failbit);
    }
    return line;
}

bool ReadInt(std::istream& in, int& field) {
    int value = 0;
    if (!(in >> value)) return false;
    field = value;
    return true;
}

bool ReadBool(std::istream& in, bool& field) {
    int value = 0;
    if (!(in >> value) || (value != 0 && value != 1)) return false;
    field = value == 1;
    return true;
}

// Any single character separates two numbers; blanks before it are skipped.
bool ReadSeparator(std::istream& in) {
    char separator = 0;
    return static_cast<bool>(in >> separator);
}

void ParseNumbers(const std::string& line, ServerSettings& s) {
    std::istringstream in(line);
    in.imbue(std::locale::classic());
    int* const ints[] = {&s.bounceOffEdges,  &s.passwordEnabled, &s.alertSound,
                         &s.visibleAtLaunch, &s.launchAtLogin,   &s.reservedOption};
    for (size_t i = 0; i < sizeof(ints) / sizeof(ints[0]); ++i) {
        if (i > 0 && !ReadSeparator(in)) return;
        if (!ReadInt(in, *ints[i])) return;
    }
    if (!ReadSeparator(in) || !ReadBool(in, s.serverOn)) return;
    if (!ReadSeparator(in) || !ReadInt(in, s.port)) return;
    if (!ReadSeparator(in) || !ReadBool(in, s.noPasswordAcknowledged)) return;
}

}  // namespace

void ParseSettings(std::istream& in, ServerSettings& settings) {
    std::string name = ReadLine(in, kTextLineLimit);
    if (!name.empty()) settings.serverName = name;
    settings.password = ReadLine(in, kTextLineLimit);
    ParseNumbers(ReadLine(in, kNumberLineLimit), settings);
}

std::string FormatSettings(const ServerSettings& s) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << s.serverName << "\r\n"
        << s.password << "\r\n"
        << s.bounceOffEdges << '#' << s.passwordEnabled << '#' << s.alertSound << '#'
        << s.visibleAtLaunch << '#' << s.launchAtLogin << '#' << s.reservedOption << '#'
        << (s.serverOn ? 1 : 0) << '#' << s.port << '#' << (s.noPasswordAcknowledged ? 1 : 0);
    return out.str();
}

bool LoadSettingsFile(const std::string& path, ServerSettings& settings) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    ParseSettings(in, settings);
    return true;
}

bool SaveSettingsFile(const std::string& path, const ServerSettings& settings, IFileSystem& files) {
    // The password is in it: no other user may read it, even for a moment.
    const std::string fresh = path + ".new";
    if (files.WritePrivateFile(fresh, FormatSettings(settings)) && files.ReplaceFile(fresh, path))
        return true;
    std::remove(fresh.c_str());
    return false;
}
