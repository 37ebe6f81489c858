#include "http/HttpSession.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace zonarium {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

// Shortest page tail sent from its memory file; shorter ones go from memory with the head.
constexpr std::size_t kTailFromFileBytes = 16384;
// Bytes of a page tail sent in one go before the loop's other connections get their turn.
constexpr std::size_t kTailBurstBytes = 256 * 1024;
// Largest read while waiting for a request's first bytes.
constexpr std::size_t kFirstReadBytes = 1024;
// How long a closing connection may still send before it is cut off.
constexpr std::chrono::seconds kClosingGrace{1};
// Bytes a closing connection may still send before it is cut off.
constexpr std::size_t kClosingDrainBytes = 1 << 20;

std::string_view view(beast::string_view text) {
    return {text.data(), text.size()};
}

bool isParseError(const beast::error_code& ec) {
    return ec.category() == http::make_error_code(http::error::bad_method).category();
}

// Bytes of the header block as sent: names, values, ": " and CR LF.
std::size_t headerBlockSize(const http::fields& fields) {
    std::size_t size = 0;
    for (const auto& field : fields) {
        size += field.name_string().size() + field.value().size() + 4;
    }
    return size;
}

}  // namespace

std::shared_ptr<HttpSession> HttpSession::create(tcp::socket&& socket, SessionContext& context) {
    return std::allocate_shared<HttpSession>(PageAllocator<HttpSession>(), std::move(socket),
                                             context);
}

HttpSession::HttpSession(tcp::socket&& socket, SessionContext& context)
    : m_socket(std::move(socket)), m_timer(m_socket.get_executor()), m_context(context) {
    beast::error_code ec;
    const tcp::endpoint peer = m_socket.remote_endpoint(ec);
    if (!ec) {
        const std::string address = peer.address().to_string();
        m_peerLength = std::min(address.size(), m_peer.size());
        std::memcpy(m_peer.data(), address.data(), m_peerLength);
    }
    m_socket.set_option(tcp::no_delay(true), ec);
    if (context.options.sendBufferBytes > 0) {
        m_socket.set_option(net::socket_base::send_buffer_size(context.options.sendBufferBytes),
                            ec);
    }
}

HttpSession::~HttpSession() {
    m_context.slots.release(m_slot);
}

void HttpSession::start() {
    // Waiting from now, in the order connections are accepted, whichever loop serves it.
    m_context.slots.startWaiting(m_slot, this);
    net::dispatch(m_socket.get_executor(), [self = shared_from_this()] { self->awaitRequest(); });
}

void HttpSession::close() {
    net::post(m_socket.get_executor(), [self = shared_from_this()] {
        beast::error_code ec;
        self->m_socket.close(ec);
    });
}

std::shared_ptr<ConnectionSlots::Connection> HttpSession::keepForClosing() {
    return weak_from_this().lock();
}

void HttpSession::setDeadline(Clock::duration timeout) {
    m_deadline = Clock::now() + timeout;
    if (!m_timerWaiting) {
        m_timer.expires_at(m_deadline);
        awaitDeadline();
    } else if (m_deadline < m_timer.expiry()) {
        // Ends the wait early; its handler waits again for the new deadline.
        m_timer.expires_at(m_deadline);
    }
}

void HttpSession::awaitDeadline() {
    m_timerWaiting = true;
    m_timer.async_wait(bound([self = shared_from_this()](beast::error_code) {
        self->m_timerWaiting = false;
        if (self->m_finished) {
            return;
        }
        if (Clock::now() >= self->m_deadline) {
            // Whatever is pending on the connection ends with an error.
            beast::error_code ignored;
            self->m_socket.close(ignored);
            return;
        }
        self->m_timer.expires_at(self->m_deadline);
        self->awaitDeadline();
    }));
}

void HttpSession::finish() {
    m_finished = true;
    m_timer.cancel();
    beast::error_code ignored;
    m_socket.close(ignored);
}

void HttpSession::awaitRequest() {
    const ServerOptions& options = m_context.options;
    m_parser.emplace();
    m_parser->header_limit(static_cast<std::uint32_t>(options.maxHeadBytes));
    m_parser->body_limit(options.maxBodyBytes);
    // Waiting for a request, also when one has begun already: the waiting longest may be
    // closed to make room.
    m_context.slots.startWaiting(m_slot, this);
    if (m_buffer.size() > 0) {
        // A pipelined request has begun already.
        onFirstBytes({}, 0);
        return;
    }
    setDeadline(m_served == 0 ? options.ioTimeout : options.keepAliveTimeout);
    m_socket.async_read_some(
        m_buffer.prepare(kFirstReadBytes),
        bound([self = shared_from_this()](beast::error_code ec, std::size_t received) {
            self->onFirstBytes(ec, received);
        }));
}

