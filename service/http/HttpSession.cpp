#include "http/HttpSession.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/http/read.hpp>

#include <cstring>
#include <utility>

namespace zonarium {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

// Largest read while waiting for a request's first bytes.
constexpr std::size_t kFirstReadBytes = 1024;
// How long a closing connection may still send before it is cut off.
constexpr std::chrono::seconds kClosingGrace{1};
// Bytes a closing connection may still send before it is cut off.
constexpr std::size_t kClosingDrainBytes = 1 << 20;

std::string_view view(beast::string_view text) {
    return {text.data(), text.size()};
}

}  // namespace

std::shared_ptr<HttpSession> HttpSession::create(tcp::socket&& socket, SessionContext& context,
                                                 ConnectionSlots::Ticket ticket) {
    return std::allocate_shared<HttpSession>(MappedAllocator<HttpSession>(), std::move(socket),
                                             context, std::move(ticket));
}

HttpSession::HttpSession(tcp::socket&& socket, SessionContext& context,
                         ConnectionSlots::Ticket ticket)
    : m_stream(std::move(socket)),
      m_pageWait(m_stream.get_executor()),
      m_context(context),
      m_ticket(std::move(ticket)) {
    tcp::socket& connection = m_stream.socket();
    beast::error_code ec;
    const tcp::endpoint peer = connection.remote_endpoint(ec);
    if (!ec) {
        const std::string address = peer.address().to_string();
        m_peerLength = std::min(address.size(), m_peer.size());
        std::memcpy(m_peer.data(), address.data(), m_peerLength);
    }
    connection.set_option(tcp::no_delay(true), ec);
    if (context.options.sendBufferBytes > 0) {
        connection.set_option(net::socket_base::send_buffer_size(context.options.sendBufferBytes),
                              ec);
    }
}

void HttpSession::start() {
    // Waiting from now, in the order connections are accepted, whichever loop serves it.
    m_context.slots.startWaiting(m_ticket, this);
    net::dispatch(m_stream.get_executor(), [self = shared_from_this()] { self->awaitRequest(); });
}

void HttpSession::close() {
    net::post(m_stream.get_executor(), [self = shared_from_this()] {
        beast::error_code ec;
        self->m_stream.socket().close(ec);
    });
}

void HttpSession::closeIfIdle() {
    net::post(m_stream.get_executor(), [self = shared_from_this()] {
        if (self->m_idle && self->m_served > 0 && !self->requestArrived()) {
            beast::error_code ec;
            self->m_stream.socket().close(ec);
        }
    });
}

std::shared_ptr<ConnectionSlots::Connection> HttpSession::keepForClosing() {
    return weak_from_this().lock();
}

bool HttpSession::requestArrived() {
    beast::error_code ec;
    return m_stream.socket().available(ec) > 0 && !ec;
}

void HttpSession::finish() {
    m_stream.close();
}

void HttpSession::awaitRequest() {
    const ServerOptions& options = m_context.options;
    m_parser.emplace();
    m_parser->header_limit(static_cast<std::uint32_t>(options.maxHeadBytes));
    m_parser->body_limit(options.maxBodyBytes);
    // Waiting for a request, also when one has begun already: the waiting longest may be
    // closed to make room.
    m_context.slots.startWaiting(m_ticket, this);
    if (m_buffer.size() > 0) {
        // A pipelined request has begun already.
        onFirstBytes({}, 0);
        return;
    }
    if (m_context.draining && m_served > 0 && !requestArrived()) {
        // Stopping: no further request is waited for on a kept-alive connection. Seen here or
        // by closeIfIdle(). A connection not yet asked on was accepted for a request on its
        // way, which is served within the drain time.
        finish();
        return;
    }
    m_idle = true;
    m_stream.expires_after(m_served == 0 ? options.ioTimeout : options.keepAliveTimeout);
    m_stream.async_read_some(
        m_buffer.prepare(kFirstReadBytes),
        [self = shared_from_this()](beast::error_code ec, std::size_t received) {
            self->onFirstBytes(ec, received);
        });
}

void HttpSession::onFirstBytes(beast::error_code ec, std::size_t received) {
    m_idle = false;
    if (ec) {
        finish();  // idle time-out, closed by the client or evicted
        return;
    }
    m_buffer.commit(received);
    // The head deadline runs from its first byte, across every read of the head.
    m_stream.expires_after(m_context.options.headTimeout);
    http::async_read_header(
        m_stream, m_buffer, *m_parser,
        [self = shared_from_this()](beast::error_code error, std::size_t) { self->onHead(error); });
}

void HttpSession::onHead(beast::error_code ec) {
    if (!m_context.slots.stopWaiting(m_ticket)) {
        finish();  // evicted to make room
        return;
    }
    const ServerOptions& options = m_context.options;
    m_requestLine = requestLine(
        *m_parser,
        std::string_view(static_cast<const char*>(m_buffer.data().data()), m_buffer.size()));
    const RequestVerdict verdict =
        checkHead(ec, *m_parser, m_requestLine, m_buffer.size(), options);
    m_headOnly = !ec && m_parser->get().method() == http::verb::head;
    if (verdict.kind == RequestVerdict::Kind::ReadBody) {
        // The body is read and dropped, so that it is never taken for the next request.
        m_stream.expires_after(options.ioTimeout);
        http::async_read(m_stream, m_buffer, *m_parser,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             self->onBody(error);
                         });
        return;
    }
    onVerdict(verdict);
}

void HttpSession::onBody(beast::error_code ec) {
    onVerdict(checkBody(ec));
}

