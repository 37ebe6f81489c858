#pragma once

#include "CityTable.h"
#include "LocalTime.h"
#include "Page.h"

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace zonarium {

class GuardedConnection;

// Settings of the HTTP front.
struct ServerOptions {
    // Worker threads. A worker holds a connection only while it answers a request whose
    // head has fully arrived; waiting connections cost no thread.
    int threads = 8;
    // Open connections at most (further capped by the descriptor limit); beyond it the
    // connection waiting longest for a request is closed to make room.
    std::size_t maxConnections = 4096;
    // Longest wait for the first request on a new connection, for a body byte the HTTP
    // library asks for, and for a blocked send to make progress.
    std::chrono::seconds ioTimeout{5};
    // Longest time from the first byte of a request to the end of its head.
    std::chrono::seconds headTimeout{10};
    // Longest wait for the next request on a kept-alive connection; sent as Keep-Alive's
    // timeout.
    std::chrono::seconds keepAliveTimeout{5};
    // Requests served on one connection before it is closed; sent as Keep-Alive's max.
    std::size_t keepAliveMaxRequests = 10000;
    // Longest accepted request target (path and query), bytes; longer gets 414.
    std::size_t maxTargetBytes = 2048;
    // Longest request line read at all, bytes; longer gets 414 without being buffered.
    std::size_t maxRequestLineBytes = 8192;
    // Largest accepted header block (names, values, separators), bytes; larger gets 431.
    std::size_t maxHeaderBytes = 8192;
    // Largest request head read at all, bytes; larger gets 431 without being buffered.
    std::size_t maxHeadBytes = 16384;
};

// Source of the current instant; replaced in tests.
using Clock = std::function<Instant()>;
// Receives one finished access-log line, without its line feed; must be thread-safe.
using LogSink = std::function<void(std::string_view)>;

// The system clock to the second.
Instant systemNow();
// Writes the line and a line feed to standard output and flushes it, one line at a time.
void logToStdout(std::string_view line);

// The HTTP front: answers GET /cgi-bin/wt.cgi?cnt=..&ID=..&land=N with the country's
// page and everything else with a short error page. One thread (the one in run()) accepts
// connections and waits on all of them at once, gathering request heads without blocking;
// a connection goes to a worker only with a whole head buffered, and comes back to wait
// for its next request or for the socket to take the rest of a reply. The table must
// outlive the server, and run() must have returned before the server is destroyed.
class ZonariumServer {
public:
    ZonariumServer(const CityTable& table, ServerOptions options, Clock clock, LogSink log);
    ~ZonariumServer();
    ZonariumServer(const ZonariumServer&) = delete;
    ZonariumServer& operator=(const ZonariumServer&) = delete;

    // Binds `host`:`port` (port 0 picks a free one). False when the address cannot be used.
    bool bind(const std::string& host, int port);
    // The bound port; 0 before a successful bind.
    int port() const { return m_port; }
    // Serves until stop(); returns false when it could not start.
    bool run();
    // Ends run() from any thread, promptly: requests being answered finish, connections
    // waiting for request bytes are closed.
    void stop();

private:
    class Front;
    class Reactor;
    // One country's cached page parts and the minute they were rendered for.
    struct CacheSlot;

    // Answers the buffered request with the error page of `status` (414, 431 or 405) and
    // Connection: close, and writes its log line.
    void refuse(GuardedConnection& connection, int status);
    // Writes one access-log line.
    void logRequest(std::string_view peer, std::string_view requestLine, int status,
                    std::size_t bodyBytes);
    // Answers a request routed to the page path.
    void handlePage(const httplib::Request& request, httplib::Response& response);
    // The page parts of `land` for the minute of `now`, rendered once per minute.
    std::shared_ptr<const PageParts> partsFor(int land, Instant now);

    // The places served; not owned.
    const CityTable& m_table;
    // Settings as given.
    ServerOptions m_options;
    // Current instant.
    Clock m_clock;
    // Access-log writer.
    LogSink m_log;
    // The HTTP library's server: parsing, routing and writing of responses.
    std::unique_ptr<Front> m_front;
    // Set by stop(), read by every thread of the server.
    std::atomic<bool> m_stopping{false};
    // Event descriptor that wakes run() for stop(); -1 before run().
    std::atomic<int> m_wake{-1};
    // Bound port, 0 before bind.
    int m_port = 0;
    // Rendered parts per country code, index 0 unused.
    std::array<std::unique_ptr<CacheSlot>, kLastLand + 1> m_cache;
};

}  // namespace zonarium
