#pragma once

#include "http/Reply.h"
#include "model/PageCache.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/error.hpp>

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace zonarium {

// The bytes of one answer on its way out: status line and header block, the body's front
// and, for a large cached page, its tail, which the kernel copies from the page's memory
// file. Knows nothing of deadlines or of when to write; the connection drives it.
class ReplyWriter {
public:
    // How far sendTailFromFile() got.
    enum class TailStep {
        // The whole tail went, or `ec` says why it stopped.
        Ended,
        // A burst went; the rest is to follow once the loop's other connections had a turn.
        Yielded,
        // The socket takes no more for now: the rest is to be written from unsentTail().
        SocketFull,
    };

    // Makes `reply`'s head from `fields` (its status and Content-Length are taken from
    // the reply) and holds its body, none of it when `headOnly`. False when the head does
    // not fit, which the fields of this service never cause.
    bool prepare(Reply reply, ReplyHeadFields fields, bool headOnly);
    // What is still to be written of the head, front and short tail, which go first.
    std::array<boost::asio::const_buffer, 3> firstBuffers() const;
    // `bytes` more of firstBuffers() were taken by the client.
    void firstWritten(std::size_t bytes) { m_firstSent += bytes; }
    // True once firstBuffers() holds nothing more.
    bool firstDone() const { return m_firstSent >= m_firstBytes; }
    // True while a tail is still to be sent after firstBuffers().
    bool tailPending() const { return m_tail && m_tailSent < m_tail->tail.size(); }
    // True when the tail goes from its memory file; the socket is to stay corked meanwhile,
    // so that head and tail leave in full segments.
    bool tailFromFile() const { return m_tailFromFile; }
    // Sends the unsent tail from its memory file into the non-blocking socket `socket`,
    // at most one burst.
    TailStep sendTailFromFile(int socket, boost::beast::error_code& ec);
    // Tail bytes not sent yet, and how many of them went from memory.
    std::string_view unsentTail() const;
    void tailWritten(std::size_t bytes) { m_tailSent += bytes; }

    // Status of the answer.
    int status() const { return m_status; }
    // Body bytes the client has taken so far; less than its Content-Length for a reply cut
    // short.
    std::size_t bodyBytesSent() const;
    // True when every byte of the answer went, head and (unless HEAD) body.
    bool complete() const { return firstDone() && !tailPending(); }
    // Drops the answer's body, so that nothing of it stays on the heap.
    void clear();

private:
    // Status line and header block.
    std::array<char, 512> m_head{};
    std::size_t m_headLength = 0;
    // Bytes of firstBuffers() in all, and those taken so far.
    std::size_t m_firstBytes = 0;
    std::size_t m_firstSent = 0;
    // Body bytes before the page tail; kept until they are sent.
    std::string m_front;
    // A page whose tail is still to be sent, and how much of that tail has gone.
    std::shared_ptr<const CachedPage> m_tail;
    std::size_t m_tailSent = 0;
    bool m_tailFromFile = false;
    int m_status = 0;
};

// Sets TCP_CORK on `socket`: while corked, partial segments wait for more bytes.
void setCorked(int socket, bool corked);

}  // namespace zonarium
