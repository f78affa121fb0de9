#include "platform/x11/X11WindowFacts.h"

#include <algorithm>

#include "platform/common/Windows1252.h"

namespace {

bool Contains(const std::vector<uint32_t>& items, uint32_t item) {
    return std::find(items.begin(), items.end(), item) != items.end();
}

}  // namespace

std::string ShortHostName(const std::string& name) {
    return name.substr(0, name.find('.'));
}

WindowAnswers AnswerFromFacts(const WindowFacts& facts, const WindowFactsAtoms& atoms,
                              const std::string& hostName,
                              const std::function<std::string(const WindowFacts&)>& legacyTitle) {
    WindowAnswers answers;
    if (!facts.exists) return answers;
    answers.exists = true;
    answers.listed = !Contains(facts.types, atoms.typeDock) &&
                     !Contains(facts.types, atoms.typeDesktop) &&
                     !Contains(facts.states, atoms.stateSkipTaskbar);
    answers.parent = facts.hasTransientFor ? facts.transientFor : 0;
    answers.visible =
        facts.hasWmState && (facts.wmState == kNormalWmState || facts.wmState == kIconicWmState);
    answers.iconic = (facts.hasWmState && facts.wmState == kIconicWmState) ||
                     Contains(facts.states, atoms.stateHidden);
    if (facts.hasUtf8Name) {
        answers.title = Utf8ToWindows1252(facts.utf8Name);
    } else if (facts.hasLegacyName && legacyTitle) {
        answers.title = Utf8ToWindows1252(legacyTitle(facts));
    }
    // A process id means something only on the host that made the window.
    const bool thisHost =
        facts.hasClientMachine && (facts.clientMachine == hostName ||
                                   ShortHostName(facts.clientMachine) == ShortHostName(hostName));
    if (thisHost && facts.hasPid) answers.processId = facts.pid;
    return answers;
}
