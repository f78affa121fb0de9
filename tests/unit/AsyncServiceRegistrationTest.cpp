#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fakes/FakeAsyncDnsSdService.h"
#include "platform/common/AsyncServiceRegistration.h"

namespace {

using Calls = std::vector<std::string>;
using std::chrono::milliseconds;

ServiceRecord Record(const std::string& name) {
    return {name, "_tavrixremote._tcp", 12589, true};
}

struct RegistrationRig {
    FakeAsyncDnsSdService service;
    AsyncServiceRegistration registration{service};

    bool Answer(bool succeeded = true) { return service.Answer(registration, succeeded); }
    // Nothing outstanding, nothing prepared and every answer's result freed.
    void ExpectAllFreed() {
        EXPECT_FALSE(Answer());
        EXPECT_TRUE(service.Prepared().empty());
        EXPECT_EQ(service.UnfreedResults(), 0u);
    }
};

TEST(AsyncServiceRegistration, RegisteredThenWithdrawnFreesEverythingOnTheLastAnswer) {
    RegistrationRig rig;
    rig.registration.Register(Record("Office PC"));
    EXPECT_EQ(rig.service.Calls(), (Calls{"Prepare Office PC", "Register #1"}));
    ASSERT_TRUE(rig.Answer());
    EXPECT_EQ(rig.service.UnfreedResults(), 0u);
    rig.registration.Withdraw();
    EXPECT_EQ(rig.service.Calls().back(), "Deregister #1");
    // What the registration built stays until the deregistration is answered.
    EXPECT_EQ(rig.service.Prepared(), std::set<int>{1});
    ASSERT_TRUE(rig.Answer());
    EXPECT_EQ(rig.service.Calls().back(), "Release #1");
    rig.ExpectAllFreed();
}

TEST(AsyncServiceRegistration, AWithdrawWhileRegisteringWaitsForTheAnswer) {
    RegistrationRig rig;
    rig.registration.Register(Record("Office PC"));
    rig.registration.Withdraw();
    rig.registration.Withdraw();
    EXPECT_EQ(rig.service.Calls(), (Calls{"Prepare Office PC", "Register #1"}));
    // The answer itself sends the deregistration.
    ASSERT_TRUE(rig.Answer());
    EXPECT_EQ(rig.service.Calls().back(), "Deregister #1");
    ASSERT_TRUE(rig.Answer());
    rig.ExpectAllFreed();
    EXPECT_EQ(rig.service.Calls().size(), 4u);
}

TEST(AsyncServiceRegistration, ANewerRegistrationWaitsForTheOlderOneToGo) {
    RegistrationRig rig;
    rig.registration.Register(Record("A"));
    rig.registration.Withdraw();
    rig.registration.Register(Record("B"));
    rig.registration.Withdraw();
    rig.registration.Register(Record("C"));
    ASSERT_TRUE(rig.Answer());
    EXPECT_EQ(rig.service.Calls().back(), "Deregister #1");
    ASSERT_TRUE(rig.Answer());
    // B was wanted only in between and is never made.
    EXPECT_EQ(rig.service.Calls(), (Calls{"Prepare A", "Register #1", "Deregister #1", "Release #1",
                                          "Prepare C", "Register #2"}));
    ASSERT_TRUE(rig.Answer());
    EXPECT_EQ(rig.service.Prepared(), std::set<int>{2});

    // A Register without a Withdraw before it replaces the registration all the same.
    rig.registration.Register(Record("D"));
    EXPECT_EQ(rig.service.Calls().back(), "Deregister #2");
    ASSERT_TRUE(rig.Answer());
    EXPECT_EQ(rig.service.Calls().back(), "Register #3");
    EXPECT_EQ(rig.service.Overlaps(), 0);
}

TEST(AsyncServiceRegistration, AFailedRegistrationIsFreedAndNotTriedAgain) {
    RegistrationRig rig;
    rig.registration.Register(Record("A"));
    ASSERT_TRUE(rig.Answer(false));
    EXPECT_EQ(rig.service.Calls(), (Calls{"Prepare A", "Register #1", "Release #1"}));
    rig.registration.Withdraw();
    rig.ExpectAllFreed();
    EXPECT_EQ(rig.service.Calls().size(), 3u);

    // A failed deregistration ends the registration too.
    rig.registration.Register(Record("B"));
    ASSERT_TRUE(rig.Answer());
    rig.registration.Withdraw();
    ASSERT_TRUE(rig.Answer(false));
    rig.ExpectAllFreed();
}

TEST(AsyncServiceRegistration, RefusedRequestsAreFreedAndTheNextRecordStillGoes) {
    RegistrationRig rig;
    rig.service.prepareSucceeds = false;
    rig.registration.Register(Record("A"));
    rig.service.prepareSucceeds = true;
    rig.service.registerAccepted = false;
    rig.registration.Register(Record("B"));
    EXPECT_EQ(rig.service.Calls(),
              (Calls{"Prepare A refused", "Prepare B", "Register #1 refused", "Release #1"}));
    rig.ExpectAllFreed();

    rig.service.registerAccepted = true;
    rig.service.deregisterAccepted = false;
    rig.registration.Register(Record("C"));
    ASSERT_TRUE(rig.Answer());
    rig.registration.Withdraw();
    rig.registration.Register(Record("D"));
    EXPECT_EQ(
        rig.service.Calls(),
        (Calls{"Prepare A refused", "Prepare B", "Register #1 refused", "Release #1", "Prepare C",
               "Register #2", "Deregister #2 refused", "Release #2", "Prepare D", "Register #3"}));
}

TEST(AsyncServiceRegistration, StrayAnswersOnlyHaveTheirResultFreed) {
    RegistrationRig rig;
    rig.registration.Register(Record("A"));
    int stranger = 99;
    rig.registration.Completed(&stranger, true, rig.service.MakeResult());
    rig.registration.Completed(nullptr, false, nullptr);
    EXPECT_EQ(rig.service.UnfreedResults(), 0u);
    EXPECT_EQ(rig.service.Calls(), (Calls{"Prepare A", "Register #1"}));
    // Still waiting for its own answer: a withdraw doesn't go out yet.
    rig.registration.Withdraw();
    EXPECT_EQ(rig.service.Calls().size(), 2u);
    ASSERT_TRUE(rig.Answer());
    ASSERT_TRUE(rig.Answer());
    rig.ExpectAllFreed();
}

// A service that answers before its call returns.
class AnsweringAtOnce : public FakeAsyncDnsSdService {
public:
    bool BeginRegister(Handle registration) override {
        const bool accepted = FakeAsyncDnsSdService::BeginRegister(registration);
        if (accepted && owner) Answer(*owner);
        return accepted;
    }
    bool BeginDeregister(Handle registration) override {
        const bool accepted = FakeAsyncDnsSdService::BeginDeregister(registration);
        if (accepted && owner) Answer(*owner);
        return accepted;
    }
    AsyncServiceRegistration* owner = nullptr;
};

TEST(AsyncServiceRegistration, AnAnswerBeforeTheCallReturnsIsHandled) {
    AnsweringAtOnce service;
    AsyncServiceRegistration registration(service);
    service.owner = &registration;
    registration.Register(Record("A"));
    registration.Register(Record("B"));
    EXPECT_TRUE(registration.Finish(milliseconds(100)));
    EXPECT_EQ(service.Calls(), (Calls{"Prepare A", "Register #1", "Deregister #1", "Release #1",
                                      "Prepare B", "Register #2", "Deregister #2", "Release #2"}));
    EXPECT_TRUE(service.Prepared().empty());
    EXPECT_EQ(service.UnfreedResults(), 0u);
}

TEST(AsyncServiceRegistration, FinishWithdrawsAndWaitsForTheAnswersFromAnotherThread) {
    RegistrationRig rig;
    rig.registration.Register(Record("A"));
    std::thread answering([&] {
        for (int answers = 0; answers < 2;) {
            std::this_thread::sleep_for(milliseconds(20));
            if (rig.Answer()) ++answers;
        }
    });
    const bool finished = rig.registration.Finish(milliseconds(5000));
    answering.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(rig.service.Calls(),
              (Calls{"Prepare A", "Register #1", "Deregister #1", "Release #1"}));
    rig.ExpectAllFreed();
}

TEST(AsyncServiceRegistration, FinishGivesUpOnAServiceThatNeverAnswers) {
    RegistrationRig rig;
    rig.registration.Register(Record("A"));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(rig.registration.Finish(milliseconds(50)));
    EXPECT_GE(std::chrono::steady_clock::now() - started, milliseconds(50));
    // Nothing is freed under an outstanding request; a late answer still finds it all.
    EXPECT_EQ(rig.service.Prepared(), std::set<int>{1});
    ASSERT_TRUE(rig.Answer());
    ASSERT_TRUE(rig.Answer());
    rig.ExpectAllFreed();
    EXPECT_TRUE(rig.registration.Finish(milliseconds(0)));
}

TEST(AsyncServiceRegistration, QuickChangesWhileAnswersArriveLeakNothingAndNeverOverlap) {
    RegistrationRig rig;
    std::atomic<bool> stop{false};
    std::thread answering([&] {
        while (!stop) {
            if (!rig.Answer()) std::this_thread::yield();
        }
    });
    for (int i = 0; i < 2000; ++i) {
        rig.registration.Withdraw();
        rig.registration.Register(Record("R" + std::to_string(i % 7)));
        if (i % 3 == 0) rig.registration.Withdraw();
    }
    rig.registration.Register(Record("Last"));
    const bool finished = rig.registration.Finish(milliseconds(5000));
    stop = true;
    answering.join();
    EXPECT_TRUE(finished);
    EXPECT_EQ(rig.service.Overlaps(), 0);
    rig.ExpectAllFreed();

    // Each registration went through its requests in order, and once a newer one was
    // prepared, no request touched an older one.
    std::map<int, std::string> steps;
    int newest = 0;
    for (const std::string& call : rig.service.Calls()) {
        if (call.rfind("Prepare", 0) == 0) {
            steps[++newest] += 'P';
            continue;
        }
        const int id = std::stoi(call.substr(call.find('#') + 1));
        EXPECT_EQ(id, newest) << call;
        steps[id] += call[0];
    }
    // How many registrations the answers let through depends on the scheduler; at least the
    // first one was made and taken back.
    EXPECT_GE(newest, 1);
    for (const auto& [id, sequence] : steps) EXPECT_EQ(sequence, "PRDR") << "#" << id;
}

}  // namespace
