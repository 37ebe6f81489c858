#pragma once

#include <httplib.h>

#include <chrono>
#include <functional>
#include <string>

namespace zonarium {

// Limits one client connection is held to.
struct ConnectionLimits {
    // Longest request line, bytes including its line end; longer gets 414 unread.
    std::size_t maxRequestLine = 8192;
    // Largest request head (request line, header lines, blank line), bytes; larger gets 431.
    std::size_t maxHead = 16384;
    // Longest wait for any single read or write to make progress.
    std::chrono::milliseconds ioTimeout{5000};
    // Longest time from a request's first byte to the end of its head.
    std::chrono::milliseconds headTimeout{10000};
};

// A client socket seen by the HTTP library as a stream: buffered reads that keep bytes of
// the next request for the next request, writes that wait for the socket, and a check of
// each request head before the library parses it, so no head grows past the limits.
class GuardedConnection : public httplib::Stream {
public:
    // How the wait for a request head ended.
    enum class Head {
        // A whole head is buffered.
        Ready,
        // The client closed, went silent past a time-out, or the server is stopping.
        Gone,
        // The request line exceeds maxRequestLine.
        LineTooLong,
        // The head exceeds maxHead.
        HeadTooLarge,
    };

    // Takes over nothing: the caller closes `socket`.
    GuardedConnection(int socket, ConnectionLimits limits);

    // Waits up to `idle` for the first byte of a request (giving up early once `stopping`
    // says so), then until the head is complete or a limit is passed.
    Head awaitHead(std::chrono::milliseconds idle, const std::function<bool()>& stopping);

    // Bytes received and not yet read, e.g. the start of a refused request line.
    std::string_view pending() const { return std::string_view(m_buffer).substr(m_offset); }

    // Writes a complete response of `bytes`; false when the client stopped taking them.
    bool writeAll(std::string_view bytes);

    // Ends sending, then reads and drops what the client still sends (up to a second), so
    // that closing does not reset the connection before the client has read the reply.
    void drainBeforeClose();

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return m_socket; }

private:
    // Receives once into the buffer, waiting up to `timeout`; false at end or time-out.
    bool receive(std::chrono::milliseconds timeout);
    // Waits until the socket is readable (`events` POLLIN) or writable (POLLOUT).
    bool wait(short events, std::chrono::milliseconds timeout) const;

    // The client socket; not owned.
    int m_socket;
    // Limits as given.
    ConnectionLimits m_limits;
    // Bytes received and not yet read by the library.
    std::string m_buffer;
    // Offset of the first unread byte in m_buffer.
    std::size_t m_offset = 0;
};

}  // namespace zonarium
