#include "CurlInternet.h"

#include <curl/curl.h>

namespace horalux {

CurlInternet::CurlInternet(ServiceAddress service)
    : m_probe(std::move(service)), m_curlReady(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}

CurlInternet::~CurlInternet() {
    if (m_curlReady) {
        curl_global_cleanup();
    }
}

InternetHandle CurlInternet::nextHandle() {
    ++m_lastHandle;
    if (m_lastHandle == kNoHandle) {
        ++m_lastHandle;
    }
    return m_lastHandle;
}

InternetHandle CurlInternet::open(const std::string& userAgent, int accessType) {
    if (!m_curlReady) {
        return kNoHandle;
    }
    if (accessType != static_cast<int>(AccessType::Preconfig) &&
        accessType != static_cast<int>(AccessType::Direct)) {
        return kNoHandle;
    }
    const InternetHandle handle = nextHandle();
    m_sessions.emplace(handle, Session{userAgent, static_cast<AccessType>(accessType)});
    return handle;
}

bool CurlInternet::closeHandle(InternetHandle handle) {
    return m_sessions.erase(handle) == 1;
}

bool CurlInternet::connectedState() {
    return m_probe.reachable();
}

}  // namespace horalux
