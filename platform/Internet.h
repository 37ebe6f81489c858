#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Flags of Internet::openRequest.
namespace RequestFlag {
// Never answer from a cached copy: the request asks every cache on the way for a fresh one.
inline constexpr std::uint32_t kReload = 0x80000000U;
// Ask the server to keep the connection open.
inline constexpr std::uint32_t kKeepConnection = 0x00400000U;
}  // namespace RequestFlag

// Modifiers of Internet::addRequestHeaders.
namespace HeaderModifier {
inline constexpr std::uint32_t kAdd = 0x20000000U;
// With kAdd: a header of the same name is replaced rather than kept beside the new one.
inline constexpr std::uint32_t kReplace = 0x80000000U;
}  // namespace HeaderModifier

// Options of Internet::setOption; every value is in milliseconds. A whole transfer may last
// the three together at most.
namespace InternetOption {
// Longest wait for the connection to the server.
inline constexpr int kConnectTimeout = 2;
// Longest the request's sending may stall.
inline constexpr int kSendTimeout = 5;
// Longest the reply's receiving may stall.
inline constexpr int kReceiveTimeout = 6;
}  // namespace InternetOption

// Info levels of Internet::queryInfo.
namespace QueryInfoLevel {
// The reply's status line and header lines, each ended by a zero byte, the block ended by
// one more.
inline constexpr int kRawHeaders = 21;
}  // namespace QueryInfoLevel

// The plain HTTP port.
inline constexpr std::uint16_t kDefaultHttpPort = 80;

// The HTTP client as the program uses it: sessions, connections and requests named by
// handles. A closed or unknown handle, or one of the wrong kind, makes every operation fail;
// none of them throws. Used from one thread.
//
// The calls that wait on the network (sendRequest, readFile) run the wait handler at least
// every 30 ms while they wait. The handler may close any handle, also the one being waited
// on: the waiting call then fails without touching it again.
class Internet {
public:
    virtual ~Internet() = default;

    // Opens a session that identifies itself with `userAgent`; 0 on failure.
    virtual InternetHandle open(const std::string& userAgent, int accessType) = 0;
    // A connection of `session` to `server`:`port` (a name or a numeric address). Nothing
    // is sent yet; 0 on failure.
    virtual InternetHandle connect(InternetHandle session, const std::string& server,
                                   std::uint16_t port) = 0;
    // A request on `connection`: verb, path and query as they go into the request line,
    // version ("HTTP/1.1" or "HTTP/1.0") and RequestFlag bits; 0 on failure.
    virtual InternetHandle openRequest(InternetHandle connection, const std::string& verb,
                                       const std::string& object, const std::string& version,
                                       std::uint32_t flags) = 0;
    // Adds header lines ("Name: value", each ended by CR LF) to a request not yet sent.
    virtual bool addRequestHeaders(InternetHandle request, const std::string& headers,
                                   std::uint32_t modifiers) = 0;
    // Sets an InternetOption of a request not yet sent.
    virtual bool setOption(InternetHandle request, int option, std::uint32_t value) = 0;
    // Sends the request and waits for the reply's status line and headers. False when no
    // reply head arrived: no server, no connection, a time-out, a closed handle.
    virtual bool sendRequest(InternetHandle request) = 0;
    // The reply's headers at `level` (QueryInfoLevel) into `value`; false, with `value`
    // emptied, before a reply head has arrived or for an unknown level.
    virtual bool queryInfo(InternetHandle request, int level, std::string& value) = 0;
    // Up to `size` bytes of the reply's body into `buffer`, waiting until some arrive.
    // `bytesRead` is 0 at the body's end (a true result) and on every failure.
    virtual bool readFile(InternetHandle request, char* buffer, std::size_t size,
                          std::size_t& bytesRead) = 0;
    // Closes any handle; false when it is unknown or already closed. Closing a session or
    // a connection also ends the connections and requests made from it.
    virtual bool closeHandle(InternetHandle handle) = 0;
    // Whether the machine can reach the time service now. Answers at once, without
    // sending anything and without a session.
    virtual bool connectedState() = 0;
    // What runs while a call waits on the network; none by default.
    virtual void setWaitHandler(std::function<void()> handler) = 0;
};

// Closes `handle` when it is set and sets it to none, so that it is never closed twice.
inline void closeAndClear(Internet& internet, InternetHandle& handle) {
    if (handle != kNoHandle) {
        internet.closeHandle(handle);
        handle = kNoHandle;
    }
}

}  // namespace horalux
