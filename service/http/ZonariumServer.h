#pragma once

#include "http/Router.h"
#include "http/ServerOptions.h"
#include "model/CityTable.h"
#include "model/LocalTime.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zonarium {

// How the descriptors under a limit are shared out: the server's own, its event loops', the
// metrics listener's and a reload's come first; the rest goes to connections and to page
// memory files.
struct DescriptorShares {
    // Open connections at most.
    std::size_t connections = 0;
    // Page memory files open at most, those of pages still being sent included.
    std::size_t memoryFiles = 0;
};
// The shares for `wantedConnections` at most under a limit of `descriptorLimit` open
// descriptors (0: no limit) with `loops` event loops.
DescriptorShares shareDescriptors(std::size_t wantedConnections, std::size_t descriptorLimit,
                                  int loops);

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
    // Connections open now, and those closed so far to make room for new ones.
    std::size_t openConnections() const;
    std::uint64_t evictedConnections() const;
    // Serves on options.threads threads (this one among them) until stop(); returns false
    // when it could not start. Every connection is closed when it returns.
    bool run();
    // Ends run() from any thread (also before run() begins), without waiting for any client.
    void stop();
    // Stops accepting, closes the connections waiting for a request, and ends run() once the
    // requests under way are answered (each connection closes after its answer), or after
    // `grace` at most; from any thread. Connections not yet accepted stay with the listening
    // socket, for whoever else holds it.
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
