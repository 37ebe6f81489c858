#pragma once

#include "http/Metrics.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace zonarium {

// Serves the metrics at GET /metrics on an address of their own, apart from the public port,
// on a thread of its own; any other request gets 404. Each connection gets one answer and is
// closed; a scraper that has not sent its request and taken the answer within kTimeout is
// dropped, and at most kMaxConnections are open at once: a new one closes the oldest, so that
// stalled connections cannot keep a scraper out.
class MetricsListener {
public:
    static constexpr std::chrono::seconds kTimeout{5};
    static constexpr std::size_t kMaxConnections = 8;
    // Largest request head read.
    static constexpr std::size_t kMaxHeadBytes = 8192;
    // Pause before accepting again after accept failed (out of descriptors, say).
    static constexpr std::chrono::milliseconds kAcceptRetry{50};

    // `metrics` must outlive the listener.
    explicit MetricsListener(Metrics& metrics);
    // Stops serving.
    ~MetricsListener();
    MetricsListener(const MetricsListener&) = delete;
    MetricsListener& operator=(const MetricsListener&) = delete;

    // Binds `host`:`port` (port 0 picks a free one). False when the address cannot be used.
    bool bind(const std::string& host, int port);
    // The bound port; 0 before a successful bind.
    int port() const { return m_port; }
    // Starts serving on the listener's thread; call once, after bind().
    void start();
    // Closes the listener and every connection, and waits for its thread. Idempotent.
    void stop();

private:
    struct Scrape;
    void accept();

    Metrics& m_metrics;
    // Connections open, oldest first; used on the listener's thread only, and by connections
    // the loop drops as it goes.
    std::list<std::weak_ptr<Scrape>> m_scrapes;
    boost::asio::io_context m_loop{1};
    std::optional<boost::asio::ip::tcp::acceptor> m_acceptor;
    // Paces accepting after an accept failure.
    boost::asio::steady_timer m_acceptRetry{m_loop};
    int m_port = 0;
    std::thread m_thread;
};

}  // namespace zonarium
