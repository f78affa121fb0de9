#pragma once
#include <istream>
#include <string>

#include "settings/ServerSettings.h"

class IFileSystem;

// TavrixConfig.txt: the server name, the password, then nine numbers joined by '#'. Lines
// end in CR LF and the last one has no line break.
constexpr char kSettingsFileName[] = "TavrixConfig.txt";
constexpr int kTextLineLimit = 98;
constexpr int kNumberLineLimit = 198;

// Reads what it can. A line longer than its limit is cut, and every later line reads as
// empty; at the first number that can't be read, it and the later fields keep their values.
// An empty first line leaves serverName as it was.
void ParseSettings(std::istream& in, ServerSettings& settings);
std::string FormatSettings(const ServerSettings& settings);

// False when the file can't be opened; the record is then untouched.
bool LoadSettingsFile(const std::string& path, ServerSettings& settings);
// Writes a new file beside the old one and puts it in the old one's place, so a failed or
// interrupted write leaves the old file whole. False when the new file couldn't be written
// or put in place.
bool SaveSettingsFile(const std::string& path, const ServerSettings& settings, IFileSystem& files);
