#pragma once

#include "model/Page.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <thread>

namespace zonarium {

class Metrics;

// Settings of the HTTP front.
struct ServerOptions {
    // Threads serving connections, each with an event loop of its own; one per processor by
    // default. No thread is held by a waiting connection.
    int threads = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    // Threads rendering pages, apart from those serving connections, so that a page being
    // made holds up no other answer.
    int renderThreads = 2;
    // Makes the pages instead of the table's country pages when set; for tests.
    PageRenderer renderer;
    // Counts answers and page render times when set; must outlive the server.
    Metrics* metrics = nullptr;
    // Open connections at most (further capped by the descriptor limit); beyond it the
    // connection waiting longest for a request is closed to make room.
    std::size_t maxConnections = 4096;
    // Longest wait for the first byte of the first request on a new connection, for a
    // request body, for a page being made (then 503), and for the client to take any byte of
    // a reply: a reply taken slowly is never cut, one not taken at all for this long is.
    std::chrono::milliseconds ioTimeout{5000};
    // Longest time from the first byte of a request to the end of its head.
    std::chrono::milliseconds headTimeout{10000};
    // Longest wait for the first byte of the next request on a kept-alive connection; sent
    // (rounded up to seconds) as Keep-Alive's timeout.
    std::chrono::milliseconds keepAliveTimeout{5000};
    // Requests served on one connection before it is closed; sent as Keep-Alive's max.
    std::size_t keepAliveMaxRequests = 10000;
    // Longest accepted request target (path and query), bytes; longer gets 414.
    std::size_t maxTargetBytes = 2048;
    // Largest accepted header block (names, values, separators), bytes; larger gets 431.
    std::size_t maxHeaderBytes = 8192;
    // Largest request head read at all (request line and header block), bytes; a head not
    // ended within it gets 414 when its request line has no end there, else 431. At most
    // 24 KiB, the memory a connection reads into, take effect.
    std::size_t maxHeadBytes = 16384;
    // Largest request body read (and discarded) before a GET or HEAD is answered, bytes;
    // larger gets 413.
    std::size_t maxBodyBytes = 8192;
    // Send buffer of each connection, bytes; 0 leaves the system's own (which grows with
    // the connection). Small values make replies back up, as with a slow client.
    int sendBufferBytes = 0;
};

}  // namespace zonarium
