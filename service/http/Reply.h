#pragma once

#include "model/Page.h"
#include "model/PageCache.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace zonarium {

// An answer before it is written: status, and a body of `front` followed by the tail of
// `parts` when given, so a cached page goes out without being copied.
struct Reply {
    int status = 200;
    // Stated as Content-Type; a string that lives as long as the program.
    std::string_view contentType = kPageContentType;
    // Body bytes sent first, owned by the reply.
    std::string front;
    // Cached page whose tail follows `front`; may be null.
    std::shared_ptr<const CachedPage> parts;
    // Stated as Retry-After when not zero: how long the client should wait before asking
    // again.
    std::chrono::seconds retryAfter{0};
};

// A short page naming `status` and `reason`.
Reply errorReply(int status, std::string_view reason);

// What an answer's head states besides its status.
struct ReplyHeadFields {
    int status = 200;
    std::string_view contentType = kPageContentType;
    // Body bytes, also when the body is not sent (HEAD).
    std::size_t contentLength = 0;
    // The connection closes after this answer.
    bool closes = false;
    // The request was HTTP/1.0, whose client keeps a connection only when told so.
    bool http10 = false;
    // Stated in Keep-Alive when the connection stays: how long it waits (rounded up to
    // seconds) and for how many requests in all.
    std::chrono::milliseconds keepAliveTimeout{0};
    std::size_t keepAliveMaxRequests = 0;
    // Stated as Retry-After when not zero.
    std::chrono::seconds retryAfter{0};
};

// Writes the status line and header block of an HTTP/1.1 answer into `head`, through Beast's
// serializer; returns its length, 0 when it does not fit.
std::size_t writeReplyHead(std::span<char> head, const ReplyHeadFields& fields);

}  // namespace zonarium
