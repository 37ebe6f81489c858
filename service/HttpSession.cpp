#include "HttpSession.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core/bind_handler.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/optional.hpp>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <utility>

namespace zonarium {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

// A body of bytes owned by the message followed by the shared tail of cached page parts,
// written as one buffer sequence without copying the tail.
struct SplitBody {
    struct value_type {
        std::string front;
        std::shared_ptr<const PageParts> parts;
    };

    static std::uint64_t size(const value_type& body) {
        return body.front.size() + (body.parts ? body.parts->tail.size() : 0);
    }

    class writer {
    public:
        using const_buffers_type = std::array<net::const_buffer, 2>;

        template <bool isRequest, class Fields>
        writer(const http::header<isRequest, Fields>&, const value_type& body) : m_body(body) {}

        void init(beast::error_code& ec) { ec = {}; }

        boost::optional<std::pair<const_buffers_type, bool>> get(beast::error_code& ec) {
            ec = {};
            if (m_done) {
                return boost::none;
            }
            m_done = true;
            const std::string_view tail =
                m_body.parts ? std::string_view(m_body.parts->tail) : std::string_view{};
            return std::make_pair(const_buffers_type{net::buffer(m_body.front),
                                                     net::buffer(tail.data(), tail.size())},
                                  false);
        }

