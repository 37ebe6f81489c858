#include "TestSupport.h"

#include "fetch/ReplyText.h"
#include "fetch/ResultRow.h"
#include "fetch/ResultTableWalker.h"
#include "model/Page.h"
#include "model/Sun.h"
#include "model/TzdataRelease.h"

#include <date/date.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <sstream>

namespace zonarium::test {

Instant at(std::string_view isoUtc) {
    std::istringstream in{std::string(isoUtc)};
    Instant instant;
    in >> date::parse("%Y-%m-%dT%H:%M:%SZ", instant);
    EXPECT_FALSE(in.fail()) << "bad instant " << isoUtc;
    return instant;
}

const TimeZone& zone(std::string_view name) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const TimeZone>, std::less<>> zones;
    const std::lock_guard lock(mutex);
    auto found = zones.find(name);
    if (found == zones.end()) {
        ZoneError error = ZoneError::None;
        auto read = loadTimeZone(kSystemZoneinfo, name, error);
        if (!read) {
            ADD_FAILURE() << name << ": " << to_string(error);
            std::abort();
        }
        found = zones.emplace(std::string(name), std::move(read)).first;
    }
    return *found->second;
}

const CityTable& fixtureTable() {
    static const CityTableLoad load = loadCityTable(ZONARIUM_TEST_FIXTURE);
    EXPECT_TRUE(load) << load.error;
    return load.table;
}

ClientView clientView(std::string_view page) {
    ClientView view;
    view.serviceId = horalux::ExtractServiceId(page);
    view.table = horalux::CutResultTable(page);
    view.lines = horalux::ResultLines(horalux::ToResultXml(view.table));
    return view;
}

std::vector<std::string> expectedLines(const CityTable& table, int land, Instant instant) {
    std::vector<std::string> lines;
    for (const Place& place : table.places(land)) {
        const LocalTimeCells cells = localTimeCells(*place.zone, instant);
        const SunDay sun = sunDay(place.latitude, place.longitude, *place.zone, cells.localDate);
        lines.push_back(
            horalux::FormatResultRow(std::string_view(place.name).substr(0, 25), cells.localTime,
                                     formatSunEvent(sun.sunrise, *place.zone, cells.localDate),
                                     formatSunEvent(sun.sunset, *place.zone, cells.localDate)));
    }
    return lines;
}

std::string tableTextFault(std::string_view table) {
    for (std::size_t at = 0; at < table.size(); ++at) {
        const auto byte = static_cast<unsigned char>(table[at]);
        if ((byte < 0x20 && byte != '\n') || (byte >= 0x7F && byte <= 0x9F)) {
            return "control byte " + std::to_string(byte) + " at " + std::to_string(at);
        }
        if (byte == '&') {
            bool entity = false;
            for (const std::string_view name : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
                entity = entity || table.substr(at).starts_with(name);
            }
            if (!entity) {
                return "bare '&' at " + std::to_string(at) + ": " +
                       std::string(table.substr(at, 12));
            }
        }
    }
    return {};
}

void expectClientListsPlaces(std::string_view page, const CityTable& table, int land,
                             Instant instant) {
    const ClientView view = clientView(page);
    EXPECT_TRUE(isWellFormedIdentifier(view.serviceId)) << land << ": " << view.serviceId;
    ASSERT_FALSE(view.table.empty()) << land;
    EXPECT_EQ(tableTextFault(view.table), "") << land;
    EXPECT_EQ(view.lines, expectedLines(table, land, instant)) << land;
}

}  // namespace zonarium::test
