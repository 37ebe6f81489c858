#pragma once

#include <boost/intrusive/list.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace zonarium {

// Counts open connections and orders those waiting for a request, so that the one waiting
// longest can be closed to make room. Thread-safe.
class ConnectionSlots {
public:
    // A connection as the slots see it.
    class Connection {
    public:
        virtual ~Connection() = default;
        // The connection, kept alive for its closing; null once its destruction has begun.
        virtual std::shared_ptr<Connection> keepForClosing() = 0;
        // Closes the connection; from any thread.
        virtual void close() = 0;
        // Closes the connection if nothing of a request has arrived on it; from any thread.
        virtual void closeIfIdle() = 0;
    };

    // A connection's place in the count, kept by the connection: counted in by admit(), given
    // back when destroyed (unless the connection was evicted, which gave it back already).
    class Ticket {
    public:
        // Holds no place.
        Ticket() = default;
        // Only while not waiting: the waiting order links the ticket where it is.
        Ticket(Ticket&& other) noexcept : m_slots(std::exchange(other.m_slots, nullptr)) {}
        Ticket& operator=(Ticket&&) = delete;
        ~Ticket();
        // True when it holds a place.
        explicit operator bool() const { return m_slots != nullptr; }

    private:
        friend class ConnectionSlots;
        explicit Ticket(ConnectionSlots& slots) : m_slots(&slots) {}

        // The slots counting this place; null when none.
        ConnectionSlots* m_slots = nullptr;
        // Links the ticket into the waiting order while `waiting`.
        boost::intrusive::list_member_hook<> link;
        // The connection, set while waiting.
        Connection* connection = nullptr;
        bool waiting = false;
        // Counted out by admit() to make room; the connection is to close.
        bool evicted = false;
    };

    explicit ConnectionSlots(std::size_t capacity) : m_capacity(capacity) {}
    // Counts a new connection in. With every slot taken, the connection waiting longest is
    // counted out and returned in `evicted` for the caller to close; a ticket holding no
    // place (the new connection is to be refused) when none is waiting.
    Ticket admit(std::shared_ptr<Connection>& evicted);
    // Counts the connection waiting longest out and returns it for the caller to close; null
    // when none is waiting.
    std::shared_ptr<Connection> evictOldest();
    // Has every connection waiting for a request close if nothing of one has arrived yet.
    void closeIdle();
    // Puts a connection last in the waiting order.
    void startWaiting(Ticket& ticket, Connection* connection);
    // Takes a connection out of the waiting order; false when it was evicted meanwhile.
    bool stopWaiting(Ticket& ticket);
    // Connections counted in now.
    std::size_t open() const;
    // Connections counted out to make room so far.
    std::uint64_t evictions() const;

private:
    using WaitingList = boost::intrusive::list<
        Ticket,
        boost::intrusive::member_hook<Ticket, boost::intrusive::list_member_hook<>, &Ticket::link>>;

    // Counts a connection out, unless it was evicted.
    void release(Ticket& ticket);

    // evictOldest() with m_mutex held.
    std::shared_ptr<Connection> evictOldestLocked();

    // Guards everything below and the tickets of every connection.
    mutable std::mutex m_mutex;
    // Open connections at most.
    std::size_t m_capacity;
    // Connections counted in.
    std::size_t m_open = 0;
    // Connections counted out to make room.
    std::uint64_t m_evictions = 0;
    // Connections waiting for a request, longest waiting first.
    WaitingList m_waiting;
};

}  // namespace zonarium
