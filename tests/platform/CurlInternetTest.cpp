#include "platform/CurlInternet.h"

#include <gtest/gtest.h>

#include <string>

#include "LoopbackServer.h"
#include "fetch/TimeRetrieval.h"

namespace horalux {
namespace {

using test::LoopbackServer;

std::string okHead(const std::string& extra = "") {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n" + extra + "\r\n";
}

std::string sized(const std::string& body) {
    return okHead("Content-Length: " + std::to_string(body.size()) + "\r\n") + body;
}

std::string pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    return text;
}

// A script that writes the same bytes to every connection.
LoopbackServer::Script answer(std::string bytes) {
    return [bytes = std::move(bytes)](int socket, LoopbackServer&) {
        LoopbackServer::send(socket, bytes);
    };
}

class CurlInternetTest : public ::testing::Test {
protected:
    CurlInternetTest() { session = internet.open("Agent/1.0", 1); }

    // Connects, opens and sends a GET of `path`; the request's handle, or 0 when the send
    // failed.
    InternetHandle send(std::uint16_t port, const std::string& path = "/x") {
        const InternetHandle connection = internet.connect(session, "127.0.0.1", port);
        request = internet.openRequest(connection, "GET", path, "HTTP/1.1",
                                       RequestFlag::kReload | RequestFlag::kKeepConnection);
        return internet.sendRequest(request) ? request : kNoHandle;
    }

    // Reads the whole body in reads of at most `chunk` bytes; `largest` gets the largest
    // read. False when a read failed.
    bool readAll(std::string& body, std::size_t chunk = 2048, std::size_t* largest = nullptr) {
        std::string buffer(chunk, '\0');
        for (;;) {
            std::size_t count = 0;
            if (!internet.readFile(request, buffer.data(), chunk, count)) {
                EXPECT_EQ(count, 0U);
                return false;
            }
            if (count == 0) {
                return true;
            }
            if (largest != nullptr) {
                *largest = std::max(*largest, count);
            }
            body.append(buffer.data(), count);
        }
    }

    std::string statusLine() {
        std::string raw;
        internet.queryInfo(request, QueryInfoLevel::kRawHeaders, raw);
        return StatusLineOf(raw);
    }

