#pragma once
#include <istream>
#include <list>
#include <string>

class CConnectionServer;

// The debug replay of recorded device commands, one command a line.
constexpr char kCommandFilePath[] = "C:\\tavrixCmds.txt";
constexpr char kCommandFileMissing[] = "The file \"C:\\tavrixCmds.txt\" couldn't be found";
constexpr size_t kMaxReplayLineLength = 98;

// Reads the recorded lines, each without its line end and cut after the longest line a
// command can be. The read that meets the end of the file gives the last line, so a file
// ending in a line feed (and an empty file) yields a last empty line.
std::list<std::string> ReadReplayLines(std::istream& in);

// Queues the file's lines on the server and dispatches them paced, as if a device had sent
// them. False, with the queue untouched, when the file can't be opened.
bool PlayCommandsFromFile(CConnectionServer& server, const std::string& path = kCommandFilePath);