void HttpSession::onFirstBytes(beast::error_code ec, std::size_t received) {
    if (ec) {
        finish();  // idle time-out, closed by the client or evicted
        return;
    }
    m_buffer.commit(received);
    // The head deadline runs from its first byte, across every read of the head.
    setDeadline(m_context.options.headTimeout);
    http::async_read_header(
        m_socket, m_buffer, *m_parser,
        bound([self = shared_from_this()](beast::error_code error, std::size_t) {
            self->onHead(error);
        }));
}

void HttpSession::onHead(beast::error_code ec) {
    if (!m_context.slots.stopWaiting(m_slot)) {
        finish();  // evicted to make room
        return;
    }
    m_headOnly = false;
    const ServerOptions& options = m_context.options;
    const auto& request = m_parser->get();
    // The request line is parsed before the fields; a refused body leaves the header
    // consumed and the header not marked done.
    if (!request.method_string().empty()) {
        const unsigned version = request.version();
        m_requestLine = std::string(view(request.method_string()));
        m_requestLine += ' ';
        m_requestLine += view(request.target());
        m_requestLine +=
            " HTTP/" + std::to_string(version / 10) + '.' + std::to_string(version % 10);
    } else {
        // Not parsed: the received bytes start with the request line.
        const std::string_view received(static_cast<const char*>(m_buffer.data().data()),
                                        m_buffer.size());
        m_requestLine = received.substr(0, received.find_first_of("\r\n"));
    }
    if (ec == http::error::header_limit || ec == http::error::buffer_overflow) {
        if (m_requestLine.size() == m_buffer.size() ||
            m_requestLine.size() > options.maxTargetBytes) {
            refuse(414, "The request line is too long.");
        } else {
            refuse(431, "The request head is too large.");
        }
        return;
    }
    if (ec == http::error::body_limit) {
        refuse(413, "The request body is too large.");
        return;
    }
    if (ec && isParseError(ec) && ec != http::error::end_of_stream &&
        ec != http::error::partial_message) {
        refuse(400, "The request could not be read.");
        return;
    }
    if (ec) {
        finish();  // head deadline, reset or a client that left mid-head
        return;
    }
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
        refuse(405, "Only GET and HEAD are served.");
        return;
    }
    m_headOnly = request.method() == http::verb::head;
    if (request.target().size() > options.maxTargetBytes) {
        refuse(414, "The request target is too long.");
        return;
    }
    if (headerBlockSize(request.base()) > options.maxHeaderBytes) {
        refuse(431, "The request header block is too large.");
        return;
    }
    if (!m_parser->is_done()) {
        // The body is read and dropped, so that it is never taken for the next request.
        setDeadline(options.ioTimeout);
        http::async_read(m_socket, m_buffer, *m_parser,
                         bound([self = shared_from_this()](beast::error_code error, std::size_t) {
                             self->onBody(error);
                         }));
        return;
    }
    onBody({});
}

void HttpSession::onBody(beast::error_code ec) {
    if (ec == http::error::body_limit) {
        refuse(413, "The request body is too large.");
        return;
    }
    if (ec) {
        finish();
        return;
    }
    const auto& request = m_parser->get();
    const bool ends =
        !request.keep_alive() || m_served + 1 >= m_context.options.keepAliveMaxRequests;
    // A page still being made is waited for no longer than a reply is.
    setDeadline(m_context.options.ioTimeout);
    m_context.route(view(request.target()), [self = shared_from_this(), ends](Reply reply) {
        // On this connection's loop: at once when answered there, else queued to it.
        net::dispatch(self->m_socket.get_executor(),
                      [self, ends, reply = std::move(reply)]() mutable {
                          if (!self->m_socket.is_open()) {
                              // Closed by its deadline while the page was made: nothing is
                              // sent, and nothing logged as sent.
                              self->finish();
                              return;
                          }
                          self->send(std::move(reply), ends);
                      });
    });
}

void HttpSession::refuse(int status, std::string_view reason) {
    send(errorReply(status, reason), true);
}

