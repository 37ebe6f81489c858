#pragma once

#include "model/LocalTime.h"
#include "model/TzifFile.h"
#include "model/ZoneError.h"

#include <date/date.h>
#include <date/tz.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zonarium {

// Largest zone file read, bytes.
inline constexpr std::size_t kMaxZoneFileBytes = std::size_t{1} << 20;

// One time zone as read from its compiled zone file: the local time types of its
// transitions, and after the last transition the rule of the file's footer. The footer's
// changes are worked out once, for 400 years (a whole cycle of the calendar, after which they
// repeat to the second); a lookup is then a binary search. Immutable once made, so any thread
// may read it.
class TimeZone {
public:
    // The zone `name` of a zone file's `bytes`; null with `error` set when they are malformed.
    static std::shared_ptr<const TimeZone> fromBytes(std::string name, std::string_view bytes,
                                                     ZoneError& error);

    // The zone's name, e.g. "Asia/Kolkata".
    const std::string& name() const { return m_name; }

    // Offset from UTC, abbreviation and the span of instants they hold for around `instant`.
    date::sys_info info(Instant instant) const;
    // Local time at `instant`.
    date::local_seconds toLocal(Instant instant) const;
    // The instant at which local time is `local`: the earlier of two when the clock was set
    // back over it, the moment the clock jumped when it was set forward over it.
    Instant toSys(date::local_seconds local) const;

private:
    explicit TimeZone(std::string name) : m_name(std::move(name)) {}
    // Adds the changes of the footer's rule to those of the file; BadRule when it is malformed.
    ZoneError extend(std::string_view footer);

    std::string m_name;
    // Every change, seconds since the epoch, ascending, and the index in m_types of the type
    // each one starts.
    std::vector<std::int64_t> m_changes;
    std::vector<std::uint16_t> m_changeTypes;
    std::vector<ZoneType> m_types;
    // Index in m_types of the type before the first change.
    std::uint16_t m_initialType = 0;
    // When set, instants outside [m_cycleBegin, m_cycleEnd), 400 years, are looked up at the
    // same point of that span: at or after its end always, before its start when the file has
    // no transition of its own.
    bool m_cycles = false;
    bool m_cyclesBefore = false;
    std::int64_t m_cycleBegin = 0;
    std::int64_t m_cycleEnd = 0;
};

// The zone database directory, as the C library finds it: TZDIR when set and not empty, else
// /usr/share/zoneinfo.
std::string zoneDirectory();

// Reads zone `name`, e.g. "Asia/Kolkata", from `directory`. Null with `error` set when the
// name is not a plain relative zone name (letters, digits and "_+-." in parts separated by
// '/', no part "." or "..") or has no file (UnknownZone), or its file is not a regular file,
// larger than kMaxZoneFileBytes, unreadable or malformed. The file is opened without
// blocking.
std::shared_ptr<const TimeZone> loadTimeZone(const std::string& directory, std::string_view name,
                                             ZoneError& error);

}  // namespace zonarium
