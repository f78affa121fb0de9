#include <gtest/gtest.h>

#include <string>

#include "platform/x11/X11WindowFacts.h"

namespace {

constexpr uint32_t kDock = 101;
constexpr uint32_t kDesktop = 102;
constexpr uint32_t kSkipTaskbar = 103;
constexpr uint32_t kHidden = 104;
constexpr uint32_t kNormalType = 105;

const WindowFactsAtoms kAtoms{kDock, kDesktop, kSkipTaskbar, kHidden};

// A plain, mapped window of this host's process 42, named "Editor".
WindowFacts Plain() {
    WindowFacts facts;
    facts.exists = true;
    facts.types = {kNormalType};
    facts.hasUtf8Name = true;
    facts.utf8Name = "Editor";
    facts.hasWmState = true;
    facts.wmState = kNormalWmState;
    facts.hasClientMachine = true;
    facts.clientMachine = "desk.example.org";
    facts.hasPid = true;
    facts.pid = 42;
    return facts;
}

WindowAnswers Answer(const WindowFacts& facts, const std::string& host = "desk") {
    return AnswerFromFacts(facts, kAtoms, host,
                           [](const WindowFacts& f) { return "legacy:" + f.legacyName; });
}

TEST(WindowFacts, DocksDesktopsAndWindowsKeptOutOfTheTaskBarAreNotListed) {
    EXPECT_TRUE(Answer(Plain()).listed);
    for (const uint32_t type : {kDock, kDesktop}) {
        WindowFacts facts = Plain();
        facts.types = {kNormalType, type};
        EXPECT_FALSE(Answer(facts).listed) << type;
    }
    WindowFacts skipped = Plain();
    skipped.states = {kHidden, kSkipTaskbar};
    EXPECT_FALSE(Answer(skipped).listed);
}

TEST(WindowFacts, StateTransientsAndTitles) {
    WindowFacts facts = Plain();
    EXPECT_EQ(Answer(facts).parent, 0u);
    facts.hasTransientFor = true;
    facts.transientFor = 0x600001;
    EXPECT_EQ(Answer(facts).parent, 0x600001u);

    facts.wmState = kIconicWmState;
    EXPECT_TRUE(Answer(facts).visible);
    EXPECT_TRUE(Answer(facts).iconic);
    facts.wmState = kNormalWmState;
    facts.states = {kHidden};
    EXPECT_TRUE(Answer(facts).iconic);
    facts.hasWmState = false;  // withdrawn
    EXPECT_FALSE(Answer(facts).visible);

    // _NET_WM_NAME in UTF-8 wins and arrives in Windows-1252; WM_NAME only without it.
    facts.utf8Name = "Caf\xC3\xA9";
    facts.hasLegacyName = true;
    facts.legacyName = "old";
    EXPECT_EQ(Answer(facts).title, "Caf\xE9");
    facts.hasUtf8Name = false;
    EXPECT_EQ(Answer(facts).title, "legacy:old");
    facts.hasLegacyName = false;
    EXPECT_EQ(Answer(facts).title, "");
}

TEST(WindowFacts, TheProcessIdCountsOnlyOnThisHost) {
    EXPECT_EQ(Answer(Plain(), "desk").processId, 42u);
    EXPECT_EQ(Answer(Plain(), "desk.example.org").processId, 42u);
    EXPECT_EQ(Answer(Plain(), "other").processId, 0u);
    WindowFacts unnamed = Plain();
    unnamed.hasClientMachine = false;
    EXPECT_EQ(Answer(unnamed).processId, 0u);
    WindowFacts noPid = Plain();
    noPid.hasPid = false;
    EXPECT_EQ(Answer(noPid).processId, 0u);
}

TEST(WindowFacts, AWindowGoneBeforeTheRepliesIsNeitherListedNorShown) {
    WindowFacts gone = Plain();
    gone.exists = false;
    const WindowAnswers answers = Answer(gone);
    EXPECT_FALSE(answers.exists);
    EXPECT_FALSE(answers.listed);
    EXPECT_FALSE(answers.visible);
    EXPECT_EQ(answers.title, "");
    EXPECT_EQ(answers.processId, 0u);
}

}  // namespace
