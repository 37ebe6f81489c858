#include "model/TimeZone.h"

#include "model/RegularFile.h"
#include "model/TzdataRelease.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>

namespace zonarium {

namespace {

using std::chrono::seconds;

// Bounds of the spans before the first and after the last change; far enough for any date
// and near enough that a day either side does not overflow.
constexpr Instant kFarPast{seconds{-(std::int64_t{1} << 50)}};
constexpr Instant kFarFuture{seconds{std::int64_t{1} << 50}};
// Offsets from UTC beyond this are refused, seconds.
constexpr std::int32_t kMaxOffset = 26 * 3600;
// Longest abbreviation accepted.
constexpr std::size_t kMaxAbbrevBytes = 16;
// Years the footer's rule is worked out for; instants beyond keep the standard type.
constexpr int kLastRuleYear = 9999;
constexpr int kFirstRuleYear = -9999;

[[noreturn]] void malformed(const std::string& what) {
    throw std::runtime_error(what);
}

bool isAbbrevCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-';
}

void checkAbbrev(std::string_view abbrev) {
    if (abbrev.empty() || abbrev.size() > kMaxAbbrevBytes ||
        !std::all_of(abbrev.begin(), abbrev.end(), isAbbrevCharacter)) {
        malformed("bad time zone abbreviation");
    }
}

// Reads big-endian numbers from the file's bytes, refusing to go past their end.
class Reader {
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}

    std::string_view take(std::size_t count) {
        if (count > m_bytes.size() - m_at) {
            malformed("zone file cut short");
        }
        const std::string_view part = m_bytes.substr(m_at, count);
        m_at += count;
        return part;
    }
    std::int64_t number(std::size_t width) {
        const std::string_view part = take(width);
        std::uint64_t value = 0;
        for (const char c : part) {
            value = (value << 8) | static_cast<unsigned char>(c);
        }
        // Sign-extend from `width` bytes.
        const unsigned shift = static_cast<unsigned>(64 - 8 * width);
        return static_cast<std::int64_t>(value << shift) >> shift;
    }
    std::string_view rest() const { return m_bytes.substr(m_at); }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

// The counts of a TZif header.
struct Header {
    char version = 0;
    std::size_t utIndicators = 0;
    std::size_t standardIndicators = 0;
    std::size_t leaps = 0;
    std::size_t transitions = 0;
    std::size_t types = 0;
    std::size_t abbrevBytes = 0;
};

Header readHeader(Reader& in) {
    if (in.take(4) != "TZif") {
        malformed("not a zone file");
    }
    Header header;
    header.version = in.take(1)[0];
    in.take(15);
    std::array<std::size_t*, 6> counts = {&header.utIndicators, &header.standardIndicators,
                                          &header.leaps,        &header.transitions,
                                          &header.types,        &header.abbrevBytes};
    for (std::size_t* count : counts) {
        const std::int64_t value = in.number(4);
        if (value < 0 || value > 100000) {
            malformed("bad zone file header");
        }
        *count = static_cast<std::size_t>(value);
    }
    if (header.types == 0 || header.types > 256 || header.abbrevBytes == 0 ||
        (header.utIndicators != 0 && header.utIndicators != header.types) ||
        (header.standardIndicators != 0 && header.standardIndicators != header.types)) {
        malformed("bad zone file header");
    }
    return header;
}

std::size_t blockBytes(const Header& header, std::size_t timeBytes) {
    return header.transitions * (timeBytes + 1) + header.types * 6 + header.abbrevBytes +
           header.leaps * (timeBytes + 4) + header.standardIndicators + header.utIndicators;
}

// Parsing of a footer, a POSIX TZ string such as "CET-1CEST,M3.5.0,M10.5.0/3".
class TzString {
public:
    explicit TzString(std::string_view text) : m_text(text) {}

