#include "CurlInternet.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace horalux {
namespace {

// Time-outs of a request whose options were not set, in milliseconds.
constexpr std::uint32_t kDefaultTimeoutMs = 60000;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

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

// One request and its transfer.
struct CurlInternet::Request {
    ~Request() {
        if (multi != nullptr && easy != nullptr) {
            curl_multi_remove_handle(multi, easy);
        }
        if (easy != nullptr) {
            curl_easy_cleanup(easy);
        }
        if (multi != nullptr) {
            curl_multi_cleanup(multi);
        }
        curl_slist_free_all(headerList);
    }

    static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
        auto& r = *static_cast<Request*>(user);
        const std::size_t length = size * count;
        if (r.headComplete) {
            return length;  // trailers of a chunked body are not part of the head
        }
        r.headBytes += length;
        if (r.headBytes > kMaxHeadBytes) {
            return 0;  // fails the transfer
        }
        std::string_view line(data, length);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        if (line.substr(0, 5) == "HTTP/") {
            // A new reply head; an interim reply's lines are dropped.
            r.rawHeaders.assign(line);
            r.rawHeaders += '\0';
            const std::size_t space = line.find(' ');
            r.interim = space != std::string_view::npos && line.size() > space + 1 &&
                        line[space + 1] == '1';
        } else if (line.empty()) {
            if (!r.interim) {
                r.rawHeaders += '\0';
                r.headComplete = true;
            }
        } else {
            r.rawHeaders.append(line);
            r.rawHeaders += '\0';
        }
        return length;
    }

    static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
        auto& r = *static_cast<Request*>(user);
        if (r.body.size() - r.bodyOffset >= kMaxBufferedBody) {
            r.paused = true;
            return CURL_WRITEFUNC_PAUSE;  // the same bytes come again after the pause
        }
        r.body.append(data, size * count);
        return size * count;
    }

    std::size_t buffered() const { return body.size() - bodyOffset; }

    // The connection the request was opened on.
    InternetHandle connection = kNoHandle;
    std::string verb;
    std::string object;
    std::string version;
    // Request headers as "Name: value", in the order they go out.
    std::vector<std::string> headers;
    // Time-outs, in milliseconds.
    std::uint32_t connectTimeoutMs = kDefaultTimeoutMs;
    std::uint32_t sendTimeoutMs = kDefaultTimeoutMs;
    std::uint32_t receiveTimeoutMs = kDefaultTimeoutMs;

    // The transfer, from the send on.
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    curl_slist* headerList = nullptr;
    bool sent = false;
    // Reply head: status and header lines each ended by a zero byte.
    std::string rawHeaders;
    // Bytes of every reply head received so far, interim replies included.
    std::size_t headBytes = 0;
    // The head being received belongs to an interim (1xx) reply.
    bool interim = false;
    // The final reply's head has arrived.
    bool headComplete = false;
    // Body bytes received and not yet read, from bodyOffset on.
    std::string body;
    std::size_t bodyOffset = 0;
    // The transfer waits for the caller to read.
    bool paused = false;
    // The transfer has ended, and how.
    bool finished = false;
    CURLcode result = CURLE_OK;
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
    request->verb = verb;
    request->object = object;
    request->version = version;
    if ((flags & RequestFlag::kReload) != 0) {
        request->headers.emplace_back("Cache-Control: no-cache");
        request->headers.emplace_back("Pragma: no-cache");
    }
    if ((flags & RequestFlag::kKeepConnection) != 0) {
        request->headers.emplace_back("Connection: Keep-Alive");
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
            std::erase_if(r->headers, [&](const std::string& present) {
                return equalsIgnoringCase(headerName(present), headerName(line));
            });
        }
        r->headers.push_back(line);
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
            r->connectTimeoutMs = value;
            return true;
        case InternetOption::kSendTimeout:
            r->sendTimeoutMs = value;
            return true;
        case InternetOption::kReceiveTimeout:
            r->receiveTimeoutMs = value;
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
    r->easy = curl_easy_init();
    r->multi = curl_multi_init();
    if (r->easy == nullptr || r->multi == nullptr) {
        return false;
    }
    const Connection& c = connection->second;
    const bool ipv6 = c.server.find(':') != std::string::npos;
    const std::string url = "http://" + (ipv6 ? "[" + c.server + "]" : c.server) + ":" +
                            std::to_string(c.port) + r->object;
    for (const std::string& header : r->headers) {
        r->headerList = curl_slist_append(r->headerList, header.c_str());
    }
    // libcurl's own Accept header is not part of the request.
    r->headerList = curl_slist_append(r->headerList, "Accept:");

    CURL* e = r->easy;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION,
                     static_cast<long>(r->version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0
                                                                : CURL_HTTP_VERSION_1_1));
    if (r->verb == "GET") {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, r->verb.c_str());
    }
    curl_easy_setopt(e, CURLOPT_USERAGENT, session->second.userAgent.c_str());
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, r->headerList);
    if (session->second.access == AccessType::Direct) {
        curl_easy_setopt(e, CURLOPT_PROXY, "");
    }
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(r->connectTimeoutMs));
    // Sending and receiving may each stall for their time-out: less than a byte a second
    // over that long ends the transfer.
    const std::uint32_t stallMs = std::max(r->sendTimeoutMs, r->receiveTimeoutMs);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME,
                     std::max(1L, static_cast<long>((stallMs + 999) / 1000)));
    // A peer that trickles just fast enough is still stopped: the whole transfer may take
    // the three time-outs together.
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(r->connectTimeoutMs) + static_cast<long>(r->sendTimeoutMs) +
                         static_cast<long>(r->receiveTimeoutMs));
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Request::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, r);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Request::onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, r);
    if (curl_multi_add_handle(r->multi, e) != CURLM_OK) {
        return false;
    }
    if (!drive(request, [](const Request& q) { return q.headComplete; })) {
        return false;
    }
    return findRequest(request)->headComplete;
}

