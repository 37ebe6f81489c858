#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Internet.h"
#include "platform/RouteProbe.h"

namespace horalux {

// The internet API over libcurl, used from the interface thread only. Handles are numbered
// from 1 and never reused while the object lives, so a stale handle cannot reach a newer
// object. A request's transfer runs on libcurl's multi interface, driven only from inside
// sendRequest and readFile, so nothing happens on the network between calls. At most
// kMaxBufferedBody bytes of a body wait in memory: beyond that the transfer pauses until
// the caller reads.
class CurlInternet final : public Internet {
public:
    // `probeHost`:`probePort` is the address connectedState() asks a route to.
    CurlInternet(std::string probeHost, std::uint16_t probePort);
    ~CurlInternet() override;
    CurlInternet(const CurlInternet&) = delete;
    CurlInternet& operator=(const CurlInternet&) = delete;

    // Longest a wait runs before the wait handler is called, in milliseconds.
    static constexpr int kWaitSliceMs = 25;
    // Largest reply head (status line and headers, interim replies included), in bytes;
    // a larger one fails the send.
    static constexpr std::size_t kMaxHeadBytes = 256 * 1024;
    // Body bytes held before the transfer pauses.
    static constexpr std::size_t kMaxBufferedBody = 64 * 1024;

    InternetHandle open(const std::string& userAgent, int accessType) override;
    InternetHandle connect(InternetHandle session, const std::string& server,
                           std::uint16_t port) override;
    InternetHandle openRequest(InternetHandle connection, const std::string& verb,
                               const std::string& object, const std::string& version,
                               std::uint32_t flags) override;
    bool addRequestHeaders(InternetHandle request, const std::string& headers,
                           std::uint32_t modifiers) override;
    bool setOption(InternetHandle request, int option, std::uint32_t value) override;
    bool sendRequest(InternetHandle request) override;
    bool queryInfo(InternetHandle request, int level, std::string& value) override;
    bool readFile(InternetHandle request, char* buffer, std::size_t size,
                  std::size_t& bytesRead) override;
    bool closeHandle(InternetHandle handle) override;
    bool connectedState() override;
    void setWaitHandler(std::function<void()> handler) override;

private:
    struct Session {
        std::string userAgent;
        AccessType access = AccessType::Preconfig;
    };
    struct Connection {
        InternetHandle session = kNoHandle;
        std::string server;
        std::uint16_t port = kDefaultHttpPort;
    };
    struct Request;

    InternetHandle nextHandle();
    // The request of a handle, or null.
    Request* findRequest(InternetHandle handle);
    // Runs the request's transfer until `done` holds for it or the transfer ends. False
    // when the handle was closed meanwhile.
    template <typename Done>
    bool drive(InternetHandle handle, Done done);
    void runWaitHandler();

    // Open sessions, connections and requests by handle.
    std::map<InternetHandle, Session> m_sessions;
    std::map<InternetHandle, Connection> m_connections;
    std::map<InternetHandle, std::unique_ptr<Request>> m_requests;
    // Last handle handed out.
    InternetHandle m_lastHandle = kNoHandle;
    // Tells whether the service's address can be reached.
    RouteProbe m_probe;
    // Runs while a call waits on the network.
    std::function<void()> m_waitHandler;
    // The wait handler is running; a wait inside it does not call it again.
    bool m_inWaitHandler = false;
    // Whether curl_global_init succeeded for this object.
    bool m_curlReady = false;
};

}  // namespace horalux
