#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace horalux {

// Answers whether the machine has a route to the time service, without sending anything:
// it asks the kernel to connect a UDP socket to the service's address. A host name is
// resolved once, on a thread of its own; until it is resolved the answer is "no".
class RouteProbe {
public:
    RouteProbe(std::string host, std::uint16_t port);
    ~RouteProbe();
    RouteProbe(const RouteProbe&) = delete;
    RouteProbe& operator=(const RouteProbe&) = delete;

    // True when the kernel has a route to the service's address. Never blocks on the
    // network.
    bool reachable();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

}  // namespace horalux
