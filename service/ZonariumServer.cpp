#include "ZonariumServer.h"

#include "GuardedConnection.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>

namespace zonarium {

// httplib's server with a wide listen backlog, serving each connection through a
// GuardedConnection so that request heads are bounded before the library reads them.
class ZonariumServer::Front : public httplib::Server {
public:
    explicit Front(ZonariumServer& owner) : m_owner(owner) {}

    // Re-issues listen() on the bound socket with the system's largest backlog.
    void widenBacklog() {
        const auto socket = svr_sock_.load();
        if (socket != INVALID_SOCKET) {
            ::listen(socket, SOMAXCONN);
        }
    }

private:
    bool process_and_close_socket(socket_t socket) override;

    // The server whose settings and log apply.
    ZonariumServer& m_owner;
};

struct ZonariumServer::CacheSlot {
    // Guards `parts` and `minute`; held while a stale entry is re-rendered.
    std::mutex mutex;
    // Last rendered parts; null before the first request.
    std::shared_ptr<const PageParts> parts;
    // The minute `parts` was rendered for.
    Instant minute;
};

namespace {

// Set on a worker thread when the response just written ends its connection.
thread_local bool t_closeAfterResponse = false;

// Route pattern (a regular expression) of the page path /cgi-bin/wt.cgi.
constexpr const char* kPagePath = R"(/cgi-bin/wt\.cgi)";

// Reason phrase of the statuses the service sends.
const char* reasonPhrase(int status) {
    switch (status) {
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 414:
            return "URI Too Long";
        case 431:
            return "Request Header Fields Too Large";
        default:
            return "Error";
    }
}

// A short page naming the status and the reason.
std::string errorPageBody(int status, std::string_view reason) {
    std::string body = "<HTML><HEAD><TITLE>Zonarium</TITLE></HEAD><BODY>\n<H3>";
    body += std::to_string(status);
    body += ' ';
    body += reasonPhrase(status);
    body += "</H3>\n<P>";
    body += reason;
    body += "</P>\n</BODY></HTML>\n";
    return body;
}

// Makes `response` a short error page.
void setErrorPage(httplib::Response& response, int status, std::string_view reason) {
    response.status = status;
    response.body = errorPageBody(status, reason);
    response.set_header("Content-Type", kPageContentType);
}

// Country code parsed from the `land` value: -1 when it is not a decimal number, 0 when it
// is one outside 1..kLastLand.
int parseLand(std::string_view text) {
    if (text.empty()) {
        return -1;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
    }
    int land = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), land);
    if (ec != std::errc() || land < kFirstLand || land > kLastLand) {
        return 0;
    }
    return land;
}

// `text` with bytes outside printable ASCII, quotes and backslashes written as \xHH,
// cut to `limit` bytes with "..." appended.
std::string logSafe(std::string_view text, std::size_t limit) {
    std::string out;
    for (const unsigned char c : text.substr(0, limit)) {
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    if (text.size() > limit) {
        out += "...";
    }
    return out;
}

// True for the methods whose request line the library accepts.
bool isKnownMethod(std::string_view method) {
    for (const char* known :
         {"GET", "HEAD", "POST", "PUT", "DELETE", "CONNECT", "OPTIONS", "TRACE", "PATCH", "PRI"}) {
        if (method == known) {
            return true;
        }
    }
    return false;
}

std::size_t headerBlockSize(const httplib::Headers& headers) {
    std::size_t size = 0;
    for (const auto& [name, value] : headers) {
        size += name.size() + value.size() + 4;  // ": " and CR LF
    }
    return size;
}

}  // namespace

