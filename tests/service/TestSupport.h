#pragma once

#include "CityTable.h"
#include "LocalTime.h"

#include <string>
#include <string_view>

namespace zonarium::test {

// Instant of an ISO text "YYYY-MM-DDTHH:MM:SSZ"; fails the test on a malformed text.
Instant at(std::string_view isoUtc);

// The small hand-written table under tests/service; fails the test if it does not load.
const CityTable& fixtureTable();

// What the client does to a page before loading it as XML: the part between the heading
// line and the first "</TABLE>" after it, every "Top" and "CELLPADDING=4" value quoted.
// Empty when the heading or the table end is missing.
std::string clientXml(std::string_view page);

// Rows of the client's XML as cell texts; false (with `error`) when it does not parse.
struct ParsedTable {
    // Cell texts of each data row, header row excluded.
    std::vector<std::vector<std::string>> rows;
    // Parser message when the XML is not well-formed.
    std::string error;
};
ParsedTable parseClientXml(const std::string& xml);

}  // namespace zonarium::test
