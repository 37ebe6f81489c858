#include "http/Reply.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace zonarium {
namespace {

std::string head(const ReplyHeadFields& fields, std::size_t room = 512) {
    std::array<char, 512> memory{};
    const std::size_t length = writeReplyHead(std::span(memory.data(), room), fields);
    return {memory.data(), length};
}

// The head states the length, and how the connection goes on: closed, kept for an
// HTTP/1.0 client only when told so, with the server's own limits; a head that does not fit
// its memory is not cut short but refused whole.
TEST(ReplyTest, HeadStatesLengthAndConnection) {
    ReplyHeadFields fields;
    fields.contentLength = 94316;
    fields.keepAliveTimeout = std::chrono::milliseconds{4500};
    fields.keepAliveMaxRequests = 100;
    EXPECT_EQ(head(fields),
              "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=ISO-8859-1\r\n"
              "Cache-Control: no-store\r\nContent-Length: 94316\r\n"
              "Keep-Alive: timeout=5, max=100\r\n\r\n");

    fields.http10 = true;
    EXPECT_NE(head(fields).find("\r\nConnection: keep-alive\r\nKeep-Alive: "), std::string::npos);

    fields.status = 405;
    fields.closes = true;
    const std::string refused = head(fields);
    EXPECT_EQ(refused.rfind("HTTP/1.1 405 Method Not Allowed\r\n", 0), 0u);
    EXPECT_NE(refused.find("\r\nAllow: GET, HEAD\r\n"), std::string::npos);
    EXPECT_NE(refused.find("\r\nConnection: close\r\n\r\n"), std::string::npos);
    EXPECT_EQ(refused.find("Keep-Alive"), std::string::npos);

    EXPECT_EQ(head(fields, refused.size() - 1), "");
    EXPECT_EQ(head(fields, refused.size()), refused);
}

}  // namespace
}  // namespace zonarium
