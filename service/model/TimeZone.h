#pragma once

#include "model/LocalTime.h"

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

// One time zone as read from its compiled zone file (TZif, versions 1 to 4): the local time
// types of its transitions, and after the last transition the rule of the file's footer (a
// POSIX TZ string, with hours of rule times from -167 to 167). Leap-second records are not
// applied. Immutable once made, so any thread may read it.
class TimeZone {
public:
    // Parses the bytes of zone `name`'s file; throws std::runtime_error saying what is wrong.
    TimeZone(std::string name, std::string_view bytes);

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
    // A local time type: offset from UTC in seconds, daylight saving or not, abbreviation.
    struct Type {
        std::int32_t offset = 0;
        bool dst = false;
        std::string abbrev;
    };
    // A day of the year of the footer's rule and the local time of day the change happens.
    struct RuleDay {
        enum class Kind { Julian, ZeroBased, MonthWeekDay };
        Kind kind = Kind::MonthWeekDay;
        // Julian: day 1..365, February 29 never counted; ZeroBased: 0..365.
        int day = 0;
        // MonthWeekDay: month 1..12, week 1..5 (5 the last), weekday 0..6 (0 Sunday).
        int month = 1;
        int week = 1;
        int weekday = 0;
        // Local time of day, seconds; may be negative or past a day.
        std::int32_t time = 7200;
        // When the change happens in `year`, local time of the type in force before it.
        date::local_seconds in(date::year year) const;
    };

    // The footer's local time at `instant`, in force from the last transition on.
    date::sys_info footerInfo(Instant instant) const;
    // Reads the footer's TZ string; throws on a malformed one.
    void parseFooter(std::string_view footer);
    static date::sys_info infoOf(const Type& type, Instant begin, Instant end);

    std::string m_name;
    // Transition instants, ascending, and the index of the type each one starts.
    std::vector<std::int64_t> m_transitions;
    std::vector<std::uint8_t> m_transitionTypes;
    std::vector<Type> m_types;
    // The footer: none, one standard type, or a standard and a daylight saving type with the
    // days each starts.
    bool m_hasFooter = false;
    bool m_footerHasDst = false;
    Type m_standard;
    Type m_daylight;
    RuleDay m_daylightStart;
    RuleDay m_daylightEnd;
};

// The zone database directory, as the C library finds it: TZDIR when set and not empty, else
// /usr/share/zoneinfo.
std::string zoneDirectory();

// Reads zone `name`, e.g. "Asia/Kolkata", from `directory`. Null with `error` set when the
// name is not a plain relative zone name (letters, digits and "_+-." in parts separated by
// '/', no part "." or ".."), or its file is missing, unreadable, larger than
// kMaxZoneFileBytes or malformed. Error texts start with "unknown time zone" when there is no
// such zone.
std::shared_ptr<const TimeZone> loadTimeZone(const std::string& directory, std::string_view name,
                                             std::string& error);

}  // namespace zonarium
