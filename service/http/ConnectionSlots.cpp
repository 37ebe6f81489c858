#include "http/ConnectionSlots.h"

namespace zonarium {

bool ConnectionSlots::admit(std::shared_ptr<Connection>& evicted) {
    const std::lock_guard lock(m_mutex);
    if (m_open >= m_capacity) {
        if (m_waiting.empty()) {
            return false;
        }
        evicted = evictOldestLocked();
    }
    ++m_open;
    return true;
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
    Entry& oldest = m_waiting.front();
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
        for (Entry& entry : m_waiting) {
            if (auto connection = entry.connection->keepForClosing()) {
                waiting.push_back(std::move(connection));
            }
        }
    }
    // Outside the lock: a connection destroyed here leaves the list in release().
    for (const auto& connection : waiting) {
        connection->closeIfIdle();
    }
}

void ConnectionSlots::release(Entry& entry) {
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

void ConnectionSlots::startWaiting(Entry& entry, Connection* connection) {
    const std::lock_guard lock(m_mutex);
    if (!entry.waiting && !entry.evicted) {
        entry.connection = connection;
        m_waiting.push_back(entry);
        entry.waiting = true;
    }
}

bool ConnectionSlots::stopWaiting(Entry& entry) {
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
