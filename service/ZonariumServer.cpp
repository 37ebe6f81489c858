#include "ZonariumServer.h"

#include "GuardedConnection.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>

#include <charconv>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <list>
#include <thread>
#include <unordered_map>
#include <vector>

namespace zonarium {

// httplib's server, used for parsing, routing and writing one request at a time on a
// stream whose head is already buffered.
class ZonariumServer::Front : public httplib::Server {
public:
    // Re-issues listen() on the bound socket with the system's largest backlog.
    void widenBacklog() {
        const auto socket = svr_sock_.load();
        if (socket != INVALID_SOCKET) {
            ::listen(socket, SOMAXCONN);
        }
    }

    // The bound listening socket, INVALID_SOCKET before bind.
    socket_t listeningSocket() const { return svr_sock_.load(); }

    // Closes the listening socket.
    void closeListeningSocket() {
        const auto socket = svr_sock_.exchange(INVALID_SOCKET);
        if (socket != INVALID_SOCKET) {
            ::close(socket);
        }
    }

    // Reads, routes and answers one request from `stream`; `last` makes it the
    // connection's last (Connection: close). `clientCloses` is set when the client asked
    // to close. False when the request could not be read or the reply not written.
    bool answer(httplib::Stream& stream, bool last, bool& clientCloses) {
        return process_request(stream, last, clientCloses, nullptr);
    }
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

// True for a request line of the form METHOD SP TARGET SP HTTP/d.d whose method is a
// token the library does not know: such a request is refused with 405, not 400.
bool isUnknownMethodLine(std::string_view line) {
    const auto firstSpace = line.find(' ');
    if (firstSpace == std::string_view::npos || firstSpace == 0) {
        return false;
    }
    const std::string_view method = line.substr(0, firstSpace);
    for (const char c : method) {
        const bool letterOrDigit =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!letterOrDigit &&
            std::string_view("!#$%&'*+-.^_`|~").find(c) == std::string_view::npos) {
            return false;
        }
    }
    const std::string_view rest = line.substr(firstSpace + 1);
    const auto secondSpace = rest.find(' ');
    if (secondSpace == std::string_view::npos || secondSpace == 0) {
        return false;
    }
    for (const char c : rest.substr(0, secondSpace)) {
        if (c < 0x21 || c > 0x7E) {
            return false;
        }
    }
    const std::string_view version = rest.substr(secondSpace + 1);
    return version.size() == 8 && version.starts_with("HTTP/") && version[5] >= '0' &&
           version[5] <= '9' && version[6] == '.' && version[7] >= '0' && version[7] <= '9' &&
           !isKnownMethod(method);
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
      m_front(std::make_unique<Front>()) {
    for (auto& slot : m_cache) {
        slot = std::make_unique<CacheSlot>();
    }
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_front->set_payload_max_length(64 * 1024);
    // The Keep-Alive header the library sends states these two.
    m_front->set_keep_alive_max_count(m_options.keepAliveMaxRequests);
    m_front->set_keep_alive_timeout(static_cast<time_t>(m_options.keepAliveTimeout.count()));

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
    m_front->closeListeningSocket();
    if (m_wake >= 0) {
        ::close(m_wake);
    }
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

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

// Longest wait of the event loop before it looks at time-outs, milliseconds.
constexpr int kTickMilliseconds = 100;
// How long a closing connection may still send before it is cut off.
constexpr std::chrono::seconds kClosingGrace{1};
// Bytes a closing connection may still send before it is cut off.
constexpr std::size_t kClosingDrainBytes = 1 << 20;
// Descriptors kept free of connections for the server's own use.
constexpr std::size_t kReservedDescriptors = 32;

}  // namespace

// The event loop of run(): accepts connections, waits on all of them with one epoll set,
// gathers request heads and sends held-back replies without blocking, and hands
// connections with a whole head to its worker threads.
class ZonariumServer::Reactor {
public:
    Reactor(ZonariumServer& owner, int listening) : m_owner(owner), m_listening(listening) {}
    ~Reactor() {
        if (m_epoll >= 0) {
            ::close(m_epoll);
        }
        if (m_spare >= 0) {
            ::close(m_spare);
        }
    }
    Reactor(const Reactor&) = delete;
    Reactor& operator=(const Reactor&) = delete;

