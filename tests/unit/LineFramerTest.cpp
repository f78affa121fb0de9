#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "net/LineFramer.h"

namespace {

using Lines = std::list<std::string>;

constexpr int kRead = CLineFramer::kReadSize;
constexpr int32_t kCap = CLineFramer::kMaxPayloadSize;
constexpr int kChunk = CLineFramer::kDiscardChunk;

// The lines that one read of these bytes gives.
Lines Take(CLineFramer& framer, const std::string& bytes) {
    Lines lines;
    framer.TakeLineRead(bytes.data(), static_cast<int>(bytes.size()), lines);
    return lines;
}

// A read that closed (0) or failed (negative); the buffer holds a byte that must not be read.
Lines TakeResult(CLineFramer& framer, int result) {
    const char buffer[1] = {'x'};
    Lines lines;
    framer.TakeLineRead(buffer, result, lines);
    return lines;
}

// Reads of the given bytes into the payload, each as large as the framer offers.
bool FeedPayload(CLineFramer& framer, const std::string& bytes, bool restricted = false) {
    size_t at = 0;
    while (at < bytes.size()) {
        int room = 0;
        char* space = framer.PayloadSpace(restricted, 0, &room);
        const int n = std::min(room, static_cast<int>(bytes.size() - at));
        std::memcpy(space, bytes.data() + at, static_cast<size_t>(n));
        at += static_cast<size_t>(n);
        if (framer.TakePayloadRead(n)) return true;
    }
    return false;
}

std::string Delivered(const CLineFramer::Payload& payload) {
    return payload.data ? std::string(payload.data.get(), static_cast<size_t>(payload.size))
                        : "(none)";
}

TEST(LineFramer, ShortReadEndsTheMessageFullReadDoesNot) {
    CLineFramer framer;
    EXPECT_EQ(Take(framer, "2:1"), Lines({"2:1\n"}));
    EXPECT_EQ(framer.Pending(), "");
    // A message split over two short reads makes two lines.
    EXPECT_EQ(Take(framer, ":1\n"), Lines({":1\n"}));

    const std::string full(kRead, 'a');
    EXPECT_EQ(Take(framer, full), Lines());
    EXPECT_EQ(framer.Pending(), full);
    EXPECT_EQ(Take(framer, "b\n"), Lines({full + "b\n"}));

    // With a line feed in the read, none is appended to the rest.
    EXPECT_EQ(Take(framer, "1\n2\n3"), Lines({"1\n", "2\n"}));
    EXPECT_EQ(framer.Pending(), "3");
    // One byte short of a full read is short.
    const std::string almost(kRead - 1, 'c');
    EXPECT_EQ(Take(framer, almost), Lines({"3" + almost + "\n"}));
    EXPECT_EQ(Take(framer, "\n\n"), Lines({"\n", "\n"}));

    // A count above one read is cut to one read: the line feed behind it is not seen.
    EXPECT_EQ(Take(framer, full + "\n"), Lines());
    EXPECT_EQ(framer.Pending(), full);
}

TEST(LineFramer, ClosedOrFailedReadEndsThePendingLine) {
    CLineFramer framer;
    EXPECT_EQ(Take(framer, "1\n4"), Lines({"1\n"}));
    EXPECT_EQ(TakeResult(framer, 0), Lines({"4\n"}));
    EXPECT_EQ(TakeResult(framer, 0), Lines({"\n"}));
    EXPECT_EQ(TakeResult(framer, -1), Lines({"\n"}));
    EXPECT_EQ(framer.Pending(), "");
}

TEST(LineFramer, NulEndsTheTextOfItsRead) {
    CLineFramer framer;
    Take(framer, "1\n3");
    EXPECT_EQ(Take(framer, std::string("\n4\0\n5\n", 6)), Lines({"3\n"}));
    EXPECT_EQ(framer.Pending(), "4");
    // A full read stays full however early its text ends: nothing is appended.
    std::string full(kRead, 'z');
    full.replace(0, 3, std::string("ab\0", 3));
    EXPECT_EQ(Take(framer, full), Lines());
    EXPECT_EQ(framer.Pending(), "4ab");
    // A short read whose text is empty finishes what is pending.
    EXPECT_EQ(Take(framer, std::string("\0xyz\n", 5)), Lines({"4ab\n"}));
}

TEST(LineFramer, RemaindersSixtySixAndSixtySevenAreDropped) {
    for (const char* rest : {"66", "67", "666", "6", "68", "76"}) {
        CLineFramer framer;
        EXPECT_EQ(Take(framer, std::string("1\n") + rest), Lines({"1\n"})) << rest;
        const bool dropped = rest == std::string("66") || rest == std::string("67");
        EXPECT_EQ(framer.Pending(), dropped ? "" : std::string(rest)) << rest;
    }
    // Only a remainder: a short read of just "66" is a line of its own.
    CLineFramer framer;
    EXPECT_EQ(Take(framer, "66"), Lines({"66\n"}));
    // The rest of a full read counts too, and is not joined to the next read.
    EXPECT_EQ(Take(framer, std::string(kRead - 3, 'a') + "\n67"),
              Lines({std::string(kRead - 3, 'a') + "\n"}));
    EXPECT_EQ(Take(framer, "7\n"), Lines({"7\n"}));
}

// Three full reads and a short one without a line feed: the line feed appended to it and
// the NUL must still fit the work area.
TEST(LineFramer, LongestUnterminatedLineFillsTheWorkArea) {
    const size_t longest = CLineFramer::kWorkAreaSize - 2;
    for (size_t length : {longest, longest + 1}) {
        std::string line(length, ' ');
        line.replace(0, 5, "2:1:1");
        CLineFramer framer;
        Lines lines;
        for (size_t at = 0; at < length; at += kRead)
            lines.splice(lines.end(), Take(framer, line.substr(at, kRead)));
        if (length == longest) {
            EXPECT_EQ(lines, Lines({line + "\n"}));
        } else {
            EXPECT_EQ(lines, Lines()) << "one character more is dropped";
        }
        EXPECT_EQ(framer.Pending(), "");
        EXPECT_EQ(Take(framer, "3:1\n"), Lines({"3:1\n"})) << length;
    }
    // Ended by a line feed of its own in the last read, it fits as well.
    CLineFramer framer;
    const std::string blanks(kRead, ' ');
    for (int i = 0; i < 3; ++i) Take(framer, blanks);
    const std::string last = std::string(kRead - 4, ' ') + "x\n";
    EXPECT_EQ(Take(framer, last), Lines({blanks + blanks + blanks + last}));
}

TEST(LineFramer, OverlongLineIsDroppedUpToItsLineFeedAcrossReads) {
    CLineFramer framer;
    const std::string blanks(kRead, ' ');
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Take(framer, blanks), Lines());
    EXPECT_EQ(framer.Pending().size(), 3u * kRead);
    // The fourth full read can't join it: the line goes, and so does the rest up to its end.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Take(framer, blanks), Lines());
        EXPECT_EQ(framer.Pending(), "");
    }
    // What follows the line feed in the same read is read as usual.
    EXPECT_EQ(Take(framer, " \n2:7:7\n3"), Lines({"2:7:7\n"}));
    EXPECT_EQ(framer.Pending(), "3");
    EXPECT_EQ(Take(framer, ":4\n"), Lines({"3:4\n"}));
}

