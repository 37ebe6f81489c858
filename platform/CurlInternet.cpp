#include "platform/CurlInternet.h"

#include <curl/curl.h>

#include <algorithm>
#include <string_view>

#include "platform/AsciiCase.h"
#include "platform/CurlTransfer.h"

namespace horalux {
namespace {

std::string_view headerName(std::string_view line) {
    return line.substr(0, line.find(':'));
}

// A header line may not carry a line break of its own, nor a name that is empty or holds
// white space.
bool isHeaderLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    return colon != std::string_view::npos && colon > 0 &&
           line.find_first_of("\r\n") == std::string_view::npos &&
           line.substr(0, colon).find_first_of(" \t") == std::string_view::npos;
}

}  // namespace

// One request: what it asks for, and its transfer from the send on.
struct CurlInternet::Request {
    // The connection the request was opened on.
    InternetHandle connection = kNoHandle;
    CurlRequest settings;
    bool sent = false;
    CurlTransfer transfer;
};

CurlInternet::CurlInternet(std::string probeHost, std::uint16_t probePort)
    : m_probe(std::move(probeHost), probePort),
      m_curlReady(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}

CurlInternet::~CurlInternet() {
    m_requests.clear();
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

CurlInternet::Request* CurlInternet::findRequest(InternetHandle handle) {
    const auto it = m_requests.find(handle);
    return it == m_requests.end() ? nullptr : it->second.get();
}

InternetHandle CurlInternet::open(const std::string& userAgent, int accessType) {
    if (!m_curlReady) {
        return kNoHandle;
    }
    if (accessType != static_cast<int>(AccessType::Preconfig) &&
        accessType != static_cast<int>(AccessType::Direct)) {
        return kNoHandle;
    }
    // The agent goes into a header line of every request.
    if (userAgent.find_first_of("\r\n") != std::string::npos) {
        return kNoHandle;
    }
    const InternetHandle handle = nextHandle();
    m_sessions.emplace(handle, Session{userAgent, static_cast<AccessType>(accessType)});
    return handle;
}

InternetHandle CurlInternet::connect(InternetHandle session, const std::string& server,
                                     std::uint16_t port) {
    if (m_sessions.count(session) == 0 || server.empty() || port == 0 ||
        server.find_first_of(" \t\r\n/?#@[]") != std::string::npos) {
        return kNoHandle;
    }
    const InternetHandle handle = nextHandle();
    m_connections.emplace(handle, Connection{session, server, port});
    return handle;
}

InternetHandle CurlInternet::openRequest(InternetHandle connection, const std::string& verb,
                                         const std::string& object, const std::string& version,
                                         std::uint32_t flags) {
    const bool tokenVerb = !verb.empty() && std::all_of(verb.begin(), verb.end(), [](char c) {
        return std::isupper(static_cast<unsigned char>(c)) != 0;
    });
    // The request line must stay one line of three parts, and the path go out whole.
    const bool safeObject = !object.empty() && object.front() == '/' &&
                            std::none_of(object.begin(), object.end(), [](char c) {
                                const auto u = static_cast<unsigned char>(c);
                                return u <= 0x20 || u == 0x7F || c == '#';
                            });
    if (m_connections.count(connection) == 0 || !tokenVerb || !safeObject ||
        (version != "HTTP/1.1" && version != "HTTP/1.0")) {
        return kNoHandle;
    }
    auto request = std::make_unique<Request>();
    request->connection = connection;
    CurlRequest& settings = request->settings;
    settings.verb = verb;
    settings.object = object;
    settings.version = version;
    if ((flags & RequestFlag::kReload) != 0) {
        settings.headers.emplace_back("Cache-Control: no-cache");
        settings.headers.emplace_back("Pragma: no-cache");
    }
    if ((flags & RequestFlag::kKeepConnection) != 0) {
        settings.headers.emplace_back("Connection: Keep-Alive");
    }
    const InternetHandle handle = nextHandle();
    m_requests.emplace(handle, std::move(request));
    return handle;
}

bool CurlInternet::addRequestHeaders(InternetHandle request, const std::string& headers,
                                     std::uint32_t modifiers) {
    Request* r = findRequest(request);
    if (r == nullptr || r->sent) {
        return false;
    }
    std::vector<std::string> lines;
    std::string_view rest = headers;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        const std::string_view line = rest.substr(0, end);
        if (!line.empty()) {
            if (!isHeaderLine(line)) {
                return false;
            }
            lines.emplace_back(line);
        }
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
    }
    for (const std::string& line : lines) {
        if ((modifiers & HeaderModifier::kReplace) != 0) {
            std::erase_if(r->settings.headers, [&](const std::string& present) {
                return equalsIgnoringCase(headerName(present), headerName(line));
            });
        }
        r->settings.headers.push_back(line);
    }
    return !lines.empty();
}