    // Serves until the owner stops; false when the event set cannot be made.
    bool run();

private:
    // One client connection and where it stands.
    struct Client {
        // Where the connection is.
        enum class Phase {
            // Waiting for request bytes, in the event loop.
            Waiting,
            // With a worker.
            Working,
            // Waiting for the socket to take the rest of a reply, in the event loop.
            Sending,
            // Reply sent and sending side shut; reading what the client still sends.
            Closing,
            // Closed; freed at the end of the loop's round.
            Closed,
        };
        Client(int connected, const ConnectionLimits& limits, const std::atomic<bool>* stopping)
            : socket(connected), stream(connected, limits, stopping) {}
        // The connected socket; owned.
        int socket;
        // Buffered reading and writing of the socket.
        GuardedConnection stream;
        // Where the connection is.
        Phase phase = Phase::Waiting;
        // When the current wait gives up; unused while Working.
        SteadyTime deadline;
        // Whether a byte of the awaited request has arrived.
        bool headStarted = false;
        // Requests answered.
        std::size_t served = 0;
        // Set by the worker: the reply just written ends the connection.
        bool closeAfterReply = false;
        // The client has shut its sending side (or the connection failed).
        bool peerClosed = false;
        // Bytes read and dropped while Closing.
        std::size_t drained = 0;
        // Position in m_waiting while Waiting.
        std::list<Client*>::iterator waitingAt;
    };

    void acceptAll();
    // Adds a new connection; false when it was refused.
    void admit(int socket);
    void onReadable(Client& client);
    void onWritable(Client& client);
    void onClosingReadable(Client& client);
    // Gives `client` (a whole head buffered) to a worker.
    void dispatch(Client& client);
    // Takes back connections the workers are done with.
    void collectFinished();
    // After a reply is fully sent: close or wait for the next request.
    void afterReply(Client& client);
    // Puts `client` back to waiting for request bytes (or dispatches a buffered head).
    void awaitRequest(Client& client);
    void startClosing(Client& client);
    // Closes the socket now; the record is freed at the end of the round.
    void close(Client& client);
    // Re-arms the one-shot interest of `client` in `events`.
    void arm(Client& client, std::uint32_t events);
    void closeExpired(SteadyTime now);
    // The worker loop.
    void work();
    // Answers the requests buffered in `client`, on a worker thread.
    void serve(Client& client);

    // The server whose settings, library and log apply.
    ZonariumServer& m_owner;
    // The listening socket; not owned.
    int m_listening;
    // The epoll set.
    int m_epoll = -1;
    // A descriptor held free, closed to accept and drop a connection when none are left.
    int m_spare = -1;
    // Open connections at most.
    std::size_t m_maxConnections = 0;
    // Every connection record, by address; Closed ones until the round ends.
    std::unordered_map<Client*, std::unique_ptr<Client>> m_clients;
    // Open connections (not Closed).
    std::size_t m_open = 0;
    // Waiting connections, longest waiting first.
    std::list<Client*> m_waiting;
    // Closed records to free at the end of the round.
    std::vector<Client*> m_closed;
    // Markers of the listening and the wake descriptor in the epoll set.
    char m_listenTag = 0;
    char m_wakeTag = 0;

