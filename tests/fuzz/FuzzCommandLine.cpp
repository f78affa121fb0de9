// One command line through the dispatcher, restricted or not.
#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    CCommandExecutor executor(nullptr);
    CCommandDispatcher dispatcher(&executor, nullptr, nullptr);
    const std::string line(reinterpret_cast<const char*>(data) + 1, size - 1);
    dispatcher.DispatchLine(line.c_str(), (data[0] & 1) != 0);
    return 0;
}