    CurlInternet internet{"127.0.0.1", 80};
    InternetHandle session = kNoHandle;
    InternetHandle request = kNoHandle;
};

// What goes on the wire: the request line, the agent, the reload and keep-alive headers,
// the added headers replacing those of the same name, and no header of libcurl's own.
TEST_F(CurlInternetTest, RequestAsReceived) {
    LoopbackServer server(answer(sized("hi")));
    const InternetHandle connection = internet.connect(session, "127.0.0.1", server.port());
    request = internet.openRequest(connection, "GET", "/cgi-bin/wt.cgi?cnt=604218&ID=&land=76",
                                   "HTTP/1.1", RequestFlag::kReload | RequestFlag::kKeepConnection);
    const std::uint32_t replace = HeaderModifier::kAdd | HeaderModifier::kReplace;
    EXPECT_TRUE(internet.addRequestHeaders(request, "Accept-Language: en\r\n", replace));
    EXPECT_TRUE(internet.addRequestHeaders(request, "Connection: close\r\n", replace));
    EXPECT_FALSE(internet.addRequestHeaders(request, "Bad\r\nX: y\r\n", replace));
    EXPECT_TRUE(internet.setOption(request, InternetOption::kConnectTimeout, 420000));
    EXPECT_FALSE(internet.setOption(request, 99, 1));
    ASSERT_TRUE(internet.sendRequest(request));
    EXPECT_FALSE(internet.sendRequest(request));  // once only
    EXPECT_FALSE(internet.addRequestHeaders(request, "Late: 1\r\n", replace));

    const std::string head = server.heads().at(0);
    EXPECT_EQ(head.substr(0, head.find("\r\n")),
              "GET /cgi-bin/wt.cgi?cnt=604218&ID=&land=76 HTTP/1.1");
    for (const char* line : {"\r\nUser-Agent: Agent/1.0\r\n", "\r\nCache-Control: no-cache\r\n",
                             "\r\nPragma: no-cache\r\n", "\r\nAccept-Language: en\r\n",
                             "\r\nConnection: close\r\n", "\r\nHost: 127.0.0.1:"}) {
        EXPECT_NE(head.find(line), std::string::npos) << line << " in\n" << head;
    }
    EXPECT_EQ(head.find("Keep-Alive"), std::string::npos) << head;
    EXPECT_EQ(head.find("Accept:"), std::string::npos) << head;
    EXPECT_EQ(head.find("Bad"), std::string::npos) << head;
}

// The status line and headers as the raw block; a status other than 200 is a reply like
// any other; the status line survives a header block far past 1024 bytes.
TEST_F(CurlInternetTest, StatusLineAndHeaders) {
    LoopbackServer notFound(answer("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"));
    ASSERT_NE(send(notFound.port()), kNoHandle);
    std::string raw;
    EXPECT_TRUE(internet.queryInfo(request, QueryInfoLevel::kRawHeaders, raw));
    EXPECT_EQ(raw, std::string("HTTP/1.1 404 Not Found\0Content-Length: 0\0\0", 42));
    EXPECT_FALSE(internet.queryInfo(request, 22, raw));
    EXPECT_EQ(raw, "");

    LoopbackServer padded(
        answer(sized("x").insert(17, "X-Pad: " + std::string(4000, 'p') + "\r\n")));
    ASSERT_NE(send(padded.port()), kNoHandle);
    EXPECT_EQ(statusLine(), "HTTP/1.1 200 OK");
    std::string body;
    EXPECT_TRUE(readAll(body));
    EXPECT_EQ(body, "x");
}

// Sized, chunked, close-delimited and empty bodies, each read whole in reads of at most the
// asked size, then the end reported as a good read of 0 bytes.
TEST_F(CurlInternetTest, BodyForms) {
    // Larger than what is held before the transfer pauses, so pauses come and go.
    const std::string text = pattern(3 * CurlInternet::kMaxBufferedBody + 5);
    std::string chunked = okHead("Transfer-Encoding: chunked\r\n");
    for (std::size_t at = 0; at < text.size(); at += 1500) {
        const std::string part = text.substr(at, 1500);
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", part.size());
        chunked += size + part + "\r\n";
    }
    chunked += "0\r\nX-Trailer: 1\r\n\r\n";
    struct Case {
        const char* name;
        std::string reply;
        std::string body;
    };
    const std::vector<Case> cases{{"sized", sized(text), text},
                                  {"chunked", chunked, text},
                                  {"close-delimited", okHead("Connection: close\r\n") + text, text},
                                  {"empty", sized(""), ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server(answer(c.reply));
        ASSERT_NE(send(server.port()), kNoHandle);
        // A read of nothing leaves what has come for the reads after it.
        char none = 0;
        std::size_t nothing = 1;
        EXPECT_TRUE(internet.readFile(request, &none, 0, nothing));
        EXPECT_EQ(nothing, 0U);
        std::string body;
        std::size_t largest = 0;
        EXPECT_TRUE(readAll(body, 2048, &largest));
        EXPECT_EQ(body, c.body);
        EXPECT_LE(largest, 2048U);
        std::string raw;
        internet.queryInfo(request, QueryInfoLevel::kRawHeaders, raw);
        EXPECT_EQ(raw.find("X-Trailer"), std::string::npos);
    }
}

// A connection dropped in the middle of a sized body: what came is read, then the read
// fails.
TEST_F(CurlInternetTest, DroppedMidBody) {
    LoopbackServer server(answer(okHead("Content-Length: 5000\r\n") + pattern(3000)));
    ASSERT_NE(send(server.port()), kNoHandle);
    std::string body;
    EXPECT_FALSE(readAll(body));
    EXPECT_EQ(body, pattern(3000));
}

// While the server holds its answer back, the send keeps running the wait handler; the
// answer that comes in the end is taken. Nothing here depends on how long a wait lasts.
TEST_F(CurlInternetTest, StalledServerKeepsTheWaitHandlerRunning) {
    LoopbackServer server([](int socket, LoopbackServer& self) {
        self.awaitRelease();
        LoopbackServer::send(socket, sized("late"));
    });
    int waits = 0;
    internet.setWaitHandler([&] {
        if (++waits == 5) {
            server.release();
        }
    });
    ASSERT_NE(send(server.port()), kNoHandle);
    EXPECT_GE(waits, 5);
    std::string body;
    EXPECT_TRUE(readAll(body));
    EXPECT_EQ(body, "late");
}

// A handle closed by the wait handler fails the waiting call, which then leaves it alone;
// closing the session ends its requests; closed and unknown handles fail every call.
TEST_F(CurlInternetTest, HandlesClosedMeanwhileAndUnknownHandles) {
    LoopbackServer server([](int socket, LoopbackServer& self) {
        self.awaitRelease();
        LoopbackServer::send(socket, sized("never read"));
    });
    internet.setWaitHandler([&] { internet.closeHandle(session); });
    EXPECT_EQ(send(server.port()), kNoHandle);
    internet.setWaitHandler(nullptr);
    server.release();

    char buffer[16];
    std::size_t count = 7;
    std::string raw = "old";
    for (const InternetHandle handle : {request, kNoHandle, InternetHandle{9999}}) {
        EXPECT_FALSE(internet.sendRequest(handle));
        EXPECT_FALSE(internet.readFile(handle, buffer, sizeof buffer, count));
        EXPECT_EQ(count, 0U);
        EXPECT_FALSE(internet.queryInfo(handle, QueryInfoLevel::kRawHeaders, raw));
        EXPECT_EQ(raw, "");
        EXPECT_FALSE(internet.addRequestHeaders(handle, "A: b\r\n", HeaderModifier::kAdd));
        EXPECT_FALSE(internet.setOption(handle, InternetOption::kSendTimeout, 1));
        EXPECT_FALSE(internet.closeHandle(handle));
    }
    EXPECT_EQ(internet.connect(session, "127.0.0.1", server.port()), kNoHandle);
    // A request cannot be made on a session, nor a connection on a request.
    session = internet.open("Agent/1.0", 0);
    EXPECT_EQ(internet.openRequest(session, "GET", "/", "HTTP/1.1", 0), kNoHandle);
    const InternetHandle connection = internet.connect(session, "127.0.0.1", server.port());
    const InternetHandle r = internet.openRequest(connection, "GET", "/", "HTTP/1.1", 0);
    EXPECT_EQ(internet.connect(r, "127.0.0.1", server.port()), kNoHandle);
    // Nothing that could split the request line gets into it.
    EXPECT_EQ(internet.openRequest(connection, "GET", "/a b", "HTTP/1.1", 0), kNoHandle);
    EXPECT_EQ(internet.openRequest(connection, "GET", "/a\r\nX: y", "HTTP/1.1", 0), kNoHandle);
    EXPECT_EQ(internet.openRequest(connection, "GET", "/a#b", "HTTP/1.1", 0), kNoHandle);
    EXPECT_EQ(internet.open("Agent\r\nX-Evil: 1", 0), kNoHandle);
}

// No server, and a reply head larger than any page needs: the send fails.
TEST_F(CurlInternetTest, RefusedAndOversizedHeads) {
    std::uint16_t closedPort = 0;
    {
        LoopbackServer gone(answer(""));
        closedPort = gone.port();
    }
    EXPECT_EQ(send(closedPort), kNoHandle);

    std::string flood = "HTTP/1.1 200 OK\r\n";
    while (flood.size() <= CurlInternet::kMaxHeadBytes) {
        flood += "X-Flood: " + std::string(1000, 'f') + "\r\n";
    }
    LoopbackServer server(answer(flood + "\r\n"));
    EXPECT_EQ(send(server.port()), kNoHandle);
}

// The retrieval over the real client: an identifier meant to add a header goes back
// encoded, and a reply longer than the cap ends the read without a failure.
class RetrievalOverCurlTest : public CurlInternetTest, public RetrievalView {
protected:
    int selectedEntry() const override { return 96; }
    std::optional<std::int32_t> itemData(int) const override { return 76; }
    std::string countryText() const override { return "India"; }
    void fetchStarted() override {}
    void fetchEnded() override {}
    void setStatus(const std::string& caption) override { status = caption; }
    void setCountryHeading(const std::string&) override {}
    void clearList() override { rows = 0; }
    void addListRow(const std::string&) override { ++rows; }
    void enableDisplay() override {}
    void enableCountryList() override {}
    void showMessage(const std::string& text, int) override { message = text; }
    void processEvents() override {}

    std::string status;
    std::string message;
    int rows = 0;
};

TEST_F(RetrievalOverCurlTest, HostileIdentifierAndOverlongReply) {
    const std::string hostile = "<A HREF=\"/cgi-bin/wt.cgi?ID=a b\r\nX-Evil: 1\r\n#%&land=1\">";
    LoopbackServer server([&](int socket, LoopbackServer& self) {
        if (self.heads().size() == 1) {
            LoopbackServer::send(socket, sized(hostile));
            return;
        }
        // Past the cap: 17 MiB of text after a head that announces no length.
        LoopbackServer::send(socket, okHead("Connection: close\r\n"));
        const std::string block(1 << 20, 'y');
        for (int i = 0; i < 17 && LoopbackServer::send(socket, block); ++i) {
        }
    });
    RetrievalState state;
    state.SessionHandle = session;
    const ServiceAddress address{"127.0.0.1", server.port()};
    TimeRetrieval retrieval(internet, *this, state, address);
    EXPECT_EQ(retrieval.run(), TimeRetrieval::Outcome::Listed);
    EXPECT_EQ(state.ServiceId, "a b\r\nX-Evil: 1\r\n#%");
    EXPECT_EQ(retrieval.run(), TimeRetrieval::Outcome::Listed);
    const std::string second = server.heads().at(1);
    EXPECT_EQ(second.substr(0, second.find("\r\n")),
              "GET /cgi-bin/wt.cgi?cnt=604218&ID=a%20b%0D%0AX-Evil:%201%0D%0A%23%25&land=76 "
              "HTTP/1.1");
    EXPECT_EQ(second.find("\r\nX-Evil"), std::string::npos);
    EXPECT_EQ(status, "Parsing done 100 %");
    EXPECT_EQ(message, "");
    internet.closeHandle(state.RequestHandle);  // lets the server's last write fail
}

// A reply cut short in transit fails the fetch, even with a whole table in what came: a
// sized body closed halfway and a chunked body broken off between chunks. The same page
// without a length, ended by a clean close, is listed.
TEST_F(RetrievalOverCurlTest, CutReplyFailsAndCleanCloseLists) {
    const std::string page =
        "<A HREF=\"/cgi-bin/wt.cgi?ID=q&land=76\">\n"
        "<H3>Time information for selected cities and towns</H3>\n<TABLE CELLPADDING=4>\n"
        "<TR><TH>City/Town</TH></TR>\n<TR><TD>Agra</TD><TD>Mon</TD><TD>+05:30</TD><TD>06:58</TD>"
        "<TD>17:41</TD></TR>\n</TABLE>\n" +
        std::string(4000, ' ');
    const std::string half = page.substr(0, page.size() / 2);
    struct Case {
        std::string reply;
        TimeRetrieval::Outcome outcome;
    };
    std::string chunked = okHead("Transfer-Encoding: chunked\r\n");
    chunked += "400\r\n" + page.substr(0, 0x400) + "\r\n";
    const std::vector<Case> cases{
        {okHead("Content-Length: " + std::to_string(page.size()) + "\r\n") + half,
         TimeRetrieval::Outcome::Failed},
        {chunked, TimeRetrieval::Outcome::Failed},
        {okHead("Connection: close\r\n") + page, TimeRetrieval::Outcome::Listed},
    };
    for (const Case& c : cases) {
        LoopbackServer server(answer(c.reply));
        RetrievalState state;
        state.SessionHandle = session;
        state.ServiceId = "kept";
        const ServiceAddress address{"127.0.0.1", server.port()};
        TimeRetrieval retrieval(internet, *this, state, address);
        rows = -1;
        message.clear();
        EXPECT_EQ(retrieval.run(), c.outcome);
        if (c.outcome == TimeRetrieval::Outcome::Failed) {
            EXPECT_EQ(message, "Server not reachable");
            EXPECT_EQ(rows, -1);  // the list as it was
            EXPECT_EQ(state.ServiceId, "");
        } else {
            EXPECT_EQ(rows, 2);
            EXPECT_EQ(status, "Parsing done 100 %");
        }
        closeAndClear(internet, state.RequestHandle);
        closeAndClear(internet, state.ConnectHandle);
    }
}

}  // namespace
}  // namespace horalux
