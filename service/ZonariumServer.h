#pragma once

#include "CityTable.h"
#include "LocalTime.h"
#include "Page.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace zonarium {

// Settings of the HTTP front.
struct ServerOptions {
    // Threads serving connections, each with an event loop of its own; one per processor by
    // default. No thread is held by a waiting connection.
    int threads = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    // Threads rendering pages, apart from those serving connections, so that a page being
    // made holds up no other answer.
    int renderThreads = 2;
    // Makes the pages instead of the table's country pages when set; for tests.
    PageRenderer renderer;
    // Open connections at most (further capped by the descriptor limit); beyond it the
    // connection waiting longest for a request is closed to make room.
    std::size_t maxConnections = 4096;
    // Longest wait for the first byte of the first request on a new connection, for a
    // request body, and for a reply to be taken by the client.
    std::chrono::milliseconds ioTimeout{5000};
    // Longest time from the first byte of a request to the end of its head.
    std::chrono::milliseconds headTimeout{10000};
    // Longest wait for the first byte of the next request on a kept-alive connection; sent
    // (rounded up to seconds) as Keep-Alive's timeout.
    std::chrono::milliseconds keepAliveTimeout{5000};
    // Requests served on one connection before it is closed; sent as Keep-Alive's max.
    std::size_t keepAliveMaxRequests = 10000;
    // Longest accepted request target (path and query), bytes; longer gets 414.
    std::size_t maxTargetBytes = 2048;
    // Largest accepted header block (names, values, separators), bytes; larger gets 431.
    std::size_t maxHeaderBytes = 8192;
    // Largest request head read at all (request line and header block), bytes; a head not
    // ended within it gets 414 when its request line has no end there, else 431. At most
    // 24 KiB, the memory a connection reads into, take effect.
    std::size_t maxHeadBytes = 16384;
    // Largest request body read (and discarded) before a GET or HEAD is answered, bytes;
    // larger gets 413.
    std::size_t maxBodyBytes = 8192;
    // Send buffer of each connection, bytes; 0 leaves the system's own (which grows with
    // the connection). Small values make replies back up, as with a slow client.
    int sendBufferBytes = 0;
};

// Open connections allowed for `wanted` at most under a limit of `descriptorLimit` open
// descriptors (0: none), leaving room for the server's own and the page cache's files.
std::size_t connectionCapacity(std::size_t wanted, std::size_t descriptorLimit);

// Source of the current instant; replaced in tests.
using Clock = std::function<Instant()>;
// Receives one finished access-log line, without its line feed; must be thread-safe and
// should not block.
using LogSink = std::function<void(std::string_view)>;

// The HTTP front: answers GET and HEAD of /cgi-bin/wt.cgi?cnt=..&ID=..&land=N with the
// country's page, GET and HEAD of /healthz with whether pages can be made (200 or 503), and
// everything else with a short error page; keeps connections alive (pipelined requests are
// answered in order) and writes one log line per answer. run() must have returned before the
// server is destroyed.
class ZonariumServer {
public:
    // Serves `table`, which must outlive the server.
    ZonariumServer(const CityTable& table, ServerOptions options, Clock clock, LogSink log);
    // Serves `table` until replaceTable().
    ZonariumServer(std::shared_ptr<const CityTable> table, ServerOptions options, Clock clock,
                   LogSink log);
    ~ZonariumServer();
    ZonariumServer(const ZonariumServer&) = delete;
    ZonariumServer& operator=(const ZonariumServer&) = delete;

    // Binds `host`:`port` (port 0 picks a free one). False when the address cannot be used.
    bool bind(const std::string& host, int port);
    // Accepts on `descriptor`, a listening stream socket made by another (systemd, say), in
    // place of bind(); it is closed with the server. False when it cannot be used.
    bool adopt(int descriptor);
    // The bound or adopted address, e.g. "127.0.0.1" or "::"; empty before either.
    std::string address() const;
    // The bound port; 0 before a successful bind.
    int port() const { return m_port; }
    // Serves on options.threads threads (this one among them) until stop(); returns false
    // when it could not start. Every connection is closed when it returns.
    bool run();
    // Ends run() from any thread (also before run() begins), without waiting for any client.
    void stop();
    // Stops accepting and ends run() once every open connection has closed (when its client
    // is done, or it times out), or after `grace` at most; from any thread. Connections not
    // yet accepted stay with the listening socket, for whoever else holds it.
    void stopGracefully(std::chrono::milliseconds grace);
    // Serves `table` from now on, from any thread: answers under way are made from the table
    // they began with, every page made after comes from the new one.
    void replaceTable(std::shared_ptr<const CityTable> table);

private:
    struct Front;

    // Acceptor, event loop, connection slots, routing; created by the constructor.
    std::unique_ptr<Front> m_front;
    // Bound port, 0 before bind.
    int m_port = 0;
};

}  // namespace zonarium
