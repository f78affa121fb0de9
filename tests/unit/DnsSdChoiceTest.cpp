#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeDnsSd.h"
#include "platform/common/DnsSdChoice.h"

namespace {

using Calls = std::vector<std::string>;

const ServiceRecord kRecord{"Office PC", "_tavrixremote._tcp", 12589, true};

struct ChoiceRig {
    ChoiceRig(bool preferredPresent, bool fallbackPresent) {
        preferred.present = preferredPresent;
        fallback.present = fallbackPresent;
    }
    FakeDnsSd preferred;
    FakeDnsSd fallback;
    DnsSdChoice choice{preferred, fallback};
};

TEST(DnsSdChoice, ThePreferredBackendWinsAndTheOtherIsNeverTouched) {
    ChoiceRig rig(true, true);
    EXPECT_TRUE(rig.choice.Load());
    EXPECT_TRUE(rig.choice.IsLoaded());
    rig.choice.Register(kRecord);
    rig.choice.Withdraw();
    EXPECT_EQ(rig.preferred.calls, (Calls{"Load", "Register Office PC #1", "Withdraw #1"}));
    EXPECT_TRUE(rig.fallback.calls.empty());
}

TEST(DnsSdChoice, TheFallbackServesWhenThePreferredOneIsMissing) {
    ChoiceRig rig(false, true);
    EXPECT_TRUE(rig.choice.Load());
    rig.choice.Register(kRecord);
    EXPECT_EQ(rig.preferred.calls, Calls{"Load"});
    EXPECT_EQ(rig.fallback.calls, (Calls{"Load", "Register Office PC #1"}));
    ASSERT_EQ(rig.fallback.registrations.size(), 1u);
    EXPECT_EQ(rig.fallback.registrations[0].port, 12589);
}

TEST(DnsSdChoice, NeitherBackendMeansNotLoadedAndNothingIsPassedOn) {
    ChoiceRig rig(false, false);
    EXPECT_FALSE(rig.choice.Load());
    EXPECT_FALSE(rig.choice.IsLoaded());
    rig.choice.Register(kRecord);
    rig.choice.Withdraw();
    rig.choice.Unload();
    EXPECT_EQ(rig.preferred.calls, Calls{"Load"});
    EXPECT_EQ(rig.fallback.calls, Calls{"Load"});
}

TEST(DnsSdChoice, ChosenOnceUntilUnloadedThenChosenAgain) {
    ChoiceRig rig(false, true);
    ASSERT_TRUE(rig.choice.Load());
    // The preferred library turns up later: the loaded choice stands.
    rig.preferred.present = true;
    EXPECT_TRUE(rig.choice.Load());
    EXPECT_EQ(rig.preferred.calls, Calls{"Load"});
    EXPECT_EQ(rig.fallback.calls, Calls{"Load"});

    rig.choice.Unload();
    EXPECT_FALSE(rig.choice.IsLoaded());
    EXPECT_EQ(rig.fallback.calls, (Calls{"Load", "Unload"}));
    rig.choice.Register(kRecord);
    EXPECT_TRUE(rig.fallback.registrations.empty());

    EXPECT_TRUE(rig.choice.Load());
    EXPECT_EQ(rig.preferred.calls, (Calls{"Load", "Load"}));
}

TEST(DnsSdChoice, DestructionUnloadsOnlyTheChosenBackend) {
    FakeDnsSd preferred;
    FakeDnsSd fallback;
    preferred.present = false;
    {
        DnsSdChoice choice(preferred, fallback);
        choice.Load();
    }
    EXPECT_EQ(preferred.calls, Calls{"Load"});
    EXPECT_EQ(fallback.calls, (Calls{"Load", "Unload"}));
}

}  // namespace
