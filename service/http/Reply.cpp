#include "http/Reply.h"

#include "model/Page.h"

#include <boost/beast/http/status.hpp>

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace zonarium {

namespace http = boost::beast::http;

namespace {

std::string_view reasonPhrase(int status) {
    const auto phrase = http::obsolete_reason(static_cast<http::status>(status));
    return {phrase.data(), phrase.size()};
}

// Appends text and numbers to fixed memory, remembering when they did not fit.
class HeadWriter {
public:
    explicit HeadWriter(std::span<char> head) : m_head(head) {}

    HeadWriter& operator<<(std::string_view text) {
        if (text.size() > m_head.size() - m_length) {
            m_overflow = true;
        } else {
            std::memcpy(m_head.data() + m_length, text.data(), text.size());
            m_length += text.size();
        }
        return *this;
    }
    HeadWriter& operator<<(std::uint64_t value) {
        std::array<char, 24> digits{};
        const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
        return *this << std::string_view(digits.data(),
                                         static_cast<std::size_t>(end - digits.data()));
    }

    // Bytes written; 0 when something did not fit.
    std::size_t length() const { return m_overflow ? 0 : m_length; }

private:
    std::span<char> m_head;
    std::size_t m_length = 0;
    bool m_overflow = false;
};

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
    HeadWriter out(head);
    out << "HTTP/1.1 " << static_cast<std::uint64_t>(fields.status) << " "
        << reasonPhrase(fields.status) << "\r\nContent-Type: " << fields.contentType << "\r\n";
    if (fields.status == 200) {
        out << "Cache-Control: no-store\r\n";
    }
    if (fields.status == 405) {
        out << "Allow: GET, HEAD\r\n";
    }
    if (fields.retryAfter.count() > 0) {
        out << "Retry-After: " << static_cast<std::uint64_t>(fields.retryAfter.count()) << "\r\n";
    }
    out << "Content-Length: " << static_cast<std::uint64_t>(fields.contentLength) << "\r\n";
    if (fields.closes) {
        out << "Connection: close\r\n";
    } else {
        if (fields.http10) {
            out << "Connection: keep-alive\r\n";
        }
        const auto seconds = static_cast<std::uint64_t>(
            std::chrono::ceil<std::chrono::seconds>(fields.keepAliveTimeout).count());
        out << "Keep-Alive: timeout=" << seconds
            << ", max=" << static_cast<std::uint64_t>(fields.keepAliveMaxRequests) << "\r\n";
    }
    out << "\r\n";
    return out.length();
}

}  // namespace zonarium
