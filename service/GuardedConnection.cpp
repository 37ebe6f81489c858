#include "GuardedConnection.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace zonarium {

namespace {

// Slice of a wait after which a stop request is looked at.
constexpr std::chrono::milliseconds kStopCheckInterval{200};

void addressOf(const sockaddr_storage& address, socklen_t length, std::string& ip, int& port) {
    char host[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, host, sizeof host,
                      service, sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
        ip = host;
        port = std::atoi(service);
    }
}

bool wouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

}  // namespace

GuardedConnection::GuardedConnection(int socket, ConnectionLimits limits,
                                     const std::atomic<bool>* stopping)
    : m_socket(socket), m_limits(limits), m_stopping(stopping) {}

GuardedConnection::Io GuardedConnection::fill() {
    char chunk[16384];
    while (m_buffer.size() - m_offset <= m_limits.maxHead) {
        const ssize_t received = ::recv(m_socket, chunk, sizeof chunk, 0);
        if (received > 0) {
            m_buffer.append(chunk, static_cast<std::size_t>(received));
        } else if (received < 0 && errno == EINTR) {
            continue;
        } else if (received < 0 && wouldBlock()) {
            return Io::WouldBlock;
        } else {
            return Io::Closed;
        }
    }
    return Io::Done;
}

GuardedConnection::Head GuardedConnection::headState() {
    if (m_offset > 0) {
        // The library took the previous request: what follows starts the next head.
        m_buffer.erase(0, m_offset);
        m_offset = 0;
        m_scanned = 0;
    }
    // A head ends at a line end followed by an empty line: "\n\n" or "\n\r\n".
    std::size_t end = std::string::npos;
    std::size_t at = m_scanned;
    while ((at = m_buffer.find('\n', at)) != std::string::npos) {
        if (at + 1 >= m_buffer.size()) {
            break;
        }
        if (m_buffer[at + 1] == '\n') {
            end = at + 2;
            break;
        }
        if (m_buffer[at + 1] == '\r') {
            if (at + 2 >= m_buffer.size()) {
                break;
            }
            if (m_buffer[at + 2] == '\n') {
                end = at + 3;
                break;
            }
        }
        ++at;
    }
    // The next scan starts at the line end still undecided, or past everything seen.
    m_scanned = at == std::string::npos ? m_buffer.size() : at;
    m_headEnd = end;
    const std::size_t lineEnd = m_buffer.find('\n');
    if (lineEnd == std::string::npos ? m_buffer.size() > m_limits.maxRequestLine
                                     : lineEnd + 1 > m_limits.maxRequestLine) {
        return Head::LineTooLong;
    }
    if (end == std::string::npos) {
        return m_buffer.size() > m_limits.maxHead ? Head::HeadTooLarge : Head::Incomplete;
    }
    return end <= m_limits.maxHead ? Head::Ready : Head::HeadTooLarge;
}

std::string_view GuardedConnection::normaliseHead() {
    if (m_headEnd == std::string::npos) {
        return {};
    }
    std::string head;
    head.reserve(m_headEnd + 16);
    for (std::size_t at = 0; at < m_headEnd; ++at) {
        if (m_buffer[at] == '\n' && (at == 0 || m_buffer[at - 1] != '\r')) {
            head += '\r';
        }
        head += m_buffer[at];
    }
    m_buffer.replace(0, m_headEnd, head);
    m_headEnd = std::string::npos;
    const std::string_view text(m_buffer);
    return text.substr(0, text.find("\r\n"));
}

GuardedConnection::Io GuardedConnection::flush() {
    while (m_outputOffset < m_output.size()) {
        const ssize_t sent = ::send(m_socket, m_output.data() + m_outputOffset,
                                    m_output.size() - m_outputOffset, MSG_NOSIGNAL);
        if (sent > 0) {
            m_outputOffset += static_cast<std::size_t>(sent);
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else if (sent < 0 && wouldBlock()) {
            return Io::WouldBlock;
        } else {
            m_broken = true;
            return Io::Closed;
        }
    }
    m_output.clear();
    m_outputOffset = 0;
    return Io::Done;
}

bool GuardedConnection::waitReadable() const {
    const auto end = std::chrono::steady_clock::now() + m_limits.ioTimeout;
    for (;;) {
        if (m_stopping != nullptr && m_stopping->load()) {
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd entry{m_socket, POLLIN, 0};
        const int ready =
            ::poll(&entry, 1, static_cast<int>(std::min(left, kStopCheckInterval).count()));
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool GuardedConnection::is_readable() const {
    return hasUnread() || waitReadable();
}

bool GuardedConnection::is_writable() const {
    return !m_broken;
}

ssize_t GuardedConnection::read(char* ptr, size_t size) {
    while (!hasUnread()) {
        if (!waitReadable()) {
            return -1;
        }
        char chunk[16384];
        const ssize_t received = ::recv(m_socket, chunk, sizeof chunk, 0);
        if (received > 0) {
            m_buffer.append(chunk, static_cast<std::size_t>(received));
        } else if (received == 0 || (errno != EINTR && !wouldBlock())) {
            return -1;
        }
    }
    const std::size_t count = std::min(size, m_buffer.size() - m_offset);
    std::copy_n(m_buffer.data() + m_offset, count, ptr);
    m_offset += count;
    return static_cast<ssize_t>(count);
}

ssize_t GuardedConnection::write(const char* ptr, size_t size) {
    if (m_broken) {
        return -1;
    }
    std::size_t sent = 0;
    while (unsent() == 0 && sent < size) {
        const ssize_t n = ::send(m_socket, ptr + sent, size - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && wouldBlock()) {
            break;
        } else if (n < 0 && errno != EINTR) {
            m_broken = true;
            return -1;
        }
    }
    m_output.append(ptr + sent, size - sent);
    return static_cast<ssize_t>(size);
}

void GuardedConnection::get_remote_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        addressOf(address, length, ip, port);
    }
}

void GuardedConnection::get_local_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        addressOf(address, length, ip, port);
    }
}

}  // namespace zonarium
