#include "TestSupport.h"

#include <date/date.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <sstream>

namespace zonarium::test {

Instant at(std::string_view isoUtc) {
    std::istringstream in{std::string(isoUtc)};
    Instant instant;
    in >> date::parse("%Y-%m-%dT%H:%M:%SZ", instant);
    EXPECT_FALSE(in.fail()) << "bad instant " << isoUtc;
    return instant;
}

const CityTable& fixtureTable() {
    static const CityTableLoad load = loadCityTable(ZONARIUM_TEST_FIXTURE);
    EXPECT_TRUE(load) << load.error;
    return load.table;
}

namespace {

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

std::string clientXml(std::string_view page) {
    constexpr std::string_view heading =
        "<H3>Time information for selected cities and towns</H3>\n";
    const auto start = page.find(heading);
    if (start == std::string_view::npos) {
        return {};
    }
    const auto end = page.find("</TABLE>", start);
    if (end == std::string_view::npos) {
        return {};
    }
    std::string table(page.substr(start + heading.size(), end + 8 - start - heading.size()));
    table = replaceAll(std::move(table), "Top", "\"Top\"");
    table = replaceAll(std::move(table), "CELLPADDING=4", "CELLPADDING=\"4\"");
    return "<?xml version=\"1.0\"?>\r\n" + table;
}

ParsedTable parseClientXml(const std::string& xml) {
    ParsedTable parsed;
    pugi::xml_document document;
    const pugi::xml_parse_result result =
        document.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_latin1);
    if (!result) {
        parsed.error = result.description();
        return parsed;
    }
    bool header = true;
    for (const pugi::xml_node row : document.child("TABLE").children("TR")) {
        if (header) {
            header = false;
            continue;
        }
        auto& cells = parsed.rows.emplace_back();
        for (const pugi::xml_node cell : row.children()) {
            cells.emplace_back(cell.text().get());
        }
    }
    return parsed;
}

}  // namespace zonarium::test
