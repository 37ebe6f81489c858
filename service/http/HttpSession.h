#pragma once

#include "http/AccessLog.h"
#include "http/ConnectionSlots.h"
#include "http/Reply.h"
#include "http/ReplyWriter.h"
#include "http/RequestCheck.h"
#include "http/Router.h"
#include "http/ServerOptions.h"
#include "http/SessionMemory.h"
#include "model/Page.h"
#include "model/PageCache.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/core/flat_static_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zonarium {

// What a session needs of its server; outlives every session.
struct SessionContext {
    ServerOptions options;
    // Answers the requests whose head passed every limit.
    const Router& router;
    // Writes the access-log line of one answer.
    std::function<void(const AccessRecord& record)> log;
    ConnectionSlots slots;
    // A graceful stop has begun: kept-alive connections waiting for another request close,
    // answers say the connection closes.
    std::atomic<bool> draining{false};
};

// One client connection: reads a request head under a deadline and the parser's limits,
// discards a small body, writes the answer and waits for the next request or closes. Runs on
// one single-threaded event loop. Owned by its own pending operations; the connection closes
// when the last one ends. Lives in a memory mapping of its own (see create()); its pending
// operations take their memory from the event loop's thread, which recycles it.
class HttpSession final : public ConnectionSlots::Connection,
                          public std::enable_shared_from_this<HttpSession> {
public:
    // Bytes of request read ahead at most; a head must fit, with room for what follows it.
    static constexpr std::size_t kReadBufferBytes = 24 * 1024;

    // A session for `socket`, admitted by `ticket`, whose place it gives back when it ends
    // (also when this throws std::bad_alloc, out of memory). In a memory mapping of its own, so
    // that connections opened and closed in bursts leave no holes in the heap.
    static std::shared_ptr<HttpSession> create(boost::asio::ip::tcp::socket&& socket,
                                               SessionContext& context,
                                               ConnectionSlots::Ticket ticket);
    HttpSession(boost::asio::ip::tcp::socket&& socket, SessionContext& context,
                ConnectionSlots::Ticket ticket);
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // Starts waiting for the first request, on the connection's own event loop; called by
    // the accepting thread.
    void start();
    // Closes the connection from any thread; for a connection evicted by ConnectionSlots.
    void close() override;
    // Closes the connection from any thread if it waits for a request not yet begun.
    void closeIfIdle() override;
    std::shared_ptr<ConnectionSlots::Connection> keepForClosing() override;

private:
    void awaitRequest();
    void onFirstBytes(boost::beast::error_code ec, std::size_t received);
    void onHead(boost::beast::error_code ec);
    void onBody(boost::beast::error_code ec);
    // Answers, refuses or drops the request read, as `verdict` says.
    void onVerdict(const RequestVerdict& verdict);
    // Writes `reply`; `ends` closes the connection after it.
    void send(Reply reply, bool ends);
    // Writes what is left of the head, front and short tail, a write at a time.
    void writeFirst(bool ends);
    void onSent(bool ends, boost::beast::error_code ec);
    // Sends the rest of the page tail from its memory file, by the kernel, while the socket
    // takes it; when it is full, writes the next piece from memory under the write deadline
    // instead.
    void sendTail(bool ends);
    // Shuts the sending side and reads what the client still sends, briefly, so that the
    // answer is not lost to a reset; the connection closes after.
    void closeGracefully();
    void drain();
    // True when bytes of a request wait in the socket, not yet read.
    bool requestArrived();
    // Ends the session: no operation follows and the connection closes.
    void finish();

    // The connection; every read and write ends at the deadline last set on it
    // (expires_after), which closes the connection.
    boost::beast::tcp_stream m_stream;
    // Answers 503 when a page being made takes longer than ioTimeout, while no read or write
    // is pending.
    boost::asio::steady_timer m_pageWait;
    bool m_awaitingPage = false;
    // Requests handed to the router; an answer for an earlier one comes too late and is
    // dropped.
    std::uint64_t m_routed = 0;
    // Waiting for the first byte of a request, with nothing of one received.
    bool m_idle = false;
    // Parser of the request being read; a fresh one per request, dropped once answered.
    std::optional<RequestParser> m_parser;
    SessionContext& m_context;
    // The connection's place among the open ones.
    ConnectionSlots::Ticket m_ticket;
    // Peer address as logged.
    std::array<char, 64> m_peer{};
    std::size_t m_peerLength = 0;
    // Request line of the request being answered, as logged.
    std::string m_requestLine;
    // HEAD: the answer carries no body.
    bool m_headOnly = false;
    // Requests answered.
    std::size_t m_served = 0;
    // The answer being written.
    ReplyWriter m_reply;
    // Bytes drained while closing.
    std::size_t m_drained = 0;
    // Received bytes not yet parsed; may hold pipelined requests. Last, so that its unused
    // pages are never touched.
    boost::beast::flat_static_buffer<kReadBufferBytes> m_buffer;
};

}  // namespace zonarium
