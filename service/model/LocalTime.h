#pragma once

#include <date/date.h>

#include <chrono>
#include <string>

namespace zonarium {

class TimeZone;

// An absolute instant, whole seconds since 1970-01-01 00:00:00 UTC.
using Instant = date::sys_seconds;

// The two time cells of a place at one instant.
struct LocalTimeCells {
    // e.g. "Mon 07 Dec 2026 10:15 IST"; at most kMaxLocalTimeLength bytes.
    std::string localTime;
    // e.g. "UTC+05:30", "UTC-03:00", "UTC+00:00".
    std::string offset;
    // The civil date at the place.
    date::local_days localDate;
};

// Longest local-time text the client can list.
inline constexpr std::size_t kMaxLocalTimeLength = 28;

// Local time at `instant` in `zone`: English day and month names, 24-hour clock, the
// zone's abbreviation as tzdata gives it (numeric ones such as "+0545" kept), cut to
// kMaxLocalTimeLength bytes should an abbreviation ever be that long.
LocalTimeCells localTimeCells(const TimeZone& zone, Instant instant);

// "UTC+hh:mm" for an offset east of UTC, "UTC-hh:mm" west; seconds are dropped toward zero.
std::string formatUtcOffset(std::chrono::seconds offset);

}  // namespace zonarium
