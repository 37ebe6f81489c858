#include "model/PosixRule.h"

#include <cstdlib>
#include <string>

namespace zonarium {

namespace {

using std::chrono::seconds;

// Reads a rule string from left to right; any fault makes it fail, and a failed parser
// reads nothing more.
class RuleText {
public:
    explicit RuleText(std::string_view text) : m_text(text) {}

    bool failed() const { return m_failed; }
    bool atEnd() const { return m_at == m_text.size(); }
    void fail() { m_failed = true; }
    bool accept(char c) {
        if (!m_failed && !atEnd() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool startsNumber() const {
        return !atEnd() && (m_text[m_at] == '+' || m_text[m_at] == '-' || isDigit(m_text[m_at]));
    }
    // An abbreviation: letters, or any characters between '<' and '>'.
    std::string name() {
        std::string result;
        if (accept('<')) {
            while (!atEnd() && m_text[m_at] != '>') {
                result += m_text[m_at++];
            }
            if (!accept('>')) {
                fail();
            }
        } else {
            while (!atEnd() && ((m_text[m_at] >= 'A' && m_text[m_at] <= 'Z') ||
                                (m_text[m_at] >= 'a' && m_text[m_at] <= 'z'))) {
                result += m_text[m_at++];
            }
        }
        if (!isZoneAbbreviation(result)) {
            fail();
        }
        return result;
    }
    // Up to four digits, at most `high`.
    int unsignedNumber(int high) {
        int value = 0;
        int digits = 0;
        while (!m_failed && !atEnd() && isDigit(m_text[m_at]) && digits < 4) {
            value = value * 10 + (m_text[m_at++] - '0');
            ++digits;
        }
        if (digits == 0 || value > high) {
            fail();
        }
        return value;
    }
    // [+-]hh[:mm[:ss]] with hh at most `maxHours`, seconds.
    std::int32_t time(int maxHours) {
        const bool negative = accept('-');
        if (!negative) {
            accept('+');
        }
        std::int32_t value = unsignedNumber(maxHours) * 3600;
        if (accept(':')) {
            value += unsignedNumber(59) * 60;
            if (accept(':')) {
                value += unsignedNumber(59);
            }
        }
        return negative ? -value : value;
    }

private:
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    std::string_view m_text;
    std::size_t m_at = 0;
    bool m_failed = false;
};

// Jn, n or Mm.w.d, then an optional /time.
void parseRuleDay(RuleText& in, RuleDay& day) {
    if (in.accept('J')) {
        day.kind = RuleDay::Kind::Julian;
        day.day = in.unsignedNumber(365);
        if (day.day == 0) {
            in.fail();
        }
    } else if (in.accept('M')) {
        day.kind = RuleDay::Kind::MonthWeekDay;
        day.month = in.unsignedNumber(12);
        const bool dots = in.accept('.');
        day.week = in.unsignedNumber(5);
        const bool more = in.accept('.');
        day.weekday = in.unsignedNumber(6);
        if (!dots || !more || day.month == 0 || day.week == 0) {
            in.fail();
        }
    } else {
        day.kind = RuleDay::Kind::ZeroBased;
        day.day = in.unsignedNumber(365);
    }
    if (in.accept('/')) {
        day.time = in.time(167);
    }
}

}  // namespace

date::local_seconds RuleDay::in(date::year year) const {
    date::local_days start;
    switch (kind) {
        case Kind::Julian:
            start = date::local_days{year / date::January / 1} + date::days{day - 1} +
                    date::days{year.is_leap() && day > 59 ? 1 : 0};
            break;
        case Kind::ZeroBased:
            start = date::local_days{year / date::January / 1} + date::days{day};
            break;
        case Kind::MonthWeekDay: {
            const date::month m{static_cast<unsigned>(month)};
            const date::weekday wd{static_cast<unsigned>(weekday)};
            start = week == 5 ? date::local_days{year / m / wd[date::last]}
                              : date::local_days{year / m / wd[static_cast<unsigned>(week)]};
            break;
        }
    }
    return start + seconds{time};
}

std::array<RuleChange, 2> PosixRule::changesIn(int year) const {
    const date::year civil{year};
    return {
        RuleChange{Instant{(daylightStart.in(civil)-seconds{standard.offset}).time_since_epoch()},
                   true},
        RuleChange{Instant{(daylightEnd.in(civil)-seconds{daylight.offset}).time_since_epoch()},
                   false}};
}

ZoneError parsePosixRule(std::string_view text, PosixRule& rule) {
    rule = PosixRule();
    RuleText in(text);
    rule.standard.abbrev = in.name();
    rule.standard.offset = -in.time(24);
    if (!in.failed() && !in.atEnd()) {
        rule.hasDaylight = true;
        rule.daylight.dst = true;
        rule.daylight.abbrev = in.name();
        rule.daylight.offset = in.startsNumber() ? -in.time(24) : rule.standard.offset + 3600;
        for (RuleDay* day : {&rule.daylightStart, &rule.daylightEnd}) {
            if (!in.accept(',')) {
                in.fail();
            }
            parseRuleDay(in, *day);
        }
    }
    if (in.failed() || !in.atEnd() || std::abs(rule.standard.offset) > kMaxZoneOffset ||
        std::abs(rule.daylight.offset) > kMaxZoneOffset) {
        rule = PosixRule();
        return ZoneError::BadRule;
    }
    return ZoneError::None;
}

}  // namespace zonarium
