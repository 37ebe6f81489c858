#include "model/TimeZone.h"

#include "model/PosixRule.h"
#include "model/RegularFile.h"
#include "model/TzdataRelease.h"

#include <algorithm>
#include <cstdlib>

namespace zonarium {

namespace {

using std::chrono::seconds;

// Bounds of the spans before the first and after the last change, seconds since the epoch;
// far enough for any date and near enough that a day either side does not overflow.
constexpr std::int64_t kFarPast = -(std::int64_t{1} << 50);
constexpr std::int64_t kFarFuture = std::int64_t{1} << 50;
// 400 years of the calendar, seconds: its days, and so a rule's changes, repeat after them.
constexpr std::int64_t kCycle = std::int64_t{146097} * 86400;
// A footer rule is worked out from a last transition in these years only; past them the
// type of the last transition stays.
constexpr int kFirstRuleYear = -9999;
constexpr int kLastRuleYear = 9999;

date::sys_info infoOf(const ZoneType& type, std::int64_t begin, std::int64_t end) {
    date::sys_info info;
    info.begin = Instant{seconds{begin}};
    info.end = Instant{seconds{end}};
    info.offset = seconds{type.offset};
    info.save = type.dst ? std::chrono::minutes{60} : std::chrono::minutes{0};
    info.abbrev = type.abbrev;
    return info;
}

// The civil year of `at`, seconds since the epoch, when it lies within the rule's years.
bool ruleYear(std::int64_t at, int& year) {
    const Instant instant{seconds{std::clamp(at, kFarPast, kFarFuture)}};
    const int found =
        static_cast<int>(date::year_month_day{date::floor<date::days>(instant)}.year());
    year = found;
    return at > kFarPast && at < kFarFuture && found >= kFirstRuleYear && found <= kLastRuleYear;
}

std::int64_t yearStart(int year) {
    return date::sys_days{date::year{year} / date::January / 1}.time_since_epoch().count() *
           std::int64_t{86400};
}

// Floor of `a` / `b`, b > 0.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b < 0 ? 1 : 0);
}

}  // namespace

std::shared_ptr<const TimeZone> TimeZone::fromBytes(std::string name, std::string_view bytes,
                                                    ZoneError& error) {
    TzifContents contents;
    error = readTzif(bytes, contents);
    if (error != ZoneError::None) {
        return nullptr;
    }
    std::shared_ptr<TimeZone> zone(new TimeZone(std::move(name)));
    zone->m_changes = std::move(contents.transitions);
    zone->m_changeTypes.assign(contents.transitionTypes.begin(), contents.transitionTypes.end());
    zone->m_types = std::move(contents.types);
    error = zone->extend(contents.footer);
    if (error != ZoneError::None) {
        return nullptr;
    }
    return zone;
}

ZoneError TimeZone::extend(std::string_view footer) {
    if (footer.empty()) {
        return ZoneError::None;
    }
    PosixRule rule;
    if (const ZoneError error = parsePosixRule(footer, rule); error != ZoneError::None) {
        return error;
    }
    const auto standard = static_cast<std::uint16_t>(m_types.size());
    m_types.push_back(rule.standard);
    const bool ownChanges = !m_changes.empty();
    int firstYear = 1970;
    if (!rule.hasDaylight || (ownChanges && !ruleYear(m_changes.back(), firstYear))) {
        // One type from the last transition on, or for all time when there is none.
        if (ownChanges) {
            m_changeTypes.back() = standard;
        } else {
            m_initialType = standard;
        }
        return ZoneError::None;
    }
    const auto daylight = static_cast<std::uint16_t>(m_types.size());
    m_types.push_back(rule.daylight);
    // The changes of the year before the cycle to the year after it, so that the spans that
    // cross its ends are whole; in time order, a rule's own order kept for equal instants.
    std::vector<RuleChange> changes;
    for (int year = firstYear - 1; year <= firstYear + 402; ++year) {
        const auto both = rule.changesIn(year);
        changes.insert(changes.end(), both.begin(), both.end());
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [](const RuleChange& a, const RuleChange& b) { return a.at < b.at; });
    const std::int64_t lastOwn = ownChanges ? m_changes.back() : kFarPast;
    for (const RuleChange& change : changes) {
        const std::int64_t at = change.at.time_since_epoch().count();
        if (at > lastOwn) {
            m_changes.push_back(at);
            m_changeTypes.push_back(change.toDaylight ? daylight : standard);
        }
    }
    m_cycles = true;
    m_cyclesBefore = !ownChanges;
    m_cycleBegin = yearStart(firstYear + 1);
    m_cycleEnd = m_cycleBegin + kCycle;
    return ZoneError::None;
}

