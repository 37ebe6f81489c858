#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

namespace zonarium::test {

// A connected loopback socket, closed on destruction.
class RawConnection {
public:
    // `receiveBuffer` (bytes), when not 0, caps the socket's receive buffer, so that a
    // server's replies back up while the client does not read.
    explicit RawConnection(int port, int receiveBuffer = 0)
        : m_socket(::socket(AF_INET, SOCK_STREAM, 0)) {
        if (receiveBuffer > 0) {
            ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // A guard against a hung server, not a synchronisation: reads give up after 20 s.
        timeval guard{20, 0};
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
        m_connected =
            ::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawConnection() { ::close(m_socket); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool connected() const { return m_connected; }

    // Sends all of `bytes`; false when the peer stopped taking them.
    bool send(std::string_view bytes) {
        while (!bytes.empty()) {
            const auto sent = ::send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

    // Everything the server sends until it closes the connection (or the guard fires).
    std::string readToEnd() {
        while (receiveMore()) {
        }
        return std::exchange(m_pending, {});
    }

    // Everything the server sends until it closes the connection, read at most `slice` bytes
    // at a time with `pause` after each read, as a slow link delivers it.
    std::string readToEndPaced(std::size_t slice, std::chrono::milliseconds pause) {
        std::string received = std::exchange(m_pending, {});
        std::string buffer(slice, '\0');
        ssize_t n;
        while ((n = ::recv(m_socket, buffer.data(), buffer.size(), 0)) > 0) {
            received.append(buffer.data(), static_cast<std::size_t>(n));
            std::this_thread::sleep_for(pause);
        }
        return received;
    }

    // True when the server closes the connection without sending anything more; false
    // when it sends bytes or the guard fires first.
    bool closesSilently() {
        char byte = 0;
        return ::recv(m_socket, &byte, 1, 0) == 0 && m_pending.empty();
    }

    // One response: status line, headers and a body of its Content-Length; what arrived
    // so far when the connection ends first.
    std::string readResponse() {
        std::size_t headerEnd;
        while ((headerEnd = m_pending.find("\r\n\r\n")) == std::string::npos) {
            if (!receiveMore()) {
                return std::exchange(m_pending, {});
            }
        }
        headerEnd += 4;
        std::size_t length = 0;
        const auto field = m_pending.find("Content-Length: ");
        if (field != std::string::npos && field < headerEnd) {
            length = std::stoul(m_pending.substr(field + 16));
        }
        while (m_pending.size() < headerEnd + length && receiveMore()) {
        }
        std::string response = m_pending.substr(0, headerEnd + length);
        m_pending.erase(0, response.size());
        return response;
    }

private:
    // Appends what the socket has to m_pending; false at the end of the stream.
    bool receiveMore() {
        char buffer[16384];
        const auto n = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        m_pending.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    // The socket descriptor.
    int m_socket;
    // Whether connect() succeeded.
    bool m_connected = false;
    // Bytes received but not yet handed out.
    std::string m_pending;
};

}  // namespace zonarium::test
