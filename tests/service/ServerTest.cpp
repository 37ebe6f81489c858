#include "http/ZonariumServer.h"

#include "http/Metrics.h"
#include "http/MetricsListener.h"

#include "RawConnection.h"
#include "TestSupport.h"
#include "model/CountryPage.h"
#include "model/Page.h"
#include "model/PageCache.h"

#include <sys/resource.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

namespace zonarium {
namespace {

using test::at;
using test::RawConnection;

class ServerTest : public testing::Test {
protected:
    // 2026-12-07 04:45:00Z, 10:15 in India.
    const Instant m_now = at("2026-12-07T04:45:00Z");

    void start(ServerOptions options = {}) {
        m_server = std::make_unique<ZonariumServer>(
            test::fixtureTable(), options, [this] { return m_now; },
            [this](std::string_view line) {
                const std::lock_guard lock(m_logMutex);
                m_log.emplace_back(line);
                m_logged.notify_all();
            });
        ASSERT_TRUE(m_server->bind("127.0.0.1", 0));
        ASSERT_GT(m_server->port(), 0);
        m_thread = std::thread([this] { m_server->run(); });
    }

    void TearDown() override {
        if (m_server) {
            m_server->stop();
            m_thread.join();
        }
    }

    httplib::Client client() const {
        httplib::Client c("127.0.0.1", m_server->port());
        c.set_read_timeout(20);
        return c;
    }

    int status(const std::string& target) {
        const auto reply = client().Get(target.c_str());
        return reply ? reply->status : -1;
    }

    // Sends `request` on a new connection and returns the first response.
    std::string exchange(std::string_view request) {
        RawConnection connection(m_server->port());
        EXPECT_TRUE(connection.connected());
        connection.send(request);
        return connection.readResponse();
    }

