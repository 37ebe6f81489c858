#include "http/Listener.h"

#include <boost/asio/post.hpp>
#include <boost/system/error_code.hpp>

#include <new>
#include <utility>

namespace zonarium {

namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

// Pause before accepting again after accept failed.
constexpr std::chrono::milliseconds kAcceptRetry{50};
// How often a drain looks whether the last connection has closed.
constexpr std::chrono::milliseconds kDrainPoll{20};

}  // namespace

Listener::Listener(tcp::acceptor acceptor,
                   const std::vector<std::unique_ptr<net::io_context>>& loops,
                   SessionContext& context)
    : m_acceptor(std::move(acceptor)),
      m_loops(loops),
      m_context(context),
      m_timer(m_acceptor.get_executor()) {}

void Listener::start() {
    accept();
}

void Listener::accept() {
    if (m_draining) {
        return;
    }
    net::io_context& loop = *m_loops[m_nextLoop];
    m_nextLoop = (m_nextLoop + 1) % m_loops.size();
    m_acceptor.async_accept(loop, [this](boost::system::error_code ec, tcp::socket socket) {
        onAccept(ec, std::move(socket));
    });
}

void Listener::onAccept(boost::system::error_code ec, tcp::socket socket) {
    if (ec == net::error::operation_aborted || (ec && m_draining)) {
        return;
    }
    if (ec) {
        // Out of descriptors: the connection waiting longest, if any, gives its own up. Any
        // failure is tried again shortly rather than at once, so that none spins.
        if (ec == boost::system::errc::too_many_files_open ||
            ec == boost::system::errc::too_many_files_open_in_system) {
            if (const auto evicted = m_context.slots.evictOldest()) {
                evicted->close();
            }
        }
        m_timer.expires_after(kAcceptRetry);
        m_timer.async_wait([this](boost::system::error_code waited) {
            if (!waited) {
                accept();
            }
        });
        return;
    }
    std::shared_ptr<ConnectionSlots::Connection> evicted;
    ConnectionSlots::Ticket ticket = m_context.slots.admit(evicted);
    if (evicted) {
        evicted->close();
    }
    if (ticket) {
        try {
            HttpSession::create(std::move(socket), m_context, std::move(ticket))->start();
        } catch (const std::bad_alloc&) {
            // Out of memory: the connection closes unanswered and its ticket gives the place
            // back.
        }
    }
    accept();
}

void Listener::drain(std::chrono::steady_clock::time_point deadline,
                     std::function<void()> drained) {
    if (m_draining) {
        return;
    }
    m_draining = true;
    m_drained = std::move(drained);
    // Only this process's descriptor closes: the socket itself lives on while another holds
    // it, and the connections queued on it wait for the next to accept them.
    boost::system::error_code ignored;
    m_acceptor.close(ignored);
    m_timer.cancel();
    // Idle connections go now; those answering go once their answer is sent.
    m_context.draining = true;
    m_context.slots.closeIdle();
    // Counted after the handlers already queued: a connection accepted just before the close
    // is served, not dropped with the loop.
    net::post(m_acceptor.get_executor(), [this, deadline] { awaitDrained(deadline); });
}

void Listener::awaitDrained(std::chrono::steady_clock::time_point deadline) {
    if (m_context.slots.open() == 0 || std::chrono::steady_clock::now() >= deadline) {
        m_drained();
        return;
    }
    m_timer.expires_after(kDrainPoll);
    m_timer.async_wait([this, deadline](boost::system::error_code ec) {
        if (!ec) {
            awaitDrained(deadline);
        }
    });
}

}  // namespace zonarium