void HttpSession::onVerdict(const RequestVerdict& verdict) {
    switch (verdict.kind) {
        case RequestVerdict::Kind::Refuse:
            send(errorReply(verdict.status, verdict.reason), true);
            return;
        case RequestVerdict::Kind::Drop:
        case RequestVerdict::Kind::ReadBody:
            finish();
            return;
        case RequestVerdict::Kind::Serve:
            break;
    }
    const auto& request = m_parser->get();
    const bool ends =
        !request.keep_alive() || m_served + 1 >= m_context.options.keepAliveMaxRequests;
    m_awaitingPage = true;
    const std::uint64_t routed = ++m_routed;
    m_context.router.route(
        view(request.target()), [self = shared_from_this(), ends, routed](Reply reply) {
            // On this connection's loop: at once when answered there, else queued to it.
            net::dispatch(self->m_stream.get_executor(),
                          [self, ends, routed, reply = std::move(reply)]() mutable {
                              if (!self->m_awaitingPage || routed != self->m_routed) {
                                  return;  // answered 503 meanwhile
                              }
                              self->m_awaitingPage = false;
                              self->m_pageWait.cancel();
                              self->send(std::move(reply), ends);
                          });
        });
    if (m_awaitingPage) {
        // A page still being made is waited for no longer than a reply is; then the client is
        // told to ask again. No operation is pending on the stream meanwhile, so its deadline
        // would not apply.
        m_pageWait.expires_after(m_context.options.ioTimeout);
        m_pageWait.async_wait([self = shared_from_this()](beast::error_code ec) {
            if (!ec && self->m_awaitingPage) {
                self->m_awaitingPage = false;
                self->send(self->m_context.router.late(view(self->m_parser->get().target())), true);
            }
        });
    }
}

void HttpSession::send(Reply reply, bool ends) {
    const ServerOptions& options = m_context.options;
    // Once a stop has begun, every answer is the connection's last.
    ends = ends || m_context.draining;
    ReplyHeadFields fields;
    fields.closes = ends;
    fields.http10 = m_parser->get().version() < 11;
    fields.keepAliveTimeout = options.keepAliveTimeout;
    fields.keepAliveMaxRequests = options.keepAliveMaxRequests;
    if (!m_reply.prepare(std::move(reply), fields, m_headOnly)) {
        // Cannot happen with the fields above; a cut head would be worse than none.
        finish();
        return;
    }
    if (m_reply.tailFromFile()) {
        setCorked(m_stream.socket().native_handle(), true);
    }
    writeFirst(ends);
}

void HttpSession::writeFirst(bool ends) {
    // Each write has the whole time-out: a client reading slowly gets the whole reply, one
    // that takes nothing for that long is cut off.
    m_stream.expires_after(m_context.options.ioTimeout);
    m_stream.async_write_some(
        m_reply.firstBuffers(),
        [self = shared_from_this(), ends](beast::error_code ec, std::size_t written) {
            self->m_reply.firstWritten(written);
            if (!ec && !self->m_reply.firstDone()) {
                self->writeFirst(ends);
            } else if (!ec && self->m_reply.tailPending()) {
                self->sendTail(ends);
            } else {
                self->onSent(ends, ec);
            }
        });
}

void HttpSession::sendTail(bool ends) {
    tcp::socket& connection = m_stream.socket();
    beast::error_code ec;
    connection.native_non_blocking(true, ec);
    switch (ec ? ReplyWriter::TailStep::Ended
               : m_reply.sendTailFromFile(connection.native_handle(), ec)) {
        case ReplyWriter::TailStep::Yielded:
            // Other connections of this loop go first; the rest follows after them.
            net::post(m_stream.get_executor(),
                      [self = shared_from_this(), ends] { self->sendTail(ends); });
            return;
        case ReplyWriter::TailStep::SocketFull:
            m_stream.expires_after(m_context.options.ioTimeout);
            m_stream.async_write_some(
                net::buffer(m_reply.unsentTail()),
                [self = shared_from_this(), ends](beast::error_code error, std::size_t written) {
                    self->m_reply.tailWritten(written);
                    if (error) {
                        setCorked(self->m_stream.socket().native_handle(), false);
                        self->onSent(ends, error);
                    } else {
                        self->sendTail(ends);
                    }
                });
            return;
        case ReplyWriter::TailStep::Ended:
            break;
    }
    setCorked(connection.native_handle(), false);
    onSent(ends, ec);
}

void HttpSession::onSent(bool ends, beast::error_code ec) {
    {
        const auto& fields = m_parser->get();
        const auto header = [&fields](http::field name) {
            const auto found = fields.find(name);
            return found == fields.end() ? std::string_view() : view(found->value());
        };
        m_context.log(AccessRecord{std::string_view(m_peer.data(), m_peerLength), m_requestLine,
                                   m_reply.status(), m_reply.bodyBytesSent(),
                                   header(http::field::referer), header(http::field::user_agent),
                                   !m_reply.complete()});
    }
    // Nothing of the answered request stays on the heap while the connection waits.
    m_reply.clear();
    std::string().swap(m_requestLine);
    m_parser.reset();
    if (ec) {
        finish();
        return;
    }
    ++m_served;
    if (ends) {
        closeGracefully();
    } else {
        awaitRequest();
    }
}

void HttpSession::closeGracefully() {
    beast::error_code ec;
    m_stream.socket().shutdown(tcp::socket::shutdown_send, ec);
    m_stream.expires_after(kClosingGrace);
    m_buffer.clear();
    drain();
}

void HttpSession::drain() {
    m_stream.async_read_some(
        m_buffer.prepare(kFirstReadBytes),
        [self = shared_from_this()](beast::error_code ec, std::size_t received) {
            self->m_drained += received;
            if (!ec && self->m_drained <= kClosingDrainBytes) {
                self->drain();
            } else {
                self->finish();
            }
        });
}

}  // namespace zonarium
