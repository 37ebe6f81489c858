#include "fetch/TimeRetrieval.h"

#include <array>

#include "fetch/ReplyText.h"
#include "fetch/ResultRow.h"
#include "fetch/ResultTableWalker.h"
#include "platform/Desktop.h"

namespace horalux {
namespace {

// The fixed first query value the service expects.
constexpr const char* kCntValue = "604218";
constexpr const char* kNotReachable = "Server not reachable";
constexpr const char* kBadStatusSuffix = " OR re-check the connection settings in IE";

}  // namespace

std::string EncodeServiceId(std::string_view id) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(id.size());
    for (const char c : id) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || c == '#' || c == '%' || c == '&') {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::string TimeRequestPath(std::string_view serviceId, std::int32_t code) {
    return std::string("/cgi-bin/wt.cgi?cnt=") + kCntValue + "&ID=" + EncodeServiceId(serviceId) +
           "&land=" + std::to_string(static_cast<std::int16_t>(code));
}

std::string StatusLineOf(std::string_view rawHeaders) {
    return std::string(rawHeaders.substr(0, rawHeaders.find('\0')));
}

TimeRetrieval::TimeRetrieval(Internet& internet, RetrievalView& view, RetrievalState& state,
                             const ServiceAddress& service, Clock clock)
    : m_internet(internet),
      m_view(view),
      m_state(state),
      m_service(service),
      m_clock(std::move(clock)) {}

void TimeRetrieval::abandon() {
    if (m_running) {
        m_abandoned = true;
    }
}

TimeRetrieval::Outcome TimeRetrieval::run() {
    if (m_running) {
        return Outcome::Busy;
    }
    m_running = true;
    m_abandoned = false;
    m_eventsRan = {};
    // A network wait already lasts a while: the events run at every one.
    m_internet.setWaitHandler([this] { runEvents(); });
    const Outcome outcome = fetch();
    m_internet.setWaitHandler(nullptr);
    m_view.fetchEnded();
    m_running = false;
    m_abandoned = false;
    return outcome;
}

bool TimeRetrieval::letEventsRun() {
    if (m_clock() - m_eventsRan >= kEventInterval) {
        runEvents();
    }
    return !m_abandoned;
}

void TimeRetrieval::runEvents() {
    if (!m_abandoned) {
        m_view.processEvents();
        m_eventsRan = m_clock();
    }
}

TimeRetrieval::Outcome TimeRetrieval::fetch() {
    const int entry = m_view.selectedEntry();
    const auto code = entry > 0 ? m_view.itemData(entry - 1) : std::nullopt;
    if (!code) {
        return Outcome::NoSelection;
    }
    m_view.fetchStarted();

    // The last fetch's transfer holds its reply's buffers until its handles are closed.
    closeAndClear(m_internet, m_state.RequestHandle);
    closeAndClear(m_internet, m_state.ConnectHandle);
    m_state.ConnectHandle =
        m_internet.connect(m_state.SessionHandle, m_service.host, m_service.port);
    m_state.RequestHandle = m_internet.openRequest(
        m_state.ConnectHandle, "GET", TimeRequestPath(m_state.ServiceId, *code), "HTTP/1.1",
        RequestFlag::kReload | RequestFlag::kKeepConnection);
    const std::uint32_t replace = HeaderModifier::kAdd | HeaderModifier::kReplace;
    m_internet.addRequestHeaders(m_state.RequestHandle, "Accept-Language: en\r\n", replace);
    m_internet.addRequestHeaders(m_state.RequestHandle, "Connection: close\r\n", replace);
    for (const int option : {InternetOption::kConnectTimeout, InternetOption::kReceiveTimeout,
                             InternetOption::kSendTimeout}) {
        m_internet.setOption(m_state.RequestHandle, option, kTimeoutMs);
    }
    const bool sent = m_internet.sendRequest(m_state.RequestHandle);
    if (m_abandoned) {
        return Outcome::Abandoned;
    }
    if (!sent) {
        return fail(kNotReachable, MessageStyle::kInformation);
    }

    std::string rawHeaders;
    m_internet.queryInfo(m_state.RequestHandle, QueryInfoLevel::kRawHeaders, rawHeaders);
    const std::string statusLine = StatusLineOf(rawHeaders);
    if (statusLine.find("200 OK") == std::string::npos) {
        return fail(statusLine + kBadStatusSuffix, MessageStyle::kOkOnly);
    }

    std::string reply;
    const Read read = readReply(reply);
    if (read == Read::Abandoned) {
        return Outcome::Abandoned;
    }
    if (read == Read::Cut || reply.empty()) {
        return fail(kNotReachable, MessageStyle::kInformation);
    }
    return list(std::move(reply));
}

TimeRetrieval::Read TimeRetrieval::readReply(std::string& reply) {
    std::array<char, kReadChunk> chunk{};
    for (;;) {
        if (!letEventsRun()) {
            return Read::Abandoned;
        }
        const std::size_t room = std::min(chunk.size(), kMaxReplyBytes - reply.size());
        std::size_t count = 0;
        const bool ok = m_internet.readFile(m_state.RequestHandle, chunk.data(), room, count);
        reply.append(chunk.data(), count);
        if (!letEventsRun()) {
            return Read::Abandoned;
        }
        if (!ok) {
            return Read::Cut;
        }
        if (count == 0 || reply.size() >= kMaxReplyBytes) {
            return Read::Whole;
        }
    }
}

TimeRetrieval::Outcome TimeRetrieval::fail(const std::string& text, int style) {
    m_view.setStatus(text);
    m_view.showMessage(text, style);
    closeAndClear(m_internet, m_state.ConnectHandle);
    closeAndClear(m_internet, m_state.RequestHandle);
    m_state.ServiceId.clear();
    return Outcome::Failed;
}

TimeRetrieval::Outcome TimeRetrieval::list(std::string reply) {
    if (m_state.ServiceId.empty()) {
        m_state.ServiceId = ExtractServiceId(reply);
        m_view.enableDisplay();
    }
    // A reply may be megabytes long: each text is freed as soon as the next one is made
    // from it, so no more than two are held at a time.
    std::string table = CutResultTable(reply);
    const std::string release = m_view.takesCells() ? TzdataRelease(reply) : std::string();
    std::string().swap(reply);
    m_view.setStatus("Server found");
    m_view.setCountryHeading("Country Name :" + m_view.countryText());
    m_view.clearList();
    m_view.addListRow(HeaderRow());
    m_view.setStatus("Parsing the data into Vexor-Horalux format");
    std::string xml = ToResultXml(table);
    std::string().swap(table);
    ResultTableWalker walker(xml);
    std::string().swap(xml);
    const bool cells = m_view.takesCells();
    if (cells) {
        m_view.tableFound(walker.readable(), release);
    }
    std::string line;
    ResultCells row;
    for (;;) {
        const ResultTableWalker::Step step = cells ? walker.step(line, row) : walker.step(line);
        if (step == ResultTableWalker::Step::Done) {
            break;
        }
        if (step == ResultTableWalker::Step::Line) {
            m_view.addListRow(line);
            if (cells) {
                m_view.addCells(row);
            }
            if (!letEventsRun()) {
                return Outcome::Abandoned;
            }
        }
        if (!letEventsRun()) {
            return Outcome::Abandoned;
        }
    }
    m_view.setStatus("Parsing done 100 %");
    m_view.enableCountryList();
    return Outcome::Listed;
}

}  // namespace horalux
