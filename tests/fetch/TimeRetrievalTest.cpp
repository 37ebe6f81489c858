#include "fetch/TimeRetrieval.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "FakeInternet.h"
#include "fetch/CountryTable.h"
#include "fetch/ResultRow.h"
#include "platform/Desktop.h"

namespace horalux {
namespace {

using test::FakeInternet;

constexpr int kIndia = 96;

// A view that records what a fetch shows and answers the country list like the window.
class RecordingView final : public RetrievalView {
public:
    int selectedEntry() const override { return entry; }
    std::optional<std::int32_t> itemData(int position) const override {
        return CountryTable::itemData(position);
    }
    std::string countryText() const override { return std::string(CountryTable::entryName(entry)); }
    void fetchStarted() override { ++started; }
    void fetchEnded() override { ++ended; }
    void setStatus(const std::string& caption) override { statuses.push_back(caption); }
    void setCountryHeading(const std::string& caption) override { heading = caption; }
    void clearList() override { list.clear(); }
    void addListRow(const std::string& row) override { list.push_back(row); }
    void enableDisplay() override { ++displayEnabled; }
    void enableCountryList() override { ++countryListEnabled; }
    void showMessage(const std::string& text, int style) override {
        messages.emplace_back(text, style);
    }
    void processEvents() override {
        ++eventRuns;
        if (onEvents) {
            onEvents();
        }
    }

    int entry = kIndia;
    std::vector<std::string> statuses;
    std::string heading;
    std::vector<std::string> list{"earlier line"};
    std::vector<std::pair<std::string, int>> messages;
    int started = 0;
    int ended = 0;
    int displayEnabled = 0;
    int countryListEnabled = 0;
    int eventRuns = 0;
    std::function<void()> onEvents;
};

std::string page(const std::string& id, int rows) {
    std::string text = "<HTML><BODY>\n<A HREF=\"/cgi-bin/wt.cgi?ID=" + id +
                       "&land=76\">Refresh</A>\n"
                       "<H3>Time information for selected cities and towns</H3>\n"
                       "<TABLE CELLPADDING=4>\n<TR><TH>City/Town</TH><TH>Local time</TH>"
                       "<TH>UTC offset</TH><TH>Sunrise</TH><TH>Sunset</TH></TR>\n";
    for (int i = 0; i < rows; ++i) {
        text += "<TR><TD VALIGN=Top>Town" + std::to_string(i) +
                "</TD><TD>Mon 07 Dec 2026 10:15 IST</TD><TD>UTC+05:30</TD><TD>06:5" +
                std::to_string(i) + "</TD><TD>17:24</TD></TR>\n";
    }
    return text + "</TABLE>\n</BODY></HTML>\n";
}

FakeInternet::Reply okReply(std::string body) {
    FakeInternet::Reply reply;
    reply.body = std::move(body);
    return reply;
}

FakeInternet::Reply statusReply(const std::string& rawHeaders) {
    FakeInternet::Reply reply = okReply(page("id", 1));
    reply.rawHeaders = rawHeaders;
    return reply;
}

class TimeRetrievalTest : public ::testing::Test {
protected:
    TimeRetrievalTest() { state.SessionHandle = internet.open(kUserAgent, 0); }

    TimeRetrieval::Outcome run() { return retrieval.run(); }
    const FakeInternet::RequestCall& lastRequest() const { return internet.requests.back(); }

