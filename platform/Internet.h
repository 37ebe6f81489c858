#pragma once

#include <cstdint>
#include <string>

namespace horalux {

// An opaque handle of the internet API; 0 means none.
using InternetHandle = std::uint32_t;
inline constexpr InternetHandle kNoHandle = 0;

// How a session reaches the network.
enum class AccessType : std::int16_t {
    Preconfig = 0,  // the system's configured proxy settings
    Direct = 1,     // no proxy
};

// The HTTP client as the program uses it: sessions, connections and requests named by
// handles. A closed or unknown handle makes every operation fail; none of them throws.
class Internet {
public:
    virtual ~Internet() = default;

    // Opens a session that identifies itself with `userAgent`; 0 on failure.
    virtual InternetHandle open(const std::string& userAgent, int accessType) = 0;
    // Closes any handle; false when it is unknown or already closed.
    virtual bool closeHandle(InternetHandle handle) = 0;
    // Whether the machine can reach the time service now. Answers at once, without
    // sending anything and without a session.
    virtual bool connectedState() = 0;
};

}  // namespace horalux