    // Guards m_jobs, m_finished and m_quit.
    std::mutex m_mutex;
    // Signalled when a job is queued or the workers are to quit.
    std::condition_variable m_jobReady;
    // Connections waiting for a worker.
    std::deque<Client*> m_jobs;
    // Connections the workers are done with.
    std::deque<Client*> m_finished;
    // Set when the workers are to end.
    bool m_quit = false;
    // The worker threads.
    std::vector<std::thread> m_workers;
};

bool ZonariumServer::Reactor::run() {
    m_epoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (m_epoll < 0) {
        return false;
    }
    ::fcntl(m_listening, F_SETFL, ::fcntl(m_listening, F_GETFL) | O_NONBLOCK);
    epoll_event listenEvent{};
    listenEvent.events = EPOLLIN;
    listenEvent.data.ptr = &m_listenTag;
    epoll_event wakeEvent{};
    wakeEvent.events = EPOLLIN;
    wakeEvent.data.ptr = &m_wakeTag;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_listening, &listenEvent) != 0 ||
        ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_owner.m_wake.load(), &wakeEvent) != 0) {
        return false;
    }
    m_spare = ::open("/dev/null", O_RDONLY | O_CLOEXEC);

    m_maxConnections = std::max<std::size_t>(1, m_owner.m_options.maxConnections);
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY) {
        const auto available = static_cast<std::size_t>(files.rlim_cur);
        m_maxConnections = std::min(m_maxConnections, available > 2 * kReservedDescriptors
                                                          ? available - kReservedDescriptors
                                                          : available / 2 + 1);
    }

    const int threads = std::max(1, m_owner.m_options.threads);
    for (int i = 0; i < threads; ++i) {
        m_workers.emplace_back([this] { work(); });
    }

    std::array<epoll_event, 256> events{};
    SteadyTime nextSweep = std::chrono::steady_clock::now();
    while (!m_owner.m_stopping.load()) {
        const int count = ::epoll_wait(m_epoll, events.data(), static_cast<int>(events.size()),
                                       kTickMilliseconds);
        for (int i = 0; i < count; ++i) {
            void* const tag = events[static_cast<std::size_t>(i)].data.ptr;
            const std::uint32_t what = events[static_cast<std::size_t>(i)].events;
            if (tag == &m_listenTag) {
                acceptAll();
            } else if (tag == &m_wakeTag) {
                std::uint64_t value = 0;
                [[maybe_unused]] const auto n = ::read(m_owner.m_wake.load(), &value, sizeof value);
            } else {
                Client& client = *static_cast<Client*>(tag);
                if (client.phase == Client::Phase::Waiting) {
                    onReadable(client);
                } else if (client.phase == Client::Phase::Sending) {
                    onWritable(client);
                } else if (client.phase == Client::Phase::Closing) {
                    onClosingReadable(client);
                }
                (void)what;
            }
        }
        collectFinished();
        const SteadyTime now = std::chrono::steady_clock::now();
        if (now >= nextSweep) {
            closeExpired(now);
            nextSweep = now + std::chrono::milliseconds{kTickMilliseconds};
        }
        for (Client* closed : m_closed) {
            m_clients.erase(closed);
        }
        m_closed.clear();
    }

    {
        const std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_jobReady.notify_all();
    for (std::thread& worker : m_workers) {
        worker.join();
    }
    // Replies finished by the workers get one last chance to go out.
    for (const auto& [address, client] : m_clients) {
        if (client->phase != Client::Phase::Closed) {
            client->stream.flush();
            ::close(client->socket);
        }
    }
    m_clients.clear();
    return true;
}
void ZonariumServer::Reactor::acceptAll() {
    for (;;) {
        const int socket = ::accept4(m_listening, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (socket >= 0) {
            admit(socket);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED) {
            continue;
        }
        if ((errno == EMFILE || errno == ENFILE) && !m_waiting.empty()) {
            close(*m_waiting.front());
            continue;
        }
        if ((errno == EMFILE || errno == ENFILE) && m_spare >= 0) {
            // No descriptor and no waiting connection to give one up: take the next
            // connection with the spare descriptor and drop it, so the queue moves.
            ::close(m_spare);
            const int dropped = ::accept4(m_listening, nullptr, nullptr, SOCK_CLOEXEC);
            if (dropped >= 0) {
                ::close(dropped);
            }
            m_spare = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            continue;
        }
        return;
    }
}

void ZonariumServer::Reactor::admit(int socket) {
    if (m_open >= m_maxConnections) {
        if (m_waiting.empty()) {
            ::close(socket);
            return;
        }
        close(*m_waiting.front());
    }
    const int one = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const ServerOptions& options = m_owner.m_options;
    ConnectionLimits limits;
    limits.maxRequestLine = options.maxRequestLineBytes;
    limits.maxHead = options.maxHeadBytes;
    limits.ioTimeout = options.ioTimeout;
    auto record = std::make_unique<Client>(socket, limits, &m_owner.m_stopping);
    Client& client = *record;
    m_clients.emplace(&client, std::move(record));
    ++m_open;
    client.deadline = std::chrono::steady_clock::now() + options.ioTimeout;
    client.waitingAt = m_waiting.insert(m_waiting.end(), &client);
    epoll_event event{};
    event.events = EPOLLIN | EPOLLONESHOT;
    event.data.ptr = &client;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, socket, &event) != 0) {
        close(client);
    }
}