Instant systemNow() {
    return date::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

void logToStdout(std::string_view line) {
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

ZonariumServer::ZonariumServer(const CityTable& table, ServerOptions options, Clock clock,
                               LogSink log)
    : m_table(table),
      m_options(options),
      m_clock(std::move(clock)),
      m_log(std::move(log)),
      m_front(std::make_unique<Front>(*this)) {
    for (auto& slot : m_cache) {
        slot = std::make_unique<CacheSlot>();
    }
    const auto threads = static_cast<std::size_t>(std::max(1, m_options.threads));
    m_front->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    m_front->set_payload_max_length(64 * 1024);

    m_front->set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            if (request.method != "GET" && request.method != "HEAD") {
                setErrorPage(response, 405, "Only GET and HEAD are served.");
                response.set_header("Allow", "GET, HEAD");
                response.set_header("Connection", "close");
                return httplib::Server::HandlerResponse::Handled;
            }
            if (request.target.size() > m_options.maxTargetBytes) {
                setErrorPage(response, 414, "The request target is too long.");
                response.set_header("Connection", "close");
                return httplib::Server::HandlerResponse::Handled;
            }
            if (headerBlockSize(request.headers) > m_options.maxHeaderBytes) {
                setErrorPage(response, 431, "The request header block is too large.");
                response.set_header("Connection", "close");
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
    m_front->Get(kPagePath, [this](const httplib::Request& request, httplib::Response& response) {
        handlePage(request, response);
    });
    m_front->set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request& request, httplib::Response& response) {
            if (!response.body.empty()) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            // The library answers 400 by itself when a header line exceeds its limit: the
            // request line was valid but the request never reached routing, which is where
            // the peer address is filled in.
            if (request.remote_addr.empty()) {
                // Refused before routing: the stream may be out of step, so it is closed.
                response.set_header("Connection", "close");
                if (response.status == 400 && isKnownMethod(request.method) &&
                    !request.target.empty() &&
                    (request.version == "HTTP/1.1" || request.version == "HTTP/1.0")) {
                    setErrorPage(response, 431, "A request header line is too long.");
                    return httplib::Server::HandlerResponse::Handled;
                }
            }
            setErrorPage(response, response.status,
                         response.status == 404 ? "No such page." : "The request was refused.");
            return httplib::Server::HandlerResponse::Handled;
        }));
    m_front->set_logger([this](const httplib::Request& request, const httplib::Response& response) {
        t_closeAfterResponse = response.get_header_value("Connection") == "close";
        std::string requestLine = request.method;
        requestLine += ' ';
        requestLine += request.target;
        requestLine += ' ';
        requestLine += request.version;
        logRequest(request.remote_addr, requestLine, response.status,
                   response.body.empty() ? response.content_length_ : response.body.size());
    });
}

ZonariumServer::~ZonariumServer() {
    stop();
}

bool ZonariumServer::bind(const std::string& host, int port) {
    if (port == 0) {
        const int bound = m_front->bind_to_any_port(host);
        if (bound <= 0) {
            return false;
        }
        m_port = bound;
    } else {
        if (!m_front->bind_to_port(host, port)) {
            return false;
        }
        m_port = port;
    }
    m_front->widenBacklog();
    return true;
}

bool ZonariumServer::run() {
    return m_port != 0 && m_front->listen_after_bind();
}

void ZonariumServer::stop() {
    m_front->stop();
}

bool ZonariumServer::Front::process_and_close_socket(socket_t socket) {
    const int one = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const ServerOptions& options = m_owner.m_options;
    ConnectionLimits limits;
    limits.maxRequestLine = options.maxRequestLineBytes;
    limits.maxHead = options.maxHeadBytes;
    limits.ioTimeout = options.ioTimeout;
    limits.headTimeout = options.headTimeout;
    GuardedConnection connection(socket, limits);
    const auto stopping = [this] { return svr_sock_.load() == INVALID_SOCKET; };

    for (std::size_t served = 0; served < options.keepAliveMaxRequests; ++served) {
        const auto idle = served == 0 ? std::chrono::milliseconds(options.ioTimeout)
                                      : std::chrono::milliseconds(options.keepAliveTimeout);
        const auto head = connection.awaitHead(idle, stopping);
        if (head == GuardedConnection::Head::Gone) {
            break;
        }
        if (head != GuardedConnection::Head::Ready) {
            m_owner.refuse(connection, head == GuardedConnection::Head::LineTooLong ? 414 : 431);
            connection.drainBeforeClose();
            break;
        }
        const bool last = served + 1 == options.keepAliveMaxRequests || stopping();
        bool clientCloses = false;
        t_closeAfterResponse = false;
        if (!process_request(connection, last, clientCloses, nullptr) || clientCloses) {
            break;
        }
        if (t_closeAfterResponse) {
            connection.drainBeforeClose();
            break;
        }
    }
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
    return true;
}