bool CurlInternet::setOption(InternetHandle request, int option, std::uint32_t value) {
    Request* r = findRequest(request);
    if (r == nullptr || r->sent) {
        return false;
    }
    switch (option) {
        case InternetOption::kConnectTimeout:
            r->settings.connectTimeoutMs = value;
            return true;
        case InternetOption::kSendTimeout:
            r->settings.sendTimeoutMs = value;
            return true;
        case InternetOption::kReceiveTimeout:
            r->settings.receiveTimeoutMs = value;
            return true;
        default:
            return false;
    }
}

bool CurlInternet::sendRequest(InternetHandle request) {
    Request* r = findRequest(request);
    if (r == nullptr || r->sent) {
        return false;
    }
    const auto connection = m_connections.find(r->connection);
    const auto session = connection == m_connections.end()
                             ? m_sessions.end()
                             : m_sessions.find(connection->second.session);
    if (session == m_sessions.end()) {
        return false;
    }
    r->sent = true;
    const Connection& c = connection->second;
    const bool ipv6 = c.server.find(':') != std::string::npos;
    const std::string url = "http://" + (ipv6 ? "[" + c.server + "]" : c.server) + ":" +
                            std::to_string(c.port) + r->settings.object;
    if (!r->transfer.start(url, r->settings, session->second.userAgent,
                           session->second.access == AccessType::Direct)) {
        return false;
    }
    if (!drive(request, [](const CurlTransfer& t) { return t.headComplete(); })) {
        return false;
    }
    return findRequest(request)->transfer.headComplete();
}

template <typename Done>
bool CurlInternet::drive(InternetHandle handle, Done done) {
    for (;;) {
        Request* r = findRequest(handle);
        if (r == nullptr) {
            return false;
        }
        r->transfer.step();
        if (done(r->transfer) || r->transfer.finished()) {
            return true;
        }
        r->transfer.wait(kWaitSliceMs);
        runWaitHandler();
    }
}

void CurlInternet::runWaitHandler() {
    if (!m_waitHandler || m_inWaitHandler) {
        return;
    }
    m_inWaitHandler = true;
    m_waitHandler();
    m_inWaitHandler = false;
}

bool CurlInternet::queryInfo(InternetHandle request, int level, std::string& value) {
    value.clear();
    const Request* r = findRequest(request);
    if (r == nullptr || !r->transfer.headComplete() || level != QueryInfoLevel::kRawHeaders) {
        return false;
    }
    value = r->transfer.rawHeaders();
    return true;
}

bool CurlInternet::readFile(InternetHandle request, char* buffer, std::size_t size,
                            std::size_t& bytesRead) {
    bytesRead = 0;
    Request* r = findRequest(request);
    if (r == nullptr || !r->transfer.headComplete() || buffer == nullptr) {
        return false;
    }
    if (!drive(request, [](const CurlTransfer& t) { return t.buffered() > 0; })) {
        return false;
    }
    CurlTransfer& transfer = findRequest(request)->transfer;
    bytesRead = transfer.read(buffer, size);
    if (bytesRead == 0) {
        // The transfer is over and nothing is left, or the caller asked for nothing: bytes
        // still buffered stay for the next read.
        transfer.releaseDrainedBuffer();
        return transfer.succeeded();
    }
    return true;
}

bool CurlInternet::closeHandle(InternetHandle handle) {
    if (m_requests.erase(handle) == 1) {
        return true;
    }
    const auto closeRequestsOf = [this](InternetHandle connection) {
        std::erase_if(m_requests,
                      [&](const auto& entry) { return entry.second->connection == connection; });
    };
    if (m_connections.erase(handle) == 1) {
        closeRequestsOf(handle);
        return true;
    }
    if (m_sessions.erase(handle) == 1) {
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            if (it->second.session == handle) {
                closeRequestsOf(it->first);
                it = m_connections.erase(it);
            } else {
                ++it;
            }
        }
        return true;
    }
    return false;
}

bool CurlInternet::connectedState() {
    return m_probe.reachable();
}

void CurlInternet::setWaitHandler(std::function<void()> handler) {
    m_waitHandler = std::move(handler);
}

}  // namespace horalux
