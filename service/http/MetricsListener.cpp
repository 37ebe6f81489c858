#include "http/MetricsListener.h"

#include "http/Listening.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

#include <memory>
#include <utility>

namespace zonarium {

namespace net = boost::asio;
namespace http = boost::beast::http;
using tcp = net::ip::tcp;

// One scraper's connection: a request read, one answer written, then closed.
struct MetricsListener::Scrape : std::enable_shared_from_this<Scrape> {
    Scrape(MetricsListener& listener, tcp::socket&& socket)
        : owner(listener), stream(std::move(socket)), buffer(kMaxHeadBytes) {
        parser.header_limit(static_cast<std::uint32_t>(kMaxHeadBytes));
        parser.body_limit(0);
    }
    ~Scrape() {
        if (counted) {
            owner.m_scrapes.erase(place);
        }
    }

    void start() {
        place = owner.m_scrapes.insert(owner.m_scrapes.end(), weak_from_this());
        counted = true;
        stream.expires_after(kTimeout);
        http::async_read(stream, buffer, parser,
                         [self = shared_from_this()](boost::beast::error_code ec, std::size_t) {
                             self->answer(ec);
                         });
    }

    void answer(boost::beast::error_code ec) {
        if (ec) {
            return;  // closed by the peer, too large or too slow: nothing to answer
        }
        const auto& request = parser.get();
        const bool known = request.target() == "/metrics" && (request.method() == http::verb::get ||
                                                              request.method() == http::verb::head);
        reply.version(11);
        reply.result(known ? http::status::ok : http::status::not_found);
        reply.set(http::field::content_type,
                  known ? "text/plain; version=0.0.4; charset=utf-8" : "text/plain; charset=utf-8");
        reply.set(http::field::connection, "close");
        reply.body() = known ? owner.m_metrics.text() : std::string("Not found.\n");
        reply.prepare_payload();
        if (request.method() == http::verb::head) {
            reply.body().clear();  // Content-Length stays that of the GET
        }
        reply.keep_alive(false);
        stream.expires_after(kTimeout);
        http::async_write(stream, reply,
                          [self = shared_from_this()](boost::beast::error_code, std::size_t) {
                              boost::beast::error_code ignored;
                              self->stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
                          });
    }

    MetricsListener& owner;
    // The connection's place among those open, once started.
    std::list<std::weak_ptr<Scrape>>::iterator place;
    bool counted = false;
    boost::beast::tcp_stream stream;
    boost::beast::flat_buffer buffer;
    http::request_parser<http::empty_body> parser;
    http::response<http::string_body> reply;
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
        if (!ec) {
            // A connection leaves the list as it is destroyed, so the oldest is alive.
            if (m_scrapes.size() >= kMaxConnections) {
                if (const auto oldest = m_scrapes.front().lock()) {
                    m_scrapes.pop_front();
                    oldest->counted = false;
                    oldest->stream.close();
                }
            }
            std::make_shared<Scrape>(*this, std::move(socket))->start();
        }
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