void ZonariumServer::Reactor::arm(Client& client, std::uint32_t events) {
    epoll_event event{};
    event.events = events | EPOLLONESHOT;
    event.data.ptr = &client;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_MOD, client.socket, &event) != 0) {
        close(client);
    }
}

void ZonariumServer::Reactor::onReadable(Client& client) {
    const GuardedConnection::Io io = client.stream.fill();
    if (client.stream.headState() != GuardedConnection::Head::Incomplete) {
        client.peerClosed = io == GuardedConnection::Io::Closed;
        dispatch(client);
        return;
    }
    if (io == GuardedConnection::Io::Closed) {
        close(client);
        return;
    }
    if (!client.headStarted && client.stream.hasUnread()) {
        client.headStarted = true;
        client.deadline = std::chrono::steady_clock::now() + m_owner.m_options.headTimeout;
    }
    arm(client, EPOLLIN);
}

void ZonariumServer::Reactor::onWritable(Client& client) {
    switch (client.stream.flush()) {
        case GuardedConnection::Io::Done:
            afterReply(client);
            return;
        case GuardedConnection::Io::WouldBlock:
            client.deadline = std::chrono::steady_clock::now() + m_owner.m_options.ioTimeout;
            arm(client, EPOLLOUT);
            return;
        case GuardedConnection::Io::Closed:
            close(client);
            return;
    }
}

void ZonariumServer::Reactor::onClosingReadable(Client& client) {
    char chunk[16384];
    for (;;) {
        const ssize_t received = ::recv(client.socket, chunk, sizeof chunk, 0);
        if (received > 0) {
            client.drained += static_cast<std::size_t>(received);
            if (client.drained > kClosingDrainBytes) {
                close(client);
                return;
            }
        } else if (received < 0 && errno == EINTR) {
            continue;
        } else if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            arm(client, EPOLLIN);
            return;
        } else {
            close(client);
            return;
        }
    }
}

void ZonariumServer::Reactor::dispatch(Client& client) {
    if (client.phase == Client::Phase::Waiting) {
        m_waiting.erase(client.waitingAt);
    }
    client.phase = Client::Phase::Working;
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(&client);
    }
    m_jobReady.notify_one();
}

void ZonariumServer::Reactor::collectFinished() {
    std::deque<Client*> finished;
    {
        const std::lock_guard lock(m_mutex);
        finished.swap(m_finished);
    }
    for (Client* client : finished) {
        if (client->stream.unsent() == 0) {
            afterReply(*client);
            continue;
        }
        client->phase = Client::Phase::Sending;
        client->deadline = std::chrono::steady_clock::now() + m_owner.m_options.ioTimeout;
        arm(*client, EPOLLOUT);
    }
}

void ZonariumServer::Reactor::afterReply(Client& client) {
    if (client.closeAfterReply || client.peerClosed) {
        startClosing(client);
    } else {
        awaitRequest(client);
    }
}

void ZonariumServer::Reactor::awaitRequest(Client& client) {
    client.phase = Client::Phase::Waiting;
    client.waitingAt = m_waiting.insert(m_waiting.end(), &client);
    if (client.stream.headState() != GuardedConnection::Head::Incomplete) {
        dispatch(client);
        return;
    }
    const ServerOptions& options = m_owner.m_options;
    client.headStarted = client.stream.hasUnread();
    client.deadline = std::chrono::steady_clock::now() +
                      (client.headStarted ? options.headTimeout : options.keepAliveTimeout);
    arm(client, EPOLLIN);
}

