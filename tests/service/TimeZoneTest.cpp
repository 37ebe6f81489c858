#include "model/TimeZone.h"

#include "TestSupport.h"
#include "model/TzdataRelease.h"

#include <date/tz.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace zonarium {
namespace {

using std::chrono::hours;
using std::chrono::seconds;

// Every zone the places file names, from the system zone database, against the date
// library's reading of the same files: offset and abbreviation on either side of each of
// its changes from 1900 to 2100, and local times mapped back to instants around them.
TEST(TimeZoneTest, AgreesWithTheDateLibraryOnEveryPlacesZone) {
    std::ifstream places(ZONARIUM_TEST_PLACES);
    std::set<std::string> names;
    for (std::string line; std::getline(places, line);) {
        if (!line.empty() && line.front() != '#') {
            names.insert(line.substr(line.rfind('\t') + 1));
        }
    }
    ASSERT_GT(names.size(), 300u);
    const Instant from = test::at("1900-01-01T00:00:00Z");
    const Instant until = test::at("2100-01-01T00:00:00Z");
    for (const std::string& name : names) {
        const TimeZone& ours = test::zone(name);
        const date::time_zone& theirs = *date::locate_zone(name);
        int faults = 0;
        for (Instant at = from; at < until && faults < 3;) {
            const date::sys_info expected = theirs.get_info(at);
            for (const Instant probe : {at, std::min(expected.end, until) - seconds{1}}) {
                const date::sys_info got = ours.info(probe);
                const date::sys_info want = theirs.get_info(probe);
                if (got.offset != want.offset || got.abbrev != want.abbrev) {
                    ADD_FAILURE() << name << " at " << date::format("%F %T", probe) << ": "
                                  << got.offset.count() << " " << got.abbrev << " instead of "
                                  << want.offset.count() << " " << want.abbrev;
                    ++faults;
                }
            }
            const date::local_seconds local = theirs.to_local(at) + hours{1};
            EXPECT_EQ(ours.toSys(local), theirs.to_sys(local, date::choose::earliest))
                << name << " " << date::format("%F %T", local);
            at = std::max(expected.end, at + seconds{1});
        }
    }
}

// A zone file the service refuses: a name leaving the directory, a missing file, a file cut
// short or not a zone file at all; each says why, and the directory in use is TZDIR's.
TEST(TimeZoneTest, RefusesWhatIsNoZone) {
    ZoneError error = ZoneError::None;
    for (const char* name : {"../zoneinfo/UTC", "/etc/passwd", "Mars/Base", "", "Etc/"}) {
        EXPECT_EQ(loadTimeZone(kSystemZoneinfo, name, error), nullptr) << name;
        EXPECT_EQ(error, ZoneError::UnknownZone) << name;
    }
    EXPECT_EQ(loadTimeZone(kSystemZoneinfo, "tzdata.zi", error), nullptr);
    EXPECT_EQ(to_string(error), "time zone file malformed: not a zone file");
    EXPECT_EQ(loadTimeZone(kSystemZoneinfo, "Europe", error), nullptr);
    EXPECT_EQ(to_string(error), "time zone file not a regular file");
    std::ifstream in(std::string(kSystemZoneinfo) + "/Europe/Paris", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    for (const std::size_t keep : {std::size_t{3}, std::size_t{30}, bytes.size() / 2}) {
        EXPECT_EQ(TimeZone::fromBytes("Europe/Paris", bytes.substr(0, keep), error), nullptr);
        EXPECT_EQ(to_string(error), "time zone file malformed: zone file cut short") << keep;
    }
    EXPECT_EQ(TimeZone::fromBytes("Europe/Paris", bytes.substr(0, bytes.size() - 2), error),
              nullptr);
    EXPECT_EQ(error, ZoneError::NoFooter);
}

// A version 2 zone file: a version 1 block of one type, then `transitions` (instant, type
// index), `types` (offset, daylight saving, abbreviation index), `abbrevs` and the footer.
std::string tzif(const std::vector<std::pair<std::int64_t, int>>& transitions,
                 const std::vector<std::tuple<std::int32_t, bool, int>>& types,
                 const std::string& abbrevs, const std::string& footer) {
    const auto number = [](std::int64_t value, int width) {
        std::string out;
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
            out += static_cast<char>((value >> shift) & 0xFF);
        }
        return out;
    };
    const auto header = [&](std::size_t count, std::size_t typeCount, std::size_t abbrevBytes) {
        return "TZif2" + std::string(15, '\0') + number(0, 4) + number(0, 4) + number(0, 4) +
               number(static_cast<std::int64_t>(count), 4) +
               number(static_cast<std::int64_t>(typeCount), 4) +
               number(static_cast<std::int64_t>(abbrevBytes), 4);
    };
    std::string out = header(0, 1, 4) + number(0, 4) + '\0' + '\0' + std::string("UTC\0", 4);
    out += header(transitions.size(), types.size(), abbrevs.size());
    for (const auto& transition : transitions) {
        out += number(transition.first, 8);
    }
    for (const auto& transition : transitions) {
        out += static_cast<char>(transition.second);
    }
    for (const auto& [offset, dst, abbrev] : types) {
        out += number(offset, 4) + static_cast<char>(dst) + static_cast<char>(abbrev);
    }
    return out + abbrevs + "\n" + footer + "\n";
}

// Hostile zone files, each refused with what is wrong with it.
TEST(TimeZoneTest, RefusesMalformedZoneFiles) {
    const std::string abbrevs("LMT\0CET\0", 8);
    const std::vector<std::tuple<std::int32_t, bool, int>> types = {{561, false, 0},
                                                                    {3600, false, 4}};
    const std::string rule = "CET-1CEST,M3.5.0,M10.5.0/3";
    const struct {
        std::string bytes;
        ZoneError error;
    } cases[] = {
        {"TZIF" + tzif({}, types, abbrevs, rule).substr(4), ZoneError::NotZoneFile},
        {tzif({{100, 1}, {100, 0}}, types, abbrevs, rule), ZoneError::TransitionsOutOfOrder},
        {tzif({{100, 2}}, types, abbrevs, rule), ZoneError::BadTransition},
        {tzif({}, {}, abbrevs, rule), ZoneError::BadHeader},
        {tzif({}, {{27 * 3600, false, 0}}, abbrevs, rule), ZoneError::BadOffset},
        {tzif({}, {{0, false, 8}}, abbrevs, rule), ZoneError::BadAbbreviationIndex},
        {tzif({}, {{0, false, 0}}, "LMT", rule), ZoneError::BadAbbreviationIndex},
        {tzif({}, {{0, false, 0}}, std::string("L\x1B[\0", 4), rule), ZoneError::BadAbbreviation},
        {tzif({}, types, abbrevs, "CET-1CEST"), ZoneError::BadRule},
        {tzif({}, types, abbrevs, "CET-25"), ZoneError::BadRule},
        {tzif({}, types, abbrevs, "<>0"), ZoneError::BadRule},
        {tzif({}, types, abbrevs, "<CET-1"), ZoneError::BadRule},
        {tzif({}, types, abbrevs, "CET-1CEST,M13.1.0,M10.5.0"), ZoneError::BadRule},
        {tzif({}, types, abbrevs, "CET-1CEST,M3.5.0,M10.5.0/168"), ZoneError::BadRule},
        {tzif({}, types, abbrevs, "CET-1CEST,J0,J365"), ZoneError::BadRule},
        {tzif({}, types, abbrevs, rule + ","), ZoneError::BadRule},
    };
    for (const auto& c : cases) {
        ZoneError error = ZoneError::None;
        EXPECT_EQ(TimeZone::fromBytes("Test/Zone", c.bytes, error), nullptr) << to_string(c.error);
        EXPECT_EQ(error, c.error) << to_string(error);
    }
    ZoneError error = ZoneError::None;
    EXPECT_NE(TimeZone::fromBytes("Test/Zone", tzif({{100, 1}}, types, abbrevs, rule), error),
              nullptr)
        << to_string(error);
}

// A zone of a rule alone, and a zone's rule far beyond its transitions: the changes fall on
// the rule's days in any year, before the rule's 400 years worked out as after them.
TEST(TimeZoneTest, RuleHoldsInEveryYear) {
    const std::string abbrevs("CET\0", 4);
    ZoneError error = ZoneError::None;
    const auto ruleOnly = TimeZone::fromBytes(
        "Test/Rule", tzif({}, {{3600, false, 0}}, abbrevs, "CET-1CEST,M3.5.0,M10.5.0/3"), error);
    ASSERT_NE(ruleOnly, nullptr) << to_string(error);
    const TimeZone& paris = test::zone("Europe/Paris");
    for (const char* year : {"1850", "2026", "2431", "2500", "9999"}) {
        // The last Sunday of March, 01:00 UTC, by the date library's calendar.
        const date::year civil{std::atoi(year)};
        const Instant change{date::sys_days{civil / date::March / date::Sunday[date::last]} +
                             hours{1}};
        for (const TimeZone* zone : {ruleOnly.get(), &paris}) {
            if (zone == &paris && civil < date::year{2000}) {
                continue;
            }
            EXPECT_EQ(zone->info(change - seconds{1}).abbrev, "CET") << year;
            const date::sys_info summer = zone->info(change);
            EXPECT_EQ(summer.abbrev, "CEST") << year;
            EXPECT_EQ(summer.offset, hours{2}) << year;
            EXPECT_EQ(summer.begin, change) << year;
            // The last Sunday of October, 01:00 UTC.
            EXPECT_EQ(summer.end,
                      Instant{date::sys_days{civil / date::October / date::Sunday[date::last]} +
                              hours{1}})
                << year;
        }
    }
}

}  // namespace
}  // namespace zonarium
