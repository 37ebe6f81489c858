#include "http/ConnectionSlots.h"

namespace zonarium {

ConnectionSlots::Ticket::~Ticket() {
    if (m_slots != nullptr) {
        m_slots->release(*this);
    }
}

ConnectionSlots::Ticket ConnectionSlots::admit(std::shared_ptr<Connection>& evicted) {
    const std::lock_guard lock(m_mutex);
    if (m_open >= m_capacity) {
        if (m_waiting.empty()) {
            return Ticket();
        }
        evicted = evictOldestLocked();
    }
    ++m_open;
    return Ticket(*this);
}

std::shared_ptr<ConnectionSlots::Connection> ConnectionSlots::evictOldest() {
    const std::lock_guard lock(m_mutex);
    return evictOldestLocked();
}

std::shared_ptr<ConnectionSlots::Connection> ConnectionSlots::evictOldestLocked() {
    if (m_waiting.empty()) {
        return nullptr;
    }
    // Alive: a session leaves the list (in release()) before its destruction ends.
    Ticket& oldest = m_waiting.front();
    m_waiting.pop_front();
    oldest.waiting = false;
    oldest.evicted = true;
    --m_open;
    ++m_evictions;
    // Null when the session is being destroyed already; it closes by itself then.
    return oldest.connection->keepForClosing();
}

void ConnectionSlots::closeIdle() {
    std::vector<std::shared_ptr<Connection>> waiting;
    {
        const std::lock_guard lock(m_mutex);
        for (Ticket& ticket : m_waiting) {
            if (auto connection = ticket.connection->keepForClosing()) {
                waiting.push_back(std::move(connection));
            }
        }
    }
    // Outside the lock: a connection destroyed here leaves the list in release().
    for (const auto& connection : waiting) {
        connection->closeIfIdle();
    }
}

void ConnectionSlots::release(Ticket& entry) {
    const std::lock_guard lock(m_mutex);
    if (entry.waiting) {
        m_waiting.erase(m_waiting.iterator_to(entry));
        entry.waiting = false;
    }
    if (!entry.evicted) {
        entry.evicted = true;
        --m_open;
    }
}

void ConnectionSlots::startWaiting(Ticket& entry, Connection* connection) {
    const std::lock_guard lock(m_mutex);
    if (!entry.waiting && !entry.evicted) {
        entry.connection = connection;
        m_waiting.push_back(entry);
        entry.waiting = true;
    }
}

bool ConnectionSlots::stopWaiting(Ticket& entry) {
    const std::lock_guard lock(m_mutex);
    if (entry.waiting) {
        m_waiting.erase(m_waiting.iterator_to(entry));
        entry.waiting = false;
    }
    return !entry.evicted;
}

std::size_t ConnectionSlots::open() const {
    const std::lock_guard lock(m_mutex);
    return m_open;
}

std::uint64_t ConnectionSlots::evictions() const {
    const std::lock_guard lock(m_mutex);
    return m_evictions;
}

}  // namespace zonarium