    std::unique_ptr<ZonariumServer> m_server;
    std::thread m_thread;
    // Access-log lines as written, guarded by m_logMutex.
    std::vector<std::string> m_log;
    std::mutex m_logMutex;
    std::condition_variable m_logged;
};

// A page being made holds up no other country's answer, and a page that cannot be made is
// answered 503 rather than left waiting. (USA's render waits for the test, Australia's
// fails.)
TEST_F(ServerTest, SlowPageHoldsUpNoOtherAndFailedPageAnswers503) {
    std::promise<void> open;
    std::shared_future<void> opened = open.get_future().share();
    std::promise<void> started;
    std::once_flag startedOnce;
    ServerOptions options;
    options.renderer = [&](int land, Instant minute) {
        if (land == 224) {
            std::call_once(startedOnce, [&] { started.set_value(); });
            opened.wait();
        }
        if (land == 17) {
            throw std::runtime_error("no page");
        }
        return renderPageParts(land, minute, test::fixtureTable());
    };
    start(options);
    RawConnection usa(m_server->port());
    usa.send("GET /cgi-bin/wt.cgi?land=224&ID=Abc123xyZ HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(started.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);

    EXPECT_EQ(status("/cgi-bin/wt.cgi?cnt=604218&ID=Abc123xyZ&land=76"), 200);
    const auto failed = client().Get("/cgi-bin/wt.cgi?cnt=604218&ID=Abc123xyZ&land=17");
    open.set_value();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 503);
    EXPECT_NE(failed->body.find("503 Service Unavailable"), std::string::npos) << failed->body;
    const std::string page = usa.readResponse();
    EXPECT_TRUE(page.starts_with("HTTP/1.1 200 OK\r\n")) << page.substr(0, 100);
    EXPECT_TRUE(page.ends_with(renderPage(224, m_now, test::fixtureTable(), "Abc123xyZ")));
    // The renderer refers to this test's locals: the renders made ahead end here.
    m_server->stop();
    m_thread.join();
    m_server.reset();
}

// The health path names the tzdata release and the number of places, and answers 503 while
// the renders fail.
TEST_F(ServerTest, HealthSaysWhetherPagesCanBeMade) {
    auto failing = std::make_shared<std::atomic<bool>>(true);
    ServerOptions options;
    options.renderer = [failing](int land, Instant minute) {
        if (failing->load()) {
            throw std::runtime_error("no page");
        }
        return renderPageParts(land, minute, test::fixtureTable());
    };
    start(options);
    const std::string facts = " tzdata " + test::fixtureTable().tzdataRelease() + " places " +
                              std::to_string(test::fixtureTable().size()) + "\n";
    EXPECT_EQ(exchange("GET /healthz HTTP/1.1\r\n\r\n").substr(0, 21), "HTTP/1.1 503 Service ");
    failing->store(false);
    const auto healthy = client().Get("/healthz?from=balancer");
    ASSERT_TRUE(healthy);
    EXPECT_EQ(healthy->get_header_value("Content-Type"), "text/plain; charset=US-ASCII");
    EXPECT_EQ(healthy->body, "ok" + facts);
}

TEST_F(ServerTest, ServesThePageWithTheIdentifierEchoed) {
    start();
    const auto reply = client().Get("/cgi-bin/wt.cgi?cnt=604218&ID=Abc123xyZ&land=76");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(reply->get_header_value("Content-Type"), "text/html; charset=ISO-8859-1");
    EXPECT_EQ(reply->body, renderPage(76, m_now, test::fixtureTable(), "Abc123xyZ"));

    const auto head = client().Head("/cgi-bin/wt.cgi?cnt=604218&ID=Abc123xyZ&land=76");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(reply->body.size()));
    EXPECT_TRUE(head->body.empty());
}

// Missing, short, long or foreign-character identifiers are replaced by a new one.
TEST_F(ServerTest, ReplacesMalformedIdentifiers) {
    start();
    const std::string marker = "<A HREF=\"/cgi-bin/wt.cgi?ID=";
    for (const std::string& sent :
         std::vector<std::string>{"", "abc", "bad%20id%21x", std::string(33, 'a'),
                                  "abcd%26land%3D7xx", "ab%C3%A9cdefgh"}) {
        const auto reply = client().Get("/cgi-bin/wt.cgi?cnt=604218&ID=" + sent + "&land=76");
        ASSERT_TRUE(reply);
        ASSERT_EQ(reply->status, 200) << sent;
        const auto start = reply->body.find(marker) + marker.size();
        const std::string identifier =
            reply->body.substr(start, reply->body.find('&', start) - start);
        EXPECT_TRUE(isWellFormedIdentifier(identifier)) << identifier;
        EXPECT_EQ(identifier.size(), kNewIdentifierLength);
        EXPECT_EQ(reply->body, renderPage(76, m_now, test::fixtureTable(), identifier));
    }
    // No ID at all is the same as an empty one.
    const auto reply = client().Get("/cgi-bin/wt.cgi?land=76");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
}

TEST_F(ServerTest, RefusesBadCountryCodes) {
    start();
    const struct {
        const char* query;
        int status;
    } cases[] = {
        {"cnt=604218&ID=", 400},          {"cnt=604218&ID=&land=", 400},
        {"cnt=604218&ID=&land=x", 400},   {"cnt=604218&ID=&land=-5", 400},
        {"cnt=604218&ID=&land=7.0", 400}, {"cnt=604218&ID=&land=%37%36", 200},
        {"land=76&land=77", 400},         {"cnt=604218&ID=&land=0", 404},
        {"cnt=604218&ID=&land=237", 404}, {"cnt=604218&ID=&land=99999999999999999999", 404},
        {"cnt=604218&ID=&land=1", 404},  // a valid code the fixture has no places for
    };
    for (const auto& c : cases) {
        const auto reply = client().Get(std::string("/cgi-bin/wt.cgi?") + c.query);
        ASSERT_TRUE(reply) << c.query;
        EXPECT_EQ(reply->status, c.status) << c.query;
        EXPECT_EQ(reply->get_header_value("Content-Type"), "text/html; charset=ISO-8859-1");
        if (c.status != 200) {
            EXPECT_NE(reply->body.find("<H3>" + std::to_string(c.status)), std::string::npos);
        }
    }
}

TEST_F(ServerTest, OtherPathsAndMethods) {
    start();
    EXPECT_EQ(status("/"), 404);
    EXPECT_EQ(status("/cgi-bin/wtXcgi?land=76"), 404);
    EXPECT_EQ(status("/cgi-bin/wt.cgi/more?land=76"), 404);
    EXPECT_EQ(status("/CGI-BIN/WT.CGI?land=76"), 404);

    auto c = client();
    const auto post = c.Post("/cgi-bin/wt.cgi?land=76", "land=76", "text/plain");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 405);
    EXPECT_EQ(post->get_header_value("Allow"), "GET, HEAD");
    const auto del = c.Delete("/cgi-bin/wt.cgi?land=76");
    ASSERT_TRUE(del);
    EXPECT_EQ(del->status, 405);
    const auto options = c.Options("/cgi-bin/wt.cgi?land=76");
    ASSERT_TRUE(options);
    EXPECT_EQ(options->status, 405);
}

// A refused request ends its connection: the server says so and, should the client keep
// the connection open, sends nothing more (its body is not read as a next request).
TEST_F(ServerTest, RefusedRequestsEndTheConnection) {
    ServerOptions options;
    options.keepAliveTimeout = std::chrono::seconds{1};
    start(options);
    RawConnection connection(m_server->port());
    connection.send(
        "POST /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nHost: x\r\nContent-Length: 45\r\n\r\n"
        "GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nX: y\r\n\r\n");
    const std::string reply = connection.readResponse();
    EXPECT_EQ(reply.rfind("HTTP/1.1 405 Method Not Allowed\r\n", 0), 0u) << reply;
    EXPECT_NE(reply.find("Connection: close\r\n"), std::string::npos);
    EXPECT_EQ(connection.readToEnd(), "");
}

