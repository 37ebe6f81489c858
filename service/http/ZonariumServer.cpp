#include "http/ZonariumServer.h"

#include "http/AccessLog.h"
#include "http/HttpSession.h"
#include "http/Listener.h"
#include "http/Listening.h"
#include "http/Metrics.h"
#include "model/DescriptorBudget.h"
#include "model/PageCache.h"

#include <sys/resource.h>

#include <sys/socket.h>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>

#include <algorithm>
#include <limits>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

namespace zonarium {

namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

// Descriptors of the process itself: standard streams, the access log, the signal loop,
// a socket passed by systemd, with room to spare.
constexpr std::size_t kOwnDescriptors = 32;
// Descriptors of one event loop (its poller, wake-up and timer).
constexpr std::size_t kLoopDescriptors = 3;
// Descriptors of the metrics listener: its loop, its socket, its connections and one more.
constexpr std::size_t kMetricsDescriptors = 16;
// Descriptors a reload opens at once at most (places file, zone database, a zone file).
constexpr std::size_t kReloadDescriptors = 16;

// The soft descriptor limit; 0 when there is none.
std::size_t descriptorLimit() {
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) {
        return 0;
    }
    return static_cast<std::size_t>(files.rlim_cur);
}

}  // namespace

DescriptorShares shareDescriptors(std::size_t wantedConnections, std::size_t descriptorLimit,
                                  int loops) {
    const std::size_t wanted = std::max<std::size_t>(1, wantedConnections);
    if (descriptorLimit == 0) {
        return {wanted, std::numeric_limits<std::size_t>::max()};
    }
    const std::size_t reserved = kOwnDescriptors +
                                 kLoopDescriptors * static_cast<std::size_t>(std::max(1, loops)) +
                                 kMetricsDescriptors + kReloadDescriptors;
    // A limit too low for the reserve still leaves a quarter to share.
    const std::size_t available = descriptorLimit > reserved + descriptorLimit / 4
                                      ? descriptorLimit - reserved
                                      : descriptorLimit / 4 + 1;
    // The cache's files and as many again a quarter of them for pages still being sent; the
    // connections get the rest, and half at least. A page past its share is kept in memory.
    const std::size_t pageFiles = PageCache::kMemoryFilesHeld + PageCache::kMemoryFilesHeld / 4;
    const std::size_t connections = std::clamp<std::size_t>(
        std::max(available / 2, available > pageFiles ? available - pageFiles : 0), 1, wanted);
    return {connections, available > connections ? available - connections : 0};
}

struct ZonariumServer::Front {
    Front(std::shared_ptr<const CityTable> places, ServerOptions options, Clock now, LogSink sink)
        : shares(shareDescriptors(options.maxConnections, descriptorLimit(), options.threads)),
          clock(std::move(now)),
          log(std::move(sink)),
          cache(std::move(places), options.renderThreads, options.renderer),
          router(cache, clock),
          context{options, router,
                  [this, metrics = options.metrics](const AccessRecord& record) {
                      if (metrics != nullptr) {
                          metrics->answered(record.status, record.bodyBytes);
                      }
                      if (log) {
                          log(accessLogLine(record, clock()));
                      }
                  },
                  ConnectionSlots(shares.connections)} {
        memoryFileBudget().setLimit(shares.memoryFiles);
        if (options.metrics != nullptr) {
            cache.observeRenders([metrics = options.metrics](std::chrono::nanoseconds took) {
                metrics->pageRendered(took);
            });
        }
        for (int i = 0; i < std::max(1, options.threads); ++i) {
            loops.push_back(std::make_unique<net::io_context>(1));
        }
    }

    // Stops the event loops if they still exist.
    void stop();

    // The descriptors under the limit, as shared out when the server was made.
    DescriptorShares shares;
    Clock clock;
    LogSink log;
    // Makes the pages, and holds the places served.
    PageCache cache;
    // Answers each request from the cache.
    Router router;
    // What every session shares; declared before `loops`, whose end destroys the sessions.
    SessionContext context;
    // Guards `loops` against stop() while run() ends.
    std::mutex ioMutex;
    // One event loop per thread, each running alone, so that a connection's work needs no
    // locking; the first also accepts. Empty once run() has ended.
    std::vector<std::unique_ptr<net::io_context>> loops;
    // Accepts on the first loop; empty before bind and once run() has ended.
    std::optional<Listener> listener;
};

