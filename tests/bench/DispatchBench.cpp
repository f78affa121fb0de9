// The device's command lines through the framing, the field parser and the dispatcher, with
// an executor whose parts do nothing: the core's own cost per line.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <list>
#include <string>
#include <vector>

#include "NoOpCommandParts.h"
#include "net/LineFramer.h"
#include "platform/Sound.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"
#include "protocol/CommandFields.h"
#include "protocol/SessionGate.h"

namespace {

class SilentGate : public ISessionGate {
public:
    void CheckPassword(const std::string&) override {}
    void SetDeviceName(const std::string&) override {}
};

class SilentSound : public ISound {
public:
    void Play(const std::string&) override {}
};

// Pointer moves as a device sends them while a finger drags: small steps in quarters and
// tenths, whole numbers, both signs.
std::string PointerMoveStream(size_t minBytes, size_t* lineCount) {
    std::string stream;
    unsigned seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) & 0x7FFF);
    };
    *lineCount = 0;
    char line[64];
    while (stream.size() < minBytes) {
        const int kind = next() % 3;
        const int a = next() % 161 - 80;
        const int b = next() % 161 - 80;
        if (kind == 0) {
            std::snprintf(line, sizeof(line), "2:%d:%d\n", a / 4, b / 4);
        } else if (kind == 1) {
            std::snprintf(line, sizeof(line), "2:%g:%g\n", a / 4.0, b / 4.0);
        } else {
            std::snprintf(line, sizeof(line), "2:%.1f:%.1f\n", a / 10.0, b / 10.0);
        }
        stream += line;
        ++*lineCount;
    }
    return stream;
}

// (a) Framing and dispatch as the connection does it: each read cut into lines, the batch
// taken from the queue and dispatched line by line.
void BM_FramedPointerMoves(benchmark::State& state) {
    size_t lineCount = 0;
    const std::string stream = PointerMoveStream(16 * 1024, &lineCount);
    NoOpCommandParts parts;
    CCommandExecutor executor(parts.Parts());
    SilentGate gate;
    SilentSound sound;
    CCommandDispatcher dispatcher(executor, gate, sound);
    CLineFramer framer;
    std::list<std::string> queue;
    for (auto _ : state) {
        for (size_t at = 0; at < stream.size(); at += CLineFramer::kReadSize) {
            const size_t n = std::min<size_t>(CLineFramer::kReadSize, stream.size() - at);
            framer.TakeLineRead(stream.data() + at, static_cast<int>(n), queue);
            std::list<std::string> batch;
            batch.swap(queue);
            for (const std::string& line : batch) dispatcher.DispatchLine(line.c_str(), false);
        }
    }
    const auto expected = static_cast<long long>(lineCount) * state.iterations();
    if (parts.pointer.moves != expected) state.SkipWithError("lines lost in framing");
    benchmark::DoNotOptimize(parts.pointer.sum);
    state.SetItemsProcessed(expected);
    state.SetBytesProcessed(static_cast<int64_t>(stream.size()) * state.iterations());
}
BENCHMARK(BM_FramedPointerMoves);

struct TypicalLine {
    const char* text;
    const char* fields;  // i: int, f: float, w: word, in the order the code reads them
};

const TypicalLine kTypicalLines[] = {
    {"2:3.5:-2\n", "ff"},
    {"2:-0.75:12.25\n", "ff"},
    {"1:0:-3.5\n", "ff"},
    {"3:1\n", "i"},
    {"4:1\n", "i"},
    {"33:1:2\n", "ii"},
    {"6:13:0\n", "ii"},
    {"7:97:1\n", "ii"},
    {"20:4:-1\n", "ff"},
    {"302:18.5:-6.25:1.1\n", "fff"},
    {"438:-1|-2|78|0|111|0|116|0|101|0\n", "w"},
    {"200:0:1.5:2.5:0.5:1\n", "iffff"},
};

// (b) The field parser alone on the lines a session is made of.
void BM_CommandFields(benchmark::State& state) {
    for (auto _ : state) {
        for (const TypicalLine& line : kTypicalLines) {
            CommandFields fields(line.text);
            int code = 0;
            benchmark::DoNotOptimize(fields.ReadCode(code));
            for (const char* kind = line.fields; *kind; ++kind) {
                if (*kind == 'i') {
                    benchmark::DoNotOptimize(fields.Int());
                } else if (*kind == 'f') {
                    benchmark::DoNotOptimize(fields.Float());
                } else {
                    benchmark::DoNotOptimize(fields.Word());
                }
            }
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(std::size(kTypicalLines)) * state.iterations());
}
BENCHMARK(BM_CommandFields);

}  // namespace
