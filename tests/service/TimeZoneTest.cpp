#include "model/TimeZone.h"

#include "TestSupport.h"
#include "model/TzdataRelease.h"

#include <date/tz.h>
#include <gtest/gtest.h>

#include <fstream>
#include <set>

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
    std::string error;
    for (const char* name : {"../zoneinfo/UTC", "/etc/passwd", "Mars/Base", "", "Etc/"}) {
        EXPECT_EQ(loadTimeZone(kSystemZoneinfo, name, error), nullptr) << name;
        EXPECT_EQ(error, "unknown time zone") << name;
    }
    EXPECT_EQ(loadTimeZone(kSystemZoneinfo, "tzdata.zi", error), nullptr);
    EXPECT_EQ(error.rfind("time zone file malformed: not a zone file", 0), 0u) << error;
    std::ifstream in(std::string(kSystemZoneinfo) + "/Europe/Paris", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    for (const std::size_t keep : {std::size_t{30}, bytes.size() / 2, bytes.size() - 2}) {
        EXPECT_THROW(TimeZone("Europe/Paris", std::string_view(bytes).substr(0, keep)),
                     std::runtime_error)
            << keep;
    }
}

}  // namespace
}  // namespace zonarium
