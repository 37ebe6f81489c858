#pragma once

#include "http/Reply.h"
#include "model/LocalTime.h"
#include "model/PageCache.h"

#include <functional>
#include <string_view>

namespace zonarium {

// Source of the current instant; replaced in tests.
using Clock = std::function<Instant()>;
// Receives the answer to one request, at once or later from a render thread.
using Answer = std::function<void(Reply)>;

// Turns a request target into its answer: the health line for /healthz, a country's page
// for /cgi-bin/wt.cgi?..&land=N, a short error page for anything else. Knows nothing of
// connections. Thread-safe; `cache` must outlive it.
class Router {
public:
    // Seconds a client told 503 is asked to wait before asking again.
    static constexpr std::chrono::seconds kRetryAfter{1};

    Router(PageCache& cache, Clock clock) : m_cache(cache), m_clock(std::move(clock)) {}

    // Answers a GET or HEAD of `target` through `answer`: at once, or once its page is made.
    void route(std::string_view target, Answer answer) const;
    // The answer to `target` when its page was not made in the time a client may wait:
    // 503 with Retry-After.
    Reply late(std::string_view target) const;

private:
    // 200 when the page of the country with the fewest places can be had for this minute,
    // from the cache or rendered now, else 503.
    void health(Answer answer) const;

    PageCache& m_cache;
    Clock m_clock;
};

}  // namespace zonarium