template <typename Done>
bool CurlInternet::drive(InternetHandle handle, Done done) {
    for (;;) {
        Request* r = findRequest(handle);
        if (r == nullptr) {
            return false;
        }
        int running = 0;
        if (curl_multi_perform(r->multi, &running) != CURLM_OK) {
            r->finished = true;
            r->result = CURLE_FAILED_INIT;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(r->multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                r->finished = true;
                r->result = message->data.result;
            }
        }
        if (done(*r) || r->finished) {
            return true;
        }
        curl_multi_poll(r->multi, nullptr, 0, kWaitSliceMs, nullptr);
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
    if (r == nullptr || !r->headComplete || level != QueryInfoLevel::kRawHeaders) {
        return false;
    }
    value = r->rawHeaders;
    return true;
}

bool CurlInternet::readFile(InternetHandle request, char* buffer, std::size_t size,
                            std::size_t& bytesRead) {
    bytesRead = 0;
    Request* r = findRequest(request);
    if (r == nullptr || !r->headComplete || buffer == nullptr) {
        return false;
    }
    if (!drive(request, [](const Request& q) { return q.buffered() > 0; })) {
        return false;
    }
    r = findRequest(request);
    const std::size_t count = std::min(size, r->buffered());
    if (count == 0) {
        // The transfer is over and nothing is left, or the caller asked for nothing: bytes
        // still buffered stay for the next read.
        if (r->buffered() == 0) {
            std::string().swap(r->body);
            r->bodyOffset = 0;
        }
        return r->result == CURLE_OK;
    }
    std::memcpy(buffer, r->body.data() + r->bodyOffset, count);
    r->bodyOffset += count;
    if (r->bodyOffset == r->body.size()) {
        // Once the transfer is over, the buffer's memory goes too: the request may stay open
        // for a long while after its body has been read.
        if (r->finished) {
            std::string().swap(r->body);
        } else {
            r->body.clear();
        }
        r->bodyOffset = 0;
    } else if (r->bodyOffset >= kMaxBufferedBody / 2) {
        r->body.erase(0, r->bodyOffset);
        r->bodyOffset = 0;
    }
    if (r->paused && r->buffered() < kMaxBufferedBody) {
        r->paused = false;
        curl_easy_pause(r->easy, CURLPAUSE_CONT);
    }
    bytesRead = count;
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
