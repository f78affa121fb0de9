#pragma once
#include <set>
#include <string>
#include <vector>

#include "platform/DnsSd.h"

// Records the calls in order; registrations are numbered from 1. A Register without the
// Withdraw before it leaves two live, which the tests see.
class FakeDnsSd : public IDnsSd {
public:
    bool Load() override {
        calls.push_back("Load");
        loaded = present;
        return loaded;
    }
    bool IsLoaded() const override { return loaded; }
    void Unload() override {
        calls.push_back("Unload");
        loaded = false;
    }
    void Register(const ServiceRecord& record) override {
        registrations.push_back(record);
        m_current = static_cast<int>(registrations.size());
        live.insert(m_current);
        calls.push_back("Register " + record.name + " #" + std::to_string(m_current));
    }
    void Withdraw() override {
        if (live.erase(m_current) == 0) {
            calls.push_back("Withdraw");
            return;
        }
        calls.push_back("Withdraw #" + std::to_string(m_current));
    }

    bool present = true;
    bool loaded = false;
    std::vector<std::string> calls;
    std::vector<ServiceRecord> registrations;
    std::set<int> live;

private:
    int m_current = 0;
};