TEST(LineFramer, ShortReadEndsAnOverlongLine) {
    CLineFramer framer;
    const std::string blanks(kRead, ' ');
    for (int i = 0; i < 5; ++i) Take(framer, blanks);
    // Still part of the line being dropped, but the message ends with it.
    EXPECT_EQ(Take(framer, "zz"), Lines());
    EXPECT_EQ(Take(framer, "2:8"), Lines({"2:8\n"}));

    // A closed read ends it just as well.
    for (int i = 0; i < 5; ++i) Take(framer, blanks);
    EXPECT_EQ(TakeResult(framer, 0), Lines());
    EXPECT_EQ(Take(framer, "2:9"), Lines({"2:9\n"}));
}

TEST(LineFramer, HeaderTakesTheRestOfItsRead) {
    CLineFramer framer;
    // Any line whose first three characters are 700 is a header.
    EXPECT_EQ(Take(framer, "3:1\n7001:4\nlost2:9:9\nmore"), Lines({"3:1\n"}));
    EXPECT_TRUE(framer.InPayload());
    EXPECT_EQ(framer.Pending(), "");
    EXPECT_TRUE(FeedPayload(framer, "abcd"));
    EXPECT_EQ(Delivered(framer.TakePayload(false)), "abcd");
    EXPECT_FALSE(framer.InPayload());
    EXPECT_EQ(Take(framer, "2:1\n"), Lines({"2:1\n"}));

    // A header completed from pending text.
    const std::string head(kRead - 5, 'a');
    EXPECT_EQ(Take(framer, head + "\n700:"), Lines({head + "\n"}));
    EXPECT_EQ(Take(framer, "3\nxyz"), Lines());
    EXPECT_EQ(framer.Pending(), "");
    EXPECT_TRUE(FeedPayload(framer, "pqr"));
    EXPECT_EQ(Delivered(framer.TakePayload(false)), "pqr");

    // Not at the start of the line: an ordinary line.
    EXPECT_EQ(Take(framer, " 700:4\n"), Lines({" 700:4\n"}));
    EXPECT_FALSE(framer.InPayload());
}