    FakeInternet internet;
    RecordingView view;
    RetrievalState state;
    ServiceAddress service{"time.example", 8080};
    // The retrieval's clock moves by `step` whenever it is read.
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    std::chrono::milliseconds step{20};
    TimeRetrieval retrieval{internet, view, state, service, [this] { return now += step; }};
};

// Entry 0 and no selection make no request, show nothing and still pass the common exit.
TEST_F(TimeRetrievalTest, NoCountryNoRequest) {
    for (const int entry : {0, -1}) {
        view.entry = entry;
        EXPECT_EQ(run(), TimeRetrieval::Outcome::NoSelection);
    }
    EXPECT_TRUE(internet.connects.empty());
    EXPECT_EQ(view.started, 0);
    EXPECT_EQ(view.ended, 2);
    EXPECT_TRUE(view.statuses.empty());
    EXPECT_TRUE(view.messages.empty());
}

// The request as built: connection, request line, headers, flags and time-outs in order.
TEST_F(TimeRetrievalTest, BuildsTheRequest) {
    internet.replies.push_back(okReply(page("id", 0)));
    view.entry = CountryTable::kDefaultEntry;
    run();
    ASSERT_EQ(internet.connects.size(), 1U);
    EXPECT_EQ(internet.connects[0].session, state.SessionHandle);
    EXPECT_EQ(internet.connects[0].server, "time.example");
    EXPECT_EQ(internet.connects[0].port, 8080);
    const auto& request = lastRequest();
    EXPECT_EQ(request.verb, "GET");
    EXPECT_EQ(request.object, "/cgi-bin/wt.cgi?cnt=604218&ID=&land=224");
    EXPECT_EQ(request.version, "HTTP/1.1");
    EXPECT_EQ(request.flags, 0x80400000U);
    const std::vector<std::pair<std::string, std::uint32_t>> headers{
        {"Accept-Language: en\r\n", 0xA0000000U}, {"Connection: close\r\n", 0xA0000000U}};
    EXPECT_EQ(request.headers, headers);
    const std::vector<std::pair<int, std::uint32_t>> options{{2, 420000}, {6, 420000}, {5, 420000}};
    EXPECT_EQ(request.options, options);
    EXPECT_EQ(view.started, 1);
}

// The identifier: taken from the first good reply, sent back afterwards, kept over later
// replies, emptied by a failure so that the next request goes without it.
TEST_F(TimeRetrievalTest, IdentifierLifecycle) {
    FakeInternet::Reply failed;
    failed.sendSucceeds = false;
    internet.replies = {okReply(page("Abc123", 0)), okReply(page("Other", 0)), failed,
                        okReply(page("Fresh", 0))};
    run();
    EXPECT_EQ(state.ServiceId, "Abc123");
    EXPECT_EQ(view.displayEnabled, 1);
    run();
    EXPECT_EQ(lastRequest().object, "/cgi-bin/wt.cgi?cnt=604218&ID=Abc123&land=76");
    EXPECT_EQ(state.ServiceId, "Abc123");
    EXPECT_EQ(view.displayEnabled, 1);
    run();
    EXPECT_EQ(state.ServiceId, "");
    run();
    EXPECT_EQ(lastRequest().object, "/cgi-bin/wt.cgi?cnt=604218&ID=&land=76");
    EXPECT_EQ(state.ServiceId, "Fresh");
}

// An identifier from the network can neither end the request line, nor add a header, nor
// add a query key; an ordinary one goes out as it came.
TEST_F(TimeRetrievalTest, IdentifierIsEncodedInThePath) {
    EXPECT_EQ(EncodeServiceId("Ab-12_x.y~z"), "Ab-12_x.y~z");
    EXPECT_EQ(EncodeServiceId(std::string("a b\r\nX:%#\x7F\xE9\x01", 12)),
              "a%20b%0D%0AX:%25%23%7F%E9%01");
    state.ServiceId = "x y\r\nHost: evil#";
    internet.replies.push_back(okReply(page("id", 0)));
    run();
    EXPECT_EQ(internet.requests[0].object,
              "/cgi-bin/wt.cgi?cnt=604218&ID=x%20y%0D%0AHost:%20evil%23&land=76");
}

// Every failure exit: caption and message, icon, both handles closed in order, identifier
// emptied, the list as it was.
TEST_F(TimeRetrievalTest, FailureExits) {
    FakeInternet::Reply unsent;
    unsent.sendSucceeds = false;
    // A whole table came before the read failed: still no listing.
    FakeInternet::Reply cut = okReply(page("id", 2));
    cut.failAtEnd = true;
    struct Case {
        FakeInternet::Reply reply;
        std::string text;
        int style;
    };
    const std::vector<Case> cases{
        {unsent, "Server not reachable", MessageStyle::kInformation},
        {statusReply(std::string("HTTP/1.1 404 Not Found\0\0", 24)),
         "HTTP/1.1 404 Not Found OR re-check the connection settings in IE", MessageStyle::kOkOnly},
        {statusReply(""), " OR re-check the connection settings in IE", MessageStyle::kOkOnly},
        {statusReply(std::string("HTTP/1.1 200 Ok\0\0", 17)),
         "HTTP/1.1 200 Ok OR re-check the connection settings in IE", MessageStyle::kOkOnly},
        {okReply(""), "Server not reachable", MessageStyle::kInformation},
        {cut, "Server not reachable", MessageStyle::kInformation},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        view.messages.clear();
        state.ServiceId = "kept";
        internet.replies.push_back(c.reply);
        internet.closes.clear();
        EXPECT_EQ(run(), TimeRetrieval::Outcome::Failed);
        const auto& request = lastRequest();
        EXPECT_EQ(view.statuses.back(), c.text);
        ASSERT_EQ(view.messages.size(), 1U);
        EXPECT_EQ(view.messages[0], std::make_pair(c.text, c.style));
        EXPECT_EQ(internet.closes,
                  (std::vector<InternetHandle>{request.connection, request.handle}));
        EXPECT_EQ(state.ConnectHandle, kNoHandle);
        EXPECT_EQ(state.RequestHandle, kNoHandle);
        EXPECT_EQ(state.ServiceId, "");
        EXPECT_EQ(view.list, std::vector<std::string>{"earlier line"});
    }
    EXPECT_EQ(view.ended, static_cast<int>(cases.size()));
    EXPECT_EQ(internet.liveCount(), 1U);  // the session alone
}

// Status lines that pass, also behind a header block far longer than 1024 bytes.
TEST_F(TimeRetrievalTest, StatusLinesThatPass) {
    const std::string longBlock = std::string("HTTP/1.1 200 OK\0", 16) +
                                  "X-Pad: " + std::string(3000, 'p') + std::string("\0\0", 2);
    for (const std::string& raw : {std::string("HTTP/1.0 200 OK\0\0", 17), longBlock}) {
        internet.replies.push_back(statusReply(raw));
        EXPECT_EQ(run(), TimeRetrieval::Outcome::Listed);
    }
}

// A listing: captions in order, the heading, the list re-headed and filled in document
// order, events let run for every row, the country list enabled; the handles stay open.
TEST_F(TimeRetrievalTest, ListsTheRows) {
    FakeInternet::Reply reply = okReply(page("id", 3));
    reply.maxChunk = 100;
    internet.replies.push_back(reply);
    EXPECT_EQ(run(), TimeRetrieval::Outcome::Listed);
    EXPECT_EQ(view.statuses, (std::vector<std::string>{"Server found",
                                                       "Parsing the data into Vexor-Horalux format",
                                                       "Parsing done 100 %"}));
    EXPECT_EQ(view.heading, "Country Name :India");
    ASSERT_EQ(view.list.size(), 4U);
    EXPECT_EQ(view.list[0], HeaderRow());
    EXPECT_EQ(view.list[1],
              FormatResultRow("Town0", "Mon 07 Dec 2026 10:15 IST", "06:50", "17:24"));
    EXPECT_EQ(view.list[3].substr(0, 5), "Town2");
    EXPECT_EQ(view.countryListEnabled, 1);
    EXPECT_GE(view.eventRuns, 2 * internet.reads + 2 * 3);
    EXPECT_NE(state.RequestHandle, kNoHandle);
    EXPECT_TRUE(view.messages.empty());
}

// A fetch closes the previous fetch's request, then its connection, before it sends its
// own, so however often the list is fetched only the last transfer stays open; handles a
// failure already closed are not closed again.
TEST_F(TimeRetrievalTest, EachFetchClosesThePreviousOne) {
    FakeInternet::Reply unsent;
    unsent.sendSucceeds = false;
    internet.replies = {okReply(page("id", 1)), okReply(page("id", 1)), unsent,
                        okReply(page("id", 1))};
    std::vector<InternetHandle> closedBySend;
    internet.onWait = [&] {
        if (!lastRequest().sent) {
            closedBySend = internet.closes;
        }
    };
    run();
    const FakeInternet::RequestCall first = lastRequest();
    EXPECT_TRUE(closedBySend.empty());
    run();
    EXPECT_EQ(closedBySend, (std::vector<InternetHandle>{first.handle, first.connection}));
    EXPECT_EQ(internet.closes, closedBySend);
    EXPECT_EQ(internet.liveCount(), 3U);  // the session, the last connection and request
    EXPECT_EQ(state.RequestHandle, lastRequest().handle);
    EXPECT_EQ(state.ConnectHandle, lastRequest().connection);

    run();  // fails, closing its own handles
    internet.closes.clear();
    EXPECT_EQ(run(), TimeRetrieval::Outcome::Listed);
    EXPECT_TRUE(internet.closes.empty());
    EXPECT_EQ(internet.liveCount(), 3U);
}

// The view's events run at every network wait, but however fast the chunks and rows come,
// at most every 10 ms between them: with the clock standing still, only at the waits.
TEST_F(TimeRetrievalTest, EventsRunAtWaitsAndAtMostEveryTenMilliseconds) {
    step = std::chrono::milliseconds(0);
    internet.replies.push_back(okReply(page("id", 50)));
    EXPECT_EQ(run(), TimeRetrieval::Outcome::Listed);
    EXPECT_EQ(view.list.size(), 51U);
    EXPECT_EQ(view.eventRuns, 1 + internet.reads);  // the send and each read wait once
}

// A page without a result table still clears the list to its header line.
TEST_F(TimeRetrievalTest, NoTableLeavesTheHeaderAlone) {
    internet.replies.push_back(okReply("<HTML>busy, try later</HTML>"));
    EXPECT_EQ(run(), TimeRetrieval::Outcome::Listed);
    EXPECT_EQ(view.list, std::vector<std::string>{HeaderRow()});
    EXPECT_EQ(view.statuses.back(), "Parsing done 100 %");
}

// A reply past the cap is read up to the cap and no further, and listed.
TEST_F(TimeRetrievalTest, ReadStopsAtTheCap) {
    FakeInternet::Reply huge = okReply(std::string(TimeRetrieval::kMaxReplyBytes + 4096, 'x'));
    internet.replies.push_back(huge);
    internet.reads = 0;
    EXPECT_EQ(run(), TimeRetrieval::Outcome::Listed);
    EXPECT_EQ(internet.reads,
              static_cast<int>(TimeRetrieval::kMaxReplyBytes / TimeRetrieval::kReadChunk));
}

// A click that comes in while a fetch waits starts nothing; handles closed under the fetch
// (as a new connection setting does) end its read without a second close.
TEST_F(TimeRetrievalTest, NestedRunsAndHandlesClosedMeanwhile) {
    internet.replies.push_back(okReply(page("id", 1)));
    TimeRetrieval::Outcome nested = TimeRetrieval::Outcome::Listed;
    internet.onWait = [&] {
        internet.onWait = nullptr;
        nested = retrieval.run();
    };
    EXPECT_EQ(run(), TimeRetrieval::Outcome::Listed);
    EXPECT_EQ(nested, TimeRetrieval::Outcome::Busy);
    EXPECT_EQ(internet.connects.size(), 1U);
    EXPECT_EQ(view.ended, 1);

    internet.replies.push_back(okReply(page("id", 1)));
    internet.closes.clear();
    int waits = 0;
    internet.onWait = [&] {
        if (++waits == 2) {  // the first read
            for (InternetHandle* handle :
                 {&state.ConnectHandle, &state.RequestHandle, &state.SessionHandle}) {
                internet.closeHandle(*handle);
                *handle = kNoHandle;
            }
        }
    };
    EXPECT_EQ(run(), TimeRetrieval::Outcome::Failed);
    EXPECT_EQ(view.messages.back().first, "Server not reachable");
    // The previous fetch's two handles, then the three closed meanwhile, none of them again.
    EXPECT_EQ(internet.closes.size(), 5U);
}

// A fetch abandoned while it waits shows nothing more and sends nothing more.
TEST_F(TimeRetrievalTest, AbandonedFetchShowsNothing) {
    for (const int abandonAt : {1, 2}) {  // the send, the first read
        internet.replies.push_back(okReply(page("id", 1)));
        int waits = 0;
        internet.onWait = [&] {
            if (++waits == abandonAt) {
                retrieval.abandon();
            }
        };
        view.statuses.clear();
        EXPECT_EQ(run(), TimeRetrieval::Outcome::Abandoned);
        EXPECT_TRUE(view.statuses.empty());
        EXPECT_TRUE(view.messages.empty());
    }
    EXPECT_EQ(view.list, std::vector<std::string>{"earlier line"});
    EXPECT_FALSE(retrieval.running());
}

}  // namespace
}  // namespace horalux
