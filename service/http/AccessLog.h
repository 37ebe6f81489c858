#pragma once

#include "model/LocalTime.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace zonarium {

// What the access log records of one answered request; the views are what the client sent.
struct AccessRecord {
    std::string_view peer = {};
    std::string_view requestLine = {};
    int status = 0;
    std::size_t bodyBytes = 0;
    // Header values; empty when the request had none.
    std::string_view referer = {};
    std::string_view userAgent = {};
    // The client took less than the whole answer: the connection ended or stalled first.
    bool cut = false;
};

// One access-log line in the combined format read by log analysers, without a line feed:
// PEER - - [DD/Mon/YYYY:HH:MM:SS +0000] "REQUEST LINE" STATUS BYTES "REFERER" "USER-AGENT",
// followed by " cut" for an answer cut short. BYTES are the body bytes the client took;
// BYTES, referer and user agent are "-" when there are none. Peer, request line, referer and
// user agent have bytes outside printable ASCII, quotes and backslashes written as \xHH, so
// no field leaves its quotes or its line, and are cut (with "...") at 64, 600, 600 and 300
// bytes.
std::string accessLogLine(const AccessRecord& record, Instant when);

// The system clock to the second.
Instant systemNow();

// Lines written to a descriptor by a thread of their own, so that a slow or stalled reader
// (a pipe nobody drains) never blocks the callers of post(). At most `capacity` lines wait;
// a line that does not fit is dropped and counted, and the count is written as a line of its
// own ("zonariumd: N log lines dropped") once there is room again.
class AccessLog {
public:
    // `fd` is not owned and must stay open until the log is destroyed.
    explicit AccessLog(int fd, std::size_t capacity = 4096);
    // Writes what still waits for at most `kFinalDrain`, then gives up on the rest.
    ~AccessLog();
    AccessLog(const AccessLog&) = delete;
    AccessLog& operator=(const AccessLog&) = delete;

    // Queues `line` (without its line feed); never waits for the descriptor. Thread-safe.
    void post(std::string_view line);
    // Lines dropped so far.
    std::uint64_t dropped() const;

    // Longest time the destructor spends on lines still waiting.
    static constexpr std::chrono::milliseconds kFinalDrain{300};

private:
    // The writer thread's loop.
    void writeLoop();
    // Writes all of `bytes`, waiting for room in slices so that a stop is seen; false when
    // the descriptor failed or the stop deadline passed.
    bool writeAll(std::string_view bytes);

    // Destination descriptor; not owned.
    int m_fd;
    // Most lines waiting at once.
    std::size_t m_capacity;
    // Guards everything below except m_thread.
    mutable std::mutex m_mutex;
    // Signalled when a line is queued or the log is stopping.
    std::condition_variable m_ready;
    // Lines waiting to be written, oldest first.
    std::deque<std::string> m_lines;
    // Lines dropped in all, and those not yet reported in the output.
    std::uint64_t m_dropped = 0;
    std::uint64_t m_unreported = 0;
    // Set by the destructor; the writer then ends by m_deadline.
    bool m_stopping = false;
    std::chrono::steady_clock::time_point m_deadline;
    // The writer.
    std::thread m_thread;
};

}  // namespace zonarium
