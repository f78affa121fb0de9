#include "net/CommandReplay.h"

#include <fstream>

#include "net/ConnectionServer.h"

namespace {

// One line up to its line feed, which is consumed. A carriage return before the line feed
// belongs to the line end. Characters past the limit are skipped rather than stored, so a
// line of any length costs no more memory and the reading always moves on. False when the
// end of the file ended the line.
bool ReadOneLine(std::streambuf& in, std::string* line) {
    bool carriageReturnKept = false;
    for (int c = in.sbumpc(); c != std::char_traits<char>::eof(); c = in.sbumpc()) {
        if (c == '\n') {
            if (carriageReturnKept) line->pop_back();
            return true;
        }
        carriageReturnKept = false;
        if (line->size() >= kMaxReplayLineLength) continue;
        line->push_back(static_cast<char>(c));
        carriageReturnKept = c == '\r';
    }
    return false;
}

}  // namespace

std::list<std::string> ReadReplayLines(std::istream& in) {
    std::list<std::string> lines;
    std::streambuf* buffer = in.rdbuf();
    if (!buffer) return lines;
    for (bool more = true; more;) {
        std::string line;
        more = ReadOneLine(*buffer, &line);
        lines.push_back(std::move(line));
    }
    return lines;
}

bool PlayCommandsFromFile(CConnectionServer& server, const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    server.ReplayLines(ReadReplayLines(file));
    return true;
}
