#include "http/ZonariumServer.h"

#include "http/AccessLog.h"
#include "http/HttpSession.h"
#include "http/Listening.h"
#include "http/Metrics.h"
#include "http/Query.h"
#include "model/PageCache.h"

#include <sys/resource.h>

#include <sys/socket.h>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>

#include <algorithm>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

namespace zonarium {

namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

// Descriptors kept free of connections for the server's own use (listener, event loops,
// log) and for pages still being sent after the cache moved on; past the limit a new page
// is kept in memory instead of a memory file, so this need not cover every one.
constexpr std::size_t kOwnDescriptors = 64;
// Pause before accepting again after accept failed (out of descriptors, say).
constexpr std::chrono::milliseconds kAcceptRetry{50};
// How often a graceful stop looks whether the last connection has closed.
constexpr std::chrono::milliseconds kDrainPoll{20};
// The health answer is one ASCII line, for scripts and checkers rather than browsers.
constexpr std::string_view kHealthContentType = "text/plain; charset=US-ASCII";

// The country with the fewest places among those with any; 0 when the table has none. Its
// page is the cheapest proof that pages can be made.
int smallestLand(const CityTable& table) {
    int smallest = 0;
    for (int land = kFirstLand; land <= kLastLand; ++land) {
        const std::size_t places = table.places(land).size();
        if (places > 0 && (smallest == 0 || places < table.places(smallest).size())) {
            smallest = land;
        }
    }
    return smallest;
}

// The soft descriptor limit; 0 when there is none.
std::size_t descriptorLimit() {
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) {
        return 0;
    }
    return static_cast<std::size_t>(files.rlim_cur);
}

}  // namespace

std::size_t connectionCapacity(std::size_t wanted, std::size_t descriptorLimit) {
    const std::size_t capacity = std::max<std::size_t>(1, wanted);
    if (descriptorLimit == 0) {
        return capacity;
    }
    // The page cache holds up to two memory files per country, the page in place and the
    // next one; past them a page is kept in memory instead, so a limit too low for both
    // leaves the connections a quarter of it rather than none.
    const std::size_t reserved = kOwnDescriptors + PageCache::kMemoryFilesHeld;
    const std::size_t available = descriptorLimit > reserved + descriptorLimit / 4
                                      ? descriptorLimit - reserved
                                      : descriptorLimit / 4 + 1;
    return std::min(capacity, available);
}

struct ZonariumServer::Front {
    Front(std::shared_ptr<const CityTable> places, ServerOptions options, Clock now, LogSink sink)
        : clock(std::move(now)),
          log(std::move(sink)),
          cache(std::move(places), options.renderThreads, options.renderer),
          context{options,
                  [this](std::string_view target, std::function<void(Reply)> answer) {
                      route(target, std::move(answer));
                  },
                  [this, metrics = options.metrics](const AccessRecord& record) {
                      if (metrics != nullptr) {
                          metrics->answered(record.status, record.bodyBytes);
                      }
                      if (log) {
                          log(accessLogLine(record, clock()));
                      }
                  },
                  ConnectionSlots(connectionCapacity(options.maxConnections, descriptorLimit()))} {
        if (options.metrics != nullptr) {
            cache.observeRenders([metrics = options.metrics](std::chrono::nanoseconds took) {
                metrics->pageRendered(took);
            });
        }
        for (int i = 0; i < std::max(1, options.threads); ++i) {
            loops.push_back(std::make_unique<net::io_context>(1));
        }
    }

    // Accepts the next connection.
    void accept();
    void onAccept(boost::system::error_code ec, tcp::socket socket);
    // Answers a GET or HEAD of `target` through `answer`, at once or once its page is made.
    void route(std::string_view target, std::function<void(Reply)> answer);
    // Answers the health path: 200 when the page of the country with the fewest places can
    // be had for this minute, from the cache or rendered now, else 503.
    void health(std::function<void(Reply)> answer);
    // Stops the event loops if they still exist.
    void stop();
    // Stops the event loops once no connection is open, or at `deadline`; on the first loop.
    void drain(std::chrono::steady_clock::time_point deadline);

    Clock clock;
    LogSink log;
    // Makes the pages, and holds the places served.
    PageCache cache;
    // What every session shares; declared before `loops`, whose end destroys the sessions.
    SessionContext context;
    // Guards `loops` against stop() while run() ends.
    std::mutex ioMutex;
    // One event loop per thread, each running alone, so that a connection's work needs no
    // locking; the first also accepts. Empty once run() has ended.
    std::vector<std::unique_ptr<net::io_context>> loops;
    // Loop that gets the next connection; used by the accepting loop only.
    std::size_t nextLoop = 0;
    // The listening socket, on the first loop; empty before bind.
    std::optional<tcp::acceptor> acceptor;
    // Paces accepting after an accept failure, and a graceful stop's looks.
    std::optional<net::steady_timer> acceptRetry;
    // A graceful stop has begun: nothing is accepted any more. Used by the first loop only.
    bool draining = false;
};

void ZonariumServer::Front::accept() {
    if (draining) {
        return;
    }
    net::io_context& loop = *loops[nextLoop];
    nextLoop = (nextLoop + 1) % loops.size();
    acceptor->async_accept(loop, [this](boost::system::error_code ec, tcp::socket socket) {
        onAccept(ec, std::move(socket));
    });
}

