#include "GuardedConnection.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>

namespace zonarium {

namespace {

// Slice of an idle wait after which a stop request is looked at.
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

}  // namespace

GuardedConnection::GuardedConnection(int socket, ConnectionLimits limits)
    : m_socket(socket), m_limits(limits) {}

bool GuardedConnection::wait(short events, std::chrono::milliseconds timeout) const {
    pollfd entry{m_socket, events, 0};
    for (;;) {
        const int ready = ::poll(&entry, 1, static_cast<int>(timeout.count()));
        if (ready >= 0 || errno != EINTR) {
            return ready > 0;
        }
    }
}

bool GuardedConnection::receive(std::chrono::milliseconds timeout) {
    if (m_offset > 0 && m_offset == m_buffer.size()) {
        m_buffer.clear();
        m_offset = 0;
    }
    if (!wait(POLLIN, timeout)) {
        return false;
    }
    char chunk[16384];
    const ssize_t received = ::recv(m_socket, chunk, sizeof chunk, 0);
    if (received <= 0) {
        return false;
    }
    m_buffer.append(chunk, static_cast<std::size_t>(received));
    return true;
}

GuardedConnection::Head GuardedConnection::awaitHead(std::chrono::milliseconds idle,
                                                     const std::function<bool()>& stopping) {
    // Drop what earlier requests consumed.
    m_buffer.erase(0, m_offset);
    m_offset = 0;

    const auto idleEnd = std::chrono::steady_clock::now() + idle;
    while (m_buffer.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            idleEnd - std::chrono::steady_clock::now());
        if (left.count() <= 0 || stopping()) {
            return Head::Gone;
        }
        if (wait(POLLIN, std::min(left, kStopCheckInterval)) && !receive(left)) {
            return Head::Gone;
        }
    }

    const auto headEnd = std::chrono::steady_clock::now() + m_limits.headTimeout;
    for (;;) {
        const auto lineEnd = m_buffer.find('\n');
        if (lineEnd == std::string::npos ? m_buffer.size() > m_limits.maxRequestLine
                                         : lineEnd + 1 > m_limits.maxRequestLine) {
            return Head::LineTooLong;
        }
        const auto blank = m_buffer.find("\r\n\r\n");
        const auto end = blank == std::string::npos ? std::string::npos : blank + 4;
        if (end != std::string::npos && end <= m_limits.maxHead) {
            return Head::Ready;
        }
        if (end != std::string::npos || m_buffer.size() > m_limits.maxHead) {
            return Head::HeadTooLarge;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            headEnd - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !receive(std::min(left, m_limits.ioTimeout))) {
            return Head::Gone;
        }
    }
}

bool GuardedConnection::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = write(bytes.data(), bytes.size());
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void GuardedConnection::drainBeforeClose() {
    ::shutdown(m_socket, SHUT_WR);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds{1};
    std::size_t dropped = 0;
    char chunk[16384];
    while (dropped < (1u << 20)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !wait(POLLIN, left)) {
            return;
        }
        const ssize_t received = ::recv(m_socket, chunk, sizeof chunk, 0);
        if (received <= 0) {
            return;
        }
        dropped += static_cast<std::size_t>(received);
    }
}

bool GuardedConnection::is_readable() const {
    return m_offset < m_buffer.size() || wait(POLLIN, m_limits.ioTimeout);
}

bool GuardedConnection::is_writable() const {
    return wait(POLLOUT, m_limits.ioTimeout);
}

ssize_t GuardedConnection::read(char* ptr, size_t size) {
    if (m_offset == m_buffer.size() && !receive(m_limits.ioTimeout)) {
        return -1;
    }
    const std::size_t count = std::min(size, m_buffer.size() - m_offset);
    std::copy_n(m_buffer.data() + m_offset, count, ptr);
    m_offset += count;
    return static_cast<ssize_t>(count);
}

ssize_t GuardedConnection::write(const char* ptr, size_t size) {
    if (!wait(POLLOUT, m_limits.ioTimeout)) {
        return -1;
    }
    return ::send(m_socket, ptr, size, MSG_NOSIGNAL);
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
