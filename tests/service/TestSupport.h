#pragma once

#include "model/CityTable.h"
#include "model/LocalTime.h"
#include "model/TimeZone.h"

#include <string>
#include <string_view>
#include <vector>

namespace zonarium::test {

// Instant of an ISO text "YYYY-MM-DDTHH:MM:SSZ"; fails the test on a malformed text.
Instant at(std::string_view isoUtc);

// Zone `name` of the system zone database, read once; fails the test when it cannot be read.
const TimeZone& zone(std::string_view name);

// The small hand-written table under tests/service; fails the test if it does not load.
const CityTable& fixtureTable();

// What the desktop client makes of a page, through its own reply functions.
struct ClientView {
    // ExtractServiceId of the page.
    std::string serviceId;
    // CutResultTable of the page.
    std::string table;
    // ResultLines of ToResultXml of the table.
    std::vector<std::string> lines;
};
ClientView clientView(std::string_view page);

// The result lines the client should list for country `land` at `instant`: per place,
// FormatResultRow of the name's first 25 bytes, the local time, sunrise and sunset,
// computed from the time and sun functions directly.
std::vector<std::string> expectedLines(const CityTable& table, int land, Instant instant);

// The first fault of a strict scan of the table text, empty when there is none: every '&'
// must start one of the five XML entities, and no control byte but LF may appear (the
// client's XML loader lets a bare '&' pass).
std::string tableTextFault(std::string_view table);

// Checks the whole way from page to listed lines for country `land` at `instant`: a
// well-formed identifier, a cut table that passes the strict scan, and one line per place
// equal to expectedLines.
void expectClientListsPlaces(std::string_view page, const CityTable& table, int land,
                             Instant instant);

}  // namespace zonarium::test
