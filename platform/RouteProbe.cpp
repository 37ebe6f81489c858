#include "platform/RouteProbe.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

namespace horalux {
namespace {

// Pause between two attempts to resolve a host name that did not resolve.
constexpr std::chrono::seconds kRetryPause{5};

// Where the probe points.
struct Target {
    std::string host;
    std::uint16_t port = 0;
};

struct ResolvedAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_UNSPEC;
};

std::optional<ResolvedAddress> resolve(const Target& address, bool numericOnly) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = numericOnly ? AI_NUMERICHOST | AI_NUMERICSERV : AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const std::string port = std::to_string(address.port);
    if (getaddrinfo(address.host.c_str(), port.c_str(), &hints, &list) != 0 || list == nullptr) {
        return std::nullopt;
    }
    ResolvedAddress resolved;
    std::memcpy(&resolved.storage, list->ai_addr, list->ai_addrlen);
    resolved.length = list->ai_addrlen;
    resolved.family = list->ai_family;
    freeaddrinfo(list);
    return resolved;
}

}  // namespace

struct RouteProbe::Shared {
    std::mutex mutex;
    std::condition_variable stopped;
    std::optional<ResolvedAddress> address;
    bool stopping = false;
};

RouteProbe::RouteProbe(std::string host, std::uint16_t port)
    : m_shared(std::make_shared<Shared>()) {
    Target address{std::move(host), port};
    if (auto numeric = resolve(address, true)) {
        m_shared->address = numeric;
        return;
    }
    // A name: resolved off the caller's thread, again after a pause until it works. The
    // thread holds its own reference to the shared state, so it may outlive the probe.
    std::thread([shared = m_shared, address = std::move(address)] {
        for (;;) {
            auto resolved = resolve(address, false);
            std::unique_lock lock(shared->mutex);
            if (shared->stopping) {
                return;
            }
            if (resolved) {
                shared->address = resolved;
                return;
            }
            if (shared->stopped.wait_for(lock, kRetryPause, [&] { return shared->stopping; })) {
                return;
            }
        }
    }).detach();
}

RouteProbe::~RouteProbe() {
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->stopping = true;
    }
    m_shared->stopped.notify_all();
}

bool RouteProbe::reachable() {
    std::optional<ResolvedAddress> address;
    {
        const std::lock_guard lock(m_shared->mutex);
        address = m_shared->address;
    }
    if (!address) {
        return false;
    }
    const int fd = ::socket(address->family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool routed =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address->storage), address->length) == 0;
    ::close(fd);
    return routed;
}

}  // namespace horalux
