#include "http/ReplyWriter.h"

#include <boost/asio/error.hpp>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace zonarium {

namespace net = boost::asio;

namespace {

// Shortest page tail sent from its memory file; shorter ones go from memory with the head.
constexpr std::size_t kTailFromFileBytes = 16384;
// Bytes of a page tail sent in one go before the loop's other connections get their turn.
constexpr std::size_t kTailBurstBytes = 256 * 1024;

}  // namespace

bool ReplyWriter::prepare(Reply reply, ReplyHeadFields fields, bool headOnly) {
    m_status = reply.status;
    fields.status = reply.status;
    fields.contentType = reply.contentType;
    fields.contentLength = reply.front.size() + (reply.parts ? reply.parts->tail.size() : 0);
    fields.retryAfter = reply.retryAfter;
    m_headLength = writeReplyHead(m_head, fields);
    if (m_headLength == 0) {
        return false;
    }
    m_tail.reset();
    m_tailSent = 0;
    m_tailFromFile = false;
    m_front.clear();
    if (!headOnly) {
        m_front = std::move(reply.front);
        if (reply.parts) {
            m_tailFromFile =
                reply.parts->tailFile >= 0 && reply.parts->tail.size() >= kTailFromFileBytes;
            m_tail = std::move(reply.parts);
            // A tail from memory goes with the head, in firstBuffers().
            m_tailSent = m_tailFromFile ? 0 : m_tail->tail.size();
        }
    }
    m_firstSent = 0;
    m_firstBytes =
        m_headLength + m_front.size() + (m_tail && !m_tailFromFile ? m_tail->tail.size() : 0);
    return true;
}

std::array<net::const_buffer, 3> ReplyWriter::firstBuffers() const {
    std::array<net::const_buffer, 3> buffers{net::buffer(m_head.data(), m_headLength),
                                             net::buffer(m_front)};
    if (m_tail && !m_tailFromFile) {
        buffers[2] = net::buffer(m_tail->tail);
    }
    std::size_t taken = m_firstSent;
    for (net::const_buffer& buffer : buffers) {
        const std::size_t skipped = std::min(taken, buffer.size());
        buffer += skipped;
        taken -= skipped;
    }
    return buffers;
}

std::size_t ReplyWriter::bodyBytesSent() const {
    const std::size_t first = m_firstSent > m_headLength ? m_firstSent - m_headLength : 0;
    return first + (m_tailFromFile ? m_tailSent : 0);
}

ReplyWriter::TailStep ReplyWriter::sendTailFromFile(int socket, boost::beast::error_code& ec) {
    const std::string_view tail = m_tail->tail;
    std::size_t burst = 0;
    while (m_tailSent < tail.size()) {
        if (burst >= kTailBurstBytes) {
            return TailStep::Yielded;
        }
        auto offset = static_cast<off_t>(m_tailSent);
        const ssize_t sent = ::sendfile(socket, m_tail->tailFile, &offset,
                                        std::min(tail.size() - m_tailSent, kTailBurstBytes));
        if (sent > 0) {
            m_tailSent += static_cast<std::size_t>(sent);
            burst += static_cast<std::size_t>(sent);
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return TailStep::SocketFull;
        } else {
            ec = sent == 0 ? boost::beast::error_code(net::error::eof)
                           : boost::beast::error_code(errno, boost::system::system_category());
            return TailStep::Ended;
        }
    }
    return TailStep::Ended;
}

std::string_view ReplyWriter::unsentTail() const {
    return std::string_view(m_tail->tail).substr(m_tailSent);
}

void ReplyWriter::clear() {
    m_tail.reset();
    std::string().swap(m_front);
}

void setCorked(int socket, bool corked) {
    const int value = corked ? 1 : 0;
    ::setsockopt(socket, IPPROTO_TCP, TCP_CORK, &value, sizeof value);
}

}  // namespace zonarium
