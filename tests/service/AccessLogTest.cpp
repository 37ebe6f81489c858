#include "http/AccessLog.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

namespace zonarium {
namespace {

// Combined format: ident and user "-", the UTC time with English month names, "-" for no
// body and for absent headers; what the client sent never leaves its quotes or its line.
TEST(AccessLogTest, LineFormat) {
    EXPECT_EQ(accessLogLine({.peer = "127.0.0.1",
                             .requestLine = "GET /a\"b\\c\x7F\xE9 HTTP/1.1",
                             .status = 200,
                             .bodyBytes = 1234,
                             .referer = "http://example.org/?q=\"x\"",
                             .userAgent = "Bad\" \"-\" 200 1\n\r\x1B[2J\\"},
                            test::at("2026-01-05T09:03:07Z")),
              "127.0.0.1 - - [05/Jan/2026:09:03:07 +0000] \"GET /a\\x22b\\x5Cc\\x7F\\xE9 "
              "HTTP/1.1\" 200 1234 \"http://example.org/?q=\\x22x\\x22\" "
              "\"Bad\\x22 \\x22-\\x22 200 1\\x0A\\x0D\\x1B[2J\\x5C\"");
    EXPECT_EQ(accessLogLine({.peer = "::1", .requestLine = std::string(700, 'a'), .status = 414},
                            test::at("2026-12-07T04:45:00Z")),
              "::1 - - [07/Dec/2026:04:45:00 +0000] \"" + std::string(600, 'a') +
                  "...\" 414 - \"-\" \"-\"");
    const std::string agent =
        accessLogLine({.peer = "::1", .status = 200, .userAgent = std::string(400, 'u')},
                      test::at("2026-12-07T04:45:00Z"));
    EXPECT_TRUE(agent.ends_with(" \"" + std::string(300, 'u') + "...\"")) << agent;
}

// A reader that does not drain the pipe never holds up post(): what does not fit is
// dropped, counted, and the count is written once the reader takes lines again.
TEST(AccessLogTest, StalledReaderDropsAndCounts) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::string received;
    {
        AccessLog log(ends[1], 8);
        const std::string line(1000, 'x');
        // Far more than the pipe and the queue hold together.
        for (int i = 0; i < 5000; ++i) {
            log.post(line);
        }
        const std::uint64_t dropped = log.dropped();
        EXPECT_GT(dropped, 0u);
        // Every drop is reported, maybe over several notes, once the reader drains the pipe.
        const auto reported = [&received] {
            std::uint64_t sum = 0;
            for (auto at = received.find("zonariumd: "); at != std::string::npos;
                 at = received.find("zonariumd: ", at + 1)) {
                if (received.find(" log lines dropped\n", at) != std::string::npos) {
                    sum += std::stoull(received.substr(at + 11));
                }
            }
            return sum;
        };
        char buffer[65536];
        while (reported() < dropped) {
            pollfd readable{ends[0], POLLIN, 0};
            ASSERT_EQ(::poll(&readable, 1, 20000), 1) << "drops not reported: " << reported();
            const auto n = ::read(ends[0], buffer, sizeof buffer);
            ASSERT_GT(n, 0);
            received.append(buffer, static_cast<std::size_t>(n));
        }
        EXPECT_EQ(reported(), dropped);
    }
    ::close(ends[0]);
    ::close(ends[1]);
}

}  // namespace
}  // namespace zonarium
