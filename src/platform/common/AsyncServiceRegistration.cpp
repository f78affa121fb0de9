#include "platform/common/AsyncServiceRegistration.h"

#include <utility>

void AsyncServiceRegistration::Register(const ServiceRecord& record) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_keep = false;
        m_next = record;
    }
    Advance();
}

void AsyncServiceRegistration::Withdraw() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_keep = false;
        m_next.reset();
    }
    Advance();
}

void AsyncServiceRegistration::Completed(IAsyncDnsSdService::Handle registration, bool succeeded,
                                         void* result) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_answering;
        if (result) m_service.FreeResult(result);
        // Only the one outstanding request can be answered; anything else is ignored.
        if (registration && registration == m_current) {
            if (m_phase == Phase::kRegistering && succeeded)
                m_phase = Phase::kRegistered;
            else if (m_phase == Phase::kRegistering || m_phase == Phase::kDeregistering)
                DropCurrent();
        }
    }
    Advance();
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_answering;
    // Under the lock: once Finish sees the count at zero, this object may be gone.
    m_changed.notify_all();
}

bool AsyncServiceRegistration::Finish(std::chrono::milliseconds timeout) {
    Withdraw();
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout,
                              [this] { return m_phase == Phase::kIdle && m_answering == 0; });
}

void AsyncServiceRegistration::Advance() {
    for (;;) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_phase == Phase::kRegistered && !m_keep) {
            m_phase = Phase::kDeregistering;
            const IAsyncDnsSdService::Handle current = m_current;
            lock.unlock();
            // Outside the lock: a service may answer before it returns.
            if (m_service.BeginDeregister(current)) return;
        } else if (m_phase == Phase::kIdle && m_next) {
            const ServiceRecord record = std::move(*m_next);
            m_next.reset();
            m_keep = true;
            m_phase = Phase::kRegistering;
            lock.unlock();
            const IAsyncDnsSdService::Handle prepared = m_service.Prepare(record);
            if (prepared) {
                lock.lock();
                m_current = prepared;
                lock.unlock();
                if (m_service.BeginRegister(prepared)) return;
            }
        } else {
            return;
        }
        // Refused, so no answer comes; a refused registration isn't tried again.
        lock.lock();
        DropCurrent();
    }
}

void AsyncServiceRegistration::DropCurrent() {
    if (m_current) m_service.Release(m_current);
    m_current = nullptr;
    m_phase = Phase::kIdle;
    m_changed.notify_all();
}
