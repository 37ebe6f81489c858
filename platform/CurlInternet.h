#pragma once

#include <map>

#include "Internet.h"
#include "RouteProbe.h"
#include "ServiceAddress.h"

namespace horalux {

// The internet API over libcurl, used from the interface thread only. Handles are numbered
// from 1 and never reused while the object lives, so a stale handle cannot reach a newer
// object.
class CurlInternet final : public Internet {
public:
    explicit CurlInternet(ServiceAddress service);
    ~CurlInternet() override;
    CurlInternet(const CurlInternet&) = delete;
    CurlInternet& operator=(const CurlInternet&) = delete;

    InternetHandle open(const std::string& userAgent, int accessType) override;
    bool closeHandle(InternetHandle handle) override;
    bool connectedState() override;

private:
    struct Session {
        std::string userAgent;
        AccessType access = AccessType::Preconfig;
    };

    InternetHandle nextHandle();

    // Open sessions by handle.
    std::map<InternetHandle, Session> m_sessions;
    // Last handle handed out.
    InternetHandle m_lastHandle = kNoHandle;
    // Tells whether the service's address can be reached.
    RouteProbe m_probe;
    // Whether curl_global_init succeeded for this object.
    bool m_curlReady = false;
};

}  // namespace horalux