TEST_F(ServerTest, OversizedRequestLinesAndHeaders) {
    start();
    const std::string prefix = "/cgi-bin/wt.cgi?land=76&pad=";
    EXPECT_EQ(status(prefix + std::string(2048 - prefix.size(), 'a')), 200);
    EXPECT_EQ(status(prefix + std::string(2049 - prefix.size(), 'a')), 414);
    EXPECT_EQ(status(prefix + std::string(9000, 'a')), 414);

    auto c = client();
    const auto fewHeaders = c.Get("/cgi-bin/wt.cgi?land=76", {{"X-A", std::string(3000, 'a')},
                                                              {"X-B", std::string(3000, 'b')}});
    ASSERT_TRUE(fewHeaders);
    EXPECT_EQ(fewHeaders->status, 200);
    const auto manyHeaders = c.Get("/cgi-bin/wt.cgi?land=76", {{"X-A", std::string(3000, 'a')},
                                                               {"X-B", std::string(3000, 'b')},
                                                               {"X-C", std::string(3000, 'c')}});
    ASSERT_TRUE(manyHeaders);
    EXPECT_EQ(manyHeaders->status, 431);

    const std::string longLine = exchange(
        "GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nX-A: " + std::string(10000, 'a') + "\r\n\r\n");
    EXPECT_EQ(longLine.rfind("HTTP/1.1 431 ", 0), 0u) << longLine.substr(0, 80);
    EXPECT_NE(longLine.find("Connection: close\r\n"), std::string::npos);
    // Refused as soon as the limit is passed: no line end or head end is ever sent.
    const std::string endlessLine = exchange("GET /" + std::string(200000, 'a'));
    EXPECT_EQ(endlessLine.rfind("HTTP/1.1 414 ", 0), 0u) << endlessLine.substr(0, 80);
    std::string manyLines = "GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\n";
    for (int i = 0; i < 2000; ++i) {
        manyLines += "X-Filler-" + std::to_string(i) + ": " + std::string(40, 'f') + "\r\n";
    }
    const std::string endlessHead = exchange(manyLines);
    EXPECT_EQ(endlessHead.rfind("HTTP/1.1 431 ", 0), 0u) << endlessHead.substr(0, 80);
}

TEST_F(ServerTest, MalformedRequestsGet400) {
    start();
    for (const std::string& request : std::vector<std::string>{
             std::string("GARBAGE\r\n\r\n"), std::string("GET /cgi-bin/wt.cgi?land=76\r\n\r\n"),
             std::string("BREW /cgi-bin/wt.cgi?land=76\r\n\r\n"),
             std::string("BR(EW /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\n\r\n"),
             std::string("GET\0/\0HTTP/1.1\r\n\r\n", 18), std::string("\r\n\r\n")}) {
        const std::string reply = exchange(request);
        EXPECT_EQ(reply.rfind("HTTP/1.1 400 ", 0), 0u) << request << " -> " << reply;
        EXPECT_NE(reply.find("Connection: close\r\n"), std::string::npos) << reply;
    }
    // The server is still serving.
    EXPECT_EQ(status("/cgi-bin/wt.cgi?land=76"), 200);
}

// A well-formed request line with a method the server does not know gets 405, like
// the known methods other than GET and HEAD.
TEST_F(ServerTest, UnknownMethodsGet405) {
    start();
    for (const char* request :
         {"FOO /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nHost: x\r\n\r\n", "BREW / HTTP/1.0\r\n\r\n",
          "get /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\n\r\n"}) {
        const std::string reply = exchange(request);
        EXPECT_EQ(reply.rfind("HTTP/1.1 405 Method Not Allowed\r\n", 0), 0u) << request << reply;
        EXPECT_NE(reply.find("\r\nAllow: GET, HEAD\r\n"), std::string::npos) << reply;
        EXPECT_NE(reply.find("\r\nConnection: close\r\n"), std::string::npos) << reply;
    }
}

// Heads with a bare LF line end, which no standard client sends, are refused, and the
// connection is closed rather than read out of step.
TEST_F(ServerTest, RefusesBareLineFeeds) {
    start();
    for (const char* request :
         {"GET /cgi-bin/wt.cgi?land=76&ID=Abc123xyZ HTTP/1.1\nHost: x\n\n",
          "GET /cgi-bin/wt.cgi?land=76&ID=Abc123xyZ HTTP/1.1\r\nHost: x\n\r\n"}) {
        RawConnection connection(m_server->port());
        ASSERT_TRUE(connection.send(request));
        const std::string reply = connection.readToEnd();
        EXPECT_EQ(reply.rfind("HTTP/1.1 400 Bad Request\r\n", 0), 0u) << request << reply;
        EXPECT_NE(reply.find("\r\nConnection: close\r\n"), std::string::npos) << reply;
    }
}

