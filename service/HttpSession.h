#pragma once

#include "ConnectionSlots.h"
#include "Page.h"
#include "PageCache.h"
#include "ZonariumServer.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zonarium {

// An answer before it is written: status, and a body of `front` followed by the tail of
// `parts` when given, so a cached page goes out without being copied.
struct Reply {
    int status = 200;
    // Body bytes sent first, owned by the reply.
    std::string front;
    // Cached page whose tail follows `front`; may be null.
    std::shared_ptr<const CachedPage> parts;
};

// A short page naming `status` and `reason`.
Reply errorReply(int status, std::string_view reason);

// What a session needs of its server; outlives every session.
struct SessionContext {
    ServerOptions options;
    // The answer to a GET or HEAD of `target` whose head passed every limit.
    std::function<Reply(std::string_view target)> route;
    // Writes the access-log line of one answer.
    std::function<void(std::string_view peer, std::string_view requestLine, int status,
                       std::size_t bodyBytes)>
        log;
    ConnectionSlots slots;
};

// One client connection: reads a request head under a deadline and the parser's limits,
// discards a small body, writes the answer and waits for the next request or closes. Owned
// by its own pending operation; the connection closes when the last one ends.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(boost::asio::ip::tcp::socket&& socket, SessionContext& context);
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // Starts waiting for the first request, on the connection's own strand.
    void start();
    // Closes the connection from any thread; for a connection evicted by ConnectionSlots.
    void close();
    // The session's place in ConnectionSlots.
    ConnectionSlots::Entry& slot() { return m_slot; }

private:
    void awaitRequest();
    void onFirstBytes(boost::beast::error_code ec, std::size_t received);
    void onHead(boost::beast::error_code ec);
    void onBody(boost::beast::error_code ec);
    // Writes `reply`; `ends` closes the connection after it.
    void send(Reply reply, bool ends);
    void onSent(bool ends, boost::beast::error_code ec);
    // Sends the rest of m_tail from its memory file, by the kernel, while the socket takes it;
    // when it is full, writes the next piece from memory under the write deadline instead.
    void sendTail(bool ends);
    // Sets TCP_CORK: while corked, partial segments wait for more bytes.
    void setCorked(bool corked);
    // Refuses the request with `status`, closing the connection after the answer.
    void refuse(int status, std::string_view reason);
    // Shuts the sending side and reads what the client still sends, briefly, so that the
    // answer is not lost to a reset; the connection closes after.
    void closeGracefully();
    void drain();

    // The connection with its deadline timer.
    boost::beast::tcp_stream m_stream;
    // Received bytes not yet parsed; may hold pipelined requests.
    boost::beast::flat_buffer m_buffer;
    // Parser of the request being read; a fresh one per request.
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> m_parser;
    SessionContext& m_context;
    ConnectionSlots::Entry m_slot;
    // Peer address as logged.
    std::string m_peer;
    // Request line of the request being answered, as logged.
    std::string m_requestLine;
    // HEAD: the answer carries no body.
    bool m_headOnly = false;
    // Requests answered.
    std::size_t m_served = 0;
    // The answer being written; kept until it is sent.
    std::shared_ptr<void> m_response;
    // A page whose tail is still to be sent after the answer's head and front, and how much
    // of that tail has gone.
    std::shared_ptr<const CachedPage> m_tail;
    std::size_t m_tailSent = 0;
    // Body bytes of the answer being written, as logged.
    std::size_t m_bodyBytes = 0;
    // Status of the answer being written.
    int m_status = 0;
    // Bytes drained while closing.
    std::size_t m_drained = 0;
    // Where drained bytes go; made only when closing.
    std::unique_ptr<char[]> m_drainBuffer;
};

}  // namespace zonarium
