#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "fetch/RetrievalView.h"
#include "fetch/ServiceAddress.h"
#include "platform/Internet.h"

namespace horalux {

// The agent text every internet session is opened with.
inline constexpr const char* kUserAgent = "Vexor-Horalux 0.1 (Windows 5.1, x86, en)";
// The application title: caption of every message box that names no title of its own.
inline constexpr const char* kAppTitle = "FreeHoralux2";
// Status text shown when a fetch starts.
inline constexpr const char* kRetrievingText = "Retrieving data from Zonarium server";

// The value of the request's ID key: the identifier as given, with every byte that could
// end the request line, start a header, start a fragment or another query key, or be taken
// for an escape (controls, space, DEL, bytes above 127, '#', '%', '&') written as %XX.
std::string EncodeServiceId(std::string_view id);

// The request's path and query for the country `code`, carrying `serviceId`.
std::string TimeRequestPath(std::string_view serviceId, std::int32_t code);

// The status line of a raw header block: everything before its first zero byte.
std::string StatusLineOf(std::string_view rawHeaders);

// One time fetch for the country selected in the view, from the selection check to the
// listing: the request to the service over the internet API, the status test, the read of
// the reply, and one line per city in the view's list. A fetch first closes the request and
// connection the last one left open. A reply whose read fails part way (cut short of the
// length it announced, or broken off) is a failure like an empty one. Failures are shown in the
// status caption and a message, close the fetch's connection and request and empty the identifier.
// Runs on the caller's thread and lets the view's pending events run while it waits and while it
// lists, at most every kEventInterval, so the view stays live and the list fills visibly without a
// repaint per row; the view's handlers may therefore run in the middle of a fetch. Only one
// fetch runs at a time.
class TimeRetrieval {
public:
    // Source of the current instant; replaced in tests.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // How a run ended.
    enum class Outcome {
        NoSelection,  // the empty entry or none was selected: nothing was sent
        Listed,       // the reply was listed (possibly with no rows)
        Failed,       // a failure was shown
        Abandoned,    // abandon() was called during the run: nothing more was shown
        Busy          // another run was going on: this one did nothing
    };

    // A reply is read up to this many bytes; the rest is left unread.
    static constexpr std::size_t kMaxReplyBytes = 16 * 1024 * 1024;
    // Bytes asked for per read.
    static constexpr std::size_t kReadChunk = 2048;
    // Each time-out of the request, in milliseconds.
    static constexpr std::uint32_t kTimeoutMs = 420000;
    // Shortest time between two runs of the view's pending events.
    static constexpr std::chrono::milliseconds kEventInterval{10};

    // All four must outlive the object.
    TimeRetrieval(Internet& internet, RetrievalView& view, RetrievalState& state,
                  const ServiceAddress& service, Clock clock = std::chrono::steady_clock::now);

    Outcome run();
    // True while run() is going on.
    bool running() const { return m_running; }
    // Ends the running fetch without showing anything more, for a view that is going away:
    // the fetch stops at its next chance to let events run. A network wait in progress ends
    // only when the caller also closes the fetch's handles, which are the caller's to close.
    void abandon();

private:
    Outcome fetch();
    Outcome fail(const std::string& text, int style);
    Outcome list(std::string reply);
    // How the reply's read ended.
    enum class Read {
        Whole,     // the body's end, or the size cap
        Cut,       // a read failed: the transfer ended short of its length or broke off
        Abandoned  // abandon() was called
    };
    Read readReply(std::string& reply);
    // Lets the view's events run unless they ran less than kEventInterval ago; false once
    // the fetch has been abandoned.
    bool letEventsRun();
    // Lets the view's events run now, unless the fetch has been abandoned.
    void runEvents();

    Internet& m_internet;
    RetrievalView& m_view;
    RetrievalState& m_state;
    const ServiceAddress& m_service;
    Clock m_clock;
    // When the view's events last ran.
    std::chrono::steady_clock::time_point m_eventsRan{};
    bool m_running = false;
    bool m_abandoned = false;
};

}  // namespace horalux