void ZonariumServer::Reactor::startClosing(Client& client) {
    client.phase = Client::Phase::Closing;
    ::shutdown(client.socket, SHUT_WR);
    client.deadline = std::chrono::steady_clock::now() + kClosingGrace;
    arm(client, EPOLLIN);
}

void ZonariumServer::Reactor::close(Client& client) {
    if (client.phase == Client::Phase::Closed) {
        return;
    }
    if (client.phase == Client::Phase::Waiting) {
        m_waiting.erase(client.waitingAt);
    }
    client.phase = Client::Phase::Closed;
    ::close(client.socket);
    --m_open;
    m_closed.push_back(&client);
}

void ZonariumServer::Reactor::closeExpired(SteadyTime now) {
    for (const auto& [address, client] : m_clients) {
        const auto phase = client->phase;
        if (phase != Client::Phase::Working && phase != Client::Phase::Closed &&
            client->deadline <= now) {
            close(*client);
        }
    }
}

void ZonariumServer::Reactor::work() {
    for (;;) {
        Client* client = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_jobReady.wait(lock, [this] { return m_quit || !m_jobs.empty(); });
            if (m_quit) {
                return;
            }
            client = m_jobs.front();
            m_jobs.pop_front();
        }
        serve(*client);
        {
            const std::lock_guard lock(m_mutex);
            m_finished.push_back(client);
        }
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(m_owner.m_wake.load(), &one, sizeof one);
    }
}

void ZonariumServer::Reactor::serve(Client& client) {
    const ServerOptions& options = m_owner.m_options;
    for (;;) {
        const GuardedConnection::Head head = client.stream.headState();
        if (head == GuardedConnection::Head::Incomplete) {
            return;
        }
        if (head != GuardedConnection::Head::Ready) {
            m_owner.refuse(client.stream, head == GuardedConnection::Head::LineTooLong ? 414 : 431);
            client.closeAfterReply = true;
            return;
        }
        if (isUnknownMethodLine(client.stream.normaliseHead())) {
            m_owner.refuse(client.stream, 405);
            client.closeAfterReply = true;
            return;
        }
        const bool last = client.served + 1 >= options.keepAliveMaxRequests || client.peerClosed ||
                          m_owner.m_stopping.load();
        bool clientCloses = false;
        t_closeAfterResponse = false;
        const bool answered = m_owner.m_front->answer(client.stream, last, clientCloses);
        ++client.served;
        if (!answered || clientCloses || t_closeAfterResponse || last) {
            client.closeAfterReply = true;
            return;
        }
        if (client.stream.unsent() > 0) {
            return;
        }
    }
}

bool ZonariumServer::run() {
    const int listening = m_front->listeningSocket();
    if (m_port == 0 || listening == INVALID_SOCKET || m_wake.load() < 0) {
        return false;
    }
    Reactor reactor(*this, listening);
    const bool served = reactor.run();
    m_front->closeListeningSocket();
    return served;
}

void ZonariumServer::stop() {
    m_stopping = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(m_wake.load(), &one, sizeof one);
}

void ZonariumServer::refuse(GuardedConnection& connection, int status) {
    const char* reason = status == 414   ? "The request line is too long."
                         : status == 405 ? "Only GET and HEAD are served."
                                         : "The request head is too large.";
    const std::string body = errorPageBody(status, reason);
    std::string response = "HTTP/1.1 ";
    response += std::to_string(status);
    response += ' ';
    response += reasonPhrase(status);
    if (status == 405) {
        response += "\r\nAllow: GET, HEAD";
    }
    response += "\r\nConnection: close\r\nContent-Type: ";
    response += kPageContentType;
    response += "\r\nContent-Length: ";
    response += std::to_string(body.size());
    response += "\r\n\r\n";
    response += body;
    connection.write(response.data(), response.size());

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