void ZonariumServer::Front::stop() {
    const std::lock_guard lock(ioMutex);
    for (const auto& loop : loops) {
        loop->stop();
    }
}

ZonariumServer::ZonariumServer(const CityTable& table, ServerOptions options, Clock clock,
                               LogSink log)
    // Not owned: the caller keeps it.
    : ZonariumServer(std::shared_ptr<const CityTable>(std::shared_ptr<const void>(), &table),
                     std::move(options), std::move(clock), std::move(log)) {}

ZonariumServer::ZonariumServer(std::shared_ptr<const CityTable> table, ServerOptions options,
                               Clock clock, LogSink log)
    : m_front(std::make_unique<Front>(std::move(table), std::move(options), std::move(clock),
                                      std::move(log))) {}

void ZonariumServer::replaceTable(std::shared_ptr<const CityTable> table) {
    m_front->cache.replace(std::move(table));
}

ZonariumServer::~ZonariumServer() {
    stop();
}

bool ZonariumServer::bind(const std::string& host, int port) {
    if (m_front->loops.empty()) {
        return false;
    }
    auto acceptor = listenOn(*m_front->loops.front(), host, port);
    if (!acceptor) {
        return false;
    }
    boost::system::error_code ec;
    m_port = acceptor->local_endpoint(ec).port();
    m_front->listener.emplace(std::move(*acceptor), m_front->loops, m_front->context);
    return !ec;
}

bool ZonariumServer::adopt(int descriptor) {
    if (m_front->loops.empty() || descriptor < 0) {
        return false;
    }
    boost::system::error_code ec;
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        (address.ss_family != AF_INET && address.ss_family != AF_INET6)) {
        return false;
    }
    tcp::acceptor acceptor(*m_front->loops.front());
    acceptor.assign(address.ss_family == AF_INET ? tcp::v4() : tcp::v6(), descriptor, ec);
    if (ec) {
        return false;
    }
    m_port = acceptor.local_endpoint(ec).port();
    m_front->listener.emplace(std::move(acceptor), m_front->loops, m_front->context);
    return !ec;
}

std::string ZonariumServer::address() const {
    boost::system::error_code ec;
    if (!m_front->listener) {
        return {};
    }
    const tcp::endpoint endpoint = m_front->listener->socket().local_endpoint(ec);
    return ec ? std::string() : endpoint.address().to_string();
}

void ZonariumServer::stopGracefully(std::chrono::milliseconds grace) {
    const auto deadline = std::chrono::steady_clock::now() + grace;
    const std::lock_guard lock(m_front->ioMutex);
    if (m_front->loops.empty()) {
        return;
    }
    net::post(*m_front->loops.front(), [front = m_front.get(), deadline] {
        if (front->listener) {
            front->listener->drain(deadline, [front] { front->stop(); });
        }
    });
}

std::size_t ZonariumServer::openConnections() const {
    return m_front->context.slots.open();
}

std::uint64_t ZonariumServer::evictedConnections() const {
    return m_front->context.slots.evictions();
}

bool ZonariumServer::run() {
    Front& front = *m_front;
    if (front.loops.empty() || !front.listener) {
        return false;
    }
    front.listener->start();
    std::vector<net::executor_work_guard<net::io_context::executor_type>> busy;
    for (const auto& loop : front.loops) {
        busy.push_back(net::make_work_guard(*loop));
    }
    std::vector<std::thread> workers;
    for (std::size_t i = 1; i < front.loops.size(); ++i) {
        workers.emplace_back([&front, i] { front.loops[i]->run(); });
    }
    front.loops.front()->run();
    front.stop();
    for (std::thread& worker : workers) {
        worker.join();
    }
    // Connections waiting for a page go while their loops still exist.
    front.cache.stop();
    busy.clear();
    // Destroying the loops destroys every pending operation and with it every session, which
    // closes its connection.
    front.listener.reset();
    std::vector<std::unique_ptr<net::io_context>> loops;
    {
        const std::lock_guard lock(front.ioMutex);
        loops = std::move(front.loops);
        front.loops.clear();
    }
    loops.clear();
    return true;
}

void ZonariumServer::stop() {
    m_front->stop();
}

}  // namespace zonarium
