#pragma once
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/common/AsyncServiceRegistration.h"

// Records requests in order and holds them until the test answers them, the way a system
// service answers on its own thread. Registrations and results are numbered from 1; it
// counts what is never freed and every second request sent while one is outstanding.
class FakeAsyncDnsSdService : public IAsyncDnsSdService {
public:
    Handle Prepare(const ServiceRecord& record) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back("Prepare " + record.name + (prepareSucceeds ? "" : " refused"));
        if (!prepareSucceeds) return nullptr;
        m_ids.push_back(static_cast<int>(m_ids.size()) + 1);
        m_prepared.insert(m_ids.back());
        return &m_ids.back();
    }
    bool BeginRegister(Handle registration) override {
        return Begin("Register", registration, registerAccepted);
    }
    bool BeginDeregister(Handle registration) override {
        return Begin("Deregister", registration, deregisterAccepted);
    }
    void FreeResult(void* result) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_results.erase(*static_cast<int*>(result));
    }
    void Release(Handle registration) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const int id = Id(registration);
        m_calls.push_back("Release #" + std::to_string(id));
        m_prepared.erase(id);
    }

    // Answers the oldest outstanding request, with a result that must be freed; false when
    // none is outstanding.
    bool Answer(AsyncServiceRegistration& registration, bool succeeded = true) {
        Handle answered = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_outstanding.empty()) return false;
            answered = m_outstanding.front();
            m_outstanding.pop_front();
        }
        registration.Completed(answered, succeeded, MakeResult());
        return true;
    }

    // A description of a service, as answers carry them, that the receiver must free.
    void* MakeResult() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_resultIds.push_back(static_cast<int>(m_resultIds.size()) + 1);
        m_results.insert(m_resultIds.back());
        return &m_resultIds.back();
    }

    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    std::set<int> Prepared() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_prepared;
    }
    size_t UnfreedResults() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_results.size();
    }
    int Overlaps() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_overlaps;
    }

    bool prepareSucceeds = true;
    bool registerAccepted = true;
    bool deregisterAccepted = true;

private:
    bool Begin(const char* what, Handle registration, bool accepted) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(std::string(what) + " #" + std::to_string(Id(registration)) +
                          (accepted ? "" : " refused"));
        if (!accepted) return false;
        if (!m_outstanding.empty()) ++m_overlaps;
        m_outstanding.push_back(registration);
        return true;
    }
    static int Id(Handle registration) { return *static_cast<int*>(registration); }

    std::mutex m_mutex;
    std::vector<std::string> m_calls;
    // Deques keep the addresses handed out stable.
    std::deque<int> m_ids;
    std::deque<int> m_resultIds;
    std::set<int> m_prepared;
    std::set<int> m_results;
    std::deque<Handle> m_outstanding;
    int m_overlaps = 0;
};
