// The line framer alone: reads of fuzzer-chosen sizes and results in line mode, payload
// reads with the restriction chosen per read, and resets. Traps when an invariant breaks.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "net/LineFramer.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// The fuzzer's bytes, taken off the front: control bytes and the data of the reads.
struct Input {
    const uint8_t* data;
    size_t size;

    uint8_t Byte() {
        if (size == 0) return 0;
        --size;
        return *data++;
    }
    // Up to count bytes; how many there were.
    size_t Take(size_t count, const uint8_t** bytes) {
        const size_t n = std::min(count, size);
        *bytes = data;
        data += n;
        size -= n;
        return n;
    }
};

// What the fuzzer saw of the payload being read.
struct PayloadSeen {
    std::string written;  // every byte read into the payload's space, in order
    bool started = false;
    bool restrictedAtFirstRead = false;
    int32_t furthestEnd = 0;  // the most that any offered room reached, counted from the start
    int largestRoom = 0;
};

void CheckLines(const std::list<std::string>& lines) {
    for (const std::string& line : lines) {
        Check(!line.empty() && line.find('\n') == line.size() - 1);
        Check(line.find('\0') == std::string::npos);
        Check(line.compare(0, 3, "700") != 0);
        Check(line.size() < static_cast<size_t>(CLineFramer::kWorkAreaSize));
    }
}

// The bytes of one read in line mode, and its count. Control bits: 0x80 a full read, else the
// next byte gives the size (0 for a closed read); 0x40 the read is one byte repeated, with a
// line feed where a further byte says when 0x20 is set too, so that long lines cost little
// input. 0x7F alone is a failed read, 0x7E a payload header whose size the next two bytes give.
int MakeRead(uint8_t control, Input& in, std::vector<char>& buffer) {
    if (control == 0x7F) return -1;
    if (control == 0x7E) {
        const int high = in.Byte();
        const std::string header = "700:" + std::to_string(high * 256 + in.Byte()) + "\n";
        return static_cast<int>(header.copy(buffer.data(), header.size()));
    }
    const int count = (control & 0x80) ? CLineFramer::kReadSize : in.Byte() * 2 + (control & 1);
    if (control & 0x40) {
        std::fill(buffer.begin(), buffer.begin() + count, static_cast<char>(in.Byte()));
        if ((control & 0x20) && count > 0)
            buffer[static_cast<size_t>(in.Byte() * 2 % count)] = '\n';
        return count;
    }
    const uint8_t* bytes = nullptr;
    const size_t taken = in.Take(static_cast<size_t>(count), &bytes);
    if (taken > 0) std::memcpy(buffer.data(), bytes, taken);
    return static_cast<int>(taken);
}

void LineRead(CLineFramer& framer, uint8_t control, Input& in) {
    std::vector<char> buffer(CLineFramer::kReadSize, 'q');
    int count = MakeRead(control, in, buffer);
    // Now and then a count above one read, which the framer cuts.
    if ((control & 0x81) == 0x81 && count == CLineFramer::kReadSize) {
        buffer.resize(CLineFramer::kReadSize + 64, '\n');
        count = static_cast<int>(buffer.size());
    }
    std::list<std::string> lines;
    framer.TakeLineRead(buffer.data(), count, lines);
    CheckLines(lines);
    Check(framer.Pending().size() + 2 <= static_cast<size_t>(CLineFramer::kWorkAreaSize));
    Check(framer.Pending().find('\n') == std::string::npos);
}

// One read in payload mode: bit 0 is the restriction, the other bits how much of the room
// to fill (0 for a closed read, 127 for all of it).
void PayloadRead(CLineFramer& framer, uint8_t control, Input& in, PayloadSeen& seen) {
    const bool restricted = (control & 1) != 0;
    int room = 0;
    char* space = framer.PayloadSpace(restricted, 0, &room);
    // A payload that offers no room would never end.
    Check(space != nullptr && room > 0);
    if (!seen.started) {
        seen.started = true;
        seen.restrictedAtFirstRead = restricted;
    }
    const int32_t received = static_cast<int32_t>(seen.written.size());
    seen.furthestEnd = std::max(seen.furthestEnd, received + room);
    seen.largestRoom = std::max(seen.largestRoom, room);

    const int want = (control >> 1) == 0x7F ? room : (control >> 1) * 32;
    const uint8_t* bytes = nullptr;
    const int n = static_cast<int>(in.Take(static_cast<size_t>(std::min(want, room)), &bytes));
    if (n > 0) {
        std::memcpy(space, bytes, static_cast<size_t>(n));
        seen.written.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(n));
    }
    if (!framer.TakePayloadRead(n)) return;

    const bool restrictedNow = (in.Byte() & 1) != 0;
    const CLineFramer::Payload payload = framer.TakePayload(restrictedNow);
    Check(!framer.InPayload());
    // Every byte announced was read, and no room reached past the end.
    Check(payload.size == static_cast<int32_t>(seen.written.size()));
    Check(seen.furthestEnd <= payload.size);
    const bool thrownAway =
        seen.restrictedAtFirstRead || payload.size > CLineFramer::kMaxPayloadSize;
    if (thrownAway) Check(seen.largestRoom <= CLineFramer::kDiscardChunk);
    if (thrownAway || restrictedNow) {
        Check(payload.data == nullptr);
    } else {
        Check(payload.data != nullptr);
        Check(std::memcmp(payload.data.get(), seen.written.data(), seen.written.size()) == 0);
    }
    seen = PayloadSeen();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    CLineFramer framer;
    PayloadSeen seen;
    while (in.size > 0) {
        const uint8_t control = in.Byte();
        if (control == 0xFF) {
            framer.Reset();
            seen = PayloadSeen();
            Check(!framer.InPayload() && framer.Pending().empty());
        } else if (framer.InPayload()) {
            PayloadRead(framer, control, in, seen);
        } else {
            LineRead(framer, control, in);
        }
    }
    return 0;
}