    private:
        const value_type& m_body;
        bool m_done = false;
    };
};

using Response = http::response<SplitBody>;

// Shortest page tail sent from its memory file; shorter ones go from memory with the head.
constexpr std::size_t kTailFromFileBytes = 16384;
// Largest read while waiting for a request's first bytes.
constexpr std::size_t kFirstReadBytes = 1024;
// How long a closing connection may still send before it is cut off.
constexpr std::chrono::seconds kClosingGrace{1};
// Bytes read at a time while closing.
constexpr std::size_t kDrainBufferBytes = 4096;
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

Reply errorReply(int status, std::string_view reason) {
    Reply reply;
    reply.status = status;
    reply.front = "<HTML><HEAD><TITLE>Zonarium</TITLE></HEAD><BODY>\n<H3>";
    reply.front += std::to_string(status);
    reply.front += ' ';
    const auto phrase = http::obsolete_reason(static_cast<http::status>(status));
    reply.front.append(phrase.data(), phrase.size());
    reply.front += "</H3>\n<P>";
    reply.front += reason;
    reply.front += "</P>\n</BODY></HTML>\n";
    return reply;
}

HttpSession::HttpSession(tcp::socket&& socket, SessionContext& context)
    : m_stream(std::move(socket)), m_context(context) {
    beast::error_code ec;
    const tcp::endpoint peer = m_stream.socket().remote_endpoint(ec);
    if (!ec) {
        m_peer = peer.address().to_string();
    }
    m_stream.socket().set_option(tcp::no_delay(true), ec);
    if (context.options.sendBufferBytes > 0) {
        m_stream.socket().set_option(
            net::socket_base::send_buffer_size(context.options.sendBufferBytes), ec);
    }
}

HttpSession::~HttpSession() {
    m_context.slots.release(m_slot);
}

void HttpSession::start() {
    net::dispatch(m_stream.get_executor(), [self = shared_from_this()] { self->awaitRequest(); });
}

void HttpSession::close() {
    net::post(m_stream.get_executor(), [self = shared_from_this()] { self->m_stream.close(); });
}

void HttpSession::awaitRequest() {
    const ServerOptions& options = m_context.options;
    m_parser.emplace();
    m_parser->header_limit(static_cast<std::uint32_t>(options.maxHeadBytes));
    m_parser->body_limit(options.maxBodyBytes);
    if (m_buffer.size() > 0) {
        // A pipelined request has begun already.
        onFirstBytes({}, 0);
        return;
    }
    m_context.slots.startWaiting(m_slot, this);
    m_stream.expires_after(m_served == 0 ? options.ioTimeout : options.keepAliveTimeout);
    m_stream.async_read_some(
        m_buffer.prepare(kFirstReadBytes),
        beast::bind_front_handler(&HttpSession::onFirstBytes, shared_from_this()));
}

void HttpSession::onFirstBytes(beast::error_code ec, std::size_t received) {
    if (ec) {
        return;  // idle time-out, closed by the client or evicted
    }
    m_buffer.commit(received);
    // The head deadline runs from its first byte, across every read of the head.
    m_stream.expires_after(m_context.options.headTimeout);
    http::async_read_header(
        m_stream, m_buffer, *m_parser,
        [self = shared_from_this()](beast::error_code error, std::size_t) { self->onHead(error); });
}

void HttpSession::onHead(beast::error_code ec) {
    if (!m_context.slots.stopWaiting(m_slot)) {
        return;  // evicted to make room
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
        return;  // head deadline, reset or a client that left mid-head
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
        m_stream.expires_after(options.ioTimeout);
        http::async_read(m_stream, m_buffer, *m_parser,
                         [self = shared_from_this()](beast::error_code error, std::size_t) {
                             self->onBody(error);
                         });
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
        return;
    }
    const auto& request = m_parser->get();
    Reply reply = m_context.route(view(request.target()));
    const bool ends =
        !request.keep_alive() || m_served + 1 >= m_context.options.keepAliveMaxRequests;
    send(std::move(reply), ends);
}

void HttpSession::refuse(int status, std::string_view reason) {
    send(errorReply(status, reason), true);
}

void HttpSession::send(Reply reply, bool ends) {
    const ServerOptions& options = m_context.options;
    auto response = std::make_shared<Response>(static_cast<http::status>(reply.status), 11);
    response->set(http::field::content_type, kPageContentType);
    if (reply.status == 200) {
        response->set(http::field::cache_control, "no-store");
    }
    if (reply.status == 405) {
        response->set(http::field::allow, "GET, HEAD");
    }
    m_status = reply.status;
    m_bodyBytes = reply.front.size() + (reply.parts ? reply.parts->tail.size() : 0);
    if (m_headOnly) {
        response->content_length(m_bodyBytes);
    } else {
        response->body().front = std::move(reply.front);
        if (reply.parts && reply.parts->tailFile >= 0 &&
            reply.parts->tail.size() >= kTailFromFileBytes) {
            // Head and front through the serializer, then the tail from its memory file.
            m_tail = std::move(reply.parts);
            m_tailSent = 0;
            // Held back until the tail follows, so head and tail leave in full segments.
            setCorked(true);
            response->content_length(m_bodyBytes);
        } else {
            response->body().parts = std::move(reply.parts);
            response->prepare_payload();
        }
    }
    response->keep_alive(!ends);
    if (!ends && m_parser->get().version() < 11) {
        // An HTTP/1.0 client keeps the connection only when told so.
        response->set(http::field::connection, "keep-alive");
    }
    if (!ends) {
        const auto seconds =
            std::chrono::ceil<std::chrono::seconds>(options.keepAliveTimeout).count();
        response->set(http::field::keep_alive, "timeout=" + std::to_string(seconds) + ", max=" +
                                                   std::to_string(options.keepAliveMaxRequests));
    }
    m_response = response;
    m_stream.expires_after(options.ioTimeout);
    http::async_write(m_stream, *response,
                      [self = shared_from_this(), ends](beast::error_code ec, std::size_t) {
                          if (!ec && self->m_tail) {
                              self->sendTail(ends);
                          } else {
                              self->onSent(ends, ec);
                          }
                      });
}

void HttpSession::setCorked(bool corked) {
    const int value = corked ? 1 : 0;
    ::setsockopt(m_stream.socket().native_handle(), IPPROTO_TCP, TCP_CORK, &value, sizeof value);
}

void HttpSession::sendTail(bool ends) {
    tcp::socket& socket = m_stream.socket();
    const std::string_view tail = m_tail->tail;
    beast::error_code ec;
    socket.native_non_blocking(true, ec);
    while (!ec && m_tailSent < tail.size()) {
        auto offset = static_cast<off_t>(m_tailSent);
        const ssize_t sent =
            ::sendfile(socket.native_handle(), m_tail->tailFile, &offset, tail.size() - m_tailSent);
        if (sent > 0) {
            m_tailSent += static_cast<std::size_t>(sent);
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_stream.async_write_some(
                net::buffer(tail.substr(m_tailSent)),
                [self = shared_from_this(), ends](beast::error_code error, std::size_t written) {
                    self->m_tailSent += written;
                    if (error) {
                        self->m_tail.reset();
                        self->setCorked(false);
                        self->onSent(ends, error);
                    } else {
                        self->sendTail(ends);
                    }
                });
            return;
        } else {
            ec = sent == 0 ? beast::error_code(net::error::eof)
                           : beast::error_code(errno, boost::system::system_category());
        }
    }
    m_tail.reset();
    setCorked(false);
    onSent(ends, ec);
}

void HttpSession::onSent(bool ends, beast::error_code ec) {
    m_context.log(m_peer, m_requestLine, m_status, m_bodyBytes);
    m_response.reset();
    if (ec) {
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
    drain();
}

void HttpSession::drain() {
    if (!m_drainBuffer) {
        m_drainBuffer = std::make_unique<char[]>(kDrainBufferBytes);
    }
    m_stream.async_read_some(
        net::buffer(m_drainBuffer.get(), kDrainBufferBytes),
        [self = shared_from_this()](beast::error_code ec, std::size_t received) {
            self->m_drained += received;
            if (!ec && self->m_drained <= kClosingDrainBytes) {
                self->drain();
            }
        });
}

}  // namespace zonarium
