#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace horalux::test {

// A one-thread HTTP peer on a free loopback port that answers each connection with a
// script: it reads the request head (up to its blank line), records it, and hands the
// socket to the script, which writes whatever bytes the test wants and may wait for the
// test's go-ahead. Connections are taken one at a time; the socket is closed after the
// script returns.
class LoopbackServer {
public:
    using Script = std::function<void(int socket, LoopbackServer& server)>;

    explicit LoopbackServer(Script script) : m_script(std::move(script)) {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(m_listener, 8);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }

    ~LoopbackServer() {
        release();
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }

    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const { return m_port; }

    // Request heads received so far, in order.
    std::vector<std::string> heads() {
        const std::lock_guard lock(m_mutex);
        return m_heads;
    }

    // Lets a script waiting in awaitRelease() go on.
    void release() {
        {
            const std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_changed.notify_all();
    }

    // For scripts: waits until the test calls release().
    void awaitRelease() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_released; });
    }

    // For scripts: writes all of `bytes`; false once the peer has gone.
    static bool send(int socket, std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent <= 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        }
        return true;
    }

private:
    void serve() {
        for (;;) {
            const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (socket < 0) {
                return;
            }
            std::string head;
            char byte = 0;
            while (head.size() < 65536 && head.find("\r\n\r\n") == std::string::npos &&
                   ::recv(socket, &byte, 1, 0) == 1) {
                head += byte;
            }
            {
                const std::lock_guard lock(m_mutex);
                m_heads.push_back(head);
            }
            m_script(socket, *this);
            ::close(socket);
        }
    }

    Script m_script;
    int m_listener = -1;
    std::uint16_t m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_heads;
    bool m_released = false;
    std::thread m_thread;
};

}  // namespace horalux::test