// The Keep-Alive header states the server's own limits, and the server keeps to them:
// the last allowed request is answered with Connection: close and the connection ends.
TEST_F(ServerTest, KeepAliveHeaderStatesTheLimits) {
    ServerOptions options;
    options.keepAliveMaxRequests = 2;
    options.keepAliveTimeout = std::chrono::seconds{1};
    start(options);
    RawConnection connection(m_server->port());
    const std::string get = "GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_TRUE(connection.send(get));
    const std::string first = connection.readResponse();
    EXPECT_NE(first.find("\r\nKeep-Alive: timeout=1, max=2\r\n"), std::string::npos) << first;
    ASSERT_TRUE(connection.send(get));
    const std::string second = connection.readResponse();
    EXPECT_EQ(second.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(second.find("\r\nConnection: close\r\n"), std::string::npos) << second;
    EXPECT_EQ(connection.readToEnd(), "");
    // Idle past the keep-alive time-out, the connection is closed.
    RawConnection idle(m_server->port());
    ASSERT_TRUE(idle.send(get));
    EXPECT_NE(idle.readResponse().find("\r\nKeep-Alive: timeout=1, max=2\r\n"), std::string::npos);
    EXPECT_EQ(idle.readToEnd(), "");
}

// Connections that are silent, stalled in a head, or idle between requests hold no
// worker: with more of them than workers, and time-outs far beyond the test's, a request
// is still answered. (A server that gave each a worker would hang here.)
TEST_F(ServerTest, WaitingConnectionsHoldNoWorker) {
    ServerOptions options;
    options.threads = 2;
    options.ioTimeout = std::chrono::hours{1};
    options.headTimeout = std::chrono::hours{1};
    options.keepAliveTimeout = std::chrono::hours{1};
    start(options);
    std::vector<std::unique_ptr<RawConnection>> waiting;
    for (int i = 0; i < 4; ++i) {
        waiting.push_back(std::make_unique<RawConnection>(m_server->port()));
        auto& stalled = waiting.emplace_back(std::make_unique<RawConnection>(m_server->port()));
        ASSERT_TRUE(stalled->send("GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nHost: x\r\n"));
        auto& kept = waiting.emplace_back(std::make_unique<RawConnection>(m_server->port()));
        ASSERT_TRUE(kept->send("GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nHost: x\r\n\r\n"));
        EXPECT_EQ(kept->readResponse().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    }
    EXPECT_EQ(status("/cgi-bin/wt.cgi?land=76"), 200);
    // A stalled head that is completed later is answered too.
    ASSERT_TRUE(waiting[1]->send("\r\n"));
    EXPECT_EQ(waiting[1]->readResponse().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
}

// Beyond the connection limit the connection waiting longest is closed, and the new one
// served; a connection whose next request has begun (pipelined) is waiting too.
TEST_F(ServerTest, ClosesTheLongestWaitingBeyondTheLimit) {
    ServerOptions options;
    options.maxConnections = 4;
    options.ioTimeout = std::chrono::hours{1};
    options.headTimeout = std::chrono::hours{1};
    options.keepAliveTimeout = std::chrono::hours{1};
    start(options);
    std::vector<std::unique_ptr<RawConnection>> waiting;
    waiting.push_back(std::make_unique<RawConnection>(m_server->port()));
    ASSERT_TRUE(waiting.back()->send("GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nHost: x\r\n\r\nG"));
    EXPECT_EQ(waiting.back()->readResponse().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    for (int i = 0; i < 5; ++i) {
        waiting.push_back(std::make_unique<RawConnection>(m_server->port()));
        ASSERT_TRUE(waiting.back()->connected());
    }
    // Seven connections for four places: the three waiting longest are closed.
    EXPECT_EQ(status("/cgi-bin/wt.cgi?land=76"), 200);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(waiting[static_cast<std::size_t>(i)]->closesSilently()) << i;
    }
}

// Stopping does not wait for a client stalled in the middle of a head, however long
// its time-out. (A server that waited for it would hang here.)
TEST_F(ServerTest, StopsWithoutWaitingForStalledHeads) {
    ServerOptions options;
    options.ioTimeout = std::chrono::hours{1};
    options.headTimeout = std::chrono::hours{1};
    start(options);
    RawConnection stalled(m_server->port());
    ASSERT_TRUE(stalled.send("GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nHo"));
    // Answered after the stalled one was accepted.
    EXPECT_EQ(status("/cgi-bin/wt.cgi?land=76"), 200);
    m_server->stop();
    m_thread.join();
    m_server.reset();
    EXPECT_TRUE(stalled.closesSilently());
}

// The desktop program's request, byte for byte: 200 OK, a header block that fits its
// 1024-byte status buffer, then the connection closes after the page.
TEST_F(ServerTest, AnswersTheDesktopProgramsRequest) {
    start();
    const std::string reply = exchange(
        "GET /cgi-bin/wt.cgi?cnt=604218&ID=&land=224 HTTP/1.1\r\n"
        "Accept-Language: en\r\nConnection: close\r\nUser-Agent: Vexor-Horalux 0.1 (Windows 5.1, "
        "x86, en)\r\nHost: 127.0.0.1\r\nCache-Control: no-cache\r\n\r\n");
    EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    const auto headerEnd = reply.find("\r\n\r\n");
    ASSERT_NE(headerEnd, std::string::npos);
    EXPECT_LT(headerEnd + 4, 1024u);
    const std::string body = reply.substr(headerEnd + 4);
    EXPECT_NE(body.find("<TR><TD VALIGN=Top>New York</TD>"), std::string::npos);
    EXPECT_TRUE(body.ends_with("</BODY></HTML>\n"));
}

TEST_F(ServerTest, KeepsConnectionsAlive) {
    start();
    RawConnection connection(m_server->port());
    const std::string get = "GET /cgi-bin/wt.cgi?land=76&ID=Abc123xyZ HTTP/1.1\r\nHost: x\r\n";
    const std::string page = renderPage(76, m_now, test::fixtureTable(), "Abc123xyZ");
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(connection.send(get + "\r\n"));
        const std::string reply = connection.readResponse();
        EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << i;
        EXPECT_TRUE(reply.ends_with("\r\n\r\n" + page)) << i;
    }
    // Pipelined: the second request arrives with the first.
    ASSERT_TRUE(connection.send(get + "\r\n" + get + "\r\n"));
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(connection.readResponse().ends_with("\r\n\r\n" + page)) << i;
    }
    ASSERT_TRUE(connection.send(get + "Connection: close\r\n\r\n"));
    const std::string last = connection.readToEnd();
    EXPECT_EQ(last.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_TRUE(last.ends_with(page));
}

// An HTTP/1.0 client keeps its connection only when it asks and is told so.
TEST_F(ServerTest, KeepsHttp10ConnectionsAliveOnlyWhenAsked) {
    start();
    RawConnection connection(m_server->port());
    const std::string get = "GET /cgi-bin/wt.cgi?land=76 HTTP/1.0\r\n";
    ASSERT_TRUE(connection.send(get + "Connection: keep-alive\r\n\r\n"));
    EXPECT_NE(connection.readResponse().find("\r\nConnection: keep-alive\r\n"), std::string::npos);
    ASSERT_TRUE(connection.send(get + "\r\n"));
    const std::string last = connection.readToEnd();
    EXPECT_EQ(last.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(last.find("\r\nConnection: close\r\n"), std::string::npos);
}

// A silent connection and a stalled half request are dropped once their time-out passes.
TEST_F(ServerTest, IdleAndSlowClientsTimeOut) {
    ServerOptions options;
    options.threads = 3;
    options.ioTimeout = std::chrono::seconds{1};
    options.headTimeout = std::chrono::seconds{1};
    options.keepAliveTimeout = std::chrono::seconds{1};
    start(options);
    RawConnection idle(m_server->port());
    RawConnection slow(m_server->port());
    ASSERT_TRUE(idle.connected());
    ASSERT_TRUE(slow.connected());
    ASSERT_TRUE(slow.send("GET /cgi-bin/wt.cgi?la"));
    EXPECT_EQ(status("/cgi-bin/wt.cgi?land=76"), 200);
    EXPECT_EQ(idle.readToEnd(), "");
    const std::string slowReply = slow.readToEnd();
    EXPECT_EQ(slowReply.find("200 OK"), std::string::npos) << slowReply;
}

TEST_F(ServerTest, LogsOneLinePerRequest) {
    start();
    const std::string reply = exchange(
        "GET /cgi-bin/wt.cgi?cnt=604218&ID=&land=76 HTTP/1.1\r\nHost: x\r\n"
        "Referer: http://example.org/\"q\"\r\nUser-Agent: Bad\" \"\\\xE9\r\n"
        "Connection: close\r\n\r\n");
    EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << reply.substr(0, 80);
    // A DEL byte is not allowed in a target: the request is refused, and logged escaped.
    EXPECT_EQ(status("/nothing\x7F"), 400);
    // A HEAD answer sends no body: no bytes are logged.
    EXPECT_EQ(exchange("HEAD /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nConnection: close\r\n\r\n")
                  .rfind("HTTP/1.1 200 OK\r\n", 0),
              0u);
    // The line is written just after the reply; wait for it (20 s guard against a hang).
    std::unique_lock lock(m_logMutex);
    m_logged.wait_for(lock, std::chrono::seconds{20}, [this] { return m_log.size() >= 3; });
    ASSERT_EQ(m_log.size(), 3u);
    // The connections may log in any order.
    std::sort(m_log.begin(), m_log.end());
    EXPECT_EQ(
        m_log[0],
        "127.0.0.1 - - [07/Dec/2026:04:45:00 +0000] \"GET "
        "/cgi-bin/wt.cgi?cnt=604218&ID=&land=76 HTTP/1.1\" 200 " +
            std::to_string(renderPage(76, m_now, test::fixtureTable(), "0123456789abcdef").size()) +
            " \"http://example.org/\\x22q\\x22\" \"Bad\\x22 \\x22\\x5C\\xE9\"");
    EXPECT_EQ(m_log[1].find(
                  "127.0.0.1 - - [07/Dec/2026:04:45:00 +0000] \"GET /nothing\\x7F HTTP/1.1\" 400 "),
              0u)
        << m_log[1];
    EXPECT_EQ(m_log[2],
              "127.0.0.1 - - [07/Dec/2026:04:45:00 +0000] \"HEAD /cgi-bin/wt.cgi?land=76 "
              "HTTP/1.1\" 200 - \"-\" \"-\"");
}

// A client whose page is not made within its time-out is told to ask again (503 with
// Retry-After), and so is a health check that cannot have its page in time; the page made
// later goes to the next client, and each answer is logged once.
TEST_F(ServerTest, PageNotMadeInTimeAnswers503) {
    std::promise<void> open;
    std::shared_future<void> opened = open.get_future().share();
    ServerOptions options;
    options.threads = 1;
    // The first two answers wait for the gate, not on the clock: long enough for the page
    // made once it opens to reach the next client on a busy machine.
    options.ioTimeout = std::chrono::seconds{2};
    options.renderer = [opened](int land, Instant minute) {
        opened.wait();
        return renderPageParts(land, minute, test::fixtureTable());
    };
    start(options);
    const std::string late = exchange("GET /cgi-bin/wt.cgi?land=76&ID=LateOne99 HTTP/1.1\r\n\r\n");
    EXPECT_EQ(late.rfind("HTTP/1.1 503 Service Unavailable\r\n", 0), 0u) << late;
    EXPECT_NE(late.find("\r\nRetry-After: 1\r\n"), std::string::npos) << late;
    const std::string health = exchange("GET /healthz HTTP/1.1\r\n\r\n");
    EXPECT_EQ(health.rfind("HTTP/1.1 503 Service Unavailable\r\n", 0), 0u) << health;
    EXPECT_NE(health.find("\r\nRetry-After: 1\r\n"), std::string::npos) << health;
    EXPECT_NE(health.find("\r\n\r\nunavailable tzdata "), std::string::npos) << health;
    open.set_value();
    EXPECT_EQ(status("/cgi-bin/wt.cgi?land=76&ID=NextOne99"), 200);
    std::unique_lock lock(m_logMutex);
    m_logged.wait_for(lock, std::chrono::seconds{20}, [this] { return m_log.size() >= 3; });
    ASSERT_EQ(m_log.size(), 3u);
    EXPECT_NE(m_log[0].find("LateOne99 HTTP/1.1\" 503 "), std::string::npos) << m_log[0];
    EXPECT_NE(m_log[1].find("/healthz HTTP/1.1\" 503 "), std::string::npos) << m_log[1];
    EXPECT_NE(m_log[2].find("NextOne99 HTTP/1.1\" 200 "), std::string::npos) << m_log[2];
    lock.unlock();
    // The renderer refers to this test's locals: the renders made ahead end here.
    m_server->stop();
    m_thread.join();
    m_server.reset();
}

// Over a slow link (a small send buffer, a small receive buffer read in paced slices) a
// client that keeps reading gets the whole page, however much longer than the time-out it
// takes; one that stops reading is cut off once nothing went for the time-out. The log and
// the byte count record what each took, and the cut answer is marked so.
TEST_F(ServerTest, SlowReadersGetWholePagesAndStalledOnesAreCut) {
    Metrics metrics;
    ServerOptions options;
    options.ioTimeout = std::chrono::seconds{1};
    options.sendBufferBytes = 65536;
    options.metrics = &metrics;
    // As large as the USA's page.
    const auto bigPage = [](int land, Instant minute) {
        PageParts parts = renderPageParts(land, minute, test::fixtureTable());
        parts.tail += std::string(2 * 1024 * 1024, 'x');
        return parts;
    };
    options.renderer = bigPage;
    start(options);
    const PageParts parts = bigPage(76, m_now);
    const std::string page = parts.head + "SlowOne99" + parts.tail;

    // Made before the readers ask, so that their time-out runs on the sending alone; asked
    // again while it is not made in time.
    int warmed = 0;
    std::size_t asked = 0;
    while (warmed != 200 && asked < 20) {
        warmed = status("/cgi-bin/wt.cgi?land=76&ID=Early0099");
        ++asked;
    }
    ASSERT_EQ(warmed, 200);

    RawConnection stalled(m_server->port(), 16384);
    ASSERT_TRUE(stalled.send("GET /cgi-bin/wt.cgi?land=76&ID=Stalled99 HTTP/1.1\r\n\r\n"));
    RawConnection slow(m_server->port(), 16384);
    ASSERT_TRUE(slow.send(
        "GET /cgi-bin/wt.cgi?land=76&ID=SlowOne99 HTTP/1.1\r\nConnection: close\r\n\r\n"));
    // 16 KiB every 20 ms: the page takes about 2.6 s.
    const std::string reply = slow.readToEndPaced(16384, std::chrono::milliseconds{20});
    EXPECT_TRUE(reply.ends_with("\r\n\r\n" + page)) << reply.size() << " of " << page.size();

    std::unique_lock lock(m_logMutex);
    m_logged.wait_for(lock, std::chrono::seconds{20},
                      [this, asked] { return m_log.size() >= asked + 2; });
    ASSERT_EQ(m_log.size(), asked + 2);
    // The body bytes of a line: the number after its status.
    const auto loggedBytes = [](const std::string& line) -> std::uint64_t {
        const auto status = line.find(" HTTP/1.1\" ");
        if (status == std::string::npos || line.compare(status + 15, 1, "-") == 0) {
            return 0;
        }
        return std::stoull(line.substr(status + 15));
    };
    std::uint64_t loggedTotal = 0;
    std::string slowLine;
    std::string stalledLine;
    for (const std::string& line : m_log) {
        loggedTotal += loggedBytes(line);
        if (line.find("SlowOne99") != std::string::npos) {
            slowLine = line;
        } else if (line.find("Stalled99") != std::string::npos) {
            stalledLine = line;
        }
    }
    EXPECT_NE(slowLine.find("\" 200 " + std::to_string(page.size()) + " \"-\" \"-\""),
              std::string::npos)
        << slowLine;
    EXPECT_FALSE(slowLine.ends_with(" cut")) << slowLine;
    ASSERT_NE(stalledLine.find("\" 200 "), std::string::npos) << stalledLine;
    EXPECT_LT(loggedBytes(stalledLine), page.size());
    EXPECT_TRUE(stalledLine.ends_with(" cut")) << stalledLine;
    const std::string text = metrics.text();
    const std::string name = "\nzonarium_http_body_bytes_sent_total ";
    const auto counted = text.find(name);
    ASSERT_NE(counted, std::string::npos) << text;
    EXPECT_EQ(std::stod(text.substr(counted + name.size())), static_cast<double>(loggedTotal));
}

// A graceful stop closes kept-alive connections waiting for a request at once, and waits
// only for the answer under way, whose connection closes once it is sent; with every
// time-out and the grace an hour, the stop ends then. (A stop that waited for the idle
// connection would hang here.)
TEST_F(ServerTest, GracefulStopWaitsOnlyForAnswersUnderWay) {
    std::promise<void> open;
    std::shared_future<void> opened = open.get_future().share();
    std::promise<void> started;
    std::once_flag startedOnce;
    ServerOptions options;
    options.ioTimeout = std::chrono::hours{1};
    options.headTimeout = std::chrono::hours{1};
    options.keepAliveTimeout = std::chrono::hours{1};
    options.renderer = [&](int land, Instant minute) {
        if (land == 224) {
            std::call_once(startedOnce, [&] { started.set_value(); });
            opened.wait();
        }
        return renderPageParts(land, minute, test::fixtureTable());
    };
    start(options);
    RawConnection idle(m_server->port());
    ASSERT_TRUE(idle.send("GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_EQ(idle.readResponse().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    RawConnection busy(m_server->port());
    ASSERT_TRUE(busy.send("GET /cgi-bin/wt.cgi?land=224 HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_EQ(started.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
    // Accepted before the stop, its request still on the way: it is not an idle connection.
    RawConnection fresh(m_server->port());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (m_server->openConnections() < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    ASSERT_EQ(m_server->openConnections(), 3u);

    m_server->stopGracefully(std::chrono::hours{1});
    EXPECT_TRUE(idle.closesSilently());
    ASSERT_TRUE(fresh.send("GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nHost: x\r\n\r\n"));
    const std::string late = fresh.readResponse();
    EXPECT_EQ(late.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << late.substr(0, 80);
    EXPECT_NE(late.find("\r\nConnection: close\r\n"), std::string::npos);
    open.set_value();
    const std::string last = busy.readToEnd();
    EXPECT_EQ(last.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << last.substr(0, 80);
    EXPECT_NE(last.find("\r\nConnection: close\r\n"), std::string::npos);
    m_thread.join();
    m_server.reset();
}

// Hostile clients. A Range header never makes the reply longer than the page: the whole page
// is sent, whatever ranges are asked for.
TEST_F(ServerTest, RangesNeverEnlargeTheReply) {
    start();
    const std::string page = renderPage(76, m_now, test::fixtureTable(), "Abc123xyZ");
    std::string manyRanges = "bytes=0-";
    while (manyRanges.size() < 7000) {
        manyRanges += ",0-";
    }
    for (const std::string& range :
         {std::string("bytes=0-999999"), std::string("bytes=5-2"), manyRanges}) {
        const std::string reply = exchange(
            "GET /cgi-bin/wt.cgi?land=76&ID=Abc123xyZ HTTP/1.1\r\n"
            "Range: " +
            range + "\r\nConnection: close\r\n\r\n");
        EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << range.substr(0, 20);
        EXPECT_NE(reply.find("\r\nContent-Length: " + std::to_string(page.size()) + "\r\n"),
                  std::string::npos);
        EXPECT_TRUE(reply.ends_with("\r\n\r\n" + page)) << range.substr(0, 20);
    }
}

// A request body is read and dropped, or refused with 413; a request inside it is never
// answered, with Content-Length or chunked.
TEST_F(ServerTest, BodiesAreNeverReadAsRequests) {
    start();
    const std::string smuggled = "GET /smuggled HTTP/1.1\r\nHost: x\r\n\r\n";
    const std::string chunk = [&] {
        char size[16];
        std::snprintf(size, sizeof size, "%zx", smuggled.size());
        return std::string(size) + "\r\n" + smuggled + "\r\n0\r\n\r\n";
    }();
    const std::string close = "GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nConnection: close\r\n\r\n";
    for (const std::string& request :
         {"GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nContent-Length: " +
              std::to_string(smuggled.size()) + "\r\n\r\n" + smuggled + close,
          "GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n" + chunk +
              close}) {
        RawConnection connection(m_server->port());
        ASSERT_TRUE(connection.send(request));
        const std::string first = connection.readResponse();
        const std::string second = connection.readResponse();
        EXPECT_EQ(first.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << first.substr(0, 80);
        EXPECT_EQ(second.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << second.substr(0, 80);
        EXPECT_NE(second.find("\r\nConnection: close\r\n"), std::string::npos);
        EXPECT_EQ(connection.readToEnd(), "");
    }
    // Beyond the body limit: 413 and the connection ends; the body is not parsed.
    RawConnection large(m_server->port());
    ASSERT_TRUE(large.send(
        "GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nContent-Length: 100000\r\n\r\n" + smuggled));
    const std::string refused = large.readToEnd();
    EXPECT_EQ(refused.rfind("HTTP/1.1 413 ", 0), 0u) << refused.substr(0, 80);
    EXPECT_EQ(refused.find("HTTP/1.1 404"), std::string::npos);
    const std::lock_guard lock(m_logMutex);
    for (const std::string& line : m_log) {
        EXPECT_EQ(line.find("/smuggled"), std::string::npos) << line;
    }
}

// The head deadline runs from a request's first byte over the whole head: a head left
// unfinished is dropped on it although the idle time-outs are an hour, on a new connection
// and on a kept-alive one.
TEST_F(ServerTest, HeadDeadlineDropsUnfinishedHeads) {
    ServerOptions options;
    options.ioTimeout = std::chrono::hours{1};
    options.keepAliveTimeout = std::chrono::hours{1};
    options.headTimeout = std::chrono::milliseconds{50};
    start(options);
    RawConnection fresh(m_server->port());
    ASSERT_TRUE(fresh.send("GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\nHost"));
    EXPECT_EQ(fresh.readToEnd(), "");
    RawConnection kept(m_server->port());
    ASSERT_TRUE(kept.send("GET /cgi-bin/wt.cgi?land=76 HTTP/1.1\r\n\r\nGET /cgi-bin/wt.c"));
    EXPECT_EQ(kept.readResponse().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(kept.readToEnd(), "");
}

// Under the common soft limit of 1024, the connections and the cache's memory files both
// fit beside the server's own; without a limit, every connection asked for is allowed.
TEST(DescriptorSharesTest, LeaveRoomForTheCachesFiles) {
    const DescriptorShares shares = shareDescriptors(100000, 1024, 2);
    EXPECT_LE(shares.connections + shares.memoryFiles + 32, 1024U);
    EXPECT_GE(shares.connections, 256U);
    EXPECT_GE(shares.memoryFiles, PageCache::kMemoryFilesHeld);
    EXPECT_EQ(shareDescriptors(100000, 0, 2).connections, 100000U);
}

// Under a limit of 256 open descriptors, with every country's page made and its next
// minute's made ahead (two memory files each), the health check, a new request for India and
// a scrape are answered, and once the renders are done no thread spins meanwhile.
TEST(DescriptorSharesTest, LowLimitLeavesHealthAndPagesAnswering) {
    const CityTableLoad load = loadCityTable(ZONARIUM_TEST_PLACES);
    ASSERT_TRUE(load) << load.error;
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct Restore {
        rlimit limit;
        ~Restore() { ::setrlimit(RLIMIT_NOFILE, &limit); }
    } restore{saved};
    rlimit low = saved;
    low.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);

    // The last second of the minute: every country's render ahead of the next minute is due
    // as soon as its page is made, so all renders end while the countries are asked.
    const Instant now = test::at("2026-12-07T04:45:59Z");
    std::mutex renderMutex;
    std::condition_variable rendered;
    int renders = 0;
    Metrics metrics;
    MetricsListener scrapes(metrics);
    ASSERT_TRUE(scrapes.bind("127.0.0.1", 0));
    scrapes.start();
    ServerOptions options;
    options.threads = 2;
    options.renderer = [&](int land, Instant minute) {
        PageParts parts = renderPageParts(land, minute, load.table);
        const std::lock_guard lock(renderMutex);
        ++renders;
        rendered.notify_all();
        return parts;
    };
    ZonariumServer server(
        load.table, options, [now] { return now; }, nullptr);
    ASSERT_TRUE(server.bind("127.0.0.1", 0));
    std::thread thread([&server] { server.run(); });
    httplib::Client client("127.0.0.1", server.port());
    client.set_keep_alive(true);
    client.set_read_timeout(20);
    for (int land = kFirstLand; land <= kLastLand; ++land) {
        const auto reply = client.Get("/cgi-bin/wt.cgi?land=" + std::to_string(land));
        EXPECT_TRUE(reply && reply->status == 200) << land;
    }
    RawConnection scrape(scrapes.port());
    EXPECT_TRUE(scrape.send("GET /metrics HTTP/1.1\r\n\r\n") &&
                scrape.readResponse().starts_with("HTTP/1.1 200 OK\r\n"));

    httplib::Client fresh("127.0.0.1", server.port());
    fresh.set_read_timeout(20);
    const auto health = fresh.Get("/healthz");
    EXPECT_TRUE(health && health->status == 200);
    const auto india = fresh.Get("/cgi-bin/wt.cgi?land=76");
    EXPECT_TRUE(india && india->status == 200);
    {
        // Each country's page of this minute and of the next; no render is left to come.
        std::unique_lock lock(renderMutex);
        EXPECT_TRUE(rendered.wait_for(lock, std::chrono::seconds{60}, [&] {
            return renders >= 2 * (kLastLand - kFirstLand + 1);
        })) << renders;
    }
    // Idle now: a thread retrying a failed accept without pause would use a core.
    const auto cpu = [] {
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    };
    const auto before = cpu();
    std::this_thread::sleep_for(std::chrono::seconds{1});
    EXPECT_LT(cpu() - before, std::chrono::milliseconds{500});
    server.stop();
    thread.join();
    scrapes.stop();
}

}  // namespace
}  // namespace zonarium
