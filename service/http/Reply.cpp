#include "http/Reply.h"

#include "model/Page.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/buffer_traits.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/serializer.hpp>
#include <boost/beast/http/status.hpp>

#include <string>

namespace zonarium {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;

namespace {

std::string_view reasonPhrase(int status) {
    const auto phrase = http::obsolete_reason(static_cast<http::status>(status));
    return {phrase.data(), phrase.size()};
}

}  // namespace

Reply errorReply(int status, std::string_view reason) {
    Reply reply;
    reply.status = status;
    reply.front = "<HTML><HEAD><TITLE>Zonarium</TITLE></HEAD><BODY>\n<H3>";
    reply.front += std::to_string(status);
    reply.front += ' ';
    reply.front += reasonPhrase(status);
    reply.front += "</H3>\n<P>";
    reply.front += reason;
    reply.front += "</P>\n</BODY></HTML>\n";
    return reply;
}

std::size_t writeReplyHead(std::span<char> head, const ReplyHeadFields& fields) {
    http::response<http::empty_body> response{static_cast<http::status>(fields.status), 11};
    response.set(http::field::content_type,
                 beast::string_view(fields.contentType.data(), fields.contentType.size()));
    if (fields.status == 200) {
        response.set(http::field::cache_control, "no-store");
    }
    if (fields.status == 405) {
        response.set(http::field::allow, "GET, HEAD");
    }
    if (fields.retryAfter.count() > 0) {
        response.set(http::field::retry_after, std::to_string(fields.retryAfter.count()));
    }
    response.content_length(fields.contentLength);
    if (fields.closes) {
        response.set(http::field::connection, "close");
    } else {
        if (fields.http10) {
            response.set(http::field::connection, "keep-alive");
        }
        const auto seconds =
            std::chrono::ceil<std::chrono::seconds>(fields.keepAliveTimeout).count();
        response.set(http::field::keep_alive, "timeout=" + std::to_string(seconds) + ", max=" +
                                                  std::to_string(fields.keepAliveMaxRequests));
    }
    // The head alone: the body follows from the caller's own buffers.
    http::response_serializer<http::empty_body> serializer{response};
    serializer.split(true);
    std::size_t length = 0;
    bool fits = true;
    beast::error_code ec;
    while (fits && !ec && !serializer.is_header_done()) {
        serializer.next(ec, [&](beast::error_code&, const auto& buffers) {
            const std::size_t size = beast::buffer_bytes(buffers);
            fits = size <= head.size() - length;
            if (fits) {
                net::buffer_copy(net::buffer(head.data() + length, size), buffers);
                length += size;
            }
            serializer.consume(size);
        });
    }
    return fits && !ec ? length : 0;
}

}  // namespace zonarium
