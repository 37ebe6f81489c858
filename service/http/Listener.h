#pragma once

#include "http/HttpSession.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace zonarium {

// Accepts connections on a listening socket and starts a session for each, handing them to
// the event loops in turn. A connection beyond the slots closes the one waiting longest for
// a request, or is closed itself when none waits; a failed accept (out of descriptors) is
// retried after a pause. Used on the first loop only, which holds the socket.
class Listener {
public:
    // `loops` and `context` must outlive the listener; `acceptor` is on loops.front().
    Listener(boost::asio::ip::tcp::acceptor acceptor,
             const std::vector<std::unique_ptr<boost::asio::io_context>>& loops,
             SessionContext& context);

    // The listening socket.
    const boost::asio::ip::tcp::acceptor& socket() const { return m_acceptor; }
    // Begins accepting.
    void start();
    // Stops accepting and closes this process's descriptor of the socket (connections not
    // yet accepted stay with it, for whoever else holds it), has the idle connections close,
    // and calls `drained` once no connection is open, or at `deadline`. Once only.
    void drain(std::chrono::steady_clock::time_point deadline, std::function<void()> drained);

private:
    void accept();
    void onAccept(boost::system::error_code ec, boost::asio::ip::tcp::socket socket);
    // Calls m_drained once no connection is open, or at `deadline`.
    void awaitDrained(std::chrono::steady_clock::time_point deadline);

    boost::asio::ip::tcp::acceptor m_acceptor;
    const std::vector<std::unique_ptr<boost::asio::io_context>>& m_loops;
    SessionContext& m_context;
    // Loop that gets the next connection.
    std::size_t m_nextLoop = 0;
    // Paces accepting after a failure, and a drain's looks at the open connections.
    boost::asio::steady_timer m_timer;
    // drain() has begun: nothing is accepted any more.
    bool m_draining = false;
    std::function<void()> m_drained;
};

}  // namespace zonarium
