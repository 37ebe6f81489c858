#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

namespace zonarium {

// Limits one client connection is held to.
struct ConnectionLimits {
    // Longest request line, bytes including its line end; longer gets 414 unread.
    std::size_t maxRequestLine = 8192;
    // Largest request head (request line, header lines, blank line), bytes; larger gets 431.
    std::size_t maxHead = 16384;
    // Longest wait for a read or write the HTTP library asks for to make progress.
    std::chrono::milliseconds ioTimeout{5000};
};

// A non-blocking client socket seen by the HTTP library as a stream. Request bytes are
// gathered with fill() without waiting, until headState() says a whole head is buffered;
// only then does the library parse it, reading from the buffer. Writes never wait: what
// the socket does not take at once is kept and sent later with flush().
class GuardedConnection : public httplib::Stream {
public:
    // What the buffered bytes hold.
    enum class Head {
        // Not yet a whole request head.
        Incomplete,
        // A whole head, within the limits.
        Ready,
        // The request line exceeds maxRequestLine.
        LineTooLong,
        // The head exceeds maxHead.
        HeadTooLarge,
    };

    // How a non-blocking read or write ended.
    enum class Io {
        // Bytes moved, or nothing was left to move.
        Done,
        // The socket has no bytes, or no room, right now.
        WouldBlock,
        // The peer closed the connection or it failed.
        Closed,
    };

    // `socket` must be non-blocking; it is not closed here. `stopping`, when given, cuts
    // the waits of read() short once it turns true.
    GuardedConnection(int socket, ConnectionLimits limits,
                      const std::atomic<bool>* stopping = nullptr);

    // Receives what the socket holds without waiting, up to a little past maxHead.
    Io fill();
    // Whether a whole request head is buffered, or a limit is passed.
    Head headState();
    // Rewrites the line ends of the buffered head (state Ready) to CR LF, so that heads
    // with bare LF line ends read like any other; returns the first line without its end.
    std::string_view normaliseHead();
    // Whether any received byte is still unread.
    bool hasUnread() const { return m_offset < m_buffer.size(); }

    // Bytes received and not yet read, e.g. the start of a refused request line.
    std::string_view pending() const { return std::string_view(m_buffer).substr(m_offset); }

    // Sends kept output without waiting.
    Io flush();
    // Bytes written and not yet sent.
    std::size_t unsent() const { return m_output.size() - m_outputOffset; }

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return m_socket; }

private:
    // Waits up to ioTimeout until the socket is readable, looking at `stopping` now and
    // then; false on time-out or stop.
    bool waitReadable() const;

    // The client socket; not owned.
    int m_socket;
    // Limits as given.
    ConnectionLimits m_limits;
    // Set when the server stops; may be null.
    const std::atomic<bool>* m_stopping;
    // Bytes received and not yet read by the library.
    std::string m_buffer;
    // Offset of the first unread byte in m_buffer.
    std::size_t m_offset = 0;
    // Offset in m_buffer up to which no head end was found; scanning resumes there.
    std::size_t m_scanned = 0;
    // End of the buffered head (headState() Ready) in m_buffer; npos otherwise.
    std::size_t m_headEnd = std::string::npos;
    // Bytes written by the library and not yet taken by the socket, from m_outputOffset.
    std::string m_output;
    // Offset of the first unsent byte in m_output.
    std::size_t m_outputOffset = 0;
    // Set once a send failed; every later write fails.
    bool m_broken = false;
};

}  // namespace zonarium