TEST(LineFramer, HeaderSizeIsReadAsFormattedInput) {
    const std::vector<std::pair<std::string, int>> rooms = {
        {"700:5\n", 5},    {"700 : +5\n", 5}, {"700x5\n", 5},
        {"700:5abc\n", 5}, {"700:\t7\n", 7},  {"700:2147483647\n", kChunk},
    };
    for (const auto& [header, room] : rooms) {
        CLineFramer framer;
        Take(framer, header);
        ASSERT_TRUE(framer.InPayload()) << header;
        int offered = 0;
        framer.PayloadSpace(false, 0, &offered);
        EXPECT_EQ(offered, room) << header;
    }
}

TEST(LineFramer, HeaderWithoutPositiveSizeIsConsumedInLineMode) {
    for (const char* header : {"700:0\n", "700:-5\n", "700:x\n", "700\n", "700:\n", "7005\n",
                               "700:2147483648\n", "700:99999999999\n", "700:-99999999999\n"}) {
        CLineFramer framer;
        // The header still takes the rest of its read.
        EXPECT_EQ(Take(framer, std::string(header) + "2:1:2\n"), Lines()) << header;
        EXPECT_FALSE(framer.InPayload()) << header;
        EXPECT_EQ(Take(framer, "2:1:2\n"), Lines({"2:1:2\n"})) << header;
    }
}

TEST(LineFramer, PayloadIsCollectedAcrossReadsIntoOneBlock) {
    CLineFramer framer;
    Take(framer, "700:1000\n");
    const std::string block = std::string(300, 'a') + std::string(700, 'b');
    int room = 0;
    char* first = framer.PayloadSpace(false, 0, &room);
    EXPECT_EQ(room, 1000);
    std::memcpy(first, block.data(), 300);
    EXPECT_FALSE(framer.TakePayloadRead(300));
    // A closed or failed read adds nothing.
    EXPECT_FALSE(framer.TakePayloadRead(0));
    EXPECT_FALSE(framer.TakePayloadRead(-1));
    char* second = framer.PayloadSpace(false, 0, &room);
    EXPECT_EQ(second, first + 300);
    EXPECT_EQ(room, 700);
    std::memcpy(second, block.data() + 300, 700);
    EXPECT_TRUE(framer.TakePayloadRead(700));
    EXPECT_TRUE(framer.InPayload()) << "line mode comes with the hand-over";

    const CLineFramer::Payload payload = framer.TakePayload(false);
    EXPECT_EQ(payload.size, 1000);
    EXPECT_EQ(Delivered(payload), block);
    EXPECT_FALSE(framer.InPayload());
    // The next payload gets a block of its own.
    Take(framer, "700:2\n");
    EXPECT_TRUE(FeedPayload(framer, "yz"));
    EXPECT_EQ(Delivered(framer.TakePayload(false)), "yz");
    EXPECT_EQ(Delivered(payload), block);
}