void HttpSession::send(Reply reply, bool ends) {
    const ServerOptions& options = m_context.options;
    m_status = reply.status;
    m_bodyBytes = reply.front.size() + (reply.parts ? reply.parts->tail.size() : 0);

    ReplyHeadFields fields;
    fields.status = reply.status;
    fields.contentType = reply.contentType;
    fields.contentLength = m_bodyBytes;
    fields.closes = ends;
    fields.http10 = m_parser->get().version() < 11;
    fields.keepAliveTimeout = options.keepAliveTimeout;
    fields.keepAliveMaxRequests = options.keepAliveMaxRequests;
    m_headLength = writeReplyHead(m_head, fields);
    if (m_headLength == 0) {
        // Cannot happen with the fields above; a cut head would be worse than none.
        finish();
        return;
    }

    std::array<net::const_buffer, 3> buffers{net::buffer(m_head.data(), m_headLength)};
    if (!m_headOnly) {
        m_front = std::move(reply.front);
        buffers[1] = net::buffer(m_front);
        if (reply.parts && reply.parts->tailFile >= 0 &&
            reply.parts->tail.size() >= kTailFromFileBytes) {
            // Head and front first, then the tail from its memory file; held back until the
            // tail follows, so that head and tail leave in full segments.
            m_tail = std::move(reply.parts);
            m_tailSent = 0;
            setCorked(true);
        } else if (reply.parts) {
            m_tail = std::move(reply.parts);
            buffers[2] = net::buffer(m_tail->tail);
            m_tailSent = m_tail->tail.size();
        }
    }
    setDeadline(options.ioTimeout);
    net::async_write(m_socket, buffers,
                     bound([self = shared_from_this(), ends](beast::error_code ec, std::size_t) {
                         if (!ec && self->m_tail && self->m_tailSent < self->m_tail->tail.size()) {
                             self->sendTail(ends);
                         } else {
                             self->onSent(ends, ec);
                         }
                     }));
}

void HttpSession::setCorked(bool corked) {
    const int value = corked ? 1 : 0;
    ::setsockopt(m_socket.native_handle(), IPPROTO_TCP, TCP_CORK, &value, sizeof value);
}

void HttpSession::sendTail(bool ends) {
    const std::string_view tail = m_tail->tail;
    beast::error_code ec;
    m_socket.native_non_blocking(true, ec);
    std::size_t burst = 0;
    while (!ec && m_tailSent < tail.size()) {
        if (burst >= kTailBurstBytes) {
            // Other connections of this loop go first; the rest follows after them.
            net::post(m_socket.get_executor(),
                      bound([self = shared_from_this(), ends] { self->sendTail(ends); }));
            return;
        }
        auto offset = static_cast<off_t>(m_tailSent);
        const ssize_t sent = ::sendfile(m_socket.native_handle(), m_tail->tailFile, &offset,
                                        std::min(tail.size() - m_tailSent, kTailBurstBytes));
        if (sent > 0) {
            m_tailSent += static_cast<std::size_t>(sent);
            burst += static_cast<std::size_t>(sent);
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_socket.async_write_some(net::buffer(tail.substr(m_tailSent)),
                                      bound([self = shared_from_this(), ends](
                                                beast::error_code error, std::size_t written) {
                                          self->m_tailSent += written;
                                          if (error) {
                                              self->setCorked(false);
                                              self->onSent(ends, error);
                                          } else {
                                              self->sendTail(ends);
                                          }
                                      }));
            return;
        } else {
            ec = sent == 0 ? beast::error_code(net::error::eof)
                           : beast::error_code(errno, boost::system::system_category());
        }
    }
    setCorked(false);
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
                                   m_status, m_headOnly ? 0 : m_bodyBytes,
                                   header(http::field::referer), header(http::field::user_agent)});
    }
    // Nothing of the answered request stays on the heap while the connection waits.
    m_tail.reset();
    std::string().swap(m_front);
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
    m_socket.shutdown(tcp::socket::shutdown_send, ec);
    setDeadline(kClosingGrace);
    m_buffer.clear();
    drain();
}

void HttpSession::drain() {
    m_socket.async_read_some(
        m_buffer.prepare(kFirstReadBytes),
        bound([self = shared_from_this()](beast::error_code ec, std::size_t received) {
            self->m_drained += received;
            if (!ec && self->m_drained <= kClosingDrainBytes) {
                self->drain();
            } else {
                self->finish();
            }
        }));
}

}  // namespace zonarium
