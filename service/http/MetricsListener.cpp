#include "http/MetricsListener.h"

#include "http/Listening.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read_until.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>

#include <memory>
#include <string_view>
#include <utility>

namespace zonarium {

namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

// The answer to `requestLine`: the metrics for GET or HEAD of /metrics, else 404. The
// scraper's request is one line of interest and nothing else, so it is read as such rather
// than by a general HTTP parser, whose templates cost more to build than this listener.
std::string answer(std::string_view requestLine, Metrics& metrics) {
    const bool head = requestLine.starts_with("HEAD /metrics ");
    const bool known = head || requestLine.starts_with("GET /metrics ");
    const std::string body = known ? metrics.text() : std::string("Not found.\n");
    std::string reply = known ? "HTTP/1.1 200 OK\r\n"
                                "Content-Type: text/plain; version=0.0.4; charset=utf-8\r\n"
                              : "HTTP/1.1 404 Not Found\r\n"
                                "Content-Type: text/plain; charset=utf-8\r\n";
    reply += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    if (!head) {
        reply += body;
    }
    return reply;
}

}  // namespace

// One scraper's connection: a request head read, one answer written, then closed; all of it
// within kTimeout.
struct MetricsListener::Scrape : std::enable_shared_from_this<Scrape> {
    Scrape(MetricsListener& listener, tcp::socket&& client)
        : owner(listener),
          socket(std::move(client)),
          deadline(owner.m_loop),
          request(kMaxHeadBytes) {}
    ~Scrape() {
        if (counted) {
            owner.m_scrapes.erase(place);
        }
    }

    void start() {
        place = owner.m_scrapes.insert(owner.m_scrapes.end(), weak_from_this());
        counted = true;
        deadline.expires_after(kTimeout);
        deadline.async_wait([self = shared_from_this()](boost::system::error_code ec) {
            if (!ec) {
                self->close();
            }
        });
        // Ends with an error when the head is larger than the buffer, the peer closes or the
        // deadline closes the socket.
        net::async_read_until(socket, request, "\r\n\r\n",
                              [self = shared_from_this()](boost::system::error_code ec,
                                                          std::size_t) { self->onHead(ec); });
    }

    void onHead(boost::system::error_code ec) {
        if (ec) {
            deadline.cancel();
            return;
        }
        const auto bytes = request.data();
        const std::string_view head(static_cast<const char*>(bytes.data()), bytes.size());
        reply = answer(head.substr(0, head.find("\r\n")), owner.m_metrics);
        net::async_write(socket, net::buffer(reply),
                         [self = shared_from_this()](boost::system::error_code, std::size_t) {
                             boost::system::error_code ignored;
                             self->socket.shutdown(tcp::socket::shutdown_both, ignored);
                             self->deadline.cancel();
                         });
    }

    void close() {
        boost::system::error_code ignored;
        socket.close(ignored);
    }

    MetricsListener& owner;
    // The connection's place among those open, once started.
    std::list<std::weak_ptr<Scrape>>::iterator place;
    bool counted = false;
    tcp::socket socket;
    net::steady_timer deadline;
    net::streambuf request;
    std::string reply;
};

MetricsListener::MetricsListener(Metrics& metrics) : m_metrics(metrics) {}

MetricsListener::~MetricsListener() {
    stop();
}

bool MetricsListener::bind(const std::string& host, int port) {
    auto acceptor = listenOn(m_loop, host, port);
    if (!acceptor) {
        return false;
    }
    boost::system::error_code ec;
    m_port = acceptor->local_endpoint(ec).port();
    m_acceptor.emplace(std::move(*acceptor));
    return !ec;
}

void MetricsListener::start() {
    if (!m_acceptor || m_thread.joinable()) {
        return;
    }
    accept();
    m_thread = std::thread([this] { m_loop.run(); });
}

void MetricsListener::accept() {
    m_acceptor->async_accept([this](boost::system::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || !m_acceptor->is_open()) {
            return;
        }
        if (ec) {
            // Out of descriptors, most likely: try again shortly rather than spin.
            m_acceptRetry.expires_after(kAcceptRetry);
            m_acceptRetry.async_wait([this](boost::system::error_code waited) {
                if (!waited) {
                    accept();
                }
            });
            return;
        }
        // A connection leaves the list as it is destroyed, so the oldest is alive.
        if (m_scrapes.size() >= kMaxConnections) {
            if (const auto oldest = m_scrapes.front().lock()) {
                m_scrapes.pop_front();
                oldest->counted = false;
                oldest->close();
            }
        }
        std::make_shared<Scrape>(*this, std::move(socket))->start();
        accept();
    });
}

void MetricsListener::stop() {
    if (m_thread.joinable()) {
        m_loop.stop();
        m_thread.join();
    }
}

}  // namespace zonarium