TEST(LineFramer, PayloadAtTheCapIsAllocatedAboveItIsReadInChunksAndThrownAway) {
    CLineFramer atCap;
    Take(atCap, "700:" + std::to_string(kCap) + "\n");
    int room = 0;
    atCap.PayloadSpace(false, 0, &room);
    EXPECT_EQ(room, kCap);
    atCap.Reset();

    CLineFramer framer;
    Take(framer, "700:" + std::to_string(kCap + 1) + "\n");
    char* scratch = nullptr;
    int32_t left = kCap + 1;
    int reads = 0;
    for (bool complete = false; !complete && reads <= kCap / kChunk + 1; ++reads) {
        char* space = framer.PayloadSpace(false, 0, &room);
        if (!scratch) scratch = space;
        ASSERT_EQ(space, scratch);
        ASSERT_EQ(room, std::min(left, int32_t{kChunk}));
        std::memset(space, 'x', static_cast<size_t>(room));
        left -= room;
        complete = framer.TakePayloadRead(room);
    }
    EXPECT_EQ(left, 0);
    EXPECT_EQ(reads, kCap / kChunk + 1);
    const CLineFramer::Payload payload = framer.TakePayload(false);
    EXPECT_EQ(payload.data, nullptr);
    EXPECT_EQ(payload.size, kCap + 1);
    EXPECT_FALSE(framer.InPayload());
    EXPECT_EQ(Take(framer, "2:3:4\n"), Lines({"2:3:4\n"}));
}

TEST(LineFramer, PayloadRestrictedAtItsFirstReadIsThrownAway) {
    CLineFramer framer;
    Take(framer, "700:6000\n");
    int room = 0;
    char* scratch = framer.PayloadSpace(true, 0, &room);
    EXPECT_EQ(room, kChunk) << "read in chunks, not allocated";
    EXPECT_FALSE(framer.TakePayloadRead(room));
    // A password accepted meanwhile doesn't bring it back.
    EXPECT_EQ(framer.PayloadSpace(false, 0, &room), scratch);
    EXPECT_EQ(room, 6000 - kChunk);
    EXPECT_TRUE(framer.TakePayloadRead(room));
    EXPECT_EQ(Delivered(framer.TakePayload(false)), "(none)");
    EXPECT_FALSE(framer.InPayload());

    // Unrestricted at the first read, restricted at the hand-over: kept back too.
    Take(framer, "700:3\n");
    EXPECT_TRUE(FeedPayload(framer, "abc", false));
    EXPECT_EQ(Delivered(framer.TakePayload(true)), "(none)");
    Take(framer, "700:3\n");
    EXPECT_TRUE(FeedPayload(framer, "def", false));
    EXPECT_EQ(Delivered(framer.TakePayload(false)), "def");
}

TEST(LineFramer, ResetForgetsEverythingHalfReceived) {
    CLineFramer framer;
    Take(framer, std::string(kRead, 'p'));
    framer.Reset();
    EXPECT_EQ(framer.Pending(), "");
    EXPECT_EQ(Take(framer, "2:5\n"), Lines({"2:5\n"}));

    // A payload half read: back in line mode.
    Take(framer, "700:10\n");
    int room = 0;
    framer.PayloadSpace(false, 0, &room);
    framer.TakePayloadRead(4);
    framer.Reset();
    EXPECT_FALSE(framer.InPayload());
    EXPECT_EQ(Take(framer, "3:1\n"), Lines({"3:1\n"}));

    // A payload being thrown away: the next one is kept.
    Take(framer, "700:5\n");
    framer.PayloadSpace(true, 0, &room);
    framer.Reset();
    Take(framer, "700:3\n");
    EXPECT_TRUE(FeedPayload(framer, "ghi"));
    EXPECT_EQ(Delivered(framer.TakePayload(false)), "ghi");

    // An over-long line being dropped: the next short read is a line again.
    for (int i = 0; i < 5; ++i) Take(framer, std::string(kRead, ' '));
    framer.Reset();
    EXPECT_EQ(Take(framer, "2:1"), Lines({"2:1\n"}));
}

}  // namespace
