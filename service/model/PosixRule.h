#pragma once

#include "model/LocalTime.h"
#include "model/TzifFile.h"
#include "model/ZoneError.h"

#include <date/date.h>

#include <array>
#include <cstdint>
#include <string_view>

namespace zonarium {

// A day of the year on which a rule's clock changes, and the local time of day it does.
struct RuleDay {
    enum class Kind { Julian, ZeroBased, MonthWeekDay };
    Kind kind = Kind::MonthWeekDay;
    // Julian: day 1..365, February 29 never counted; ZeroBased: 0..365.
    int day = 0;
    // MonthWeekDay: month 1..12, week 1..5 (5 the last), weekday 0..6 (0 Sunday).
    int month = 1;
    int week = 1;
    int weekday = 0;
    // Local time of day, seconds, -167 to 167 hours.
    std::int32_t time = 7200;

    // When the change happens in `year`, in the local time in force before it.
    date::local_seconds in(date::year year) const;
};

// A clock change of a rule: the instant, and whether daylight saving time begins or ends.
struct RuleChange {
    Instant at;
    bool toDaylight = false;
};

// A POSIX TZ rule string as a zone file's footer holds it, e.g. "CET-1CEST,M3.5.0,M10.5.0/3":
// a standard type, and optionally a daylight saving type with the days each begins.
struct PosixRule {
    ZoneType standard;
    bool hasDaylight = false;
    ZoneType daylight;
    RuleDay daylightStart;
    RuleDay daylightEnd;

    // The two changes of `year` (-9999..9999), in the rule's order: daylight saving time
    // begins, then ends. Only for a rule with daylight saving time.
    std::array<RuleChange, 2> changesIn(int year) const;
};

// Parses `text` into `rule`; ZoneError::None, or ZoneError::BadRule.
ZoneError parsePosixRule(std::string_view text, PosixRule& rule);

}  // namespace zonarium