void ZonariumServer::refuse(GuardedConnection& connection, int status) {
    const std::string body = errorPageBody(
        status, status == 414 ? "The request line is too long." : "The request head is too large.");
    std::string response = "HTTP/1.1 ";
    response += std::to_string(status);
    response += ' ';
    response += reasonPhrase(status);
    response += "\r\nConnection: close\r\nContent-Type: ";
    response += kPageContentType;
    response += "\r\nContent-Length: ";
    response += std::to_string(body.size());
    response += "\r\n\r\n";
    response += body;
    connection.writeAll(response);

    std::string peer;
    int port = 0;
    connection.get_remote_ip_and_port(peer, port);
    const std::string_view pending = connection.pending();
    logRequest(peer, pending.substr(0, pending.find_first_of("\r\n")), status, body.size());
}

void ZonariumServer::logRequest(std::string_view peer, std::string_view requestLine, int status,
                                std::size_t bodyBytes) {
    if (!m_log) {
        return;
    }
    std::string line = logSafe(peer, 64);
    line += " [";
    line += date::format("%FT%TZ", m_clock());
    line += "] \"";
    line += logSafe(requestLine, 600);
    line += "\" ";
    line += std::to_string(status);
    line += ' ';
    line += std::to_string(bodyBytes);
    m_log(line);
}

std::shared_ptr<const PageParts> ZonariumServer::partsFor(int land, Instant now) {
    const Instant minute = date::floor<std::chrono::minutes>(now);
    CacheSlot& slot = *m_cache[static_cast<std::size_t>(land)];
    const std::lock_guard lock(slot.mutex);
    if (!slot.parts || slot.minute != minute) {
        slot.parts = std::make_shared<const PageParts>(renderPageParts(land, minute, m_table));
        slot.minute = minute;
    }
    return slot.parts;
}

void ZonariumServer::handlePage(const httplib::Request& request, httplib::Response& response) {
    if (request.get_param_value_count("land") != 1) {
        setErrorPage(response, 400, "Exactly one land parameter is required.");
        return;
    }
    const int land = parseLand(request.get_param_value("land"));
    if (land < 0) {
        setErrorPage(response, 400, "The land parameter must be a country number.");
        return;
    }
    if (land == 0 || m_table.places(land).empty()) {
        setErrorPage(response, 404, "No places are known for this country number.");
        return;
    }
    std::string identifier = request.get_param_value("ID");
    if (!isWellFormedIdentifier(identifier)) {
        identifier = newIdentifier();
    }
    // The cached parts are sent from where they are; only head and identifier are joined.
    auto parts = partsFor(land, m_clock());
    std::string prefix = parts->head + identifier;
    const std::size_t length = prefix.size() + parts->tail.size();
    response.status = 200;
    response.set_header("Cache-Control", "no-store");
    response.set_content_provider(
        length, kPageContentType,
        [parts = std::move(parts), prefix = std::move(prefix)](std::size_t offset, std::size_t,
                                                               httplib::DataSink& sink) {
            if (offset < prefix.size()) {
                return sink.write(prefix.data() + offset, prefix.size() - offset);
            }
            const std::size_t at = offset - prefix.size();
            return sink.write(parts->tail.data() + at, parts->tail.size() - at);
        });
}

}  // namespace zonarium