    bool atEnd() const { return m_at == m_text.size(); }
    bool accept(char c) {
        if (!atEnd() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool startsNumber() const {
        return !atEnd() && (m_text[m_at] == '+' || m_text[m_at] == '-' ||
                            (m_text[m_at] >= '0' && m_text[m_at] <= '9'));
    }
    std::string name() {
        std::string result;
        if (accept('<')) {
            while (!atEnd() && m_text[m_at] != '>') {
                result += m_text[m_at++];
            }
            if (!accept('>')) {
                malformed("bad time zone rule");
            }
        } else {
            while (!atEnd() && ((m_text[m_at] >= 'A' && m_text[m_at] <= 'Z') ||
                                (m_text[m_at] >= 'a' && m_text[m_at] <= 'z'))) {
                result += m_text[m_at++];
            }
        }
        checkAbbrev(result);
        return result;
    }
    int unsignedNumber(int high) {
        int value = 0;
        int digits = 0;
        while (!atEnd() && m_text[m_at] >= '0' && m_text[m_at] <= '9' && digits < 4) {
            value = value * 10 + (m_text[m_at++] - '0');
            ++digits;
        }
        if (digits == 0 || value > high) {
            malformed("bad time zone rule");
        }
        return value;
    }
    // [+-]hh[:mm[:ss]], seconds.
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
    std::string_view m_text;
    std::size_t m_at = 0;
};

}  // namespace

TimeZone::TimeZone(std::string name, std::string_view bytes) : m_name(std::move(name)) {
    Reader in(bytes);
    Header header = readHeader(in);
    std::size_t timeBytes = 4;
    if (header.version >= '2') {
        // The first block, of 32-bit times, is only for readers of version 1.
        in.take(blockBytes(header, 4));
        header = readHeader(in);
        timeBytes = 8;
    }
    m_transitions.reserve(header.transitions);
    for (std::size_t i = 0; i < header.transitions; ++i) {
        const std::int64_t at = in.number(timeBytes);
        if (!m_transitions.empty() && at <= m_transitions.back()) {
            malformed("zone file transitions out of order");
        }
        m_transitions.push_back(at);
    }
    for (std::size_t i = 0; i < header.transitions; ++i) {
        const auto type = static_cast<std::uint8_t>(in.number(1));
        if (type >= header.types) {
            malformed("bad zone file transition");
        }
        m_transitionTypes.push_back(type);
    }
    std::vector<std::size_t> abbrevAt;
    for (std::size_t i = 0; i < header.types; ++i) {
        Type type;
        const std::int64_t offset = in.number(4);
        if (offset < -kMaxOffset || offset > kMaxOffset) {
            malformed("bad zone file offset");
        }
        type.offset = static_cast<std::int32_t>(offset);
        type.dst = in.number(1) != 0;
        abbrevAt.push_back(static_cast<std::size_t>(in.number(1) & 0xFF));
        m_types.push_back(std::move(type));
    }
    const std::string_view abbrevs = in.take(header.abbrevBytes);
    for (std::size_t i = 0; i < m_types.size(); ++i) {
        if (abbrevAt[i] >= abbrevs.size()) {
            malformed("bad zone file abbreviation");
        }
        const std::string_view from = abbrevs.substr(abbrevAt[i]);
        const std::size_t end = from.find('\0');
        if (end == std::string_view::npos) {
            malformed("bad zone file abbreviation");
        }
        m_types[i].abbrev = std::string(from.substr(0, end));
        checkAbbrev(m_types[i].abbrev);
    }
    in.take(header.leaps * (timeBytes + 4) + header.standardIndicators + header.utIndicators);
    if (timeBytes == 8) {
        const std::string_view rest = in.rest();
        const std::size_t end = rest.size() > 1 ? rest.find('\n', 1) : std::string_view::npos;
        if (rest.empty() || rest.front() != '\n' || end == std::string_view::npos) {
            malformed("zone file without its footer");
        }
        parseFooter(rest.substr(1, end - 1));
    }
}

void TimeZone::parseFooter(std::string_view footer) {
    if (footer.empty()) {
        return;
    }
    TzString in(footer);
    m_hasFooter = true;
    m_standard.abbrev = in.name();
    m_standard.offset = -in.time(24);
    if (in.atEnd()) {
        return;
    }
    m_footerHasDst = true;
    m_daylight.dst = true;
    m_daylight.abbrev = in.name();
    m_daylight.offset = in.startsNumber() ? -in.time(24) : m_standard.offset + 3600;
    for (RuleDay* day : {&m_daylightStart, &m_daylightEnd}) {
        if (!in.accept(',')) {
            malformed("bad time zone rule");
        }
        if (in.accept('J')) {
            day->kind = RuleDay::Kind::Julian;
            day->day = in.unsignedNumber(365);
            if (day->day == 0) {
                malformed("bad time zone rule");
            }
        } else if (in.accept('M')) {
            day->kind = RuleDay::Kind::MonthWeekDay;
            day->month = in.unsignedNumber(12);
            const bool dots = in.accept('.');
            day->week = in.unsignedNumber(5);
            const bool more = in.accept('.');
            day->weekday = in.unsignedNumber(6);
            if (!dots || !more || day->month == 0 || day->week == 0) {
                malformed("bad time zone rule");
            }
        } else {
            day->kind = RuleDay::Kind::ZeroBased;
            day->day = in.unsignedNumber(365);
        }
        if (in.accept('/')) {
            day->time = in.time(167);
        }
    }
    if (!in.atEnd() || std::abs(m_standard.offset) > kMaxOffset ||
        std::abs(m_daylight.offset) > kMaxOffset) {
        malformed("bad time zone rule");
    }
}

date::local_seconds TimeZone::RuleDay::in(date::year year) const {
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

date::sys_info TimeZone::infoOf(const Type& type, Instant begin, Instant end) {
    date::sys_info info;
    info.begin = begin;
    info.end = end;
    info.offset = seconds{type.offset};
    info.save = type.dst ? std::chrono::minutes{60} : std::chrono::minutes{0};
    info.abbrev = type.abbrev;
    return info;
}

date::sys_info TimeZone::footerInfo(Instant instant) const {
    const Instant after = m_transitions.empty() ? kFarPast : Instant{seconds{m_transitions.back()}};
    const int year =
        static_cast<int>(date::year_month_day{date::floor<date::days>(instant)}.year());
    if (!m_footerHasDst || year > kLastRuleYear || year < kFirstRuleYear) {
        return infoOf(m_standard, after, kFarFuture);
    }
    // The changes of the year before, this year and the next, in time order: the last one
    // not after `instant` says which type holds and since when.
    std::array<std::pair<Instant, const Type*>, 6> changes;
    std::size_t n = 0;
    for (int y = year - 1; y <= year + 1; ++y) {
        const date::year civil{y};
        changes[n++] = {
            Instant{(m_daylightStart.in(civil)-seconds{m_standard.offset}).time_since_epoch()},
            &m_daylight};
        changes[n++] = {
            Instant{(m_daylightEnd.in(civil)-seconds{m_daylight.offset}).time_since_epoch()},
            &m_standard};
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::size_t last = 0;
    while (last + 1 < changes.size() && changes[last + 1].first <= instant) {
        ++last;
    }
    if (changes[last].first > instant) {
        return infoOf(m_standard, after, changes[last].first);
    }
    const Instant end = last + 1 < changes.size() ? changes[last + 1].first : kFarFuture;
    return infoOf(*changes[last].second, std::max(after, changes[last].first), end);
}

date::sys_info TimeZone::info(Instant instant) const {
    const std::int64_t at = instant.time_since_epoch().count();
    const auto next = std::upper_bound(m_transitions.begin(), m_transitions.end(), at);
    if (next == m_transitions.begin()) {
        const Instant end = m_transitions.empty() ? kFarFuture : Instant{seconds{*next}};
        if (m_transitions.empty() && m_hasFooter) {
            return footerInfo(instant);
        }
        return infoOf(m_types.front(), kFarPast, end);
    }
    if (next == m_transitions.end() && m_hasFooter) {
        return footerInfo(instant);
    }
    const auto index = static_cast<std::size_t>(next - m_transitions.begin()) - 1;
    const Instant end = next == m_transitions.end() ? kFarFuture : Instant{seconds{*next}};
    return infoOf(m_types[m_transitionTypes[index]], Instant{seconds{m_transitions[index]}}, end);
}

date::local_seconds TimeZone::toLocal(Instant instant) const {
    return date::local_seconds{instant.time_since_epoch() + info(instant).offset};
}

Instant TimeZone::toSys(date::local_seconds local) const {
    const Instant guess{local.time_since_epoch()};
    // From a span that began before `local` whatever the offset, forward span by span.
    date::sys_info span = info(guess - seconds{kMaxOffset + 3600});
    for (int step = 0; step < 64; ++step) {
        const Instant at = guess - span.offset;
        if (at < span.begin) {
            return span.begin;  // in the hour the clock skipped
        }
        if (at < span.end || span.end >= kFarFuture) {
            return at;
        }
        span = info(span.end);
    }
    return guess - span.offset;
}

std::string zoneDirectory() {
    const char* directory = std::getenv("TZDIR");
    return directory != nullptr && *directory != '\0' ? directory : kSystemZoneinfo;
}

std::shared_ptr<const TimeZone> loadTimeZone(const std::string& directory, std::string_view name,
                                             std::string& error) {
    bool wellFormed = !name.empty() && name.size() <= 255 && name.front() != '/';
    for (std::size_t at = 0; wellFormed && at <= name.size();) {
        const std::size_t slash = std::min(name.find('/', at), name.size());
        const std::string_view part = name.substr(at, slash - at);
        wellFormed = !part.empty() && part != "." && part != "..";
        for (const char c : part) {
            wellFormed = wellFormed && (isAbbrevCharacter(c) || c == '_' || c == '.');
        }
        at = slash + 1;
    }
    if (!wellFormed) {
        error = "unknown time zone";
        return nullptr;
    }
    const FileRead file = readRegularFile(directory + "/" + std::string(name), kMaxZoneFileBytes);
    switch (file.error) {
        case FileError::None:
            break;
        case FileError::CannotOpen:
            error = "unknown time zone";
            return nullptr;
        default:
            error = "time zone file " + std::string(to_string(file.error));
            return nullptr;
    }
    try {
        return std::make_shared<const TimeZone>(std::string(name), file.bytes);
    } catch (const std::exception& fault) {
        error = std::string("time zone file malformed: ") + fault.what();
        return nullptr;
    }
}

}  // namespace zonarium