date::sys_info TimeZone::info(Instant instant) const {
    std::int64_t at =
        std::clamp<std::int64_t>(instant.time_since_epoch().count(), kFarPast, kFarFuture - 1);
    // Looked up in the cycle worked out, then moved back by whole cycles.
    std::int64_t shift = 0;
    if (m_cycles && (at >= m_cycleEnd || (m_cyclesBefore && at < m_cycleBegin))) {
        shift = floorDiv(at - m_cycleBegin, kCycle) * kCycle;
        at -= shift;
    }
    const auto next = std::upper_bound(m_changes.begin(), m_changes.end(), at);
    if (next == m_changes.begin()) {
        const std::int64_t end = next == m_changes.end() ? kFarFuture : *next + shift;
        return infoOf(m_types[m_initialType], kFarPast, end);
    }
    const auto index = static_cast<std::size_t>(next - m_changes.begin()) - 1;
    const std::int64_t end = next == m_changes.end() ? kFarFuture : *next + shift;
    return infoOf(m_types[m_changeTypes[index]], m_changes[index] + shift, end);
}

date::local_seconds TimeZone::toLocal(Instant instant) const {
    return date::local_seconds{instant.time_since_epoch() + info(instant).offset};
}

Instant TimeZone::toSys(date::local_seconds local) const {
    const Instant guess{local.time_since_epoch()};
    // From a span that began before `local` whatever the offset, forward span by span.
    date::sys_info span = info(guess - seconds{kMaxZoneOffset + 3600});
    for (int step = 0; step < 64; ++step) {
        const Instant at = guess - span.offset;
        if (at < span.begin) {
            return span.begin;  // in the hour the clock skipped
        }
        if (at < span.end || span.end >= Instant{seconds{kFarFuture}}) {
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
                                             ZoneError& error) {
    bool wellFormed = !name.empty() && name.size() <= 255 && name.front() != '/';
    for (std::size_t at = 0; wellFormed && at <= name.size();) {
        const std::size_t slash = std::min(name.find('/', at), name.size());
        const std::string_view part = name.substr(at, slash - at);
        wellFormed = !part.empty() && part != "." && part != "..";
        for (const char c : part) {
            wellFormed =
                wellFormed && (isZoneAbbreviation(std::string_view(&c, 1)) || c == '_' || c == '.');
        }
        at = slash + 1;
    }
    if (!wellFormed) {
        error = ZoneError::UnknownZone;
        return nullptr;
    }
    const FileRead file = readRegularFile(directory + "/" + std::string(name), kMaxZoneFileBytes);
    switch (file.error) {
        case FileError::None:
            return TimeZone::fromBytes(std::string(name), file.bytes, error);
        case FileError::CannotOpen:
            error = ZoneError::UnknownZone;
            break;
        case FileError::NotRegular:
            error = ZoneError::NotRegularFile;
            break;
        case FileError::TooLarge:
            error = ZoneError::FileTooLarge;
            break;
        case FileError::ReadFailed:
            error = ZoneError::FileUnreadable;
            break;
    }
    return nullptr;
}

}  // namespace zonarium