void ZonariumServer::Front::onAccept(boost::system::error_code ec, tcp::socket socket) {
    if (ec == net::error::operation_aborted || (ec && draining)) {
        return;
    }
    if (ec) {
        // Out of descriptors, most likely: close the connection waiting longest, if any, and
        // try again shortly rather than spin.
        if (const auto evicted = context.slots.evictOldest()) {
            evicted->close();
        }
        acceptRetry->expires_after(kAcceptRetry);
        acceptRetry->async_wait([this](boost::system::error_code waited) {
            if (!waited) {
                accept();
            }
        });
        return;
    }
    std::shared_ptr<ConnectionSlots::Connection> evicted;
    if (context.slots.admit(evicted)) {
        if (evicted) {
            evicted->close();
        }
        std::shared_ptr<HttpSession> session;
        try {
            session = HttpSession::create(std::move(socket), context);
        } catch (const std::bad_alloc&) {
            // Out of memory: the connection closes unanswered and gives its place back.
            ConnectionSlots::Entry unused;
            context.slots.release(unused);
        }
        if (session) {
            session->start();
        }
    }
    accept();
}

void ZonariumServer::Front::route(std::string_view target, std::function<void(Reply)> answer) {
    const PageQuery query = parsePageQuery(target);
    switch (query.status) {
        case PageQuery::Status::Health:
            return health(std::move(answer));
        case PageQuery::Status::NoSuchPath:
            return answer(errorReply(404, "No such page."));
        case PageQuery::Status::LandMissing:
            return answer(errorReply(400, "Exactly one land parameter is required."));
        case PageQuery::Status::LandNotANumber:
            return answer(errorReply(400, "The land parameter must be a country number."));
        case PageQuery::Status::LandOutOfRange:
            return answer(errorReply(404, "No places are known for this country number."));
        case PageQuery::Status::Page:
            break;
    }
    if (cache.table()->places(query.land).empty()) {
        return answer(errorReply(404, "No places are known for this country number."));
    }
    std::string identifier =
        isWellFormedIdentifier(query.identifier) ? std::string(query.identifier) : newIdentifier();
    cache.parts(query.land, clock(),
                [answer = std::move(answer),
                 identifier = std::move(identifier)](std::shared_ptr<const CachedPage> parts) {
                    if (!parts) {
                        answer(errorReply(503, "The page could not be made; please try again."));
                        return;
                    }
                    Reply reply;
                    reply.front.reserve(parts->head.size() + identifier.size());
                    reply.front = parts->head;
                    reply.front += identifier;
                    reply.parts = std::move(parts);
                    answer(std::move(reply));
                });
}

void ZonariumServer::Front::health(std::function<void(Reply)> answer) {
    const std::shared_ptr<const CityTable> table = cache.table();
    const int probeLand = smallestLand(*table);
    Reply reply;
    reply.status = 503;
    reply.contentType = kHealthContentType;
    reply.front =
        " tzdata " + table->tzdataRelease() + " places " + std::to_string(table->size()) + "\n";
    if (probeLand == 0) {
        reply.front.insert(0, "unavailable");
        return answer(std::move(reply));
    }
    cache.parts(probeLand, clock(),
                [answer = std::move(answer),
                 reply = std::move(reply)](std::shared_ptr<const CachedPage> parts) mutable {
                    reply.status = parts ? 200 : 503;
                    reply.front.insert(0, parts ? "ok" : "unavailable");
                    answer(std::move(reply));
                });
}

void ZonariumServer::Front::drain(std::chrono::steady_clock::time_point deadline) {
    if (context.slots.open() == 0 || std::chrono::steady_clock::now() >= deadline) {
        stop();
        return;
    }
    acceptRetry->expires_after(kDrainPoll);
    acceptRetry->async_wait([this, deadline](boost::system::error_code ec) {
        if (!ec) {
            drain(deadline);
        }
    });
}

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
    m_front->acceptor.emplace(std::move(*acceptor));
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
    m_front->acceptor.emplace(std::move(acceptor));
    return !ec;
}

std::string ZonariumServer::address() const {
    boost::system::error_code ec;
    if (!m_front->acceptor) {
        return {};
    }
    const tcp::endpoint endpoint = m_front->acceptor->local_endpoint(ec);
    return ec ? std::string() : endpoint.address().to_string();
}

void ZonariumServer::stopGracefully(std::chrono::milliseconds grace) {
    const auto deadline = std::chrono::steady_clock::now() + grace;
    const std::lock_guard lock(m_front->ioMutex);
    if (m_front->loops.empty()) {
        return;
    }
    net::post(*m_front->loops.front(), [front = m_front.get(), deadline] {
        if (!front->acceptor || front->draining) {
            return;
        }
        // Only this process's descriptor closes: the socket itself lives on while another
        // holds it, and the connections queued on it wait for the next to accept them.
        boost::system::error_code ignored;
        front->draining = true;
        front->acceptor->close(ignored);
        front->acceptRetry->cancel();
        // Counted after the handlers already queued: a connection accepted just before the
        // close is served, not dropped with the loop.
        net::post(*front->loops.front(), [front, deadline] { front->drain(deadline); });
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
    if (front.loops.empty() || !front.acceptor) {
        return false;
    }
    front.acceptRetry.emplace(*front.loops.front());
    front.accept();
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
    front.acceptRetry.reset();
    front.acceptor.reset();
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
