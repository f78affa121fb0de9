#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "platform/DnsSd.h"

// A DNS-SD service whose register and deregister requests are answered later, on a thread of
// its own. Every request it accepts is answered exactly once, through
// AsyncServiceRegistration::Completed.
class IAsyncDnsSdService {
public:
    // What the service built for one record; it lives from Prepare to Release.
    using Handle = void*;

    virtual ~IAsyncDnsSdService() = default;
    // The service's own form of the record; null when it can't be built.
    virtual Handle Prepare(const ServiceRecord& record) = 0;
    // Each is true when the request was accepted, so that its answer will come.
    virtual bool BeginRegister(Handle registration) = 0;
    virtual bool BeginDeregister(Handle registration) = 0;
    // Frees the description of the service that an answer carried.
    virtual void FreeResult(void* result) = 0;
    // Frees what Prepare built once no request on it is outstanding.
    virtual void Release(Handle registration) = 0;
};

// One registration at a time on such a service. Register and Withdraw never wait: while a
// request is outstanding they only note what is wanted, and its answer moves on from there.
// So there is never more than one request outstanding, an older registration is withdrawn
// before a newer one is asked for, and a registration wanted only in between is skipped.
class AsyncServiceRegistration {
public:
    explicit AsyncServiceRegistration(IAsyncDnsSdService& service) : m_service(service) {}
    AsyncServiceRegistration(const AsyncServiceRegistration&) = delete;
    AsyncServiceRegistration& operator=(const AsyncServiceRegistration&) = delete;

    // Replaces the current registration, if any, with one of the record.
    void Register(const ServiceRecord& record);
    void Withdraw();
    // The service's answer to the request outstanding on `registration`; on any thread.
    void Completed(IAsyncDnsSdService::Handle registration, bool succeeded, void* result);
    // Withdraws and waits up to `timeout` for the answers. True when nothing is outstanding
    // any more and no answer is being handled, so that the service may go.
    bool Finish(std::chrono::milliseconds timeout);

private:
    enum class Phase { kIdle, kRegistering, kRegistered, kDeregistering };

    // Sends the next request that the wanted state calls for, unless one is outstanding.
    void Advance();
    // Back to idle after the registration's last request; called with the lock held.
    void DropCurrent();

    IAsyncDnsSdService& m_service;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    Phase m_phase = Phase::kIdle;
    IAsyncDnsSdService::Handle m_current = nullptr;
    // Whether the current registration is still wanted, and the one to make next.
    bool m_keep = false;
    std::optional<ServiceRecord> m_next;
    // Answers being handled on the service's threads right now.
    int m_answering = 0;
};
