#include "http/AccessLog.h"

#include "model/SafeText.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>

namespace zonarium {

namespace {

// Longest wait for more lines before a batch is written.
constexpr std::chrono::milliseconds kGather{10};
// Longest single wait for room on the descriptor before the stop flag is looked at again.
constexpr int kPollSliceMilliseconds = 50;
// Most bytes given to one write(): at most what a pipe takes at once when it polls writable,
// so a write never blocks for long on a blocking descriptor.
constexpr std::size_t kWriteSlice = 4096;

}  // namespace

std::string accessLogLine(const AccessRecord& record, Instant when) {
    static constexpr std::array<const char*, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string line = safeText(record.peer, 64);
    // DD/Mon/YYYY:HH:MM:SS +0000, written by hand: a stream-based format costs more than the
    // rest of the line, and its month names would follow the locale.
    const auto day = date::floor<date::days>(when);
    const date::year_month_day date{day};
    const date::hh_mm_ss time{when - day};
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, " - - [%02u/%s/%04d:%02d:%02d:%02d +0000] \"",
                  static_cast<unsigned>(date.day()),
                  kMonths[static_cast<unsigned>(date.month()) - 1], static_cast<int>(date.year()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    line += stamp;
    line += safeText(record.requestLine, 600);
    line += "\" ";
    line += std::to_string(record.status);
    line += ' ';
    line += record.bodyBytes == 0 ? std::string("-") : std::to_string(record.bodyBytes);
    line += " \"";
    line += record.referer.empty() ? std::string("-") : safeText(record.referer, 600);
    line += "\" \"";
    line += record.userAgent.empty() ? std::string("-") : safeText(record.userAgent, 300);
    line += record.cut ? "\" cut" : "\"";
    return line;
}

Instant systemNow() {
    return date::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

AccessLog::AccessLog(int fd, std::size_t capacity)
    : m_fd(fd), m_capacity(capacity), m_thread([this] { writeLoop(); }) {}

AccessLog::~AccessLog() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_deadline = std::chrono::steady_clock::now() + kFinalDrain;
    }
    m_ready.notify_all();
    m_thread.join();
}

void AccessLog::post(std::string_view line) {
    bool wasEmpty = false;
    {
        const std::lock_guard lock(m_mutex);
        if (m_lines.size() >= m_capacity) {
            ++m_dropped;
            ++m_unreported;
            return;
        }
        wasEmpty = m_lines.empty();
        m_lines.emplace_back(line);
    }
    // The writer waits on the condition only with nothing queued.
    if (wasEmpty) {
        m_ready.notify_one();
    }
}

std::uint64_t AccessLog::dropped() const {
    const std::lock_guard lock(m_mutex);
    return m_dropped;
}

void AccessLog::writeLoop() {
    std::string batch;
    for (;;) {
        std::deque<std::string> lines;
        std::uint64_t unreported = 0;
        {
            std::unique_lock lock(m_mutex);
            m_ready.wait(lock, [this] { return m_stopping || !m_lines.empty(); });
            // Gathers lines for a moment, so that a busy server is written in few large
            // writes by few wake-ups.
            m_ready.wait_for(lock, kGather,
                             [this] { return m_stopping || m_lines.size() >= m_capacity / 2; });
            if (m_lines.empty() && m_unreported == 0) {
                return;  // stopping with nothing left
            }
            lines.swap(m_lines);
            unreported = std::exchange(m_unreported, 0);
        }
        batch.clear();
        for (const std::string& line : lines) {
            batch += line;
            batch += '\n';
        }
        if (unreported > 0) {
            batch += "zonariumd: " + std::to_string(unreported) + " log lines dropped\n";
        }
        if (!writeAll(batch)) {
            return;
        }
    }
}

bool AccessLog::writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        pollfd room{m_fd, POLLOUT, 0};
        const int ready = ::poll(&room, 1, kPollSliceMilliseconds);
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (ready > 0) {
            if ((room.revents & (POLLERR | POLLNVAL)) != 0) {
                return false;
            }
            const ssize_t written =
                ::write(m_fd, bytes.data(), std::min(bytes.size(), kWriteSlice));
            if (written < 0 && errno != EINTR && errno != EAGAIN) {
                return false;
            }
            if (written > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(written));
                continue;
            }
        }
        const std::lock_guard lock(m_mutex);
        if (m_stopping && std::chrono::steady_clock::now() >= m_deadline) {
            return false;
        }
    }
    return true;
}

}  // namespace zonarium
