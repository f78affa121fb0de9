// One command line from the dispatcher through the executor to the parts, restricted or not.
// Traps when a line reaches more than one operation, or anything but the session gate
// before the password.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fakes/FakeSound.h"
#include "fakes/RecordingCommandParts.h"
#include "fakes/RecordingSessionGate.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/CommandExecutor.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    RecordingCommandParts parts;
    CCommandExecutor executor(parts.All());
    RecordingSessionGate gate;
    FakeSound sound;
    CCommandDispatcher dispatcher(executor, gate, sound);
    const bool restricted = (data[0] & 1) != 0;
    const bool alertSound = (data[0] & 2) != 0;
    dispatcher.SetAlertSound(alertSound);
    const std::string line(reinterpret_cast<const char*>(data) + 1, size - 1);
    dispatcher.DispatchLine(line.c_str(), restricted);

    const size_t gateCalls = gate.passwords.size() + gate.deviceNames.size();
    Check(parts.calls.size() + gateCalls <= 1);
    if (restricted) Check(parts.calls.empty());
    Check(parts.ends.empty());
    // The connect sound belongs to the hello alone.
    Check(sound.played.size() == (alertSound ? gate.deviceNames.size() : 0));
    return 0;
}
